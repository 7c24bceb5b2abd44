// The screens commands: read the instrument's screens into a screen file, send a screen file, and
// draw a screen file as the display shows it.
#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "screens/bitmap.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "screens/screen_file.h"
#include "screens/screen_render.h"
#include "screens/screen_commands.h"

namespace halvern::cli {

namespace {

// Between screens drawn one above the other: a dark grey rule, as the display's bezel.
constexpr int kSeparator = 4;
constexpr std::uint32_t kBezel = 0xFF303030;

bool isOption(const std::string& a) { return !a.empty() && a[0] == '-'; }

int commandGetScreens(CliApp& app, const std::vector<std::string>& args) {
  if (args.size() != 1 || isOption(args[0]))
    return app.usageError("get screens takes one FILE.scr");
  if (!app.connect()) return kExitFailed;
  ScreenBuffer screens;
  const auto result = runInstrumentCommand(app.exchange(), app.shell(), getScreensCommand(screens));
  if (result != CommandResult::Done) return exitStatus(result);
  const std::string problem = saveScreenFile(args[0], screens);
  if (!problem.empty()) {
    std::fprintf(app.err(), "error: %s\n", problem.c_str());
    return kExitUsage;
  }
  std::fprintf(app.err(), "screens written to %s\n", args[0].c_str());
  return kExitOk;
}

int commandSendScreens(CliApp& app, const std::vector<std::string>& args) {
  if (args.size() != 1 || isOption(args[0]))
    return app.usageError("send screens takes one FILE.scr");
  // The file is read before the instrument is touched.
  ScreenBuffer screens;
  const std::string problem = loadScreenFile(args[0], screens);
  if (!problem.empty()) {
    std::fprintf(app.err(), "error: %s\n", problem.c_str());
    return kExitUsage;
  }
  if (!app.connect()) return kExitFailed;
  return exitStatus(
      runInstrumentCommand(app.exchange(), app.shell(), sendScreensCommand(screens)));
}

int commandRenderScreens(CliApp& app, const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  int only = 0;  // 0: all eight
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--screen") {
      const std::string value = i + 1 < args.size() ? args[++i] : std::string();
      if (value.size() != 1 || value[0] < '1' || value[0] > '8')
        return app.usageError("--screen needs a screen number 1 to 8");
      only = value[0] - '0';
    } else if (isOption(args[i])) {
      return app.usageError("screens render: unknown option '" + args[i] + "'");
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) return app.usageError("screens render takes FILE.scr and OUT.png");

  ScreenBuffer screens;
  const std::string problem = loadScreenFile(paths[0], screens);
  if (!problem.empty()) {
    std::fprintf(app.err(), "error: %s\n", problem.c_str());
    return kExitUsage;
  }
  const int first = only ? only - 1 : 0;
  const int count = only ? 1 : ScreenBuffer::kScreens;
  const int step = screen_image::kCellsHeight + kSeparator;
  Bitmap picture(screen_image::kWidth, count * step - kSeparator, kBezel);
  Bitmap one(screen_image::kWidth, screen_image::kCellsHeight);
  for (int n = 0; n < count; ++n) {
    drawScreen(one, screens, first + n);
    for (int y = 0; y < one.height(); ++y)
      for (int x = 0; x < one.width(); ++x) picture.setPixel(x, n * step + y, one.pixel(x, y));
  }
  if (!toImage(picture).save(QString::fromStdString(paths[1]), "PNG")) {
    std::fprintf(app.err(), "error: cannot write the picture %s\n", paths[1].c_str());
    return kExitUsage;
  }
  std::fprintf(app.out(), "%s written (%d x %d)\n", paths[1].c_str(), picture.width(),
               picture.height());
  return kExitOk;
}

const CliCommand::Registration kGetScreens{
    {"get screens", "FILE.scr",
     "read the instrument's eight screens and write them to a screen file (1920 bytes)",
     &commandGetScreens}};
const CliCommand::Registration kSendScreens{{"send screens", "FILE.scr",
                                             "send a screen file (1920 bytes) to the instrument",
                                             &commandSendScreens}};
const CliCommand::Registration kRenderScreens{
    {"screens render", "FILE.scr OUT.png [--screen N]",
     "draw the screens of a screen file as the display shows them, green on black,\n"
     "all eight one above the other (480 x 796), or screen N alone (480 x 96)",
     &commandRenderScreens}};

}  // namespace

}  // namespace halvern::cli
