// halvern-cli get setup / send setup against halvern-sim on a pseudo-terminal, in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
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
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs halvern-cli with `args` (shell words), capturing both streams.
CliRun runCli(const std::string& args) {
  const std::string errPath = ::testing::TempDir() + "setup_cli_err_" + std::to_string(getpid());
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

// halvern-sim in the background for the life of the object.
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

std::int32_t intAt(const std::string& bytes, std::size_t offset) {
  std::uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
  return static_cast<std::int32_t>(u);
}

void putInt(std::string& bytes, std::size_t offset, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "setup_e2e_" + std::to_string(getpid()) + "_" + name;
}

TEST(SetupCliAgainstSimulator, GetSendGetRoundTripsEveryValue) {
  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string port = "--port " + sim.device() + " ";
  const std::string first = tempPath("first.set");
  const std::string edited = tempPath("edited.set");
  const std::string again = tempPath("again.set");

  CliRun run = runCli(port + "get setup " + first);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("GET SETUP...\nFINISHED GETTING SETUP.\n"), std::string::npos) << run.out;
  std::string bytes = readFile(first);
  ASSERT_EQ(bytes.size(), 990u);
  // The simulated instrument's own setup: 4 fields per record, the first one "DATE".
  EXPECT_EQ(intAt(bytes, 16), 4);
  EXPECT_EQ(bytes.substr(32, 5), std::string("DATE\0", 5));

  // Every item changed, then sent and read back.
  putInt(bytes, 0, 7);    // COM2 230.4K
  putInt(bytes, 8, 1);    // keypad lock
  putInt(bytes, 12, 42);  // interval
  putInt(bytes, 16, 2);   // fields per record
  putInt(bytes, 20, 1);   // auto scroll
  putInt(bytes, 24, 99);  // scroll pause
  putInt(bytes, 28, 3);   // scroll end
  const std::string label = "TWENTY-FIVE CHARACTERS OK";
  bytes.replace(32 + 24 * 38, 26, label + std::string(1, '\0'));
  putInt(bytes, 32 + 24 * 38 + 26, 2);
  putInt(bytes, 32 + 24 * 38 + 30, 9);
  putInt(bytes, 32 + 24 * 38 + 34, 6);
  putInt(bytes, 982, 6);  // COM1 115.2K
  putInt(bytes, 986, 1);  // RS-485
  writeFile(edited, bytes);

  run = runCli(port + "send setup " + edited);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "SEND SETTINGS...\nFINISHED SENDING SETTINGS.\n");

  run = runCli(port + "get setup " + again + " --instrument-time");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "GET SETUP...\nFINISHED GETTING SETUP.\n");
  EXPECT_NE(run.err.find("instrument date "), std::string::npos) << run.err;
  EXPECT_EQ(readFile(again), bytes);

  for (const auto& p : {first, edited, again}) std::remove(p.c_str());
}

TEST(SetupCliAgainstSimulator, FailuresAndRefusals) {
  SimulatorProcess sim("--fault 335:short");
  const std::string port = "--port " + sim.device() + " ";
  const std::string path = tempPath("failed.set");

  // A failed get writes no file.
  CliRun run = runCli(port + "get setup " + path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("CANNOT GET AUTO SCROLL END\nGET SETUP FAILED.\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("warning: Cannot communicate with 40100."), std::string::npos) << run.err;
  EXPECT_FALSE(std::ifstream(path).good());

  // A file that is not a setup file is refused before the instrument is touched.
  writeFile(path, std::string(981, '\0'));
  run = runCli(port + "send setup " + path);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("is not a setup file"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  std::remove(path.c_str());

  for (const char* args : {"get setup", "send setup", "get setup a.set b.set", "get setup --x a",
                           "send setup a.set b.set"}) {
    EXPECT_EQ(runCli(args).status, 2) << args;
  }
}

}  // namespace
