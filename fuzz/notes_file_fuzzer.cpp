// The notes file reader: any bytes read as lines without a line end in them; writing them gives
// the file back with every line end as CR LF (and one after an unended last line); reading that
// gives the same lines.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "program/program_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  const std::string_view bytes = fuzz::bytesOf(data, size);

  const std::vector<std::string> lines = readNotesBytes(bytes);
  for (const std::string& line : lines) {
    FUZZ_REQUIRE(line.find_first_of("\r\n") == std::string::npos);
  }
  const std::string written = writeNotesBytes(lines);
  FUZZ_REQUIRE(written == fuzz::crlfLines(bytes));
  FUZZ_REQUIRE(readNotesBytes(written) == lines);
  return 0;
}
