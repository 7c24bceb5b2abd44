#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/bridge_finder.h"
#include "platform/clock.h"
#include "platform/link.h"

class QSerialPort;

namespace halvern {

// The instrument's bridge through Qt SerialPort: found among the serial ports by its USB
// description "ZELKA 40100 USB" or by the stable link the udev rule makes for it, or a device named
// by path (a pseudo-terminal too). With several bridges attached, the one used last is kept while
// it stays attached; otherwise the chooser picks one, and without a chooser the open fails and
// names them. Reads wait
// with the port's own notification, never longer than the 250 ms read time-out; a device that
// vanishes closes the link, so later reads and writes fail at once.
class SerialLink final : public Link {
 public:
  // `devicePath` empty: find the bridge by its USB description.
  SerialLink(Clock& clock, std::string devicePath = {});
  ~SerialLink() override;

  bool open() override;
  bool isOpen() const override;
  std::size_t read(std::uint8_t* buffer, std::size_t n) override;
  // Qt's receive buffer and what the driver holds (FIONREAD); nothing is read or waited for.
  std::size_t available() override;
  std::size_t write(const std::uint8_t* buffer, std::size_t n) override;
  using Link::write;
  void purge() override;
  void cyclePort() override;
  void close() override;
  std::string lastError() const override { return m_lastError; }
  std::optional<bool> lowLatency() const override { return m_lowLatency; }
  std::optional<BridgeReport> bridgeReport() const override;

  // Where the stable links are looked for; /dev unless a test says otherwise.
  void setDeviceFolder(std::string folder) { m_deviceFolder = std::move(folder); }
  // Picks one of several bridges, or none (the open fails).
  void setBridgeChooser(BridgeChooser chooser) { m_chooser = std::move(chooser); }

  // The device of the open port, or the one last tried.
  const std::string& devicePath() const { return m_openedPath; }
  // The device named when the link was made; empty when the bridge is looked for.
  const std::string& namedDevice() const { return m_devicePath; }
  // How many bridges the last open found (0 when a device was named), and the one it took.
  std::size_t bridgesFound() const { return m_bridgesFound; }
  const std::optional<Bridge>& bridgeInUse() const { return m_bridgeInUse; }
  // The serial number of the bridge used last, kept to among several while it stays attached.
  const std::string& lastBridgeSerial() const { return m_lastSerial; }
  // Called once when the open port reports its device gone.
  void setOnDeviceLost(std::function<void()> callback) { m_onDeviceLost = std::move(callback); }

  // Every serial port with its USB description; the instrument's bridge marked.
  static std::vector<SerialPortEntry> enumeratePorts();

 private:
  // The port of the bridge to open, or empty with the reason in m_lastError.
  std::string chooseBridge();
  // True when the open port reports its device gone (hang-up, resource error).
  bool deviceGone() const;
  void deviceLost();

  Clock& m_clock;
  std::string m_devicePath;
  std::string m_openedPath;
  std::string m_lastError;
  std::optional<bool> m_lowLatency;
  std::unique_ptr<QSerialPort> m_port;
  std::function<void()> m_onDeviceLost;
  BridgeChooser m_chooser;
  std::string m_deviceFolder = "/dev";
  std::size_t m_bridgesFound = 0;
  std::optional<Bridge> m_bridgeInUse;
  std::string m_lastSerial;
};

}  // namespace halvern
