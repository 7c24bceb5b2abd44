// The connection doctor in the window: Help > Connection Help..., and the same checks from the
// "Connection Help..." button of the warning of a port that would not open.
#include <optional>

#include "app/module.h"
#include "app/page_host.h"
#include "doctor/connection_help_dialog.h"
#include "platform/link.h"

namespace halvern {

namespace {

// The checks of the port, the bridge and the system around them, over the window.
void showConnectionHelp(PageHost& host) {
  // A link without a bridge is the simulated instrument's, which needs no port.
  const std::optional<BridgeReport> bridge = host.link().bridgeReport();
  ConnectionHelpDialog help(host.dialogParent(), bridge ? bridge->namedDevice : std::string(),
                            !bridge.has_value(), bridge ? bridge->lastSerial : std::string());
  host.runDialog(help);
}

void installDoctorModule(PageHost& host) {
  host.setHandler(MenuHandler::ConnectionHelpClick, [&host] { showConnectionHelp(host); });
  host.setConnectionHelp([&host] { showConnectionHelp(host); });
}

const Module::Registration kDoctorModule{
    {.name = "doctor", .order = 80, .install = &installDoctorModule}};

}  // namespace

}  // namespace halvern
