#include "sim/firmware_responder.h"

namespace halvern::sim {

void installFirmwareResponder(ResponderSet& set) { (void)set; }

}  // namespace halvern::sim
