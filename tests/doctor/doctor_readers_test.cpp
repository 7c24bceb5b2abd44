// The readers under the connection doctor: links followed inside a root, bounded reads, the
// POSIX access list and the access decision.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doctor/device_access.h"
#include "doctor/fake_system.h"
#include "doctor/system_tree.h"

namespace halvern::doctor {
namespace {

using test::FakeSystem;

TEST(SystemTree, FollowsLinksInsideTheRoot) {
  FakeSystem fake;
  fake.folder("/sys/devices/a/b");
  fake.link("/sys/class/x", "../devices/a/b");               // relative
  fake.link("/sys/bus/y", "/sys/devices/a");                 // absolute: inside the root
  fake.link("/sys/bus/z", "../../../../../../sys/bus/y/b");  // above the root stays at it
  fake.link("/loop/a", "b");
  fake.link("/loop/b", "a");
  fake.link("/escape", "/etc");  // the host's /etc is never reached
  SystemTree tree(fake.root());
  const struct {
    const char* path;
    const char* resolved;
  } cases[] = {
      {"/sys/class/x", "/sys/devices/a/b"},
      {"/sys/class/x/c", "/sys/devices/a/b/c"},
      {"/sys/class/x/../..", "/sys/devices"},
      {"/sys/bus/y/b", "/sys/devices/a/b"},
      {"/sys/bus/z", "/sys/devices/a/b"},
      {"//sys/./bus//y/", "/sys/devices/a"},
      {"/loop/a", ""},
      {"/escape/passwd", "/etc/passwd"},
  };
  for (const auto& c : cases) EXPECT_EQ(tree.resolve(c.path), c.resolved) << c.path;
  EXPECT_TRUE(tree.isDirectory("/sys/bus/z"));
  EXPECT_FALSE(tree.exists("/escape/passwd"));
  EXPECT_FALSE(tree.exists("/loop/a"));
}

TEST(SystemTree, ReadsAreBoundedAndNeverThrow) {
  FakeSystem fake;
  fake.write("/big", std::string(100000, 'x'));
  fake.write("/attr", "  16 \nsecond line\n");
  fake.write("/lines", "one\n" + std::string(50, 'y') + "\nthree");
  ASSERT_EQ(::mkfifo(fake.at("/fifo").c_str(), 0644), 0);
  SystemTree tree(fake.root());
  EXPECT_EQ(tree.read("/big")->size(), SystemTree::kAttributeLimit);
  EXPECT_EQ(tree.read("/big", 10)->size(), 10u);
  EXPECT_EQ(tree.attribute("/attr"), "16");
  EXPECT_FALSE(tree.read("/missing"));
  EXPECT_FALSE(tree.read("/fifo"));  // would block: never opened for reading
  EXPECT_FALSE(tree.read("/"));      // a folder
  EXPECT_TRUE(tree.list("/no/such/folder").empty());
  std::vector<std::string> lines;
  EXPECT_TRUE(
      tree.forEachLine("/lines", 1000, 8, [&](const std::string& l) { lines.push_back(l); }));
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "yyyyyyyy", "three"}));
  lines.clear();
  // The byte limit ends the reading mid-line.
  tree.forEachLine("/lines", 6, 100, [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "yy"}));
}

std::string aclBytes(std::uint32_t version, const std::vector<AclEntry>& entries) {
  std::string b;
  auto put = [&](std::uint32_t v, int size) {
    for (int n = 0; n < size; ++n) b += static_cast<char>((v >> (8 * n)) & 0xFF);
  };
  put(version, 4);
  for (const AclEntry& e : entries) {
    put(e.tag, 2);
    put(e.perm, 2);
    put(e.id, 4);
  }
  return b;
}

TEST(PosixAcl, ParsesTheKernelsFormatAndRefusesOthers) {
  const std::vector<AclEntry> entries{{kAclUserObj, 6, 0xFFFFFFFF},
                                      {kAclUser, 6, 1000},
                                      {kAclGroupObj, 6, 0xFFFFFFFF},
                                      {kAclMask, 6, 0xFFFFFFFF},
                                      {kAclOther, 0, 0xFFFFFFFF}};
  const auto parsed = parsePosixAcl(aclBytes(2, entries));
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), 5u);
  EXPECT_EQ((*parsed)[1].tag, kAclUser);
  EXPECT_EQ((*parsed)[1].id, 1000u);
  EXPECT_EQ(describeAclEntry((*parsed)[1], "alice"), "user:alice:rw-");
  EXPECT_EQ(describeAclEntry((*parsed)[3], ""), "mask::rw-");

  EXPECT_FALSE(parsePosixAcl(aclBytes(1, entries)));                // another version
  EXPECT_FALSE(parsePosixAcl(aclBytes(2, entries).substr(0, 11)));  // cut short
  EXPECT_FALSE(parsePosixAcl(aclBytes(2, {{0x40, 6, 0}})));         // no such tag
  EXPECT_FALSE(parsePosixAcl(""));
  EXPECT_TRUE(parsePosixAcl(aclBytes(2, {}))->empty());
}

TEST(DeviceAccess, JudgesReadAndWriteAsTheKernelDoes) {
  struct stat node {};
  node.st_mode = S_IFCHR | 0660;
  node.st_uid = 0;
  node.st_gid = 20;
  const std::vector<AclEntry> uaccess{{kAclUserObj, 6, 0},
                                      {kAclUser, 6, 1000},
                                      {kAclGroupObj, 6, 0},
                                      {kAclMask, 6, 0},
                                      {kAclOther, 0, 0}};
  const std::vector<AclEntry> masked{{kAclUserObj, 6, 0},
                                     {kAclUser, 6, 1000},
                                     {kAclGroupObj, 6, 0},
                                     {kAclMask, 4, 0},
                                     {kAclOther, 0, 0}};
  const std::vector<AclEntry> groupEntry{{kAclUserObj, 6, 0},
                                         {kAclGroupObj, 0, 0},
                                         {kAclGroup, 6, 44},
                                         {kAclMask, 6, 0},
                                         {kAclOther, 0, 0}};
  const struct {
    const char* name;
    const std::vector<AclEntry>* acl;
    unsigned uid;
    std::vector<unsigned> groups;
    bool allowed;
    Access::By by;
  } cases[] = {
      {"root", nullptr, 0, {}, true, Access::By::Root},
      {"in the group", nullptr, 1000, {1000, 20}, true, Access::By::Group},
      {"not in the group", nullptr, 1000, {1000}, false, Access::By::Other},
      {"named in the list", &uaccess, 1000, {1000}, true, Access::By::AclUser},
      {"named, but masked", &masked, 1000, {1000}, false, Access::By::AclUser},
      {"another user", &uaccess, 1001, {1001}, false, Access::By::Other},
      {"a listed group", &groupEntry, 1000, {44}, true, Access::By::AclGroup},
      {"owning group without rights", &groupEntry, 1000, {20}, false, Access::By::Group},
  };
  for (const auto& c : cases) {
    const Access a = judgeAccess(node, c.acl, c.uid, c.groups);
    EXPECT_EQ(a.allowed, c.allowed) << c.name;
    EXPECT_EQ(a.by, c.by) << c.name;
  }
  struct stat owned = node;
  owned.st_uid = 1000;
  owned.st_mode = S_IFCHR | 0460;  // the owner may only read
  EXPECT_FALSE(judgeAccess(owned, nullptr, 1000, {20}).allowed);
  EXPECT_EQ(modeString(S_IFCHR | 0660), "crw-rw----");
  EXPECT_EQ(modeString(S_IFREG | 0754), "-rwxr-xr--");
}

TEST(Accounts, ReadsGroupsAndUsersSkippingOddLines) {
  FakeSystem fake;
  fake.write("/etc/group",
             "root:x:0:\ndialout:x:20:alice, bob\nbroken\nnumber:x:abc:\n"
             "plugdev:x:46:\n");
  fake.write("/etc/passwd", "alice:x:1000:1000:Alice:/home/alice:/bin/bash\nbad:x:1\n");
  SystemTree tree(fake.root());
  const auto groups = readGroups(tree);
  ASSERT_EQ(groups.size(), 3u);
  ASSERT_NE(findGroup(groups, 20), nullptr);
  EXPECT_EQ(findGroup(groups, 20)->name, "dialout");
  EXPECT_EQ(findGroup(groups, 20)->members, (std::vector<std::string>{"alice", "bob"}));
  const auto users = readUsers(tree);
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(findUser(users, "alice")->uid, 1000u);
}

}  // namespace
}  // namespace halvern::doctor
