#include "link/bridge_finder.h"

#include <algorithm>
#include <system_error>

#include "wire/wire.h"

namespace halvern {

namespace {

namespace fs = std::filesystem;

// /dev holds a few hundred entries; the bound only keeps an odd folder from holding us.
constexpr std::size_t kMostEntries = 100000;

std::vector<std::string> listOnDisk(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return names;
  for (const fs::directory_entry& entry : it) {
    if (names.size() >= kMostEntries) break;
    names.push_back(entry.path().filename().string());
  }
  return names;
}

bool isLinkOnDisk(const std::string& path) {
  std::error_code error;
  return fs::is_symlink(path, error) && !error;
}

std::string resolveOnDisk(const std::string& path) {
  std::error_code error;
  fs::path real = fs::canonical(path, error);
  return error ? std::string() : real.string();
}

}  // namespace

const DeviceFiles& systemDeviceFiles() {
  static const DeviceFiles files{listOnDisk, isLinkOnDisk, resolveOnDisk};
  return files;
}

std::vector<StableLink> findStableLinks(const fs::path& devFolder, const DeviceFiles& files) {
  std::vector<StableLink> links;
  const std::string prefix(wire::kStableLinkPrefix);
  const std::string folder = devFolder.string();
  for (const std::string& name : files.list(folder)) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = (devFolder / name).string();
    if (!files.isLink(path)) continue;
    const std::string target = files.resolve(path);
    if (target.empty()) continue;  // a link left behind by a bridge that is gone
    links.push_back({path, name.substr(prefix.size()), target});
  }
  std::sort(links.begin(), links.end(),
            [](const StableLink& a, const StableLink& b) { return a.path < b.path; });
  return links;
}

std::vector<Bridge> findBridges(const std::vector<SerialPortEntry>& ports,
                                const std::vector<StableLink>& links, const DeviceFiles& files) {
  // The same device for two names of it: their resolved paths, or the names themselves when a
  // path does not resolve (a port that has just gone).
  auto resolved = [&files](const std::string& path) {
    std::string real = files.resolve(path);
    return real.empty() ? path : real;
  };
  std::vector<Bridge> bridges;
  std::vector<std::string> devices;  // resolved, beside `bridges`
  for (const SerialPortEntry& port : ports) {
    if (!port.isInstrument) continue;
    const std::string real = resolved(port.device);
    if (std::find(devices.begin(), devices.end(), real) != devices.end()) continue;
    bridges.push_back({port.device, port.serialNumber, {}});
    devices.push_back(real);
  }
  for (const StableLink& link : links) {
    const std::string real = resolved(link.device);
    auto known = std::find(devices.begin(), devices.end(), real);
    if (known != devices.end()) {
      Bridge& bridge = bridges[static_cast<std::size_t>(known - devices.begin())];
      if (bridge.serialNumber.empty()) bridge.serialNumber = link.serial;
      if (bridge.stableLink.empty()) bridge.stableLink = link.path;
      continue;
    }
    bridges.push_back({link.device, link.serial, link.path});
    devices.push_back(real);
  }
  return bridges;
}

std::string bridgeLabel(const Bridge& bridge) {
  if (bridge.serialNumber.empty()) return bridge.device;
  return bridge.serialNumber + " on " + bridge.device;
}

BridgePick pickBridge(const std::vector<Bridge>& bridges, const std::string& lastSerial,
                      const BridgeChooser& chooser) {
  if (bridges.empty()) {
    return {std::nullopt, "no serial port with the USB description \"" +
                              std::string(wire::kUsbDescription) + "\" and no /dev/" +
                              std::string(wire::kStableLinkPrefix) + "* link"};
  }
  if (bridges.size() == 1) return {0, {}};
  if (!lastSerial.empty()) {
    for (std::size_t i = 0; i < bridges.size(); ++i)
      if (bridges[i].serialNumber == lastSerial) return {i, {}};
  }
  if (chooser) {
    const std::optional<std::size_t> picked = chooser(bridges);
    if (picked && *picked < bridges.size()) return {picked, {}};
    return {std::nullopt, "no bridge was chosen"};
  }
  std::string names;
  for (const Bridge& bridge : bridges) names += (names.empty() ? "" : ", ") + bridgeLabel(bridge);
  return {std::nullopt, std::to_string(bridges.size()) + " bridges are attached (" + names +
                            "); name one with --port"};
}

}  // namespace halvern
