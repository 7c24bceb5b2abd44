// The simulated instrument reading whatever the computer sends: command lines of any bytes, the
// binary transfers they start, on a clock that moves a byte time per byte. Never crashes, never
// answers more than a bounded number of bytes, and a line the parser takes reads back as itself.
#include <charconv>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/command_line.h"
#include "sim/simulated_instrument.h"
#include "wire/wire.h"

namespace {

using namespace halvern;

// The command line's parse: "CMD", the code as three digits, then what follows the blank; the
// integer arguments, written back, are the argument text.
void checkParse(std::string_view line) {
  const auto parsed = sim::parseCommandLine(line);
  if (!parsed) return;
  FUZZ_REQUIRE(line.substr(0, 3) == "CMD" && parsed->code >= 0 && parsed->code <= 999);
  FUZZ_REQUIRE(line.size() == 6 || line[6] == ' ');
  if (!parsed->args) return;
  std::string written;
  for (int value : *parsed->args) {
    if (!written.empty()) written += ' ';
    char digits[16];
    written.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
  }
  // Leading zeros and a plus sign may have gone; the count of arguments may not.
  std::size_t blanks = 0;
  for (char c : parsed->argText) blanks += c == ' ';
  FUZZ_REQUIRE(parsed->args->empty() ? parsed->argText.empty()
                                     : parsed->args->size() == blanks + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::bytesOf(data, size);
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = bytes.find('\r', start);
    checkParse(bytes.substr(start, end == bytes.npos ? bytes.npos : end - start));
    if (end == bytes.npos) break;
    start = end + 1;
  }

  VirtualClock clock;
  FixedCalendar calendar{DateTime{2026, 12, 31, 23, 59, 30}};
  sim::SimulatedInstrument instrument(calendar, clock);
  instrument.recordLog().setCount(50);
  std::size_t answered = 0;
  std::uint8_t out[4096];
  for (std::size_t i = 0; i < size; ++i) {
    clock.advance(wire::kByteTime);
    instrument.receive(data[i], clock.now());
    answered += instrument.takeOutput(clock.now(), out, sizeof out);
  }
  clock.advance(std::chrono::seconds(70));
  while (std::size_t n = instrument.takeOutput(clock.now(), out, sizeof out)) answered += n;
  // No more than the largest reply (the records asked for, every program block) per line.
  FUZZ_REQUIRE(answered <= (size / 4 + 1) * (wire::kProgramImageSize + 70000));
  return 0;
}
