// Commands that talk to the link itself: the port list and a technician's probe.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "link/command_exchange.h"
#include "link/serial_link.h"
#include "platform/link.h"
#include "setup/setup_transfer.h"
#include "wire/commands.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern::cli {

namespace {

std::string hexBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%s%02X", out.empty() ? "" : " ", c);
    out += hex;
  }
  return out;
}

int commandPorts(CliApp& app) {
  const auto ports = SerialLink::enumeratePorts();
  if (ports.empty() && findStableLinks().empty()) {
    std::fputs("no serial ports\n", app.out());
    return kExitOk;
  }
  for (const auto& port : ports) {
    std::string line = port.description;
    if (!port.serialNumber.empty())
      line += (line.empty() ? "serial " : "  serial ") + port.serialNumber;
    std::fprintf(app.out(), "%c %-20s %s\n", port.isInstrument ? '*' : ' ', port.device.c_str(),
                 line.c_str());
  }
  for (const StableLink& link : findStableLinks())
    std::fprintf(app.out(), "  %-20s -> %s\n", link.path.c_str(), link.device.c_str());
  return kExitOk;
}

struct LineArguments {
  std::string text;
  long readCount = 4096;
  long waitMs = 50;
};

// The most a probe reads, and waits before reading.
constexpr long kMaxLineRead = 1L << 20;
constexpr long kMaxLineWaitMs = 999'999'999;

int commandLine(CliApp& app, const LineArguments& args) {
  if (!app.connect()) return kExitFailed;

  const std::string line = args.text + "\r";
  app.exchange().sendCommandLine(line);
  std::fprintf(app.out(), "sent: \"%s\"\n", escapedBytes(line, ByteEscapes::C).c_str());
  std::fflush(app.out());
  app.exchange().pause(std::chrono::milliseconds(args.waitMs));
  if (args.readCount == 0) return kExitOk;

  std::string reply(static_cast<std::size_t>(args.readCount), '\0');
  std::size_t got =
      app.exchange().readBlock(reinterpret_cast<std::uint8_t*>(reply.data()), reply.size());
  reply.resize(got);
  std::fprintf(app.out(), "received %zu of %ld bytes%s\n", got, args.readCount,
               got == 0 ? " (no reply)" : "");
  if (got > 0) {
    std::fprintf(app.out(), "text: \"%s\"\n", escapedBytes(reply, ByteEscapes::C).c_str());
    std::fprintf(app.out(), "hex:  %s\n", hexBytes(reply).c_str());
  }
  return got > 0 ? kExitOk : kExitFailed;
}

CliCommand::Action defineLine(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<LineArguments>();
  command.add_option("TEXT", args->text, "the command line, without its carriage return")
      ->required()
      ->type_name("");
  command.add_option("--read", args->readCount, "read up to N bytes (4096, at most 1048576)")
      ->type_name("N")
      ->check(CLI::Range(0L, kMaxLineRead).description(""));
  command.add_option("--wait", args->waitMs, "wait MS milliseconds before reading (50)")
      ->type_name("MS")
      ->check(CLI::Range(0L, kMaxLineWaitMs).description(""));
  return [&app, args] { return commandLine(app, *args); };
}

int commandDemo(CliApp& app) {
  if (!app.connect()) return kExitFailed;
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
    auto reply = app.exchange().queryFixedReply(q.line, q.size);
    std::string shown = std::string(q.line.substr(0, q.line.size() - 1));
    if (!reply) {
      std::fprintf(app.out(), "%-8s %-36s no complete reply\n", shown.c_str(), q.name);
      ++failures;
      continue;
    }
    std::string value = q.size == cmd::kDateTimeReplySize
                            ? reply->substr(0, 8)
                            : std::to_string(CommandExchange::parseNumber(*reply));
    std::fprintf(app.out(), "%-8s %-36s %s\n", shown.c_str(), q.name, value.c_str());
  }
  // The record formats come back as one block of 25 field descriptions.
  std::string formats(wire::kRecordFormatsSize, '\0');
  const std::size_t got = app.exchange().queryBlock(
      cmd::kGetRecordFormatsLine, reinterpret_cast<std::uint8_t*>(formats.data()), formats.size(),
      {1, std::chrono::milliseconds(100)});
  if (got != formats.size()) {
    std::fprintf(app.out(), "CMD325   record formats                       %zu of %zu bytes\n", got,
                 formats.size());
    ++failures;
  } else {
    static const char* kTypes[] = {"Number", "Date", "Time"};
    std::fputs("CMD325   record formats:\n", app.out());
    for (std::size_t n = 0; n < wire::kRecordFormatCount; ++n) {
      const DecodedRecordFormat field = decodeRecordFormat(
          reinterpret_cast<const std::uint8_t*>(formats.data()) + n * wire::kRecordFormatBlockSize);
      const auto type = static_cast<unsigned>(field.format.type);
      std::fprintf(app.out(), "           %02zu %-25s %-6s width %u precision %u\n", n + 1,
                   escapedBytes(field.format.label, ByteEscapes::C).c_str(),
                   type < 3 ? kTypes[type] : "?", static_cast<unsigned>(field.format.width),
                   static_cast<unsigned>(field.format.precision));
    }
  }
  return failures == 0 ? kExitOk : kExitFailed;
}

const CliCommand::Registration kPorts{
    {"ports",
     "list the serial ports with their USB descriptions and serial numbers, then the bridges'\n"
     "stable links; * marks the instrument's bridge",
     noArguments(&commandPorts)}};
const CliCommand::Registration kLine{
    {"line",
     "send TEXT and a carriage return as a command line, wait MS milliseconds (50),\n"
     "read up to N bytes (4096; the read ends 250 ms after the bytes stop coming)\n"
     "and print them as text and hex",
     &defineLine}};
const CliCommand::Registration kDemo{
    {"demo", "read the instrument's settings one by one", noArguments(&commandDemo)}};

}  // namespace

}  // namespace halvern::cli
