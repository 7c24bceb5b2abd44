#include "app/module.h"

#include <algorithm>
#include <string>

#include "app/page_host.h"
#include "platform/shell.h"

namespace halvern {

namespace {
std::vector<Module>& registry() {
  static std::vector<Module> modules;
  return modules;
}
}  // namespace

Module::Registration::Registration(Module module) {
  auto& modules = registry();
  modules.push_back(module);
  std::stable_sort(modules.begin(), modules.end(),
                   [](const Module& a, const Module& b) { return a.order < b.order; });
}

const std::vector<Module>& Module::all() { return registry(); }

const Module* Module::ofPage(const Page& page) {
  for (const Module& module : registry())
    if (*module.page.caption != '\0' && module.page == page) return &module;
  return nullptr;
}

void PageHost::setFileHandler(MenuHandler handler, FileRequest request,
                              std::function<std::string(const std::string& path)> use) {
  setHandler(handler, [this, request = std::move(request), use = std::move(use)] {
    const QString path = chooseFile(request);
    if (!path.isEmpty()) warnIf(use(path.toStdString()));
  });
}

bool PageHost::warnIf(const std::string& problem) {
  if (problem.empty()) return false;
  shell().message(problem, MessageKind::Warning, MessageButtons::Ok);
  return true;
}

}  // namespace halvern
