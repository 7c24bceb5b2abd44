#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The connection doctor: looks at the serial ports, the instrument's USB bridge, the device
// node's permissions, and the programs and settings of the system that get in the way of it
// (ModemManager, brltty, a missing udev rule, the bridge's latency timer, another program
// holding the port), and says for each what it found and the exact command that fixes it.
namespace halvern::doctor {

enum class Verdict { Ok, Warning, Problem, Info };

struct Finding {
  Verdict verdict = Verdict::Info;
  std::string title;                 // "Permission to open /dev/ttyUSB0"
  std::string summary;               // one line: what was found
  std::vector<std::string> details;  // further lines (ports, processes...)
  std::vector<std::string> fix;      // the exact shell command(s) that fix it, empty when none
};

// Whose access is judged.
struct Identity {
  unsigned uid = 0;
  unsigned gid = 0;
  std::vector<unsigned> groups;  // the supplementary groups of the login session
  std::string user;
};

struct SystemView {
  std::filesystem::path root = "/";  // every path below is read under this root
  Identity identity;                 // whose access is judged
  std::string port;                  // a device the user named (--port), empty: find the bridge
  // The serial number of the bridge this program used last, which the link keeps to while it
  // stays attached; empty when it has used none (halvern-cli starts afresh each time).
  std::string lastBridge;
  // Tries to open a device for reading and writing (O_RDWR|O_NOCTTY|O_NONBLOCK, then close);
  // 0 or the errno. The live view opens for real; tests answer for it. When empty, access is
  // judged from the node's owner, mode and access list alone.
  std::function<int(const std::filesystem::path&)> tryOpen;
  // The process that examines: its own descriptors and lock files are not another program's.
  int selfPid = 0;
};

// This process's user and groups, root "/", opening devices for real.
SystemView liveSystem(std::string port = {}, std::string lastBridge = {});
// Every check, in the order of the report.
std::vector<Finding> examine(const SystemView& system);
// The report: a heading, then each finding's verdict, title and summary, its details and fix
// below them, then a line counting the problems. Plain ASCII.
std::string formatReport(const std::vector<Finding>& findings);
bool anyProblem(const std::vector<Finding>& findings);

// The udev rule's file name, as the installer puts it (data/udev/).
inline constexpr const char* kUdevRuleName = "70-halvern-zelka40100.rules";

}  // namespace halvern::doctor
