#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The one Windows-1252 codec: the instrument's and the files' single-byte text, kept as bytes on
// the computer's side, and the Unicode the window and the terminal show.
namespace halvern::windows1252 {

// The character of a byte. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the C1 control of the same number, so every byte survives a round trip.
char32_t toUnicode(std::uint8_t byte);
// The byte of a character, when the code page has one.
std::optional<std::uint8_t> byteOf(char32_t c);

// Bytes as UTF-8 for a terminal; the undefined bytes become `replacement`.
std::string toUtf8(std::string_view bytes, char replacement = '?');

}  // namespace halvern::windows1252
