#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/simulated_instrument.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern::sim {

namespace {

// Longest wait without input or due output, so a stop request is seen even without a signal.
constexpr Clock::Duration kIdleWait = std::chrono::milliseconds(100);

std::string systemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PtyServer::PtyServer(SimulatedInstrument& instrument, Clock& clock)
    : m_instrument(instrument), m_clock(clock) {}

PtyServer::~PtyServer() {
  if (m_slave >= 0) ::close(m_slave);
  if (m_master >= 0) ::close(m_master);
}

bool PtyServer::open() {
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (m_master < 0) {
    m_error = systemError("posix_openpt");
    return false;
  }
  if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
    m_error = systemError("grantpt/unlockpt");
    return false;
  }
  const char* name = ::ptsname(m_master);
  if (name == nullptr) {
    m_error = systemError("ptsname");
    return false;
  }
  m_slavePath = name;
  m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
  if (m_slave < 0) {
    m_error = systemError(m_slavePath.c_str());
    return false;
  }
  // A serial line carries bytes as they are: no echo, no line editing, no translation.
  termios attributes{};
  if (::tcgetattr(m_slave, &attributes) != 0) {
    m_error = systemError("tcgetattr");
    return false;
  }
  ::cfmakeraw(&attributes);
  if (::tcsetattr(m_slave, TCSANOW, &attributes) != 0) {
    m_error = systemError("tcsetattr");
    return false;
  }
  int flags = ::fcntl(m_master, F_GETFL);
  if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
    m_error = systemError("fcntl");
    return false;
  }
  return true;
}

bool PtyServer::serve(const volatile std::sig_atomic_t& stop, std::ostream* log) {
  std::array<std::uint8_t, 1024> buffer;
  while (!stop) {
    // Hand over the reply bytes whose time has come.
    const Clock::TimePoint now = m_clock.now();
    while (std::size_t n = m_instrument.takeOutput(now, buffer.data(), buffer.size())) {
      m_pending.append(reinterpret_cast<const char*>(buffer.data()), n);
    }
    if (!writePending()) return false;

    // Wait for the computer, or until the next reply byte is due.
    Clock::Duration wait = kIdleWait;
    if (auto next = m_instrument.nextOutputTime()) {
      wait = std::clamp<Clock::Duration>(*next - now, Clock::Duration::zero(), wait);
    }
    timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                     static_cast<long>(wait.count() % 1000000000)};
    pollfd descriptor{m_master, static_cast<short>(POLLIN | (m_pending.empty() ? 0 : POLLOUT)), 0};
    int ready = ::ppoll(&descriptor, 1, &timeout, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      m_error = systemError("ppoll");
      return false;
    }
    if ((descriptor.revents & POLLIN) != 0 && !readAvailable(log)) return false;
    if (m_instrument.linkDead()) {
      m_error = "the instrument dropped off the link (a dies, cut or hangup fault)";
      return false;
    }
    if ((descriptor.revents & (POLLERR | POLLNVAL)) != 0) {
      m_error = "the pseudo-terminal failed";
      return false;
    }
  }
  return true;
}

bool PtyServer::writePending() {
  while (!m_pending.empty()) {
    ssize_t written = ::write(m_master, m_pending.data(), m_pending.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
      m_error = systemError("write");
      return false;
    }
    m_pending.erase(0, static_cast<std::size_t>(written));
  }
  return true;
}

bool PtyServer::readAvailable(std::ostream* log) {
  std::array<std::uint8_t, 4096> buffer;
  ssize_t n = ::read(m_master, buffer.data(), buffer.size());
  if (n < 0) {
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return true;
    m_error = systemError("read");
    return false;
  }
  m_inputFree = std::max(m_inputFree, m_clock.now());
  for (ssize_t i = 0; i < n; ++i) {
    m_inputFree += wire::kByteTime;
    m_instrument.receive(buffer[static_cast<std::size_t>(i)], m_inputFree);
  }
  if (log != nullptr) {
    const auto& lines = m_instrument.linesReceived();
    for (; m_linesLogged < lines.size(); ++m_linesLogged) {
      *log << "< " << escapedBytes(lines[m_linesLogged], ByteEscapes::Hex) << std::endl;
    }
  }
  return true;
}

}  // namespace halvern::sim
