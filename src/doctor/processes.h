#pragma once

#include <string>
#include <vector>

namespace halvern::doctor {

class SystemTree;

// A process of /proc.
struct ProcessInfo {
  int pid = 0;
  unsigned uid = 0;     // the owner of its /proc folder
  std::string comm;     // "minicom"
  std::string cmdline;  // its arguments, spaces between them: "minicom -D /dev/ttyUSB0"
};

// The processes holding one of a set of nodes open.
struct Holders {
  std::vector<ProcessInfo> processes;
  int unreadable = 0;  // processes whose open files could not be listed (other users')
};

// A UUCP-style lock file of a port ("/var/lock/LCK..ttyUSB0").
struct LockFile {
  std::string path;    // as found: "/var/lock/LCK..ttyUSB0"
  int pid = 0;         // the process named inside; 0 when it names none
  bool stale = false;  // the process no longer runs
  std::string comm;    // the process's name while it runs
};

// The longest command line read.
inline constexpr std::size_t kCommandLineLimit = 4096;

// The process ids of /proc, in no particular order.
std::vector<int> processIds(const SystemTree& tree);
ProcessInfo readProcess(const SystemTree& tree, int pid);
bool processExists(const SystemTree& tree, int pid);
// The ids of the processes whose comm is `name`, `selfPid` left out.
std::vector<int> processesNamed(const SystemTree& tree, const std::string& name, int selfPid);

// The processes but `selfPid` with a descriptor whose link leads to one of `nodes` (paths of
// the system, "/dev/ttyUSB0", "/dev/zelka40100-A1B2C3D4").
Holders findHolders(const SystemTree& tree, const std::vector<std::string>& nodes, int selfPid);

// The lock files of the port `name` in /var/lock and /run/lock (one of them a link to the other
// on most systems: each file is told once).
std::vector<LockFile> findLockFiles(const SystemTree& tree, const std::string& name);

}  // namespace halvern::doctor
