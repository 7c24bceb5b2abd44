#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace halvern {

// The one conversion between the instrument's single-byte Windows-1252 text (kept as bytes in the
// core) and the window's Unicode text.
class Windows1252 {
 public:
  static QString toUnicode(std::string_view bytes);
  // Characters without a Windows-1252 byte become '?'.
  static std::string fromUnicode(const QString& text);
  // The byte of one character, if it has one.
  static std::optional<unsigned char> byteOf(char32_t c);
};

}  // namespace halvern
