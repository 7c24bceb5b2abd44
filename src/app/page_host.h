#pragma once

#include <QString>
#include <functional>
#include <string>

#include "app/menu_table.h"
#include "link/instrument_command.h"

class QAbstractButton;
class QMenu;
class QWidget;

namespace halvern {

class Calendar;
class CommandExchange;
class KeyRouter;
class Shell;
struct Document;

// The six pages, in their order.
enum class Page { Setup, Screens, UserProgram, Records, Tests, Calibration };

// A page of the window: it shows its part of the document and writes edits back at once.
class PageView {
 public:
  virtual ~PageView() = default;
  // Shows what changed in the document since the last call. Cheap when nothing did: the host calls
  // it after every command and wherever events are processed.
  virtual void refresh() = 0;
};

// A file to open or save, asked of the user: the filter in the "Text|*.ext|Text|*.*" form.
struct FileRequest {
  bool save = false;
  std::string filter;
  std::string defaultSuffix;
  std::string title;        // the dialog's caption
  std::string initialName;  // the file name field at first ("*.scr")
};

// What a subsystem's module sees of the main window: the document, the Shell and the exchange,
// its page's place, the menu handlers, the instrument buttons, the clock tick and the one way an
// instrument command runs. Enabled states of menu items and instrument buttons are the host's:
// computed in one place from (handler present, instrument busy, screen editing).
class PageHost {
 public:
  virtual ~PageHost() = default;

  virtual Document& document() = 0;
  virtual Shell& shell() = 0;
  virtual CommandExchange& exchange() = 0;
  virtual const Calendar& calendar() const = 0;

  // Puts a page in its place, replacing the empty frame; the host owns it from now on and calls
  // its refresh().
  virtual void setPage(Page page, QWidget* widget, PageView* view) = 0;
  virtual void showPage(Page page) = 0;
  virtual Page currentPage() const = 0;

  // Gives a menu item its handler and enables it; items without one stay disabled.
  virtual void setHandler(MenuHandler handler, std::function<void()> run) = 0;
  // A button that starts instrument operations, or replaces the document: enabled when `wanted`
  // says so and no operation runs. Call `updateCommandStates` when what `wanted` answers changes.
  virtual void registerInstrumentButton(QAbstractButton* button,
                                        std::function<bool()> wanted = nullptr) = 0;
  // Screen editing locks the Commands menu out.
  virtual void setScreenEditing(bool editing) = 0;
  virtual void updateCommandStates() = 0;

  // Shows `shown` when the link is open, then runs the command (see runInstrumentCommand).
  virtual CommandResult runCommand(Page shown, const InstrumentCommand& command) = 0;

  // Run on every tick of the 500 ms timer.
  virtual void addClockListener(std::function<void()> listener) = 0;
  // Empty when the user cancelled.
  virtual QString chooseFile(const FileRequest& request) = 0;
  // A warning box with OK, when `problem` is not empty; true when it was shown.
  bool warnIf(const std::string& problem);
  // A file item of the File menu: the file dialog, then `use` with the path chosen; the warning
  // it returns (empty when all went well) in a box.
  void setFileHandler(MenuHandler handler, FileRequest request,
                      std::function<std::string(const std::string& path)> use);

  virtual KeyRouter& keyRouter() = 0;
  virtual QMenu* programPopupMenu() const = 0;
  // The Clear Message Area button (the screens page keeps the space bar from pressing it).
  virtual QAbstractButton* clearMessageButton() const = 0;
};

}  // namespace halvern
