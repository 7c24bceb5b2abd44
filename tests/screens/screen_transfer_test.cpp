// Screen transfers against the simulated instrument with faults, on virtual time.
#include "screens/screen_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::FaultKind;
using Lines = std::vector<std::string>;

Fault fault(FaultKind kind, int count = -1, std::string text = {}) {
  Fault f;
  f.kind = kind;
  f.count = count;
  f.text = std::move(text);
  return f;
}

// A Link that stops taking bytes after a number of writes (the bridge pulled mid-transfer).
class FailingWrites final : public Link {
 public:
  FailingWrites(Link& inner, std::size_t bytesTaken) : m_inner(inner), m_left(bytesTaken) {}
  bool open() override { return m_inner.open(); }
  bool isOpen() const override { return m_inner.isOpen(); }
  std::size_t read(std::uint8_t* b, std::size_t n) override { return m_inner.read(b, n); }
  std::size_t available() override { return m_inner.available(); }
  std::size_t write(const std::uint8_t* b, std::size_t n) override {
    // The bridge takes what it still can, then nothing more.
    const std::size_t taken = std::min(n, m_left);
    m_left -= taken;
    return taken == 0 ? 0 : m_inner.write(b, taken);
  }
  using Link::write;
  void purge() override { m_inner.purge(); }
  void cyclePort() override {}
  void close() override { m_inner.close(); }

 private:
  Link& m_inner;
  std::size_t m_left;
};

ScreenBuffer editedScreens() {
  ScreenBuffer buffer;
  for (int s = 0; s < 8; ++s) {
    buffer.setCurrentScreen(s);
    buffer.set(0, 0, static_cast<std::uint8_t>('a' + s));
    buffer.setLargeCell(2, 2 * s, 0xB0 + s);
  }
  return buffer;
}

class ScreenTransfer : public ::testing::Test, protected test::ComputerBench {
 protected:
  ScreenTransfer() : ComputerBench(DateTime{2026, 12, 7, 10, 0, 0}) {}
  void SetUp() override { ASSERT_TRUE(link.open()); }

  std::string instrumentCells() const {
    const auto& cells = instrument.screenMemory().cells();
    return {cells.begin(), cells.end()};
  }
  static std::string bytesOf(const ScreenBuffer& buffer) {
    return {buffer.bytes().begin(), buffer.bytes().end()};
  }
};

TEST_F(ScreenTransfer, GetReplacesEveryScreenAndShowsScreenOne) {
  ScreenBuffer buffer;
  buffer.setCurrentScreen(5);
  EXPECT_EQ(getUserScreens(exchange, buffer, shell), CommandResult::Done);
  EXPECT_EQ(bytesOf(buffer), instrumentCells());
  // The simulated instrument's first screen is not blank.
  EXPECT_NE(buffer.cell(0, 0, 2), ' ');
  EXPECT_EQ(buffer.currentScreen(), 0);
  EXPECT_EQ(shell.lines, (Lines{"GET SCREENS...", "FINISHED GETTING SCREENS."}));
  EXPECT_EQ(instrument.linesReceived(), (Lines{"CMD215"}));
  EXPECT_EQ(shell.progressMax, 240);
  ASSERT_EQ(shell.progress.size(), 241u);
  EXPECT_EQ(shell.progress[0], 1);
  EXPECT_EQ(shell.progress[239], 240);
  EXPECT_EQ(shell.progress.back(), 0);
  EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(ScreenTransfer, GetRetriesIncompleteRepliesUpToTenTimes) {
  struct Row {
    const char* name;
    Fault fault;
    std::size_t sends;
    bool failed;
  };
  const Row rows[] = {
      {"short three times", fault(FaultKind::Short, 3), 4, false},
      {"silent twice", fault(FaultKind::Silence, 2), 3, false},
      {"short always", fault(FaultKind::Short), 10, true},
      {"silent always", fault(FaultKind::Silence), 10, true},
      {"garbage always", fault(FaultKind::WrongValue, -1, "ERR"), 10, true},
      // The screens are the first 1920 bytes that come, whatever follows them; bytes in front
      // of the cells are read as the first cells.
      {"a carriage return behind", fault(FaultKind::Trailing, -1, "\r"), 1, false},
      {"a line end and more behind", fault(FaultKind::Trailing, -1, "\r\n*?#"), 1, false},
      {"two bytes in front", fault(FaultKind::Stray, -1, "?#"), 1, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    sim::SimulatedInstrument instrument2{calendar, clock};
    sim::SimulatedLink link2{instrument2, clock};
    ASSERT_TRUE(link2.open());
    test::RecordingShell shell2;
    CommandExchange exchange2{link2, clock, shell2};
    instrument2.faults().set(215, row.fault);
    const ScreenBuffer before = editedScreens();
    ScreenBuffer buffer = before;
    buffer.setCurrentScreen(6);
    const auto start = clock.now();

    EXPECT_EQ(getUserScreens(exchange2, buffer, shell2) != CommandResult::Done, row.failed);
    EXPECT_EQ(instrument2.linesReceived(), Lines(row.sends, "CMD215"));
    // Every attempt pauses 100 ms after its purge.
    EXPECT_GE(clock.now() - start, row.sends * 100ms);
    if (row.failed) {
      EXPECT_TRUE(buffer == before);
      EXPECT_EQ(buffer.currentScreen(), 6);
      EXPECT_EQ(shell2.lines, (Lines{"GET SCREENS...", "GET SCREENS FAILED."}));
    } else {
      const auto& cells = instrument2.screenMemory().cells();
      const std::string front = row.fault.kind == FaultKind::Stray ? row.fault.text : "";
      EXPECT_EQ(bytesOf(buffer), (front + std::string(cells.begin(), cells.end())).substr(0, 1920));
    }
  }
}

TEST_F(ScreenTransfer, SendWritesTheBlockAfterTheGoAhead) {
  const ScreenBuffer screens = editedScreens();
  const auto start = clock.now();
  EXPECT_EQ(sendUserScreens(exchange, screens, shell), CommandResult::Done);
  // Done once the last byte has had its time on the wire: the next command's purge loses none.
  EXPECT_GE(clock.now() - start, 1920 * wire::kByteTime);
  link.purge();
  EXPECT_EQ(instrument.screenMemory().uploadsStored(), 1);
  EXPECT_EQ(instrumentCells(), bytesOf(screens));
  EXPECT_EQ(shell.lines, (Lines{"SEND SCREENS...", "FINISHED SENDING SCREENS."}));
  EXPECT_EQ(shell.progressMax, 1920);
  ASSERT_EQ(shell.progress.size(), 1921u);
  EXPECT_EQ(shell.progress[1919], 1920);
  EXPECT_EQ(shell.progress.back(), 0);

  // Read back, the same screens.
  ScreenBuffer again;
  EXPECT_EQ(getUserScreens(exchange, again, shell), CommandResult::Done);
  EXPECT_TRUE(again == screens);
}

TEST_F(ScreenTransfer, SendWithoutTheGoAheadWritesNothing) {
  struct Row {
    const char* name;
    Fault fault;
  };
  const Row rows[] = {
      {"no star", fault(FaultKind::NoStar)},
      {"silence", fault(FaultKind::Silence)},
      {"garbage instead of the star", fault(FaultKind::WrongValue, -1, "#?!")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    sim::SimulatedInstrument instrument2{calendar, clock};
    sim::SimulatedLink link2{instrument2, clock};
    ASSERT_TRUE(link2.open());
    test::RecordingShell shell2;
    CommandExchange exchange2{link2, clock, shell2};
    instrument2.faults().set(210, row.fault);
    const auto before = instrument2.screenMemory().cells();
    const auto start = clock.now();

    EXPECT_EQ(sendUserScreens(exchange2, editedScreens(), shell2), CommandResult::Failed);
    // The two-second countdown, give or take one read time-out.
    EXPECT_GE(clock.now() - start, 2s);
    EXPECT_LT(clock.now() - start, 2s + 300ms);
    ASSERT_EQ(shell2.boxes.size(), 1u);
    EXPECT_EQ(shell2.boxes[0].text, "No response from 40100");
    EXPECT_EQ(shell2.boxes[0].kind, MessageKind::Warning);
    EXPECT_EQ(shell2.boxes[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(shell2.lines, (Lines{"SEND SCREENS...", "SEND SCREENS ERROR."}));
    EXPECT_TRUE(shell2.progress.empty());
    clock.advance(2s);
    link2.purge();
    EXPECT_EQ(instrument2.screenMemory().cells(), before);
    EXPECT_EQ(instrument2.screenMemory().uploadsStored(), 0);
    // Only the command line went out.
    EXPECT_EQ(instrument2.linesReceived(), Lines{"CMD210"});
  }
}

TEST_F(ScreenTransfer, StrayBytesBeforeTheStarDoNotMatter) {
  instrument.faults().set(210, fault(FaultKind::Stray, -1, "x*"));
  EXPECT_EQ(sendUserScreens(exchange, editedScreens(), shell), CommandResult::Done);
  clock.advance(10ms);
  link.purge();
  EXPECT_EQ(instrumentCells(), bytesOf(editedScreens()));
}

TEST_F(ScreenTransfer, BridgeLostDuringTheBlockIsAFailure) {
  // Seven bytes of the command line, then 100 screen bytes before the bridge goes.
  FailingWrites failing(link, 7 + 100);
  CommandExchange failingExchange(failing, clock, shell);
  EXPECT_EQ(sendUserScreens(failingExchange, editedScreens(), shell), CommandResult::Failed);
  EXPECT_EQ(shell.lines, (Lines{"SEND SCREENS...", "SEND SCREENS ERROR."}));
  EXPECT_EQ(shell.progress.back(), 0);
  EXPECT_TRUE(shell.boxes.empty());
  clock.advance(2s);
  link.purge();
  EXPECT_EQ(instrument.screenMemory().uploadsStored(), 0);
}

TEST_F(ScreenTransfer, MenuCommandsRefuseAClosedLinkAndWarnOnFailure) {
  ScreenBuffer buffer = editedScreens();
  link.close();
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getScreensCommand(buffer)),
            CommandResult::Refused);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, sendScreensCommand(buffer)),
            CommandResult::Refused);
  ASSERT_EQ(shell.boxes.size(), 2u);
  EXPECT_EQ(shell.boxes[0].text, "Cannot Get Screens.\nUSB port is closed.");
  EXPECT_EQ(shell.boxes[1].text, "Cannot Send Screens.\nUSB port is closed.");
  EXPECT_TRUE(instrument.linesReceived().empty());
  EXPECT_TRUE(shell.lines.empty());

  ASSERT_TRUE(link.open());
  shell.boxes.clear();
  instrument.faults().set(215, fault(FaultKind::Short));
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getScreensCommand(buffer)),
            CommandResult::Failed);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, kCommErrorText);
  EXPECT_EQ(shell.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_TRUE(buffer == editedScreens());

  instrument.faults().clearAll();
  shell.boxes.clear();
  EXPECT_EQ(runInstrumentCommand(exchange, shell, sendScreensCommand(buffer)), CommandResult::Done);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getScreensCommand(buffer)), CommandResult::Done);
  EXPECT_TRUE(buffer == editedScreens());
  EXPECT_TRUE(shell.boxes.empty());
}

}  // namespace
}  // namespace halvern
