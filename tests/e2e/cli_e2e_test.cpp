// halvern-cli against halvern-sim on a pseudo-terminal, through the real serial port code, in real
// time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

TEST(CliAgainstSimulator, LineProbeOverAPseudoTerminal) {
  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string trace = ::testing::TempDir() + "e2e_trace_" + std::to_string(getpid());

  CliRun run = runCli("--port " + sim.device() + " --trace " + trace + " line CMD255 --read 2");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("sent: \"CMD255\\r\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("received 2 of 2 bytes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("text: \" 1\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("hex:  20 31"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("status: ZELKA 40100 USB: Port Open"), std::string::npos) << run.err;

  // The trace holds the paced command line and the reply.
  const std::string traced = readFile(trace);
  EXPECT_NE(traced.find(">  43"), std::string::npos) << traced;
  EXPECT_NE(traced.find("<  20 31"), std::string::npos) << traced;
  std::remove(trace.c_str());

  // A setting goes through and reads back.
  run = runCli("--port " + sim.device() + " line 'CMD250 42' --read 1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("text: \"*\""), std::string::npos) << run.out;
  run = runCli("--port " + sim.device() + " line CMD255 --read 2");
  EXPECT_NE(run.out.find("text: \"42\""), std::string::npos) << run.out;
}

TEST(CliAgainstSimulator, SilentInstrumentEndsWithFailureNotAHang) {
  SimulatorProcess sim("--fault 255:silence");
  CliRun run = runCli("--port " + sim.device() + " line CMD255 --read 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("received 0 of 2 bytes (no reply)"), std::string::npos) << run.out;
}

TEST(Cli, MissingPortIsAClearFailure) {
  CliRun run = runCli("--port /dev/halvern-no-such-device line CMD255 --read 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("warning: Cannot open ZELKA 40100 USB port."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("status: USB port closed"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("error: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("/dev/halvern-no-such-device"), std::string::npos) << run.err;
}

TEST(Cli, SimulatedInstrumentAnswersInProcess) {
  CliRun run = runCli("--simulate line CMD225 --read 5");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("text: \"  96\\r\""), std::string::npos) << run.out;
}

TEST(Cli, PortFromTheEnvironmentUnlessSimulated) {
  const std::string env = "HALVERN_PORT=/dev/halvern-no-such-device";
  CliRun run = runCli("line CMD255 --read 2", env);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("/dev/halvern-no-such-device"), std::string::npos) << run.err;
  run = runCli("--simulate line CMD255 --read 2", env);
  EXPECT_EQ(run.status, 0) << run.err;
}

// Help goes to standard output with status 0 and names what the command takes.
TEST(Cli, HelpOfEveryLevel) {
  struct Case {
    const char* args;
    std::vector<const char*> words;
  };
  const Case cases[] = {
      {"--help",
       {"Usage: halvern-cli [OPTIONS] COMMAND", "--port DEVICE", "HALVERN_PORT", "--simulate",
        "--fault F", "-y,--yes", "--trace FILE", "get setup FILE.set [--instrument-time]",
        "send program FILE.pgm", "line TEXT [--read N] [--wait MS]",
        "screens render FILE.scr OUT.png [--screen N]", "ports", "demo", "Message-area lines",
        "Exit status: 0 success, 1"}},
      {"-h", {"Usage: halvern-cli [OPTIONS] COMMAND"}},
      {"get --help",
       {"Usage: halvern-cli get [OPTIONS] COMMAND", "get setup FILE.set [--instrument-time]",
        "get screens FILE.scr", "get program FILE.pgm"}},
      {"get setup --help",
       {"Usage: halvern-cli get setup [OPTIONS] FILE.set", "the setup file to write",
        "--instrument-time", "990 bytes"}},
      {"line --help", {"Usage: halvern-cli line [OPTIONS] TEXT", "--read N", "--wait MS"}},
      {"screens render --help", {"FILE.scr OUT.png", "--screen N", "480 x 96"}},
      // Help comes before the checks of the arguments.
      {"--fault 255:silence send setup --help", {"Usage: halvern-cli send setup"}},
  };
  for (const Case& c : cases) {
    CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, 0) << c.args << "\n" << run.err;
    EXPECT_EQ(run.err, "") << c.args;
    for (const char* word : c.words)
      EXPECT_NE(run.out.find(word), std::string::npos) << c.args << ": " << word;
  }
  EXPECT_EQ(runCli("get --help").out.find("send setup"), std::string::npos);
}

// A usage error is one line naming the command and the problem, a hint to its help, status 2,
// and nothing on standard output.
TEST(Cli, UsageErrors) {
  struct Case {
    const char* args;
    const char* line;  // the first line of standard error
    const char* help;  // the command whose help the hint names
  };
  const Case cases[] = {
      {"", "no command given", ""},
      {"frobnicate", "unknown command 'frobnicate'", ""},
      {"get", "get: no command given", "get "},
      {"get frobnicate", "get: unknown command 'frobnicate'", "get "},
      {"--bogus ports", "unknown option '--bogus'", ""},
      {"get setup --bogus a.set", "get setup: unknown option '--bogus'", "get setup "},
      {"get setup a.set --bogus", "get setup: unknown option '--bogus'", "get setup "},
      {"line CMD255 --fault 255:silence", "--fault requires --simulate", ""},
      {"get setup", "get setup: FILE.set is required", "get setup "},
      {"screens render a.scr", "screens render: OUT.png is required", "screens render "},
      {"line", "line: TEXT is required", "line "},
      {"ports extra", "ports: unexpected argument 'extra'", "ports "},
      {"send setup a.set b.set", "send setup: unexpected argument 'b.set'", "send setup "},
      {"get setup -dash.set", "get setup: unknown option '-dash.set'", "get setup "},
      {"--fault 255:silence line CMD255", "--fault requires --simulate", ""},
      {"--fault=255:silence get setup a.set", "--fault requires --simulate", ""},
  };
  for (const Case& c : cases) {
    CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.err,
              std::string("halvern-cli: ") + c.line + "\nTry 'halvern-cli " + c.help + "--help'.\n")
        << c.args;
    EXPECT_EQ(run.out, "") << c.args;
  }
  // Bad values: the exact wording is CLI11's, the option is named.
  for (const char* args :
       {"--port", "line CMD255 --read", "line CMD255 --read x", "line CMD255 --read 1048577",
        "line CMD255 --wait -1", "screens render a.scr b.png --screen 9"}) {
    CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err.rfind("halvern-cli: ", 0), 0u) << args << ": " << run.err;
    EXPECT_NE(run.err.find("--"), std::string::npos) << args << ": " << run.err;
  }
}

// The global options may stand before the command, between its words or after them, and act the
// same wherever they stand; after "--" they are words like any other.
TEST(Cli, GlobalOptionsWhereverTheyStand) {
  const std::string trace = tempPath("orders.trace");
  const std::string noDevice = "/dev/halvern-no-such-device";
  struct Case {
    std::vector<std::string> orders;
    int status;
    bool onStandardOutput;
    std::string text;
  };
  const Case cases[] = {
      {{"--simulate line CMD225 --read 5", "line CMD225 --read 5 --simulate",
        "line --simulate CMD225 --read=5"},
       0,
       true,
       "text: \"  96\\r\""},
      {{"--simulate --yes erase-records", "erase-records --yes --simulate",
        "--simulate erase-records -y"},
       0,
       true,
       "RECORDS ERASED."},
      {{"--simulate erase-records"}, 1, true, ""},
      {{"--simulate --fault 255:silence line CMD255 --read 2",
        "line CMD255 --read 2 --simulate --fault 255:silence",
        "line --fault=255:silence CMD255 --simulate --read 2"},
       1,
       true,
       "received 0 of 2 bytes (no reply)"},
      {{"--port " + noDevice + " line CMD255 --read 2", "line CMD255 --read 2 --port " + noDevice,
        "line CMD255 --port=" + noDevice + " --read 2"},
       1,
       false,
       noDevice},
      {{"--simulate --trace " + trace + " line CMD255 --read 2",
        "line CMD255 --read 2 --simulate --trace " + trace,
        "line --trace=" + trace + " CMD255 --simulate --read 2"},
       0,
       true,
       "received 2 of 2 bytes"},
      // After "--" an option's name is a file name.
      {{"--simulate program show -- --yes"}, 2, false, "program file --yes."},
  };
  for (const Case& c : cases) {
    for (const std::string& args : c.orders) {
      std::remove(trace.c_str());
      const CliRun run = runCli(args);
      EXPECT_EQ(run.status, c.status) << args << "\n" << run.err;
      EXPECT_NE((c.onStandardOutput ? run.out : run.err).find(c.text), std::string::npos)
          << args << "\n"
          << run.out << run.err;
      if (args.find("--trace") != std::string::npos) {
        EXPECT_NE(readFile(trace).find(" > "), std::string::npos) << args;
      }
    }
  }
  std::remove(trace.c_str());
}

// Each level's help tells where the global options may stand.
TEST(Cli, HelpTellsWhereTheGlobalOptionsStand) {
  const CliRun top = runCli("--help");
  EXPECT_NE(top.out.find("Global options:\n  --port DEVICE"), std::string::npos) << top.out;
  for (const char* args : {"get --help", "get all --help", "line --help", "doctor --help"}) {
    const CliRun run = runCli(args);
    EXPECT_NE(run.out.find(
                  "The global options (--port, --simulate, --fault, --dialect, --records, --yes, "
                  "--trace) may stand before or after\nthe command; see 'halvern-cli --help'."),
              std::string::npos)
        << args << "\n"
        << run.out;
  }
}

// --records sets how many records the simulated instrument has logged: a download of them all
// comes whole, one of more than there are fails and leaves no file, and a count outside the log's
// size, or without --simulate, is refused by the parser.
TEST(Cli, SimulatedInstrumentWithAGivenNumberOfRecords) {
  const std::string path = tempPath("simulated_records.txt");
  CliRun run = runCli("--simulate --records 5 records 5 " + path + " --show");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string file = readFile(path);
  EXPECT_EQ(file.rfind("5 RECORDS\r\n", 0), 0u) << file;
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 3 + 5) << file;
  // Shown: records 1 to 5, numbered.
  std::string shown;
  std::istringstream out(run.out);
  for (std::string line; std::getline(out, line);)
    if (line.size() > 8 && line[7] == ',' && line.rfind("000000", 0) == 0)
      shown += line.substr(0, 8);
  EXPECT_EQ(shown, "0000001,0000002,0000003,0000004,0000005,") << run.out;
  std::remove(path.c_str());

  // The option after the command, as every global option.
  run = runCli("records 5 " + path + " --simulate --records=0");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("TOTAL BYTES: 0"), std::string::npos) << run.out;
  EXPECT_FALSE(std::ifstream(path).good());

  for (const char* refused : {"--simulate --records 2162689", "--simulate --records -1",
                              "--simulate --records 5x", "--records 5", "--simulate --records"}) {
    run = runCli(std::string(refused) + " records 5 " + path);
    EXPECT_EQ(run.status, 2) << refused;
    EXPECT_EQ(run.err.rfind("halvern-cli: ", 0), 0u) << refused << ": " << run.err;
    EXPECT_EQ(run.out, "") << refused;
    EXPECT_FALSE(std::ifstream(path).good()) << refused;
  }
  // The largest log is taken.
  run = runCli("--simulate --records 2162688 line CMD255 --read 2");
  EXPECT_EQ(run.status, 0) << run.err;
}

// The window takes the same option, with --simulate only and within the log's size.
TEST(Window, SimulatedInstrumentWithAGivenNumberOfRecords) {
  CliRun run = runProgram(HALVERN_WINDOW, "--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("--records N"), std::string::npos) << run.out;

  const std::string env = "QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" + tempPath("config");
  for (const char* refused : {"--records 5", "--simulate --records 2162689",
                              "--simulate --records -1", "--simulate --records many"}) {
    run = runProgram(HALVERN_WINDOW, refused, env);
    EXPECT_EQ(run.status, 2) << refused;
    EXPECT_NE(run.err.find("halvern: --records"), std::string::npos) << refused << ": " << run.err;
  }
  const std::string shot = tempPath("records_page.png");
  run = runProgram(HALVERN_WINDOW,
                   "--simulate --records 0 --page 'Get Records' --screenshot " + shot, env);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::ifstream(shot).good());
  std::remove(shot.c_str());
  std::filesystem::remove_all(tempPath("config"));
}

// "--" ends the options: a file name may then start with '-'. Notes go to standard error.
TEST(Cli, DoubleDashBeforeAFileNameStartingWithADash) {
  const std::string screens = "-e2e_" + std::to_string(getpid()) + ".scr";  // in the test folder
  const std::string png = tempPath("dash.png");
  CliRun run = runCli("--simulate get screens -- " + screens);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readFile(screens).size(), 1920u);

  run = runCli("screens render --screen 2 -- " + screens + " " + png);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, png + " written (480 x 96)\n");
  EXPECT_EQ(readFile(png).substr(1, 3), "PNG");

  // Without it the name is an option nobody knows.
  run = runCli("screens render " + screens + " " + png);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("unknown option '" + screens + "'"), std::string::npos) << run.err;
  std::remove(screens.c_str());
  std::remove(png.c_str());
}

TEST(Sim, HelpAndRefusedOptions) {
  CliRun help = runSim("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"--fault CODE:KIND[:COUNT][:TEXT]", "-v,--verbose", "silence", "nostar",
                           "nakstorm", "dies", "e.g. --fault 115:corrupt:3:5"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;

  struct Case {
    const char* args;
    const char* line;
  };
  const Case cases[] = {
      {"--fault 255:nope", "halvern-sim: --fault 255:nope: bad fault kind \"nope\""},
      {"--fault=255", "halvern-sim: --fault 255: "},
      {"--fault 255:short --fault bad", "halvern-sim: --fault bad: "},
      {"--fault", "halvern-sim: --fault: "},
      {"--frobnicate", "halvern-sim: The following argument was not expected: --frobnicate"},
  };
  for (const Case& c : cases) {
    CliRun run = runSim(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.err.rfind(c.line, 0), 0u) << c.args << ": " << run.err;
    EXPECT_NE(run.err.find("\nTry 'halvern-sim --help'.\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
}

}  // namespace
