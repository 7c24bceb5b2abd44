#include "cli/cli_app.h"

#include <cstdlib>

#include "cli/cli_command.h"
#include "link/command_exchange.h"
#include "link/serial_link.h"
#include "link/tracing_link.h"
#include "link/usb_link.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"

namespace halvern::cli {

namespace {

constexpr const char* kHelpTop =
    "Usage: halvern-cli [OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "Talks to a Model 40100 display through its USB bridge \"ZELKA 40100 USB\".\n"
    "\n"
    "Options:\n"
    "  --port DEVICE     use this serial device (a pseudo-terminal too) instead of\n"
    "                    finding the bridge by its USB description; the environment\n"
    "                    variable HALVERN_PORT does the same\n"
    "  --simulate        talk to the built-in simulated instrument\n"
    "  --fault F         with --simulate: make the instrument misbehave, F being\n"
    "                    CODE:KIND[:COUNT][:TEXT], KIND one of silence, short, wrong,\n"
    "                    stray, nostar; for the program transfers (115, 110) also\n"
    "                    corrupt, nakstorm, badend, dies (see halvern-sim --help)\n"
    "                    (repeatable)\n"
    "  --yes             answer Yes to every confirmation\n"
    "  --trace FILE      write every byte crossing the link, with times, to FILE\n"
    "  --help            show this help\n"
    "\n"
    "Commands:\n";

constexpr const char* kHelpBottom =
    "\n"
    "Message-area lines go to standard output; message boxes go to standard error as\n"
    "\"warning: TEXT\" (error:, information:, confirmation:), the status bar as\n"
    "\"status: TEXT\".\n"
    "Exit status: 0 success, 1 the operation failed or was refused, 2 usage or file error.\n";

}  // namespace

CliApp::CliApp(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

CliApp::~CliApp() {
  m_exchange.reset();
  if (m_link && m_link->isOpen()) m_link->close();
}

int CliApp::usageError(const std::string& text) {
  std::fprintf(m_err, "halvern-cli: %s\nTry 'halvern-cli --help'.\n", text.c_str());
  return kExitUsage;
}

void CliApp::printHelp() {
  std::fputs(kHelpTop, m_out);
  for (const auto& c : CliCommand::all()) {
    std::string head = "  " + c.name + (c.arguments.empty() ? "" : " " + c.arguments);
    std::fprintf(m_out, "%s\n", head.c_str());
    // The summary, indented, one help line per line.
    std::string::size_type from = 0;
    while (from < c.summary.size()) {
      auto to = c.summary.find('\n', from);
      if (to == std::string::npos) to = c.summary.size();
      std::fprintf(m_out, "      %s\n", c.summary.substr(from, to - from).c_str());
      from = to + 1;
    }
  }
  std::fputs(kHelpBottom, m_out);
}

int CliApp::run(const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    if (a == "--help" || a == "-h") {
      printHelp();
      return kExitOk;
    } else if (a == "--port") {
      if (!value(m_options.port)) return usageError("--port needs a device");
    } else if (a == "--trace") {
      if (!value(m_options.trace)) return usageError("--trace needs a file");
    } else if (a == "--fault") {
      std::string f;
      if (!value(f)) return usageError("--fault needs CODE:KIND");
      m_options.faults.push_back(f);
    } else if (a == "--simulate") {
      m_options.simulate = true;
    } else if (a == "--yes" || a == "-y") {
      m_options.assumeYes = true;
    } else {
      rest.push_back(a);
    }
  }
  if (m_options.port.empty()) {
    if (const char* env = std::getenv("HALVERN_PORT")) m_options.port = env;
  }
  if (!m_options.faults.empty() && !m_options.simulate)
    return usageError("--fault needs --simulate");
  if (rest.empty()) return usageError("no command given");

  m_shell = std::make_unique<ConsoleShell>(m_out, m_err, m_options.assumeYes);
  ConsoleShell::installInterruptHandler();

  // Two-word commands ("get setup") before one-word ones.
  for (std::size_t words : {2u, 1u}) {
    if (rest.size() < words) continue;
    std::string name = rest[0];
    if (words == 2) name += " " + rest[1];
    for (const auto& c : CliCommand::all()) {
      if (c.name == name)
        return c.run(*this, std::vector<std::string>(rest.begin() + words, rest.end()));
    }
  }
  return usageError("unknown command '" + rest.front() + "'");
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
  openUsbLink(*m_link, m_clock, *m_shell);
  if (!m_link->isOpen()) {
    std::string why = m_link->lastError();
    std::fprintf(m_err, "error: %s\n",
                 why.empty() ? "the instrument's port could not be opened" : why.c_str());
    return false;
  }
  m_exchange = std::make_unique<CommandExchange>(*m_link, m_clock, *m_shell);
  return true;
}

}  // namespace halvern::cli
