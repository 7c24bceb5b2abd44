// The firmware update from the computer's side against a scripted loader: the bytes on the wire,
// the star count, the limits from the one start time, the texts, the progress and what a
// cancellation leaves the technician to do.
#include "firmware/firmware_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/usb_link.h"
#include "support/computer_bench.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Three records and an S9, then text after it that is never sent.
constexpr std::string_view kImageText =
    "S00600004844521B\n"
    "S1130000000102030405060708090A0B0C0D0E0F74\n"
    "S1130010101112131415161718191A1B1C1D1E1F64\n"
    "S9030000FC\n"
    "S1060030000000C9\n";

FirmwareImage image() {
  SRecordCheck check = checkSRecordFile(kImageText);
  if (!check.image) ADD_FAILURE() << check.problem;
  return {check.image.value_or(SRecordImage{}), kImageText.size(), "station"};
}

// The loader at the far end: the command lines as the scripted link answers them, "FLS" taken
// without its carriage return, and each record up to its line feed answered by `onRecord`.
class LoaderLink : public test::ScriptedLink {
 public:
  explicit LoaderLink(Clock& clock) : ScriptedLink(clock), m_clockOfLink(clock) {}

  std::function<std::string(const std::string&)> onRecord = [](const std::string&) {
    return std::string("*");
  };
  std::vector<std::string> writes;   // each write's bytes
  std::vector<std::string> records;  // each record as it came, its line feed included
  int erases = 0;
  Clock::TimePoint erasedAt{};

  std::size_t write(const std::uint8_t* buffer, std::size_t n) override {
    writes.emplace_back(reinterpret_cast<const char*>(buffer), n);
    for (std::size_t i = 0; i < n; ++i) {
      const char c = static_cast<char>(buffer[i]);
      m_pendingBytes += c;
      if (c == '\r') {
        ScriptedLink::write(reinterpret_cast<const std::uint8_t*>(m_pendingBytes.data()),
                            m_pendingBytes.size());
        m_pendingBytes.clear();
      } else if (m_pendingBytes == "FLS") {
        ++erases;
        erasedAt = m_clockOfLink.now();
        m_pendingBytes.clear();
      } else if (c == '\n') {
        records.push_back(m_pendingBytes);
        sendUnasked(onRecord(m_pendingBytes), 1ms);
        m_pendingBytes.clear();
      }
    }
    return n;
  }
  using ScriptedLink::write;

 private:
  Clock& m_clockOfLink;
  std::string m_pendingBytes;
};

struct UpdateBench {
  UpdateBench() {
    link.open();
    link.answer = [this](const std::string& line) {
      if (line == " \r") return wakeUp;
      if (line == "CMD980\r") return enterLoader;
      return std::string();
    };
  }
  CommandResult run() { return updateFirmware(exchange, shell, firmware); }
  // The lines sent as command lines, in order.
  const Lines& commandLines() const { return link.lines; }

  std::string wakeUp = "C";
  std::string enterLoader = "***";
  FirmwareImage firmware = image();
  VirtualClock clock;
  LoaderLink link{clock};
  test::RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

const Lines kLoaderLines{std::string(firmware_text::kStillInLoader),
                         std::string(firmware_text::kRunAgain)};

TEST(FirmwareUpdate, AWholeUpdateOnTheWire) {
  UpdateBench b;
  b.link.onRecord = [](const std::string& record) {
    return record.starts_with("S9") ? std::string("FLASH UPDATE COMPLETE\r") : std::string("*");
  };
  b.shell.answers = {MessageResult::Yes};
  EXPECT_EQ(b.run(), CommandResult::Done);

  EXPECT_EQ(b.commandLines(), (Lines{" \r", "CMD980\r"}));
  EXPECT_EQ(b.link.erases, 1);
  // Every record up to the first S9, each with its line feed in one write of its own; the text
  // after the S9 is never sent.
  const Lines records{"S00600004844521B\n", "S1130000000102030405060708090A0B0C0D0E0F74\n",
                      "S1130010101112131415161718191A1B1C1D1E1F64\n", "S9030000FC\n"};
  EXPECT_EQ(b.link.records, records);
  const Lines lastWrites(b.link.writes.end() - 4, b.link.writes.end());
  EXPECT_EQ(lastWrites, records);
  // "FLS" went out as a command line: paced, no carriage return.
  const Lines flsWrites(b.link.writes.end() - 7, b.link.writes.end() - 4);
  EXPECT_EQ(flsWrites, (Lines{"F", "L", "S"}));

  EXPECT_EQ(b.shell.boxes.size(), 1u);
  EXPECT_EQ(b.shell.boxes[0].text, firmware_text::kConfirm);
  EXPECT_EQ(b.shell.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(b.shell.clears, 1);
  EXPECT_EQ(b.shell.lines,
            (Lines{"DO NOT REMOVE POWER FROM 40100!", "DO NOT STOP OR INTERRUPT THIS PROCESS!",
                   "ERASING flash memory...", "PROGRAMMING flash memory...",
                   "FLASH UPDATE COMPLETE\r", "FINISHED FIRMWARE UPDATE."}));
  // The nearest whole percent of the file's bytes sent, on each "*"; 0 at the start and end.
  const std::size_t size = kImageText.size();
  auto percent = [size](std::size_t end) {
    return static_cast<int>((end * 100 + size / 2) / size);
  };
  EXPECT_EQ(b.shell.progress, (std::vector<int>{0, percent(16), percent(59), percent(102), 0}));
  EXPECT_EQ(b.shell.progressMax, 100);
  EXPECT_EQ(b.shell.statuses, (Lines{"station", kPortOpenStatus}));
  EXPECT_EQ(b.shell.uninterruptible, (std::vector<bool>{true, false}));
  EXPECT_EQ(b.shell.closeQuestion, firmware_text::kCloseQuestion);
  EXPECT_EQ(b.shell.busyChanges, (std::vector<bool>{true, false}));
}

TEST(FirmwareUpdate, ProgressIsTheNearestWholePercent) {
  EXPECT_EQ(firmwareProgress(333, 1000), 33);
  EXPECT_EQ(firmwareProgress(335, 1000), 34);
  EXPECT_EQ(firmwareProgress(1000, 1000), 100);
  EXPECT_EQ(firmwareProgress(0, 1000), 0);
  EXPECT_EQ(firmwareProgress(5, 0), 0);
  // Large images do not overflow.
  EXPECT_EQ(firmwareProgress(8'000'000, 16'000'000), 50);
}

TEST(FirmwareUpdate, TheStarCountKeepsTheLastByteAcrossEmptyReads) {
  // Accepted once three "*" are counted: a read that brings nothing counts the byte last
  // received again. So "**x**" is not taken at its last star but one empty read later, and a
  // byte other than "*" after it keeps it from being taken at all.
  const struct {
    const char* reply;
    int emptyReads;  // before it is taken; -1: never
  } cases[] = {
      {"***", 0}, {"*", 2}, {"**x**", 1}, {"**x***", 0}, {"**x**y", -1}, {"", -1}, {"x", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    UpdateBench b;
    b.enterLoader = c.reply;
    b.shell.answers = {MessageResult::Yes};
    Clock::TimePoint sentAt{};
    b.link.answer = [&](const std::string& line) {
      if (line == "CMD980\r") sentAt = b.clock.now();
      return line == " \r" ? b.wakeUp : line == "CMD980\r" ? b.enterLoader : std::string();
    };
    const CommandResult result = b.run();
    if (c.emptyReads >= 0) {
      EXPECT_EQ(result, CommandResult::Done);
      ASSERT_EQ(b.link.erases, 1);
      // The erase line went out after the empty reads' time-outs.
      const auto waited = b.link.erasedAt - sentAt;
      EXPECT_GE(waited, c.emptyReads * wire::kReadTimeout);
      EXPECT_LT(waited, c.emptyReads * wire::kReadTimeout + 100ms);
    } else {
      EXPECT_EQ(result, CommandResult::Failed);
      EXPECT_EQ(b.link.erases, 0);
      EXPECT_TRUE(b.link.records.empty());
      ASSERT_EQ(b.shell.boxes.size(), 2u);
      EXPECT_EQ(b.shell.boxes[1].text, firmware_text::kNoResponse);
      EXPECT_EQ(b.shell.lines, kLoaderLines);
      // More than 5 whole seconds after the start time: within 6 s and a read.
      EXPECT_GE(b.clock.now() - sentAt, 5s);
      EXPECT_LT(b.clock.now() - sentAt, 7s);
    }
  }
}

TEST(FirmwareUpdate, RefusalsBeforeTheLoaderSendNothingMore) {
  {
    // No "C": the warning, nothing after the wake-up line, the message area untouched.
    UpdateBench b;
    b.wakeUp.clear();
    const auto start = b.clock.now();
    EXPECT_EQ(b.run(), CommandResult::Failed);
    EXPECT_GE(b.clock.now() - start, 4s);
    EXPECT_EQ(b.commandLines(), Lines{" \r"});
    ASSERT_EQ(b.shell.boxes.size(), 1u);
    EXPECT_EQ(b.shell.boxes[0].text, firmware_text::kNoWakeUp);
    EXPECT_EQ(b.shell.clears, 0);
    EXPECT_TRUE(b.shell.uninterruptible.empty());
  }
  {
    // No to the confirmation: nothing after the wake-up line, no box more, nothing cleared.
    UpdateBench b;
    b.shell.answers = {MessageResult::No};
    EXPECT_EQ(b.run(), CommandResult::Refused);
    EXPECT_EQ(b.commandLines(), Lines{" \r"});
    EXPECT_EQ(b.link.writes.size(), 2u);  // the blank and the carriage return
    EXPECT_EQ(b.shell.boxes.size(), 1u);
    EXPECT_EQ(b.shell.clears, 0);
    EXPECT_TRUE(b.shell.lines.empty());
    EXPECT_TRUE(b.shell.statuses.empty());
  }
}

TEST(FirmwareUpdate, ARecordNeverAcknowledgedEndsNinetySecondsAfterTheStart) {
  UpdateBench b;
  b.shell.answers = {MessageResult::Yes};
  b.link.onRecord = [](const std::string& record) {
    return record.starts_with("S113001") ? std::string() : std::string("*");
  };
  const auto start = b.clock.now();
  EXPECT_EQ(b.run(), CommandResult::Failed);
  EXPECT_GE(b.clock.now() - start, 91s);
  EXPECT_LT(b.clock.now() - start, 92s);
  EXPECT_EQ(b.link.records.size(), 3u);
  ASSERT_EQ(b.shell.boxes.size(), 2u);
  EXPECT_EQ(b.shell.boxes[1].text, firmware_text::kTimeout);
  const Lines tail(b.shell.lines.end() - 2, b.shell.lines.end());
  EXPECT_EQ(tail, kLoaderLines);
  EXPECT_EQ(b.shell.progress.back(), 0);
  EXPECT_EQ(b.shell.uninterruptible, (std::vector<bool>{true, false}));
  EXPECT_EQ(b.shell.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(b.shell.statuses.back(), kPortOpenStatus);
}

TEST(FirmwareUpdate, NoClosingTextIsNoError) {
  UpdateBench b;
  b.shell.answers = {MessageResult::Yes};
  b.link.onRecord = [](const std::string& record) {
    return record.starts_with("S9") ? std::string() : std::string("*");
  };
  EXPECT_EQ(b.run(), CommandResult::Done);
  const Lines tail(b.shell.lines.end() - 2, b.shell.lines.end());
  EXPECT_EQ(tail, (Lines{"NO REPLY from 40100", "FINISHED FIRMWARE UPDATE."}));
  EXPECT_EQ(b.shell.boxes.size(), 1u);
}

TEST(FirmwareUpdate, AFirstStopIsRefusedASecondTaken) {
  UpdateBench b;
  b.shell.answers = {MessageResult::Yes};
  int records = 0;
  b.link.onRecord = [&](const std::string&) {
    // A stop asked for after the first and after the second record.
    if (++records <= 2) b.shell.cancel = true;
    return std::string("*");
  };
  EXPECT_EQ(b.run(), CommandResult::Cancelled);
  EXPECT_EQ(b.link.records.size(), 2u);
  EXPECT_EQ(std::count(b.shell.lines.begin(), b.shell.lines.end(),
                       std::string(firmware_text::kStopIgnored)),
            1);
  const Lines tail(b.shell.lines.end() - 2, b.shell.lines.end());
  EXPECT_EQ(tail, kLoaderLines);
  EXPECT_EQ(b.shell.boxes.back().text, firmware_text::kTimeout);
}

TEST(FirmwareUpdate, WhereSleepCannotBeBlockedTheMessageAreaSaysSo) {
  UpdateBench b;
  b.shell.answers = {MessageResult::Yes};
  b.shell.sleepProblem = "no system message bus";
  EXPECT_EQ(b.run(), CommandResult::Done);
  ASSERT_GE(b.shell.lines.size(), 2u);
  const Lines first(b.shell.lines.begin(), b.shell.lines.begin() + 2);
  EXPECT_EQ(first, (Lines{"SLEEP IS NOT BLOCKED: no system message bus.",
                          std::string(firmware_text::kKeepAwake)}));
}

}  // namespace
}  // namespace halvern
