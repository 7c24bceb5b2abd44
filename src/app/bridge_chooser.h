#pragma once

#include <optional>
#include <vector>

#include "link/bridge_finder.h"

class QWidget;

namespace halvern {

// Asks which of several attached bridges to use, by serial number and port; none when the user
// cancels.
std::optional<std::size_t> askForBridge(QWidget* parent, const std::vector<Bridge>& bridges);

}  // namespace halvern
