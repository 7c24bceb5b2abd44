#pragma once

#include <chrono>

#include "platform/calendar.h"

namespace halvern::sim {

// `t` moved on by `offset` (back when negative), across days, months and years as the calendar
// runs. The instrument's clock and its logged records both count time this way.
DateTime secondsLater(const DateTime& t, std::chrono::seconds offset);

}  // namespace halvern::sim
