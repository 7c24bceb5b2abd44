// The connection doctor's checks on fake systems: each scenario a technician meets, its verdicts
// and the commands it tells.
#include "doctor/connection_doctor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "doctor/fake_system.h"
#include "link/bridge_finder.h"

namespace halvern::doctor {
namespace {

using test::FakeSystem;

constexpr int kSelfPid = 77777;

bool contains(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

class Doctor : public ::testing::Test {
 protected:
  // The node's owner is this process's user, named root; its group this process's group,
  // named dialout. Alice is neither.
  const unsigned ownerUid = ::getuid();
  const unsigned dialoutGid = ::getgid();
  const unsigned aliceUid = ownerUid + 1000;

  void SetUp() override { writeAccounts(false); }

  void writeAccounts(bool aliceListedInDialout) {
    fake.write("/etc/passwd", "root:x:" + std::to_string(ownerUid) + ":" +
                                  std::to_string(dialoutGid) +
                                  "::/root:/bin/sh\nalice:x:" + std::to_string(aliceUid) + ":" +
                                  std::to_string(aliceUid) + "::/home/alice:/bin/bash\n");
    fake.write("/etc/group", "dialout:x:" + std::to_string(dialoutGid) + ":" +
                                 (aliceListedInDialout ? "bob,alice" : "bob") +
                                 "\nalice:x:" + std::to_string(aliceUid) + ":\n");
  }

  // Alice, in the dialout group in this login session or not; opening answers `openAnswer`.
  SystemView view(bool inDialout, int openAnswer = 0) {
    SystemView v;
    v.root = fake.root();
    v.identity = {aliceUid, aliceUid, {aliceUid}, "alice"};
    if (inDialout) v.identity.groups.push_back(dialoutGid);
    v.tryOpen = [openAnswer, this](const std::filesystem::path& device) {
      opened.push_back(device);
      return openAnswer;
    };
    v.selfPid = kSelfPid;
    return v;
  }

  // A bridge with everything in place: the rule installed and applied, latency 1 ms.
  void addHealthyBridge() {
    fake.addUsbSerial({});
    fake.write("/etc/udev/rules.d/70-halvern-zelka40100.rules", "# rule\n");
    fake.write("/run/udev/data/c188:0",
               "S:zelka40100-A1B2C3D4\nS:serial/by-id/usb-FTDI\nG:uaccess\n"
               "E:ID_MM_DEVICE_IGNORE=1\n");
    fake.link("/dev/zelka40100-A1B2C3D4", "ttyUSB0");
  }

  static const Finding* find(const std::vector<Finding>& findings, const std::string& title) {
    for (const Finding& f : findings)
      if (f.title.rfind(title, 0) == 0) return &f;
    return nullptr;
  }

  FakeSystem fake;
  std::vector<std::filesystem::path> opened;
};

TEST_F(Doctor, NoBridgeListsTheRealPortsAndFails) {
  fake.addBuiltin("ttyS0", "0");
  fake.addBuiltin("ttyS1", "4");
  fake.addAcm("ttyACM0", "1-3", "Arduino Uno");
  fake.folder("/sys/bus/usb");
  const auto findings = examine(view(true));

  const Finding* ports = find(findings, "Serial ports");
  ASSERT_NE(ports, nullptr);
  EXPECT_EQ(ports->verdict, Verdict::Ok);
  EXPECT_EQ(ports->summary, "2 found");
  EXPECT_EQ(ports->details,
            (std::vector<std::string>{"/dev/ttyACM0  2341:0043 \"Arduino Uno\" serial 7573530323",
                                      "/dev/ttyS1  not USB (driver serial8250)"}))
      << "a ttyS of type 0 has no hardware";
  const Finding* bridge = find(findings, "Bridge");
  ASSERT_NE(bridge, nullptr);
  EXPECT_EQ(bridge->verdict, Verdict::Problem);
  EXPECT_EQ(bridge->summary, "not found");
  EXPECT_TRUE(anyProblem(findings));
  // Nothing to judge access to, and the board is never opened.
  EXPECT_EQ(find(findings, "Permission"), nullptr);
  EXPECT_TRUE(opened.empty());
}

TEST_F(Doctor, BridgeOnTheBusWithoutADriver) {
  FakeSystem::UsbPort bridge;
  bridge.productId = "e0d0";
  fake.addUsbDevice(bridge);
  fake.write("/var/lib/dpkg/status",
             "Package: brltty-x11\nStatus: install ok installed\n\n"
             "Package: brltty\nStatus: install ok installed\nVersion: 6.5\n\n");
  fake.addProcess(812, "brltty", {"/sbin/brltty", "-P", "/run/brltty.pid"});
  const auto findings = examine(view(true));

  const Finding* b = find(findings, "Bridge");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->verdict, Verdict::Problem);
  EXPECT_NE(b->summary.find("without a serial port"), std::string::npos) << b->summary;
  EXPECT_TRUE(
      contains(b->details, "USB device 1-2  0403:e0d0 \"ZELKA 40100 USB\" serial A1B2C3D4"));
  EXPECT_TRUE(contains(b->details, "interface 1-2:1.0 has no driver bound"));
  EXPECT_TRUE(contains(b->details,
                       "echo 0403 e0d0 | sudo tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id"));
  EXPECT_EQ(b->fix,
            (std::vector<std::string>{"sudo modprobe ftdi_sio", "sudo apt-get remove brltty"}));
  // brltty running while the bridge has no port is the likely cause.
  const Finding* brltty = find(findings, "brltty");
  ASSERT_NE(brltty, nullptr);
  EXPECT_EQ(brltty->verdict, Verdict::Problem);
  EXPECT_EQ(brltty->summary, "installed and running (pid 812)");
}

TEST_F(Doctor, HealthyBridgeHasNoProblemAndNoWarning) {
  addHealthyBridge();
  fake.addProcess(300, "bash", {"bash"});
  const auto findings = examine(view(true));
  for (const Finding& f : findings) {
    EXPECT_TRUE(f.verdict == Verdict::Ok || f.verdict == Verdict::Info)
        << f.title << ": " << f.summary;
    EXPECT_TRUE(f.fix.empty()) << f.title;
  }
  EXPECT_FALSE(anyProblem(findings));
  const Finding* b = find(findings, "Bridge");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->summary, "/dev/ttyUSB0, serial A1B2C3D4, also /dev/zelka40100-A1B2C3D4");
  const Finding* permission = find(findings, "Permission to open /dev/ttyUSB0");
  ASSERT_NE(permission, nullptr);
  EXPECT_EQ(permission->summary, "allowed; it belongs to root:dialout (-rw-rw----)");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], fake.at("/dev/ttyUSB0"));
  EXPECT_EQ(find(findings, "Latency timer of /dev/ttyUSB0")->summary, "1 ms");
  EXPECT_EQ(find(findings, "udev rule")->details,
            (std::vector<std::string>{"Applied to /dev/ttyUSB0."}));
  EXPECT_EQ(find(findings, "Other programs using /dev/ttyUSB0")->summary, "none");
  const std::string report = formatReport(findings);
  EXPECT_NE(report.find("[ ok ] Serial ports: 1 found\n"
                        "       /dev/ttyUSB0  0403:6001 \"ZELKA 40100 USB\" serial A1B2C3D4\n"),
            std::string::npos)
      << report;
  EXPECT_EQ(report.substr(report.size() - 19), "No problems found.\n");
}

TEST_F(Doctor, PermissionDeniedSaysWhichGroupStepIsMissing) {
  addHealthyBridge();
  const struct {
    const char* name;
    bool listed;
    int openAnswer;  // -1: no open attempted, judged from the node alone
    std::string detail;
    std::vector<std::string> fix;
  } cases[] = {
      {"not in the group",
       false,
       EACCES,
       "You are not in the dialout group.",
       {"sudo usermod -aG dialout alice", "then log out and back in"}},
      {"added, but not in this session",
       true,
       EACCES,
       "in the dialout group in /etc/group, but this login session began before",
       {"log out and back in", "(in this terminal only: newgrp dialout)"}},
      {"judged from the mode alone",
       false,
       -1,
       "You are not in the dialout group.",
       {"sudo usermod -aG dialout alice", "then log out and back in"}},
  };
  for (const auto& c : cases) {
    writeAccounts(c.listed);
    SystemView v = view(false, c.openAnswer);
    if (c.openAnswer < 0) v.tryOpen = nullptr;
    const auto findings = examine(v);
    const Finding* f = find(findings, "Permission to open /dev/ttyUSB0");
    ASSERT_NE(f, nullptr) << c.name;
    EXPECT_EQ(f->verdict, Verdict::Problem) << c.name;
    EXPECT_EQ(f->summary, "denied; it belongs to root:dialout (-rw-rw----)") << c.name;
    EXPECT_TRUE(contains(f->details, c.detail)) << c.name;
    EXPECT_EQ(f->fix, c.fix) << c.name;
    EXPECT_TRUE(contains(f->details, "You have no local seat")) << c.name;
    EXPECT_TRUE(anyProblem(findings));
  }
}

TEST_F(Doctor, PermissionTellsOfTheSeatAndOfExclusiveUse) {
  addHealthyBridge();
  fake.write("/run/systemd/users/" + std::to_string(aliceUid),
             "NAME=alice\nSTATE=active\nSEATS=seat0\nACTIVE_SEATS=seat0\n");
  auto findings = examine(view(true));
  const Finding* f = find(findings, "Permission to open");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(contains(f->details, "You have a local seat (seat0)"));

  findings = examine(view(true, EBUSY));
  f = find(findings, "Permission to open");
  EXPECT_EQ(f->verdict, Verdict::Problem);
  EXPECT_EQ(f->summary.rfind("in exclusive use", 0), 0u) << f->summary;
}

TEST_F(Doctor, PortHeldByAnotherProcessAndLockFiles) {
  addHealthyBridge();
  fake.addProcess(4242, "minicom", {"minicom", "-D", "/dev/ttyUSB0"},
                  {"/dev/pts/1", "/dev/ttyUSB0"});
  fake.addProcess(4300, "picocom", {"picocom", "/dev/zelka40100-A1B2C3D4"},
                  {"/dev/zelka40100-A1B2C3D4"});
  fake.addProcess(kSelfPid, "halvern-cli", {"halvern-cli", "doctor"}, {"/dev/ttyUSB0"});
  fake.addProcess(5000, "bash", {"bash"}, {"/dev/ttyUSB1", "socket:[123]"});
  // /var/lock is a link to /run/lock: the one file is told once.
  fake.write("/run/lock/LCK..ttyUSB0", "      9999\n");
  fake.link("/var/lock", "../run/lock");
  const auto findings = examine(view(true));

  const Finding* held = find(findings, "Other programs using /dev/ttyUSB0");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->verdict, Verdict::Problem);
  EXPECT_EQ(held->summary, "held open by 2 processes");
  EXPECT_EQ(held->details,
            (std::vector<std::string>{"pid 4242 minicom: minicom -D /dev/ttyUSB0",
                                      "pid 4300 picocom: picocom /dev/zelka40100-A1B2C3D4"}));
  ASSERT_EQ(held->fix.size(), 2u);
  EXPECT_NE(held->fix[0].find("kill 4242    (or close minicom)"), std::string::npos);

  int locks = 0;
  for (const Finding& f : findings) {
    if (f.title.rfind("Lock file", 0) != 0) continue;
    ++locks;
    EXPECT_EQ(f.title, "Lock file /var/lock/LCK..ttyUSB0");
    EXPECT_EQ(f.verdict, Verdict::Warning);
    EXPECT_EQ(f.summary, "stale: process 9999 no longer runs");
    EXPECT_EQ(f.fix, (std::vector<std::string>{"sudo rm /var/lock/LCK..ttyUSB0"}));
  }
  EXPECT_EQ(locks, 1);
  const std::string report = formatReport(findings);
  EXPECT_NE(report.find("[FAIL] Other programs using /dev/ttyUSB0: held open by 2 processes\n"
                        "       pid 4242 minicom: minicom -D /dev/ttyUSB0\n"),
            std::string::npos)
      << report;
}

TEST_F(Doctor, LockFileOfARunningProcessAndOfNone) {
  addHealthyBridge();
  fake.addProcess(4242, "minicom", {"minicom"});
  fake.write("/var/lock/LCK..ttyUSB0", "4242\nminicom\nhost\n");
  fake.write("/run/lock/LCK..ttyUSB0", "garbage");
  const auto findings = examine(view(true));
  std::vector<const Finding*> locks;
  for (const Finding& f : findings)
    if (f.title.rfind("Lock file", 0) == 0) locks.push_back(&f);
  ASSERT_EQ(locks.size(), 2u);
  EXPECT_EQ(locks[0]->verdict, Verdict::Problem);
  EXPECT_EQ(locks[0]->summary, "held by pid 4242 (minicom)");
  EXPECT_EQ(locks[1]->verdict, Verdict::Warning);
  EXPECT_EQ(locks[1]->summary, "names no process");
}

TEST_F(Doctor, ModemManagerWithAndWithoutTheIgnoreFlag) {
  const struct {
    const char* name;
    std::string udevRecord;
    bool holds;
    Verdict verdict;
  } cases[] = {
      {"told to ignore", "G:uaccess\nE:ID_MM_DEVICE_IGNORE=1\n", false, Verdict::Ok},
      {"not told", "G:uaccess\n", false, Verdict::Warning},
      {"not told and holding it", "G:uaccess\nE:ID_MM_DEVICE_IGNORE=0\n", true, Verdict::Problem},
  };
  for (const auto& c : cases) {
    fake.addUsbSerial({});
    fake.write("/etc/udev/rules.d/70-halvern-zelka40100.rules", "# rule\n");
    fake.write("/run/udev/data/c188:0", c.udevRecord);
    fake.addProcess(
        650, "ModemManager", {"/usr/sbin/ModemManager"},
        c.holds ? std::vector<std::string>{"/dev/ttyUSB0"} : std::vector<std::string>{});
    const auto findings = examine(view(true));
    const Finding* f = find(findings, "ModemManager");
    ASSERT_NE(f, nullptr) << c.name;
    EXPECT_EQ(f->verdict, c.verdict) << c.name << ": " << f->summary;
    EXPECT_NE(f->summary.find("running (pid 650)"), std::string::npos) << c.name;
    if (c.verdict != Verdict::Ok) {
      EXPECT_TRUE(contains(f->fix, "sudo udevadm control --reload-rules")) << c.name;
      EXPECT_TRUE(contains(f->fix, "sudo systemctl disable --now ModemManager")) << c.name;
    }
  }
}

TEST_F(Doctor, BrlttyFoundByItsProgramOrItsPackage) {
  const struct {
    const char* name;
    std::string file;
    std::string status;
    Verdict verdict;
  } cases[] = {
      {"nowhere", "", "Package: brltty\nStatus: deinstall ok config-files\n", Verdict::Ok},
      {"another package", "", "Package: brltty-espeak\nStatus: install ok installed\n",
       Verdict::Ok},
      {"the program", "/usr/bin/brltty", "", Verdict::Warning},
      {"the package", "",
       "Package: a\nStatus: install ok installed\n\nPackage: brltty\n"
       "Architecture: amd64\nStatus: install ok installed\n",
       Verdict::Warning},
  };
  for (const auto& c : cases) {
    addHealthyBridge();
    std::error_code ignored;
    std::filesystem::remove(fake.at("/usr/bin/brltty"), ignored);
    if (!c.file.empty()) fake.write(c.file, "");
    fake.write("/var/lib/dpkg/status", c.status);
    const auto findings = examine(view(true));
    const Finding* f = find(findings, "brltty");
    ASSERT_NE(f, nullptr) << c.name;
    EXPECT_EQ(f->verdict, c.verdict) << c.name;
    if (c.verdict == Verdict::Warning) {
      EXPECT_EQ(f->summary, "installed (not running)") << c.name;
      EXPECT_EQ(f->fix, (std::vector<std::string>{"sudo apt-get remove brltty"})) << c.name;
    }
  }
}

TEST_F(Doctor, LatencyTimer) {
  const struct {
    std::string value;
    Verdict verdict;
    std::string summary;
  } cases[] = {
      {"1", Verdict::Ok, "1 ms"},
      {"16", Verdict::Warning, "16 ms: every acknowledged block waits up to 16 ms longer"},
      {"banana", Verdict::Info, "reads \"banana\""},
      {"", Verdict::Info, "not found (the driver ftdi_sio has none)"},
  };
  for (const auto& c : cases) {
    FakeSystem::UsbPort port;
    port.latency = c.value;
    addHealthyBridge();
    std::error_code ignored;
    std::filesystem::remove(fake.at(FakeSystem::usbPath("1-2") + "/1-2:1.0/ttyUSB0/latency_timer"),
                            ignored);
    fake.addUsbSerial(port);
    const auto findings = examine(view(true));
    const Finding* f = find(findings, "Latency timer of /dev/ttyUSB0");
    ASSERT_NE(f, nullptr) << c.value;
    EXPECT_EQ(f->verdict, c.verdict) << c.value;
    EXPECT_EQ(f->summary, c.summary) << c.value;
    if (c.verdict == Verdict::Warning) {
      EXPECT_EQ(f->fix,
                (std::vector<std::string>{
                    "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer"}));
      EXPECT_TRUE(contains(f->details, "up to 1.0 s more"));
    }
  }
}

TEST_F(Doctor, UdevRuleWhereItLiesAndWhetherItWasApplied) {
  fake.addUsbSerial({});
  const std::string rule = "70-halvern-zelka40100.rules";
  // Only under /usr/local.
  fake.write("/usr/local/lib/udev/rules.d/" + rule, "# rule\n");
  auto findings = examine(view(true));
  const Finding* f = find(findings, "udev rule");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->verdict, Verdict::Warning);
  ASSERT_EQ(f->fix.size(), 1u);
  EXPECT_EQ(f->fix[0].rfind("sudo cp /usr/local/lib/udev/rules.d/" + rule +
                                " /etc/udev/rules.d/ && sudo udevadm control --reload-rules",
                            0),
            0u)
      << f->fix[0];

  // Installed in /usr/lib (and /lib leading there), but the bridge was plugged in before.
  fake.write("/usr/lib/udev/rules.d/" + rule, "# rule\n");
  fake.link("/lib", "usr/lib");
  findings = examine(view(true));
  f = find(findings, "udev rule");
  EXPECT_EQ(f->verdict, Verdict::Warning);
  EXPECT_EQ(f->summary,
            "installed (/usr/lib/udev/rules.d/" + rule + "), but not applied to /dev/ttyUSB0");
  EXPECT_EQ(f->fix,
            (std::vector<std::string>{"sudo udevadm control --reload-rules && sudo "
                                      "udevadm trigger --action=add --subsystem-match=tty"}));

  // Applied: its stable link is there.
  fake.link("/dev/zelka40100-A1B2C3D4", "/dev/ttyUSB0");
  findings = examine(view(true));
  EXPECT_EQ(find(findings, "udev rule")->verdict, Verdict::Ok);

  // Nowhere: the fix writes it.
  std::filesystem::remove_all(fake.at("/usr"));
  findings = examine(view(true));
  f = find(findings, "udev rule");
  EXPECT_EQ(f->summary, "not installed");
  ASSERT_EQ(f->fix.size(), 1u);
  EXPECT_NE(f->fix[0].find("sudo tee /etc/udev/rules.d/" + rule), std::string::npos);
  EXPECT_NE(f->fix[0].find("ENV{ID_MM_DEVICE_IGNORE}=\"1\""), std::string::npos);

  // What the fix writes, through the shell: the installed file's rules, one to a line.
  const std::string write = f->fix[0].substr(0, f->fix[0].find(" | sudo tee"));
  FILE* shell = ::popen(write.c_str(), "r");
  ASSERT_NE(shell, nullptr);
  std::string written;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, shell)) > 0;)
    written.append(chunk, n);
  EXPECT_EQ(::pclose(shell), 0);
  std::vector<std::string> lines;
  for (std::size_t from = 0, to; (to = written.find('\n', from)) != std::string::npos;
       from = to + 1)
    lines.push_back(written.substr(from, to - from));
  ASSERT_GE(lines.size(), 4u) << written;
  EXPECT_EQ(lines.front(), "ACTION==\"remove\", GOTO=\"halvern_zelka40100_end\"");
  EXPECT_EQ(lines.back(), "LABEL=\"halvern_zelka40100_end\"");
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find('\\'), std::string::npos) << line;
    EXPECT_NE(line.front(), '#') << line;
  }
  EXPECT_NE(written.find("SYMLINK+=\"zelka40100-$attr{serial}\""), std::string::npos) << written;
  EXPECT_NE(written.find("ATTR{latency_timer}=\"1\""), std::string::npos) << written;
}

TEST_F(Doctor, NamedPorts) {
  addHealthyBridge();
  fake.addAcm("ttyACM0", "1-3", "Arduino Uno");
  fake.write("/dev/pts/3", "", 0620);
  // The program serving the pseudo-terminal holds it: no problem of its own.
  fake.addProcess(6000, "halvern-sim", {"halvern-sim"}, {"/dev/pts/3"});
  const struct {
    std::string port;
    const char* title;
    Verdict verdict;
    std::string summary;
    std::string latency;
  } cases[] = {
      {"/dev/zelka40100-A1B2C3D4", "Port /dev/zelka40100-A1B2C3D4", Verdict::Ok,
       "the bridge: /dev/ttyUSB0  0403:6001 \"ZELKA 40100 USB\" serial A1B2C3D4", "1 ms"},
      {"ttyACM0", "Port /dev/ttyACM0", Verdict::Warning,
       "a USB serial port, but not the bridge: /dev/ttyACM0  2341:0043 \"Arduino Uno\" serial "
       "7573530323",
       "not found (the driver cdc_acm has none)"},
      {"/dev/pts/3", "Port /dev/pts/3", Verdict::Info,
       "a pseudo-terminal: the USB checks do not apply",
       "does not apply: not a USB port (a pseudo-terminal?)"},
      {"/dev/ttyUSB7", "Port /dev/ttyUSB7", Verdict::Problem, "does not exist", ""},
  };
  for (const auto& c : cases) {
    SystemView v = view(true);
    v.port = c.port;
    opened.clear();
    const auto findings = examine(v);
    ASSERT_GE(findings.size(), 2u);
    const Finding& f = findings[1];
    EXPECT_EQ(f.title, c.title);
    EXPECT_EQ(f.verdict, c.verdict) << c.port;
    EXPECT_EQ(f.summary, c.summary) << c.port;
    const Finding* latency = find(findings, "Latency timer");
    if (c.verdict == Verdict::Problem) {
      EXPECT_EQ(latency, nullptr);
      EXPECT_TRUE(opened.empty());
      EXPECT_TRUE(contains(f.details, "The bridge is at /dev/ttyUSB0"));
      continue;
    }
    ASSERT_NE(latency, nullptr) << c.port;
    EXPECT_EQ(latency->summary, c.latency) << c.port;
    const Finding* held = find(findings, "Other programs using");
    ASSERT_NE(held, nullptr) << c.port;
    EXPECT_EQ(held->verdict, c.port == "/dev/pts/3" ? Verdict::Info : Verdict::Ok) << c.port;
    EXPECT_FALSE(anyProblem(findings)) << c.port;
    ASSERT_EQ(opened.size(), 1u) << c.port;
  }
}

// The doctor's words about which bridge is used are the link's own choice: for the same system,
// the bridges and the pick of the link's finder, reading the fake /dev from the disk as the link
// reads /dev, with the tree's root taken off its paths.
TEST_F(Doctor, SaysWhichBridgeTheLinkTakes) {
  FakeSystem::UsbPort second;
  second.name = "ttyUSB1";
  second.busId = "1-4";
  second.serial = "Z9Y8X7";
  second.dev = "188:1";
  const struct Case {
    const char* name;
    bool secondBridge;
    bool modemWithLink;  // a port of another description, a bridge by its stable link alone
    std::string lastBridge;
    std::size_t bridges;
  } cases[] = {
      {"one bridge", false, false, "", 1},
      {"one bridge, another used last", false, false, "Z9Y8X7", 1},
      {"two, the second used last", true, false, "Z9Y8X7", 2},
      {"two, the first used last", true, false, "A1B2C3D4", 2},
      {"two, none used", true, false, "", 2},
      {"two, the one used last gone", true, false, "GONE1234", 2},
      {"one by description, one by its link alone, the link's used last", false, true, "Q7", 2},
      {"one by description, one by its link alone", false, true, "", 2},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Each case a system of its own, in a folder of the test's.
    const test::FakeTree system(fake.at("/case" + std::to_string(++number)));
    system.addUsbSerial({});
    system.link("/dev/zelka40100-A1B2C3D4", "ttyUSB0");
    const std::string root = std::filesystem::canonical(system.root()).string();
    std::vector<SerialPortEntry> ports{
        {root + "/dev/ttyUSB0", "ZELKA 40100 USB", "A1B2C3D4", true}};
    if (c.secondBridge) {
      system.addUsbSerial(second);
      ports.push_back({root + "/dev/ttyUSB1", "ZELKA 40100 USB", "Z9Y8X7", true});
    }
    if (c.modemWithLink) {
      system.addAcm("ttyACM0", "1-3", "Arduino Uno");
      system.link("/dev/zelka40100-Q7", "ttyACM0");
      ports.push_back({root + "/dev/ttyACM0", "Arduino Uno", "7573530323", false});
    }
    const std::vector<Bridge> linkBridges = findBridges(ports, findStableLinks(root + "/dev"));
    const BridgePick pick = pickBridge(linkBridges, c.lastBridge, nullptr);
    auto inTree = [&root](std::string text) {
      for (auto at = text.find(root); at != std::string::npos; at = text.find(root))
        text.erase(at, root.size());
      return text;
    };
    ASSERT_EQ(linkBridges.size(), c.bridges);

    SystemView v = view(true);
    v.root = system.root();
    v.lastBridge = c.lastBridge;
    const auto findings = examine(v);
    const Finding* b = find(findings, "Bridge");
    ASSERT_NE(b, nullptr);
    if (c.bridges == 1) {
      ASSERT_TRUE(pick.index.has_value());
      EXPECT_EQ(b->verdict, Verdict::Ok);
      EXPECT_TRUE(contains(b->details, "halvern and halvern-cli take " +
                                           inTree(bridgeLabel(linkBridges[*pick.index])) +
                                           ": it is the only bridge attached."));
      continue;
    }
    for (const Bridge& bridge : linkBridges)
      EXPECT_TRUE(contains(b->details, inTree(bridge.device) + ", serial " + bridge.serialNumber));
    EXPECT_NE(find(findings, "Permission to open " + inTree(linkBridges.back().device)), nullptr);
    const std::string count = std::to_string(c.bridges) + " bridges found; ";
    if (pick.index) {
      EXPECT_EQ(b->verdict, Verdict::Ok);
      EXPECT_EQ(b->summary, count + "halvern keeps to " +
                                inTree(bridgeLabel(linkBridges[*pick.index])) +
                                ", the one it used last");
    } else {
      EXPECT_EQ(b->verdict, Verdict::Warning);
      EXPECT_EQ(b->summary, count + "halvern asks which one to use, halvern-cli needs --port");
      EXPECT_TRUE(contains(b->details, "halvern-cli says: " + inTree(pick.problem) + "."));
    }
  }
}

TEST(DoctorReport, LayoutAndPlainAscii) {
  const std::vector<Finding> findings{
      {Verdict::Ok, "Serial ports", "1 found", {"/dev/ttyUSB0  0403:6001 \"Caf\xC3\xA9\""}, {}},
      {Verdict::Problem,
       "Permission to open /dev/ttyUSB0",
       "denied",
       {"You are not in the dialout group."},
       {"sudo usermod -aG dialout alice", "then log out and back in"}},
      {Verdict::Warning, "Latency timer", "16 ms", {}, {}},
      {Verdict::Info, "Port", "", {}, {}},
  };
  EXPECT_EQ(formatReport(findings),
            "Connection doctor: the instrument's USB bridge \"ZELKA 40100 USB\"\n"
            "[ ok ] Serial ports: 1 found\n"
            "       /dev/ttyUSB0  0403:6001 \"Caf\\xC3\\xA9\"\n"
            "[FAIL] Permission to open /dev/ttyUSB0: denied\n"
            "       You are not in the dialout group.\n"
            "       Fix:  sudo usermod -aG dialout alice\n"
            "             then log out and back in\n"
            "[warn] Latency timer: 16 ms\n"
            "[info] Port\n"
            "1 problem found; 1 warning.\n");
  EXPECT_TRUE(anyProblem(findings));
  EXPECT_FALSE(anyProblem({findings[0], findings[2]}));
}

}  // namespace
}  // namespace halvern::doctor
