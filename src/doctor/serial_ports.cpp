#include "doctor/serial_ports.h"

#include "doctor/system_tree.h"
#include "wire/wire.h"

namespace halvern::doctor {

namespace {

constexpr const char* kTtyClass = "/sys/class/tty";
constexpr const char* kUsbDevices = "/sys/bus/usb/devices";

}  // namespace

std::optional<UsbDevice> readUsbDevice(const SystemTree& tree, const std::string& path) {
  if (!tree.exists(joinPath(path, "idVendor"))) return std::nullopt;
  UsbDevice d;
  d.path = path;
  d.busId = baseName(path);
  d.vendorId = tree.attribute(joinPath(path, "idVendor"));
  d.productId = tree.attribute(joinPath(path, "idProduct"));
  d.product = tree.attribute(joinPath(path, "product"));
  d.manufacturer = tree.attribute(joinPath(path, "manufacturer"));
  d.serial = tree.attribute(joinPath(path, "serial"));
  return d;
}

std::optional<UsbDevice> usbDeviceAbove(const SystemTree& tree, const std::string& path) {
  std::string dir = path;
  for (int depth = 0; depth < kMaxUsbDepth && dir != "/" && dir != "/sys/devices"; ++depth) {
    if (auto d = readUsbDevice(tree, dir)) return d;
    dir = parentPath(dir);
  }
  return std::nullopt;
}

std::vector<SerialPort> findSerialPorts(const SystemTree& tree) {
  std::vector<SerialPort> ports;
  for (const std::string& name : tree.list(kTtyClass)) {
    if (ports.size() >= kMaxSerialPorts) break;
    const std::string entry = joinPath(kTtyClass, name);
    const std::string device = tree.resolve(joinPath(entry, "device"));
    if (device.empty() || !tree.isDirectory(device)) continue;
    // The 8250 driver registers ports whether or not a UART answers; type 0 has none.
    if (name.rfind("ttyS", 0) == 0 && tree.attribute(joinPath(entry, "type")) == "0") continue;
    SerialPort p;
    p.name = name;
    p.node = "/dev/" + name;
    p.devicePath = device;
    if (const std::string driver = tree.resolve(joinPath(device, "driver"));
        !driver.empty() && tree.isDirectory(driver))
      p.driver = baseName(driver);
    p.devNumber = tree.attribute(joinPath(entry, "dev"));
    p.usb = usbDeviceAbove(tree, device);
    ports.push_back(std::move(p));
  }
  return ports;
}

std::vector<UsbDevice> findUsbDevices(const SystemTree& tree) {
  std::vector<UsbDevice> devices;
  for (const std::string& name : tree.list(kUsbDevices)) {
    if (devices.size() >= kMaxSerialPorts) break;
    if (name.find(':') != std::string::npos) continue;  // an interface: "1-2:1.0"
    const std::string path = tree.resolve(joinPath(kUsbDevices, name));
    if (path.empty()) continue;
    if (auto d = readUsbDevice(tree, path)) devices.push_back(std::move(*d));
  }
  return devices;
}

bool isBridge(const UsbDevice& device) { return device.product == wire::kUsbDescription; }

bool isBridge(const SerialPort& port) { return port.usb && isBridge(*port.usb); }

std::string describeUsb(const UsbDevice& d) {
  std::string text = d.vendorId + ":" + d.productId;
  if (!d.product.empty())
    text += " \"" + d.product + "\"";
  else if (!d.manufacturer.empty())
    text += " (" + d.manufacturer + ")";
  if (!d.serial.empty()) text += " serial " + d.serial;
  return text;
}

std::string describePort(const SerialPort& port) {
  std::string text = port.node + "  ";
  if (port.usb) return text + describeUsb(*port.usb);
  text += "not USB";
  if (!port.driver.empty()) text += " (driver " + port.driver + ")";
  return text;
}

}  // namespace halvern::doctor
