#include "cli/cli_app.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "link/command_exchange.h"
#include "link/commands.h"
#include "link/serial_link.h"
#include "link/tracing_link.h"
#include "link/usb_link.h"
#include "link/wire.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"

namespace halvern::cli {

namespace {

constexpr const char* kHelp =
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
    "                    stray, nostar (repeatable)\n"
    "  --yes             answer Yes to every confirmation\n"
    "  --trace FILE      write every byte crossing the link, with times, to FILE\n"
    "  --help            show this help\n"
    "\n"
    "Commands:\n"
    "  ports                         list the serial ports with their USB descriptions;\n"
    "                                the instrument's bridge is marked with *\n"
    "  line TEXT [--read N] [--wait MS]\n"
    "                                send TEXT and a carriage return as a command line,\n"
    "                                wait MS milliseconds (50), read up to N bytes (4096;\n"
    "                                the read ends 250 ms after the last byte asked for\n"
    "                                fails to come) and print them as text and hex\n"
    "  demo                          read the instrument's settings one by one\n"
    "\n"
    "Message-area lines go to standard output; message boxes go to standard error as\n"
    "\"warning: TEXT\" (error:, information:, confirmation:).\n"
    "Exit status: 0 success, 1 the operation failed or was refused, 2 usage or file error.\n";

// Text with the bytes a terminal cannot show written as C escapes.
std::string escaped(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        }
    }
  }
  return out;
}

std::string hexBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%s%02X", out.empty() ? "" : " ", c);
    out += hex;
  }
  return out;
}

// A non-negative decimal number, or -1.
long parseCount(const std::string& text) {
  if (text.empty() || text.size() > 9) return -1;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

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

void CliApp::printHelp() { std::fputs(kHelp, m_out); }

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

  const std::string command = rest.front();
  const std::vector<std::string> commandArgs(rest.begin() + 1, rest.end());
  if (command == "ports") return commandPorts(commandArgs);
  if (command == "line") return commandLine(commandArgs);
  if (command == "demo") return commandDemo(commandArgs);
  return usageError("unknown command '" + command + "'");
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

int CliApp::commandPorts(const std::vector<std::string>& args) {
  if (!args.empty()) return usageError("ports takes no arguments");
  const auto ports = SerialLink::enumeratePorts();
  if (ports.empty()) {
    std::fputs("no serial ports\n", m_out);
    return kExitOk;
  }
  for (const auto& port : ports) {
    std::fprintf(m_out, "%c %-20s %s\n", port.isInstrument ? '*' : ' ', port.device.c_str(),
                 port.description.c_str());
  }
  return kExitOk;
}

int CliApp::commandLine(const std::vector<std::string>& args) {
  std::string text;
  bool haveText = false;
  long readCount = 4096;
  long waitMs = 50;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--read" || args[i] == "--wait") {
      if (i + 1 >= args.size()) return usageError(args[i] + " needs a number");
      long n = parseCount(args[i + 1]);
      if (n < 0) return usageError(args[i] + " needs a number, not '" + args[i + 1] + "'");
      (args[i] == "--read" ? readCount : waitMs) = n;
      ++i;
    } else if (!haveText) {
      text = args[i];
      haveText = true;
    } else {
      return usageError("line takes one TEXT (quote it when it holds blanks)");
    }
  }
  if (!haveText) return usageError("line needs the TEXT to send");
  if (readCount > 1 << 20) return usageError("--read is limited to 1048576 bytes");
  if (!connect()) return kExitFailed;

  const std::string line = text + "\r";
  m_exchange->sendCommandLine(line);
  std::fprintf(m_out, "sent: \"%s\"\n", escaped(line).c_str());
  std::fflush(m_out);
  m_clock.sleepFor(std::chrono::milliseconds(waitMs));
  if (readCount == 0) return kExitOk;

  std::string reply(static_cast<std::size_t>(readCount), '\0');
  std::size_t got = m_link->read(reinterpret_cast<std::uint8_t*>(reply.data()), reply.size());
  reply.resize(got);
  std::fprintf(m_out, "received %zu of %ld bytes%s\n", got, readCount,
               got == 0 ? " (no reply)" : "");
  if (got > 0) {
    std::fprintf(m_out, "text: \"%s\"\n", escaped(reply).c_str());
    std::fprintf(m_out, "hex:  %s\n", hexBytes(reply).c_str());
  }
  return got > 0 ? kExitOk : kExitFailed;
}

int CliApp::commandDemo(const std::vector<std::string>& args) {
  if (!args.empty()) return usageError("demo takes no arguments");
  if (!connect()) return kExitFailed;
  struct Query {
    const char* name;
    std::string_view line;
    std::size_t size;
  };
  const Query queries[] = {
      {"COM1 baud code (negative: RS-485)", cmd::kGetCom1Line, cmd::kCom1ReplySize},
      {"COM2 baud code", cmd::kGetCom2Line, cmd::kCom2ReplySize},
      {"stop on error", cmd::kGetStopOnErrorLine, cmd::kFlagReplySize},
      {"keypad lock", cmd::kGetKeypadLockLine, cmd::kFlagReplySize},
      {"execution interval", cmd::kGetIntervalLine, cmd::kFlagReplySize},
      {"fields per record", cmd::kGetFieldsPerRecordLine, cmd::kFlagReplySize},
      {"auto screen scroll", cmd::kGetAutoScrollLine, cmd::kFlagReplySize},
      {"scroll pause", cmd::kGetScrollPauseLine, cmd::kFlagReplySize},
      {"scroll end screen", cmd::kGetScrollEndLine, cmd::kFlagReplySize},
      {"date (MM-DD-YY)", cmd::kGetDateLine, cmd::kDateTimeReplySize},
      {"time (HH:MM:SS)", cmd::kGetTimeLine, cmd::kDateTimeReplySize},
  };
  int failures = 0;
  for (const auto& q : queries) {
    auto reply = m_exchange->queryFixedReply(q.line, q.size);
    std::string shown = std::string(q.line.substr(0, q.line.size() - 1));
    if (!reply) {
      std::fprintf(m_out, "%-8s %-36s no complete reply\n", shown.c_str(), q.name);
      ++failures;
      continue;
    }
    std::string value = q.size == cmd::kDateTimeReplySize
                            ? reply->substr(0, 8)
                            : std::to_string(CommandExchange::parseNumber(*reply));
    std::fprintf(m_out, "%-8s %-36s %s\n", shown.c_str(), q.name, value.c_str());
  }
  // The record formats come back as one block of 25 field descriptions.
  m_link->purge();
  m_clock.sleepFor(std::chrono::milliseconds(100));
  m_exchange->sendCommandLine(cmd::kGetRecordFormatsLine);
  std::string formats(wire::kRecordFormatsSize, '\0');
  std::size_t got = m_link->read(reinterpret_cast<std::uint8_t*>(formats.data()), formats.size());
  if (got != formats.size()) {
    std::fprintf(m_out, "CMD325   record formats                       %zu of %zu bytes\n", got,
                 formats.size());
    ++failures;
  } else {
    static const char* kTypes[] = {"Number", "Date", "Time"};
    std::fputs("CMD325   record formats:\n", m_out);
    for (std::size_t n = 0; n < wire::kRecordFormatCount; ++n) {
      const char* block = formats.data() + n * wire::kRecordFormatBlockSize;
      std::string label(block, strnlen(block, wire::kRecordLabelMax + 2));
      unsigned type = static_cast<unsigned char>(block[28]);
      std::fprintf(m_out, "           %02zu %-25s %-6s width %u precision %u\n", n + 1,
                   escaped(label).c_str(), type < 3 ? kTypes[type] : "?",
                   static_cast<unsigned char>(block[29]), static_cast<unsigned char>(block[30]));
    }
  }
  return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace halvern::cli
