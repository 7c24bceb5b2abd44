#include "app/windows1252.h"

#include "wire/windows1252.h"

namespace halvern {

QString Windows1252::toUnicode(std::string_view bytes) {
  // Written in place: a download's records come here as megabytes of text.
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* to = out.data();
  for (char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    *to++ =
        QChar(byte < 0x80 ? char16_t{byte} : static_cast<char16_t>(windows1252::toUnicode(byte)));
  }
  return out;
}

std::optional<unsigned char> Windows1252::byteOf(char32_t c) { return windows1252::byteOf(c); }

std::string Windows1252::fromUnicode(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (char32_t c : text.toUcs4()) out += static_cast<char>(windows1252::byteOf(c).value_or('?'));
  return out;
}

}  // namespace halvern
