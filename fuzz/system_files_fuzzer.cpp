// The connection doctor over a system whose files say anything: the input is cut at each 0x1E
// byte into the contents of the files it reads (accounts, a process's name and arguments, the
// udev database, the bridge's USB strings, its latency timer, a lock file, the seat file), and
// the whole input is also read as a POSIX access list. Nothing may crash, and the report stays
// plain printable ASCII lines however odd the files, so a USB string cannot steer a terminal.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "doctor/connection_doctor.h"
#include "doctor/device_access.h"
#include "doctor/fake_tree.h"
#include "fuzz_support.h"

namespace {

using namespace halvern;

constexpr const char* kFiles[] = {
    "/etc/group",
    "/etc/passwd",
    "/proc/4242/comm",
    "/proc/4242/cmdline",
    "/run/udev/data/c188:0",
    "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/product",
    "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/serial",
    "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/idVendor",
    "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/latency_timer",
    "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0/dev",
    "/var/lock/LCK..ttyUSB0",
    "/run/systemd/users/1000",
    "/proc/4243/comm",
};

const test::FakeTree& tree() {
  static const test::FakeTree fake = [] {
    test::FakeTree t(std::filesystem::temp_directory_path() /
                     ("halvern_doctor_fuzz_" + std::to_string(getpid())));
    std::filesystem::remove_all(t.root());
    t.addUsbSerial({});
    t.addBuiltin("ttyS0", "0");
    t.addProcess(4242, "minicom", {"minicom"}, {"/dev/ttyUSB0"});
    t.addProcess(4243, "ModemManager", {"/usr/sbin/ModemManager"});
    t.write("/usr/bin/brltty", "");
    return t;
  }();
  return fake;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::bytesOf(data, size);
  if (const auto acl = doctor::parsePosixAcl(bytes)) {
    for (const doctor::AclEntry& entry : *acl) (void)doctor::describeAclEntry(entry, "x");
  }

  std::size_t from = 0;
  for (const char* file : kFiles) {
    const std::size_t to = std::min(bytes.find('\x1e', from), bytes.size());
    tree().write(file, std::string(bytes.substr(std::min(from, bytes.size()),
                                                to - std::min(from, bytes.size()))));
    from = to + 1;
  }

  doctor::SystemView view;
  view.root = tree().root();
  view.identity = {1000, 1000, {1000}, "alice"};
  view.selfPid = 1;
  const std::string report = doctor::formatReport(doctor::examine(view));
  FUZZ_REQUIRE(!report.empty() && report.back() == '\n');
  for (char c : report) FUZZ_REQUIRE(c == '\n' || (c >= 0x20 && c < 0x7F));
  return 0;
}
