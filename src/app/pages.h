#pragma once

namespace halvern {

class MainWindow;

// Puts every subsystem's page into the window and gives its menu items their handlers. Called
// once while the window is built, before the link is opened.
void installPages(MainWindow& window);

}  // namespace halvern
