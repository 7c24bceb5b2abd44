// A records text file read back. Refused: a line within the text (or the first after it) and a
// reason. Accepted: as many records as its first line says, every record with every field, a
// time for every record or for none, and the statistics of the whole count every value or gap
// once; its CSV has a line for every record.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "fuzz_support.h"
#include "records/records_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  const std::string_view text = fuzz::bytesOf(data, size);
  const RecordsRead read = readRecordsText(text);
  if (!read.table) {
    FUZZ_REQUIRE(!read.problem.empty());
    FUZZ_REQUIRE(read.line >= 1 &&
                 read.line <=
                     static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 2);
    return 0;
  }
  const RecordsTable& t = *read.table;
  FUZZ_REQUIRE(t.records == t.requested);
  FUZZ_REQUIRE(t.values.size() == t.records * t.fields());
  FUZZ_REQUIRE(t.kinds.size() == t.fields());
  FUZZ_REQUIRE(t.times.empty() || t.times.size() == t.records);
  const double all = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < t.fields(); ++i) {
    const FieldStats s = fieldStats(t, i, -all, all);
    std::size_t placed = t.records;
    if (t.hasTimes())
      placed = static_cast<std::size_t>(
          std::count_if(t.times.begin(), t.times.end(), [](double x) { return !std::isnan(x); }));
    FUZZ_REQUIRE(s.count + s.gaps == placed);
    if (s.count > 0) FUZZ_REQUIRE(s.min <= s.mean && s.mean <= s.max);
    const Envelope e = envelope(t, i, 0, 1e6, 16);
    FUZZ_REQUIRE(e.low.size() == 16 && e.high.size() == 16);
  }
  const std::string csv = recordsCsv(t, {"fuzz"}, -all, all);
  FUZZ_REQUIRE(static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')) >= t.records + 2);
  return 0;
}
