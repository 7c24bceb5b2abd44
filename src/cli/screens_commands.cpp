// The screens commands: read the instrument's screens into a screen file, send a screen file, and
// draw a screen file as the display shows it.
#include <CLI/CLI.hpp>
#include <QImage>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "screens/bitmap.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "screens/screen_file.h"
#include "screens/screen_render.h"

namespace halvern::cli {

namespace {

// Between screens drawn one above the other: a dark grey rule, as the display's bezel.
constexpr int kSeparator = 4;
constexpr std::uint32_t kBezel = 0xFF303030;

int commandGetScreens(CliApp& app, const std::string& path) {
  if (!app.connect()) return kExitFailed;
  ScreenBuffer screens;
  const auto result = runInstrumentCommand(app.exchange(), app.shell(), getScreensCommand(screens));
  if (result != CommandResult::Done) return exitStatus(result);
  const std::string problem = saveScreenFile(path, screens);
  if (!problem.empty()) return app.savedFileError("screens", problem);
  std::fprintf(app.err(), "screens written to %s\n", path.c_str());
  return kExitOk;
}

int commandSendScreens(CliApp& app, const std::string& path) {
  // The file is read before the instrument is touched.
  ScreenBuffer screens;
  const std::string problem = loadScreenFile(path, screens);
  if (!problem.empty()) return app.fileError(problem);
  if (!app.connect()) return kExitFailed;
  return exitStatus(app.runCommand(sendScreensCommand(screens)));
}

struct RenderArguments {
  std::string screenFile;
  std::string picture;
  int only = 0;  // 0: all eight
};

int commandRenderScreens(CliApp& app, const RenderArguments& args) {
  ScreenBuffer screens;
  const std::string problem = loadScreenFile(args.screenFile, screens);
  if (!problem.empty()) return app.fileError(problem);
  const int first = args.only ? args.only - 1 : 0;
  const int count = args.only ? 1 : ScreenBuffer::kScreens;
  const int step = screen_image::kCellsHeight + kSeparator;
  Bitmap picture(screen_image::kWidth, count * step - kSeparator, kBezel);
  Bitmap one(screen_image::kWidth, screen_image::kCellsHeight);
  for (int n = 0; n < count; ++n) {
    drawScreen(one, screens, first + n);
    for (int y = 0; y < one.height(); ++y)
      for (int x = 0; x < one.width(); ++x) picture.setPixel(x, n * step + y, one.pixel(x, y));
  }
  if (!toImage(picture).save(QString::fromStdString(args.picture), "PNG")) {
    std::fprintf(app.err(), "error: cannot write the picture %s\n", args.picture.c_str());
    return kExitUsage;
  }
  std::fprintf(app.err(), "%s written (%d x %d)\n", args.picture.c_str(), picture.width(),
               picture.height());
  return kExitOk;
}

CliCommand::Action defineRenderScreens(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<RenderArguments>();
  command.add_option("FILE.scr", args->screenFile, "the screen file to draw")
      ->required()
      ->type_name("");
  command.add_option("OUT.png", args->picture, "the picture to write")->required()->type_name("");
  command.add_option("--screen", args->only, "draw screen N (1 to 8) alone")
      ->type_name("N")
      ->check(CLI::Range(1, ScreenBuffer::kScreens).description(""));
  return [&app, args] { return commandRenderScreens(app, *args); };
}

const CliCommand::Registration kGetScreens{
    {"get screens",
     "read the instrument's eight screens and write them to a screen file (1920 bytes)",
     fileCommand("FILE.scr", "the screen file to write", &commandGetScreens)}};
const CliCommand::Registration kSendScreens{
    {"send screens", "send a screen file (1920 bytes) to the instrument",
     fileCommand("FILE.scr", "the screen file to send", &commandSendScreens), false, true}};
const CliCommand::Registration kRenderScreens{
    {"screens render",
     "draw the screens of a screen file as the display shows them, green on black,\n"
     "all eight one above the other (480 x 796), or screen N alone (480 x 96)",
     &defineRenderScreens}};

}  // namespace

}  // namespace halvern::cli
