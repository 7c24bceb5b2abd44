#include <CLI/CLI.hpp>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/bridge_chooser.h"
#include "app/main_window.h"
#include "app/module.h"
#include "app/settings_file.h"
#include "app/window_shell.h"
#include "link/serial_link.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/record_log.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"

namespace {

constexpr const char* kDescription =
    "The Model 40100 configuration window, against the instrument behind its USB bridge\n"
    "\"ZELKA 40100 USB\", a given serial device, or the built-in simulated instrument.";
// The widest line of an option's help.
constexpr std::size_t kHelpWidth = 66;

// An exception that escapes a handler is shown in a box, and the program goes on.
class HalvernApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    if (event->type() == QEvent::Hide && receiver->isWidgetType()) returnFocusFrom(receiver);
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

 private:
  // A modal dialog that closes hands the keyboard back to the window it belongs to; some window
  // managers leave it with nobody, and the window no longer answers its shortcuts.
  static void returnFocusFrom(QObject* receiver) {
    auto* dialog = static_cast<QWidget*>(receiver);
    if (!dialog->isWindow() || !dialog->isModal() || dialog->parentWidget() == nullptr) return;
    QPointer<QWidget> owner = dialog->parentWidget()->window();
    QTimer::singleShot(0, owner, [owner] {
      if (owner && owner->isVisible() && QApplication::activeModalWidget() == nullptr &&
          QApplication::activeWindow() == nullptr)
        owner->activateWindow();
    });
  }
};

// The pages --page takes, as their tabs read: "Setup, Screens, \"User Program\", ...", broken
// into lines for the help's column.
std::string pageNames() {
  std::string names = "the page to show: ";
  std::size_t lineStart = 0;
  bool first = true;
  for (const halvern::Module& module : halvern::Module::all()) {
    const std::string caption = module.page.caption;
    if (caption.empty()) continue;
    const std::string name = caption.find(' ') == std::string::npos ? caption : '"' + caption + '"';
    if (!first) names += ",";
    if (!first && names.size() + 1 + name.size() - lineStart > kHelpWidth) {
      names += "\n";
      lineStart = names.size();
    } else if (!first) {
      names += " ";
    }
    names += name;
    first = false;
  }
  return names;
}

struct Options {
  bool simulate = false;
  std::string port;
  std::string screenshot;
  std::string page;
  std::string openProgram;
  std::string dialect = "standard";
  std::size_t records = halvern::sim::RecordLog::kDefaultCount;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string pageHelp = pageNames();
  CLI::App parser(kDescription, "halvern");
  parser.get_formatter()->column_width(26);
  parser.add_flag("--simulate", options.simulate, "run against the built-in simulated instrument");
  const struct {
    const char* name;
    std::string& value;
    const char* type;
    const char* help;
  } valued[] = {
      {"--port", options.port, "DEVICE",
       "use this serial device instead of finding the bridge by its\n"
       "description (also HALVERN_PORT)"},
      {"--screenshot", options.screenshot, "FILE.png",
       "start, show the page, save a picture of the window, exit"},
      {"--page", options.page, "NAME", pageHelp.c_str()},
      {"--open-program", options.openProgram, "FILE.pgm",
       "open this program file at start, as File > Open User Pgm File...\n"
       "does, and expand its tree"},
      {"--dialect", options.dialect, "NAME",
       "with --simulate: how the simulated instrument words its replies\n"
       "(standard, terse, zeros, mixed[:SEED])"},
  };
  for (const auto& o : valued) parser.add_option(o.name, o.value, o.help)->type_name(o.type);
  CLI::Option* records =
      parser
          .add_option("--records", options.records,
                      "with --simulate: the records the simulated instrument has logged,\n"
                      "0 to " +
                          std::to_string(halvern::sim::RecordLog::kMaxCount) + " (" +
                          std::to_string(halvern::sim::RecordLog::kDefaultCount) + " unless given)")
          ->type_name("N")
          ->check(CLI::Range(std::size_t{0}, halvern::sim::RecordLog::kMaxCount).description(""));

  // Help needs no display: it is given before Qt looks for one.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(parser.help().c_str(), stdout);
      return 0;
    }
  }
  // Without a display Qt would abort; say so, and where the headless tool is.
  const bool platformNamed =
      std::getenv("QT_QPA_PLATFORM") != nullptr ||
      std::any_of(argv + 1, argv + argc, [](const char* a) {
        return std::strcmp(a, "-platform") == 0 || std::strcmp(a, "--platform") == 0;
      });
  if (!platformNamed && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr) {
    std::fputs(
        "halvern: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "Run halvern-cli for the same operations from a terminal.\n",
        stderr);
    return 1;
  }

  HalvernApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("halvern"));
  // The desktop entry's id, so that the desktop ties the window to its entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.halvern.Halvern"));

  // What is left once Qt has taken its own options (-platform and the like).
  std::vector<std::string> words;
  for (const QString& a : QApplication::arguments().mid(1)) words.push_back(a.toStdString());
  std::reverse(words.begin(), words.end());  // CLI11 takes them last first
  try {
    parser.parse(words);
  } catch (const CLI::CallForHelp&) {
    std::fputs(parser.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "halvern: %s\nTry 'halvern --help'.\n", e.what());
    return 2;
  }
  if (records->count() > 0 && !options.simulate) {
    std::fputs("halvern: --records needs --simulate\nTry 'halvern --help'.\n", stderr);
    return 2;
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
  halvern::SerialLink* serialLink = nullptr;  // the link, when it is the serial port's
  if (options.simulate) {
    instrument = std::make_unique<halvern::sim::SimulatedInstrument>(calendar, clock);
    if (const std::string error = instrument->dialect().choose(options.dialect); !error.empty()) {
      std::fprintf(stderr, "halvern: --dialect %s: %s\n", options.dialect.c_str(), error.c_str());
      return 2;
    }
    instrument->recordLog().setCount(options.records);
    link = std::make_unique<halvern::sim::SimulatedLink>(*instrument, clock);
  } else {
    auto serial = std::make_unique<halvern::SerialLink>(clock, options.port);
    serialLink = serial.get();
    // Several bridges: the user picks one (a screenshot takes the first).
    serial->setBridgeChooser(
        [screenshot = !options.screenshot.empty()](
            const std::vector<halvern::Bridge>& bridges) -> std::optional<std::size_t> {
          if (screenshot) return 0;
          return halvern::askForBridge(QApplication::activeWindow(), bridges);
        });
    link = std::move(serial);
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
  if (serialLink != nullptr) {
    serialLink->setOnDeviceLost([w = window.get()] { w->shell().setStatus("USB port closed"); });
  }
  if (!options.openProgram.empty()) {
    // The menu command itself, its file dialog answered with the given name.
    const QString path = QString::fromStdString(options.openProgram);
    window->setFileChooser([path](const halvern::MainWindow::FileRequest&) { return path; });
    if (QAction* open = window->action(halvern::MenuHandler::OpenPgmFileClick)) open->trigger();
    window->setFileChooser(nullptr);
    window->expandPages();
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
