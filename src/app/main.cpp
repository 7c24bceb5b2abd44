#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/window_shell.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "link/serial_link.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"

namespace {

constexpr const char* kUsage =
    "Usage: halvern [--simulate | --port DEVICE] [--screenshot FILE.png [--page NAME]]\n"
    "               [--open-program FILE.pgm]\n"
    "\n"
    "  --simulate          run against the built-in simulated instrument\n"
    "  --port DEVICE       use this serial device instead of finding the bridge\n"
    "                      \"ZELKA 40100 USB\" by its description (also HALVERN_PORT)\n"
    "  --screenshot FILE   start, show the page, save a picture of the window, exit\n"
    "  --page NAME         the page to show: Setup, Screens, \"User Program\",\n"
    "                      \"Get Records\", Tests, Calibration\n"
    "  --open-program FILE open this program file at start, as File > Open User Pgm\n"
    "                      File... does, and expand its tree\n";

// An exception that escapes a handler is shown in a box, and the program goes on.
class HalvernApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      QMessageBox::critical(activeWindow(), QString::fromUtf8(halvern::MainWindow::kCaption),
                            QString::fromLocal8Bit(e.what()));
    } catch (...) {
      QMessageBox::critical(activeWindow(), QString::fromUtf8(halvern::MainWindow::kCaption),
                            QStringLiteral("An unexpected error occurred."));
    }
    return false;
  }
};

struct Options {
  bool simulate = false;
  std::string port;
  std::string screenshot;
  std::string page;
  std::string openProgram;
};

}  // namespace

int main(int argc, char** argv) {
  HalvernApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("halvern"));

  Options options;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i].toStdString();
      return true;
    };
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--simulate") {
      options.simulate = true;
    } else if (a == "--port") {
      if (!value(options.port)) return std::fputs(kUsage, stderr), 2;
    } else if (a == "--screenshot") {
      if (!value(options.screenshot)) return std::fputs(kUsage, stderr), 2;
    } else if (a == "--page") {
      if (!value(options.page)) return std::fputs(kUsage, stderr), 2;
    } else if (a == "--open-program") {
      if (!value(options.openProgram)) return std::fputs(kUsage, stderr), 2;
    } else {
      std::fprintf(stderr, "halvern: unknown option '%s'\n%s", a.toLocal8Bit().constData(), kUsage);
      return 2;
    }
  }
  if (options.port.empty())
    if (const char* env = std::getenv("HALVERN_PORT")) options.port = env;

  std::optional<halvern::MainWindow::Page> page;
  if (!options.page.empty()) {
    page = halvern::MainWindow::pageByName(QString::fromStdString(options.page));
    if (!page) {
      std::fprintf(stderr, "halvern: no page called '%s'\n", options.page.c_str());
      return 2;
    }
  }

  halvern::SystemClock clock;
  halvern::SystemCalendar calendar;
  std::unique_ptr<halvern::sim::SimulatedInstrument> instrument;
  std::unique_ptr<halvern::Link> link;
  if (options.simulate) {
    instrument = std::make_unique<halvern::sim::SimulatedInstrument>(calendar, clock);
    link = std::make_unique<halvern::sim::SimulatedLink>(*instrument, clock);
  } else {
    link = std::make_unique<halvern::SerialLink>(clock, options.port);
  }

  const bool screenshot = !options.screenshot.empty();
  halvern::MainWindow::Context context{
      *link, clock, calendar, halvern::SettingsFile::defaultPath(), !screenshot, {}};
  if (screenshot) {
    // Boxes would wait for a click nobody gives: they are reported and answered at once.
    context.boxAnswerer = [](std::string_view text, halvern::MessageKind,
                             halvern::MessageButtons buttons) {
      std::fprintf(stderr, "halvern: %.*s\n", static_cast<int>(text.size()), text.data());
      return buttons == halvern::MessageButtons::Ok ? halvern::MessageResult::Ok
                                                    : halvern::MessageResult::No;
    };
  }
  auto window = std::make_unique<halvern::MainWindow>(std::move(context));
  if (auto* serial = dynamic_cast<halvern::SerialLink*>(link.get())) {
    serial->setOnDeviceLost([w = window.get()] { w->shell().setStatus("USB port closed"); });
  }
  if (!options.openProgram.empty()) {
    // The menu command itself, its file dialog answered with the given name.
    const QString path = QString::fromStdString(options.openProgram);
    window->setFileChooser([path](const halvern::MainWindow::FileRequest&) { return path; });
    if (QAction* open = window->action(halvern::MenuHandler::OpenPgmFileClick)) open->trigger();
    window->setFileChooser(nullptr);
    if (auto* expand = window->findChild<QPushButton*>(QStringLiteral("ButtonExpand")))
      expand->click();
  }
  if (page) window->showPage(*page);
  window->show();

  if (screenshot) {
    const QString file = QString::fromStdString(options.screenshot);
    QTimer::singleShot(400, window.get(), [file, &window, &options] {
      const bool saved = window->grab().save(file);
      if (!saved) std::fprintf(stderr, "halvern: cannot write %s\n", options.screenshot.c_str());
      window->close();
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return app.exec();
}
