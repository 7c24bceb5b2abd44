// halvern-cli moving a user program to halvern-sim and back over a pseudo-terminal, in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

void put16(std::string& b, std::size_t at, unsigned v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}

// A program file made byte by byte: FLAG SET MASK (hexadecimal and list values), SERIAL BUFFER
// TEXT with a degree sign, BEEP, PGM END. Its lines are those a received program shows, so a
// round trip through the instrument gives back the same bytes.
std::string sampleProgramFile() {
  std::string b(65536, '\0');
  put16(b, 0, 14);
  put16(b, 2, 0xBEEF);
  b.replace(6, 4, "BEEF");
  put16(b, 14, 1);
  put16(b, 128, 48);
  b.replace(128 + 86, 6, "T=20~C");
  put16(b, 256, 3);
  put16(b, 256 + 2, 7);
  b.replace(256 + 6, 1, "7");
  b += "FLAG SET MASK\r\n\tmask= BEEF\r\n\tstate= ON \r\n";
  b += "SERIAL BUFFER TEXT\r\n\ttext= T=20\xB0"
       "C\r\n";
  b += "BEEP\r\n\tnum= 7\r\nPGM END\r\n";
  return b;
}

class ProgramAgainstSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    base = ::testing::TempDir() + "e2e_pgm_" + std::to_string(getpid());
    sent = base + "_sent.pgm";
    got = base + "_got.pgm";
    writeFile(sent, sampleProgramFile());
  }
  void TearDown() override {
    std::remove(sent.c_str());
    std::remove(got.c_str());
  }
  std::string base, sent, got;
};

TEST_F(ProgramAgainstSimulator, SendThenGetGivesBackTheSameFile) {
  for (const char* faults : {"", "--fault 110:nakstorm:3:20 --fault 115:corrupt:2:40"}) {
    SimulatorProcess sim(faults);
    ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
    std::remove(got.c_str());

    CliRun run = runCli("--port " + sim.device() + " send program " + sent);
    EXPECT_EQ(run.status, 0) << faults << run.err;
    EXPECT_NE(run.out.find("SEND USER PROGRAM...\nFINISHED SENDING USER PROGRAM.\n"),
              std::string::npos)
        << run.out;

    run = runCli("--port " + sim.device() + " get program " + got);
    EXPECT_EQ(run.status, 0) << faults << run.err;
    EXPECT_NE(run.out.find("LAST HEADER...\nFINISHED GETTING USER PROGRAM.\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(readFile(got), readFile(sent)) << faults;
  }

  CliRun show = runCli("program show " + got);
  EXPECT_EQ(show.status, 0) << show.err;
  EXPECT_EQ(show.out,
            "FLAG SET MASK\n\tmask= BEEF\n\tstate= ON \nSERIAL BUFFER TEXT\n\ttext= T=20\xC2\xB0"
            "C\nBEEP\n\tnum= 7\nPGM END\n");
}

TEST_F(ProgramAgainstSimulator, InstrumentDroppingOffFailsAndWritesNoFile) {
  SimulatorProcess sim("--fault 115:dies::5");
  CliRun run = runCli("--port " + sim.device() + " get program " + got);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("GET USER PROGRAM FAILED."), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("warning: Cannot communicate with 40100."), std::string::npos) << run.err;
  std::ifstream none(got);
  EXPECT_FALSE(none.good());
}

TEST(ProgramCli, FileErrorsExitWithTwo) {
  const std::string shortFile = ::testing::TempDir() + "e2e_short_" + std::to_string(getpid());
  writeFile(shortFile, "PGM END\r\n");
  for (const std::string& args :
       {"program show " + shortFile, "--simulate send program " + shortFile,
        std::string("program show /nonexistent/x.pgm"), std::string("get program"),
        std::string("send program a.pgm b.pgm")}) {
    CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2) << args;
  }
  std::remove(shortFile.c_str());
}

}  // namespace
