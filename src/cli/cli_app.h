#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/console_shell.h"
#include "link/instrument_command.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/record_log.h"

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

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

// The exit status of an instrument command.
inline int exitStatus(CommandResult result) {
  return result == CommandResult::Done ? kExitOk : kExitFailed;
}

// halvern-cli: the instrument operations of the window from a terminal or a script. Builds the
// command line's grammar from the global options and the registered commands, parses it, and
// gives the command it names this object for everything it needs.
class CliApp {
 public:
  struct Options {
    std::string port;
    bool simulate = false;
    bool assumeYes = false;
    std::string trace;
    std::vector<std::string> faults;
    std::string dialect = "standard";
    std::size_t records = sim::RecordLog::kDefaultCount;
    // The options of a command that sends: the backup's folder (empty: none) and the read-back.
    std::string backupFolder;
    bool verify = false;
  };

  CliApp(std::FILE* out, std::FILE* err);
  ~CliApp();

  // Parses `args` (the words after the program's name) and runs the command they name; returns
  // the exit status. `--help` prints the help of the command it follows.
  int run(const std::vector<std::string>& args);

  // Builds the link the options ask for and opens it, as the window does at start-up. False
  // (with the reason printed) when it cannot be opened.
  bool connect();
  // Runs an instrument command the one way (runInstrumentCommand); a send is guarded by a backup
  // first and a read-back after when the command line asked for them.
  CommandResult runCommand(const InstrumentCommand& command);
  // The serial number of the bridge in use; empty without one or when it did not tell.
  std::string bridgeSerial() const;
  // Prints "halvern-cli: TEXT" and the hint to `halvern-cli COMMAND --help`; returns kExitUsage.
  int usageError(const std::string& text, const std::string& command = {});
  // Prints "error: PROBLEM" for a file that cannot be read or written; returns kExitUsage.
  int fileError(const std::string& problem);
  // After a get whose transfer succeeded and whose file save failed: says both, in that order.
  int savedFileError(std::string_view what, const std::string& problem);

  std::FILE* out() { return m_out; }
  std::FILE* err() { return m_err; }
  const Options& options() const { return m_options; }
  ConsoleShell& shell() { return *m_shell; }
  const Calendar& calendar() const { return m_calendar; }
  // After a successful connect():
  CommandExchange& exchange() { return *m_exchange; }
  // With --simulate, after connect(): the instrument behind the link.
  sim::SimulatedInstrument* instrument() { return m_instrument.get(); }

 private:
  struct Defined;
  void defineCommandLine();
  // Prints the usage error for what the parse of `args` threw; returns kExitUsage.
  int parseError(const CLI::ParseError& e, const std::vector<std::string>& args);
  // The commands whose names start with `prefix`, with what they take and their summaries.
  std::string commandList(const std::string& prefix) const;

  std::FILE* m_out;
  std::FILE* m_err;
  Options m_options;
  std::unique_ptr<CLI::App> m_parser;
  std::vector<Defined> m_commands;
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
