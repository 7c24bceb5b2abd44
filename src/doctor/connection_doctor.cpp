#include "doctor/connection_doctor.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "doctor/device_access.h"
#include "doctor/processes.h"
#include "doctor/serial_ports.h"
#include "doctor/system_tree.h"
#include "link/bridge_finder.h"
#include "wire/wire.h"

namespace halvern::doctor {

using wire::kStableLinkPrefix;  // /dev/zelka40100-<serial>

namespace {

// Where udev reads rules, and a folder it may not read.
constexpr const char* kRuleFolders[] = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                        "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
constexpr const char* kUnreadRuleFolder = "/usr/local/lib/udev/rules.d";
constexpr const char* kReloadRules =
    "sudo udevadm control --reload-rules && sudo udevadm trigger --action=add "
    "--subsystem-match=tty";
// The rule written when none is installed, the working lines of the one halvern installs
// (data/udev): access at a local seat and for the dialout group, ModemManager kept away, a link
// that keeps its name between plugs, the latency timer at 1 ms.
// The rule file as installed; its rules are what the fix writes where none is installed.
constexpr std::string_view kRuleFile =
#include <halvern_udev_rule.inc>
    ;
constexpr const char* kUdevData = "/run/udev/data/c";
constexpr std::size_t kUdevDataLimit = 65536;
constexpr std::size_t kLineLimit = 4096;
constexpr const char* kDpkgStatus = "/var/lib/dpkg/status";
// The package database runs to tens of megabytes; it is read in pieces up to this much.
constexpr std::size_t kDpkgStatusLimit = 64u << 20;
constexpr const char* kBrlttyFiles[] = {"/usr/bin/brltty", "/bin/brltty"};
constexpr const char* kBrlttyRemove = "sudo apt-get remove brltty";
constexpr const char* kModemManager = "ModemManager";
constexpr const char* kModemManagerOff = "sudo systemctl disable --now ModemManager";
constexpr const char* kDriverLoad = "sudo modprobe ftdi_sio";
// The acknowledged blocks of a program transfer: 66 of data and the end block.
constexpr unsigned kProgramTransferBlocks = wire::kProgramBlockCount + 1;
constexpr unsigned kMaxLatencyMs = 255;
constexpr std::size_t kMaxTargets = 8;

// A device the later checks judge: the bridge found, or the port named.
struct Target {
  std::string node;                  // "/dev/ttyUSB0", links resolved
  std::string shown;                 // as the user named it, or the node
  const SerialPort* port = nullptr;  // its sysfs entry; none for a pseudo-terminal
  std::vector<std::string> links;    // the stable links leading to it
};

// The device files under the tree's root, as the link's bridge finder reads them.
DeviceFiles treeDeviceFiles(const SystemTree& tree) {
  return {[&tree](const std::string& folder) { return tree.list(folder); },
          [&tree](const std::string& path) { return tree.linkTarget(path).has_value(); },
          [&tree](const std::string& path) {
            const std::string real = tree.resolve(path);
            return !real.empty() && tree.exists(real) ? real : std::string();
          }};
}

// What the checks share.
struct Context {
  explicit Context(const SystemView& v) : view(v), tree(v.root), files(treeDeviceFiles(tree)) {}

  const SystemView& view;
  SystemTree tree;
  DeviceFiles files;
  std::vector<SerialPort> ports;
  std::vector<StableLink> stableLinks;  // /dev/zelka40100-*, as the link finds them
  std::vector<GroupEntry> groups;
  std::vector<UserEntry> users;
  std::vector<Target> targets;
  std::vector<int> modemManager;
  std::vector<std::string> rulesInstalled;  // where udev reads them
  bool ruleUnread = false;                  // a copy under /usr/local only
  bool bridgeWithoutPort = false;
  Holders holders;  // of every target, for the unreadable count
};

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string userName(const Context& c) {
  return c.view.identity.user.empty() ? std::string("$USER") : c.view.identity.user;
}

std::string userLabel(const Context& c, unsigned uid) {
  const UserEntry* u = findUser(c.users, uid);
  return u ? u->name : std::to_string(uid);
}

std::string groupLabel(const Context& c, unsigned gid) {
  const GroupEntry* g = findGroup(c.groups, gid);
  return g ? g->name : std::to_string(gid);
}

// The groups of the login session: the primary one and the supplementary ones.
std::vector<unsigned> sessionGroups(const Identity& id) {
  std::vector<unsigned> all = id.groups;
  all.push_back(id.gid);
  return all;
}

// The lines of the udev database entry of `port`; empty when udev has none.
std::vector<std::string> udevRecord(const Context& c, const SerialPort& port) {
  std::vector<std::string> lines;
  // "188:0" and nothing else names a record.
  if (port.devNumber.empty() ||
      port.devNumber.find_first_not_of("0123456789:") != std::string::npos)
    return lines;
  c.tree.forEachLine(kUdevData + port.devNumber, kUdevDataLimit, kLineLimit,
                     [&](const std::string& line) { lines.push_back(line); });
  return lines;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// The links /dev/zelka40100-* that lead to `node`.
std::vector<std::string> stableLinks(const Context& c, const std::string& node) {
  std::vector<std::string> links;
  for (const StableLink& link : c.stableLinks)
    if (link.device == node) links.push_back(link.path);
  return links;
}

// The serial ports as the link's enumeration lists them, the bridge's marked.
std::vector<SerialPortEntry> portEntries(const Context& c) {
  std::vector<SerialPortEntry> entries;
  for (const SerialPort& p : c.ports) {
    entries.push_back({p.node, p.usb ? p.usb->product : std::string(),
                       p.usb ? p.usb->serial : std::string(), isBridge(p)});
  }
  return entries;
}

// The bridge as a device to judge: its serial port's entry when it has one.
Target makeTarget(const Context& c, const Bridge& bridge) {
  Target t;
  t.node = c.files.resolve(bridge.device);
  if (t.node.empty()) t.node = bridge.device;
  t.shown = bridge.device;
  for (const SerialPort& p : c.ports)
    if (p.node == t.node || c.files.resolve(p.node) == t.node) t.port = &p;
  t.links = stableLinks(c, t.node);
  return t;
}

bool isUsbTarget(const Target& t) { return t.port && t.port->usb; }

std::string bridgeTitle() { return "Bridge " + quoted(std::string(wire::kUsbDescription)); }

// --- Serial ports and the bridge ---------------------------------------------------------------

Finding portsFinding(const Context& c) {
  Finding f;
  f.title = "Serial ports";
  if (c.ports.empty()) {
    f.verdict = Verdict::Info;
    f.summary = "none found";
    f.details.push_back("No serial device with hardware behind it is listed in /sys/class/tty.");
    return f;
  }
  f.verdict = Verdict::Ok;
  f.summary = std::to_string(c.ports.size()) + " found";
  for (const SerialPort& p : c.ports) f.details.push_back(describePort(p));
  return f;
}

// The interfaces of a USB device with the drivers that claim them: "1-2:1.0 usbfs".
std::vector<std::string> interfaceDrivers(const Context& c, const UsbDevice& d) {
  std::vector<std::string> out;
  for (const std::string& name : c.tree.list(d.path)) {
    if (name.rfind(d.busId + ":", 0) != 0) continue;
    const std::string driver = c.tree.resolve(joinPath(joinPath(d.path, name), "driver"));
    const bool bound = !driver.empty() && c.tree.isDirectory(driver);
    out.push_back(
        "Its interface " + name +
        (bound ? " is claimed by the driver " + baseName(driver) : " has no driver bound"));
  }
  return out;
}

bool brlttyInstalled(const Context& c);

Finding bridgeMissingFinding(Context& c) {
  Finding f;
  f.title = bridgeTitle();
  // A bridge on the bus that no serial driver took.
  std::vector<UsbDevice> unbound;
  for (const UsbDevice& d : findUsbDevices(c.tree)) {
    if (!isBridge(d)) continue;
    const bool hasPort = std::any_of(c.ports.begin(), c.ports.end(), [&](const SerialPort& p) {
      return p.usb && p.usb->path == d.path;
    });
    if (!hasPort) unbound.push_back(d);
  }
  f.verdict = Verdict::Problem;
  if (unbound.empty()) {
    f.summary = "not found";
    f.details.push_back("No serial port or USB device has that USB product.");
    if (!c.tree.isDirectory("/sys/bus/usb")) {
      f.details.push_back(
          "This system shows no USB bus at all (/sys/bus/usb is missing): a container or a "
          "virtual machine without USB passed through to it?");
    } else {
      f.details.push_back(
          "Plug the instrument's USB cable in and switch the instrument on, then run this "
          "again.");
      f.details.push_back("What the kernel saw when it was plugged in: sudo dmesg | tail -n 20");
    }
    return f;
  }
  c.bridgeWithoutPort = true;
  f.summary = "on the USB bus, but without a serial port: no driver is bound to it";
  for (const UsbDevice& d : unbound) {
    f.details.push_back("USB device " + d.busId + "  " + describeUsb(d));
    for (std::string& line : interfaceDrivers(c, d)) f.details.push_back(std::move(line));
  }
  f.details.push_back("The serial driver ftdi_sio may not be loaded; load it:");
  f.fix.push_back(kDriverLoad);
  f.details.push_back(
      "If the driver is loaded and does not take the bridge, tell it the product id: echo " +
      unbound.front().vendorId + " " + unbound.front().productId +
      " | sudo tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id");
  if (brlttyInstalled(c)) {
    f.details.push_back(
        "brltty is installed and claims such bridges as braille displays: remove it, then "
        "replug the cable.");
    f.fix.push_back(kBrlttyRemove);
  } else {
    f.details.push_back(
        "A program that talks to USB devices directly (brltty, for one) can hold it too.");
  }
  return f;
}

// "/dev/ttyUSB0, serial A1B2C3D4, also /dev/zelka40100-A1B2C3D4".
std::string bridgeLine(const Bridge& bridge, const Target& t) {
  std::string text = bridge.device;
  if (!bridge.serialNumber.empty()) text += ", serial " + bridge.serialNumber;
  for (const std::string& link : t.links) text += ", also " + link;
  return text;
}

// The bridges the link finds, and the one it takes, told with the rule that takes it.
Finding bridgeFinding(Context& c) {
  const std::vector<Bridge> bridges = findBridges(portEntries(c), c.stableLinks, c.files);
  if (bridges.empty()) return bridgeMissingFinding(c);

  std::vector<Target> found;
  for (const Bridge& b : bridges) found.push_back(makeTarget(c, b));
  for (const Target& t : found)
    if (c.targets.size() < kMaxTargets) c.targets.push_back(t);
  Finding f;
  f.title = bridgeTitle();
  // halvern-cli has nobody to ask; the window asks only where this gives no bridge.
  const BridgePick pick = pickBridge(bridges, c.view.lastBridge, nullptr);
  if (bridges.size() == 1) {
    f.verdict = Verdict::Ok;
    f.summary = bridgeLine(bridges.front(), found.front());
    f.details.push_back("halvern and halvern-cli take " + bridgeLabel(bridges.front()) +
                        ": it is the only bridge attached.");
    return f;
  }
  for (std::size_t n = 0; n < bridges.size(); ++n)
    f.details.push_back(bridgeLine(bridges[n], found[n]));
  const std::string count = std::to_string(bridges.size()) + " bridges found; ";
  if (pick.index) {
    f.verdict = Verdict::Ok;
    f.summary =
        count + "halvern keeps to " + bridgeLabel(bridges[*pick.index]) + ", the one it used last";
    f.details.push_back("It keeps to it while it stays attached; halvern-cli needs --port.");
    return f;
  }
  f.verdict = Verdict::Warning;
  f.summary = count + "halvern asks which one to use, halvern-cli needs --port";
  f.details.push_back("halvern-cli says: " + pick.problem + ".");
  f.details.push_back("Name the one to use with --port DEVICE; the links /dev/" +
                      std::string(kStableLinkPrefix) + "<serial> keep their names between plugs.");
  return f;
}

// The device named with --port.
Finding namedPortFinding(Context& c) {
  Finding f;
  std::string given = c.view.port;
  if (given.find('/') == std::string::npos) given = "/dev/" + given;
  f.title = "Port " + given;
  const std::string node = c.tree.resolve(given);
  if (node.empty() || !c.tree.exists(node)) {
    f.verdict = Verdict::Problem;
    f.summary = "does not exist";
    for (const SerialPort& p : c.ports)
      if (isBridge(p)) f.details.push_back("The bridge is at " + describePort(p));
    return f;
  }
  Target t;
  t.node = node;
  t.shown = given;
  for (const SerialPort& p : c.ports)
    if (p.node == node) t.port = &p;
  t.links = stableLinks(c, node);
  c.targets.push_back(t);
  if (!t.port) {
    f.verdict = Verdict::Info;
    f.summary = node.rfind("/dev/pts/", 0) == 0
                    ? "a pseudo-terminal: the USB checks do not apply"
                    : "not a serial port of /sys/class/tty: the USB checks do not apply";
    if (node != given) f.details.push_back("It leads to " + node + ".");
    return f;
  }
  if (isBridge(*t.port)) {
    f.verdict = Verdict::Ok;
    f.summary = "the bridge: " + describePort(*t.port);
  } else if (t.port->usb) {
    f.verdict = Verdict::Warning;
    f.summary = "a USB serial port, but not the bridge: " + describePort(*t.port);
  } else {
    f.verdict = Verdict::Warning;
    f.summary = "a serial port, but not a USB one" +
                (t.port->driver.empty() ? std::string() : " (driver " + t.port->driver + ")");
  }
  return f;
}

// --- Permission ----------------------------------------------------------------------------------

bool hasSeat(const Context& c, std::string* seats) {
  bool seat = false;
  c.tree.forEachLine("/run/systemd/users/" + std::to_string(c.view.identity.uid), kUdevDataLimit,
                     kLineLimit, [&](const std::string& line) {
                       for (const char* key : {"SEATS=", "ACTIVE_SEATS="}) {
                         if (line.rfind(key, 0) != 0) continue;
                         const std::string value = trimmed(line.substr(std::strlen(key)));
                         if (!value.empty()) {
                           seat = true;
                           if (seats && seats->empty()) *seats = value;
                         }
                       }
                     });
  return seat;
}

// Whether `user` is listed in `group` of /etc/group (or has it as primary group in
// /etc/passwd).
bool listedInGroup(const Context& c, const GroupEntry& group) {
  const std::string& user = c.view.identity.user;
  if (user.empty()) return false;
  if (std::find(group.members.begin(), group.members.end(), user) != group.members.end())
    return true;
  const UserEntry* u = findUser(c.users, user);
  return u && u->gid == group.gid;
}

// Why access is denied, and its fix.
void explainDenied(const Context& c, const Target& t, const struct stat& st, Finding& f) {
  const Identity& id = c.view.identity;
  const std::vector<unsigned> session = sessionGroups(id);
  const std::string group = groupLabel(c, st.st_gid);
  // Nobody should join root's group for a serial port.
  const bool groupGrants = ((st.st_mode >> 3) & 6) == 6 && group != "root";
  const bool inSession = std::find(session.begin(), session.end(), st.st_gid) != session.end();
  const GroupEntry* entry = findGroup(c.groups, st.st_gid);
  if (groupGrants && !inSession) {
    if (entry && listedInGroup(c, *entry)) {
      f.details.push_back("You are in the " + group +
                          " group in /etc/group, but this login session began before you were "
                          "added: log out and back in.");
      f.fix.push_back("log out and back in");
      f.fix.push_back("(in this terminal only: newgrp " + group + ")");
    } else {
      f.details.push_back("You are not in the " + group + " group.");
      f.fix.push_back("sudo usermod -aG " + group + " " + userName(c));
      f.fix.push_back("then log out and back in");
    }
  } else if (!groupGrants) {
    f.details.push_back("Its group " + group + " may not read and write it either.");
    f.fix.push_back("sudo chmod 0660 " + t.node +
                    "    (until the next plug; the udev rule makes it last)");
  } else {
    f.details.push_back("You are in the " + group +
                        " group, yet its access list leaves you out (see above).");
  }
}

Finding permissionFinding(const Context& c, const Target& t) {
  Finding f;
  f.title = "Permission to open " + t.shown;
  const auto st = c.tree.status(t.node);
  if (!st) {
    f.verdict = Verdict::Problem;
    f.summary = "the device node " + t.node + " does not exist";
    f.details.push_back("udev makes it when the bridge appears; replug the cable.");
    return f;
  }
  const std::filesystem::path hostNode = c.tree.host(t.node);
  const auto acl = readPosixAcl(hostNode);
  const Identity& id = c.view.identity;
  const Access access = judgeAccess(*st, acl ? &*acl : nullptr, id.uid, sessionGroups(id));
  const std::string owner = userLabel(c, st->st_uid) + ":" + groupLabel(c, st->st_gid);
  const std::string mode = modeString(st->st_mode) + (acl ? "+" : "");
  const std::string belongs = "it belongs to " + owner + " (" + mode + ")";
  const int openError = c.view.tryOpen ? c.view.tryOpen(hostNode) : (access.allowed ? 0 : EACCES);

  if (acl) {
    std::string text = "Access list:";
    for (const AclEntry& e : *acl) {
      std::string name;
      if (e.tag == kAclUser) name = userLabel(c, e.id);
      if (e.tag == kAclGroup) name = groupLabel(c, e.id);
      text += " " + describeAclEntry(e, name);
    }
    f.details.push_back(text);
  }
  if (openError == 0) {
    f.verdict = Verdict::Ok;
    f.summary = "allowed; " + belongs;
    switch (access.by) {
      case Access::By::Root:
        f.details.push_back("You are root.");
        break;
      case Access::By::Owner:
        f.details.push_back("You own it.");
        break;
      case Access::By::AclUser:
        f.details.push_back("Its access list names you (the udev rule's uaccess at your seat).");
        break;
      case Access::By::Group:
      case Access::By::AclGroup:
        f.details.push_back("You are in its group.");
        break;
      case Access::By::Other:
        break;
    }
  } else if (openError == EBUSY) {
    f.verdict = Verdict::Problem;
    f.summary = "in exclusive use: another program has it open; " + belongs;
    f.details.push_back("See which program below, or close the program that talks to it.");
  } else if (openError == EACCES || openError == EPERM) {
    f.verdict = Verdict::Problem;
    f.summary = "denied; " + belongs;
    if (access.allowed)
      f.details.push_back("Its owner, mode and access list allow you, yet the system refused.");
    else
      explainDenied(c, t, *st, f);
  } else {
    f.verdict = Verdict::Problem;
    f.summary = std::string("cannot be opened: ") + std::strerror(openError) + "; " + belongs;
    if (openError == ENXIO || openError == ENODEV || openError == EIO)
      f.details.push_back("The device has gone or does not answer: replug the cable.");
  }
  std::string seats;
  if (access.by == Access::By::Root && openError == 0) {
    // Root needs neither a seat nor a group.
  } else if (hasSeat(c, &seats)) {
    f.details.push_back("You have a local seat (" + seats +
                        "): with the udev rule, its uaccess tag gives you access there.");
  } else {
    f.details.push_back(
        "You have no local seat (a remote or text login): the udev rule's uaccess does not "
        "apply; the group does.");
  }
  return f;
}

// --- ModemManager and brltty ---------------------------------------------------------------------

Finding modemManagerFinding(const Context& c) {
  Finding f;
  f.title = "ModemManager";
  if (c.modemManager.empty()) {
    f.verdict = Verdict::Ok;
    f.summary = "not running";
    return f;
  }
  const std::string pid = "pid " + std::to_string(c.modemManager.front());
  std::vector<std::string> ignored, probed;
  for (const Target& t : c.targets) {
    if (!isUsbTarget(t)) continue;
    const bool ignore = hasLine(udevRecord(c, *t.port), "E:ID_MM_DEVICE_IGNORE=1");
    (ignore ? ignored : probed).push_back(t.shown);
  }
  auto joined = [](const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
  };
  const bool holds = std::any_of(c.holders.processes.begin(), c.holders.processes.end(),
                                 [](const ProcessInfo& p) { return p.comm == kModemManager; });
  if (probed.empty() && !ignored.empty()) {
    f.verdict = Verdict::Ok;
    f.summary = "running (" + pid + "), and told to leave " + joined(ignored) + " alone";
    return f;
  }
  if (probed.empty() && !c.rulesInstalled.empty()) {
    f.verdict = Verdict::Ok;
    f.summary = "running (" + pid + "); the udev rule tells it to leave the bridge alone";
    return f;
  }
  f.verdict = holds ? Verdict::Problem : Verdict::Warning;
  f.summary = "running (" + pid + ") and not told to leave " +
              (probed.empty() ? std::string("the bridge") : joined(probed)) + " alone";
  f.details.push_back(
      "When a port appears it sends modem commands to it and holds it for half a minute.");
  if (c.rulesInstalled.empty())
    f.details.push_back("Install the udev rule (see below), or stop ModemManager:");
  else
    f.fix.push_back(kReloadRules);
  f.fix.push_back(std::string(c.rulesInstalled.empty() ? "" : "or: ") + kModemManagerOff);
  return f;
}

bool dpkgInstalled(const Context& c, const std::string& package) {
  bool installed = false;
  bool inPackage = false;
  c.tree.forEachLine(kDpkgStatus, kDpkgStatusLimit, kLineLimit, [&](const std::string& line) {
    if (line.empty()) {
      inPackage = false;
    } else if (line.rfind("Package:", 0) == 0) {
      inPackage = trimmed(line.substr(8)) == package;
    } else if (inPackage && line.rfind("Status:", 0) == 0) {
      if (trimmed(line.substr(7)) == "install ok installed") installed = true;
    }
  });
  return installed;
}

bool brlttyInstalled(const Context& c) {
  for (const char* file : kBrlttyFiles)
    if (c.tree.exists(file)) return true;
  return dpkgInstalled(c, "brltty");
}

Finding brlttyFinding(const Context& c) {
  Finding f;
  f.title = "brltty";
  const auto running = processesNamed(c.tree, "brltty", c.view.selfPid);
  const bool installed = brlttyInstalled(c) || !running.empty();
  if (!installed) {
    f.verdict = Verdict::Ok;
    f.summary = "not installed";
    return f;
  }
  f.verdict = c.bridgeWithoutPort && !running.empty() ? Verdict::Problem : Verdict::Warning;
  f.summary = running.empty()
                  ? "installed (not running)"
                  : "installed and running (pid " + std::to_string(running.front()) + ")";
  f.details.push_back(
      "It takes some USB serial bridges for braille displays and claims them when they are "
      "plugged in, so that they get no serial port. Unless you use a braille display, remove "
      "it:");
  f.fix.push_back(kBrlttyRemove);
  return f;
}

// --- The udev rule ------------------------------------------------------------------------------

void findRules(Context& c) {
  std::vector<std::string> seen;
  for (const char* folder : kRuleFolders) {
    const std::string path = joinPath(folder, kUdevRuleName);
    const std::string resolved = c.tree.resolve(path);
    if (resolved.empty() || !c.tree.exists(path)) continue;
    if (std::find(seen.begin(), seen.end(), resolved) != seen.end()) continue;
    seen.push_back(resolved);
    c.rulesInstalled.push_back(path);
  }
  c.ruleUnread =
      c.rulesInstalled.empty() && c.tree.exists(joinPath(kUnreadRuleFolder, kUdevRuleName));
}

// The rules of the rule file, without its comments, each continued line joined into one.
std::vector<std::string> ruleLines() {
  std::vector<std::string> rules;
  std::string pending;
  std::size_t from = 0;
  while (from < kRuleFile.size()) {
    std::size_t to = kRuleFile.find('\n', from);
    if (to == std::string_view::npos) to = kRuleFile.size();
    std::string_view line = kRuleFile.substr(from, to - from);
    from = to + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (pending.empty() && (line.empty() || line.front() == '#')) continue;
    const bool continued = !line.empty() && line.back() == '\\';
    if (continued) line.remove_suffix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (!pending.empty() && !line.empty()) pending += ' ';
    pending += line;
    if (!continued) {
      if (!pending.empty()) rules.push_back(pending);
      pending.clear();
    }
  }
  if (!pending.empty()) rules.push_back(pending);
  return rules;
}

// `text` as one shell word.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
  return quoted + "'";
}

std::string ruleWriteCommand() {
  std::string command = "printf '%s\\n'";
  for (const std::string& line : ruleLines()) command += " " + shellQuoted(line);
  return command + " | sudo tee /etc/udev/rules.d/" + kUdevRuleName + " >/dev/null && " +
         kReloadRules;
}

// Whether the rule has been applied to the bridge: udev tagged it or made its link.
bool ruleApplied(const Context& c, const Target& t) {
  const auto record = udevRecord(c, *t.port);
  if (hasLine(record, "G:uaccess") || hasLine(record, "S:" + std::string(kStableLinkPrefix)))
    return true;
  const std::string& serial = t.port->usb->serial;
  return !serial.empty() && c.tree.exists("/dev/" + std::string(kStableLinkPrefix) + serial);
}

Finding ruleFinding(const Context& c) {
  Finding f;
  f.title = "udev rule " + std::string(kUdevRuleName);
  if (c.rulesInstalled.empty()) {
    f.verdict = Verdict::Warning;
    const std::string unread = joinPath(kUnreadRuleFolder, kUdevRuleName);
    if (c.ruleUnread) {
      f.summary = "only in " + std::string(kUnreadRuleFolder) + ", which udev may not read";
      f.details.push_back(
          "Not every udev reads that folder (older systemd, eudev); /etc/udev/rules.d works "
          "with all of them.");
      f.fix.push_back("sudo cp " + unread + " /etc/udev/rules.d/ && " + kReloadRules);
      return f;
    }
    f.summary = "not installed";
    f.details.push_back(
        "It lets you open the bridge from a local seat, names it /dev/" +
        std::string(kStableLinkPrefix) +
        "<serial> whichever port it gets, keeps ModemManager away and sets the latency timer "
        "to 1 ms.");
    f.fix.push_back(ruleWriteCommand());
    return f;
  }
  std::string where;
  for (const std::string& path : c.rulesInstalled) where += (where.empty() ? "" : ", ") + path;
  std::vector<std::string> applied, unapplied;
  for (const Target& t : c.targets) {
    if (!isUsbTarget(t) || !isBridge(*t.port)) continue;
    (ruleApplied(c, t) ? applied : unapplied).push_back(t.shown);
  }
  if (unapplied.empty()) {
    f.verdict = Verdict::Ok;
    f.summary = "installed (" + where + ")";
    for (const std::string& name : applied) f.details.push_back("Applied to " + name + ".");
    return f;
  }
  f.verdict = Verdict::Warning;
  f.summary = "installed (" + where + "), but not applied to " + unapplied.front();
  f.details.push_back(
      "The bridge was plugged in before the rule was installed: replug the cable, or run:");
  f.fix.push_back(kReloadRules);
  return f;
}

// --- The latency timer --------------------------------------------------------------------------

Finding latencyFinding(const Context& c, const Target& t) {
  Finding f;
  f.title = "Latency timer of " + t.shown;
  if (!isUsbTarget(t)) {
    f.verdict = Verdict::Info;
    f.summary = t.port ? "does not apply: not a USB port"
                       : "does not apply: not a USB port (a pseudo-terminal?)";
    return f;
  }
  const auto text = c.tree.read(joinPath(t.port->devicePath, "latency_timer"));
  unsigned ms = 0;
  const std::string value = text ? trimmed(*text) : std::string();
  const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
  if (!text) {
    f.verdict = Verdict::Info;
    f.summary =
        "not found" +
        (t.port->driver.empty() ? std::string() : " (the driver " + t.port->driver + " has none)");
    return f;
  }
  if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() || ms == 0 ||
      ms > kMaxLatencyMs) {
    f.verdict = Verdict::Info;
    f.summary = "reads " + quoted(value.substr(0, 16));
    return f;
  }
  if (ms == 1) {
    f.verdict = Verdict::Ok;
    f.summary = "1 ms";
    return f;
  }
  const unsigned transferMs = ms * kProgramTransferBlocks;
  f.verdict = Verdict::Warning;
  f.summary = std::to_string(ms) + " ms: every acknowledged block waits up to " +
              std::to_string(ms) + " ms longer";
  f.details.push_back("The bridge holds short replies back for its latency time; over the " +
                      std::to_string(kProgramTransferBlocks) +
                      " blocks of a program transfer that is up to " +
                      std::to_string(transferMs / 1000) + "." +
                      std::to_string(transferMs % 1000 / 100) + " s more.");
  f.fix.push_back("echo 1 | sudo tee /sys/bus/usb-serial/devices/" + t.port->name +
                  "/latency_timer");
  f.details.push_back(c.rulesInstalled.empty()
                          ? "That lasts until the next plug; the udev rule sets it at every plug."
                          : "The udev rule sets it at the next plug.");
  return f;
}

// --- Other programs holding the port ------------------------------------------------------------

Finding holdersFinding(const Context& c, const Target& t, const Holders& holders) {
  Finding f;
  f.title = "Other programs using " + t.shown;
  if (holders.processes.empty()) {
    f.verdict = Verdict::Ok;
    f.summary = "none";
    return f;
  }
  if (!t.port && t.node.rfind("/dev/pts/", 0) == 0) {
    // The program serving a pseudo-terminal keeps it open.
    f.verdict = Verdict::Info;
    f.summary = "open in " + plural(holders.processes.size(), "process", "processes") +
                " (the program serving a pseudo-terminal keeps it open)";
    for (const ProcessInfo& p : holders.processes)
      f.details.push_back("pid " + std::to_string(p.pid) + " " + p.comm + ": " + p.cmdline);
    return f;
  }
  f.verdict = Verdict::Problem;
  f.summary = "held open by " + plural(holders.processes.size(), "process", "processes");
  for (const ProcessInfo& p : holders.processes) {
    f.details.push_back("pid " + std::to_string(p.pid) + " " + p.comm + ": " +
                        (p.cmdline.empty() ? "(no command line)" : p.cmdline));
    const bool mine = p.uid == c.view.identity.uid || c.view.identity.uid == 0;
    if (p.comm == kModemManager) {
      f.fix.push_back(kModemManagerOff);
    } else {
      f.fix.push_back(std::string(mine ? "" : "sudo ") + "kill " + std::to_string(p.pid) +
                      "    (or close " + (p.comm.empty() ? "that program" : p.comm) + ")");
    }
  }
  return f;
}

void lockFindings(const Context& c, const Target& t, std::vector<Finding>& findings) {
  const std::string name = baseName(t.node);
  for (const LockFile& lock : findLockFiles(c.tree, name)) {
    if (lock.pid != 0 && lock.pid == c.view.selfPid) continue;
    Finding f;
    f.title = "Lock file " + lock.path;
    if (lock.pid == 0) {
      f.verdict = Verdict::Warning;
      f.summary = "names no process";
      f.fix.push_back("sudo rm " + lock.path);
    } else if (lock.stale) {
      f.verdict = Verdict::Warning;
      f.summary = "stale: process " + std::to_string(lock.pid) + " no longer runs";
      f.fix.push_back("sudo rm " + lock.path);
    } else {
      f.verdict = Verdict::Problem;
      f.summary = "held by pid " + std::to_string(lock.pid) +
                  (lock.comm.empty() ? std::string() : " (" + lock.comm + ")");
      f.fix.push_back("kill " + std::to_string(lock.pid) + "    (or close " +
                      (lock.comm.empty() ? "that program" : lock.comm) + ")");
    }
    findings.push_back(std::move(f));
  }
}

const char* tag(Verdict v) {
  switch (v) {
    case Verdict::Ok:
      return "[ ok ]";
    case Verdict::Warning:
      return "[warn]";
    case Verdict::Problem:
      return "[FAIL]";
    case Verdict::Info:
      break;
  }
  return "[info]";
}

// `text` in plain ASCII: other bytes as \xNN.
std::string ascii(const std::string& text) {
  std::string out;
  for (unsigned char ch : text) {
    if (ch >= 0x20 && ch < 0x7F) {
      out += static_cast<char>(ch);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  return out;
}

}  // namespace

SystemView liveSystem(std::string port, std::string lastBridge) {
  SystemView view;
  view.root = "/";
  view.port = std::move(port);
  view.lastBridge = std::move(lastBridge);
  view.selfPid = static_cast<int>(::getpid());
  view.identity.uid = ::getuid();
  view.identity.gid = ::getgid();
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int n = 0; n < got; ++n) view.identity.groups.push_back(groups[n]);
  }
  if (const passwd* pw = ::getpwuid(view.identity.uid)) view.identity.user = pw->pw_name;
  view.tryOpen = [](const std::filesystem::path& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
  };
  return view;
}

std::vector<Finding> examine(const SystemView& system) {
  Context c(system);
  c.ports = findSerialPorts(c.tree);
  c.stableLinks = findStableLinks("/dev", c.files);
  c.groups = readGroups(c.tree);
  c.users = readUsers(c.tree);
  c.modemManager = processesNamed(c.tree, kModemManager, system.selfPid);
  findRules(c);

  std::vector<Finding> findings;
  findings.push_back(portsFinding(c));
  findings.push_back(system.port.empty() ? bridgeFinding(c) : namedPortFinding(c));

  // The programs holding each target, found once: several checks tell of them.
  std::vector<Holders> holders;
  for (const Target& t : c.targets) {
    std::vector<std::string> nodes{t.node};
    if (t.shown != t.node) nodes.push_back(t.shown);
    nodes.insert(nodes.end(), t.links.begin(), t.links.end());
    holders.push_back(findHolders(c.tree, nodes, system.selfPid));
    c.holders.unreadable = std::max(c.holders.unreadable, holders.back().unreadable);
    c.holders.processes.insert(c.holders.processes.end(), holders.back().processes.begin(),
                               holders.back().processes.end());
  }

  for (const Target& t : c.targets) findings.push_back(permissionFinding(c, t));
  findings.push_back(modemManagerFinding(c));
  findings.push_back(brlttyFinding(c));
  findings.push_back(ruleFinding(c));
  for (const Target& t : c.targets) findings.push_back(latencyFinding(c, t));
  for (std::size_t n = 0; n < c.targets.size(); ++n) {
    findings.push_back(holdersFinding(c, c.targets[n], holders[n]));
    lockFindings(c, c.targets[n], findings);
  }
  if (c.holders.unreadable > 0) {
    Finding f;
    f.verdict = Verdict::Info;
    f.title = "Processes not examined";
    f.summary = plural(static_cast<std::size_t>(c.holders.unreadable), "process", "processes") +
                " of other users; run with sudo to see them";
    findings.push_back(std::move(f));
  }
  return findings;
}

std::string formatReport(const std::vector<Finding>& findings) {
  constexpr const char* kMargin = "       ";
  constexpr const char* kFixMargin = "             ";
  std::string out = "Connection doctor: the instrument's USB bridge " +
                    quoted(std::string(wire::kUsbDescription)) + "\n";
  std::size_t problems = 0;
  std::size_t warnings = 0;
  for (const Finding& f : findings) {
    problems += f.verdict == Verdict::Problem;
    warnings += f.verdict == Verdict::Warning;
    out += std::string(tag(f.verdict)) + " " + ascii(f.title);
    if (!f.summary.empty()) out += ": " + ascii(f.summary);
    out += "\n";
    for (const std::string& line : f.details) out += kMargin + ascii(line) + "\n";
    for (std::size_t n = 0; n < f.fix.size(); ++n)
      out += (n == 0 ? std::string(kMargin) + "Fix:  " : std::string(kFixMargin)) +
             ascii(f.fix[n]) + "\n";
  }
  out += problems == 0 ? std::string("No problems found")
                       : plural(problems, "problem", "problems") + " found";
  if (warnings > 0) out += "; " + plural(warnings, "warning", "warnings");
  return out + ".\n";
}

bool anyProblem(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.verdict == Verdict::Problem; });
}

}  // namespace halvern::doctor
