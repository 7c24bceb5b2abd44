#include "app/pages.h"

#include "app/main_window.h"
#include "program/program_page.h"
#include "screens/screens_page.h"
#include "setup/setup_page.h"

namespace halvern {

void installPages(MainWindow& window) {
  installSetupPage(window);
  installScreensPage(window);
  installProgramPage(window);
}

}  // namespace halvern
