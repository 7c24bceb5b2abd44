// The firmware update against every fault the simulated loader can inject, run the one way
// commands run (runInstrumentCommand), on virtual time: each cell ends within its bound, with its
// warning and its last lines, the lock and the hourglass let go; the firmware changes only when
// the update finished.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "firmware/firmware_update.h"
#include "sim/test_replies.h"
#include "support/computer_bench.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

// 40 records of 16 bytes from address 0x1000, between an S0 and an S9.
std::string imageText() {
  auto record = [](int type, unsigned address, const std::vector<unsigned>& data) {
    unsigned sum = 3 + static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF);
    std::string text = "S" + std::to_string(type);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%04X", 3 + static_cast<unsigned>(data.size()), address);
    text += hex;
    for (unsigned byte : data) {
      std::snprintf(hex, sizeof hex, "%02X", byte);
      text += hex;
      sum += byte;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFFu);
    return text + hex + "\r\n";
  };
  std::string text = record(0, 0, {'t', 'e', 's', 't'});
  for (unsigned r = 0; r < 40; ++r) {
    std::vector<unsigned> data;
    for (unsigned i = 0; i < 16; ++i) data.push_back((r * 16 + i) * 7 & 0xFF);
    text += record(1, 0x1000 + r * 16, data);
  }
  return text + record(9, 0x1000, {});
}

struct Cell {
  const char* fault;  // as halvern-sim --fault takes it
  milliseconds bound;
  CommandResult result;
  Lines lastLines;  // the message area's last lines
  Lines boxes;      // after the confirmation
};

const std::string kStillInLoader(firmware_text::kStillInLoader);
const std::string kRunAgain(firmware_text::kRunAgain);
const Lines kFinished{"FLASH UPDATE COMPLETE\r", "FINISHED FIRMWARE UPDATE."};
const Lines kCancelled{kStillInLoader, kRunAgain};
const std::string kNoResponse(firmware_text::kNoResponse);
const std::string kTimeout(firmware_text::kTimeout);

const Cell kCells[] = {
    {"", 2000ms, CommandResult::Done, kFinished, {}},
    {"980:onestar", 2500ms, CommandResult::Done, kFinished, {}},
    {"980:wrong:1:**x**y", 7000ms, CommandResult::Failed, kCancelled, {kNoResponse}},
    {"980:silence", 7000ms, CommandResult::Failed, kCancelled, {kNoResponse}},
    {"980:stray", 2000ms, CommandResult::Done, kFinished, {}},
    {"980:trailing", 2000ms, CommandResult::Done, kFinished, {}},
    {"980:noclose",
     2000ms,
     CommandResult::Done,
     {"NO REPLY from 40100", "FINISHED FIRMWARE UPDATE."},
     {}},
    {"980:slowerase::5000", 7000ms, CommandResult::Done, kFinished, {}},
    {"980:slowerase::95000", 92000ms, CommandResult::Failed, kCancelled, {kTimeout}},
    {"980:nostar:1:12", 92000ms, CommandResult::Failed, kCancelled, {kTimeout}},
    {"980:cut::20", 92000ms, CommandResult::Failed, kCancelled, {kTimeout}},
    {"980:hangup::20", 2000ms, CommandResult::Failed, kCancelled, {kTimeout}},
};

std::string cellName(const ::testing::TestParamInfo<Cell>& info) {
  std::string name = "Update";
  for (const char* c = info.param.fault; *c; ++c)
    name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

class FirmwareFaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FirmwareFaultMatrix, TheUpdateEndsBoundedAgainstTheFault) {
  const Cell& cell = GetParam();
  test::ComputerBench bench(DateTime{2026, 5, 4, 9, 30, 0});
  if (*cell.fault) {
    ASSERT_EQ(bench.instrument.faults().parse(cell.fault), "") << cell.fault;
  }
  ASSERT_TRUE(bench.link.open());
  const std::string text = imageText();
  SRecordCheck check = checkSRecordFile(text);
  ASSERT_TRUE(check.image) << check.problem;
  const FirmwareImage image{std::move(*check.image), text.size(), "matrix"};
  bench.shell.answers = {MessageResult::Yes};

  const auto start = bench.clock.now();
  EXPECT_EQ(runInstrumentCommand(bench.exchange, bench.shell, firmwareUpdateCommand(image)),
            cell.result);
  EXPECT_LE(bench.clock.now() - start, cell.bound);
  const Lines& lines = bench.shell.lines;
  const Lines last(lines.end() - static_cast<long>(std::min(cell.lastLines.size(), lines.size())),
                   lines.end());
  EXPECT_EQ(last, cell.lastLines);
  Lines boxes;
  for (std::size_t i = 1; i < bench.shell.boxes.size(); ++i)
    boxes.push_back(bench.shell.boxes[i].text);
  EXPECT_EQ(boxes, cell.boxes);
  EXPECT_EQ(bench.shell.instrumentBusy, (std::vector<bool>{true, false}));
  // The hourglass, from the erase on, is let go whatever happened.
  const std::vector<bool> busy = bench.shell.busyChanges;
  EXPECT_TRUE(busy.empty() || busy == (std::vector<bool>{true, false}));
  EXPECT_EQ(bench.shell.uninterruptible, (std::vector<bool>{true, false}));
  // The firmware is the new image only once the loader was told it is done.
  const bool updated = bench.instrument.tests().romSignature() != sim::TestReplies::kRomSignature;
  EXPECT_EQ(updated, cell.result == CommandResult::Done);
}

INSTANTIATE_TEST_SUITE_P(Cells, FirmwareFaultMatrix, ::testing::ValuesIn(kCells), cellName);

}  // namespace
}  // namespace halvern
