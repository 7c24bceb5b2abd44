#include "app/pages.h"

#include "app/main_window.h"
#include "setup/setup_page.h"

namespace halvern {

void installPages(MainWindow& window) { installSetupPage(window); }

}  // namespace halvern
