#pragma once

// A fake Linux system under a folder: the /sys, /proc, /dev, /etc and /run files the connection
// doctor reads, with links whose absolute targets point inside the tree, as sysfs has them on a
// real system. FakeTree builds under a given folder (the fuzzing harness's too); FakeSystem
// under a test folder of its own.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace halvern::test {

class FakeTree {
 public:
  // A USB serial port and the USB device above it.
  struct UsbPort {
    std::string name = "ttyUSB0";
    std::string busId = "1-2";
    std::string vendorId = "0403";
    std::string productId = "6001";
    std::string product = "ZELKA 40100 USB";
    std::string serial = "A1B2C3D4";
    std::string dev = "188:0";
    std::string latency = "1";        // empty: no latency_timer file
    std::string driver = "ftdi_sio";  // of the usb-serial port
    std::string interfaceDriver = "ftdi_sio";
  };

  explicit FakeTree(std::filesystem::path root) : m_root(std::move(root)) {}

  const std::filesystem::path& root() const { return m_root; }
  std::filesystem::path at(const std::string& path) const {
    return root() / std::filesystem::path(path).relative_path();
  }

  void write(const std::string& path, const std::string& bytes, unsigned mode = 0644) const {
    std::filesystem::create_directories(at(path).parent_path());
    std::ofstream(at(path), std::ios::binary | std::ios::trunc) << bytes;
    std::filesystem::permissions(at(path), static_cast<std::filesystem::perms>(mode));
  }
  // A link at `path` to `target`, written as given ("/sys/devices/..." or "../../x").
  void link(const std::string& path, const std::string& target) const {
    std::filesystem::create_directories(at(path).parent_path());
    std::error_code ignored;
    std::filesystem::remove(at(path), ignored);
    std::filesystem::create_symlink(target, at(path));
  }
  void folder(const std::string& path) const { std::filesystem::create_directories(at(path)); }

  static std::string usbPath(const std::string& busId) {
    return "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + busId;
  }

  // A USB device alone, no driver bound to its interface.
  void addUsbDevice(const UsbPort& p) const {
    const std::string usb = usbPath(p.busId);
    write(usb + "/idVendor", p.vendorId + "\n");
    write(usb + "/idProduct", p.productId + "\n");
    write(usb + "/product", p.product + "\n");
    write(usb + "/manufacturer", "FTDI\n");
    if (!p.serial.empty()) write(usb + "/serial", p.serial + "\n");
    folder(usb + "/" + p.busId + ":1.0");
    link("/sys/bus/usb/devices/" + p.busId, usb);
    link("/sys/bus/usb/devices/" + p.busId + ":1.0", usb + "/" + p.busId + ":1.0");
  }

  // A bridge as the ftdi_sio driver shows it: interface, usb-serial port, tty, node 0660.
  void addUsbSerial(const UsbPort& p) const {
    addUsbDevice(p);
    const std::string iface = usbPath(p.busId) + "/" + p.busId + ":1.0";
    link(iface + "/driver", "/sys/bus/usb/drivers/" + p.interfaceDriver);
    folder("/sys/bus/usb/drivers/" + p.interfaceDriver);
    const std::string port = iface + "/" + p.name;
    if (!p.latency.empty()) write(port + "/latency_timer", p.latency + "\n");
    folder("/sys/bus/usb-serial/drivers/" + p.driver);
    link(port + "/driver", "../../../../../../../bus/usb-serial/drivers/" + p.driver);
    link("/sys/bus/usb-serial/devices/" + p.name, port);
    addTty(p.name, port + "/tty/" + p.name, "../../../" + p.name, p.dev);
  }

  // A CDC ACM port (a development board), its device link to the USB interface.
  void addAcm(const std::string& name, const std::string& busId, const std::string& product) const {
    const std::string usb = usbPath(busId);
    write(usb + "/idVendor", "2341\n");
    write(usb + "/idProduct", "0043\n");
    write(usb + "/product", product + "\n");
    write(usb + "/serial", "7573530323\n");
    const std::string iface = usb + "/" + busId + ":1.0";
    folder("/sys/bus/usb/drivers/cdc_acm");
    link(iface + "/driver", "/sys/bus/usb/drivers/cdc_acm");
    link("/sys/bus/usb/devices/" + busId, usb);
    addTty(name, iface + "/tty/" + name, "../../../" + busId + ":1.0", "166:0");
  }

  // A built-in 8250 port; type 0 has no UART behind it.
  void addBuiltin(const std::string& name, const std::string& type) const {
    const std::string device = "/sys/devices/platform/serial8250";
    folder("/sys/bus/platform/drivers/serial8250");
    link(device + "/driver", "../../../bus/platform/drivers/serial8250");
    addTty(name, device + "/tty/" + name, "../../../serial8250", "4:64");
    write(device + "/tty/" + name + "/type", type + "\n");
  }

  // The tty folder at `ttyPath`, its class entry (a relative link, as sysfs makes them), its
  // `device` link and its node in /dev.
  void addTty(const std::string& name, const std::string& ttyPath, const std::string& device,
              const std::string& dev) const {
    write(ttyPath + "/dev", dev + "\n");
    link(ttyPath + "/device", device);
    link("/sys/class/tty/" + name, "../.." + ttyPath.substr(4));
    write("/dev/" + name, "", 0660);
  }

  // A process with its comm, NUL-separated arguments and descriptors linking to `fds`.
  void addProcess(int pid, const std::string& comm, const std::vector<std::string>& args,
                  const std::vector<std::string>& fds = {}) const {
    const std::string dir = "/proc/" + std::to_string(pid);
    write(dir + "/comm", comm + "\n");
    std::string cmdline;
    for (const std::string& a : args) cmdline += a + '\0';
    write(dir + "/cmdline", cmdline);
    folder(dir + "/fd");
    link(dir + "/fd/0", "/dev/null");
    for (std::size_t n = 0; n < fds.size(); ++n) link(dir + "/fd/" + std::to_string(n + 3), fds[n]);
  }

 private:
  std::filesystem::path m_root;
};

}  // namespace halvern::test
