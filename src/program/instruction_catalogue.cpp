#include "program/instruction_catalogue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "wire/c_numbers.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

using SV = std::string_view;

// The value lists, by number; entries are padded to a common length within each list and the
// padding is part of the text.
constexpr SV kList5[] = {"SMALL", "BIG  "};
constexpr SV kList6[] = {"SEC", "MIN"};
constexpr SV kList7[] = {"15-MIN", "60-MIN"};
constexpr SV kList8[] = {"< ", "<=", "> ", ">=", "<>", "= "};
constexpr SV kList9[] = {"SCALAR ", "VECTOR ", "UNITVEC"};
constexpr SV kList10[] = {"KEY1", "KEY2", "KEY3"};
// 0xDF is the degree sign of the instrument's own display.
constexpr SV kList11[] = {
    "\xDF"
    "C     ",
    "\xDF"
    "F     ",
    "special"};
constexpr SV kList12[] = {"OFF", "ON "};
constexpr SV kList13[] = {"+  ", "-  ", "*  ", "/  ", "POW", "MOD"};
constexpr SV kList14[] = {"M/S ", "MPH ", "KM/H", "KTS "};
constexpr SV kList15[] = {"MM  ", "INCH"};
constexpr SV kList16[] = {"DATE", "TIME"};
constexpr SV kList17[] = {"ABS    ", "COS    ", "SIN    ",  "ATAN2  ", "DEWPT  ",
                          "WETBULB", "WNDCHLL", "POLYNOM",  "RTD375 ", "RTD385 ",
                          "P CORR ", "ERRCODE", "DATETIME", "WAITFOR "};
constexpr SV kList18[] = {"DIFF", "SE  "};
constexpr SV kList19[] = {"A1xxx", "A2xxx", "A31xx", "A33xx", "A3417"};
constexpr SV kList20[] = {"NO", "YES"};
constexpr SV kList21[] = {"4800Hz ", "2400Hz ", "960Hz  ", "300Hz  ", "150Hz  ",
                          "60Hz   ", "50Hz   ", "10Hz   ", "7.5Hz  ", "4.7Hz  "};
constexpr SV kList22[] = {"LOW-AC", "TTL/SW"};
constexpr SV kList23[] = {"OUTSIDE", "INSIDE "};
constexpr SV kList24[] = {"1200  ", "2400  ", "4800  ", "9600  ", "19.2K ", "38.4K ", "115.2K"};
constexpr SV kList25[] = {"SIMPLE", "CRC32 ", "NMEA  "};
constexpr SV kList26[] = {"BLOCK    ", "BLK ANGLE", "MOVING   ", "MOV ANGLE"};
constexpr SV kList27[] = {"CR  ", "LF  ", "NONE", "CRLF"};
constexpr SV kList28[] = {"SPACE", "COMMA", "TAB  ", "NONE "};
constexpr SV kList29[] = {"BUFFERED  ", "UNBUFFERED"};
constexpr SV kList30[] = {"ANY", "ALL"};
constexpr SV kList31[] = {"EXCL", "INCL"};
constexpr SV kList32[] = {"BIN", "HEX"};
constexpr SV kList33[] = {"BLOCK ", "MOVING"};
constexpr SV kList34[] = {"COM1", "COM2"};

constexpr std::array<std::span<const SV>, kLastListKind - kFirstListKind + 1> kLists{{
    kList5,  kList6,  kList7,  kList8,  kList9,  kList10, kList11, kList12, kList13, kList14,
    kList15, kList16, kList17, kList18, kList19, kList20, kList21, kList22, kList23, kList24,
    kList25, kList26, kList27, kList28, kList29, kList30, kList31, kList32, kList33, kList34,
}};

constexpr std::span<const SV> listOf(std::uint8_t kind) {
  if (kind < kFirstListKind || kind > kLastListKind) return {};
  return kLists[kind - kFirstListKind];
}

// Parameter definitions as the catalogue gives them.
constexpr ParamDef integer(SV label, std::uint8_t width, float value) {
  return {label, kKindInteger, width, value, {}};
}
constexpr ParamDef decimal(SV label, std::uint8_t width, float value) {
  return {label, kKindDecimal, width, value, {}};
}
constexpr ParamDef text(SV label, std::uint8_t width, SV initial = {}) {
  return {label, kKindText, width, 0, initial};
}
constexpr ParamDef hex(SV label, std::uint8_t width, float value) {
  return {label, kKindHex, width, value, {}};
}
// A list parameter whose default is given as the entry it selects; an entry not in the list
// stops the compilation.
constexpr ParamDef list(SV label, std::uint8_t kind, SV entry) {
  auto entries = listOf(kind);
  std::size_t index = 0;
  while (entries[index] != entry) ++index;
  return {label, kind, 0, static_cast<float>(index), {}};
}

template <typename... P>
constexpr InstructionDef def(SV name, P... params) {
  return InstructionDef{name, sizeof...(P), {params...}};
}

constexpr std::array<InstructionDef, InstructionCatalogue::kCount> kCatalogue{{
    def("PGM END"),
    def("ALARM", integer("sloc=", 3, 1), decimal("set1=", 7, 0), decimal("set2=", 7, 0),
        integer("delay=", 3, 0), list("span=", 31, "EXCL"), integer("sw=", 1, 1)),
    def("AVERAGE", integer("sloc=", 3, 1), integer("dloc=", 3, 1), list("type=", 26, "BLOCK    "),
        integer("#samp=", 4, 0)),
    def("BEEP", integer("num=", 1, 1)),
    def("CHANGE TO SCREEN", integer("sloc=", 3, 1)),
    def("DELAY", integer("msec=", 4, 1)),
    def("DISPLAY FLAGS", integer("scrn=", 1, 1), list("font=", 5, "SMALL"), integer("row=", 1, 1),
        integer("col=", 2, 1), list("format=", 32, "BIN")),
    def("DISPLAY NESW", integer("sloc=", 3, 1), integer("scrn=", 1, 1), list("font=", 5, "SMALL"),
        integer("row=", 1, 1), integer("col=", 2, 1)),
    def("DISPLAY TEXT", integer("scrn=", 1, 1), integer("row=", 1, 1), integer("col=", 2, 1),
        text("text=", 25), list("font=", 5, "SMALL")),
    def("DISPLAY TIME", integer("scrn=", 1, 1), list("font=", 5, "SMALL"), integer("row=", 1, 1),
        integer("col=", 2, 1)),
    def("DISPLAY VALUE", integer("sloc=", 3, 1), integer("scrn=", 1, 1), list("font=", 5, "SMALL"),
        integer("row=", 1, 1), integer("col=", 2, 1), integer("width=", 1, 7),
        integer("decpt=", 1, 0)),
    def("ELSE"),
    def("END IF"),
    def("FLAG SET", integer("flag#=", 2, 1), list("state=", 12, "OFF")),
    def("FLAG SET MASK", hex("mask=", 4, 0), list("state=", 12, "OFF")),
    def("FLAG TIME INTERVAL", list("unit=", 6, "SEC"), integer("time=", 4, 0),
        integer("flag#=", 2, 1), list("state=", 12, "OFF")),
    def("IF FLAG", integer("flag#=", 2, 1), list("state=", 12, "OFF")),
    def("IF FLAG MASK", hex("mask=", 4, 0), list("logic=", 30, "ANY"), list("state=", 12, "OFF")),
    def("IF KEYSWITCH", list("key=", 10, "KEY1")),
    def("IF LOC1 COMPARE LOC2", integer("sloc1=", 3, 1), list("comp:", 8, "< "),
        integer("sloc2=", 3, 1)),
    def("IF LOC COMPARE VAL", integer("sloc=", 3, 1), list("comp:", 8, "< "),
        decimal("val=", 7, 0)),
    def("IF LOC SPAN", integer("sloc=", 3, 1), decimal("set1=", 7, 0), decimal("set2=", 7, 0),
        integer("delay=", 2, 0), list("span=", 31, "EXCL")),
    def("IF TIME INTERVAL", list("unit=", 6, "SEC"), integer("time=", 4, 0)),
    def("INPUT FREQ", integer("chan=", 1, 1), list("type=", 22, "LOW-AC"), decimal("mult=", 7, 1),
        decimal("offs=", 7, 0), integer("dloc=", 3, 1)),
    def("INPUT PRECIP (TIPPING BUCKET)", integer("chan=", 1, 1), decimal("reso=", 7, 0.1f),
        decimal("mult=", 7, 1), integer("dloc=", 3, 1)),
    def("INPUT PRECIP (SIPHON)", integer("chan=", 2, 1), list("type=", 18, "DIFF"),
        list("unit=", 15, "MM  "), decimal("mult=", 7, 1), decimal("offs=", 7, 0),
        integer("dloc=", 3, 1)),
    def("INPUT SERIAL NMEA", list("chan=", 34, "COM2"), text("header=", 5, "WIMWV"),
        integer("#flds=", 2, 1), integer("wait=", 4, 1000), integer("dloc1=", 3, 1)),
    def("INPUT SERIAL NUM", list("chan=", 34, "COM2"), integer("#flds=", 2, 1),
        list("delim=", 28, "SPACE"), list("endchr=", 27, "CR  "), integer("wait=", 4, 100),
        integer("dloc1=", 3, 1)),
    def("INPUT SERIAL ZLKT", list("chan=", 34, "COM2"), list("units=", 14, "M/S "),
        integer("wait=", 4, 1000), integer("dloc1=", 3, 1)),
    def("INPUT (reserved)"),
    def("INPUT VOLTAGE", integer("chan=", 2, 1), list("type=", 18, "DIFF"), decimal("mult=", 7, 1),
        decimal("offs=", 7, 0), list("rate=", 21, "4800Hz "), integer("dloc=", 3, 1)),
    def("INPUT WIND DIR (VOLTAGE)", integer("chan=", 2, 1), list("sensor=", 19, "A1xxx"),
        integer("dloc=", 3, 1)),
    def("INPUT WIND SPEED (FREQ)", integer("chan=", 1, 1), list("sensor=", 19, "A1xxx"),
        list("units=", 14, "M/S "), integer("dloc=", 3, 1)),
    def("LOC1 = LOC2", integer("loc1=", 3, 1), integer("loc2=", 3, 1)),
    def("LOC = VALUE", integer("loc=", 3, 1), decimal("val=", 7, 0)),
    def("LOC1 = LOC2 OPER LOC3", integer("loc1=", 3, 1), integer("loc2=", 3, 1),
        list("oper:", 13, "+  "), integer("loc3=", 3, 1)),
    def("LOC1 = LOC2 OPER VALUE", integer("loc1=", 3, 1), integer("loc2=", 3, 1),
        list("oper:", 13, "+  "), decimal("val=", 7, 0)),
    def("LOC1 = FUNCTION(LOC2)", integer("loc1=", 3, 1), list("func=", 17, "ABS    "),
        integer("loc2=", 3, 1)),
    def("MAXIMUM", integer("sloc=", 3, 1), integer("dloc1=", 3, 1), list("type=", 33, "BLOCK "),
        integer("#samp=", 4, 0)),
    def("MINIMUM", integer("sloc=", 3, 1), integer("dloc1=", 3, 1), list("type=", 33, "BLOCK "),
        integer("#samp=", 4, 0)),
    def("OUTPUT MILLIAMPS", integer("sloc=", 3, 1), integer("chan=", 2, 1), decimal("mult=", 7, 1),
        decimal("offs=", 7, 0)),
    def("OUTPUT MILLIVOLTS", integer("sloc=", 3, 1), integer("chan=", 2, 1), decimal("mult=", 7, 1),
        decimal("offs=", 7, 0)),
    def("OUTPUT SWITCH", integer("chan=", 1, 1), list("state=", 12, "OFF")),
    def("RECORD TIME", list("frmt=", 16, "DATE")),
    def("RECORD VALUE", integer("sloc=", 3, 1)),
    def("SERIAL BUFFER CHECKSUM", list("type=", 25, "SIMPLE")),
    def("SERIAL BUFFER NESW", integer("sloc=", 3, 1), list("delim=", 28, "SPACE")),
    def("SERIAL BUFFER OUT", list("chan=", 34, "COM2"), list("endchr=", 27, "CR  "),
        integer("delay=", 2, 0)),
    def("SERIAL BUFFER TEXT", text("text=", 25)),
    def("SERIAL BUFFER TIME", list("frmt=", 16, "DATE"), list("delim=", 28, "SPACE")),
    def("SERIAL BUFFER VALUE", integer("loc=", 3, 1), integer("width=", 1, 7),
        integer("decpt=", 1, 0), list("delim=", 28, "SPACE")),
    def("STANDARD DEVIATION", integer("sloc=", 3, 1), integer("dloc=", 3, 1),
        list("type=", 26, "BLOCK    "), integer("#samp=", 4, 0)),
    def("WIND DIRECTION 0-540", integer("sloc=", 3, 1), integer("dloc=", 3, 1)),
}};

std::string label(const ParamDef& param) { return std::string(param.label) + ' '; }

// A list entry, or nothing for an index outside the list (such values are refused before they
// reach a record, so this only guards the read).
std::string entryText(const ParamDef& param, std::int32_t index) {
  auto entries = listOf(param.kind);
  if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return {};
  return std::string(entries[static_cast<std::size_t>(index)]);
}

}  // namespace

const InstructionDef& InstructionCatalogue::instruction(std::uint16_t opcode) {
  return kCatalogue.at(opcode);
}

std::span<const InstructionDef> InstructionCatalogue::all() { return kCatalogue; }

std::span<const std::string_view> InstructionCatalogue::valueList(std::uint8_t kind) {
  return listOf(kind);
}

std::string degreesShown(std::string_view stored) {
  std::string shown(stored);
  std::replace(shown.begin(), shown.end(), kStoredDegree, kShownDegree);
  return shown;
}

std::string degreesStored(std::string_view shown) {
  std::string stored(shown);
  std::replace(stored.begin(), stored.end(), kShownDegree, kStoredDegree);
  return stored;
}

std::string integerText(int width, std::int32_t value) {
  return formatText("%0*i", width, static_cast<int>(value));
}

std::string decimalText(int width, float value) {
  // The C library's "%0.*f", without its dependence on the locale's decimal point.
  const int decimals = std::max(width - 2, 0);
  char buffer[400];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                              std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) return {};
  return std::string(buffer, result.ptr);
}

std::string hexText(std::int32_t value) { return formatText("%04X", static_cast<unsigned>(value)); }

namespace {

// Record bytes shown in a tree line. A CR or LF would end the line in a program file and split
// it, so that the file could not be opened again: each shows as a blank instead.
std::string oneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

}  // namespace

std::string storedParameterLine(const ParamDef& param, const ProgramRecord& record, std::size_t j) {
  switch (param.paramKind()) {
    case ParamKind::Integer:
      // The value is taken as 16 bits, as it travels to the instrument.
      return label(param) + integerText(param.width, static_cast<std::int16_t>(record.intValue(j)));
    case ParamKind::Decimal:
      return label(param) + decimalText(param.width, record.floatValue(j));
    case ParamKind::Text:
      return label(param) + oneLine(record.text());
    case ParamKind::Hex:
      return label(param) + hexText(record.intValue(j));
    case ParamKind::List:
      return label(param) + entryText(param, record.intValue(j));
    case ParamKind::None:
      break;
  }
  return label(param);
}

std::string receivedParameterLine(const ParamDef& param, const ProgramRecord& record,
                                  std::size_t j) {
  switch (param.paramKind()) {
    case ParamKind::Integer:
    case ParamKind::Decimal:
      return label(param) + oneLine(record.valueText(j));
    case ParamKind::Text:
      return label(param) + oneLine(degreesShown(record.text()));
    case ParamKind::Hex:
      return label(param) + hexText(record.intValue(j));
    case ParamKind::List:
      return label(param) + entryText(param, record.intValue(j));
    case ParamKind::None:
      break;
  }
  return label(param);
}

std::string editedParameterLine(const ParamDef& param, const ProgramRecord& record, std::size_t j,
                                std::string_view typed) {
  switch (param.paramKind()) {
    case ParamKind::Integer:
      return label(param) + integerText(param.width, record.intValue(j));
    case ParamKind::Decimal:
      return label(param) + std::string(typed);
    case ParamKind::Text: {
      std::string padded(typed);
      if (padded.size() < param.width) padded.resize(param.width, ' ');
      return label(param) + padded;
    }
    case ParamKind::Hex:
      return label(param) + hexText(record.intValue(j));
    case ParamKind::List:
      return label(param) + entryText(param, record.intValue(j));
    case ParamKind::None:
      break;
  }
  return label(param);
}

ProgramRecord defaultRecord(std::uint16_t opcode) {
  ProgramRecord record;
  record.setOpcode(opcode);
  const InstructionDef& instruction = InstructionCatalogue::instruction(opcode);
  for (std::size_t j = 0; j < instruction.parameterCount; ++j) {
    const ParamDef& p = instruction.parameters[j];
    switch (p.paramKind()) {
      case ParamKind::Integer: {
        const auto value = static_cast<std::int16_t>(std::trunc(p.defaultValue));
        record.setIntValue(j, value);
        record.setValueText(j, integerText(p.width, value));
        break;
      }
      case ParamKind::Decimal:
        record.setFloatValue(j, p.defaultValue);
        record.setValueText(j, decimalText(p.width, p.defaultValue));
        break;
      case ParamKind::Text:
        record.setIntValue(j, 0);
        record.setText(p.defaultText);
        break;
      case ParamKind::Hex: {
        const auto value = static_cast<std::int32_t>(std::trunc(p.defaultValue));
        record.setIntValue(j, value);
        record.setValueText(j, hexText(value));
        break;
      }
      case ParamKind::List:
        record.setIntValue(j, static_cast<std::int32_t>(p.defaultValue));
        break;
      case ParamKind::None:
        break;
    }
  }
  return record;
}

std::vector<std::string> instructionHelp(const InstructionDef& def) {
  std::vector<std::string> lines{std::string(def.name)};
  if (def.params().empty()) lines.emplace_back("No parameters.");
  const auto trimmed = [](std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
  };
  for (const ParamDef& p : def.params()) {
    std::string line = trimmed(p.label) + " ";
    const int width = p.width;
    switch (p.paramKind()) {
      case ParamKind::Integer: {
        std::string high(static_cast<std::size_t>(std::max(width, 1)), '9');
        std::string value = std::to_string(static_cast<long>(p.defaultValue));
        if (value.size() < static_cast<std::size_t>(width))
          value.insert(0, static_cast<std::size_t>(width) - value.size(), '0');
        line += "whole number, 0 to " + high + ", default " + value;
        break;
      }
      case ParamKind::Decimal: {
        std::string value;
        appendFixed(value, p.defaultValue, 0, std::max(width - 2, 0));
        line += "decimal number of up to " + std::to_string(width) +
                " characters (digits, \"-\", \".\"), default " + value;
        break;
      }
      case ParamKind::Text:
        line += "text of up to " + std::to_string(width) + " characters, default \"" +
                degreesShown(p.defaultText) + "\"";
        break;
      case ParamKind::Hex: {
        std::string value = hexText(static_cast<std::int32_t>(p.defaultValue));
        line += "hexadecimal, 0000 to FFFF, default " + value;
        break;
      }
      case ParamKind::List: {
        line += "one of: ";
        const auto entries = listOf(p.kind);
        for (std::size_t i = 0; i < entries.size(); ++i)
          line += (i ? ", " : "") + trimmed(entries[i]);
        line += "; default " + entryText(p, static_cast<std::int32_t>(p.defaultValue));
        while (line.ends_with(' ')) line.pop_back();
        break;
      }
      case ParamKind::None:
        break;
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace halvern
