#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/calendar.h"

namespace halvern {

// One field of a logged record as the instrument formats it.
struct RecordFormat {
  enum Type { Number = 0, Date = 1, Time = 2 };

  std::string label;  // at most 25 characters, Windows-1252 bytes
  int type = Number;  // 0..2
  int width = 7;      // 1..9
  int precision = 1;  // 0..6 decimal places

  friend bool operator==(const RecordFormat&, const RecordFormat&) = default;
};

// The instrument's setup as the Setup page shows it: both serial ports, stop on error, keypad
// lock, execution interval, automatic screen scrolling, the layout of logged records, and the date
// and time fields. Every setter keeps the value inside the range of the control that shows it,
// exactly as the control would (spin edits clamp to the nearer bound, an empty or non-numeric
// spin-edit text reads as the minimum), so the page, the command-line tool and the transfers all
// see the same values. Listeners learn of every change through `setOnChanged` and `version()`.
class SetupModel {
 public:
  static constexpr int kBaudCount = 8;
  static constexpr int kFieldCount = 25;
  static constexpr std::size_t kLabelMax = 25;

  // The serial ports' baud choices: radio-group index -> caption and wire code.
  static constexpr std::array<std::string_view, kBaudCount> kBaudCaptions{
      "1200", "2400", "4800", "9600", "19.2K", "38.4K", "115.2K", "230.4K"};
  static constexpr std::array<int, kBaudCount> kBaudCodes{12, 24, 48, 96, 19, 38, 115, 230};
  static constexpr std::array<std::string_view, 2> kCom1TypeCaptions{"RS-232", "RS-485"};
  static constexpr std::array<std::string_view, 3> kTypeCaptions{"Number", "Date", "Time"};

  // Control ranges and start values.
  struct Range {
    int minimum;
    int maximum;
    int clamp(long long value) const;
  };
  static constexpr Range kIntervalRange{0, 99};
  static constexpr Range kFieldsPerRecordRange{1, kFieldCount};
  static constexpr Range kScrollPauseRange{1, 99};
  static constexpr Range kScrollEndRange{1, 8};
  static constexpr Range kWidthRange{1, 9};
  static constexpr Range kPrecisionRange{0, 6};
  static constexpr Range kBaudIndexRange{0, kBaudCount - 1};
  static constexpr Range kCom1TypeRange{0, 1};
  static constexpr Range kTypeRange{0, 2};
  static constexpr int kDefaultBaudIndex = 3;  // "9600"

  // The date and time fields: masks "00-00-0000" and "00:00:00", blank at start.
  static constexpr std::string_view kBlankDate = "  -  -    ";
  static constexpr std::string_view kBlankTime = "  :  :  ";

  SetupModel();

  // The wire code of a baud index, and the index of a wire code (nothing when not in the table).
  static int baudCode(int index);
  static std::optional<int> baudIndex(int code);

  // --- Serial ports -------------------------------------------------------------------------
  int com1Type() const { return m_com1Type; }  // 0 RS-232, 1 RS-485
  void setCom1Type(int index);
  int com1BaudIndex() const { return m_com1Baud; }
  void setCom1BaudIndex(int index);
  int com2BaudIndex() const { return m_com2Baud; }
  void setCom2BaudIndex(int index);

  // --- Check boxes ----------------------------------------------------------------------------
  bool stopOnError() const { return m_stopOnError; }
  void setStopOnError(bool on);
  bool keypadLock() const { return m_keypadLock; }
  void setKeypadLock(bool on);
  bool autoScroll() const { return m_autoScroll; }
  void setAutoScroll(bool on);

  // --- Spin edits: numbers clamp to the range; text reads as the control reads it --------------
  int interval() const { return m_interval; }
  void setInterval(long long value);
  void setIntervalText(std::string_view text);
  int fieldsPerRecord() const { return m_fieldsPerRecord; }
  void setFieldsPerRecord(long long value);
  void setFieldsPerRecordText(std::string_view text);
  int scrollPause() const { return m_scrollPause; }
  void setScrollPause(long long value);
  void setScrollPauseText(std::string_view text);
  int scrollEnd() const { return m_scrollEnd; }
  void setScrollEnd(long long value);
  void setScrollEndText(std::string_view text);

  // A spin edit's text as a number: empty or not a number (anything but digits, an optional
  // leading sign) reads as the range's minimum; otherwise the value clamped to the range.
  static int readSpinText(std::string_view text, Range range);

  // --- Record formats (row 0..24 = field 1..25) -------------------------------------------------
  const RecordFormat& format(int row) const { return m_formats.at(static_cast<std::size_t>(row)); }
  const std::array<RecordFormat, kFieldCount>& formats() const { return m_formats; }
  // Labels longer than 25 characters are cut to 25; the numbers clamp to their ranges.
  void setFormat(int row, const RecordFormat& format);
  void setLabel(int row, std::string_view label);
  void setType(int row, int type);
  void setWidth(int row, long long width);
  void setWidthText(int row, std::string_view text);
  void setPrecision(int row, long long precision);
  void setPrecisionText(int row, std::string_view text);
  // Rows 1..N are enabled for editing, N being the fields-per-record value; the others keep their
  // contents and are still sent and saved.
  bool isRowEnabled(int row) const { return row >= 0 && row < m_fieldsPerRecord; }
  // The row's number caption, "01".."25".
  static std::string rowCaption(int row);

  // --- Date, time and "Use PC System Time" ------------------------------------------------------
  bool usePcTime() const { return m_usePcTime; }
  void setUsePcTime(bool on);
  // "MM-DD-YYYY" and "HH:MM:SS" as the masked fields hold them (digits or blanks in the digit
  // places). A text that does not fit the mask is refused (false) and changes nothing.
  const std::string& dateText() const { return m_date; }
  bool setDateText(std::string_view text);
  const std::string& timeText() const { return m_time; }
  bool setTimeText(std::string_view text);
  // Writes the date as "%02u-%02u-%04u" (month, day, year) and the time as "%02u:%02u:%02u".
  void setDateTime(const DateTime& at);
  // With "Use PC System Time" on, the computer's date and time into the fields (the window's
  // 500 ms timer calls it while the Setup page is shown; a send calls it just before it starts).
  // Off, nothing changes.
  void refreshFromPcClock(const Calendar& calendar);
  // The numbers of the date field (month, day, year) and the time field (hour, minute, second),
  // each read at offsets 0, 3 and 6 as the transfers read them. Blanks read as 0.
  std::array<int, 3> dateNumbers() const;
  std::array<int, 3> timeNumbers() const;

  // --- Change notification ----------------------------------------------------------------------
  // Called after every change (once per batch, see `Batch`). Setting a value to what it already
  // is calls nothing.
  void setOnChanged(std::function<void()> onChanged) { m_onChanged = std::move(onChanged); }
  // Counts changes; a view can compare it with the value it last showed.
  std::uint64_t version() const { return m_version; }

  // Holds the notification back while it lives; one notification follows if anything changed.
  class Batch {
   public:
    explicit Batch(SetupModel& model);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    SetupModel& m_model;
  };

  // Every value but the change listener.
  friend bool operator==(const SetupModel& a, const SetupModel& b) { return a.sameValues(b); }

 private:
  template <typename T>
  void assign(T& field, T value);
  void changed();
  bool sameValues(const SetupModel& other) const;

  int m_com1Type = 0;
  int m_com1Baud = kDefaultBaudIndex;
  int m_com2Baud = kDefaultBaudIndex;
  bool m_stopOnError = false;
  bool m_keypadLock = false;
  bool m_autoScroll = false;
  int m_interval = 1;
  int m_fieldsPerRecord = 1;
  int m_scrollPause = 1;
  int m_scrollEnd = 8;
  std::array<RecordFormat, kFieldCount> m_formats;
  bool m_usePcTime = true;
  std::string m_date{kBlankDate};
  std::string m_time{kBlankTime};

  std::function<void()> m_onChanged;
  std::uint64_t m_version = 0;
  int m_batchDepth = 0;
  bool m_batchChanged = false;
};

}  // namespace halvern
