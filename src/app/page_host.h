#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/menu_table.h"
#include "link/instrument_command.h"

class QAbstractButton;
class QAction;
class QDialog;
class QMenu;
class QWidget;

namespace halvern {

class Calendar;
class CommandExchange;
class Document;
class KeyRouter;
class Link;
class Shell;

// A page of the window as its subsystem declares it: the tab's caption and the page's object name
// (which `MainWindow::pageByName` finds, as it finds the caption). Its place among the tabs is
// its module's order. Two pages are the same page when their object names are.
struct Page {
  const char* caption = "";
  const char* objectName = "";

  friend bool operator==(const Page& a, const Page& b) {
    return std::string_view(a.objectName) == std::string_view(b.objectName);
  }
};

// A page of the window: it shows its part of the document and writes edits back at once.
class PageView {
 public:
  virtual ~PageView() = default;
  // Shows what changed in the document since the last call. Cheap when nothing did: the host calls
  // it after every command and wherever events are processed.
  virtual void refresh() = 0;
  // Opens every branch the page folds away; a page that folds nothing ignores it.
  virtual void expandAll() {}
};

// A file to open or save, asked of the user: the filter in the "Text|*.ext|Text|*.*" form.
struct FileRequest {
  bool save = false;
  std::string filter;
  std::string defaultSuffix;
  std::string title;        // the dialog's caption
  std::string initialName;  // the file name field at first ("*.scr")
  // The kind of file ("notes", say): the dialog starts where the last file of its kind was
  // chosen. Empty: the default extension names the kind.
  std::string kind;
  // Kinds whose files lie beside this one (a group's members): they start there next time too.
  std::vector<std::string> memberKinds;
  // A save to an existing file asks first; off for a file that is added to, not replaced.
  bool confirmOverwrite = true;
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

  // The link, to ask what it can tell of its connection; instrument commands go through the
  // exchange.
  virtual const Link& link() const = 0;

  // Puts a page among the tabs, in its module's place; the host owns it from now on and calls its
  // refresh(). `shows`: the part of the document the page shows, for `showPageOf`.
  virtual void setPage(Page page, QWidget* widget, PageView* view, const void* shows = nullptr) = 0;
  // Nothing happens for a page not (yet) among the tabs.
  virtual void showPage(Page page) = 0;
  virtual Page currentPage() const = 0;
  // Shows the page that shows `part` of the document (see setPage); nothing when none does.
  virtual void showPageOf(const void* part) = 0;

  // Gives a menu item its handler and enables it; items without one stay disabled.
  virtual void setHandler(MenuHandler handler, std::function<void()> run) = 0;
  // A menu item enabled only while `available` says so, on top of what the host decides; call
  // `updateCommandStates` when its answer changes.
  virtual void setAvailability(MenuHandler handler, std::function<bool()> available) = 0;
  // Runs a menu item's handler as choosing it does (nothing for an item without one).
  virtual void trigger(MenuHandler handler) = 0;
  // A menu item itself, for its caption, more shortcuts, or a narrower shortcut context.
  virtual QAction* action(MenuHandler handler) const = 0;
  // Makes a menu item a check item, checked or not, and gives it its handler, which gets the
  // item's new state each time it is chosen.
  virtual void setCheckHandler(MenuHandler handler, bool checked,
                               std::function<void(bool checked)> toggled) = 0;
  // A button that starts instrument operations, or replaces the document: enabled when `wanted`
  // says so and no operation runs. Call `updateCommandStates` when what `wanted` answers changes.
  virtual void registerInstrumentButton(QAbstractButton* button,
                                        std::function<bool()> wanted = nullptr) = 0;
  // A page in its editing mode locks out the menus and items flagged kEditLocked.
  virtual void setEditing(bool editing) = 0;
  virtual void updateCommandStates() = 0;

  // Shows `shown` when the link is open, then runs the command (see runInstrumentCommand); a
  // command that sends (its `sends`) goes through the send guard first.
  virtual CommandResult runCommand(Page shown, const InstrumentCommand& command) = 0;
  // What every send of the window goes through: the command it returns is run in the send's
  // place (a backup before it, a read-back after). None at first.
  virtual void setSendGuard(std::function<InstrumentCommand(const InstrumentCommand&)> guard) = 0;

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
  // The context menu of the menu table, for the page that pops it up.
  virtual QMenu* popupMenu() const = 0;
  // The Clear Message Area button (a page may keep keys from pressing it).
  virtual QAbstractButton* clearMessageButton() const = 0;

  // The window a dialog belongs to.
  virtual QWidget* dialogParent() = 0;
  // Runs a modal dialog centred over the window.
  virtual void runDialog(QDialog& dialog) = 0;
  // The window's title marks unsaved changes while `modified`.
  virtual void setModified(bool modified) = 0;
  // Asked before the window closes: false keeps it open (the user chose Cancel, or a save
  // failed).
  virtual void addCloseCheck(std::function<bool()> mayClose) = 0;
  // What the "Connection Help..." button of a connection warning opens (see
  // Shell::connectionWarning), after the box closes.
  virtual void setConnectionHelp(std::function<void()> help) = 0;
};

}  // namespace halvern
