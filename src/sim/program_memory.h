#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/fault_plan.h"
#include "wire/wire.h"

namespace halvern::sim {

// The instrument's program memory and its two block transfers, from the instrument's side.
//
// The memory is the 67584-byte image the instrument keeps: 512 slots of 128 bytes and the order
// table. The instrument does not keep instruction i in slot i: an accepted upload is laid out
// again in slots of its own choosing (a fixed scattering over the 512 slots) with a table to
// match, so that a computer reading the image must go through the table. Unused slots are erased
// (0xFF bytes).
//
// Download ("CMD115"): blocks 0..65 go out one at a time (header AB CD, then EF AB), each with its
// CRC most significant byte first; ACK asks for the next block, NAK for the same again; after the
// last data block the end block CD EF with its CRC most significant byte first. The ACK of the
// end block, or any byte that is not a handshake, ends the download.
//
// Upload ("CMD110"): the instrument asks for block 0 with a NAK, checks the header and CRC of each
// block and answers ACK or NAK; after 66 good blocks it takes the 6-byte end block CD EF with its
// CRC least significant byte first, and only then stores the program. Bytes that cannot start a
// block end the upload and are taken as a command line; so does a pause of a second.
//
// Faults (by command code 115 or 110; BLOCK is the fault's block number, 0..65, 66 = end block):
//   silence with a block: that block is not sent (115) or not answered (110), COUNT times
//   corrupt: block BLOCK goes out with a spoiled CRC (115), or arrives spoiled (110), COUNT times
//   nakstorm (110): good blocks (BLOCK only, or every block) are answered NAK, COUNT times
//   badend (115): the end block carries a wrong CRC, COUNT times
//   dies: the instrument drops off the link at block BLOCK (0 when not given) and stays off
//   short (115): blocks go out one byte short, COUNT times
//   stray: stray bytes (TEXT, or "?#") before block 0 in reply to "CMD115", or before the NAK that
//          asks for block 0 after "CMD110", COUNT times
//   wrong: garbage (TEXT, or "?") in place of block 0 in reply to "CMD115" (a NAK still asks for
//          the block), or in place of the ACK of a good block (110; the block is not taken),
//          COUNT times
//   changeparam (110): the upload is taken as a good one, but the program stored has its first
//          parameter written as digits alone one off in its last digit (a 9 one down), COUNT
//          times
class ProgramMemory {
 public:
  using Image = std::array<std::uint8_t, wire::kProgramImageSize>;
  using Slot = std::array<std::uint8_t, wire::kProgramSlotSize>;

  explicit ProgramMemory(FaultPlan& faults);

  // The image as the instrument holds it. Starts with the program of a demonstration
  // site: its sensors, averages, alarms, screens and log.
  const Image& image() const { return *m_image; }
  // Puts an image in place as it is (tests: images the instrument would not make itself).
  void setImage(const Image& image) { *m_image = image; }
  // The program's slots in the order of the table, "PGM END" last; empty when the image does not
  // hold a readable program.
  std::vector<Slot> program() const;
  // Lays `program` out in the instrument's own slots and table.
  void store(const std::vector<Slot>& program);

  // Starts a download; returns the bytes to send (block 0, or nothing under a fault).
  std::string beginDownload();
  // Starts an upload; returns the NAK that asks for block 0.
  std::string beginUpload(Clock::TimePoint at);

  struct Step {
    bool active = true;   // still in the transfer
    std::string reply;    // bytes to send back
    std::string toLines;  // bytes that were not for the transfer: a command line
  };
  // A byte from the computer during a transfer.
  Step receive(std::uint8_t byte, Clock::TimePoint at);

  // True once a "dies" fault has struck: the instrument is gone from the link.
  bool dead() const { return m_dead; }
  // Uploads accepted so far.
  int uploads() const { return m_uploads; }

 private:
  enum class Mode { Idle, Downloading, Uploading };

  std::string downloadBlock(std::size_t number);
  // Checks the fault `kind` of `code` for `block` and uses one of its count when it applies.
  bool strikes(int code, FaultKind kind, std::size_t block);
  // The text of a stray or wrong fault of `code` ("?#" or "?" when it has none), using one of its
  // count; nothing when `code` has no fault of that kind.
  std::optional<std::string> strikingText(int code, FaultKind kind);
  Step receiveUpload(std::uint8_t byte, Clock::TimePoint at);
  void finishUpload();

  FaultPlan& m_faults;
  std::unique_ptr<Image> m_image;
  std::unique_ptr<Image> m_incoming;
  Mode m_mode = Mode::Idle;
  std::size_t m_block = 0;
  std::string m_partial;
  Clock::TimePoint m_lastByteAt{};
  bool m_dead = false;
  int m_uploads = 0;
};

}  // namespace halvern::sim
