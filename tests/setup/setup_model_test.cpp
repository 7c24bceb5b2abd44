// The setup model: defaults, the controls' clamping and text reading, row enabling, change
// notification.
#include "setup/setup_model.h"

#include <gtest/gtest.h>

namespace halvern {
namespace {

TEST(SetupModel, StartsAtTheControlsDefaults) {
  SetupModel m;
  EXPECT_EQ(SetupModel::kBaudCaptions[static_cast<std::size_t>(m.com1BaudIndex())], "9600");
  EXPECT_EQ(m.com2BaudIndex(), m.com1BaudIndex());
  EXPECT_EQ((std::array{m.interval(), m.fieldsPerRecord(), m.scrollPause(), m.scrollEnd()}),
            (std::array{1, 1, 1, 8}));
  EXPECT_TRUE(m.usePcTime());
  EXPECT_EQ(m.format(0), (RecordFormat{"FIELD 01", 0, 7, 1}));
  EXPECT_EQ(SetupModel::rowCaption(24), "25");
}

TEST(SetupModel, SpinTextsReadAsTheControlsReadThem) {
  const struct {
    const char* text;
    SetupModel::Range range;
    int value;
  } cases[] = {
      {"", SetupModel::kIntervalRange, 0},
      {"abc", SetupModel::kScrollPauseRange, 1},
      {"7x", SetupModel::kScrollEndRange, 1},
      {"150", SetupModel::kIntervalRange, 99},
      {"0", SetupModel::kScrollPauseRange, 1},
      {"0", SetupModel::kScrollEndRange, 1},
      {"26", SetupModel::kFieldsPerRecordRange, 25},
      {"-4", SetupModel::kWidthRange, 1},
      {"99999999999999999999", SetupModel::kPrecisionRange, 6},
      {"+", SetupModel::kIntervalRange, 0},
      {"08", SetupModel::kWidthRange, 8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SetupModel::readSpinText(c.text, c.range), c.value) << c.text;
  }
  SetupModel m;
  m.setFieldsPerRecordText("3");
  EXPECT_EQ(m.fieldsPerRecord(), 3);
  for (int row = 0; row < SetupModel::kFieldCount; ++row) EXPECT_EQ(m.isRowEnabled(row), row < 3);
  m.setWidthText(4, "");
  m.setPrecisionText(4, "9");
  EXPECT_EQ(m.format(4).width, 1);
  EXPECT_EQ(m.format(4).precision, 6);
}

TEST(SetupModel, DateAndTimeFieldsKeepTheirMasks) {
  SetupModel m;
  m.setDateTime({2013, 12, 31, 8, 5, 9});
  EXPECT_EQ(m.dateText(), "12-31-2013");
  EXPECT_EQ(m.timeText(), "08:05:09");
  EXPECT_EQ(m.dateNumbers(), (std::array<int, 3>{12, 31, 2013}));
  EXPECT_EQ(m.timeNumbers(), (std::array<int, 3>{8, 5, 9}));
  for (const char* bad : {"12/31/2013", "12-31-13", "1a-31-2013", "12-31-2013 "}) {
    EXPECT_FALSE(m.setDateText(bad)) << bad;
  }
  EXPECT_FALSE(m.setTimeText("8:05:09"));
  EXPECT_EQ(m.dateText(), "12-31-2013");
  // The PC's clock reaches the fields only with "Use PC System Time" on.
  FixedCalendar pc({2024, 2, 29, 13, 14, 15});
  m.setUsePcTime(false);
  m.refreshFromPcClock(pc);
  EXPECT_EQ(m.dateText(), "12-31-2013");
  m.setUsePcTime(true);
  m.refreshFromPcClock(pc);
  EXPECT_EQ(m.dateText(), "02-29-2024");
  EXPECT_EQ(m.timeText(), "13:14:15");
  EXPECT_TRUE(m.setDateText(" 1-2 -2014"));
  EXPECT_EQ(m.dateNumbers(), (std::array<int, 3>{1, 2, 2014}));
}

TEST(SetupModel, ChangesAreNotifiedOncePerChangeOrBatch) {
  SetupModel m;
  int calls = 0;
  m.setOnChanged([&] { ++calls; });
  m.setInterval(1);  // unchanged
  EXPECT_EQ(calls, 0);
  m.setInterval(5);
  EXPECT_EQ(calls, 1);
  const auto version = m.version();
  {
    SetupModel::Batch batch(m);
    m.setKeypadLock(true);
    m.setFormat(2, {"A", 1, 2, 3});
    EXPECT_EQ(calls, 1);
  }
  EXPECT_EQ(calls, 2);
  EXPECT_GT(m.version(), version);
}

}  // namespace
}  // namespace halvern
