#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace halvern::sim {

// What the simulated instrument does wrong when asked.
enum class FaultKind {
  Silence,     // no reply at all
  Short,       // the reply one byte short
  WrongValue,  // a value outside its range (or the given text)
  Stray,       // stray bytes before the reply
  Trailing,    // stray bytes after the reply
  NoStar,      // the setting is taken but "*" (or the closing mark) is never sent
  // Program transfers (see ProgramMemory):
  Corrupt,   // a block with a spoiled CRC
  NakStorm,  // good blocks answered NAK
  BadEnd,    // the end block with a wrong CRC
  Dies,      // the instrument drops off the link
  // Any command:
  Cut,     // the replies stop after a number of bytes and the instrument goes dead on the link
  HangUp,  // the same, and the computer's port closes as an unplugged bridge's does
  // The firmware loader (see FirmwareLoader):
  NoWake,     // the wake-up line is not answered "C"
  OneStar,    // "CMD980" answered by one "*" alone
  NoClose,    // the update completes without its closing text
  SlowErase,  // the erase of the flash takes a given time
  // Sends taken as if whole but stored otherwise, for a read-back to find:
  DropRow,      // screens (210): the last row of screen 8 is not stored; the old one stays
  ChangeParam,  // program (110): one integer parameter of the program stored is one off
};

// The stray bytes of a stray or trailing fault that names none.
inline constexpr std::string_view kStrayBytes = "?#";

struct Fault {
  FaultKind kind = FaultKind::Silence;
  // How many replies to the command it spoils; -1 = every one.
  int count = -1;
  // WrongValue: the reply text to send instead (padded or cut to the reply's size). Empty: an
  // out-of-range value chosen for the command. Stray, Trailing: the stray bytes (empty: "?#").
  std::string text;
  // Program transfers: the block the fault strikes (0..65, 66 the end block); -1: any block, or
  // for silence the reply to the command itself.
  int block = -1;
  // Cut, HangUp: how many reply bytes still go out, from the first byte of the reply to the
  // command on, before the link goes.
  std::size_t bytesBeforeCut = 0;
  // Firmware loader: for nostar, the record it strikes (1 the first of an update, S0 included;
  // -1: any record); for slowerase, how long the erase takes in milliseconds (-1: 3000).
  int number = -1;
};

// Faults by command code. Each command code carries at most one fault.
class FaultPlan {
 public:
  void set(int code, Fault fault) { m_faults[code] = std::move(fault); }
  void clear(int code) { m_faults.erase(code); }
  void clearAll() { m_faults.clear(); }
  // The fault for the next reply to `code`, if any; uses one of its count.
  std::optional<Fault> take(int code);
  // The fault for `code` without using it.
  const Fault* peek(int code) const;
  bool empty() const { return m_faults.empty(); }

  // Parses "CODE:KIND[:COUNT][:TEXT]" with KIND one of silence, short, wrong, stray, trailing,
  // nostar, corrupt, nakstorm, badend, dies, cut, hangup, nowake, onestar, noclose, slowerase,
  // droprow, changeparam (the
  // halvern-sim --fault option). For silence, corrupt, nakstorm and dies TEXT is a block number of
  // a program transfer; for cut and hangup it is the count of reply bytes that go out before the
  // link goes (default 0), and they take no COUNT; for nostar it is the record of a firmware
  // update (1 or more), for slowerase the erase's milliseconds (1 to 600000). Returns an error
  // text, or empty on success.
  std::string parse(std::string_view option);

 private:
  std::map<int, Fault> m_faults;
};

}  // namespace halvern::sim
