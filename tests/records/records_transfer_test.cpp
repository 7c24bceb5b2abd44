// The records download and erase against the simulated instrument, on virtual time.
#include "records/records_transfer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "records/records_commands.h"
#include "records/records_file.h"
#include "setup/setup_commands.h"
#include "setup/setup_model.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"
#include "support/test_folder.h"
#include "wire/commands.h"
#include "wire/wire.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

using test::readFile;

class RecordsTest : public ::testing::Test, protected test::ComputerBench {
 protected:
  RecordsTest() : ComputerBench(DateTime{2026, 12, 7, 9, 5, 3}) {}
  void SetUp() override {
    path = (folder / "records.txt").string();
    ASSERT_TRUE(link.open());
    instrument.recordLog().setCount(50);
  }

  CommandResult download() {
    return runInstrumentCommand(exchange, shell,
                                getRecordsCommand(setup, calendar, settings, view));
  }
  // The file the download should write, from what the instrument is known to log: each field's
  // value as the log makes it, written out here by hand rather than by the records file's code.
  std::string expectedFile(std::size_t records) const {
    const auto& s = instrument.settings();
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::min(records, instrument.recordLog().count()) << " RECORDS\r\n"
        << "12-07-2026 09:05:03\r\n";  // the fixture's calendar
    for (int i = 0; i < s.fieldsPerRecord; ++i)
      out << (i > 0 ? "," : "") << s.formats[static_cast<std::size_t>(i)].label;
    out << "\r\n";
    const auto two = [](unsigned n) { return std::string{char('0' + n / 10), char('0' + n % 10)}; };
    for (std::size_t r = 0; r < std::min(records, instrument.recordLog().count()); ++r) {
      for (int i = 0; i < s.fieldsPerRecord; ++i) {
        const auto& f = s.formats[static_cast<std::size_t>(i)];
        const auto type = static_cast<sim::RecordLog::FieldType>(f.type);
        const float v = instrument.recordLog().value(r, static_cast<std::size_t>(i), type);
        if (i > 0) out << ',';
        const auto whole = static_cast<unsigned>(v);  // YYMMDD or HHMMSS
        if (std::isnan(v)) {
          out << "-99999";
        } else if (type == sim::RecordLog::FieldType::Date) {
          out << two(whole / 100 % 100) << '/' << two(whole % 100) << "/20" << two(whole / 10000);
        } else if (type == sim::RecordLog::FieldType::Time) {
          out << two(whole / 10000) << ':' << two(whole / 100 % 100) << ':' << two(whole % 100);
        } else {
          out << std::fixed << std::setprecision(f.precision) << std::setfill('0') << std::internal
              << std::setw(f.width) << static_cast<double>(v);
        }
      }
      out << "\r\n";
    }
    return out.str();
  }
  std::size_t recordsRequests() const {
    std::size_t n = 0;
    for (const auto& l : instrument.linesReceived()) n += l.rfind("CMD340", 0) == 0;
    return n;
  }

  SetupModel setup;
  RecordsSettings settings;
  std::string shown;
  std::string path;
  test::TestFolder scratch{"halvern_records"};
  const fs::path folder = scratch.path();
  RecordsView view{[this]() -> std::optional<std::string> { return path; },
                   [this](std::string_view text) { shown += text; }, nullptr};
};

TEST_F(RecordsTest, DownloadWritesTheFileAndShowsTheRecords) {
  settings.numOfRecords = 30;
  settings.showRecords = true;
  setup.setFieldsPerRecord(1);
  ASSERT_EQ(download(), CommandResult::Done);
  EXPECT_EQ(shell.lines, (Lines{"GET RECORDS", "DOWNLOADING RECORDS...", "TOTAL BYTES: 480",
                                "WRITING RECORDS TO FILE...", "SHOWING RECORDS...", "FINISHED"}));
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, records_text::kRetrievalWarning);
  // The instrument's fields per record and formats, taken into the setup.
  EXPECT_EQ(setup.fieldsPerRecord(), 4);
  EXPECT_EQ(setup.format(2).label, "WIND SPEED");
  EXPECT_EQ(readFile(path), expectedFile(30));
  EXPECT_EQ(instrument.linesReceived().back(), "CMD340 30");
  // Shown: numbered, one line a record.
  EXPECT_EQ(shown.substr(0, 8), "0000001,");
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 30);
  // The clock timer off for the whole download, the hourglass given back.
  EXPECT_EQ(shell.clockTimer, (std::vector<bool>{false, true}));
  EXPECT_EQ(std::count(shell.busyChanges.begin(), shell.busyChanges.end(), true),
            std::count(shell.busyChanges.begin(), shell.busyChanges.end(), false));
  EXPECT_EQ(shell.progressMax, 30);
  EXPECT_EQ(shell.progress.back(), 0);
}

TEST_F(RecordsTest, EveryDialectDownloadsTheSameFileAtTheFirstAsk) {
  settings.numOfRecords = 7;
  ASSERT_EQ(download(), CommandResult::Done);
  const std::string standard = readFile(path);
  EXPECT_EQ(standard, expectedFile(7));
  for (const char* dialect : {"terse", "zeros", "mixed:4", "mixed:9"}) {
    SCOPED_TRACE(dialect);
    ASSERT_EQ(instrument.dialect().choose(dialect), "");
    const std::size_t before = instrument.linesReceived().size();
    shell.lines.clear();
    ASSERT_EQ(download(), CommandResult::Done);
    EXPECT_EQ(readFile(path), standard);
    // Fields per record, the formats and the records: each asked for once.
    const Lines asked(instrument.linesReceived().begin() + static_cast<std::ptrdiff_t>(before),
                      instrument.linesReceived().end());
    EXPECT_EQ(asked, (Lines{"CMD315", "CMD325", "CMD340 7"}));
  }
}

TEST_F(RecordsTest, AnInstrumentSendingMoreThanAskedFillsOnlyTheBuffer) {
  // 7 records of 16 bytes: the last read has 12 bytes of room, and 300 more bytes are coming.
  sim::Fault more;
  more.kind = sim::FaultKind::Trailing;
  more.text = std::string(300, '\x5A');
  instrument.faults().set(cmd::kGetRecords, more);
  std::vector<std::uint8_t> buffer(7 * 16);
  std::size_t received = 0;
  EXPECT_EQ(receiveRecords(exchange, shell, 7, buffer, received), RecordsEnd::Complete);
  EXPECT_EQ(received, buffer.size());
  // What the instrument sent beyond them is left for the next line's purge.
  clock.advance(10ms);
  EXPECT_EQ(link.available(), 300u);
  settings.numOfRecords = 7;
  ASSERT_EQ(download(), CommandResult::Done);
  EXPECT_EQ(readFile(path), expectedFile(7));
}

TEST_F(RecordsTest, RefusalsSendNoRecordsRequest) {
  // Asked for more than fields x records allows: the maximum, and nothing downloaded.
  instrument.settings().fieldsPerRecord = 25;
  settings.numOfRecords = 86508;
  EXPECT_EQ(download(), CommandResult::Refused);
  EXPECT_EQ(shell.boxes.back().text,
            "With 25 Fields Per Record,\na maximum of 86507 records may\nbe retrieved.");
  settings.numOfRecords = 999999999;
  EXPECT_EQ(download(), CommandResult::Refused);
  EXPECT_EQ(shell.boxes.back().text,
            "With 25 Fields Per Record,\na maximum of 86507 records may\nbe retrieved.");

  // A file that cannot be made beside its name.
  settings.numOfRecords = 10;
  path = (folder / "missing" / "r.txt").string();
  EXPECT_EQ(download(), CommandResult::Refused);
  EXPECT_EQ(shell.boxes.back().text, records_text::kCannotOpen);

  // The save dialog cancelled.
  view.chooseFile = [] { return std::optional<std::string>(); };
  EXPECT_EQ(download(), CommandResult::Refused);

  // A closed link.
  link.close();
  shell.boxes.clear();
  EXPECT_EQ(download(), CommandResult::Refused);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, "Cannot get records because ZELKA USB port is closed.");
  EXPECT_EQ(recordsRequests(), 0u);
  EXPECT_EQ(shell.clockTimer.back(), true);
}

TEST_F(RecordsTest, TheLargestRequestIsAccepted) {
  // 25 x 86507 stays below the limit: asked for, though the instrument holds ten records.
  instrument.settings().fieldsPerRecord = 25;
  instrument.recordLog().setCount(10);
  settings.numOfRecords = 86507;
  EXPECT_EQ(download(), CommandResult::Failed);
  EXPECT_EQ(instrument.linesReceived().back(), "CMD340 86507");
  EXPECT_EQ(shell.lines.back(), "TOTAL BYTES: 1000");
  EXPECT_EQ(shell.progressMax, 8650700);
}

TEST_F(RecordsTest, ManyShownRecordsAskFirstAndNoDownloadsWithoutShowing) {
  instrument.recordLog().setCount(5000);
  settings.numOfRecords = 5000;
  settings.showRecords = true;
  shell.answers = {MessageResult::No};
  ASSERT_EQ(download(), CommandResult::Done);
  EXPECT_EQ(shell.boxes[0].text,
            "Showing 5000 records will be slow.\nAre you sure you want to do that?\n\n"
            "Select Yes to continue or\nNo to download records to a file\nwithout showing them.");
  EXPECT_FALSE(settings.showRecords);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(readFile(path), expectedFile(5000));
}

TEST_F(RecordsTest, FailuresAndCancelLeaveNoFileAndAnOldOneAsItWas) {
  std::ofstream(path, std::ios::binary) << "old records";
  const struct {
    const char* what;
    std::uint32_t count;  // records asked for; the instrument holds 50
    const char* fault;    // on 340, or nothing
    int cancelAtEvent;    // 0: no cancel
    CommandResult result;
    const char* lastLine;
  } cases[] = {
      {"fewer logged than asked", 60, nullptr, 0, CommandResult::Failed, "TOTAL BYTES: 800"},
      {"a silent instrument", 10, "340:silence", 0, CommandResult::Failed, "TOTAL BYTES: 0"},
      {"a reply one byte short", 10, "340:short", 0, CommandResult::Failed, "TOTAL BYTES: 159"},
      {"cut after 100 bytes", 10, "340:cut::100", 0, CommandResult::Failed, "TOTAL BYTES: 100"},
      {"hung up after 100 bytes", 10, "340:hangup::100", 0, CommandResult::Failed,
       "TOTAL BYTES: 100"},
      {"cancelled", 50, nullptr, 5, CommandResult::Cancelled, "RECORD DOWNLOAD CANCELLED."},
  };
  for (const auto& c : cases) {
    test::ComputerBench fresh{calendar.now()};
    fresh.instrument.recordLog().setCount(50);
    if (c.fault) {
      ASSERT_EQ(fresh.instrument.faults().parse(c.fault), "") << c.what;
    }
    ASSERT_TRUE(fresh.link.open());
    test::RecordingShell& freshShell = fresh.shell;
    if (c.cancelAtEvent) {
      freshShell.onProcessEvents = [&freshShell, &c](int n) {
        if (n >= c.cancelAtEvent) freshShell.cancel = true;
      };
    }
    settings.numOfRecords = c.count;
    const auto start = fresh.clock.now();
    EXPECT_EQ(runInstrumentCommand(fresh.exchange, freshShell,
                                   getRecordsCommand(setup, calendar, settings, view)),
              c.result)
        << c.what;
    // Eleven empty reads of 250 ms at the most after the last byte, the queries before.
    EXPECT_LE(fresh.clock.now() - start, 5s) << c.what;
    EXPECT_EQ(freshShell.lines.back(), c.lastLine) << c.what;
    EXPECT_EQ(readFile(path), "old records") << c.what;
    EXPECT_FALSE(fs::exists(path + ".saving")) << c.what;
    const bool warned = !freshShell.boxes.empty() && freshShell.boxes.back().text == kCommErrorText;
    EXPECT_EQ(warned, c.result == CommandResult::Failed) << c.what;
    EXPECT_EQ(freshShell.clockTimer.back(), true) << c.what;
  }
}

TEST_F(RecordsTest, EditsAndOpensMeanwhileLeaveTheFormatsTheInstrumentGave) {
  settings.numOfRecords = 40;
  // On every turn of the event loop, from the formats' query to the file's last line: the Setup
  // page edited, a group file opened, the delimiter changed.
  int turns = 0;
  shell.onProcessEvents = [&](int) {
    ++turns;
    SetupModel::Batch batch(setup);
    setup.setFieldsPerRecord(2);
    for (int row = 0; row < SetupModel::kFieldCount; ++row)
      setup.setFormat(row, {"OPENED " + std::to_string(turns), RecordFormat::Date, 9, 6});
    settings.delimiter = 2;
  };
  ASSERT_EQ(download(), CommandResult::Done);
  EXPECT_GT(turns, SetupModel::kFieldCount);
  EXPECT_EQ(readFile(path), expectedFile(40));
}

TEST_F(RecordsTest, ACommandRightAfterACancelledDownloadFindsAQuietLink) {
  // 320 000 bytes on their way: 2.56 s of the instrument's sending.
  instrument.recordLog().setCount(20000);
  settings.numOfRecords = 20000;
  shell.onProcessEvents = [this](int) {
    if (!shell.progress.empty() && shell.progress.back() >= 1000) shell.cancel = true;
  };
  ASSERT_EQ(download(), CommandResult::Cancelled);
  ASSERT_GE(shell.lines.size(), 2u);
  EXPECT_EQ(Lines(shell.lines.end() - 2, shell.lines.end()),
            (Lines{"WAITING FOR 40100 TO STOP SENDING...", "RECORD DOWNLOAD CANCELLED."}));
  EXPECT_FALSE(fs::exists(path));

  shell.cancel = false;
  shell.onProcessEvents = nullptr;
  shell.lines.clear();
  SetupModel got;
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getSetupCommand(got)), CommandResult::Done);
  EXPECT_EQ(shell.lines.back(), "FINISHED GETTING SETUP.");
  EXPECT_EQ(got.format(2).label, "WIND SPEED");
}

// The records window gets the file's record lines, each led by its number, in pieces of whole
// lines with the events processed after each; a file that cannot be saved shows nothing.
TEST(SaveAndShowRecords, TheShownLinesAreTheFilesNumberedInPiecesOfWholeLines) {
  test::TestFolder scratch{"halvern_shown"};
  const DateTime at{2026, 12, 7, 9, 5, 3};
  for (const std::uint32_t fields : {25u, 1u}) {
    const std::uint32_t count = fields == 1 ? 140000 : 6000;
    std::vector<RecordFormat> formats;
    for (std::uint32_t i = 0; i < fields; ++i)
      formats.push_back(
          {"F" + std::to_string(i), static_cast<int>(i % 3), 1 + int(i % 9), int(i % 7)});
    std::vector<std::uint8_t> data(std::size_t{fields} * count * kRecordFieldSize);
    for (std::size_t k = 0; k < data.size() / 4; ++k) {
      const float v = k % 1000 == 7 ? std::nanf("") : static_cast<float>(k) * 7.31f - 2.0e5f;
      std::memcpy(&data[4 * k], &v, 4);  // little-endian, as the instrument sends it
    }
    test::RecordingShell shell;
    std::vector<std::string> pieces;
    shell.onProcessEvents = [&pieces](int) { pieces.emplace_back(); };
    const RecordsView view{nullptr, [&pieces](std::string_view text) { pieces.emplace_back(text); },
                           nullptr};
    const std::string path = (scratch / "shown.txt").string();
    ASSERT_TRUE(
        saveAndShowRecords(shell, view, {data, fields, count, formats, '\t'}, path, at, true));
    EXPECT_EQ(shell.lines, (Lines{"WRITING RECORDS TO FILE...", "SHOWING RECORDS..."}));

    // What the file holds after its header, each line numbered.
    const std::string file = readFile(path);
    std::size_t pos = 0;
    for (int header = 0; header < 3; ++header) pos = file.find("\r\n", pos) + 2;
    std::string expected;
    for (std::uint32_t r = 0; pos < file.size(); ++r) {
      const std::size_t end = file.find("\r\n", pos) + 2;
      char number[16];
      std::snprintf(number, sizeof number, "%07u\t", r + 1);
      expected += number + file.substr(pos, end - pos);
      pos = end;
    }
    // Shown pieces, each followed by a turn of the event loop (an empty entry).
    std::string shown;
    std::size_t shownPieces = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (pieces[i].empty()) continue;
      ++shownPieces;
      shown += pieces[i];
      EXPECT_EQ(pieces[i].substr(pieces[i].size() - 2), "\r\n") << i;
      ASSERT_LT(i + 1, pieces.size());
      EXPECT_TRUE(pieces[i + 1].empty()) << "no events processed after piece " << i;
    }
    EXPECT_EQ(shown, expected) << fields << " fields";
    EXPECT_GT(shownPieces, 2u) << fields << " fields";
    EXPECT_LT(shownPieces, count / 100) << fields << " fields";
  }

  // A file that cannot be saved: its warning, and nothing shown.
  test::RecordingShell shell;
  bool showed = false;
  const RecordsView view{nullptr, [&showed](std::string_view) { showed = true; }, nullptr};
  const std::vector<RecordFormat> formats{{"A", 0, 7, 2}};
  const std::vector<std::uint8_t> data(4);
  EXPECT_FALSE(saveAndShowRecords(shell, view, {data, 1, 1, formats, ','},
                                  (scratch / "no folder" / "r.txt").string(), at, true));
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_FALSE(showed);
  EXPECT_EQ(shell.lines, (Lines{"WRITING RECORDS TO FILE..."}));
}

TEST(ReceiveRecords, TheEleventhSilentReadEndsTheDownload) {
  test::ComputerOnScript bench;
  VirtualClock& clock = bench.clock;
  test::ScriptedLink& link = bench.link;
  test::RecordingShell& shell = bench.shell;
  CommandExchange& exchange = bench.exchange;
  // Two records asked for, one sent, then nothing.
  link.answer = [](const std::string&) { return std::string(16, 'R'); };
  std::vector<std::uint8_t> buffer(32);
  std::size_t received = 0;
  EXPECT_EQ(receiveRecords(exchange, shell, 2, buffer, received), RecordsEnd::TimedOut);
  EXPECT_EQ(received, 16u);
  Clock::TimePoint lastBytes{};
  for (const auto& e : link.events)
    if (e.kind == test::ScriptedLink::Event::Read && e.got > 0) lastBytes = e.at;
  // Eleven read time-outs of silence after the read that brought the last bytes, not twelve.
  EXPECT_GE(clock.now() - lastBytes, 11 * wire::kReadTimeout);
  EXPECT_LT(clock.now() - lastBytes, 12 * wire::kReadTimeout);
}

TEST(AwaitQuietLink, EndsOnceTheInstrumentIsQuietOrAtItsBound) {
  const struct {
    const char* what;
    std::size_t sent;  // bytes the instrument still sends, at the wire's pace
    bool quiet;        // the instrument stops within the bound
  } cases[] = {
      {"the records it was asked for", 1000, true},
      {"more than it was asked for", 200000, true},
      {"an instrument that never stops", 500000, false},
  };
  constexpr std::size_t kLeft = 1000;
  const Clock::Duration bound = 2 * wire::kByteTime * static_cast<long long>(kLeft) + kQuietMargin;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    VirtualClock clock;
    test::ScriptedLink link{clock};
    ASSERT_TRUE(link.open());
    test::RecordingShell shell;
    CommandExchange exchange{link, clock, shell};
    link.sendUnasked(std::string(c.sent, 'R'));
    const auto start = clock.now();
    const Clock::Duration sending = wire::kByteTime * static_cast<long long>(c.sent);
    awaitQuietLink(exchange, shell, kLeft);
    const Clock::Duration waited = clock.now() - start;
    EXPECT_EQ(shell.lines, Lines{"WAITING FOR 40100 TO STOP SENDING..."});
    std::uint8_t byte = 0;
    if (c.quiet) {
      // One read time-out of quiet after the last byte, two at the most.
      EXPECT_GE(waited, sending + wire::kReadTimeout);
      EXPECT_LE(waited, sending + 2 * wire::kReadTimeout);
      EXPECT_EQ(exchange.readBlock(&byte, 1), 0u);
    } else {
      // Given up at the bound, one read past it at the most, while bytes still come.
      EXPECT_GE(waited, bound);
      EXPECT_LE(waited, bound + wire::kReadTimeout);
      EXPECT_EQ(exchange.readBlock(&byte, 1), 1u);
    }
  }
}

TEST_F(RecordsTest, EraseEndsAtTheStarAfterItsMarks) {
  instrument.recordLog().setCount(3000);
  shell.answers = {MessageResult::Yes};
  const auto start = clock.now();
  ASSERT_EQ(runInstrumentCommand(exchange, shell, eraseRecordsCommand()), CommandResult::Done);
  EXPECT_EQ(shell.boxes[0].text, "Erase ALL Recorded Data in 40100?");
  EXPECT_EQ(shell.lines, (Lines{"ERASING ALL RECORDED DATA IN 40100...", "ALL RECORDS ERASED."}));
  EXPECT_EQ(instrument.linesReceived().back(), "CMD345");
  EXPECT_EQ(instrument.recordLog().count(), 0u);
  // Six marks (3000 records), counted on the bar up to 1024.
  EXPECT_EQ(shell.progressMax, 1024);
  EXPECT_EQ(shell.progress, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 0}));
  EXPECT_LT(clock.now() - start, 3s);
}

TEST_F(RecordsTest, EraseRefusalsAndTimeOuts) {
  // No to the question, and a closed link: nothing sent.
  EXPECT_EQ(runInstrumentCommand(exchange, shell, eraseRecordsCommand()), CommandResult::Refused);
  link.close();
  shell.answers = {MessageResult::Yes};
  EXPECT_EQ(runInstrumentCommand(exchange, shell, eraseRecordsCommand()), CommandResult::Refused);
  EXPECT_EQ(shell.boxes.back().text, "Cannot erase records because ZELKA USB port is closed.");
  EXPECT_TRUE(instrument.linesReceived().empty());
  ASSERT_TRUE(link.open());

  for (const char* fault : {"345:silence", "345:nostar"}) {
    ASSERT_EQ(instrument.faults().parse(fault), "");
    shell.lines.clear();
    shell.boxes.clear();
    shell.answers = {MessageResult::Yes};
    const auto start = clock.now();
    EXPECT_EQ(runInstrumentCommand(exchange, shell, eraseRecordsCommand()), CommandResult::Failed)
        << fault;
    EXPECT_EQ(shell.lines.back(), "ERASE RECORDS FAILED. TIMEOUT ERROR. RECORDS MAY NOT BE ERASED.")
        << fault;
    // The time-out line alone: no communication warning after it.
    EXPECT_EQ(shell.boxes.size(), 1u) << fault;
    EXPECT_LE(clock.now() - start, 0.5s + 2 * 0.3s + 2.5s + 0.3s) << fault;
    instrument.faults().clearAll();
  }
}

}  // namespace
}  // namespace halvern
