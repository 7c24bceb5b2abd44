#include "sim/reply_dialect.h"

#include <gtest/gtest.h>

#include <set>

namespace halvern::sim {
namespace {

TEST(ReplyForm, ValuesFillTheirReplyInEveryPadding) {
  using Padding = ReplyForm::Padding;
  const struct {
    Padding padding;
    int value;
    std::size_t size;
    bool closingReturn;
    std::string text;
  } cases[] = {
      {Padding::Blanks, 1, 2, false, " 1"},
      {Padding::Blanks, 1, 2, true, "1\r"},
      {Padding::Blanks, 12, 2, true, "12"},
      {Padding::Blanks, 0, 2, true, "0\r"},
      {Padding::Blanks, -1, 2, false, "-1"},
      {Padding::Blanks, 96, 5, true, "  96\r"},
      {Padding::Blanks, -115, 5, true, "-115\r"},
      {Padding::Blanks, 96, 5, false, "   96"},
      {Padding::Blanks, 96, 4, true, " 96\r"},
      {Padding::Blanks, 230, 4, false, " 230"},
      {Padding::Zeros, 1, 2, false, "01"},
      {Padding::Zeros, 1, 2, true, "1\r"},
      {Padding::Zeros, 96, 5, true, "0096\r"},
      {Padding::Zeros, -96, 5, true, "-096\r"},
      {Padding::Zeros, -115, 5, false, "-0115"},
      {Padding::Zeros, 96, 4, true, "096\r"},
      // A value too long for its reply keeps its last digits.
      {Padding::Blanks, 12345, 4, false, "2345"},
  };
  for (const auto& c : cases) {
    ReplyForm form;
    form.padding = c.padding;
    const std::string text = form.number(c.value, c.size, c.closingReturn);
    EXPECT_EQ(text, c.text) << c.value << " in " << c.size;
    EXPECT_EQ(text.size(), c.size);
  }
  EXPECT_EQ(ReplyForm::triple(1, 2, 26, '/'), "01/02/26\r");
  EXPECT_EQ(ReplyForm::triple(23, 59, 7, ':'), "23:59:07\r");
}

TEST(ReplyDialect, IsChosenByNameAndAWrongNameChangesNothing) {
  ReplyDialect dialect;
  EXPECT_EQ(dialect.name(), "standard");
  EXPECT_EQ(dialect.next().afterBlock, "");
  EXPECT_EQ(dialect.choose("terse"), "");
  EXPECT_EQ(dialect.next().dateSeparator, '/');
  EXPECT_EQ(dialect.next().afterBlock, "\r");
  for (const char* wrong : {"", "Terse", "mixed:", "mixed:x", "mixed7", "zeros:1"}) {
    EXPECT_NE(dialect.choose(wrong), "") << wrong;
    EXPECT_EQ(dialect.name(), "terse") << wrong;
  }
  EXPECT_EQ(dialect.choose("zeros"), "");
  EXPECT_EQ(dialect.next().padding, ReplyForm::Padding::Zeros);
}

TEST(ReplyDialect, MixedDrawsEveryWayFromItsSeedAndRepeatsWithIt) {
  ReplyDialect a, b, c;
  ASSERT_EQ(a.choose("mixed:7"), "");
  ASSERT_EQ(b.choose("mixed:7"), "");
  ASSERT_EQ(c.choose("mixed:8"), "");
  std::set<char> separators;
  std::set<std::string> after;
  std::set<bool> returns;
  bool differs = false;
  for (int i = 0; i < 200; ++i) {
    const ReplyForm x = a.next();
    const ReplyForm y = b.next();
    const ReplyForm z = c.next();
    EXPECT_EQ(x.dateSeparator, y.dateSeparator);
    EXPECT_EQ(x.afterBlock, y.afterBlock);
    differs = differs || x.dateSeparator != z.dateSeparator || x.afterBlock != z.afterBlock;
    separators.insert(x.dateSeparator);
    after.insert(x.afterBlock);
    returns.insert(x.comReturn);
  }
  EXPECT_TRUE(differs);
  EXPECT_EQ(separators, (std::set<char>{'-', '/', ':'}));
  EXPECT_EQ(after.size(), 3u);
  EXPECT_EQ(returns.size(), 2u);
}

}  // namespace
}  // namespace halvern::sim
