#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace halvern {

// What a link over a USB bridge tells of its connection.
struct BridgeReport {
  // The device the user named; empty when the bridge is looked for by its description.
  std::string namedDevice;
  // The serial number of the bridge used last, which the link keeps to among several.
  std::string lastSerial;
  // How many bridges the last open found, and the label of the one it chose.
  std::size_t bridgesFound = 0;
  std::optional<std::string> inUse;
};

// The one connection to the instrument's USB-to-serial bridge: 1250000 baud, 8 data bits, 1 stop
// bit, no parity, no flow control.
class Link {
 public:
  virtual ~Link() = default;

  // Opens the bridge (by its USB description, or the device the link was given) with the port
  // settings above and purges both directions. False when it could not be opened; `lastError()`
  // then says why.
  virtual bool open() = 0;
  virtual bool isOpen() const = 0;
  // Returns once `n` bytes have arrived, or the 250 ms read time-out has passed since the call,
  // with the count actually read (0..n). A closed or vanished link returns 0 without waiting for
  // the time-out.
  virtual std::size_t read(std::uint8_t* buffer, std::size_t n) = 0;
  // How many received bytes are waiting to be read, at once and without taking them: those the
  // link holds and those the operating system holds for it. 0 on a closed or vanished link, and
  // from a link that cannot tell.
  virtual std::size_t available() { return 0; }
  // Writes `n` bytes; returns the count written (0 on a closed link).
  virtual std::size_t write(const std::uint8_t* buffer, std::size_t n) = 0;
  // Discards what was received and not yet read, and what was not yet transmitted.
  virtual void purge() = 0;
  // Makes the bridge drop off and enumerate again where the device allows it; used just before
  // the close of a reconnect.
  virtual void cyclePort() = 0;
  virtual void close() = 0;
  // Why the last open failed, or the device went away; empty when nothing went wrong.
  virtual std::string lastError() const { return {}; }
  // Whether the driver took the request for low latency at the last open (a USB bridge then
  // passes each byte on at once instead of holding a partly filled packet for its latency
  // timer); nothing for a link without such a driver (a pseudo-terminal, the simulator).
  virtual std::optional<bool> lowLatency() const { return std::nullopt; }
  // What the link tells of its USB bridge; nothing for a link without one (a pseudo-terminal
  // named as the device still has one; the simulator and scripted links do not).
  virtual std::optional<BridgeReport> bridgeReport() const { return std::nullopt; }

  std::size_t write(std::uint8_t byte) { return write(&byte, 1); }
};

}  // namespace halvern
