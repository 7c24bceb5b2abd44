#include "platform/clock.h"

#include <thread>

namespace halvern {

Clock::TimePoint SystemClock::now() const {
  return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

void SystemClock::sleepUntil(TimePoint deadline) {
  // The scheduler may oversleep by a fraction of a millisecond: sleep most of the way, spin the
  // rest.
  constexpr auto kSpinMargin = std::chrono::microseconds(300);
  auto t = now();
  if (deadline - t > kSpinMargin) std::this_thread::sleep_until(deadline - kSpinMargin);
  while (now() < deadline) {
  }
}

}  // namespace halvern
