#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/document.h"
#include "app/settings_file.h"
#include "app/shell.h"

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
class WindowShell;

// The one main window: six pages, the progress bar, the message area, the status bar, the menus,
// the 500 ms clock timer. It opens the link at start-up and closes it at shutdown, and lends the
// pages its Shell, its command exchange and its instrument lock.
class MainWindow : public QMainWindow {
 public:
  static constexpr const char* kCaption = "Zelka 40100 Halvern 3.0";
  static constexpr const char* kApplicationTitle = "Halvern 3.0";
  static constexpr int kClientWidth = 570;
  static constexpr int kClientHeight = 671;
  static constexpr int kTimerIntervalMs = 500;

  enum class Page { Setup, Screens, UserProgram, Records, Tests, Calibration };

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

  Document& document() { return m_document; }
  WindowShell& shell() { return *m_shell; }
  CommandExchange& exchange() { return *m_exchange; }
  Link& link() { return m_context.link; }
  Clock& clock() { return m_context.clock; }
  const Calendar& calendar() const { return m_context.calendar; }
  KeyRouter& keyRouter() { return *m_keyRouter; }

  QTabWidget* pageControl() { return m_pages; }
  QWidget* page(Page page) const;
  Page currentPage() const;
  void showPage(Page page);
  // Replaces a page's empty frame with the page itself (the subsystems' pages).
  void setPageWidget(Page page, QWidget* widget);
  // Finds a page by its tab text or object name, case aside ("Setup", "user program").
  static std::optional<Page> pageByName(const QString& name);

  // The menu item of a handler ("ReconnectUSBClick"), or null.
  QAction* action(const std::string& handler) const;
  // Gives a menu item its handler and enables it; items of subsystems not built stay disabled.
  void setHandler(const std::string& handler, std::function<void()> run);
  bool hasHandler(const std::string& handler) const { return m_handlers.count(handler) > 0; }
  // The program editor's context menu.
  QMenu* programPopupMenu() const { return m_popupMenu; }
  QPlainTextEdit* messageArea() const { return m_messageArea; }
  QProgressBar* progressBar() const { return m_progress; }
  QLabel* statusLabel() const { return m_status; }

  // Buttons that start instrument operations: disabled while one runs.
  void registerInstrumentButton(QAbstractButton* button);
  // Held while an instrument operation runs: the Commands menu, the File menu's instrument
  // items and the instrument buttons are disabled, so no second command starts mid-exchange.
  class InstrumentLock {
   public:
    explicit InstrumentLock(MainWindow& window);
    ~InstrumentLock();
    InstrumentLock(const InstrumentLock&) = delete;
    InstrumentLock& operator=(const InstrumentLock&) = delete;

   private:
    MainWindow& m_window;
  };
  bool instrumentBusy() const { return m_lockDepth > 0; }

  // A file to open or save, asked of the user: the filter in the "Text|*.ext|Text|*.*" form.
  struct FileRequest {
    bool save = false;
    std::string filter;
    std::string defaultSuffix;
    std::string title = {};        // empty: the dialog's own
    std::string initialName = {};  // the file name field at first ("*.scr")
  };
  // Empty when the user cancelled. Tests answer through `setFileChooser`.
  QString chooseFile(const FileRequest& request);
  void setFileChooser(std::function<QString(const FileRequest&)> chooser) {
    m_fileChooser = std::move(chooser);
  }
  // "Setup Files (*.set)|*.set|All Files (*.*)|*.*" as a file dialog's filter.
  static QString dialogFilter(const std::string& filter);

  // Run on every tick of the 500 ms timer.
  void addClockListener(std::function<void()> listener);
  QTimer* timer() const { return m_timer; }

  // The settings read at start-up; the records page keeps its two in here.
  WindowSettings& settings() { return m_settings; }
  // Where a window at `frame` goes so it is on one of `screens`: unchanged when its title bar can
  // be reached on one, else moved onto the screen it overlaps most (the nearest when none).
  static QPoint placeOnScreens(const QRect& frame, const QList<QRect>& screens);

  // File > Reconnect USB.
  void reconnectUsbClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void buildClientArea();
  void lockInstrument(bool locked);
  void timer1Timer();
  void about1Click();

  Context m_context;
  Document m_document;
  WindowSettings m_settings;
  std::unique_ptr<WindowShell> m_shell;
  std::unique_ptr<CommandExchange> m_exchange;
  KeyRouter* m_keyRouter = nullptr;

  QTabWidget* m_pages = nullptr;
  std::vector<QWidget*> m_pageWidgets;
  QProgressBar* m_progress = nullptr;
  QPlainTextEdit* m_messageArea = nullptr;
  QPushButton* m_clearButton = nullptr;
  QLabel* m_status = nullptr;
  QTimer* m_timer = nullptr;
  QMenu* m_commandsMenu = nullptr;
  QMenu* m_popupMenu = nullptr;
  std::map<std::string, QAction*> m_actions;
  std::map<std::string, std::function<void()>> m_handlers;
  std::vector<QPointer<QAbstractButton>> m_instrumentButtons;
  std::vector<std::function<void()>> m_clockListeners;
  std::function<QString(const FileRequest&)> m_fileChooser;
  // Enabled state of each locked control before the lock.
  std::vector<std::pair<QPointer<QObject>, bool>> m_lockedStates;
  int m_lockDepth = 0;
};

}  // namespace halvern
