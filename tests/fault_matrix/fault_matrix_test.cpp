// Every transfer against every fault the simulated instrument can inject on its command codes,
// run the one way commands run (runInstrumentCommand), on virtual time. Each cell ends within
// its bound with its failure lines and the communication warning, and a get leaves its document
// as it was unless it succeeded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "collection/collection_commands.h"
#include "link/command_exchange.h"
#include "link/instrument_command.h"
#include "platform/calendar.h"
#include "platform/shell.h"
#include "program/program_commands.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "setup/setup_commands.h"
#include "setup/setup_model.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

enum class Transfer {
  GetSetup,
  SendSetup,
  GetScreens,
  SendScreens,
  GetProgram,
  SendProgram,
  GetCollection,
  SendCollection
};

bool isGet(Transfer t) {
  return t == Transfer::GetSetup || t == Transfer::GetScreens || t == Transfer::GetProgram ||
         t == Transfer::GetCollection;
}

bool isCollection(Transfer t) {
  return t == Transfer::GetCollection || t == Transfer::SendCollection;
}

// Everything a get may change.
struct Documents {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;

  bool operator==(const Documents& o) const {
    return setup == o.setup && screens == o.screens && program.store() == o.program.store() &&
           program.tree() == o.program.tree();
  }
};

// Screens and a program that differ from the instrument's, so that a get that takes anything
// shows.
Documents startingDocuments() {
  Documents d;
  for (int s = 0; s < ScreenBuffer::kScreens; ++s)
    d.screens.setCell(s, 1, 1, static_cast<std::uint8_t>('a' + s));
  d.program.insertInstruction(0, 3);  // BEEP
  d.program.insertInstruction(1, 8);  // DISPLAY TEXT
  return d;
}

// A fresh instrument and its link on virtual time, the documents as the window would hold them:
// the setup as last read from this instrument (so a get that succeeds changes nothing in it), the
// screens and program of the user's own.
struct Bench : test::InstrumentOnLink {
  explicit Bench(const std::string& fault = {}) : InstrumentOnLink(DateTime{2026, 5, 4, 9, 30, 0}) {
    EXPECT_TRUE(link.open());
    test::RecordingShell quiet;
    CommandExchange exchange{link, clock, quiet};
    EXPECT_EQ(runInstrumentCommand(exchange, quiet, getSetupCommand(documents.setup)),
              CommandResult::Done);
    if (!fault.empty()) {
      EXPECT_EQ(instrument.faults().parse(fault), "") << fault;
    }
  }

  CommandResult run(Transfer transfer) {
    CommandExchange exchange{link, clock, shell};
    const CollectionParts parts{documents.setup, documents.screens, documents.program, calendar};
    const CollectionView view{};
    const InstrumentCommand commands[] = {
        getSetupCommand(documents.setup),     sendSetupCommand(documents.setup, calendar),
        getScreensCommand(documents.screens), sendScreensCommand(documents.screens),
        getProgramCommand(documents.program), sendProgramCommand(documents.program),
        getCollectionCommand(parts, view),    sendCollectionCommand(parts, view),
    };
    // A collection asks first.
    if (isCollection(transfer)) shell.answers = {MessageResult::Yes};
    const auto start = clock.now();
    const CommandResult result =
        runInstrumentCommand(exchange, shell, commands[static_cast<int>(transfer)]);
    elapsed = clock.now() - start;
    return result;
  }

  test::RecordingShell shell;
  Documents documents = startingDocuments();
  Clock::Duration elapsed{};
};

struct Cell {
  const char* fault;  // as halvern-sim --fault takes it
  milliseconds bound;
  CommandResult result;
  Lines lastLines;   // the message area's last lines
  Lines boxes = {};  // boxes before the communication warning (which a failure adds)
  // A fault the cell shows in the transfer: the get succeeds with the document spoiled. The row
  // pins it so that whoever mends it turns the row to the sound outcome.
  const char* spoils = nullptr;
};

struct Row {
  Transfer transfer;
  std::vector<Cell> cells;
};

constexpr CommandResult kDone = CommandResult::Done;
constexpr CommandResult kFailed = CommandResult::Failed;
const std::string kCommError(kCommErrorText);

Lines setupItemFailed(const char* item) { return {item, "GET SETUP FAILED."}; }
const Lines kSetupGetFailed = {"GET SETUP...", "GET SETUP FAILED."};
const Lines kSetupGetDone = {"GET SETUP...", "FINISHED GETTING SETUP."};
const Lines kSetupSendFailed = {"SEND SETTINGS...", "SEND SETTINGS FAILED."};
const Lines kSetupSendDone = {"SEND SETTINGS...", "FINISHED SENDING SETTINGS."};
const Lines kScreensGetFailed = {"GET SCREENS...", "GET SCREENS FAILED."};
const Lines kScreensGetDone = {"GET SCREENS...", "FINISHED GETTING SCREENS."};
const Lines kScreensSendError = {"SEND SCREENS...", "SEND SCREENS ERROR."};
const Lines kScreensSendDone = {"SEND SCREENS...", "FINISHED SENDING SCREENS."};
const Lines kNoResponse = {"No response from 40100"};
// The program get giving up on blocks that never come whole, or on ten bad CRCs.
const Lines kProgramGetGaveUp = {"TOO MANY ERRORS.", "GET USER PROGRAM FAILED."};
const Lines kProgramGetBadCrcs = {"TOO MANY CRC ERRORS.", "GET USER PROGRAM FAILED.",
                                  "TOO MANY ERRORS.", "GET USER PROGRAM FAILED."};
const Lines kProgramGetBadEnd = {"CRC COMPARE END ERR.", "TOO MANY ERRORS.",
                                 "GET USER PROGRAM FAILED."};
const Lines kProgramGetDone = {"LAST HEADER...", "FINISHED GETTING USER PROGRAM."};
const Lines kProgramGetBox = {"Too many errors.\nGet 40100 User Program failed."};
const Lines kProgramSendFailed = {"SEND USER PROGRAM...", "SEND USER PROGRAM FAILED."};
const Lines kProgramSendDone = {"SEND USER PROGRAM...", "FINISHED SENDING USER PROGRAM."};
// A block the link no longer takes.
const Lines kProgramSendCut = {"WRITEFILE RESULT: 0", "SEND USER PROGRAM FAILED."};

// The cells: for each transfer every fault its command codes take (nostar only where a "*" or
// "!" is awaited; corrupt, nakstorm, badend, dies only in the program transfers). "cut" leaves the
// link open and dead, "hangup" closes it; their number is the reply bytes that still get out.
//
// Bounds are virtual time from the command's start to its end, a little over what the protocol's
// own limits give (a command line takes about 8 ms, a read time-out 250 ms):
//   setup query: 10 sends x (line + 50 ms + read) = 3.1 s, after the items before it
//   baud query: 6 rounds of one send each; record formats: 5 x (100 ms + line + read) = 1.8 s
//   setup setting: 10 sends x (line + 2 s for "*") = 20.1 s; the formats' closing "*": 5 s
//   screens get: 10 x (100 ms + line + read) = 3.6 s; screens send: 2 s
//   for its "*"
//   program get: 10 sends x (line + read) and 10 empty reads = 5 s
//   program send: 10 errors of a second's silence each = 10 s
// A dead link answers nothing at once, but a read still lasts its time-out; a closed one ends
// every wait at once.
const std::string kGetQuestion(collection_text::kGetQuestion);
const std::string kSendQuestion(collection_text::kSendQuestion);
// The collections: each part's failure ends them after its own lines (what came before stays),
// with a second's pause between the parts of a send.
const std::vector<Row> kCollections = {
    {Transfer::GetCollection,
     {
         {"235:silence",
          3500ms,
          kFailed,
          {"GET SETUP FAILED.", "GET SETUP/SCREENS/PROGRAM FAILED."},
          {kGetQuestion}},
         {"225:hangup::2",
          1000ms,
          kFailed,
          {"GET SETUP FAILED.", "GET SETUP/SCREENS/PROGRAM FAILED."},
          {kGetQuestion}},
     }},
    {Transfer::SendCollection,
     {
         {"260:silence",
          21000ms,
          kFailed,
          {"SEND SETTINGS FAILED.", "SEND SETUP/SCREENS/PROGRAM FAILED."},
          {kSendQuestion}},
         {"210:silence",
          4000ms,
          kFailed,
          {"SEND SCREENS ERROR.", "SEND SETUP/SCREENS/PROGRAM FAILED."},
          {kSendQuestion, "No response from 40100"}},
         {"110:silence",
          13000ms,
          kFailed,
          {"SEND USER PROGRAM FAILED.", "SEND SETUP/SCREENS/PROGRAM FAILED."},
          {kSendQuestion}},
         {"110:hangup::3",
          2500ms,
          kFailed,
          {"SEND USER PROGRAM FAILED.", "SEND SETUP/SCREENS/PROGRAM FAILED."},
          {kSendQuestion}},
     }},
};

const std::vector<Row> kMatrix = {
    {Transfer::GetSetup,
     {
         {"255:silence", 3500ms, kFailed, setupItemFailed("CANNOT GET INTERVAL")},
         {"255:short", 3500ms, kFailed, setupItemFailed("CANNOT GET INTERVAL")},
         {"225:wrong", 500ms, kFailed, setupItemFailed("CANNOT GET COM1 BAUD RATE. WRONG INDEX.")},
         {"315:wrong", 500ms, kFailed, kSetupGetFailed},
         // Stray bytes in front of a reply are its first bytes: "?#  9" is baud code 0, six
         // rounds of it a wrong index; "?#" is an interval of 0, in range. Bytes behind a reply
         // are left for the next line's purge.
         {"225:stray", 1000ms, kFailed, setupItemFailed("CANNOT GET COM1 BAUD RATE. WRONG INDEX.")},
         {"255:stray", 1000ms, kDone, kSetupGetDone, {}, "an interval of 0 read from \"?#\""},
         {"255:trailing", 1000ms, kDone, kSetupGetDone},
         {"225:trailing", 1000ms, kDone, kSetupGetDone},
         {"325:silence", 2500ms, kFailed,
          setupItemFailed("CANNOT GET RECORD FORMATS. BYTES READ: 0")},
         {"325:short", 2500ms, kFailed,
          setupItemFailed("CANNOT GET RECORD FORMATS. BYTES READ: 799")},
         {"325:wrong", 1000ms, kFailed, kSetupGetFailed},
         // The formats are their first 800 bytes: shifted ones are read as they stand, and
         // behind them anything may follow.
         {"325:stray", 1000ms, kDone, kSetupGetDone, {}, "the formats shifted by two bytes"},
         {"325:trailing", 1000ms, kDone, kSetupGetDone},
         {"225:cut::2", 1000ms, kFailed, setupItemFailed("CANNOT GET COM1 INFO")},
         {"325:cut::400", 1000ms, kFailed,
          setupItemFailed("CANNOT GET RECORD FORMATS. BYTES READ: 0")},
         {"225:hangup::2", 100ms, kFailed, setupItemFailed("CANNOT GET COM1 INFO")},
         {"325:hangup::400", 500ms, kFailed,
          setupItemFailed("CANNOT GET RECORD FORMATS. BYTES READ: 400")},
     }},
    {Transfer::SendSetup,
     {
         {"260:silence", 21000ms, kFailed, kSetupSendFailed},
         {"260:short", 21000ms, kFailed, kSetupSendFailed},
         {"260:wrong", 21000ms, kFailed, kSetupSendFailed},
         {"260:stray", 500ms, kDone, kSetupSendDone},
         {"260:nostar", 21000ms, kFailed, kSetupSendFailed},
         {"320:silence", 21000ms, kFailed, kSetupSendFailed},
         {"320:wrong", 21000ms, kFailed, kSetupSendFailed},
         {"320:stray", 500ms, kDone, kSetupSendDone},
         {"320:nostar", 6000ms, kFailed, kSetupSendFailed},
         {"260:cut", 21000ms, kFailed, kSetupSendFailed},
         {"320:cut::10", 2500ms, kFailed, kSetupSendFailed},
         {"260:hangup", 500ms, kFailed, kSetupSendFailed},
         {"320:hangup::10", 500ms, kFailed, kSetupSendFailed},
     }},
    {Transfer::GetScreens,
     {
         {"215:silence", 4000ms, kFailed, kScreensGetFailed},
         {"215:short", 4000ms, kFailed, kScreensGetFailed},
         {"215:wrong", 4000ms, kFailed, kScreensGetFailed},
         // The screens are their first 1920 bytes, whatever is in front or behind.
         {"215:stray", 500ms, kDone, kScreensGetDone, {}, "the cells shifted by two bytes"},
         {"215:trailing", 500ms, kDone, kScreensGetDone},
         {"215:cut::1000", 1500ms, kFailed, kScreensGetFailed},
         {"215:hangup::1000", 500ms, kFailed, kScreensGetFailed},
     }},
    {Transfer::SendScreens,
     {
         {"210:silence", 2500ms, kFailed, kScreensSendError, kNoResponse},
         {"210:short", 2500ms, kFailed, kScreensSendError, kNoResponse},
         {"210:wrong", 2500ms, kFailed, kScreensSendError, kNoResponse},
         {"210:stray", 100ms, kDone, kScreensSendDone},
         {"210:nostar", 2500ms, kFailed, kScreensSendError, kNoResponse},
         {"210:cut", 2500ms, kFailed, kScreensSendError, kNoResponse},
         {"210:cut::1", 100ms, kFailed, kScreensSendError},
         {"210:hangup", 500ms, kFailed, kScreensSendError, kNoResponse},
         {"210:hangup::1", 100ms, kFailed, kScreensSendError},
     }},
    {Transfer::GetProgram,
     {
         {"115:silence", 5500ms, kFailed, kProgramGetGaveUp, kProgramGetBox},
         {"115:silence::5", 3000ms, kFailed, kProgramGetGaveUp, kProgramGetBox},
         {"115:short", 5500ms, kFailed, kProgramGetGaveUp, kProgramGetBox},
         // Two stray bytes shift block 0: its tail is purged before the NAK, and it comes again.
         {"115:stray", 1000ms, kDone, kProgramGetDone},
         {"115:stray:1", 1000ms, kDone, kProgramGetDone},
         {"115:wrong", 3500ms, kDone, kProgramGetDone},
         {"115:corrupt:3:5", 1000ms, kDone, kProgramGetDone},
         {"115:corrupt::5", 500ms, kFailed, kProgramGetBadCrcs, kProgramGetBox},
         {"115:badend", 1000ms, kFailed, kProgramGetBadEnd, kProgramGetBox},
         {"115:dies::30", 3000ms, kFailed, kProgramGetGaveUp, kProgramGetBox},
         {"115:cut::1500", 3000ms, kFailed, kProgramGetGaveUp, kProgramGetBox},
         {"115:hangup::1500", 100ms, kFailed, kProgramGetGaveUp, kProgramGetBox},
     }},
    {Transfer::SendProgram,
     {
         {"110:silence", 10500ms, kFailed, kProgramSendFailed},
         {"110:silence::5", 10500ms, kFailed, kProgramSendFailed},
         {"110:stray", 1000ms, kDone, kProgramSendDone},
         {"110:wrong", 10500ms, kFailed, kProgramSendFailed},
         {"110:corrupt:3:5", 1000ms, kDone, kProgramSendDone},
         {"110:corrupt::5", 500ms, kFailed, kProgramSendFailed},
         {"110:nakstorm:4", 1000ms, kDone, kProgramSendDone},
         {"110:nakstorm", 500ms, kFailed, kProgramSendFailed},
         {"110:dies::5", 10500ms, kFailed, kProgramSendFailed},
         {"110:cut::3", 10500ms, kFailed, kProgramSendCut},
         {"110:hangup::3", 100ms, kFailed, kProgramSendCut},
     }},
};

Lines lastLines(const Lines& lines, std::size_t n) {
  return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
}

// One cell of the matrix: a transfer against one fault.
struct MatrixCell {
  Transfer transfer;
  Cell cell;
};

std::vector<MatrixCell> everyCell() {
  std::vector<MatrixCell> cells;
  for (const auto* rows : {&kMatrix, &kCollections})
    for (const Row& row : *rows)
      for (const Cell& cell : row.cells) cells.push_back({row.transfer, cell});
  return cells;
}

// "GetSetup_225_hangup__2": the transfer, then the fault with its separators as underscores.
std::string cellName(const ::testing::TestParamInfo<MatrixCell>& info) {
  static const char* const kTransfers[] = {"GetSetup",      "SendSetup",     "GetScreens",
                                           "SendScreens",   "GetProgram",    "SendProgram",
                                           "GetCollection", "SendCollection"};
  std::string name = kTransfers[static_cast<int>(info.param.transfer)];
  name += '_';
  for (const char* c = info.param.cell.fault; *c; ++c)
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

class FaultMatrix : public ::testing::TestWithParam<MatrixCell> {};

TEST_P(FaultMatrix, TheTransferEndsBoundedAgainstTheFault) {
  const Transfer transfer = GetParam().transfer;
  const Cell& cell = GetParam().cell;
  // What a get brings from an instrument without faults.
  Bench clean;
  const bool get = isGet(transfer);
  ASSERT_EQ(clean.run(transfer), kDone);
  const Documents fromInstrument = clean.documents;

  Bench bench(cell.fault);
  const Documents before = bench.documents;

  EXPECT_EQ(bench.run(transfer), cell.result);
  EXPECT_LE(bench.elapsed, cell.bound);
  EXPECT_EQ(lastLines(bench.shell.lines, cell.lastLines.size()), cell.lastLines);
  Lines boxes = cell.boxes;
  if (cell.result == kFailed) boxes.push_back(kCommError);
  Lines shown;
  for (const auto& box : bench.shell.boxes) shown.push_back(box.text);
  EXPECT_EQ(shown, boxes);
  // The lock and the hourglass are let go whatever happened.
  EXPECT_EQ(bench.shell.instrumentBusy, (std::vector<bool>{true, false}));
  EXPECT_EQ(bench.shell.busyChanges, (std::vector<bool>{true, false}));

  if (!get) return;
  const Documents& sound = cell.result == kDone ? fromInstrument : before;
  if (cell.spoils) {
    EXPECT_FALSE(bench.documents == sound) << "mended? " << cell.spoils;
  } else {
    EXPECT_TRUE(bench.documents == sound);
  }
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(everyCell()), cellName);

}  // namespace
}  // namespace halvern
