#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/document.h"
#include "app/file_folders.h"
#include "app/menu_table.h"
#include "app/page_host.h"
#include "app/settings_file.h"
#include "app/window_shell.h"
#include "platform/shell.h"

class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

namespace halvern {

class Calendar;
class Clock;
class CommandExchange;
class KeyRouter;
class Link;

// The one main window: the modules' pages, the progress bar, the message area, the status bar, the
// menus, the 500 ms clock timer. It opens the link at start-up and closes it at shutdown, and is
// the host of every subsystem's page (see Module).
class MainWindow : public QMainWindow, public PageHost {
 public:
  static constexpr const char* kCaption = "Zelka 40100 Halvern 3.0";
  static constexpr const char* kApplicationTitle = "Halvern 3.0";
  static constexpr int kClientWidth = 570;
  static constexpr int kClientHeight = 671;
  static constexpr int kTimerIntervalMs = 500;

  using Page = halvern::Page;
  using FileRequest = halvern::FileRequest;

  struct Context {
    Link& link;
    Clock& clock;
    const Calendar& calendar;
    std::string settingsPath;
    // Off for screenshots and tests that must leave the user's settings alone.
    bool writeSettingsOnClose = true;
    // Answers message boxes without showing them (screenshots, tests); unset: modal boxes.
    std::function<MessageResult(std::string_view, MessageKind, MessageButtons)> boxAnswerer;
  };

  // Runs the start-up in its order: pages and menus, settings read, link opened last (a failure
  // warns over the window and start-up goes on). The caller shows the window.
  explicit MainWindow(Context context, QWidget* parent = nullptr);
  ~MainWindow() override;

  // PageHost.
  Document& document() override { return m_document; }
  WindowShell& shell() override { return *m_shell; }
  CommandExchange& exchange() override { return *m_exchange; }
  const Calendar& calendar() const override { return m_context.calendar; }
  const Link& link() const override { return m_context.link; }
  void setPage(Page page, QWidget* widget, PageView* view, const void* shows = nullptr) override;
  void showPage(Page page) override;
  Page currentPage() const override;
  void showPageOf(const void* part) override;
  void setHandler(MenuHandler handler, std::function<void()> run) override;
  void setCheckHandler(MenuHandler handler, bool checked,
                       std::function<void(bool checked)> toggled) override;
  void registerInstrumentButton(QAbstractButton* button,
                                std::function<bool()> wanted = nullptr) override;
  void setEditing(bool editing) override;
  void updateCommandStates() override;
  CommandResult runCommand(Page shown, const InstrumentCommand& command) override;
  void setSendGuard(std::function<InstrumentCommand(const InstrumentCommand&)> guard) override {
    m_sendGuard = std::move(guard);
  }
  void addClockListener(std::function<void()> listener) override;
  // Empty when the user cancelled. Tests answer through `setFileChooser`.
  QString chooseFile(const FileRequest& request) override;
  KeyRouter& keyRouter() override { return *m_keyRouter; }
  QMenu* popupMenu() const override { return m_popupMenu; }
  QAbstractButton* clearMessageButton() const override;
  QWidget* dialogParent() override { return this; }
  void runDialog(QDialog& dialog) override;
  void setConnectionHelp(std::function<void()> help) override;

  Link& link() { return m_context.link; }
  Clock& clock() { return m_context.clock; }

  QTabWidget* pageControl() { return m_pages; }
  // The widget of a page among the tabs; null for one that is not.
  QWidget* page(Page page) const;
  // Finds a module's page by its tab text or object name, case aside ("Setup", "user program").
  static std::optional<Page> pageByName(const QString& name);
  // Every page shows the document as it is now.
  void refreshPages();
  // Every page opens what it folds away (see PageView::expandAll).
  void expandPages();

  // The menu item of a handler.
  QAction* action(MenuHandler handler) const override;
  void trigger(MenuHandler handler) override { triggered(handler); }
  void setAvailability(MenuHandler handler, std::function<bool()> available) override;
  // The caption with "*" before it while modified.
  void setModified(bool modified) override;
  void addCloseCheck(std::function<bool()> mayClose) override {
    m_closeChecks.push_back(std::move(mayClose));
  }
  bool hasHandler(MenuHandler handler) const;
  QPlainTextEdit* messageArea() const { return m_messageArea; }
  QProgressBar* progressBar() const { return m_progress; }
  QPushButton* cancelButton() const { return m_cancelButton; }
  QLabel* statusLabel() const { return m_status; }

  // True while an instrument operation runs (the shell's setInstrumentBusy): the Commands menu,
  // the File menu's instrument and file items and the instrument buttons are disabled, so no
  // second command starts mid-exchange and nothing replaces the document under it.
  bool instrumentBusy() const { return m_lockDepth > 0; }

  void setFileChooser(std::function<QString(const FileRequest&)> chooser) {
    m_fileChooser = std::move(chooser);
  }
  // "Setup Files (*.set)|*.set|All Files (*.*)|*.*" as a file dialog's filter.
  static QString dialogFilter(const std::string& filter);

  QTimer* timer() const { return m_timer; }

  // The settings read at start-up: the window's and its modules'.
  Settings& settings() { return m_settings; }
  // Where a window at `frame` goes so it is on one of `displays`: unchanged when its title bar can
  // be reached on one, else moved onto the screen it overlaps most (the nearest when none).
  static QPoint placeOnScreens(const QRect& frame, const QList<QRect>& displays);

  // File > Reconnect USB.
  void reconnectUsbClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void buildClientArea();
  void triggered(MenuHandler handler);
  void setInstrumentBusy(bool busy);
  // The keyboard back where it was when the operation started.
  void restoreFocus();
  QString runFileDialog(const FileRequest& request);
  static std::string fileKind(const FileRequest& request);
  void holdClockTimer(bool running);
  void timer1Timer();
  void about1Click();
  // With several bridges attached, the status bar names the one in use.
  void showBridgeInUse();

  Context m_context;
  Document m_document;
  Settings m_settings;
  std::unique_ptr<WindowShell> m_shell;
  std::unique_ptr<CommandExchange> m_exchange;
  KeyRouter* m_keyRouter = nullptr;

  QTabWidget* m_pages = nullptr;
  // A page among the tabs: what it is, its place, its widget, what part of the document it shows.
  struct Tab {
    Page page;
    int place = 0;
    QPointer<QWidget> widget;
    const void* shows = nullptr;
  };
  std::vector<Tab> m_tabs;  // in the tabs' order
  QProgressBar* m_progress = nullptr;
  QLabel* m_bridgeLabel = nullptr;
  QPlainTextEdit* m_messageArea = nullptr;
  QPushButton* m_clearButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QLabel* m_status = nullptr;
  QTimer* m_timer = nullptr;
  QMenu* m_popupMenu = nullptr;
  struct MenuEntry {
    QAction* action = nullptr;
    std::uint8_t flags = 0;
    bool popup = false;
    std::function<void()> handler;
    std::function<bool()> available;
  };
  std::array<MenuEntry, kMenuHandlerCount> m_entries{};
  // The menus of the menu bar and their submenus, with their flags.
  std::vector<std::pair<QAction*, std::uint8_t>> m_menus;
  struct InstrumentButton {
    QPointer<QAbstractButton> button;
    std::function<bool()> wanted;
  };
  std::vector<InstrumentButton> m_instrumentButtons;
  std::vector<std::pair<QPointer<QWidget>, PageView*>> m_views;
  std::vector<std::function<void()>> m_clockListeners;
  std::vector<std::function<bool()>> m_closeChecks;
  std::function<QString(const FileRequest&)> m_fileChooser;
  std::function<InstrumentCommand(const InstrumentCommand&)> m_sendGuard;
  FileFolders m_folders;
  QPointer<QWidget> m_focusBefore;
  int m_lockDepth = 0;
  int m_clockHolds = 0;
  bool m_editing = false;
  bool m_refreshing = false;
};

}  // namespace halvern
