// The program transfers against the simulated instrument (its own end of the wire, written
// apart) and against scripted replies, on virtual time.
#include "program/program_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "link/command_exchange.h"
#include "program/instruction_catalogue.h"
#include "program/program_document.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"
#include "wire/crc32_mpeg2.h"
#include "wire/wire.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using namespace program_text;
using Lines = std::vector<std::string>;

// Records what the computer writes, on top of the simulated link.
class WatchedLink final : public Link {
 public:
  explicit WatchedLink(Link& inner) : m_inner(inner) {}
  bool open() override { return m_inner.open(); }
  bool isOpen() const override { return m_inner.isOpen(); }
  std::size_t read(std::uint8_t* b, std::size_t n) override { return m_inner.read(b, n); }
  std::size_t write(const std::uint8_t* b, std::size_t n) override {
    writes.emplace_back(reinterpret_cast<const char*>(b), n);
    return m_inner.write(b, n);
  }
  using Link::write;
  void purge() override { m_inner.purge(); }
  void cyclePort() override {}
  void close() override { m_inner.close(); }

  std::size_t count(const std::string& bytes) const {
    return static_cast<std::size_t>(std::count(writes.begin(), writes.end(), bytes));
  }
  std::size_t blocksWritten() const {
    return static_cast<std::size_t>(std::count_if(
        writes.begin(), writes.end(), [](auto& w) { return w.size() == wire::kProgramBlockSize; }));
  }
  std::vector<std::string> writes;

 private:
  Link& m_inner;
};

const std::string kAck(1, '\x06');
const std::string kNak(1, '\x15');

// A program with every kind of parameter, a degree sign and list padding.
ProgramDocument sampleProgram() {
  ProgramDocument d;
  const std::uint16_t ops[] = {10, 14, 34, 26, 37, 8, 3};
  for (std::size_t i = 0; i < std::size(ops); ++i) d.insertInstruction(i, ops[i]);
  ProgramRecord text = d.store()[5];  // DISPLAY TEXT
  text.setText("AIR 20~C");
  d.setParameter(5, 3, text,
                 "text= AIR 20\xB0"
                 "C");
  ProgramRecord mask = d.store()[1];  // FLAG SET MASK
  mask.setIntValue(0, 0x0F0F);
  mask.setValueText(0, "0F0F");
  mask.setIntValue(1, 1);
  d.setParameter(1, 0, mask, "mask= 0F0F");
  d.setParameter(1, 1, mask, "state= ON ");
  return d;
}

class ProgramTransferTest : public ::testing::Test, protected test::InstrumentOnLink {
 protected:
  ProgramTransferTest() : InstrumentOnLink(DateTime{2026, 3, 1, 12, 0, 0}) {}
  void SetUp() override { ASSERT_TRUE(simLink.open()); }
  std::size_t commandLines(const std::string& line) const {
    const auto& l = instrument.linesReceived();
    return static_cast<std::size_t>(std::count(l.begin(), l.end(), line));
  }
  void addFault(const std::string& option) { ASSERT_EQ(instrument.faults().parse(option), ""); }

  sim::SimulatedLink& simLink = InstrumentOnLink::link;
  // The exchange talks through it, so every write is seen; it hides the bench's own link.
  WatchedLink link{simLink};
  test::RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

TEST_F(ProgramTransferTest, DocumentToInstrumentAndBack) {
  const ProgramDocument sent = sampleProgram();
  EXPECT_EQ(sendUserProgram(exchange, sent, shell), CommandResult::Done);
  EXPECT_EQ(shell.lines, (Lines{"SEND USER PROGRAM...", "FINISHED SENDING USER PROGRAM."}));
  EXPECT_EQ(shell.progressMax, 66);
  EXPECT_EQ(shell.progress.back(), 0);
  EXPECT_EQ(instrument.programMemory().uploads(), 1);
  EXPECT_EQ(instrument.programMemory().program().size(), 8u);
  // The instrument keeps the program in slots of its own choosing.
  const auto& image = instrument.programMemory().image();
  EXPECT_NE(image[65536] << 8 | image[65537], 0);
  // Block 0 went once (on the instrument's NAK), then 65 blocks and the end block.
  EXPECT_EQ(link.blocksWritten(), 66u);
  EXPECT_EQ(link.writes.back(), std::string("\xCD\xEF\x4A\xE8\xEE\x23", 6));
  EXPECT_TRUE(shell.clockTimer.empty());  // the send leaves the clock timer alone
  EXPECT_EQ(shell.beeps.size(), 1u);      // the NAK asking for block 0
  shell.beeps.clear();

  shell.lines.clear();
  ProgramDocument got;
  EXPECT_EQ(getUserProgram(exchange, got, shell), CommandResult::Done);
  EXPECT_EQ(shell.lines, (Lines{"GET USER PROGRAM...", "FIRST HEADER...", "LAST HEADER...",
                                "FINISHED GETTING USER PROGRAM."}));
  EXPECT_EQ(shell.progressMax, 67);
  EXPECT_EQ(shell.progress.back(), 0);
  EXPECT_EQ(shell.clockTimer, (std::vector<bool>{false, true}));
  EXPECT_EQ(got.tree(), sent.tree());
  for (std::size_t k = 0; k < sent.instructionCount(); ++k) {
    EXPECT_EQ(got.store()[k], sent.store()[k]) << k;
  }
  // 66 ACKs for the data blocks and one for the end block.
  EXPECT_EQ(link.count(kAck), 67u);
  EXPECT_EQ(commandLines("CMD115"), 1u);
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(ProgramTransferTest, ReceivesTheInstrumentsOwnProgram) {
  ProgramDocument d;
  ASSERT_EQ(getUserProgram(exchange, d, shell), CommandResult::Done);
  // The demonstration program opens with its power-up part.
  const std::vector<ProgramNode> opening{
      {"IF FLAG", {"flag#= 01", "state= OFF"}},  {"LOC = VALUE", {"loc= 030", "val= 1.00000"}},
      {"CHANGE TO SCREEN", {"sloc= 030"}},       {"BEEP", {"num= 1"}},
      {"FLAG SET", {"flag#= 01", "state= ON "}}, {"END IF", {}},
  };
  ASSERT_GT(d.tree().size(), opening.size());
  EXPECT_EQ(std::vector<ProgramNode>(d.tree().begin(), d.tree().begin() + 6), opening);
  EXPECT_EQ(d.tree().back(), (ProgramNode{"PGM END", {}}));
  EXPECT_EQ(d.store()[1].floatValue(1), 1.0f);
  // A text with the display's degree sign: stored as "~", shown as the computer's.
  bool degrees = false;
  for (std::size_t k = 0; k < d.instructionCount(); ++k) {
    if (d.store()[k].text() != "~C") continue;
    degrees = true;
    EXPECT_EQ(d.tree()[k].text, "DISPLAY TEXT");
    EXPECT_EQ(d.tree()[k].children[3],
              "text= \xB0"
              "C");
  }
  EXPECT_TRUE(degrees);
  // A negative decimal as typed: the temperature input's offset.
  bool negative = false;
  for (std::size_t k = 0; k < d.instructionCount(); ++k) {
    if (d.tree()[k].text != "INPUT VOLTAGE" || d.store()[k].floatValue(3) >= 0) continue;
    negative = true;
    EXPECT_EQ(d.tree()[k].children[3], "offs= -40.000");
    EXPECT_EQ(d.store()[k].floatValue(3), -40.0f);
  }
  EXPECT_TRUE(negative);
}

// Faults of the download: how many errors, what the message area says, and the outcome.
TEST_F(ProgramTransferTest, DownloadFaultsAndRecoveries) {
  const Lines start{"GET USER PROGRAM...", "FIRST HEADER..."};
  auto repeat = [](const std::string& line, int n) {
    return Lines(static_cast<std::size_t>(n), line);
  };
  auto concat = [](std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  auto firstHeaderErrors = [](int n) {
    Lines lines;
    for (int i = 0; i < n; ++i) lines.insert(lines.end(), {"FIRST HEADER...", "CRC COMPARE ERR."});
    return lines;
  };
  const Lines done{"LAST HEADER...", "FINISHED GETTING USER PROGRAM."};
  const Lines gaveUp{"TOO MANY ERRORS.", "GET USER PROGRAM FAILED."};
  struct Case {
    std::string fault;
    bool failed;
    Lines lines;
    std::size_t naks;
    std::size_t beeps;
  } cases[] = {
      {"115:corrupt:3:5", false, concat({start, repeat("CRC COMPARE ERR.", 3), done}), 3, 3},
      // Nine bad copies in a row are still recovered; the tenth error would end it.
      {"115:corrupt:9:0", false,
       concat({{"GET USER PROGRAM..."}, firstHeaderErrors(9), {"FIRST HEADER..."}, done}), 9, 9},
      {"115:corrupt:10:65", true,
       concat({start,
               repeat("CRC COMPARE ERR.", 10),
               {"TOO MANY CRC ERRORS.", "GET USER PROGRAM FAILED."},
               gaveUp}),
       10, 10},
      {"115:silence:9:7", false, concat({start, done}), 9, 0},
      {"115:silence:10:7", true, concat({start, gaveUp}), 10, 0},
      {"115:badend:2", false, concat({start, repeat("CRC COMPARE END ERR.", 2), done}), 2, 0},
      {"115:badend", true, concat({start, repeat("CRC COMPARE END ERR.", 10), gaveUp}), 10, 0},
      {"115:dies::30", true, concat({start, gaveUp}), 10, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    instrument.faults().clearAll();
    ASSERT_FALSE(instrument.linkDead()) << "the dies case comes last";
    // A failed transfer may leave a reply on its way: the line goes quiet before the next.
    clock.advance(1s);
    addFault(c.fault);
    shell.lines.clear();
    shell.boxes.clear();
    shell.beeps.clear();
    link.writes.clear();
    ProgramDocument d = sampleProgram();
    const auto before = d.tree();
    EXPECT_EQ(getUserProgram(exchange, d, shell) != CommandResult::Done, c.failed);
    EXPECT_EQ(shell.lines, c.lines);
    EXPECT_EQ(link.count(kNak), c.naks);
    EXPECT_EQ(shell.beeps.size(), c.beeps);
    if (c.failed) {
      EXPECT_EQ(d.tree(), before);
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].text, "Too many errors.\nGet 40100 User Program failed.");
    } else {
      EXPECT_EQ(d.tree().size(), instrument.programMemory().program().size());
      EXPECT_TRUE(shell.boxes.empty());
    }
    EXPECT_EQ(shell.clockTimer.back(), true);
  }
}

// What was sent counts as saved; an edit made while the blocks went out does not.
TEST_F(ProgramTransferTest, ASendSettlesOnlyTheProgramItSent) {
  ProgramDocument d = sampleProgram();
  int settled = 0;
  d.setListener({{}, [&settled](bool program, bool) { settled += program; }});
  EXPECT_EQ(sendUserProgram(exchange, d, shell), CommandResult::Done);
  EXPECT_EQ(settled, 1);
  const int events = shell.eventsProcessed;
  shell.onProcessEvents = [&d, events](int n) {
    if (n == events + 3) d.deleteInstruction(0);
  };
  EXPECT_EQ(sendUserProgram(exchange, d, shell), CommandResult::Done);
  ASSERT_GT(shell.eventsProcessed, events + 3);
  EXPECT_EQ(settled, 1);
}

TEST_F(ProgramTransferTest, SilentInstrumentGetsTenCommandsThenTenNaks) {
  addFault("115:silence");
  ProgramDocument d;
  EXPECT_EQ(getUserProgram(exchange, d, shell), CommandResult::Failed);
  EXPECT_EQ(commandLines("CMD115"), 10u);
  // Every write after the command lines is a NAK, one per empty read.
  EXPECT_EQ(link.count(kNak), 10u);
  EXPECT_EQ(shell.lines,
            (Lines{"GET USER PROGRAM...", "TOO MANY ERRORS.", "GET USER PROGRAM FAILED."}));
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(d.tree().size(), 1u);
  // Ten tries, then nine more empty reads (the last try's reply is the first error), 250 ms each.
  EXPECT_GE(clock.elapsed(), 19 * 250ms);
  EXPECT_LT(clock.elapsed(), 19 * 250ms + 200ms);
}

TEST_F(ProgramTransferTest, UploadFaultsAndRecoveries) {
  struct Case {
    std::string fault;
    bool failed;
    std::size_t blocks;  // data blocks written
    std::size_t beeps;
  } cases[] = {
      {"", false, 66, 1},  // the NAK asking for block 0 beeps
      {"110:nakstorm:4:12", false, 70, 5},
      {"110:corrupt:2:65", false, 68, 3},
      // The NAK asking for block 0 is the first error: eight more are recovered, nine are not.
      {"110:nakstorm:8", false, 74, 9},
      {"110:nakstorm:9", true, 9, 10},
      {"110:nakstorm", true, 9, 10},
      {"110:silence::20", true, 21, 11},
      // The NAK for block 0, then ten seconds of silence.
      {"110:dies::3", true, 4, 11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    instrument.faults().clearAll();
    ASSERT_FALSE(instrument.linkDead()) << "the dies case comes last";
    if (!c.fault.empty()) addFault(c.fault);
    shell.lines.clear();
    shell.beeps.clear();
    link.writes.clear();
    const int uploads = instrument.programMemory().uploads();
    const auto start = clock.now();
    EXPECT_EQ(sendUserProgram(exchange, sampleProgram(), shell) != CommandResult::Done, c.failed);
    EXPECT_EQ(link.blocksWritten(), c.blocks);
    EXPECT_EQ(shell.beeps.size(), c.beeps);
    EXPECT_EQ(instrument.programMemory().uploads(), uploads + (c.failed ? 0 : 1));
    EXPECT_EQ(shell.lines.back(),
              c.failed ? "SEND USER PROGRAM FAILED." : "FINISHED SENDING USER PROGRAM.");
    if (c.fault == "110:silence::20") {
      // Ten seconds of silence, one error a second.
      EXPECT_GE(clock.now() - start, 10s);
      EXPECT_LT(clock.now() - start, 11s);
    }
  }
}

// The instrument's image is refused when it cannot be read as a program; store and tree stay.
TEST_F(ProgramTransferTest, UnreadableImagesChangeNothing) {
  struct Case {
    std::size_t slotByte;
    std::uint8_t value;
    std::string line;
  } cases[] = {
      // The opcode of instruction 0, which the instrument keeps in slot 77.
      {128 * 77 + 1, 53, "000 00077 00053"},
      // The state of the FLAG SET that is instruction 4, in slot 161.
      {128 * 161 + 15, 9, "004 00161 00013 PARAMETER 2 VALUE 9 NOT IN ITS LIST."},
  };
  const sim::ProgramMemory::Image original = instrument.programMemory().image();
  for (const auto& c : cases) {
    sim::ProgramMemory::Image image = original;
    image[c.slotByte] = c.value;
    instrument.programMemory().setImage(image);
    shell.lines.clear();
    shell.boxes.clear();
    ProgramDocument d = sampleProgram();
    const ProgramStore store = d.store();
    EXPECT_EQ(getUserProgram(exchange, d, shell), CommandResult::Failed);
    EXPECT_EQ(shell.lines, (Lines{"GET USER PROGRAM...", "FIRST HEADER...", "LAST HEADER...",
                                  c.line, "GET USER PROGRAM FAILED."}));
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_EQ(d.store(), store);
    EXPECT_EQ(d.tree(), sampleProgram().tree());
  }
}

// Replies no instrument of ours would make, from a script.
class ScriptedTransferTest : public ::testing::Test {
 protected:
  static std::string dataBlock(std::size_t n, std::uint8_t fill) {
    std::string b(wire::kProgramBlockSize, static_cast<char>(fill));
    b[0] = n == 0 ? '\xAB' : '\xEF';
    b[1] = n == 0 ? '\xCD' : '\xAB';
    const auto crc = Crc32Mpeg2::of({reinterpret_cast<const std::uint8_t*>(b.data()), 1026});
    for (int i = 0; i < 4; ++i) b[1026 + i] = static_cast<char>(crc >> (24 - 8 * i));
    return b;
  }
  std::string written() const {
    std::string out;
    for (const auto& e : link.events)
      if (e.kind == test::ScriptedLink::Event::Write) out += static_cast<char>(e.byte);
    return out;
  }

  VirtualClock clock;
  test::ScriptedLink link{clock};
  test::RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

TEST_F(ScriptedTransferTest, AckBeforeAnyNakSkipsBlockZero) {
  link.answer = [](const std::string& line) {
    return line == "CMD110\r" ? std::string(66, '\x06') : std::string();
  };
  ASSERT_TRUE(link.open());
  EXPECT_EQ(sendUserProgram(exchange, ProgramDocument(), shell), CommandResult::Done);
  const std::string out = written();
  ASSERT_EQ(out.size(), 7 + 65 * wire::kProgramBlockSize + 6);
  EXPECT_EQ(out.substr(7, 2), "\xEF\xAB");  // block 1 first
  EXPECT_EQ(out.substr(out.size() - 6), std::string("\xCD\xEF\x4A\xE8\xEE\x23", 6));
  // Block 65 holds the last 1024 bytes of the order table: all unused.
  const std::string last = out.substr(7 + 64 * wire::kProgramBlockSize, wire::kProgramBlockSize);
  EXPECT_EQ(last.substr(2, 1024), std::string(1024, '\xFF'));
  std::vector<int> progress(66, 0);  // blocks 1 to 65, then 0
  std::iota(progress.begin(), progress.end() - 1, 1);
  EXPECT_EQ(shell.progress, progress);
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(ScriptedTransferTest, StrayBytesCountAsErrors) {
  link.answer = [](const std::string& line) {
    // Nine stray bytes, then a NAK: the tenth error ends the send.
    return line == "CMD110\r" ? std::string("?????????\x15") : std::string();
  };
  ASSERT_TRUE(link.open());
  EXPECT_EQ(sendUserProgram(exchange, ProgramDocument(), shell), CommandResult::Failed);
  EXPECT_EQ(shell.beeps.size(), 10u);
  EXPECT_EQ(written().size(), 7u);  // nothing but the command line
}

TEST_F(ScriptedTransferTest, ReceiveBufferLimitsAndShortImages) {
  const std::string end("\xCD\xEF\x23\xEE\xE8\x4A", 6);
  struct Case {
    std::size_t blocks;
    std::string line;
  } cases[] = {
      {71, "PROGRAM HAS MORE THAN 70 BLOCKS."},
      {3, "PROGRAM HAS 3 OF 66 BLOCKS."},
  };
  for (const auto& c : cases) {
    std::string reply;
    for (std::size_t n = 0; n < c.blocks; ++n) reply += dataBlock(n, 0xFF);
    reply += end;
    link.answer = [&](const std::string& line) {
      return line == "CMD115\r" ? reply : std::string();
    };
    ASSERT_TRUE(link.open());
    shell.lines.clear();
    ProgramDocument d;
    EXPECT_EQ(getUserProgram(exchange, d, shell), CommandResult::Failed);
    EXPECT_NE(std::find(shell.lines.begin(), shell.lines.end(), c.line), shell.lines.end())
        << c.line;
    EXPECT_EQ(shell.lines.back(), "GET USER PROGRAM FAILED.");
    EXPECT_TRUE(shell.boxes.empty());
  }
}

TEST_F(ScriptedTransferTest, ShortRepliesOfAnyOtherHeaderAreNakedAndCounted) {
  link.answer = [](const std::string& line) {
    return line == "CMD115\r" ? std::string("\x01\x02\x03") : std::string();
  };
  ASSERT_TRUE(link.open());
  ProgramDocument d;
  EXPECT_EQ(getUserProgram(exchange, d, shell), CommandResult::Failed);
  // Ten tries get short replies; the last one is the block phase's first error (a beep), nine
  // empty reads follow.
  EXPECT_EQ(link.lines.size(), 10u);
  EXPECT_EQ(shell.beeps.size(), 1u);
  const std::string out = written();
  EXPECT_EQ(std::count(out.begin(), out.end(), '\x15'), 10);
  EXPECT_EQ(shell.lines,
            (Lines{"GET USER PROGRAM...", "TOO MANY ERRORS.", "GET USER PROGRAM FAILED."}));
}

}  // namespace
}  // namespace halvern
