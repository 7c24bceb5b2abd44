#pragma once

#include <vector>

namespace halvern {

class PageHost;

// A subsystem's glue: it puts its page into the window and gives its menu items their handlers.
// Each module registers itself from its own file, so adding one touches nothing else:
//
//   const Module::Registration kSetupModule{{"setup", 10, &installSetupModule}};
struct Module {
  using Install = void (*)(PageHost& host);

  const char* name;
  int order;  // installed in this order, lowest first
  Install install;

  struct Registration {
    explicit Registration(Module module);
  };

  // Every registered module, in install order.
  static const std::vector<Module>& all();
};

}  // namespace halvern
