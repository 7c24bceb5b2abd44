#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "setup/setup_model.h"

namespace halvern {

// The setup file (.set): a fixed binary image of the Setup page, little-endian 32-bit integers and
// fixed-width labels, no magic and no version.
//
//   0    COM2 baud index          16   fields per record        32   25 record formats of 38 bytes:
//   4    stop on error 1/0        20   auto screen scroll 1/0        26 label bytes (zero-ended),
//   8    keypad lock 1/0          24   scroll pause                  type, width, precision
//   12   execution interval       28   scroll end screen        982  COM1 baud index
//                                                               986  COM1 type (0 RS-232, 1 RS-485)
//
// 990 bytes in all; the older form ends after the record formats (982 bytes). The date, the time
// and "Use PC System Time" are not kept.
namespace setup_file {

inline constexpr std::size_t kSize = 990;
inline constexpr std::size_t kOlderSize = 982;
inline constexpr std::size_t kEntrySize = 38;
inline constexpr std::size_t kLabelBytes = 26;
inline constexpr std::size_t kFormatsOffset = 32;

// Dialog filter and default extension of the setup file dialogs.
inline constexpr std::string_view kDialogFilter = "Setup Files (*.set)|*.set|All Files (*.*)|*.*";
inline constexpr std::string_view kDefaultExtension = "set";
inline constexpr std::string_view kSaveTitle = "Save Setup File";
inline constexpr std::string_view kOpenTitle = "Open Setup File";

}  // namespace setup_file

// The 990-byte image of `setup`. All 25 record formats are written whatever the fields-per-record
// value is.
std::string writeSetupBytes(const SetupModel& setup);

// Loads an image into `setup`. A 990-byte image (or a longer one, whose extra bytes are ignored)
// sets every item; a 982-byte image leaves the COM1 type and baud as they are. Values outside a
// control's range are brought into it as the control does (indexes and spin values clamped to
// the nearer bound, non-zero flags set, labels cut to 25 characters). An image of any other size
// would need bytes it does not have: it is refused with the returned warning text and `setup` is
// left unchanged. Returns an empty text on success.
std::string readSetupBytes(std::string_view bytes, SetupModel& setup, std::string_view name = {});

// The file helpers of "Save Setup File..." and "Open Setup File...". Both return an empty text on
// success and a warning text otherwise. A save writes a temporary file beside the target and
// renames it over the target, so a failed save leaves an earlier file as it was. A load that
// fails changes nothing.
std::string saveSetupFile(const std::string& path, const SetupModel& setup);
std::string loadSetupFile(const std::string& path, SetupModel& setup);

}  // namespace halvern
