#include "app/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
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
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "app/about_dialog.h"
#include "app/key_router.h"
#include "app/menu_table.h"
#include "app/module.h"
#include "app/window_shell.h"
#include "link/command_exchange.h"
#include "link/instrument_command.h"
#include "link/usb_link.h"
#include "platform/link.h"

namespace halvern {

namespace {

// The window's own keys of the settings file: where it was closed.
constexpr const char* kTop = "Top";
constexpr const char* kLeft = "Left";
constexpr int kDefaultPosition = 100;

QAction* makeAction(const MenuItemDef& def, QObject* parent) {
  auto* action = new QAction(QString::fromUtf8(def.caption), parent);
  action->setObjectName(QString::fromUtf8(def.handlerName));
  if (def.shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(def.shortcut)));
  if (def.hint) {
    action->setStatusTip(QString::fromUtf8(def.hint));
    action->setToolTip(QString::fromUtf8(def.hint));
  }
  return action;
}

}  // namespace

MainWindow::MainWindow(Context context, QWidget* parent)
    : QMainWindow(parent),
      m_context(std::move(context)),
      m_folders(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) {
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
  m_shell->setHooks({[this] { refreshPages(); }, [this](bool running) { holdClockTimer(running); },
                     [this](bool busy) { setInstrumentBusy(busy); }});
  m_exchange = std::make_unique<CommandExchange>(m_context.link, m_context.clock, *m_shell);

  m_keyRouter = new KeyRouter([this] { m_shell->beep(BeepKind::Default); }, this);
  qApp->installEventFilter(m_keyRouter);

  // The client area is 570 x 671 below the menu bar.
  setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

  // Remembered settings: the window's own, then each module's, into its part of the document.
  Settings defaults{{kWindowSettingsSection, kTop, kDefaultPosition},
                    {kWindowSettingsSection, kLeft, kDefaultPosition}};
  for (const Module& module : Module::all())
    defaults.insert(defaults.end(), module.settings.begin(), module.settings.end());
  m_settings = SettingsFile::read(m_context.settingsPath, std::move(defaults));
  m_folders.load(SettingsFile::readSection(m_context.settingsPath, FileFolders::kSection));
  for (const Module& module : Module::all())
    if (module.loadSettings) module.loadSettings(m_document, m_settings);
  // The window where it was closed (on a screen).
  QList<QRect> displays;
  for (QScreen* display : QGuiApplication::screens()) displays.append(display->availableGeometry());
  const QPoint closedAt(SettingsFile::value(m_settings, kWindowSettingsSection, kLeft, 0),
                        SettingsFile::value(m_settings, kWindowSettingsSection, kTop, 0));
  move(placeOnScreens(QRect(closedAt, size()), displays));

  m_timer = new QTimer(this);
  m_timer->setInterval(kTimerIntervalMs);
  connect(m_timer, &QTimer::timeout, this, [this] { timer1Timer(); });
  m_timer->start();

  for (const Module& module : Module::all()) {
    module.install(*this);
    if (module.shownAtStart) showPage(module.page);
  }
  updateCommandStates();

  // The link last: a failure warns over the window, and start-up goes on.
  openUsbLink(*m_exchange, *m_shell);
  showBridgeInUse();
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(m_keyRouter);
  m_exchange.reset();
  // The pages go before the document they show (a member, gone before the widgets' own
  // destructor deletes its children).
  for (Tab& tab : m_tabs) delete tab.widget;
}

void MainWindow::buildClientArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 2);
  layout->setSpacing(4);

  m_pages = new QTabWidget(central);
  m_pages->setObjectName(QStringLiteral("PageControlMain"));
  layout->addWidget(m_pages, 1);

  m_progress = new QProgressBar(central);
  m_progress->setObjectName(QStringLiteral("ProgressBar"));
  m_progress->setRange(0, 100);
  m_progress->setValue(0);
  m_progress->setTextVisible(false);
  m_progress->setFixedHeight(14);
  // Beside the progress bar: stops the instrument operation that runs, at its next wait.
  m_cancelButton = new QPushButton(QStringLiteral("Cancel"), central);
  m_cancelButton->setObjectName(QStringLiteral("ButtonCancel"));
  m_cancelButton->setFixedHeight(20);
  m_cancelButton->setEnabled(false);
  m_cancelButton->setToolTip(QStringLiteral("Stop the running instrument operation."));
  connect(m_cancelButton, &QPushButton::clicked, this, [this] { m_shell->requestCancel(); });
  auto* progressRow = new QHBoxLayout;
  progressRow->setSpacing(4);
  progressRow->addWidget(m_progress, 1);
  progressRow->addWidget(m_cancelButton);
  layout->addLayout(progressRow);

  m_messageArea = new QPlainTextEdit(central);
  m_messageArea->setObjectName(QStringLiteral("Memo1"));
  m_messageArea->setReadOnly(true);
  m_messageArea->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_messageArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Lines are not wrapped: a table the instrument sends keeps its rows (its columns aligned).
  m_messageArea->setLineWrapMode(QPlainTextEdit::NoWrap);
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
  m_bridgeLabel = new QLabel(central);
  m_bridgeLabel->setObjectName(QStringLiteral("BridgeInUse"));
  m_bridgeLabel->hide();
  statusBar()->addPermanentWidget(m_bridgeLabel);
  statusBar()->setSizeGripEnabled(false);
}

void MainWindow::buildMenus() {
  std::vector<QMenu*> open;  // the menu at each level
  for (const MenuItemDef& def : kMainMenu) {
    const bool separator = std::string_view(def.caption) == "-";
    const auto level = static_cast<std::size_t>(def.level);
    open.resize(level);
    if (level == 0) {
      QMenu* menu = menuBar()->addMenu(QString::fromUtf8(def.caption));
      m_menus.emplace_back(menu->menuAction(), def.flags);
      open.push_back(menu);
      continue;
    }
    QMenu* parentMenu = open.back();
    if (separator) {
      parentMenu->addSeparator();
    } else if (!def.hasHandler) {
      QMenu* menu = parentMenu->addMenu(QString::fromUtf8(def.caption));
      m_menus.emplace_back(menu->menuAction(), def.flags);
      open.push_back(menu);
    } else {
      QAction* action = makeAction(def, this);
      const MenuHandler handler = def.handler;
      connect(action, &QAction::triggered, this, [this, handler] { triggered(handler); });
      parentMenu->addAction(action);
      m_entries[static_cast<std::size_t>(handler)].action = action;
      m_entries[static_cast<std::size_t>(handler)].flags = def.flags;
    }
  }

  m_popupMenu = new QMenu(this);
  m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
  for (const auto& def : kPopupMenu) {
    QAction* action = makeAction(def, m_popupMenu);
    // The page that pops the menu up keeps these enabled as its selection and clipboard allow.
    action->setEnabled(def.handler != MenuHandler::Paste1Click);
    m_popupMenu->addAction(action);
    m_entries[static_cast<std::size_t>(def.handler)].action = action;
    m_entries[static_cast<std::size_t>(def.handler)].popup = true;
  }

  setHandler(MenuHandler::ReconnectUSBClick, [this] { reconnectUsbClick(); });
  setHandler(MenuHandler::Exit1Click, [this] { close(); });
  setHandler(MenuHandler::About1Click, [this] { about1Click(); });
}

void MainWindow::triggered(MenuHandler handler) {
  const MenuEntry& entry = m_entries[static_cast<std::size_t>(handler)];
  if (!entry.handler) return;
  // A copy: the handler may replace itself.
  const auto run = entry.handler;
  run();
  refreshPages();
}

QWidget* MainWindow::page(Page page) const {
  for (const Tab& tab : m_tabs)
    if (tab.page == page) return tab.widget;
  return nullptr;
}

MainWindow::Page MainWindow::currentPage() const {
  const int index = m_pages->currentIndex();
  return index < 0 ? Page{} : m_tabs.at(static_cast<std::size_t>(index)).page;
}

void MainWindow::showPage(Page page) {
  for (std::size_t i = 0; i < m_tabs.size(); ++i)
    if (m_tabs[i].page == page) m_pages->setCurrentIndex(static_cast<int>(i));
}

void MainWindow::showPageOf(const void* part) {
  for (const Tab& tab : m_tabs)
    if (part != nullptr && tab.shows == part) showPage(tab.page);
}

void MainWindow::setPage(Page page, QWidget* widget, PageView* view, const void* shows) {
  widget->setObjectName(QString::fromUtf8(page.objectName));
  // In its module's place; a page no module declares goes last.
  const Module* module = Module::ofPage(page);
  const int place = module != nullptr ? module->order : std::numeric_limits<int>::max();
  const auto at = std::find_if(m_tabs.begin(), m_tabs.end(),
                               [place](const Tab& tab) { return tab.place > place; });
  const int index = static_cast<int>(at - m_tabs.begin());
  m_tabs.insert(at, Tab{page, place, widget, shows});
  m_pages->insertTab(index, widget, QString::fromUtf8(page.caption));
  if (view) m_views.push_back({widget, view});
}

std::optional<MainWindow::Page> MainWindow::pageByName(const QString& name) {
  const QString wanted = name.trimmed();
  for (const Module& module : Module::all()) {
    const Page& page = module.page;
    if (*page.caption == '\0') continue;
    if (wanted.compare(QString::fromUtf8(page.caption), Qt::CaseInsensitive) == 0 ||
        wanted.compare(QString::fromUtf8(page.objectName), Qt::CaseInsensitive) == 0)
      return page;
  }
  return std::nullopt;
}

void MainWindow::refreshPages() {
  // A page's refresh may process events; it is not entered twice.
  if (m_refreshing) return;
  m_refreshing = true;
  for (const auto& [widget, view] : m_views) {
    // A page is gone with its widget.
    if (widget) view->refresh();
  }
  m_refreshing = false;
}

void MainWindow::expandPages() {
  for (const auto& [widget, view] : m_views) {
    if (widget) view->expandAll();
  }
}

QAction* MainWindow::action(MenuHandler handler) const {
  return m_entries[static_cast<std::size_t>(handler)].action;
}

bool MainWindow::hasHandler(MenuHandler handler) const {
  return static_cast<bool>(m_entries[static_cast<std::size_t>(handler)].handler);
}

void MainWindow::setHandler(MenuHandler handler, std::function<void()> run) {
  m_entries[static_cast<std::size_t>(handler)].handler = std::move(run);
  updateCommandStates();
}

void MainWindow::setModified(bool modified) {
  setWindowTitle((modified ? QStringLiteral("*") : QString()) + QString::fromUtf8(kCaption));
}

void MainWindow::setAvailability(MenuHandler handler, std::function<bool()> available) {
  m_entries[static_cast<std::size_t>(handler)].available = std::move(available);
  updateCommandStates();
}

void MainWindow::setCheckHandler(MenuHandler handler, bool checked,
                                 std::function<void(bool checked)> toggled) {
  QAction* item = action(handler);
  item->setCheckable(true);
  item->setChecked(checked);
  setHandler(handler, [item, toggled = std::move(toggled)] { toggled(item->isChecked()); });
}

void MainWindow::registerInstrumentButton(QAbstractButton* button, std::function<bool()> wanted) {
  m_instrumentButtons.push_back({button, std::move(wanted)});
  updateCommandStates();
}

void MainWindow::setEditing(bool editing) {
  m_editing = editing;
  updateCommandStates();
}

void MainWindow::updateCommandStates() {
  const bool busy = m_lockDepth > 0;
  auto allowed = [&](std::uint8_t flags) {
    return !(busy && (flags & (kInstrument | kFileLocked))) &&
           !(m_editing && (flags & kEditLocked));
  };
  for (const MenuEntry& entry : m_entries) {
    if (entry.action && !entry.popup)
      entry.action->setEnabled(static_cast<bool>(entry.handler) && allowed(entry.flags) &&
                               (!entry.available || entry.available()));
  }
  for (const auto& [menu, flags] : m_menus) menu->setEnabled(allowed(flags));
  for (const InstrumentButton& b : m_instrumentButtons) {
    if (b.button) b.button->setEnabled(!busy && (!b.wanted || b.wanted()));
  }
  m_cancelButton->setEnabled(busy);
}

CommandResult MainWindow::runCommand(Page shown, const InstrumentCommand& command) {
  if (m_exchange->linkOpen()) showPage(shown);
  const CommandResult result = runInstrumentCommand(
      *m_exchange, *m_shell, command.sends.any() && m_sendGuard ? m_sendGuard(command) : command);
  refreshPages();
  return result;
}

QAbstractButton* MainWindow::clearMessageButton() const { return m_clearButton; }

void MainWindow::setInstrumentBusy(bool busy) {
  if (busy) {
    if (m_lockDepth++ == 0) {
      // Disabling the pressed button sends the keyboard on to the next control; it comes back
      // when the operation ends.
      m_focusBefore = focusWidget();
      m_shell->clearCancel();
      updateCommandStates();
    }
  } else if (m_lockDepth > 0 && --m_lockDepth == 0) {
    updateCommandStates();
    restoreFocus();
  }
}

void MainWindow::restoreFocus() {
  QWidget* before = m_focusBefore;
  m_focusBefore = nullptr;
  // Not into a dialog still open over the window, nor onto a page no longer shown: the
  // keyboard then stays where the toolkit put it.
  if (before == nullptr || before->window() != this || !before->isVisible() ||
      !before->isEnabled() || QApplication::activeModalWidget() != nullptr)
    return;
  // Not as a Tab arrives: a field's text is not selected, so the next key does not replace it.
  before->setFocus(Qt::OtherFocusReason);
}

void MainWindow::holdClockTimer(bool running) {
  if (!running) {
    if (m_clockHolds++ == 0) m_timer->stop();
  } else if (m_clockHolds > 0 && --m_clockHolds == 0) {
    m_timer->start();
  }
}

QString MainWindow::dialogFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList entries;
  // Pairs of caption and pattern; the caption already names the pattern.
  for (int i = 0; i + 1 < parts.size(); i += 2) entries << parts[i];
  return entries.join(QStringLiteral(";;"));
}

std::string MainWindow::fileKind(const FileRequest& request) {
  if (!request.kind.empty()) return request.kind;
  return request.defaultSuffix.empty() ? std::string("file") : request.defaultSuffix;
}

QString MainWindow::chooseFile(const FileRequest& request) {
  const QString chosen = m_fileChooser ? m_fileChooser(request) : runFileDialog(request);
  if (chosen.isEmpty()) return chosen;
  m_folders.remember(fileKind(request), chosen, request.memberKinds);
  // Kept at once, not only at close: a session that ends otherwise still remembers it. The
  // rest of the file stays as it is.
  if (m_context.writeSettingsOnClose) {
    Settings folders;
    m_folders.save(folders);
    SettingsFile::write(m_context.settingsPath, folders);
  }
  return chosen;
}

QString MainWindow::runFileDialog(const FileRequest& request) {
  QFileDialog dialog(this);
  if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
  dialog.setDirectory(m_folders.startFolder(fileKind(request)));
  if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
  dialog.setNameFilter(dialogFilter(request.filter));
  dialog.setNameFilters(dialogFilter(request.filter).split(QStringLiteral(";;")));
  if (request.save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    if (!request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
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

QPoint MainWindow::placeOnScreens(const QRect& frame, const QList<QRect>& displays) {
  if (displays.isEmpty()) return frame.topLeft();
  // Reachable: a strip of the title bar, 100 x 20 pixels from the left edge, lies on a screen.
  const QRect titleBar(frame.left(), frame.top(), std::min(frame.width(), 100), 20);
  for (const QRect& s : displays)
    if (s.contains(titleBar)) return frame.topLeft();

  // The screen it overlaps most; when it overlaps none, the nearest.
  auto distance = [&frame](const QRect& s) {
    const int dx = std::max({s.left() - frame.left(), 0, frame.left() - s.right()});
    const int dy = std::max({s.top() - frame.top(), 0, frame.top() - s.bottom()});
    return 1LL * dx * dx + 1LL * dy * dy;
  };
  const QRect* best = &displays.front();
  long long bestArea = -1;
  long long bestDistance = 0;
  for (const QRect& s : displays) {
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
  InstrumentSession session(*m_shell, false);
  reconnectUsb(*m_exchange, *m_shell);
  showBridgeInUse();
}

void MainWindow::showBridgeInUse() {
  const std::optional<BridgeReport> bridge = m_context.link.bridgeReport();
  const bool several = bridge.has_value() && m_context.link.isOpen() && bridge->bridgesFound > 1 &&
                       bridge->inUse.has_value();
  m_bridgeLabel->setText(
      several ? QStringLiteral("Bridge %1").arg(QString::fromStdString(*bridge->inUse))
              : QString());
  m_bridgeLabel->setVisible(several);
}

void MainWindow::runDialog(QDialog& dialog) {
  dialog.move(WindowShell::centredOver(frameGeometry(), dialog.frameGeometry().size()));
  dialog.exec();
}

void MainWindow::setConnectionHelp(std::function<void()> help) {
  m_shell->setConnectionHelp(std::move(help));
}

void MainWindow::about1Click() {
  AboutDialog about(this);
  about.adjustSize();
  runDialog(about);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // While an operation that must not be interrupted runs, closing is asked first.
  if (!m_shell->closeQuestion().empty() &&
      m_shell->message(m_shell->closeQuestion(), MessageKind::Warning, MessageButtons::YesNo) !=
          MessageResult::Yes) {
    event->ignore();
    return;
  }
  for (const auto& mayClose : m_closeChecks) {
    if (!mayClose()) {
      event->ignore();
      return;
    }
  }
  SettingsFile::set(m_settings, kWindowSettingsSection, kLeft, pos().x());
  SettingsFile::set(m_settings, kWindowSettingsSection, kTop, pos().y());
  for (const Module& module : Module::all())
    if (module.saveSettings) module.saveSettings(m_document, m_settings);
  m_folders.save(m_settings);
  if (m_context.writeSettingsOnClose) SettingsFile::write(m_context.settingsPath, m_settings);
  if (m_context.link.isOpen()) m_context.link.close();
  m_timer->stop();
  event->accept();
}

}  // namespace halvern
