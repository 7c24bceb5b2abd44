#include "setup/setup_model.h"

#include <algorithm>
#include <cstdio>

#include "wire/text_format.h"

namespace halvern {

namespace {

// A text fits a mask of '0' digit places and literal characters when it has the mask's length,
// the literals in their places and a digit or a blank in every digit place.
bool fitsMask(std::string_view text, std::string_view mask) {
  if (text.size() != mask.size()) return false;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    if (mask[i] == '0') {
      if (text[i] != ' ' && (text[i] < '0' || text[i] > '9')) return false;
    } else if (text[i] != mask[i]) {
      return false;
    }
  }
  return true;
}

// The number at `offset` of a masked field: blanks before it skipped, the digits up to the first
// non-digit; none reads as 0.
int numberAt(std::string_view text, std::size_t offset) {
  std::size_t i = offset;
  while (i < text.size() && text[i] == ' ') ++i;
  int value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

constexpr std::string_view kDateMask = "00-00-0000";
constexpr std::string_view kTimeMask = "00:00:00";

}  // namespace

int SetupModel::Range::clamp(long long value) const {
  return static_cast<int>(std::clamp<long long>(value, minimum, maximum));
}

SetupModel::SetupModel() {
  for (int row = 0; row < kFieldCount; ++row) {
    m_formats[static_cast<std::size_t>(row)].label = formatText("FIELD %02i", row + 1);
  }
}

int SetupModel::baudCode(int index) {
  return kBaudCodes[static_cast<std::size_t>(kBaudIndexRange.clamp(index))];
}

std::optional<int> SetupModel::baudIndex(int code) {
  auto it = std::find(kBaudCodes.begin(), kBaudCodes.end(), code);
  if (it == kBaudCodes.end()) return std::nullopt;
  return static_cast<int>(it - kBaudCodes.begin());
}

template <typename T>
void SetupModel::assign(T& field, T value) {
  if (field == value) return;
  field = std::move(value);
  changed();
}

void SetupModel::changed() {
  ++m_version;
  if (m_batchDepth > 0) {
    m_batchChanged = true;
    return;
  }
  if (m_onChanged) m_onChanged();
}

SetupModel::Batch::Batch(SetupModel& model) : m_model(model) { ++m_model.m_batchDepth; }

SetupModel::Batch::~Batch() {
  if (--m_model.m_batchDepth > 0 || !m_model.m_batchChanged) return;
  m_model.m_batchChanged = false;
  if (m_model.m_onChanged) m_model.m_onChanged();
}

void SetupModel::setCom1Type(int index) { assign(m_com1Type, kCom1TypeRange.clamp(index)); }
void SetupModel::setCom1BaudIndex(int index) { assign(m_com1Baud, kBaudIndexRange.clamp(index)); }
void SetupModel::setCom2BaudIndex(int index) { assign(m_com2Baud, kBaudIndexRange.clamp(index)); }
void SetupModel::setStopOnError(bool on) { assign(m_stopOnError, on); }
void SetupModel::setKeypadLock(bool on) { assign(m_keypadLock, on); }
void SetupModel::setAutoScroll(bool on) { assign(m_autoScroll, on); }

int SetupModel::readSpinText(std::string_view text, Range range) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return range.minimum;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return range.minimum;
    // Saturates: a long run of digits is still a number far above the range.
    value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 40);
  }
  return range.clamp(negative ? -value : value);
}

void SetupModel::setInterval(long long value) { assign(m_interval, kIntervalRange.clamp(value)); }
void SetupModel::setIntervalText(std::string_view text) {
  assign(m_interval, readSpinText(text, kIntervalRange));
}
void SetupModel::setFieldsPerRecord(long long value) {
  assign(m_fieldsPerRecord, kFieldsPerRecordRange.clamp(value));
}
void SetupModel::setFieldsPerRecordText(std::string_view text) {
  assign(m_fieldsPerRecord, readSpinText(text, kFieldsPerRecordRange));
}
void SetupModel::setScrollPause(long long value) {
  assign(m_scrollPause, kScrollPauseRange.clamp(value));
}
void SetupModel::setScrollPauseText(std::string_view text) {
  assign(m_scrollPause, readSpinText(text, kScrollPauseRange));
}
void SetupModel::setScrollEnd(long long value) {
  assign(m_scrollEnd, kScrollEndRange.clamp(value));
}
void SetupModel::setScrollEndText(std::string_view text) {
  assign(m_scrollEnd, readSpinText(text, kScrollEndRange));
}

void SetupModel::setFormat(int row, const RecordFormat& format) {
  Batch batch(*this);
  setLabel(row, format.label);
  setType(row, format.type);
  setWidth(row, format.width);
  setPrecision(row, format.precision);
}

void SetupModel::setLabel(int row, std::string_view label) {
  // The label's edit box takes 25 characters at most.
  assign(m_formats.at(static_cast<std::size_t>(row)).label,
         std::string(label.substr(0, kLabelMax)));
}

void SetupModel::setType(int row, int type) {
  assign(m_formats.at(static_cast<std::size_t>(row)).type, kTypeRange.clamp(type));
}

void SetupModel::setWidth(int row, long long width) {
  assign(m_formats.at(static_cast<std::size_t>(row)).width, kWidthRange.clamp(width));
}

void SetupModel::setWidthText(int row, std::string_view text) {
  assign(m_formats.at(static_cast<std::size_t>(row)).width, readSpinText(text, kWidthRange));
}

void SetupModel::setPrecision(int row, long long precision) {
  assign(m_formats.at(static_cast<std::size_t>(row)).precision, kPrecisionRange.clamp(precision));
}

void SetupModel::setPrecisionText(int row, std::string_view text) {
  assign(m_formats.at(static_cast<std::size_t>(row)).precision,
         readSpinText(text, kPrecisionRange));
}

std::string SetupModel::rowCaption(int row) { return formatText("%02i", row + 1); }

void SetupModel::setUsePcTime(bool on) { assign(m_usePcTime, on); }

bool SetupModel::setDateText(std::string_view text) {
  if (!fitsMask(text, kDateMask)) return false;
  assign(m_date, std::string(text));
  return true;
}

bool SetupModel::setTimeText(std::string_view text) {
  if (!fitsMask(text, kTimeMask)) return false;
  assign(m_time, std::string(text));
  return true;
}

void SetupModel::setDateTime(const DateTime& at) {
  // The fields hold two digits (four for the year); a value beyond them is cut to its last
  // digits rather than overflowing the mask.
  const std::string date =
      formatText("%02u-%02u-%04u", static_cast<unsigned>(at.month) % 100,
                 static_cast<unsigned>(at.day) % 100, static_cast<unsigned>(at.year) % 10000);
  const std::string time =
      formatText("%02u:%02u:%02u", static_cast<unsigned>(at.hour) % 100,
                 static_cast<unsigned>(at.minute) % 100, static_cast<unsigned>(at.second) % 100);
  Batch batch(*this);
  setDateText(date);
  setTimeText(time);
}

void SetupModel::refreshFromPcClock(const Calendar& calendar) {
  if (m_usePcTime) setDateTime(calendar.now());
}

std::array<int, 3> SetupModel::dateNumbers() const {
  return {numberAt(m_date, 0), numberAt(m_date, 3), numberAt(m_date, 6)};
}

std::array<int, 3> SetupModel::timeNumbers() const {
  return {numberAt(m_time, 0), numberAt(m_time, 3), numberAt(m_time, 6)};
}

bool SetupModel::sameValues(const SetupModel& o) const {
  return m_com1Type == o.m_com1Type && m_com1Baud == o.m_com1Baud && m_com2Baud == o.m_com2Baud &&
         m_stopOnError == o.m_stopOnError && m_keypadLock == o.m_keypadLock &&
         m_autoScroll == o.m_autoScroll && m_interval == o.m_interval &&
         m_fieldsPerRecord == o.m_fieldsPerRecord && m_scrollPause == o.m_scrollPause &&
         m_scrollEnd == o.m_scrollEnd && m_formats == o.m_formats && m_usePcTime == o.m_usePcTime &&
         m_date == o.m_date && m_time == o.m_time;
}

}  // namespace halvern
