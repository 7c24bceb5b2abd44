#include "doctor/system_tree.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <system_error>

namespace halvern::doctor {

namespace {

// The names of `path` between its slashes, "." and empty ones left out.
std::deque<std::string> components(const std::string& path) {
  std::deque<std::string> parts;
  std::string::size_type from = 0;
  while (from <= path.size()) {
    auto to = path.find('/', from);
    if (to == std::string::npos) to = path.size();
    std::string part = path.substr(from, to - from);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    from = to + 1;
  }
  return parts;
}

}  // namespace

std::string parentPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string& path, const std::string& name) {
  if (path.empty() || path.back() == '/') return path + name;
  return path + "/" + name;
}

std::string trimmed(const std::string& text) {
  constexpr const char* kBlanks = " \t\r\n\v\f";
  std::string out = text;
  // Attributes written by drivers may carry NULs; they end the text.
  if (const auto nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
  const auto first = out.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  const auto last = out.find_last_not_of(kBlanks);
  return out.substr(first, last - first + 1);
}

std::filesystem::path SystemTree::host(const std::string& path) const {
  std::filesystem::path out = m_root;
  for (const std::string& part : components(path)) out /= part;
  return out;
}

std::string SystemTree::resolve(const std::string& path) const {
  std::deque<std::string> pending = components(path);
  std::vector<std::string> done;
  int hops = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.front());
    pending.pop_front();
    if (part == "..") {
      if (!done.empty()) done.pop_back();
      continue;
    }
    done.push_back(part);
    std::string sofar;
    for (const std::string& d : done) sofar += "/" + d;
    auto target = linkTarget(sofar);
    if (!target) continue;
    if (++hops > kMaxLinkHops || target->empty()) return {};
    // The link's own name gives way to its target: from the root when it is absolute, else from
    // the folder holding the link.
    done.pop_back();
    if ((*target)[0] == '/') done.clear();
    std::deque<std::string> more = components(*target);
    pending.insert(pending.begin(), more.begin(), more.end());
  }
  std::string out;
  for (const std::string& d : done) out += "/" + d;
  return out.empty() ? "/" : out;
}

std::optional<struct stat> SystemTree::status(const std::string& path) const {
  const std::string resolved = resolve(path);
  if (resolved.empty()) return std::nullopt;
  struct stat st {};
  if (::lstat(host(resolved).c_str(), &st) != 0) return std::nullopt;
  return st;
}

bool SystemTree::isDirectory(const std::string& path) const {
  const auto st = status(path);
  return st && S_ISDIR(st->st_mode);
}

std::optional<std::string> SystemTree::linkTarget(const std::string& path) const {
  const std::filesystem::path where = host(path);
  struct stat st {};
  if (::lstat(where.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
  char buffer[4096];
  const ssize_t n = ::readlink(where.c_str(), buffer, sizeof buffer);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

int SystemTree::openRegular(const std::string& path) const {
  const std::string resolved = resolve(path);
  if (resolved.empty()) return -1;
  // Non-blocking, so that a pipe put where a file should be cannot hold the open up.
  const int fd = ::open(host(resolved).c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::size_t SystemTree::readSome(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

void SystemTree::closeFile(int fd) { ::close(fd); }

std::optional<std::string> SystemTree::read(const std::string& path, std::size_t limit) const {
  const int fd = openRegular(path);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buffer[4096];
  while (out.size() < limit) {
    const std::size_t got = readSome(fd, buffer, std::min(sizeof buffer, limit - out.size()));
    if (got == 0) break;
    out.append(buffer, got);
  }
  ::close(fd);
  return out;
}

std::string SystemTree::attribute(const std::string& path) const {
  const auto text = read(path);
  if (!text) return {};
  return trimmed(text->substr(0, text->find('\n')));
}

std::vector<std::string> SystemTree::list(const std::string& path, bool* denied) const {
  if (denied) *denied = false;
  std::vector<std::string> names;
  const std::string resolved = resolve(path);
  if (resolved.empty()) return names;
  std::error_code ec;
  std::filesystem::directory_iterator it(host(resolved), ec);
  if (ec) {
    if (denied && (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted))
      *denied = true;
    return names;
  }
  const std::filesystem::directory_iterator end;
  while (it != end && names.size() < kMaxEntries) {
    names.push_back(it->path().filename().string());
    it.increment(ec);
    if (ec) break;
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace halvern::doctor
