#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Constants of the wire between the computer and the instrument, shared by both ends.
namespace halvern::wire {

inline constexpr std::string_view kUsbDescription = "ZELKA 40100 USB";
inline constexpr int kBaudRate = 1250000;
inline constexpr int kDataBits = 8;
inline constexpr int kStopBits = 1;
// 10 bit times a byte (start, 8 data, stop): 8 microseconds, 125000 bytes a second.
inline constexpr std::chrono::microseconds kByteTime{8};
inline constexpr int kBytesPerSecond = 125000;
// A read returns once its count has arrived or this has passed.
inline constexpr std::chrono::milliseconds kReadTimeout{250};

inline constexpr std::uint8_t kCarriageReturn = 0x0D;
inline constexpr std::uint8_t kCompletionMark = '*';
inline constexpr std::uint8_t kProgressMark = '!';
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kLoaderReady = 'C';

// Sizes of the binary blocks.
inline constexpr std::size_t kRecordFormatBlockSize = 32;
inline constexpr std::size_t kRecordFormatCount = 25;
inline constexpr std::size_t kRecordFormatsSize = kRecordFormatBlockSize * kRecordFormatCount;
inline constexpr std::size_t kRecordLabelField = 28;
inline constexpr std::size_t kRecordLabelMax = 25;
inline constexpr std::size_t kScreensSize = 1920;
inline constexpr std::size_t kProgramBlockSize = 1030;

}  // namespace halvern::wire
