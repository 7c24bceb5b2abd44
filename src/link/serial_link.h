#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/link.h"

class QSerialPort;

namespace halvern {

// One serial port as the enumeration sees it.
struct SerialPortEntry {
  std::string device;       // "/dev/ttyUSB0"
  std::string description;  // the USB product description, when it has one
  bool isInstrument = false;
};

// The instrument's bridge through Qt SerialPort: found among the serial ports by its USB
// description "ZELKA 40100 USB", or a device named by path (a pseudo-terminal too). Reads wait
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

  // The device of the open port, or the one last tried.
  const std::string& devicePath() const { return m_openedPath; }
  // Called once when the open port reports its device gone.
  void setOnDeviceLost(std::function<void()> callback) { m_onDeviceLost = std::move(callback); }

  // Every serial port with its USB description; the instrument's bridge marked.
  static std::vector<SerialPortEntry> enumeratePorts();

 private:
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
};

}  // namespace halvern
