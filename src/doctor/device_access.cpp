#include "doctor/device_access.h"

#include <sys/xattr.h>

#include <algorithm>
#include <charconv>

#include "doctor/system_tree.h"

namespace halvern::doctor {

namespace {

constexpr std::uint32_t kAclVersion = 2;
constexpr std::size_t kAclHeaderSize = 4;
constexpr std::size_t kAclEntrySize = 8;
constexpr std::size_t kAccountFileLimit = 4u << 20;
constexpr std::size_t kAccountLineLimit = 65536;
constexpr unsigned kWanted = kAclRead | kAclWrite;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t n = 0; n < size; ++n)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + n])) << (8 * n);
  return value;
}

std::vector<std::string> fields(const std::string& line, char separator) {
  std::vector<std::string> out;
  std::string::size_type from = 0;
  for (;;) {
    const auto to = line.find(separator, from);
    out.push_back(line.substr(from, to == std::string::npos ? std::string::npos : to - from));
    if (to == std::string::npos) return out;
    from = to + 1;
  }
}

std::optional<unsigned> number(const std::string& text) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

bool grants(unsigned perm) { return (perm & kWanted) == kWanted; }

}  // namespace

std::optional<std::vector<AclEntry>> parsePosixAcl(std::string_view bytes) {
  if (bytes.size() < kAclHeaderSize || (bytes.size() - kAclHeaderSize) % kAclEntrySize != 0)
    return std::nullopt;
  if (littleEndian(bytes, 0, 4) != kAclVersion) return std::nullopt;
  std::vector<AclEntry> entries;
  for (std::size_t at = kAclHeaderSize; at < bytes.size(); at += kAclEntrySize) {
    AclEntry e;
    e.tag = static_cast<std::uint16_t>(littleEndian(bytes, at, 2));
    e.perm = static_cast<std::uint16_t>(littleEndian(bytes, at + 2, 2));
    e.id = littleEndian(bytes, at + 4, 4);
    switch (e.tag) {
      case kAclUserObj:
      case kAclUser:
      case kAclGroupObj:
      case kAclGroup:
      case kAclMask:
      case kAclOther:
        break;
      default:
        return std::nullopt;
    }
    entries.push_back(e);
  }
  return entries;
}

std::optional<std::vector<AclEntry>> readPosixAcl(const std::filesystem::path& file) {
  std::string buffer(kAclLimit, '\0');
  const ssize_t n = ::getxattr(file.c_str(), kAclAttribute, buffer.data(), buffer.size());
  if (n <= 0) return std::nullopt;  // none, not supported, or larger than any sane list
  buffer.resize(static_cast<std::size_t>(n));
  return parsePosixAcl(buffer);
}

std::string describeAclEntry(const AclEntry& entry, const std::string& name) {
  std::string kind;
  std::string who;
  switch (entry.tag) {
    case kAclUserObj:
      kind = "user";
      break;
    case kAclUser:
      kind = "user";
      who = name.empty() ? std::to_string(entry.id) : name;
      break;
    case kAclGroupObj:
      kind = "group";
      break;
    case kAclGroup:
      kind = "group";
      who = name.empty() ? std::to_string(entry.id) : name;
      break;
    case kAclMask:
      kind = "mask";
      break;
    default:
      kind = "other";
      break;
  }
  std::string perm = "---";
  if (entry.perm & kAclRead) perm[0] = 'r';
  if (entry.perm & kAclWrite) perm[1] = 'w';
  if (entry.perm & kAclExecute) perm[2] = 'x';
  return kind + ":" + who + ":" + perm;
}

Access judgeAccess(const struct stat& node, const std::vector<AclEntry>* acl, unsigned uid,
                   const std::vector<unsigned>& groups) {
  const unsigned mode = node.st_mode;
  auto inGroups = [&](unsigned gid) {
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
  };
  if (uid == 0) return {true, Access::By::Root};
  if (node.st_uid == uid) return {grants((mode >> 6) & 7), Access::By::Owner};
  if (acl) {
    unsigned mask = 7;
    for (const AclEntry& e : *acl)
      if (e.tag == kAclMask) mask = e.perm;
    for (const AclEntry& e : *acl)
      if (e.tag == kAclUser && e.id == uid) return {grants(e.perm & mask), Access::By::AclUser};
    // Any matching group entry that grants access does; matching ones that do not deny.
    bool matched = false;
    for (const AclEntry& e : *acl) {
      const bool match = (e.tag == kAclGroupObj && inGroups(node.st_gid)) ||
                         (e.tag == kAclGroup && inGroups(e.id));
      if (!match) continue;
      const Access::By by = e.tag == kAclGroupObj ? Access::By::Group : Access::By::AclGroup;
      if (grants(e.perm & mask)) return {true, by};
      matched = true;
    }
    if (matched) return {false, Access::By::Group};
    for (const AclEntry& e : *acl)
      if (e.tag == kAclOther) return {grants(e.perm), Access::By::Other};
  }
  if (inGroups(node.st_gid)) return {grants((mode >> 3) & 7), Access::By::Group};
  return {grants(mode & 7), Access::By::Other};
}

std::string modeString(unsigned mode) {
  std::string out = "?---------";
  if (S_ISCHR(mode))
    out[0] = 'c';
  else if (S_ISBLK(mode))
    out[0] = 'b';
  else if (S_ISDIR(mode))
    out[0] = 'd';
  else if (S_ISLNK(mode))
    out[0] = 'l';
  else if (S_ISFIFO(mode))
    out[0] = 'p';
  else if (S_ISSOCK(mode))
    out[0] = 's';
  else if (S_ISREG(mode))
    out[0] = '-';
  const char letters[] = "rwx";
  for (int bit = 0; bit < 9; ++bit)
    if (mode & (0400u >> bit)) out[1 + bit] = letters[bit % 3];
  return out;
}

std::vector<GroupEntry> readGroups(const SystemTree& tree) {
  std::vector<GroupEntry> groups;
  tree.forEachLine("/etc/group", kAccountFileLimit, kAccountLineLimit,
                   [&](const std::string& line) {
                     const auto f = fields(line, ':');
                     if (f.size() < 3 || f[0].empty()) return;
                     const auto gid = number(f[2]);
                     if (!gid) return;
                     GroupEntry g{f[0], *gid, {}};
                     if (f.size() > 3)
                       for (auto& m : fields(f[3], ','))
                         if (!trimmed(m).empty()) g.members.push_back(trimmed(m));
                     groups.push_back(std::move(g));
                   });
  return groups;
}

std::vector<UserEntry> readUsers(const SystemTree& tree) {
  std::vector<UserEntry> users;
  tree.forEachLine("/etc/passwd", kAccountFileLimit, kAccountLineLimit,
                   [&](const std::string& line) {
                     const auto f = fields(line, ':');
                     if (f.size() < 4 || f[0].empty()) return;
                     const auto uid = number(f[2]);
                     const auto gid = number(f[3]);
                     if (uid && gid) users.push_back({f[0], *uid, *gid});
                   });
  return users;
}

const GroupEntry* findGroup(const std::vector<GroupEntry>& groups, unsigned gid) {
  for (const GroupEntry& g : groups)
    if (g.gid == gid) return &g;
  return nullptr;
}

const UserEntry* findUser(const std::vector<UserEntry>& users, unsigned uid) {
  for (const UserEntry& u : users)
    if (u.uid == uid) return &u;
  return nullptr;
}

const UserEntry* findUser(const std::vector<UserEntry>& users, const std::string& name) {
  for (const UserEntry& u : users)
    if (u.name == name) return &u;
  return nullptr;
}

}  // namespace halvern::doctor
