#include "link/command_exchange.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "support/recording_shell.h"
#include "support/scripted_link.h"
#include "wire/wire.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using test::RecordingShell;
using test::ScriptedLink;
using Event = ScriptedLink::Event;

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
  auto value = exchange.queryNumber("CMD315\r", 2, "CANNOT GET FIELDS PER RECORD",
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

TEST_F(CommandExchangeTest, EveryReplyOfItsLengthIsTakenAtTheFirstSend) {
  // The forms an instrument may give a value: padded with blanks or zeros, with or without a
  // closing carriage return, a lone carriage return for nothing at all, bytes the caller's range
  // check is left to judge.
  const struct {
    std::string reply;
    int value;
  } cases[] = {
      {" 1", 1},     {"1\r", 1},     {"01", 1},        {"12", 12},      {"\r ", 0},
      {" \r", 0},    {"  ", 0},      {"?#", 0},        {"-1", -1},      {"  96\r", 96},
      {"   96", 96}, {"0096\r", 96}, {"-115\r", -115}, {"-0115", -115}, {"96  \r", 96},
      {" 96\r", 96}, {"  96", 96},   {"096\r", 96},    {"5\r  ", 5},    {"\r\r", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE('"' + c.reply + '"');
    link.lines.clear();
    shell.lines.clear();
    link.answer = [&](const std::string&) { return c.reply; };
    clock.advance(1s);
    EXPECT_EQ(exchange.queryNumber("CMD225\r", c.reply.size(), "FAILED"), c.value);
    EXPECT_EQ(link.lines.size(), 1u);
    EXPECT_TRUE(shell.lines.empty());
  }
}

TEST_F(CommandExchangeTest, SilenceFailsQuietlyWithoutAFailureLine) {
  auto reply = exchange.queryFixedReply("CMD255\r", 2);
  EXPECT_FALSE(reply);
  EXPECT_EQ(link.lines.size(), 10u);
  EXPECT_TRUE(shell.lines.empty());
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(CommandExchangeTest, ABlockIsItsFirstBytesWhateverFollowsIt) {
  const std::string block(32, 'B');
  const struct {
    const char* name;
    std::string after;
  } cases[] = {
      {"nothing", ""},
      {"a carriage return", "\r"},
      {"a line end", "\r\n"},
      {"a few bytes", "?#?#"},
      {"more than a block", std::string(40, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link.events.clear();
    link.lines.clear();
    link.answer = [&](const std::string&) { return block + c.after; };
    clock.advance(1s);
    std::uint8_t buffer[40] = {};
    EXPECT_EQ(exchange.queryBlock("CMD325\r", buffer, 32, {5, 100ms}), 32u);
    EXPECT_EQ(link.lines.size(), 1u);
    EXPECT_EQ(std::string(buffer, buffer + 32), block);
    // Nothing is written past the block's count, whatever came behind it.
    EXPECT_EQ(buffer[32], 0);
    // What came right behind it is purged after a short grace: nothing of it is left for the
    // next line to read as its reply.
    EXPECT_EQ(clock.now() - eventsOf(Event::Read).back().at, CommandExchange::kTailGrace);
    EXPECT_EQ(eventsOf(Event::Purge).back().at, clock.now());
    clock.advance(1s);
    EXPECT_EQ(link.available(), 0u);
  }
}

TEST_F(CommandExchangeTest, AShortBlockIsAskedForAgainAfterAPurgeAndAPause) {
  const std::string block(32, 'B');
  answerAfter(2, block.substr(0, 31), block);
  std::uint8_t buffer[32];
  EXPECT_EQ(exchange.queryBlock("CMD325\r", buffer, 32, {5, 100ms}), 32u);
  EXPECT_EQ(link.lines.size(), 3u);
  // Before the pause and the line each time, and after the whole block.
  EXPECT_EQ(eventsOf(Event::Purge).size(), 7u);
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

TEST_F(CommandExchangeTest, AReportIsCopiedUpToItsMarkAndNothingAfterIt) {
  link.sendUnasked("SE 01 +0001.50 mV\r", 500ms);
  link.sendUnasked("SE 02 -0000.15 mV\r*left over", 800ms);
  // A Stop Calibration left over from an earlier wait does not end this one.
  exchange.requestStop();
  std::string copied;
  int pieces = 0;
  const auto end = exchange.copyReportUntil('*', 60s, 1000, [&](std::span<const std::uint8_t> t) {
    EXPECT_FALSE(t.empty());
    copied.append(t.begin(), t.end());
    ++pieces;
  });
  EXPECT_EQ(end, CommandExchange::WaitEnd::Mark);
  EXPECT_EQ(copied, "SE 01 +0001.50 mV\rSE 02 -0000.15 mV\r");
  // Handed on as the reads bring them, never an empty piece.
  EXPECT_GE(pieces, 2);
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(CommandExchangeTest, AReportEndsOnStopCancelTimeOutOrClose) {
  using WaitEnd = CommandExchange::WaitEnd;
  struct Case {
    const char* name;
    std::function<void(CommandExchange&, RecordingShell&, ScriptedLink&)> atEvents;
    WaitEnd end;
    std::size_t beeps;
  };
  const Case cases[] = {
      {"stop", [](CommandExchange& e, RecordingShell&, ScriptedLink&) { e.requestStop(); },
       WaitEnd::Stopped, 0},
      {"cancel", [](CommandExchange&, RecordingShell& s, ScriptedLink&) { s.cancel = true; },
       WaitEnd::Stopped, 0},
      {"silence", nullptr, WaitEnd::TimedOut, 1},
      {"closed", [](CommandExchange&, RecordingShell&, ScriptedLink& l) { l.close(); },
       WaitEnd::Closed, 0},
  };
  for (const auto& c : cases) {
    link.open();
    shell.cancel = false;
    shell.beeps.clear();
    shell.onProcessEvents = [&](int) {
      if (c.atEvents) c.atEvents(exchange, shell, link);
    };
    const auto start = clock.now();
    std::string copied;
    link.sendUnasked("WD 1", 10ms);
    EXPECT_EQ(exchange.copyReportUntil(
                  '*', 3s, 1000,
                  [&](std::span<const std::uint8_t> t) { copied.append(t.begin(), t.end()); }),
              c.end)
        << c.name;
    EXPECT_EQ(copied, "WD 1") << c.name;
    EXPECT_EQ(shell.beeps.size(), c.beeps) << c.name;
    EXPECT_LE(clock.now() - start, (c.beeps ? 3s : 0s) + 2 * wire::kReadTimeout) << c.name;
  }
}

TEST_F(CommandExchangeTest, SilentReadsCountTheEmptyReadsInARowOnly) {
  CommandExchange::SilentReads silence{3};
  std::uint8_t piece[8];
  auto read = [&] { return exchange.readPiece(piece, sizeof piece, silence); };
  EXPECT_EQ(read(), 0u);
  EXPECT_EQ(read(), 0u);
  EXPECT_EQ(silence.count, 2);
  link.sendUnasked("ab");
  EXPECT_EQ(read(), 2u);
  EXPECT_EQ(silence.count, 0);
  EXPECT_EQ(read(), 0u);
  EXPECT_EQ(read(), 0u);
  EXPECT_FALSE(silence.ended());
  EXPECT_EQ(read(), 0u);
  EXPECT_TRUE(silence.ended());
}

TEST_F(CommandExchangeTest, DrainingReadsUntilQuietOrTheLimitThenPurges) {
  // A sender that stops after 100 ms: the read with its last bytes lasts its time-out, then one
  // empty read ends it.
  link.sendUnasked(std::string(12500, 'y'));
  auto start = clock.now();
  exchange.drainUntilQuiet(10s, 4096);
  EXPECT_GE(clock.now() - start, 100ms + wire::kReadTimeout);
  EXPECT_LE(clock.now() - start, 100ms + 2 * wire::kReadTimeout);
  EXPECT_EQ(link.events.back().kind, Event::Purge);

  // One with 2 s of bytes still to come: the limit of 1 s ends the draining.
  link.sendUnasked(std::string(250000, 'x'));
  start = clock.now();
  exchange.drainUntilQuiet(1s, 4096);
  EXPECT_GE(clock.now() - start, 1s);
  EXPECT_LT(clock.now() - start, 1s + wire::kReadTimeout);
  EXPECT_EQ(link.events.back().kind, Event::Purge);
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
    {"copyReportUntil",
     [](CommandExchange& e) {
       return e.copyReportUntil('*', 2s, 100, [](std::span<const std::uint8_t>) {}) ==
              CommandExchange::WaitEnd::Mark;
     },
     2s + 250ms},
    {"readPiece",
     [](CommandExchange& e) {
       std::uint8_t piece[16];
       CommandExchange::SilentReads silence{3};
       while (!silence.ended())
         if (e.readPiece(piece, sizeof piece, silence) > 0 || !e.linkOpen()) return false;
       return false;
     },
     3 * 250ms},
    {"drainUntilQuiet",
     [](CommandExchange& e) {
       e.drainUntilQuiet(2s, 100);
       return false;
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
