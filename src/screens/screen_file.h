#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace halvern {

class ScreenBuffer;

// The screen file (.scr): the 1920 bytes of the eight screens exactly as they travel on the wire,
// no header, no length, no checksum.
namespace screen_file {

inline constexpr std::string_view kSaveTitle = "Save Screen File";
inline constexpr std::string_view kOpenTitle = "Open Screen File";
inline constexpr std::string_view kDialogFilter = "Screen Files (*.scr)|*.scr|All Files (*.*)|*.*";
inline constexpr std::string_view kDefaultExtension = "scr";
inline constexpr std::string_view kInitialName = "*.scr";

}  // namespace screen_file

// Reads a screen block from a stream into `buffer`; screen 1 becomes current. Bytes after the
// 1920th are ignored. A stream that ends before 1920 bytes would leave some screens old and some
// new: it is refused with the returned warning text and `buffer` is left unchanged. Returns an
// empty text on success. `name` names the source in the warning.
std::string loadScreenStream(std::istream& in, ScreenBuffer& buffer, std::string_view name = {});

// "Open Screen File...": the file through loadScreenStream. A file that cannot be opened or read
// changes nothing. Empty on success, a warning text otherwise.
std::string loadScreenFile(const std::string& path, ScreenBuffer& buffer);

// "Save Screen File...": the 1920 bytes written to a temporary file beside the target and renamed
// over it, so a failed save leaves an earlier file as it was. Empty on success, else a warning.
std::string saveScreenFile(const std::string& path, const ScreenBuffer& buffer);

}  // namespace halvern
