// halvern-cli moving a user program to halvern-sim and back over a pseudo-terminal, in real time.
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

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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
