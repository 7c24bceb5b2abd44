// The hardware tests in the window: the Tests page, its tests through the one command path.
#include <QAbstractButton>

#include "app/module.h"
#include "app/page_host.h"
#include "service/tests_page.h"

namespace halvern {

namespace {

void installTestsModule(PageHost& host) {
  auto* page = new TestsPage(
      [&host](const InstrumentCommand& command) { return host.runCommand(kTestsPage, command); });
  host.setPage(kTestsPage, page, page);
  for (QAbstractButton* button : page->instrumentButtons()) host.registerInstrumentButton(button);
}

const Module::Registration kTestsModule{
    {.name = "tests", .order = 60, .install = &installTestsModule, .page = kTestsPage}};

}  // namespace

}  // namespace halvern
