#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvern::doctor {

class SystemTree;

// A USB device as sysfs shows it.
struct UsbDevice {
  std::string path;          // its folder, links resolved: "/sys/devices/pci0000:00/.../usb1/1-2"
  std::string busId;         // "1-2"
  std::string vendorId;      // "0403"
  std::string productId;     // "6001"
  std::string product;       // "ZELKA 40100 USB"
  std::string manufacturer;  // "FTDI"
  std::string serial;        // "A1B2C3D4"
};

// A serial port with hardware behind it: an entry of /sys/class/tty with a device link.
struct SerialPort {
  std::string name;        // "ttyUSB0"
  std::string node;        // "/dev/ttyUSB0"
  std::string devicePath;  // its device folder, links resolved (the usb-serial port of a bridge)
  std::string driver;      // the device's driver: "ftdi_sio", "cdc_acm", "serial8250"; or empty
  std::string devNumber;   // "188:0", the major and minor numbers of its node; or empty
  std::optional<UsbDevice> usb;
};

// Serial ports listed at most, and folders walked up from a port to its USB device.
inline constexpr std::size_t kMaxSerialPorts = 1024;
inline constexpr int kMaxUsbDepth = 12;

// The serial ports of /sys/class/tty in name order, without ttyS* ports of type 0 (no hardware).
std::vector<SerialPort> findSerialPorts(const SystemTree& tree);
// The USB devices of /sys/bus/usb/devices (interfaces left out).
std::vector<UsbDevice> findUsbDevices(const SystemTree& tree);
// The USB device whose folder is `path`; nothing when it holds no idVendor.
std::optional<UsbDevice> readUsbDevice(const SystemTree& tree, const std::string& path);
// The USB device at or above the folder `path`; nothing when there is none.
std::optional<UsbDevice> usbDeviceAbove(const SystemTree& tree, const std::string& path);

// Whether the device is the instrument's bridge, by its USB product string.
bool isBridge(const UsbDevice& device);
bool isBridge(const SerialPort& port);

// `/dev/ttyUSB0  0403:6001 "ZELKA 40100 USB" serial A1B2C3D4`, `/dev/ttyS0  not USB (driver
// serial8250)`.
std::string describePort(const SerialPort& port);
// `0403:6001 "ZELKA 40100 USB" serial A1B2C3D4`.
std::string describeUsb(const UsbDevice& device);

}  // namespace halvern::doctor
