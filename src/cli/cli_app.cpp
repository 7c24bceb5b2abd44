#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>

#include "cli/cli_command.h"
#include "link/command_exchange.h"
#include "link/serial_link.h"
#include "link/tracing_link.h"
#include "link/usb_link.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"

namespace halvern::cli {

namespace {

constexpr const char* kDescription =
    "Talks to a Model 40100 display through its USB bridge \"ZELKA 40100 USB\".";

// The heading of the options that belong to no command.
constexpr const char* kGlobalGroup = "Global options";

constexpr const char* kNotes =
    "\n\n"
    "Message-area lines and a command's own listing go to standard output; message boxes go\n"
    "to standard error as \"warning: TEXT\" (error:, information:, confirmation:), the status\n"
    "bar as \"status: TEXT\", and every other note too.\n"
    "Exit status: 0 success, 1 the operation failed or was refused, 2 usage or file error.";

// What a command takes, for the command list: "FILE.scr OUT.png [--screen N]".
std::string synopsis(const CLI::App& command) {
  std::string text;
  for (const CLI::Option* option : command.get_options()) {
    // Options of no group are for tests only.
    if (option == command.get_help_ptr() || option->get_group().empty()) continue;
    std::string word = option->get_name(option->get_positional());
    if (!option->get_positional() && !option->get_type_name().empty())
      word += " " + option->get_type_name();
    // A command that is also the group of others needs its positionals unless one of those is
    // named; they are checked by its action and shown as needed.
    const bool needed = option->get_required() || !command.get_subcommands({}).empty();
    text += " " + (option->get_positional() && needed ? word : "[" + word + "]");
  }
  return text;
}

// Each line of `text` after `margin`.
std::string indented(const std::string& text, const std::string& margin) {
  std::string out;
  std::string::size_type from = 0;
  while (from < text.size()) {
    auto to = text.find('\n', from);
    if (to == std::string::npos) to = text.size();
    out += margin + text.substr(from, to - from);
    from = to + 1;
  }
  return out;
}

}  // namespace

struct CliApp::Defined {
  const CliCommand* command;
  CLI::App* subcommand;
  CliCommand::Action action;
};

CliApp::CliApp(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) { defineCommandLine(); }

CliApp::~CliApp() {
  m_exchange.reset();
  if (m_link && m_link->isOpen()) m_link->close();
}

int CliApp::usageError(const std::string& text, const std::string& command) {
  const std::string help = command.empty() ? "--help" : command + " --help";
  std::fprintf(m_err, "halvern-cli: %s\nTry 'halvern-cli %s'.\n", text.c_str(), help.c_str());
  return kExitUsage;
}

int CliApp::fileError(const std::string& problem) {
  std::fprintf(m_err, "error: %s\n", problem.c_str());
  return kExitUsage;
}

int CliApp::savedFileError(std::string_view what, const std::string& problem) {
  std::fprintf(m_err, "error: The %.*s came from the 40100 whole, but it could not be saved.\n%s\n",
               static_cast<int>(what.size()), what.data(), problem.c_str());
  return kExitUsage;
}

void CliApp::defineCommandLine() {
  m_parser = std::make_unique<CLI::App>(kDescription, "halvern-cli");
  CLI::App& top = *m_parser;
  top.require_subcommand(1);
  // The global options are taken after the command too: a command passes on the options it does
  // not know, and so do the commands added below, which inherit this.
  top.fallthrough();
  top.get_formatter()->label("SUBCOMMAND", "COMMAND");
  top.get_formatter()->column_width(24);

  top.add_option("--port", m_options.port,
                 "use this serial device (a pseudo-terminal too) instead\n"
                 "of finding the bridge by its USB description")
      ->type_name("DEVICE")
      ->envname("HALVERN_PORT");
  CLI::Option* simulate =
      top.add_flag("--simulate", m_options.simulate, "talk to the built-in simulated instrument");
  top.add_option("--fault", m_options.faults,
                 "make the simulated instrument misbehave, F being\n"
                 "CODE:KIND[:COUNT][:TEXT], KIND one of silence, short,\n"
                 "wrong, stray, trailing, nostar, cut, hangup; for the program\n"
                 "transfers (115, 110) also corrupt, nakstorm, badend,\n"
                 "dies (see "
                 "halvern-sim --help); repeatable")
      ->type_name("F")
      ->allow_extra_args(false)
      ->needs(simulate);
  top.add_option("--dialect", m_options.dialect,
                 "how the simulated instrument words its replies where\n"
                 "the wire allows several forms: " +
                     std::string(sim::ReplyDialect::kNames))
      ->type_name("NAME")
      ->needs(simulate);
  top.add_option("--records", m_options.records,
                 "the records the simulated instrument has logged, 0 to\n" +
                     std::to_string(sim::RecordLog::kMaxCount) + " (" +
                     std::to_string(sim::RecordLog::kDefaultCount) + " unless given)")
      ->type_name("N")
      // The help says the range in its own words.
      ->check(CLI::Range(std::size_t{0}, sim::RecordLog::kMaxCount).description(""))
      ->needs(simulate);
  top.add_flag("-y,--yes", m_options.assumeYes, "answer Yes to every confirmation");
  top.add_option("--trace", m_options.trace,
                 "write every byte crossing the link, with times, to FILE")
      ->type_name("FILE");
  std::string globalNames;
  for (CLI::Option* option : top.get_options()) {
    if (option == top.get_help_ptr()) continue;
    option->group(kGlobalGroup);
    globalNames += (globalNames.empty() ? "" : ", ") + option->get_name();
  }
  const std::string globalNote = "The global options (" + globalNames +
                                 ") may stand before or after\nthe command; see 'halvern-cli "
                                 "--help'.";

  // Two-word commands are subcommands of their first word. Each level lists its commands with
  // what they take in its footer, in place of CLI11's list of names.
  std::map<std::string, CLI::App*> groups;
  for (const CliCommand& c : CliCommand::all()) {
    CLI::App* parent = &top;
    std::string word = c.name;
    if (const auto space = c.name.find(' '); space != std::string::npos) {
      CLI::App*& group = groups[c.name.substr(0, space)];
      // A one-word command of the same name (sorted before) is the group itself: its words or
      // one of its subcommands.
      for (CLI::App* existing : top.get_subcommands({}))
        if (!group && existing->get_name() == c.name.substr(0, space)) group = existing;
      if (!group) group = top.add_subcommand(c.name.substr(0, space))->require_subcommand(1);
      parent = group;
      word = c.name.substr(space + 1);
    }
    CLI::App* command = parent->add_subcommand(word, c.summary);
    m_commands.push_back({&c, command, c.define(*command, *this)});
    if (c.sends) {
      command
          ->add_option("--backup", m_options.backupFolder,
                       "first read what the instrument holds and keep it as a backup\n"
                       "(a group file in a folder of its own) in DIR; nothing is sent\n"
                       "when the backup fails")
          ->type_name("DIR");
      command->add_flag("--verify", m_options.verify,
                        "after the send, read back what was sent and compare it;\n"
                        "fails, listing the differences, when the instrument holds\n"
                        "something else");
    }
  }
  for (auto& [name, group] : groups) group->footer(commandList(name + " ") + "\n\n" + globalNote);
  top.footer(commandList("") + kNotes);
  for (CLI::App* level : top.get_subcommands({})) {
    level->group("");
    if (level->get_footer().empty()) level->footer(globalNote);
    for (CLI::App* command : level->get_subcommands({})) {
      command->group("");
      command->footer(globalNote);
    }
  }
}

std::string CliApp::commandList(const std::string& prefix) const {
  std::string list = "Commands:";
  for (const Defined& d : m_commands) {
    if (d.command->name.rfind(prefix, 0) != 0) continue;
    if (d.command->name.rfind(kUnlistedPrefix, 0) == 0) continue;
    list += "\n  " + d.command->name + synopsis(*d.subcommand) +
            indented(d.command->summary, "\n      ");
  }
  return list;
}

int CliApp::parseError(const CLI::ParseError& e, const std::vector<std::string>& args) {
  // The commands given, as far as the parse came.
  std::vector<const CLI::App*> given{m_parser.get()};
  while (!given.back()->get_subcommands().empty())
    given.push_back(given.back()->get_subcommands().front());
  auto words = [&](std::size_t levels) {
    std::string text;
    for (std::size_t n = 1; n < levels; ++n) text += (n > 1 ? " " : "") + given[n]->get_name();
    return text;
  };
  // The first word of `args` no level took. (CLI11 keeps the words left over last first, and a
  // command passes those it does not know on to the level above.)
  auto stray = args.end();
  for (const CLI::App* level : given) {
    for (const std::string& word : level->remaining()) {
      const auto at = std::find(args.begin(), args.end(), word);
      if (word != "--" && at < stray) stray = at;
    }
  }
  // The levels given before it, by where their names stand.
  std::size_t strayLevels = 1;
  for (auto at = args.begin(); at < stray && strayLevels < given.size(); ++at)
    if (*at == given[strayLevels]->get_name()) ++strayLevels;
  const bool afterMark = std::find(args.begin(), stray, "--") != stray;
  const bool option = stray != args.end() && !afterMark && (*stray)[0] == '-';
  std::string command = words(given.size());
  std::string text = e.what();
  if (option) {
    command = words(strayLevels);
    text = "unknown option '" + *stray + "'";
  } else if (!given.back()->get_subcommands({}).empty()) {
    if (stray == args.end())
      text = "no command given";
    else if (!afterMark)
      text = "unknown command '" + *stray + "'";
  } else if (stray != args.end()) {
    text = "unexpected argument '" + *stray + "'";
  } else if (dynamic_cast<const CLI::RequiresError*>(&e)) {
    command.clear();  // only the global options need one another
  }
  return usageError(command.empty() ? text : command + ": " + text, command);
}

int CliApp::run(const std::vector<std::string>& args) {
  std::vector<std::string> words(args.rbegin(), args.rend());  // CLI11 takes them last first
  try {
    m_parser->parse(words);
  } catch (const CLI::CallForHelp&) {
    std::fputs(m_parser->help().c_str(), m_out);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    return parseError(e, args);
  }

  m_shell = std::make_unique<ConsoleShell>(m_out, m_err, m_options.assumeYes);
  ConsoleShell::installInterruptHandler();
  // The deepest command given: a group that is a command too is parsed with its subcommand.
  for (auto d = m_commands.rbegin(); d != m_commands.rend(); ++d) {
    if (d->subcommand->parsed()) return d->action();
  }
  return usageError("no command given");
}

CommandResult CliApp::runCommand(const InstrumentCommand& command) {
  const CliSendGuard::Wrap& guard = CliSendGuard::wrap();
  if (command.sends.any() && (!m_options.backupFolder.empty() || m_options.verify)) {
    // Asked for and not there: nothing is sent unguarded.
    if (!guard) {
      std::fprintf(m_err, "error: --backup and --verify are not available; nothing was sent\n");
      return CommandResult::Refused;
    }
    return runInstrumentCommand(*m_exchange, *m_shell, guard(*this, command));
  }
  return runInstrumentCommand(*m_exchange, *m_shell, command);
}

std::string CliApp::bridgeSerial() const {
  if (!m_device) return {};
  const auto report = m_device->bridgeReport();
  return report ? report->lastSerial : std::string();
}

bool CliApp::connect() {
  if (m_options.simulate) {
    m_instrument = std::make_unique<sim::SimulatedInstrument>(m_calendar, m_clock);
    for (const auto& f : m_options.faults) {
      std::string problem = m_instrument->faults().parse(f);
      if (!problem.empty()) {
        std::fprintf(m_err, "error: --fault %s: %s\n", f.c_str(), problem.c_str());
        return false;
      }
    }
    if (std::string problem = m_instrument->dialect().choose(m_options.dialect); !problem.empty()) {
      std::fprintf(m_err, "error: --dialect %s: %s\n", m_options.dialect.c_str(), problem.c_str());
      return false;
    }
    m_instrument->recordLog().setCount(m_options.records);
    m_device = std::make_unique<sim::SimulatedLink>(*m_instrument, m_clock);
  } else {
    auto serial = std::make_unique<SerialLink>(m_clock, m_options.port);
    // An unplugged bridge closes the link; the status says so once.
    serial->setOnDeviceLost([this] { m_shell->setStatus(kPortClosedStatus); });
    m_device = std::move(serial);
  }
  m_link = m_device.get();
  if (!m_options.trace.empty()) {
    auto tracer = std::make_unique<TracingLink>(*m_device, m_clock, m_options.trace);
    if (!tracer->ok()) {
      std::fprintf(m_err, "error: cannot write the trace file %s\n", m_options.trace.c_str());
      return false;
    }
    m_tracer = std::move(tracer);
    m_link = m_tracer.get();
  }
  m_exchange = std::make_unique<CommandExchange>(*m_link, m_clock, *m_shell);
  openUsbLink(*m_exchange, *m_shell);
  if (!m_link->isOpen()) {
    std::string why = m_link->lastError();
    std::fprintf(m_err, "error: %s\n",
                 why.empty() ? "the instrument's port could not be opened" : why.c_str());
    std::fputs("Run 'halvern-cli doctor' to find out what stands in the way.\n", m_err);
    return false;
  }
  return true;
}

}  // namespace halvern::cli
