#pragma once

#include "sim/responder_set.h"

namespace halvern::sim {

void installFirmwareResponder(ResponderSet& set);

}  // namespace halvern::sim
