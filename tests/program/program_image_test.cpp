#include "program/program_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "program/instruction_catalogue.h"
#include "program/program_file.h"
#include "wire/crc32_mpeg2.h"

namespace halvern {
namespace {

constexpr std::size_t kOrder = 65536;

std::span<const std::uint8_t> bytesOf(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string hex(const std::uint8_t* p, std::size_t n) {
  std::string out;
  char b[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
    out += b;
  }
  return out;
}

TEST(Crc32Mpeg2, CheckValueAndEndBlock) {
  EXPECT_EQ(Crc32Mpeg2::of(bytesOf("123456789")), 0x0376E6E7u);
  const std::uint8_t end[] = {0xCD, 0xEF};
  EXPECT_EQ(Crc32Mpeg2::of(end), 0x23EEE84Au);
  std::uint32_t crc = Crc32Mpeg2::kInitial;
  for (char c : std::string_view("123456789")) crc = Crc32Mpeg2::update(std::uint8_t(c), crc);
  EXPECT_EQ(crc, 0x0376E6E7u);
  EXPECT_EQ(Crc32Mpeg2::of({}), 0xFFFFFFFFu);
}

class ImageTest : public ::testing::Test {
 protected:
  std::unique_ptr<ProgramImage::Bytes> image = std::make_unique<ProgramImage::Bytes>();
};

TEST_F(ImageTest, StartUpProgramImage) {
  ProgramImage::build(ProgramDocument().store(), *image);
  const auto& b = *image;
  EXPECT_EQ(hex(&b[0], 2), "00 00");
  EXPECT_EQ(hex(&b[kOrder], 4), "00 00 FF FF");
  for (std::size_t i = 1; i < 512; ++i) {
    ASSERT_EQ(hex(&b[i * 128], 2), "FF FF") << i;
    ASSERT_EQ(hex(&b[kOrder + 4 * i], 4), "FF FF FF FF") << i;
  }
}

TEST_F(ImageTest, ValuesAreRewrittenBigEndian) {
  ProgramDocument d;
  d.insertInstruction(0, 34);  // LOC = VALUE: loc= integer, val= decimal
  d.insertInstruction(1, 14);  // FLAG SET MASK: mask= hex, state= list
  d.insertInstruction(2, 48);  // SERIAL BUFFER TEXT
  ProgramRecord loc = d.store()[0];
  loc.setIntValue(0, 70000);
  loc.setFloatValue(1, 1.0f);
  d.setParameter(0, 0, loc, "loc= 70000");
  ProgramRecord mask = d.store()[1];
  mask.setIntValue(0, 0xBEEF);
  mask.setIntValue(1, 1);
  d.setParameter(1, 0, mask, "mask= BEEF");
  ProgramRecord text = d.store()[2];
  text.setText("20~C");
  d.setParameter(2, 0, text, "text= 20~C");

  ProgramImage::build(d.store(), *image);
  const auto& b = *image;
  EXPECT_EQ(hex(&b[0], 2), "00 22");
  EXPECT_EQ(hex(&b[2], 4), "11 70 00 00");
  EXPECT_EQ(hex(&b[14], 4), "3F 80 00 00");
  EXPECT_EQ(hex(&b[6], 8), hex(&d.store()[0].bytes()[6], 8));  // value text as in the record
  EXPECT_EQ(hex(&b[128 + 2], 4), "BE EF 00 00");
  EXPECT_EQ(hex(&b[128 + 14], 4), "00 01 00 00");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[256 + 86])), "20~C");
  EXPECT_EQ(hex(&b[3 * 128], 2), "00 00");
  EXPECT_EQ(hex(&b[4 * 128], 2), "FF FF");
  EXPECT_EQ(hex(&b[kOrder], 16), "00 00 FF FF 00 01 FF FF 00 02 FF FF 00 03 FF FF");
  EXPECT_EQ(hex(&b[kOrder + 16], 4), "FF FF FF FF");
}

// Every instruction with its defaults goes to an image and comes back as the same records and
// lines (no text holds a degree sign, so received and stored lines agree).
TEST_F(ImageTest, EveryInstructionRoundTrips) {
  ProgramDocument d;
  for (std::uint16_t op = 1; op <= 52; ++op) d.insertInstruction(op - 1, op);
  ProgramImage::build(d.store(), *image);
  auto back = ProgramImage::convert(*image);
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(back.tree, d.tree());
  for (std::size_t k = 0; k <= 52; ++k) EXPECT_EQ(back.store[k], d.store()[k]) << k;
}

// An image laid out the way an instrument may keep it: instruction i in slot 511 - 2i.
void putInstruction(ProgramImage::Bytes& b, std::size_t i, std::size_t slot,
                    const std::string& slotBytes) {
  std::copy(slotBytes.begin(), slotBytes.end(), b.begin() + static_cast<long>(slot * 128));
  b[kOrder + 4 * i] = static_cast<std::uint8_t>(slot >> 8);
  b[kOrder + 4 * i + 1] = static_cast<std::uint8_t>(slot);
  b[kOrder + 4 * i + 2] = b[kOrder + 4 * i + 3] = 0xFF;
}

std::string slot(std::uint16_t opcode) {
  std::string s(128, '\0');
  s[0] = static_cast<char>(opcode >> 8);
  s[1] = static_cast<char>(opcode);
  return s;
}

TEST_F(ImageTest, ConversionReadsThroughTheOrderTable) {
  image->fill(0xFF);
  std::string beep = slot(3);
  beep.replace(2, 4, std::string("\x00\x09\x00\x00", 4));  // ignored: the text holds the value
  beep.replace(6, 2, "4x");
  std::string text = slot(48);
  text.replace(86, 9, "20~C abc~");
  std::string mask = slot(14);
  mask.replace(2, 4, std::string("\xAB\x12\x00\x00", 4));
  mask.replace(14, 4, std::string("\x00\x01\x00\x00", 4));
  std::string val = slot(34);
  val.replace(6, 3, "-12");
  val.replace(18, 8, std::string("-1.5e1\0\0", 8));
  putInstruction(*image, 0, 511, beep);
  putInstruction(*image, 1, 509, text);
  putInstruction(*image, 2, 7, mask);
  putInstruction(*image, 3, 0, val);
  // Beyond the float's range both ways: too small reads as 0, too large stays finite.
  std::string tiny = slot(34);
  tiny.replace(18, 5, "1e-50");
  std::string huge = slot(34);
  huge.replace(18, 5, "-1e39");
  putInstruction(*image, 4, 40, tiny);
  putInstruction(*image, 5, 41, huge);
  putInstruction(*image, 6, 300, slot(0));
  auto got = ProgramImage::convert(*image);
  ASSERT_EQ(got.error, "");
  const std::vector<ProgramNode> expected{
      {"BEEP", {"num= 4x"}},
      {"SERIAL BUFFER TEXT",
       {"text= 20\xB0"
        "C abc\xB0"}},
      {"FLAG SET MASK", {"mask= AB12", "state= ON "}},
      {"LOC = VALUE", {"loc= -12", "val= -1.5e1"}},
      {"LOC = VALUE", {"loc= ", "val= 1e-50"}},
      {"LOC = VALUE", {"loc= ", "val= -1e39"}},
      {"PGM END", {}},
  };
  EXPECT_EQ(got.tree, expected);
  EXPECT_EQ(got.store[0].intValue(0), 4);
  EXPECT_EQ(got.store[1].text(), "20~C abc~");
  EXPECT_EQ(got.store[2].intValue(0), 0xAB12);
  EXPECT_EQ(got.store[2].intValue(1), 1);
  EXPECT_EQ(got.store[3].intValue(0), -12);
  EXPECT_EQ(got.store[3].floatValue(1), -15.0f);
  EXPECT_EQ(got.store[4].floatValue(1), 0.0f);
  EXPECT_EQ(got.store[5].floatValue(1), -3.4028235e38f);
  // Records start from zero bytes: nothing of the slots' other bytes comes along.
  EXPECT_EQ(got.store[0].bytes()[100], 0);
  EXPECT_EQ(got.store[7], ProgramRecord{});
  EXPECT_EQ(ProgramDocument::mismatch(got.store, got.tree), std::nullopt);
}

TEST_F(ImageTest, LineEndsInReceivedTextShowAsBlanksSoTheSavedFileOpens) {
  image->fill(0xFF);
  std::string beep = slot(3);
  beep.replace(6, 3, "12\n");
  std::string text = slot(48);
  text.replace(86, 6, "a\r\nb~\r");
  putInstruction(*image, 0, 0, beep);
  putInstruction(*image, 1, 1, text);
  putInstruction(*image, 2, 2, slot(0));
  const auto got = ProgramImage::convert(*image);
  ASSERT_EQ(got.error, "");
  EXPECT_EQ(got.tree[0].children, std::vector<std::string>{"num= 12 "});
  EXPECT_EQ(got.tree[1].children, std::vector<std::string>{"text= a  b\xB0 "});
  // The record keeps the bytes as they came.
  EXPECT_EQ(got.store[1].text(), "a\r\nb~\r");

  ProgramDocument received;
  ASSERT_TRUE(received.replaceProgram(got.store, got.tree));
  ProgramDocument opened;
  ASSERT_EQ(readProgramBytes(writeProgramBytes(received), opened), "");
  EXPECT_EQ(opened.tree(), got.tree);
  EXPECT_EQ(opened.store(), got.store);
}

TEST_F(ImageTest, ConversionRefusesWhatItCannotRead) {
  struct Case {
    const char* what;
    std::function<void(ProgramImage::Bytes&)> make;
    std::string error;
  } cases[] = {
      {"opcode 53",
       [](auto& b) {
         putInstruction(b, 0, 3, slot(3));
         putInstruction(b, 1, 4, slot(53));
       },
       "001 00004 00053"},
      {"slot outside", [](auto& b) { putInstruction(b, 0, 512, slot(0)); },
       "000 00512 NO SUCH PROGRAM SLOT."},
      {"list index outside",
       [](auto& b) {
         std::string s = slot(13);  // FLAG SET: state= list 12 of two entries
         s[14] = 0;
         s[15] = 2;
         putInstruction(b, 0, 9, s);
       },
       "000 00009 00013 PARAMETER 2 VALUE 2 NOT IN ITS LIST."},
      {"no PGM END",
       [](auto& b) {
         for (std::size_t i = 0; i < 512; ++i) putInstruction(b, i, i, slot(11));
       },
       "NO PGM END IN THE RECEIVED PROGRAM."},
  };
  for (const auto& c : cases) {
    image->fill(0xFF);
    c.make(*image);
    EXPECT_EQ(ProgramImage::convert(*image).error, c.error) << c.what;
  }
}

}  // namespace
}  // namespace halvern
