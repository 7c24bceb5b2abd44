// The screen file reader and the painters that show what it read. Refused (fewer than 1920
// bytes): cells, current screen and replacement count as before. Accepted: the cells are the
// first 1920 bytes, screen 1 is current, the stream stands just after them, and screen 1, which
// the page shows after a load, paints in the display's two colours only, inside the cells' area.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "screens/bitmap.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "screens/screen_file.h"

namespace {

using namespace halvern;

// Screens that are not blank, another screen current.
ScreenBuffer startingBuffer() {
  ScreenBuffer buffer;
  for (int screen = 0; screen < ScreenBuffer::kScreens; ++screen) {
    buffer.setCell(screen, 0, screen, static_cast<std::uint8_t>('1' + screen));
  }
  buffer.setCurrentScreen(5);
  buffer.setLargeCell(2, 2, 0xC1);
  return buffer;
}

// Every pixel of the canvas is one of the two colours, and the rows below the cells are untouched.
bool paintedInTwoColours(const Bitmap& canvas, std::uint32_t ink, std::uint32_t paper,
                         int cellsHeight) {
  const std::uint32_t* pixel = canvas.data();
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x, ++pixel) {
      if (*pixel != paper && (*pixel != ink || y >= cellsHeight)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScreenBuffer kStart = startingBuffer();
  const std::string_view bytes = fuzz::bytesOf(data, size);

  ScreenBuffer buffer = kStart;
  std::istringstream in{std::string(bytes)};
  const std::string problem = loadScreenStream(in, buffer, "fuzz.scr");
  FUZZ_REQUIRE(problem.empty() == (size >= ScreenBuffer::kSize));
  if (!problem.empty()) {
    FUZZ_REQUIRE(buffer == kStart && buffer.currentScreen() == kStart.currentScreen());
    FUZZ_REQUIRE(buffer.replacements() == kStart.replacements());
    return 0;
  }
  FUZZ_REQUIRE(bytes.compare(0, ScreenBuffer::kSize,
                             std::string_view(reinterpret_cast<const char*>(buffer.bytes().data()),
                                              ScreenBuffer::kSize)) == 0);
  FUZZ_REQUIRE(buffer.currentScreen() == 0 && buffer.replacements() == kStart.replacements() + 1);
  FUZZ_REQUIRE(in.tellg() == static_cast<std::streamoff>(ScreenBuffer::kSize));

  Bitmap screen(screen_image::kWidth, screen_image::kHeight);
  Bitmap ink(screen_image::kWidth, screen_image::kCellsHeight, Bitmap::kWhite);
  drawScreen(screen, buffer, buffer.currentScreen());
  inkScreen(ink, buffer, buffer.currentScreen());
  FUZZ_REQUIRE(
      paintedInTwoColours(screen, Bitmap::kGreen, Bitmap::kBlack, screen_image::kCellsHeight));
  FUZZ_REQUIRE(
      paintedInTwoColours(ink, Bitmap::kBlack, Bitmap::kWhite, screen_image::kCellsHeight));
  return 0;
}
