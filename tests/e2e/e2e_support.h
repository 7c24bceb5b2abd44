#pragma once

// Running halvern-cli and halvern-sim as the user does, for the end-to-end tests.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace halvern::e2e {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A file name of this test process's own in the test folder.
inline std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "e2e_" + std::to_string(getpid()) + "_" + name;
}

// Runs `program` with `args` (shell words) without a display, capturing both streams; `env`
// ("NAME=VALUE ...") is added to the environment.
inline CliRun runProgram(const std::string& program, const std::string& args,
                         const std::string& env = {}) {
  const std::string errPath = tempPath("stderr");
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY " + env + " " + program + " " + args + " 2>" + errPath;
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = readFile(errPath);
  std::remove(errPath.c_str());
  return run;
}

inline CliRun runCli(const std::string& args, const std::string& env = {}) {
  return runProgram(HALVERN_CLI, args, env);
}

// halvern-sim for the options that end it at once (--help, a refused option).
inline CliRun runSim(const std::string& args) { return runProgram(HALVERN_SIM, args); }

// halvern-sim in the background for the life of the object; `device()` is the pseudo-terminal
// it printed first.
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
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  const std::string& device() const { return m_device; }
  // Sends `signal` (SIGKILL: the instrument vanishes at once) and waits for the process to end.
  void signalAndWait(int signal) {
    if (m_pid <= 0) return;
    kill(m_pid, signal);
    int status;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
  FILE* m_out = nullptr;
  std::string m_device;
};

}  // namespace halvern::e2e
