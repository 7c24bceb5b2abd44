#include "app/windows1252.h"

namespace halvern {

namespace {

// 0x80..0x9F; 0 where Windows-1252 leaves the byte undefined (it then maps to the C1 control of
// the same number, as the system's own conversion does).
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char16_t unicodeOf(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0) return kHigh[b - 0x80];
  return b;
}

}  // namespace

QString Windows1252::toUnicode(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) out.append(QChar(unicodeOf(static_cast<unsigned char>(c))));
  return out;
}

std::optional<unsigned char> Windows1252::byteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] != 0 && kHigh[i] == c) return static_cast<unsigned char>(0x80 + i);
    if (kHigh[i] == 0 && c == static_cast<char32_t>(0x80 + i))
      return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

std::string Windows1252::fromUnicode(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (char32_t c : text.toUcs4()) out += static_cast<char>(byteOf(c).value_or('?'));
  return out;
}

}  // namespace halvern
