#include "doctor/processes.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "doctor/system_tree.h"

namespace halvern::doctor {

namespace {

constexpr const char* kLockFolders[] = {"/var/lock", "/run/lock"};
constexpr std::size_t kLockFileLimit = 256;

std::string procPath(int pid) { return "/proc/" + std::to_string(pid); }

// The number `text` holds, all digits; 0 when it is none or too large.
int pidNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value <= 0) return 0;
  return value;
}

// Text that a terminal can show: other bytes as '?'.
std::string printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  return text;
}

}  // namespace

std::vector<int> processIds(const SystemTree& tree) {
  std::vector<int> pids;
  for (const std::string& name : tree.list("/proc"))
    if (const int pid = pidNumber(name)) pids.push_back(pid);
  return pids;
}

bool processExists(const SystemTree& tree, int pid) {
  return pid > 0 && tree.isDirectory(procPath(pid));
}

ProcessInfo readProcess(const SystemTree& tree, int pid) {
  ProcessInfo p;
  p.pid = pid;
  if (const auto st = tree.status(procPath(pid))) p.uid = st->st_uid;
  p.comm = printable(tree.attribute(joinPath(procPath(pid), "comm")));
  if (auto args = tree.read(joinPath(procPath(pid), "cmdline"), kCommandLineLimit)) {
    while (!args->empty() && args->back() == '\0') args->pop_back();
    std::replace(args->begin(), args->end(), '\0', ' ');
    p.cmdline = printable(*args);
  }
  return p;
}

std::vector<int> processesNamed(const SystemTree& tree, const std::string& name, int selfPid) {
  std::vector<int> found;
  for (int pid : processIds(tree)) {
    if (pid == selfPid) continue;
    if (tree.attribute(joinPath(procPath(pid), "comm")) == name) found.push_back(pid);
  }
  std::sort(found.begin(), found.end());
  return found;
}

Holders findHolders(const SystemTree& tree, const std::vector<std::string>& nodes, int selfPid) {
  Holders holders;
  std::vector<std::string> resolved;
  for (const std::string& node : nodes) resolved.push_back(tree.resolve(node));
  auto isNode = [&](const std::string& target) {
    if (std::find(nodes.begin(), nodes.end(), target) != nodes.end()) return true;
    // Only paths can lead to a node; sockets and pipes read "socket:[1234]".
    if (target.empty() || target[0] != '/') return false;
    const std::string r = tree.resolve(target);
    return !r.empty() && std::find(resolved.begin(), resolved.end(), r) != resolved.end();
  };
  std::vector<int> pids = processIds(tree);
  std::sort(pids.begin(), pids.end());
  for (int pid : pids) {
    if (pid == selfPid) continue;
    const std::string fdFolder = joinPath(procPath(pid), "fd");
    bool denied = false;
    const auto fds = tree.list(fdFolder, &denied);
    if (denied) {
      ++holders.unreadable;
      continue;
    }
    for (const std::string& fd : fds) {
      const auto target = tree.linkTarget(joinPath(fdFolder, fd));
      if (target && isNode(*target)) {
        holders.processes.push_back(readProcess(tree, pid));
        break;
      }
    }
  }
  return holders;
}

std::vector<LockFile> findLockFiles(const SystemTree& tree, const std::string& name) {
  std::vector<LockFile> locks;
  std::vector<std::string> seen;
  for (const char* folder : kLockFolders) {
    const std::string path = joinPath(folder, "LCK.." + name);
    const std::string resolved = tree.resolve(path);
    if (resolved.empty() || std::find(seen.begin(), seen.end(), resolved) != seen.end()) continue;
    const auto text = tree.read(path, kLockFileLimit);
    if (!text) continue;
    seen.push_back(resolved);
    LockFile lock;
    lock.path = path;
    // The process id as text ("  4242\n", the pid then the program's name on the next lines),
    // or as the 4 bytes of an int, as older programs wrote it.
    lock.pid = pidNumber(trimmed(text->substr(0, text->find('\n'))));
    if (lock.pid == 0 && text->size() == sizeof(std::int32_t)) {
      std::int32_t raw = 0;
      std::memcpy(&raw, text->data(), sizeof raw);
      lock.pid = raw > 0 ? raw : 0;
    }
    if (lock.pid > 0) {
      lock.stale = !processExists(tree, lock.pid);
      if (!lock.stale) lock.comm = readProcess(tree, lock.pid).comm;
    }
    locks.push_back(std::move(lock));
  }
  return locks;
}

}  // namespace halvern::doctor
