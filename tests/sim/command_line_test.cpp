#include "sim/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "sim/date_arithmetic.h"

namespace halvern::sim {
namespace {

TEST(CommandLine, IsReadAsTheInstrumentReadsIt) {
  using Ints = std::optional<std::vector<int>>;
  struct Case {
    const char* line;
    bool command;
    int code;
    std::string argText;
    Ints args;
  };
  const Case cases[] = {
      {"CMD225", true, 225, "", Ints{std::vector<int>{}}},
      {"CMD340 3000", true, 340, "3000", Ints{{3000}}},
      {"CMD250 -96", true, 250, "-96", Ints{{-96}}},
      {"CMD270 12 31 26", true, 270, "12 31 26", Ints{{12, 31, 26}}},
      // A decimal fraction is for the calibration to read; so are the blanks it leaves.
      {"CMD820 4998.60", true, 820, "4998.60", std::nullopt},
      {"CMD805 ", true, 805, "", std::nullopt},
      {"CMD340 5 ", true, 340, "5 ", std::nullopt},
      {"CMD340  5", true, 340, " 5", std::nullopt},
      {"CMD22", false, 0, "", std::nullopt},
      {"CMD2255", false, 0, "", std::nullopt},
      {"CMX225", false, 0, "", std::nullopt},
      {"CMD2x5", false, 0, "", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto line = parseCommandLine(c.line);
    ASSERT_EQ(line.has_value(), c.command) << c.line;
    if (!line) continue;
    EXPECT_EQ(line->code, c.code) << c.line;
    EXPECT_EQ(line->argText, c.argText) << c.line;
    EXPECT_EQ(line->args, c.args) << c.line;
  }
}

TEST(SecondsLater, RunsAcrossDaysMonthsYearsAndLeapDays) {
  struct Case {
    DateTime from;
    long seconds;
    DateTime to;
  };
  const Case cases[] = {
      {{2026, 12, 31, 23, 59, 59}, 1, {2027, 1, 1, 0, 0, 0}},
      {{2028, 2, 28, 23, 0, 0}, 3600, {2028, 2, 29, 0, 0, 0}},
      {{2027, 2, 28, 23, 0, 0}, 3600, {2027, 3, 1, 0, 0, 0}},
      {{2026, 3, 1, 0, 0, 0}, -1, {2026, 2, 28, 23, 59, 59}},
      {{2026, 12, 1, 0, 0, 0}, 2999 * 60, {2026, 12, 3, 1, 59, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(secondsLater(c.from, std::chrono::seconds(c.seconds)), c.to) << c.seconds;
  }
}

}  // namespace
}  // namespace halvern::sim
