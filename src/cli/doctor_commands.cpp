// The connection doctor: what stands between this computer and the instrument's bridge, and the
// command that fixes each thing.
#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "doctor/connection_doctor.h"

namespace halvern::cli {

namespace {

// With --root, whose access is judged: these variables stand for the user of the fake tree,
// each falling back to this process's own.
constexpr const char* kUidVariable = "HALVERN_DOCTOR_UID";
constexpr const char* kGidVariable = "HALVERN_DOCTOR_GID";
constexpr const char* kGroupsVariable = "HALVERN_DOCTOR_GROUPS";  // "20,1000"
constexpr const char* kUserVariable = "HALVERN_DOCTOR_USER";

std::optional<unsigned> number(std::string_view text) {
  unsigned value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// Reads the identity variables into `id`; the name of the first that is not a number, or empty.
std::string identityFromEnvironment(doctor::Identity& id) {
  if (const char* uid = std::getenv(kUidVariable)) {
    const auto value = number(uid);
    if (!value) return kUidVariable;
    id.uid = *value;
  }
  if (const char* gid = std::getenv(kGidVariable)) {
    const auto value = number(gid);
    if (!value) return kGidVariable;
    id.gid = *value;
  }
  if (const char* groups = std::getenv(kGroupsVariable)) {
    id.groups.clear();
    std::string_view rest = groups;
    while (!rest.empty()) {
      const auto comma = rest.find(',');
      const auto value = number(rest.substr(0, comma));
      if (!value) return kGroupsVariable;
      id.groups.push_back(*value);
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
  }
  if (const char* user = std::getenv(kUserVariable)) id.user = user;
  return {};
}

struct DoctorArguments {
  std::string root;
};

int commandDoctor(CliApp& app, const DoctorArguments& args) {
  if (app.options().simulate) {
    std::fputs(
        "The simulated instrument (--simulate) needs no port: there is nothing to examine.\n",
        app.out());
    return kExitOk;
  }
  doctor::SystemView view = doctor::liveSystem(app.options().port);
  if (!args.root.empty()) {
    // A fake tree: nothing in it can be opened for real, so access is judged from the node.
    view.root = args.root;
    view.tryOpen = nullptr;
    const std::string bad = identityFromEnvironment(view.identity);
    if (!bad.empty()) return app.usageError("doctor: " + bad + " is not a number", "doctor");
  }
  const auto findings = doctor::examine(view);
  std::fputs(doctor::formatReport(findings).c_str(), app.out());
  return doctor::anyProblem(findings) ? kExitFailed : kExitOk;
}

CliCommand::Action defineDoctor(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<DoctorArguments>();
  // For tests: examine a fake tree of /sys, /proc, /dev, /etc and /run files.
  command.add_option("--root", args->root)->type_name("DIR")->group("");
  return [&app, args] { return commandDoctor(app, *args); };
}

const CliCommand::Registration kDoctor{
    {"doctor",
     "check what keeps this computer from the instrument's bridge: the serial ports, the\n"
     "bridge, permission to open it, ModemManager, brltty, the udev rule, the latency\n"
     "timer, other programs holding the port; prints the fix for each problem\n"
     "(exit status 1 when there is one); --port names the device to check",
     &defineDoctor}};

}  // namespace

}  // namespace halvern::cli
