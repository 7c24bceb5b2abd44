#pragma once

#include <memory>
#include <vector>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/responder.h"

namespace halvern::sim {

class FaultPlan;

// The instrument's responders, one a subsystem, in the order the subsystems are declared. Each
// subsystem's part of the simulated instrument adds its responder with an install function that
// its folder's declaration names (RESPONDER); the build calls them all from installResponders,
// so the instrument itself names none.
class ResponderSet {
 public:
  // What a responder starts from: the faults to inject, the instrument's clock at its start.
  struct Start {
    FaultPlan& faults;
    DateTime clock;
    Clock::TimePoint at;
  };

  explicit ResponderSet(Start start) : m_start(start) {}

  const Start& start() const { return m_start; }
  void add(std::unique_ptr<Responder> responder) { m_all.push_back(std::move(responder)); }
  const std::vector<std::unique_ptr<Responder>>& all() const { return m_all; }

  // The responder of type T, added before; null when there is none.
  template <class T>
  T* find() const {
    for (const auto& responder : m_all) {
      if (auto* found = dynamic_cast<T*>(responder.get())) return found;
    }
    return nullptr;
  }

 private:
  Start m_start;
  std::vector<std::unique_ptr<Responder>> m_all;
};

// Adds every subsystem's responder to `set` (made by the build from the declarations).
void installResponders(ResponderSet& set);

}  // namespace halvern::sim
