#pragma once

#include <csignal>
#include <cstddef>
#include <ostream>
#include <string>

#include "platform/clock.h"

namespace halvern::sim {

class SimulatedInstrument;

// Serves a SimulatedInstrument on a pseudo-terminal: the computer's side opens the slave device
// as it would the serial bridge. Bytes read from the master reach the instrument at the time they
// are read; reply bytes are written to the master once their time on the wire has come.
class PtyServer {
 public:
  PtyServer(SimulatedInstrument& instrument, Clock& clock);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the pseudo-terminal with its slave in raw mode. False when that failed; `error()`
  // then says why.
  bool open();
  // The device a client opens, e.g. "/dev/pts/3".
  const std::string& slavePath() const { return m_slavePath; }
  const std::string& error() const { return m_error; }

  // Serves until `stop` becomes non-zero (a signal handler sets it; a signal also cuts a wait
  // short). Every complete command line is written to `log` when it is given. False after an
  // error on the master, with `error()` set.
  bool serve(const volatile std::sig_atomic_t& stop, std::ostream* log);

 private:
  bool writePending();
  bool readAvailable(std::ostream* log);

  SimulatedInstrument& m_instrument;
  Clock& m_clock;
  int m_master = -1;
  // Held open so the master never sees a hang-up while no client has the device open.
  int m_slave = -1;
  std::string m_slavePath;
  std::string m_error;
  // Reply bytes due but not yet taken by the master.
  std::string m_pending;
  std::size_t m_linesLogged = 0;
  // When the last byte from the computer has crossed the wire: bytes written to the terminal
  // in a burst arrive one byte time after another, as on the line.
  Clock::TimePoint m_inputFree{};
};

}  // namespace halvern::sim
