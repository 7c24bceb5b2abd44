#include "link/serial_link.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "wire/wire.h"

#ifdef __linux__
#include <fcntl.h>
#include <linux/serial.h>
#include <linux/usbdevice_fs.h>
#endif

namespace halvern {

namespace {

// Asks the driver to pass received bytes on at once (a USB bridge otherwise holds a partly
// filled packet for its latency timer, 16 ms by default). Nothing when the device has no serial
// driver to ask (a pseudo-terminal); false when the driver refused.
std::optional<bool> requestLowLatency(int fd) {
  serial_struct serial{};
  if (fd < 0 || ::ioctl(fd, TIOCGSERIAL, &serial) != 0) return std::nullopt;
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return true;
  serial.flags |= ASYNC_LOW_LATENCY;
  return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

// Time allowed for the operating system to take a write, on top of the bytes' own time on the
// wire; a write that does not get out by then is dropped.
constexpr milliseconds kWriteSlack{500};
// At most this much is drained from the receive side in one purge, so that a device that never
// stops sending cannot hold the purge.
constexpr std::size_t kPurgeDrainLimit = 64 * 1024;

int ceilMs(Clock::Duration d) {
  const auto ms = std::chrono::ceil<milliseconds>(d).count();
  return static_cast<int>(std::clamp<long long>(ms, 0, 60'000));
}

// Qt's socket notifiers complain on every use in a thread without an event loop. The port works
// without them (every wait here is a blocking one), so the complaint is dropped while the port is
// driven from such a thread; every other message goes to the handler that was installed before.
constexpr const char* kNotifierComplaint = "QSocketNotifier: Can only be used with threads";
std::atomic<QtMessageHandler> g_forwardHandler{nullptr};

void filterNotifierComplaints(QtMsgType type, const QMessageLogContext& context,
                              const QString& text) {
  if (text.startsWith(QLatin1String(kNotifierComplaint))) return;
  if (QtMessageHandler forward = g_forwardHandler.load()) {
    forward(type, context, text);
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

class QuietNotifiers {
 public:
  QuietNotifiers() {
    if (QAbstractEventDispatcher::instance() != nullptr) return;
    m_previous = qInstallMessageHandler(filterNotifierComplaints);
    m_installed = true;
    if (m_previous != filterNotifierComplaints) g_forwardHandler.store(m_previous);
  }
  ~QuietNotifiers() {
    if (m_installed) qInstallMessageHandler(m_previous);
  }
  QuietNotifiers(const QuietNotifiers&) = delete;
  QuietNotifiers& operator=(const QuietNotifiers&) = delete;

 private:
  QtMessageHandler m_previous = nullptr;
  bool m_installed = false;
};

std::string toStd(const QString& s) { return s.toLocal8Bit().toStdString(); }

#ifdef __linux__
std::optional<int> readNumber(const std::filesystem::path& file) {
  std::ifstream in(file);
  int value = 0;
  if (in >> value) return value;
  return std::nullopt;
}

// The usbfs node (/dev/bus/usb/BBB/DDD) of the USB device a tty belongs to, found by walking up
// from the tty's device in sysfs to the first directory with a bus and device number. None for a
// tty that is not on USB, a pseudo-terminal among them.
std::optional<std::string> usbDeviceNode(const std::string& ttyPath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path tty = fs::canonical(ttyPath, ec);
  if (ec || tty.parent_path() != "/dev") return std::nullopt;
  fs::path dir = fs::canonical(fs::path("/sys/class/tty") / tty.filename() / "device", ec);
  if (ec) return std::nullopt;
  for (; dir.has_relative_path() && dir != "/sys/devices"; dir = dir.parent_path()) {
    const auto bus = readNumber(dir / "busnum");
    const auto device = readNumber(dir / "devnum");
    if (bus && device) {
      char node[32];
      std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", *bus, *device);
      return std::string(node);
    }
  }
  return std::nullopt;
}
#endif

}  // namespace

SerialLink::SerialLink(Clock& clock, std::string devicePath)
    : m_clock(clock), m_devicePath(std::move(devicePath)) {}

SerialLink::~SerialLink() { close(); }

bool SerialLink::open() {
  QuietNotifiers quiet;
  close();
  m_lastError.clear();

  m_bridgesFound = 0;
  m_bridgeInUse.reset();
  const std::string path = m_devicePath.empty() ? chooseBridge() : m_devicePath;
  if (path.empty()) return false;
  m_openedPath = path;

  auto port = std::make_unique<QSerialPort>();
  port->setPortName(QString::fromLocal8Bit(path.c_str()));
  if (!port->open(QIODevice::ReadWrite)) {
    m_lastError = path + ": " + toStd(port->errorString());
    return false;
  }
  // A pseudo-terminal may refuse the bridge's rate; the link works the same without it.
  port->setBaudRate(wire::kBaudRate);
  port->setDataBits(QSerialPort::Data8);
  port->setStopBits(QSerialPort::OneStop);
  port->setParity(QSerialPort::NoParity);
  port->setFlowControl(QSerialPort::NoFlowControl);
  port->clearError();
  m_lowLatency = requestLowLatency(static_cast<int>(port->handle()));
  m_port = std::move(port);
  purge();
  return isOpen();
}

std::string SerialLink::chooseBridge() {
  const std::vector<Bridge> bridges =
      findBridges(enumeratePorts(), findStableLinks(m_deviceFolder));
  m_bridgesFound = bridges.size();
  const BridgePick pick = pickBridge(bridges, m_lastSerial, m_chooser);
  if (!pick.index) {
    m_lastError = pick.problem;
    return {};
  }
  m_bridgeInUse = bridges[*pick.index];
  if (!m_bridgeInUse->serialNumber.empty()) m_lastSerial = m_bridgeInUse->serialNumber;
  return m_bridgeInUse->device;
}

bool SerialLink::isOpen() const { return m_port != nullptr && m_port->isOpen(); }

std::optional<BridgeReport> SerialLink::bridgeReport() const {
  BridgeReport report{m_devicePath, m_lastSerial, m_bridgesFound, std::nullopt};
  if (m_bridgeInUse) report.inUse = bridgeLabel(*m_bridgeInUse);
  return report;
}

std::size_t SerialLink::read(std::uint8_t* buffer, std::size_t n) {
  if (!isOpen() || n == 0) return 0;
  QuietNotifiers quiet;
  // The time-out runs on the injected clock; the steady clock bounds it too, so that a clock
  // that does not move with real time cannot hold the read.
  const Clock::TimePoint deadline = m_clock.now() + wire::kReadTimeout;
  const SteadyClock::time_point realDeadline = SteadyClock::now() + wire::kReadTimeout;
  std::size_t got = 0;
  for (;;) {
    const qint64 taken =
        m_port->read(reinterpret_cast<char*>(buffer + got), static_cast<qint64>(n - got));
    if (taken > 0) got += static_cast<std::size_t>(taken);
    if (got == n) return got;

    const Clock::Duration left =
        std::min<Clock::Duration>(deadline - m_clock.now(), realDeadline - SteadyClock::now());
    if (left <= Clock::Duration::zero()) return got;
    if (m_port->waitForReadyRead(std::max(1, ceilMs(left)))) continue;
    if (deviceGone()) {
      deviceLost();
      return got;
    }
    // A plain time-out, or a read that failed for the moment: wait out the rest.
    m_port->clearError();
  }
}

std::size_t SerialLink::available() {
  if (!isOpen()) return 0;
  qint64 held = m_port->bytesAvailable();
  int queued = 0;
  if (::ioctl(static_cast<int>(m_port->handle()), FIONREAD, &queued) == 0 && queued > 0) {
    held += queued;
  }
  return static_cast<std::size_t>(std::max<qint64>(held, 0));
}

std::size_t SerialLink::write(const std::uint8_t* buffer, std::size_t n) {
  if (!isOpen() || n == 0) return 0;
  QuietNotifiers quiet;
  const qint64 queued =
      m_port->write(reinterpret_cast<const char*>(buffer), static_cast<qint64>(n));
  if (queued < 0) {
    if (deviceGone()) deviceLost();
    return 0;
  }
  // Hand every byte to the operating system before returning, so that the caller's pacing
  // between writes is the pacing on the wire.
  const SteadyClock::time_point realDeadline =
      SteadyClock::now() + kWriteSlack + wire::kByteTime * static_cast<long long>(n);
  while (m_port->bytesToWrite() > 0) {
    const auto left = realDeadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero()) break;
    if (m_port->waitForBytesWritten(std::max(1, ceilMs(left)))) continue;
    if (deviceGone()) {
      deviceLost();
      return 0;
    }
    m_port->clearError();
  }
  const qint64 pending = m_port->bytesToWrite();
  // What could not be handed over in time is dropped rather than sent at some later moment.
  if (pending > 0) m_port->clear(QSerialPort::Output);
  return static_cast<std::size_t>(queued - std::min(pending, queued));
}

void SerialLink::purge() {
  if (!isOpen()) return;
  QuietNotifiers quiet;
  m_port->clear(QSerialPort::AllDirections);
  // Qt keeps its own receive buffer beside the driver's; empty both, and take whatever the
  // driver still held back from the flush.
  m_port->skip(m_port->bytesAvailable());
  const int fd = static_cast<int>(m_port->handle());
  char scrap[512];
  std::size_t drained = 0;
  while (drained < kPurgeDrainLimit) {
    const ssize_t r = ::read(fd, scrap, sizeof scrap);
    if (r <= 0) break;
    drained += static_cast<std::size_t>(r);
  }
  if (deviceGone()) {
    deviceLost();
    return;
  }
  m_port->clearError();
}

void SerialLink::cyclePort() {
#ifdef __linux__
  if (!isOpen()) return;
  // A reset makes the bridge drop off the bus and enumerate again. It needs write access to the
  // usbfs node; without it, or on a port that is not on USB, nothing happens.
  const auto node = usbDeviceNode(m_openedPath);
  if (!node) return;
  const int fd = ::open(node->c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::ioctl(fd, USBDEVFS_RESET, 0);
  ::close(fd);
#endif
}

void SerialLink::close() {
  if (!m_port) return;
  QuietNotifiers quiet;
  if (m_port->isOpen()) m_port->close();
  m_port.reset();
}

std::vector<SerialPortEntry> SerialLink::enumeratePorts() {
  std::vector<SerialPortEntry> ports;
  const QString instrument = QString::fromLatin1(
      wire::kUsbDescription.data(), static_cast<qsizetype>(wire::kUsbDescription.size()));
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    SerialPortEntry entry;
    entry.device = toStd(info.systemLocation());
    entry.description = toStd(info.description());
    entry.serialNumber = toStd(info.serialNumber());
    entry.isInstrument = info.description() == instrument;
    ports.push_back(std::move(entry));
  }
  return ports;
}

bool SerialLink::deviceGone() const {
  if (!isOpen()) return true;

  pollfd p{};
  p.fd = static_cast<int>(m_port->handle());
  p.events = POLLIN | POLLOUT;
  if (::poll(&p, 1, 0) < 0) return false;
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void SerialLink::deviceLost() {
  if (!isOpen()) return;
  m_lastError = m_openedPath + ": the device is gone";
  close();
  if (m_onDeviceLost) m_onDeviceLost();
}

}  // namespace halvern
