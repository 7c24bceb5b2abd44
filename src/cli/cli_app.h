#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/console_shell.h"
#include "link/calendar.h"
#include "link/clock.h"

namespace halvern {
class CommandExchange;
class Link;
namespace sim {
class SimulatedInstrument;
}
}  // namespace halvern

namespace halvern::cli {

// Exit statuses of halvern-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the operation failed or was refused
inline constexpr int kExitUsage = 2;   // bad usage or a file error

// halvern-cli: the instrument operations of the window from a terminal or a script.
class CliApp {
 public:
  CliApp(std::FILE* out, std::FILE* err);
  ~CliApp();

  int run(const std::vector<std::string>& args);

 private:
  struct Options {
    std::string port;
    bool simulate = false;
    bool assumeYes = false;
    std::string trace;
    std::vector<std::string> faults;
  };

  // Builds the link the options ask for and opens it. False (with the reason printed) when it
  // cannot be opened.
  bool connect();
  int usageError(const std::string& text);
  void printHelp();

  int commandPorts(const std::vector<std::string>& args);
  int commandLine(const std::vector<std::string>& args);
  int commandDemo(const std::vector<std::string>& args);

  std::FILE* m_out;
  std::FILE* m_err;
  Options m_options;
  std::unique_ptr<ConsoleShell> m_shell;
  SystemClock m_clock;
  SystemCalendar m_calendar;
  std::unique_ptr<sim::SimulatedInstrument> m_instrument;
  std::unique_ptr<Link> m_device;
  std::unique_ptr<Link> m_tracer;
  Link* m_link = nullptr;
  std::unique_ptr<CommandExchange> m_exchange;
};

}  // namespace halvern::cli
