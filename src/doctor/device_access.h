#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvern::doctor {

class SystemTree;

// One entry of a POSIX access control list, as Linux stores it in the
// "system.posix_acl_access" extended attribute.
struct AclEntry {
  std::uint16_t tag = 0;
  std::uint16_t perm = 0;  // kAclRead | kAclWrite | kAclExecute
  std::uint32_t id = 0;    // the uid or gid of kAclUser and kAclGroup entries
};
inline constexpr std::uint16_t kAclUserObj = 0x01;
inline constexpr std::uint16_t kAclUser = 0x02;
inline constexpr std::uint16_t kAclGroupObj = 0x04;
inline constexpr std::uint16_t kAclGroup = 0x08;
inline constexpr std::uint16_t kAclMask = 0x10;
inline constexpr std::uint16_t kAclOther = 0x20;
inline constexpr std::uint16_t kAclRead = 4;
inline constexpr std::uint16_t kAclWrite = 2;
inline constexpr std::uint16_t kAclExecute = 1;
inline constexpr const char* kAclAttribute = "system.posix_acl_access";
// The largest attribute read: far more entries than a device node carries.
inline constexpr std::size_t kAclLimit = 8192;

// The entries of the attribute's bytes (a 4-byte version 2, then 8 bytes an entry, little
// endian); nothing when they are not of that form.
std::optional<std::vector<AclEntry>> parsePosixAcl(std::string_view bytes);
// The access list of `file`; nothing when it has none (or it cannot be read).
std::optional<std::vector<AclEntry>> readPosixAcl(const std::filesystem::path& file);
// "user:alice:rw-", "mask::rw-" and so on; `name` names the user or group of a kAclUser or
// kAclGroup entry (its number when empty).
std::string describeAclEntry(const AclEntry& entry, const std::string& name);

// Who may read and write a node, and through which of its permissions.
struct Access {
  enum class By { Root, Owner, AclUser, Group, AclGroup, Other };
  bool allowed = false;
  By by = By::Other;
};
// Judges read and write access to a node of `node`'s owner, group and mode (and `acl`, when
// present) for the user `uid` in the groups `groups`, as the kernel does.
Access judgeAccess(const struct stat& node, const std::vector<AclEntry>* acl, unsigned uid,
                   const std::vector<unsigned>& groups);

// "crw-rw----": the type and permission bits of `mode`.
std::string modeString(unsigned mode);

// One line of /etc/group.
struct GroupEntry {
  std::string name;
  unsigned gid = 0;
  std::vector<std::string> members;
};
// One line of /etc/passwd, the fields this program uses.
struct UserEntry {
  std::string name;
  unsigned uid = 0;
  unsigned gid = 0;
};
// The local account files of the tree (at most 4 MB each); lines not of their form are skipped.
std::vector<GroupEntry> readGroups(const SystemTree& tree);
std::vector<UserEntry> readUsers(const SystemTree& tree);
const GroupEntry* findGroup(const std::vector<GroupEntry>& groups, unsigned gid);
const UserEntry* findUser(const std::vector<UserEntry>& users, unsigned uid);
const UserEntry* findUser(const std::vector<UserEntry>& users, const std::string& name);

}  // namespace halvern::doctor
