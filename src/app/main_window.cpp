#include "app/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/about_dialog.h"
#include "app/key_router.h"
#include "app/menu_table.h"
#include "app/pages.h"
#include "app/window_shell.h"
#include "link/command_exchange.h"
#include "link/link.h"
#include "link/usb_link.h"

namespace halvern {

namespace {

struct PageDef {
  const char* caption;
  const char* objectName;
};
constexpr PageDef kPages[] = {
    {"Setup", "TabSheetSetup"},          {"Screens", "TabSheetScreen"},
    {"User Program", "TabSheetUserPgm"}, {"Get Records", "TabSheetRecords"},
    {"Tests", "TabSheetTests"},          {"Calibration", "TabSheetCalib"},
};

QAction* makeAction(const MenuItemDef& def, QObject* parent) {
  auto* action = new QAction(QString::fromUtf8(def.caption), parent);
  action->setObjectName(QString::fromUtf8(def.handler));
  if (def.shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(def.shortcut)));
  if (def.hint) {
    action->setStatusTip(QString::fromUtf8(def.hint));
    action->setToolTip(QString::fromUtf8(def.hint));
  }
  return action;
}

}  // namespace

MainWindow::MainWindow(Context context, QWidget* parent)
    : QMainWindow(parent), m_context(std::move(context)) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QString::fromUtf8(kCaption));
  // A fixed window: no maximise, no resizing.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);

  // A compact face, as the instrument's technicians know the window.
  QFont face = font();
  face.setPointSize(8);
  setFont(face);

  buildClientArea();
  buildMenus();
  m_shell = std::make_unique<WindowShell>(this, m_messageArea, m_progress, m_status);
  if (m_context.boxAnswerer) m_shell->setBoxAnswerer(m_context.boxAnswerer);
  m_exchange = std::make_unique<CommandExchange>(m_context.link, m_context.clock, *m_shell);

  m_keyRouter = new KeyRouter([this] { return currentPage() == Page::Screens; },
                              [this] { m_shell->beep(BeepKind::Default); }, this);
  qApp->installEventFilter(m_keyRouter);

  // The client area is 570 x 671 below the menu bar.
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

  // Remembered settings, then the window where it was closed (on a screen).
  m_settings = SettingsFile::read(m_context.settingsPath);
  QList<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) screens.append(screen->availableGeometry());
  move(placeOnScreens(QRect(QPoint(m_settings.left, m_settings.top), size()), screens));

  m_timer = new QTimer(this);
  m_timer->setInterval(kTimerIntervalMs);
  connect(m_timer, &QTimer::timeout, this, [this] { timer1Timer(); });
  m_timer->start();

  installPages(*this);
  showPage(Page::UserProgram);

  // The link last: a failure warns over the window, and start-up goes on.
  openUsbLink(m_context.link, m_context.clock, *m_shell);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(m_keyRouter);
  m_exchange.reset();
}

void MainWindow::buildClientArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 2);
  layout->setSpacing(4);

  m_pages = new QTabWidget(central);
  m_pages->setObjectName(QStringLiteral("PageControlMain"));
  for (const auto& def : kPages) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromUtf8(def.objectName));
    m_pages->addTab(page, QString::fromUtf8(def.caption));
    m_pageWidgets.push_back(page);
  }
  layout->addWidget(m_pages, 1);

  m_progress = new QProgressBar(central);
  m_progress->setObjectName(QStringLiteral("ProgressBar"));
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_progress->setTextVisible(false);
  m_progress->setFixedHeight(14);
  layout->addWidget(m_progress);

  m_messageArea = new QPlainTextEdit(central);
  m_messageArea->setObjectName(QStringLiteral("Memo1"));
  m_messageArea->setReadOnly(true);
  m_messageArea->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_messageArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_messageArea->setFocusPolicy(Qt::ClickFocus);  // skipped by Tab
  m_messageArea->setFixedHeight(112);
  QFont mono(QStringLiteral("DejaVu Sans Mono"));
  mono.setStyleHint(QFont::Monospace);
  mono.setPointSize(9);
  m_messageArea->setFont(mono);
  layout->addWidget(m_messageArea);

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  m_clearButton = new QPushButton(QStringLiteral("Clear Message Area"), central);
  m_clearButton->setObjectName(QStringLiteral("ButtonClearMemo"));
  connect(m_clearButton, &QPushButton::clicked, this, [this] { m_messageArea->clear(); });
  row->addWidget(m_clearButton);
  layout->addLayout(row);
  setCentralWidget(central);

  m_status = new QLabel(QStringLiteral(" "));
  m_status->setObjectName(QStringLiteral("StatusBar1"));
  statusBar()->addWidget(m_status, 1);
  statusBar()->setSizeGripEnabled(false);
}

void MainWindow::buildMenus() {
  std::vector<QMenu*> open;  // the menu at each level
  for (std::size_t i = 0; i < std::size(kMainMenu); ++i) {
    const MenuItemDef& def = kMainMenu[i];
    const bool opensSubmenu = !def.handler && std::string_view(def.caption) != "-";
    const auto level = static_cast<std::size_t>(def.level);
    open.resize(level);
    if (level == 0) {
      QMenu* menu = menuBar()->addMenu(QString::fromUtf8(def.caption));
      if (std::string_view(def.caption) == "&Commands") m_commandsMenu = menu;
      open.push_back(menu);
      continue;
    }
    QMenu* parentMenu = open.back();
    if (std::string_view(def.caption) == "-") {
      parentMenu->addSeparator();
    } else if (opensSubmenu) {
      open.push_back(parentMenu->addMenu(QString::fromUtf8(def.caption)));
    } else {
      QAction* action = makeAction(def, this);
      // Until a subsystem gives it a handler, the item is there but disabled.
      action->setEnabled(false);
      const std::string handler = def.handler;
      connect(action, &QAction::triggered, this, [this, handler] {
        auto it = m_handlers.find(handler);
        if (it != m_handlers.end() && it->second) it->second();
      });
      parentMenu->addAction(action);
      m_actions[handler] = action;
    }
  }

  m_popupMenu = new QMenu(this);
  m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
  for (const auto& def : kProgramPopupMenu) {
    QAction* action = makeAction(def, m_popupMenu);
    action->setEnabled(std::string_view(def.handler) != "Paste1Click");
    m_popupMenu->addAction(action);
    m_actions[def.handler] = action;
  }

  setHandler("ReconnectUSBClick", [this] { reconnectUsbClick(); });
  setHandler("Exit1Click", [this] { close(); });
  setHandler("About1Click", [this] { about1Click(); });
}

QWidget* MainWindow::page(Page page) const {
  return m_pageWidgets.at(static_cast<std::size_t>(page));
}

MainWindow::Page MainWindow::currentPage() const {
  return static_cast<Page>(m_pages->currentIndex());
}

void MainWindow::showPage(Page page) { m_pages->setCurrentIndex(static_cast<int>(page)); }

void MainWindow::setPageWidget(Page page, QWidget* widget) {
  const int index = static_cast<int>(page);
  const bool shown = m_pages->currentIndex() == index;
  QWidget* old = m_pageWidgets.at(static_cast<std::size_t>(index));
  widget->setObjectName(old->objectName());
  m_pages->removeTab(index);
  m_pages->insertTab(index, widget, QString::fromUtf8(kPages[index].caption));
  m_pageWidgets[static_cast<std::size_t>(index)] = widget;
  old->deleteLater();
  if (shown) m_pages->setCurrentIndex(index);
}

std::optional<MainWindow::Page> MainWindow::pageByName(const QString& name) {
  const QString wanted = name.trimmed();
  for (int i = 0; i < static_cast<int>(std::size(kPages)); ++i) {
    if (wanted.compare(QString::fromUtf8(kPages[i].caption), Qt::CaseInsensitive) == 0 ||
        wanted.compare(QString::fromUtf8(kPages[i].objectName), Qt::CaseInsensitive) == 0)
      return static_cast<Page>(i);
  }
  return std::nullopt;
}

QAction* MainWindow::action(const std::string& handler) const {
  auto it = m_actions.find(handler);
  return it == m_actions.end() ? nullptr : it->second;
}

void MainWindow::setHandler(const std::string& handler, std::function<void()> run) {
  QAction* a = action(handler);
  if (!a) return;
  m_handlers[handler] = std::move(run);
  if (m_lockDepth == 0) {
    a->setEnabled(true);
  } else {
    // Enabled once the running operation lets go.
    for (auto& [object, enabled] : m_lockedStates)
      if (object == a) enabled = true;
  }
}

void MainWindow::registerInstrumentButton(QAbstractButton* button) {
  m_instrumentButtons.emplace_back(button);
  if (m_lockDepth > 0) {
    m_lockedStates.emplace_back(button, button->isEnabled());
    button->setEnabled(false);
  }
}

MainWindow::InstrumentLock::InstrumentLock(MainWindow& window) : m_window(window) {
  if (m_window.m_lockDepth++ == 0) {
    m_window.m_shell->clearCancel();
    m_window.lockInstrument(true);
  }
}

MainWindow::InstrumentLock::~InstrumentLock() {
  if (--m_window.m_lockDepth == 0) m_window.lockInstrument(false);
}

void MainWindow::lockInstrument(bool locked) {
  if (locked) {
    m_lockedStates.clear();
    auto lock = [this](QObject* object, bool enabled) {
      m_lockedStates.emplace_back(object, enabled);
    };
    for (const char* handler : kInstrumentHandlers) {
      if (QAction* a = action(handler)) {
        lock(a, a->isEnabled());
        a->setEnabled(false);
      }
    }
    lock(m_commandsMenu->menuAction(), m_commandsMenu->menuAction()->isEnabled());
    m_commandsMenu->menuAction()->setEnabled(false);
    for (auto& button : m_instrumentButtons) {
      if (!button) continue;
      lock(button, button->isEnabled());
      button->setEnabled(false);
    }
    return;
  }
  for (auto& [object, enabled] : m_lockedStates) {
    if (!object) continue;
    if (auto* a = qobject_cast<QAction*>(object.data())) a->setEnabled(enabled);
    if (auto* w = qobject_cast<QWidget*>(object.data())) w->setEnabled(enabled);
  }
  m_lockedStates.clear();
}

QString MainWindow::dialogFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList entries;
  // Pairs of caption and pattern; the caption already names the pattern.
  for (int i = 0; i + 1 < parts.size(); i += 2) entries << parts[i];
  return entries.join(QStringLiteral(";;"));
}

QString MainWindow::chooseFile(const FileRequest& request) {
  if (m_fileChooser) return m_fileChooser(request);
  QFileDialog dialog(this);
  if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
  if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
  dialog.setNameFilter(dialogFilter(request.filter));
  dialog.setNameFilters(dialogFilter(request.filter).split(QStringLiteral(";;")));
  if (request.save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void MainWindow::addClockListener(std::function<void()> listener) {
  m_clockListeners.push_back(std::move(listener));
}

void MainWindow::timer1Timer() {
  for (auto& listener : m_clockListeners) listener();
}

QPoint MainWindow::placeOnScreens(const QRect& frame, const QList<QRect>& screens) {
  if (screens.isEmpty()) return frame.topLeft();
  // Reachable: a strip of the title bar, 100 x 20 pixels from the left edge, lies on a screen.
  const QRect titleBar(frame.left(), frame.top(), std::min(frame.width(), 100), 20);
  for (const QRect& s : screens)
    if (s.contains(titleBar)) return frame.topLeft();

  // The screen it overlaps most; when it overlaps none, the nearest.
  auto distance = [&frame](const QRect& s) {
    const int dx = std::max({s.left() - frame.left(), 0, frame.left() - s.right()});
    const int dy = std::max({s.top() - frame.top(), 0, frame.top() - s.bottom()});
    return 1LL * dx * dx + 1LL * dy * dy;
  };
  const QRect* best = &screens.front();
  long long bestArea = -1;
  long long bestDistance = 0;
  for (const QRect& s : screens) {
    const QRect overlap = s.intersected(frame);
    const long long area = overlap.isEmpty() ? 0 : 1LL * overlap.width() * overlap.height();
    const long long d = distance(s);
    if (area > bestArea || (area == 0 && bestArea == 0 && d < bestDistance)) {
      bestArea = area;
      bestDistance = d;
      best = &s;
    }
  }
  const int x = std::clamp(frame.left(), best->left(),
                           std::max(best->left(), best->right() + 1 - frame.width()));
  const int y = std::clamp(frame.top(), best->top(),
                           std::max(best->top(), best->bottom() + 1 - frame.height()));
  return QPoint(x, y);
}

void MainWindow::reconnectUsbClick() {
  InstrumentLock lock(*this);
  reconnectUsb(m_context.link, m_context.clock, *m_shell);
}

void MainWindow::about1Click() {
  AboutDialog about(this);
  about.adjustSize();
  about.move(WindowShell::centredOver(frameGeometry(), about.frameGeometry().size()));
  about.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing is never refused.
  m_settings.left = pos().x();
  m_settings.top = pos().y();
  if (m_context.writeSettingsOnClose) SettingsFile::write(m_context.settingsPath, m_settings);
  if (m_context.link.isOpen()) m_context.link.close();
  m_timer->stop();
  event->accept();
}

}  // namespace halvern
