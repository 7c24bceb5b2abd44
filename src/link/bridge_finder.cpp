#include "link/bridge_finder.h"

#include <algorithm>
#include <system_error>

#include "wire/wire.h"

namespace halvern {

namespace {

namespace fs = std::filesystem;

// The same device for two names of it: their resolved paths, or the names themselves when a path
// does not resolve (a port that has just gone).
std::string resolved(const std::string& path) {
  std::error_code error;
  fs::path real = fs::canonical(path, error);
  return error ? path : real.string();
}

}  // namespace

std::vector<StableLink> findStableLinks(const fs::path& devFolder) {
  std::vector<StableLink> links;
  std::error_code error;
  fs::directory_iterator it(devFolder, error);
  if (error) return links;
  const std::string prefix(wire::kStableLinkPrefix);
  // /dev holds a few hundred entries; the bound only keeps an odd folder from holding us.
  constexpr int kMostEntries = 100000;
  int seen = 0;
  for (const fs::directory_entry& entry : it) {
    if (++seen > kMostEntries) break;
    const std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code linkError;
    if (!entry.is_symlink(linkError) || linkError) continue;
    fs::path target = fs::canonical(entry.path(), linkError);
    if (linkError) continue;  // a link left behind by a bridge that is gone
    links.push_back({entry.path().string(), name.substr(prefix.size()), target.string()});
  }
  std::sort(links.begin(), links.end(),
            [](const StableLink& a, const StableLink& b) { return a.path < b.path; });
  return links;
}

std::vector<Bridge> findBridges(const std::vector<SerialPortEntry>& ports,
                                const std::vector<StableLink>& links) {
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
