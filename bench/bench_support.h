#pragma once
// What the benchmarks share: a shell that stays quiet, and the simulated instrument served on a
// pseudo-terminal from a thread.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "sim/pty_server.h"
#include "sim/simulated_instrument.h"

namespace halvern::bench {

// Quiet unless HALVERN_BENCH_LINES is set: then the transfers' lines and boxes go to standard
// error, to see why one failed.
class QuietShell final : public Shell {
 public:
  void addMessageLine(std::string_view line) override { show("", line); }
  void insertText(std::string_view) override {}
  void setProgressMax(int) override {}
  void setProgress(int) override {}
  MessageResult message(std::string_view text, MessageKind, MessageButtons) override {
    show("box: ", text);
    return MessageResult::Ok;
  }
  void beep(BeepKind) override { ++beeps; }
  void processEvents() override {}
  void setBusy(bool) override {}
  void setStatus(std::string_view) override {}
  bool cancelled() const override { return false; }
  void setClockTimer(bool) override {}
  void setInstrumentBusy(bool) override {}
  int beeps = 0;

 private:
  void show(const char* kind, std::string_view text) {
    if (m_verbose)
      std::fprintf(stderr, "%s%.*s\n", kind, static_cast<int>(text.size()), text.data());
  }
  bool m_verbose = std::getenv("HALVERN_BENCH_LINES") != nullptr;
};

// The instrument on a pseudo-terminal, served from a thread for the life of the benchmark.
class PtyInstrument {
 public:
  // `prepare` sets the instrument up before it starts serving.
  explicit PtyInstrument(const std::function<void(sim::SimulatedInstrument&)>& prepare = nullptr)
      : m_instrument(m_calendar, m_clock), m_server(m_instrument, m_clock) {
    if (prepare) prepare(m_instrument);
    if (!m_server.open()) return;
    m_thread = std::thread([this] { m_server.serve(m_stop, nullptr); });
  }
  ~PtyInstrument() {
    m_stop = 1;
    if (m_thread.joinable()) m_thread.join();
  }
  std::string device() const { return m_server.slavePath(); }

 private:
  SystemClock m_clock;
  SystemCalendar m_calendar;
  sim::SimulatedInstrument m_instrument;
  sim::PtyServer m_server;
  volatile std::sig_atomic_t m_stop = 0;
  std::thread m_thread;
};

}  // namespace halvern::bench
