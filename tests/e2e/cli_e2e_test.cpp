// halvern-cli against halvern-sim on a pseudo-terminal, through the real serial port code, in real
// time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs halvern-cli with `args` (shell words), capturing both streams.
CliRun runCli(const std::string& args) {
  const std::string errPath = ::testing::TempDir() + "cli_err_" + std::to_string(getpid());
  const std::string command = std::string(HALVERN_CLI) + " " + args + " 2>" + errPath;
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = readFile(errPath);
  std::remove(errPath.c_str());
  return run;
}

// halvern-sim in the background for the life of the fixture.
class SimulatorProcess {
 public:
  explicit SimulatorProcess(const std::string& options = {}) {
    int fds[2];
    if (pipe(fds) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      const std::string command = std::string("exec ") + HALVERN_SIM + " " + options;
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Its first line is the device to open.
    FILE* out = fdopen(fds[0], "r");
    char line[256] = {};
    if (out && fgets(line, sizeof line, out)) {
      m_device = line;
      while (!m_device.empty() && (m_device.back() == '\n' || m_device.back() == '\r'))
        m_device.pop_back();
    }
    m_out = out;
  }
  ~SimulatorProcess() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      int status;
      waitpid(m_pid, &status, 0);
    }
    if (m_out) fclose(m_out);
  }
  const std::string& device() const { return m_device; }

 private:
  pid_t m_pid = -1;
  FILE* m_out = nullptr;
  std::string m_device;
};

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

TEST(Cli, UsageErrorsExitWithTwo) {
  for (const char* args : {"", "frobnicate", "line", "line CMD255 --read", "line CMD255 --read x",
                           "--port", "--fault 255:silence line CMD255"}) {
    CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("halvern-cli: "), std::string::npos) << args;
  }
  CliRun help = runCli("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"--port", "--simulate", "--yes", "--trace", "ports", "line", "--read",
                           "--wait", "HALVERN_PORT"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

}  // namespace
