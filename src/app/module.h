#pragma once

#include <vector>

#include "app/page_host.h"
#include "app/settings_file.h"

namespace halvern {

class Document;

// The window's own section of the settings file, where it keeps its place on the screen; a
// module's keys may share it.
inline constexpr const char* kWindowSettingsSection = "40100 Setup";

// A subsystem in the window: its page and place among the tabs, its keys of the settings file,
// and the install that puts its page in and gives its menu items their handlers. Each module
// registers itself from its own file, so adding one touches nothing else:
//
//   const Module::Registration kSetupModule{
//       {.name = "setup", .order = 10, .install = &installSetupModule, .page = kSetupPage}};
struct Module {
  using Install = void (*)(PageHost& host);
  using LoadSettings = void (*)(Document& document, const Settings& settings);
  using SaveSettings = void (*)(Document& document, Settings& settings);

  const char* name;
  int order;  // installed in this order, lowest first; its page's place among the tabs
  Install install;
  // The module's page; a module without one leaves the caption empty.
  Page page = {};
  // The page shown when the window opens (the last module that asks for it wins).
  bool shownAtStart = false;
  // The module's keys of the settings file with their defaults, in the order written after the
  // window's own; loaded into the document before the install, saved from it at close.
  Settings settings = {};
  LoadSettings loadSettings = nullptr;
  SaveSettings saveSettings = nullptr;

  struct Registration {
    explicit Registration(Module module);
  };

  // Every registered module, in install order.
  static const std::vector<Module>& all();
  // The module whose page `page` is; null when none declares it.
  static const Module* ofPage(const Page& page);
};

}  // namespace halvern
