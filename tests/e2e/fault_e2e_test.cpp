// halvern-cli against a faulty or vanishing instrument, in real time: a failed get leaves the
// file at its target as it was, and an instrument that disappears mid-transfer ends the command
// soon with a clear message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// The files in the test folder whose names start with `prefix` (a save leaves its temporary file
// beside the target).
std::vector<std::string> filesStartingWith(const std::string& prefix) {
  namespace fs = std::filesystem;
  const fs::path path(prefix);
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(path.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(path.filename().string(), 0) == 0) found.push_back(name);
  }
  return found;
}

TEST(FaultCli, FailedGetKeepsTheFileThatWasThere) {
  // Faults that fail quickly on the system clock: the instrument hanging up or going dead part
  // way through a reply, and replies the transfer refuses.
  const struct {
    const char* command;
    const char* fault;
  } cases[] = {
      {"get setup", "225:hangup::2"},   {"get setup", "325:cut::400"},
      {"get setup", "315:wrong"},       {"get screens", "215:hangup::1000"},
      {"get screens", "215:cut::1000"}, {"get program", "115:corrupt::5"},
      {"get program", "115:cut::1500"}, {"get program", "115:hangup::1500"},
  };
  const std::string path = tempPath("kept");
  const std::string previous = "the file from before\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.fault);
    writeFile(path, previous);
    CliRun run =
        runCli(std::string("--simulate --fault ") + c.fault + " " + c.command + " " + path);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("warning: Cannot communicate with 40100."), std::string::npos)
        << run.err;
    EXPECT_EQ(readFile(path), previous);
    // Nothing was begun beside it either.
    EXPECT_EQ(filesStartingWith(path),
              std::vector<std::string>{"e2e_" + std::to_string(getpid()) + "_kept"});
  }
  std::remove(path.c_str());
}

TEST(FaultSim, HelpAndOptionsOfTheCuttingFaults) {
  CliRun help = runSim("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"  cut ", "  hangup ", "--fault 115:cut::1500"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  CliRun refused = runSim("--fault 225:cut:2");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("cut and hangup take no count"), std::string::npos) << refused.err;
}

// halvern-cli started in the background, its streams in files.
class BackgroundCli {
 public:
  explicit BackgroundCli(const std::vector<std::string>& args)
      : m_out(tempPath("bg_out")), m_err(tempPath("bg_err")) {
    m_pid = fork();
    if (m_pid == 0) {
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      const int out = open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, STDOUT_FILENO);
      dup2(err, STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(HALVERN_CLI)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(HALVERN_CLI, argv.data());
      _exit(127);
    }
  }
  ~BackgroundCli() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    std::remove(m_out.c_str());
    std::remove(m_err.c_str());
  }
  BackgroundCli(const BackgroundCli&) = delete;
  BackgroundCli& operator=(const BackgroundCli&) = delete;

  std::string out() const { return readFile(m_out); }
  std::string err() const { return readFile(m_err); }

  // Waits up to `limit` for the program to end; its exit status, or -1 when it is still running
  // (or did not exit normally).
  int waitFor(SteadyClock::duration limit) {
    const auto deadline = SteadyClock::now() + limit;
    while (m_pid > 0) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (SteadyClock::now() >= deadline) return -1;
      std::this_thread::sleep_for(2ms);
    }
    return -1;
  }

 private:
  std::string m_out, m_err;
  pid_t m_pid = -1;
};

// The hang-up is seen at once, so the get ends in milliseconds on an idle machine. The bound is
// what a get takes to give up on an instrument that went silent without hanging up (its ten
// empty reads and its retries): a loaded machine's scheduling stays well below it, and a get that
// waited out its silence instead of seeing the hang-up reaches it.
constexpr auto kHangUpNoticed = 5s;

TEST(FaultCliAgainstSimulator, InstrumentKilledMidTransferEndsTheGetPromptly) {
  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string target = tempPath("F.pgm");
  std::remove(target.c_str());

  BackgroundCli cli({"--port", sim.device(), "get", "program", target});
  // The transfer is under way once the first block has come.
  const auto started = SteadyClock::now();
  while (cli.out().find("FIRST HEADER...") == std::string::npos &&
         SteadyClock::now() - started < 5s) {
    std::this_thread::sleep_for(2ms);
  }
  ASSERT_NE(cli.out().find("FIRST HEADER..."), std::string::npos) << cli.out() << cli.err();
  std::this_thread::sleep_for(150ms);
  sim.signalAndWait(SIGKILL);
  const auto killed = SteadyClock::now();

  const int status = cli.waitFor(10s);
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - killed);
  std::printf("halvern-cli ended %lld ms after the kill\n", static_cast<long long>(took.count()));
  EXPECT_LE(took, kHangUpNoticed);
  EXPECT_EQ(status, 1) << cli.err();
  const std::string out = cli.out();
  // It was killed mid-transfer, and said so.
  EXPECT_EQ(out.find("LAST HEADER..."), std::string::npos) << out;
  EXPECT_NE(out.find("GET USER PROGRAM FAILED."), std::string::npos) << out;
  // The port saw the hang-up and closed.
  EXPECT_NE(cli.err().find("status: USB port closed\n"), std::string::npos) << cli.err();
  EXPECT_NE(cli.err().find("warning: Cannot communicate with 40100."), std::string::npos)
      << cli.err();
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
