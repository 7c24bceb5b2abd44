#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace halvern {

// Keeps the computer from sleeping, from going idle and from suspending when its lid is closed,
// for as long as it is held: the login manager's inhibitor lock ("sleep:idle:handle-lid-switch",
// blocking), taken over the system's message bus and released by closing the descriptor it gives.
class SleepInhibitor {
 public:
  SleepInhibitor();
  ~SleepInhibitor();
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  // Takes the lock for `why` (shown by the system to whoever asks what keeps it awake). Empty
  // when it is held, else why not ("no system message bus", the login manager's refusal). Taking
  // it again while it is held does nothing.
  std::string acquire(std::string_view why);
  void release();
  bool held() const;

 private:
  struct Lock;
  std::unique_ptr<Lock> m_lock;
};

}  // namespace halvern
