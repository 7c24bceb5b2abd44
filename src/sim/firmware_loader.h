#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "sim/fault_plan.h"

namespace halvern::sim {

// One S-record as the loader reads it: its type digit, its address and the bytes after the
// address (checksum excluded).
struct LoaderRecord {
  int type = 0;
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
};

// The record in `text` (its line feed stripped) when it is a good one: "S", a type digit of 0..3
// or 5..9, then hex pairs (either case): the count, the address (2 bytes for S0, S1, S5 and S9, 3
// for S2, S6 and S8, 4 for S3 and S7), the data and the checksum. The count is the number of
// pairs after it; the checksum is the ones' complement of the low byte of the sum of the count,
// address and data bytes. Nothing when any of this fails.
std::optional<LoaderRecord> readLoaderRecord(std::string_view text);

// The instrument's firmware loader, from the instrument's side.
//
// Outside the loader the wake-up line " \r" is answered "C", and "CMD980" enters the loader,
// answered "***". In the loader every byte comes here: lines end at a carriage return (" " is
// answered "C" again, "CMD980" "***" again and starts a new update), the word "FLS" with nothing
// after it erases the flash (kEraseTime), and S-records end at a line feed. A good record is
// programmed (S1, S2, S3: its data at its address; S0, S5 to S8 are taken as they are) and
// answered "*" once the erase is over and the record programmed; a bad one is not answered. The
// first good S9 ends the update: the closing text goes out, the loader is left and the firmware
// becomes the programmed image. The loader never gives up on a silent computer: an erase may
// keep the computer quiet for seconds.
//
// The image is the bytes programmed since the last erase, by address. The firmware's signature
// is the CRC-32/MPEG-2 of the image's bytes in ascending address order (the gaps left out), as
// eight upper-case hexadecimal digits.
//
// Faults (code 980):
//   nowake: the wake-up line is not answered, COUNT times
//   silence, short, stray, trailing: the "***" is withheld, two stars, stray bytes (TEXT, or
//          "?#") before or after it, COUNT times
//   onestar: one "*" alone in place of "***", COUNT times
//   wrong: "**x**" (or TEXT as it is) in place of "***", COUNT times
//   nostar: record TEXT of an update (1 the first, S0 included; any record without TEXT) is
//          programmed but not answered, COUNT times
//   noclose: the update completes without its closing text, COUNT times
//   slowerase: the erase takes TEXT milliseconds (default 3000), COUNT times
// The loader is entered, and the update goes on, whatever the fault.
class FirmwareLoader {
 public:
  using Image = std::map<std::uint32_t, std::uint8_t>;

  static constexpr std::string_view kWakeLine = " ";
  static constexpr std::string_view kEnterLine = "CMD980";
  static constexpr std::string_view kEraseWord = "FLS";
  static constexpr std::string_view kAwake = "C";
  static constexpr std::string_view kReady = "***";
  static constexpr std::string_view kRecordTaken = "*";
  // What a wrong fault without text answers to "CMD980".
  static constexpr std::string_view kWrongReady = "**x**";
  static constexpr std::string_view kClosingText = "FLASH UPDATE COMPLETE\r";
  // How long the flash takes to erase, with and without a slowerase fault that names no time.
  static constexpr Clock::Duration kEraseTime = std::chrono::milliseconds(100);
  static constexpr Clock::Duration kSlowEraseTime = std::chrono::milliseconds(3000);
  // How long a record takes to program, from its line feed (or the end of the erase) to its "*".
  static constexpr Clock::Duration kProgramTime = std::chrono::milliseconds(2);
  // From the line feed of the S9 (or the end of the erase) to the closing text.
  static constexpr Clock::Duration kClosingTime = std::chrono::milliseconds(20);
  // Longest line taken, its end excluded: an S-record of 255 pairs after its type. Longer lines
  // are dropped whole.
  static constexpr std::size_t kMaxLineLength = 2 + 2 * 256;

  // What goes back to the computer for a line or a byte: `bytes` (empty: nothing), `after` past
  // it. `updated` is true for the S9 that completed an update.
  struct Reply {
    std::string bytes;
    Clock::Duration after{};
    bool updated = false;
  };

  explicit FirmwareLoader(FaultPlan& faults) : m_faults(faults) {}

  // The wake-up line, in the loader or outside it.
  Reply wake();
  // "CMD980": enters the loader, or starts a new update when in it.
  Reply enter();
  // A byte from the computer in the loader, arriving at `at`.
  Reply receive(std::uint8_t byte, Clock::TimePoint at);

  // True from "CMD980" until an update completes.
  bool active() const { return m_active; }
  // The records received in this update (or the last one), good or bad, and the good ones taken.
  int recordsReceived() const { return m_recordsReceived; }
  int recordsTaken() const { return m_recordsTaken; }
  // The erases of the flash asked for, and when the last one ends.
  int erases() const { return m_erases; }
  Clock::TimePoint eraseEnd() const { return m_eraseEnd; }
  // The bytes programmed since the last erase, by address.
  const Image& image() const { return m_image; }
  // The image's bytes in ascending address order.
  std::vector<std::uint8_t> imageBytes() const;
  // The updates completed, and the signature of the firmware the last one left (empty before).
  int updates() const { return m_updates; }
  const std::string& firmwareSignature() const { return m_firmwareSignature; }

  // The signature of `bytes` as the instrument shows it: eight upper-case hexadecimal digits.
  static std::string signatureOf(const std::vector<std::uint8_t>& bytes);

 private:
  Reply line(const std::string& text);
  Reply record(const std::string& text, Clock::TimePoint at);
  void erase(Clock::TimePoint at);
  // The fault of code 980 when it is of `kind`, which it then uses; nothing otherwise.
  std::optional<Fault> takeFault(FaultKind kind);

  FaultPlan& m_faults;
  bool m_active = false;
  std::string m_line;
  bool m_lineOverlong = false;
  int m_recordsReceived = 0;
  int m_recordsTaken = 0;
  int m_erases = 0;
  Clock::TimePoint m_eraseEnd{};
  Image m_image;
  int m_updates = 0;
  std::string m_firmwareSignature;
};

}  // namespace halvern::sim
