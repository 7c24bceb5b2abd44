#include "link/command_exchange.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/recording_shell.h"
#include "support/scripted_link.h"
#include "wire/wire.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using test::RecordingShell;
using test::ScriptedLink;
using Event = ScriptedLink::Event;
using Shape = CommandExchange::ReplyShape;

class CommandExchangeTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  ScriptedLink link{clock};
  RecordingShell shell;
  CommandExchange exchange{link, clock, shell};

  void SetUp() override { link.open(); }

  std::vector<Event> eventsOf(Event::Kind kind) const {
    std::vector<Event> out;
    for (const auto& e : link.events)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
  // Replies `reply` to the first `bad` lines with `badReply`, then `goodReply`.
  void answerAfter(int bad, std::string badReply, std::string goodReply) {
    auto count = std::make_shared<int>(0);
    link.answer = [=](const std::string&) { return (*count)++ < bad ? badReply : goodReply; };
  }
};

TEST_F(CommandExchangeTest, CommandLineIsPurgedThenPacedOneByteAMillisecond) {
  const auto start = clock.now();
  exchange.sendCommandLine("CMD225\r");

  ASSERT_EQ(link.events.size(), 8u);
  EXPECT_EQ(link.events[0].kind, Event::Purge);
  std::string sent;
  auto previous = link.events[0].at;
  for (std::size_t i = 1; i < link.events.size(); ++i) {
    ASSERT_EQ(link.events[i].kind, Event::Write);
    sent += static_cast<char>(link.events[i].byte);
    EXPECT_GT(link.events[i].at - previous, 1ms) << "byte " << i;
    previous = link.events[i].at;
  }
  EXPECT_EQ(sent, "CMD225\r");
  // A gap follows the carriage return too: seven bytes take more than 8 ms.
  EXPECT_GT(clock.now() - previous, 1ms);
  EXPECT_GT(clock.now() - start, 8ms);
  EXPECT_LT(clock.now() - start, 9ms);
}

TEST(ParseNumber, ReadsTheInstrumentsDecimalReplies) {
  const struct {
    std::string text;
    int value;
  } cases[] = {
      {"-96\r", -96},
      {" 12\r", 12},
      {"\r", 0},
      {"", 0},
      {"abc", 0},
      {"  96\r", 96},
      {"-115\r", -115},
      {"12abc", 12},
      {"07", 7},
      {" 5", 5},
      {"+5\r", 5},
      {"- 5", 0},
      {"1 2", 1},
      {"\r\n 3", 3},
      {"-", 0},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandExchange::parseNumber(c.text), c.value) << '"' << c.text << '"';
  }
  // Only the bytes actually read count: a zero byte stops nothing, it is simply not a digit.
  EXPECT_EQ(CommandExchange::parseNumber(std::string("4\0"
                                                     "5",
                                                     3)),
            4);
}

TEST_F(CommandExchangeTest, QueryReadsAfterTheFiftyMillisecondPause) {
  link.answer = [](const std::string&) { return std::string("  96\r"); };
  auto reply = exchange.queryFixedReply("CMD225\r", 5, "CANNOT GET COM1 INFO");
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, "  96\r");
  EXPECT_EQ(link.lines.size(), 1u);
  auto writes = eventsOf(Event::Write);
  auto reads = eventsOf(Event::Read);
  ASSERT_EQ(reads.size(), 1u);
  // The read starts 50 ms after the last byte's gap; the reply is already there.
  EXPECT_GE(reads[0].at - writes.back().at, 51ms);
  EXPECT_LT(reads[0].at - writes.back().at, 52ms);
  EXPECT_TRUE(shell.lines.empty());
}

TEST_F(CommandExchangeTest, QueryWithoutPauseReadsAtOnce) {
  link.answer = [](const std::string&) { return std::string(" 3"); };
  link.replyDelay = 5ms;
  auto value = exchange.queryNumber("CMD315\r", 2, Shape::Number, "CANNOT GET FIELDS PER RECORD",
                                    CommandExchange::Pause::None);
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, 3);
  auto writes = eventsOf(Event::Write);
  auto reads = eventsOf(Event::Read);
  // The read itself waited for the reply: it ends when the second byte is in, about 5 ms later.
  EXPECT_LT(reads[0].at - writes.back().at, 7ms);
}

TEST_F(CommandExchangeTest, ShortRepliesAreAskedAgainAfterAFreshPurge) {
  const struct {
    int shortReplies;
    bool succeeds;
    std::size_t sends;
  } cases[] = {{1, true, 2}, {9, true, 10}, {10, false, 10}, {50, false, 10}};
  for (const auto& c : cases) {
    link.events.clear();
    link.lines.clear();
    shell.lines.clear();
    answerAfter(c.shortReplies, " 96\r", "  96\r");
    const auto start = clock.now();
    auto reply = exchange.queryFixedReply("CMD225\r", 5, "CANNOT GET COM1 INFO");
    EXPECT_EQ(reply.has_value(), c.succeeds) << c.shortReplies;
    EXPECT_EQ(link.lines.size(), c.sends) << c.shortReplies;
    EXPECT_EQ(eventsOf(Event::Purge).size(), c.sends);
    // A short read waits out its 250 ms time-out before the next send.
    const auto shortReads = static_cast<int>(std::min<std::size_t>(c.shortReplies, c.sends));
    EXPECT_GE(clock.now() - start, shortReads * (wire::kReadTimeout + 50ms));
    if (c.succeeds) {
      EXPECT_TRUE(shell.lines.empty());
    } else {
      EXPECT_EQ(shell.lines, std::vector<std::string>{"CANNOT GET COM1 INFO"});
    }
  }
}

TEST(ReplyShape, FixedLengthRepliesMustLookLikeTheirKind) {
  const struct {
    std::string text;
    Shape shape;
    bool fits;
  } cases[] = {
      // The 2-byte values: "%2d".
      {" 5", Shape::Number, true},
      {"12", Shape::Number, true},
      {"-1", Shape::Number, true},
      {"+5", Shape::Number, true},
      {"00", Shape::Number, true},
      {"?#", Shape::Number, false},
      {"  ", Shape::Number, false},
      {" -", Shape::Number, false},
      {"5 ", Shape::Number, false},
      {"1-", Shape::Number, false},
      {"--", Shape::Number, false},
      {"\t5", Shape::Number, false},
      {std::string("5\0", 2), Shape::Number, false},
      {"", Shape::Number, false},
      {"5\r", Shape::Number, false},
      // The serial ports' baud codes: "%4d\r" and "%3d\r".
      {"  96\r", Shape::NumberLine, true},
      {"-115\r", Shape::NumberLine, true},
      {"-230\r", Shape::NumberLine, true},
      {" 96\r", Shape::NumberLine, true},
      {"230\r", Shape::NumberLine, true},
      {"?#  9", Shape::NumberLine, false},
      {"  96", Shape::NumberLine, false},
      {"   9", Shape::NumberLine, false},
      {"6\r?#", Shape::NumberLine, false},
      {"   \r", Shape::NumberLine, false},
      {" -\r", Shape::NumberLine, false},
      {"9 6\r", Shape::NumberLine, false},
      {"\r", Shape::NumberLine, false},
      // The date and the time.
      {"12-31-26\r", Shape::Date, true},
      {"13-31-26\r", Shape::Date, true},  // a number out of range is the caller's to refuse
      {"?#12-31-2", Shape::Date, false},
      {"12:31:26\r", Shape::Date, false},
      {"1-31-26\r ", Shape::Date, false},
      {"12-31-26 ", Shape::Date, false},
      {"12-31-2\r", Shape::Date, false},
      {"23:59:30\r", Shape::Time, true},
      {"23-59-30\r", Shape::Time, false},
      {"?#23:59:3", Shape::Time, false},
      {"2 :59:30\r", Shape::Time, false},
      // Anything goes where no shape is asked for.
      {"?#", Shape::Bytes, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandExchange::hasShape(c.text, c.shape), c.fits)
        << '"' << c.text << "\" as " << static_cast<int>(c.shape);
  }
}

TEST_F(CommandExchangeTest, RepliesOfTheWrongShapeAreAskedAgainLikeShortOnes) {
  const struct {
    const char* name;
    int bad;  // replies with stray bytes in front before the good one
    std::size_t size;
    Shape shape;
    std::string badReply;
    std::string goodReply;
    bool succeeds;
    std::size_t sends;
  } cases[] = {
      {"interval once", 1, 2, Shape::Number, "?# 5", " 5", true, 2},
      {"interval nine times", 9, 2, Shape::Number, "?# 5", " 5", true, 10},
      {"interval always", 10, 2, Shape::Number, "?# 5", " 5", false, 10},
      {"COM1 always", 50, 5, Shape::NumberLine, "?#  96\r", "  96\r", false, 10},
      {"COM2 a blank in front", 3, 4, Shape::NumberLine, "  96\r", " 96\r", true, 4},
      {"date", 2, 9, Shape::Date, "?#12-31-26\r", "12-31-26\r", true, 3},
      {"time always", 10, 9, Shape::Time, "?#23:59:30\r", "23:59:30\r", false, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link.events.clear();
    link.lines.clear();
    shell.lines.clear();
    answerAfter(c.bad, c.badReply, c.goodReply);
    clock.advance(1s);  // whatever came before has come
    const auto start = clock.now();
    auto reply = exchange.queryFixedReply("CMD225\r", c.size, c.shape, "FAILED");
    EXPECT_EQ(reply.has_value(), c.succeeds);
    if (c.succeeds) {
      EXPECT_EQ(*reply, c.goodReply);
    }
    EXPECT_EQ(link.lines.size(), c.sends);
    // Each send purges first: nothing of a spoiled reply is read as the next one.
    EXPECT_EQ(eventsOf(Event::Purge).size(), c.sends);
    // A spoiled reply came whole: no read time-out is waited out, only the tail's grace.
    EXPECT_LT(clock.now() - start,
              static_cast<int>(c.sends) * (9ms + 50ms + CommandExchange::kTailGrace));
    EXPECT_EQ(shell.lines,
              c.succeeds ? std::vector<std::string>{} : std::vector<std::string>{"FAILED"});
  }
}

TEST_F(CommandExchangeTest, TheRestOfAShiftedReplyIsPurgedBeforeTheNextSend) {
  // No pause before the read: the reply's last bytes are still coming when it is taken.
  answerAfter(1, "?# 7", " 8");
  auto value =
      exchange.queryNumber("CMD315\r", 2, Shape::Number, "FAILED", CommandExchange::Pause::None);
  EXPECT_EQ(value, 8);
  EXPECT_EQ(link.lines.size(), 2u);
}

TEST_F(CommandExchangeTest, SilenceFailsQuietlyWithoutAFailureLine) {
  auto reply = exchange.queryFixedReply("CMD255\r", 2);
  EXPECT_FALSE(reply);
  EXPECT_EQ(link.lines.size(), 10u);
  EXPECT_TRUE(shell.lines.empty());
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(CommandExchangeTest, BlockWithBytesBehindItCameShiftedAndIsAskedForAgain) {
  const std::string block(32, 'B');
  const struct {
    const char* name;
    int shifted;  // replies with stray bytes in front before a clean one
    std::string stray;
    std::size_t got;
    std::size_t sends;
  } cases[] = {
      {"clean", 0, "", 32, 1},
      {"two stray bytes once", 1, "?#", 32, 2},
      {"one stray byte four times", 4, "?", 32, 5},
      {"two stray bytes always", 5, "?#", 34, 5},
      {"four stray bytes always", 5, "?#?#", 36, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link.events.clear();
    link.lines.clear();
    answerAfter(c.shifted, c.stray + block, block);
    clock.advance(1s);
    std::uint8_t buffer[40] = {};
    EXPECT_EQ(exchange.queryBlock("CMD325\r", buffer, 32, {5, 100ms}), c.got);
    EXPECT_EQ(link.lines.size(), c.sends);
    EXPECT_EQ(eventsOf(Event::Purge).size(), 2 * c.sends);  // before the pause and the line
    if (c.got == 32) {
      EXPECT_EQ(std::string(buffer, buffer + 32), block);
    }
    // Nothing is written past the buffer's count, whatever came.
    EXPECT_EQ(buffer[32], 0);
  }
}

TEST_F(CommandExchangeTest, TheLookBehindAWholeBlockCostsOnlyItsGrace) {
  const std::string block(32, 'B');
  link.answer = [&](const std::string&) { return block; };
  std::uint8_t buffer[32];
  EXPECT_EQ(exchange.queryBlock("CMD325\r", buffer, 32, {5, 100ms}), 32u);
  // The look behind the block is all that follows its read.
  EXPECT_EQ(clock.now() - eventsOf(Event::Read).back().at, CommandExchange::kTailGrace);
  EXPECT_EQ(eventsOf(Event::Write).size(), 7u);
  EXPECT_EQ(eventsOf(Event::Read).size(), 1u);
}

TEST_F(CommandExchangeTest, WaitForAckTakesTheExpectedByteAfterStrayOnes) {
  link.sendUnasked("?x!", 3ms);
  link.sendUnasked("*", 600ms);
  const auto start = clock.now();
  EXPECT_TRUE(exchange.waitForAck('*', 2));
  EXPECT_GE(clock.now() - start, 600ms);
  EXPECT_LT(clock.now() - start, 601ms);
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(CommandExchangeTest, WaitForAckTimesOutWithOneBeep) {
  for (int seconds : {1, 2, 5}) {
    shell.beeps.clear();
    const auto start = clock.now();
    EXPECT_FALSE(exchange.waitForAck('*', seconds));
    const auto took = clock.now() - start;
    EXPECT_GE(took, std::chrono::seconds(seconds) - 500ms);
    EXPECT_LE(took, std::chrono::seconds(seconds) + wire::kReadTimeout);
    EXPECT_EQ(shell.beeps, std::vector<BeepKind>{BeepKind::Default});
  }
}

TEST_F(CommandExchangeTest, StopFlagEndsAWaitWithinOneReadWithoutBeep) {
  // Stop Calibration pressed three seconds into a 60 s wait.
  const auto start = clock.now();
  shell.onProcessEvents = [&](int) {
    if (clock.now() - start >= 3s) exchange.requestStop();
  };
  EXPECT_FALSE(exchange.waitForAck('*', 60));
  EXPECT_LE(clock.now() - start, 3s + wire::kReadTimeout);
  EXPECT_TRUE(shell.beeps.empty());
  EXPECT_TRUE(exchange.stopRequested());

  // The next wait starts with the flag cleared.
  shell.onProcessEvents = nullptr;
  link.sendUnasked("*", 10ms);
  EXPECT_TRUE(exchange.waitForAck('*', 2));
  EXPECT_FALSE(exchange.stopRequested());
}

TEST_F(CommandExchangeTest, CancelFromTheShellStopsAWaitLikeTheStopFlag) {
  shell.cancel = true;
  const auto start = clock.now();
  EXPECT_FALSE(exchange.waitForAck('*', 60));
  EXPECT_LE(clock.now() - start, wire::kReadTimeout);
  EXPECT_TRUE(shell.beeps.empty());
}

// Every wait of the exchange, as a call that reports whether it got what it waited for.
struct WaitCase {
  const char* name;
  std::function<bool(CommandExchange&)> run;
  Clock::Duration longest;  // how long it may take on a link that answers nothing
};
const WaitCase kWaits[] = {
    {"waitForAck", [](CommandExchange& e) { return e.waitForAck('*', 2); }, 2s + 250ms},
    {"waitForMark quiet",
     [](CommandExchange& e) { return e.waitForMark('*', 2s, CommandExchange::OnTimeout::Quiet); },
     2s + 250ms},
    {"sendUntilMark", [](CommandExchange& e) { return e.sendUntilMark("CMD320\r", '!', 2, 3); },
     3 * (2s + 250ms + 9ms)},
    {"sendSetting", [](CommandExchange& e) { return e.sendSetting("CMD260 1\r"); },
     10 * (2s + 250ms + 11ms)},
    {"queryBlock",
     [](CommandExchange& e) {
       std::uint8_t block[32];
       return e.queryBlock("CMD325\r", block, sizeof block, {5, 100ms}) == sizeof block;
     },
     5 * (100ms + 9ms + 250ms)},
    {"queryFixedReply",
     [](CommandExchange& e) { return e.queryFixedReply("CMD225\r", 5).has_value(); },
     10 * (9ms + 50ms + 250ms)},
    {"readBlock",
     [](CommandExchange& e) {
       std::uint8_t byte = 0;
       return e.readBlock(&byte, 1) == 1;
     },
     250ms},
};

TEST_F(CommandExchangeTest, EveryWaitEndsAtOnceOnAClosedLink) {
  link.close();
  for (const auto& wait : kWaits) {
    const auto start = clock.now();
    const auto reads = eventsOf(Event::Read).size();
    EXPECT_FALSE(wait.run(exchange)) << wait.name;
    // At most the pacing of one command line; no read, no time-out waited out.
    EXPECT_LT(clock.now() - start, 10ms) << wait.name;
    EXPECT_EQ(eventsOf(Event::Read).size(), reads) << wait.name;
  }
}

TEST_F(CommandExchangeTest, NoWaitSpinsOnADeadLinkThatReturnsAtOnce) {
  link.dead = true;
  for (const auto& wait : kWaits) {
    const auto start = clock.now();
    const auto reads = eventsOf(Event::Read).size();
    EXPECT_FALSE(wait.run(exchange)) << wait.name;
    const auto took = clock.now() - start;
    EXPECT_LE(took, wait.longest) << wait.name;
    // Every empty read lasted the read time-out: a few hundred reads at most, never a spin.
    const auto readsMade = eventsOf(Event::Read).size() - reads;
    EXPECT_GE(readsMade, 1u) << wait.name;
    EXPECT_LE(readsMade, static_cast<std::size_t>(took / wire::kReadTimeout) + 10u) << wait.name;
  }
}

TEST_F(CommandExchangeTest, SettingIsSentUntilItsStarComes) {
  const struct {
    int missing;
    bool accepted;
    std::size_t sends;
  } cases[] = {{0, true, 1}, {2, true, 3}, {9, true, 10}, {10, false, 10}};
  for (const auto& c : cases) {
    link.lines.clear();
    shell.beeps.clear();
    answerAfter(c.missing, "", "*");
    EXPECT_EQ(exchange.sendSetting("CMD250 5\r"), c.accepted) << c.missing;
    EXPECT_EQ(link.lines, std::vector<std::string>(c.sends, "CMD250 5\r"));
    EXPECT_EQ(shell.beeps.size(), static_cast<std::size_t>(c.missing < 10 ? c.missing : 10));
    EXPECT_TRUE(shell.lines.empty());
  }
}

TEST_F(CommandExchangeTest, StaleBytesBeforeALineArePurged) {
  link.sendUnasked("*");
  clock.advance(1ms);
  // Nobody answers this line: the stale "*" must not count as its acknowledgement.
  EXPECT_FALSE(exchange.sendSetting("CMD260 1\r"));
  EXPECT_EQ(link.lines.size(), 10u);
}

}  // namespace
}  // namespace halvern
