#pragma once

#include <chrono>

namespace halvern {

// Monotonic time for every pause, pacing gap and time-out. Nothing else in the program reads the
// time or sleeps: operations compute deadlines from an injected Clock, so tests can run them on
// virtual time.
class Clock {
 public:
  using Duration = std::chrono::nanoseconds;
  using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

  virtual ~Clock() = default;

  virtual TimePoint now() const = 0;
  // Returns at or after `deadline`; returns at once when it has passed.
  virtual void sleepUntil(TimePoint deadline) = 0;
  void sleepFor(Duration d) { sleepUntil(now() + d); }
};

// The computer's steady clock. Short sleeps end in a busy-wait so that the byte pacing of command
// lines keeps to a little over one millisecond.
class SystemClock final : public Clock {
 public:
  TimePoint now() const override;
  void sleepUntil(TimePoint deadline) override;
};

// Virtual time for tests: a sleep moves the time forward at once, nothing waits for real.
class VirtualClock final : public Clock {
 public:
  TimePoint now() const override { return m_now; }
  void sleepUntil(TimePoint deadline) override {
    if (deadline > m_now) m_now = deadline;
  }
  void advance(Duration d) { m_now += d; }
  // Time passed since the clock was made.
  Duration elapsed() const { return m_now - TimePoint{}; }

 private:
  TimePoint m_now{};
};

}  // namespace halvern
