#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Constants of the wire between the computer and the instrument, shared by both ends.
namespace halvern::wire {

inline constexpr std::string_view kUsbDescription = "ZELKA 40100 USB";
// The udev rule names each bridge /dev/zelka40100-<its USB serial number>.
inline constexpr std::string_view kStableLinkPrefix = "zelka40100-";
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

// The user program image and its block transfer: 512 slots of 128 bytes, then the order table of
// 512 entries of 4 bytes; every number in it most significant byte first. It travels as 66 blocks
// of 1024 bytes, each framed by a 2-byte header and a 4-byte CRC, then a 6-byte end block.
inline constexpr std::size_t kProgramSlotCount = 512;
inline constexpr std::size_t kProgramSlotSize = 128;
inline constexpr std::size_t kProgramSlotsSize = kProgramSlotCount * kProgramSlotSize;
inline constexpr std::size_t kProgramOrderEntrySize = 4;
inline constexpr std::size_t kProgramImageSize =
    kProgramSlotsSize + kProgramSlotCount * kProgramOrderEntrySize;
inline constexpr std::size_t kProgramBlockDataSize = 1024;
inline constexpr std::size_t kProgramBlockCount = kProgramImageSize / kProgramBlockDataSize;
inline constexpr std::size_t kProgramEndBlockSize = 6;
inline constexpr std::uint8_t kProgramFirstHeader[2] = {0xAB, 0xCD};
inline constexpr std::uint8_t kProgramNextHeader[2] = {0xEF, 0xAB};
inline constexpr std::uint8_t kProgramEndHeader[2] = {0xCD, 0xEF};
// Opcode of a slot after the end of the program, and of an unused order entry's halves.
inline constexpr std::uint16_t kProgramUnused = 0xFFFF;
static_assert(kProgramImageSize == 67584 && kProgramBlockCount == 66);
static_assert(kProgramBlockSize == 2 + kProgramBlockDataSize + 4);

}  // namespace halvern::wire
