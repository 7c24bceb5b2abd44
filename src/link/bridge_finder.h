#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halvern {

// One serial port as the enumeration sees it.
struct SerialPortEntry {
  std::string device;        // "/dev/ttyUSB0"
  std::string description;   // the USB product description, when it has one
  std::string serialNumber;  // the USB serial number, when it has one
  bool isInstrument = false;
};

// A stable link the udev rule makes for a bridge: /dev/zelka40100-<serial>.
struct StableLink {
  std::string path;    // "/dev/zelka40100-A1B2C3D4"
  std::string serial;  // "A1B2C3D4"
  std::string device;  // what it points at, "/dev/ttyUSB0"
};

// One attached instrument bridge.
struct Bridge {
  std::string device;        // the port to open
  std::string serialNumber;  // empty when neither the port nor a link tells it
  std::string stableLink;    // empty when the udev rule made none
};

// How the device files are seen: the running system's, or a copy of one under another folder
// (the connection doctor's system tree).
struct DeviceFiles {
  // The names in a folder, in any order.
  std::function<std::vector<std::string>(const std::string& folder)> list;
  // Whether the path is itself a symbolic link.
  std::function<bool(const std::string& path)> isLink;
  // Where the path leads, every link followed; empty when it leads to nothing.
  std::function<std::string(const std::string& path)> resolve;
};

// The running system's device files.
const DeviceFiles& systemDeviceFiles();

// The stable links in `devFolder` whose target exists, sorted by name.
std::vector<StableLink> findStableLinks(const std::filesystem::path& devFolder = "/dev",
                                        const DeviceFiles& files = systemDeviceFiles());

// The bridges: first the ports that carry the instrument's USB description, then the stable links
// that point at a port not yet counted. A link to a counted port lends it its serial number.
std::vector<Bridge> findBridges(const std::vector<SerialPortEntry>& ports,
                                const std::vector<StableLink>& links,
                                const DeviceFiles& files = systemDeviceFiles());

// "A1B2C3D4 on /dev/ttyUSB0", or the port alone when the serial number is unknown.
std::string bridgeLabel(const Bridge& bridge);

// Picks one of several bridges, or none.
using BridgeChooser = std::function<std::optional<std::size_t>(const std::vector<Bridge>&)>;

// The bridge to open, or none with the reason.
struct BridgePick {
  std::optional<std::size_t> index;
  std::string problem;
};

// One bridge is taken. Among several, the one last used (by its serial number) while it is still
// attached, else the chooser's pick; without a chooser, none, the problem naming them all.
BridgePick pickBridge(const std::vector<Bridge>& bridges, const std::string& lastSerial,
                      const BridgeChooser& chooser);

}  // namespace halvern
