#include "firmware/srecord_file.h"

#include <algorithm>
#include <limits>

#include "wire/text_format.h"

namespace halvern {

namespace {

// The separators of the file's tokens.
bool isSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The highest address a data record of the type may fill.
std::uint32_t lastAddressOf(int type) {
  switch (type) {
    case 1:
      return 0xFFFF;
    case 2:
      return 0xFFFFFF;
    default:
      return 0xFFFFFFFF;
  }
}

bool isData(int type) { return type >= 1 && type <= 3; }

std::string onLine(std::size_t line, const std::string& fault) {
  return "Line " + std::to_string(line) + ": " + fault + ".";
}

// One token as a record. `dataBefore` is the data records before it in the file, the count an
// S5 or S6 record must give. Returns the fault, or an empty text when the token is a record.
std::string parseRecord(std::string_view token, std::size_t dataBefore, SRecord& record) {
  if (token.size() < 2 || token[0] != 'S' || token[1] < '0' || token[1] > '9') {
    return "not an S-record";
  }
  const int type = token[1] - '0';
  if (type == 4) return "record type S4 unknown";
  if (token.size() > kLongestRecord) {
    return formatText("record of %zu characters, longer than %zu", token.size(), kLongestRecord);
  }
  for (std::size_t i = 2; i < token.size(); ++i) {
    if (hexDigit(token[i]) < 0) {
      return formatText("character %zu is not a hexadecimal digit", i + 1);
    }
  }
  const std::size_t digits = token.size() - 2;
  if (digits % 2 != 0) return formatText("odd number of hex digits (%zu)", digits);
  if (digits == 0) return formatText("S%d record without a count byte", type);

  // Count, address, data and checksum: at most (398 - 2) / 2 bytes.
  std::uint8_t bytes[kLongestRecord / 2] = {};
  const std::size_t size = digits / 2;
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] =
        static_cast<std::uint8_t>(hexDigit(token[2 + 2 * i]) * 16 + hexDigit(token[3 + 2 * i]));
  }
  const std::size_t count = bytes[0];
  if (count != size - 1) {
    return formatText("count byte %02X (%zu), but %zu bytes follow", bytes[0], count, size - 1);
  }
  const auto width = static_cast<std::size_t>(srecordAddressBytes(type));
  if (count < width + 1) {
    return formatText("S%d record too short for its %zu-byte address", type, width);
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < size; ++i) sum += bytes[i];
  const auto expected = static_cast<std::uint8_t>(~sum);
  if (bytes[size - 1] != expected) {
    return formatText("checksum %02X, expected %02X", bytes[size - 1], expected);
  }

  std::uint32_t address = 0;
  for (std::size_t i = 1; i <= width; ++i) address = address << 8 | bytes[i];
  const std::size_t dataSize = size - 2 - width;
  if (type >= 5 && dataSize > 0) return formatText("S%d record carries data", type);
  if (isData(type) && dataSize > 0 &&
      std::uint64_t{address} + dataSize - 1 > std::uint64_t{lastAddressOf(type)}) {
    return formatText("S%d record runs past address %0*X", type, static_cast<int>(2 * width),
                      lastAddressOf(type));
  }
  if ((type == 5 || type == 6) && address != dataBefore) {
    return formatText("S%d count %u, but %zu data %s before it", type, address, dataBefore,
                      dataBefore == 1 ? "record comes" : "records come");
  }

  record.type = type;
  record.address = address;
  record.data.assign(bytes + 1 + width, bytes + 1 + width + dataSize);
  record.text = std::string(token);
  return {};
}

// The addresses a data record fills, with its place in the file.
struct Run {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::size_t index = 0;
};

std::vector<Run> runsOf(const std::vector<SRecord>& records, std::size_t upTo) {
  std::vector<Run> runs;
  for (std::size_t i = 0; i < upTo; ++i) {
    const SRecord& r = records[i];
    if (!isData(r.type) || r.data.empty()) continue;
    runs.push_back({r.address, std::uint64_t{r.address} + r.data.size() - 1, i});
  }
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) {
    return a.first != b.first ? a.first < b.first : a.index < b.index;
  });
  return runs;
}

// The first record in file order that gives an address a byte other than an earlier record gave
// it. Records whose runs overlap no other are passed over; each group of overlapping runs is laid
// out byte by byte, its records in file order, keeping the first byte each address was given.
struct Conflict {
  std::size_t index = std::numeric_limits<std::size_t>::max();
  std::uint32_t address = 0;
  std::uint8_t here = 0;
  std::uint8_t before = 0;
  std::size_t beforeLine = 0;
};

Conflict firstConflict(const std::vector<SRecord>& records) {
  const std::vector<Run> runs = runsOf(records, records.size());
  Conflict found;
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  std::vector<std::size_t> owner;  // the record that first gave the address its byte
  std::vector<const Run*> group;
  for (std::size_t begin = 0; begin < runs.size();) {
    std::size_t end = begin + 1;
    std::uint64_t last = runs[begin].last;
    while (end < runs.size() && runs[end].first <= last) {
      last = std::max(last, runs[end].last);
      ++end;
    }
    if (end - begin > 1) {
      group.clear();
      for (std::size_t k = begin; k < end; ++k) group.push_back(&runs[k]);
      std::sort(group.begin(), group.end(),
                [](const Run* a, const Run* b) { return a->index < b->index; });
      const std::uint64_t base = runs[begin].first;
      owner.assign(static_cast<std::size_t>(last - base + 1), kNone);
      for (const Run* run : group) {
        if (run->index >= found.index) break;
        const SRecord& r = records[run->index];
        bool conflict = false;
        for (std::size_t i = 0; i < r.data.size(); ++i) {
          std::size_t& first = owner[static_cast<std::size_t>(run->first - base) + i];
          if (first == kNone) {
            first = run->index;
          } else {
            const SRecord& earlier = records[first];
            const std::uint8_t before = earlier.data[run->first + i - earlier.address];
            if (before != r.data[i]) {
              found = {run->index, static_cast<std::uint32_t>(run->first + i), r.data[i], before,
                       earlier.line};
              conflict = true;
              break;
            }
          }
        }
        if (conflict) break;
      }
    }
    begin = end;
  }
  return found;
}

std::string headerText(const std::vector<std::uint8_t>& data) {
  std::string text;
  for (std::uint8_t b : data) text += b >= 32 && b <= 126 ? static_cast<char>(b) : '.';
  return text;
}

}  // namespace

int srecordAddressBytes(int type) {
  switch (type) {
    case 0:
    case 1:
    case 5:
    case 9:
      return 2;
    case 2:
    case 6:
    case 8:
      return 3;
    case 3:
    case 7:
      return 4;
    default:
      return 0;
  }
}

std::string encodeSRecord(const SRecord& record, bool lowerCase) {
  const int width = srecordAddressBytes(record.type);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 + static_cast<std::size_t>(width) + record.data.size());
  bytes.push_back(static_cast<std::uint8_t>(width + 1 + record.data.size()));
  for (int i = width - 1; i >= 0; --i) {
    bytes.push_back(static_cast<std::uint8_t>(record.address >> (8 * i)));
  }
  bytes.insert(bytes.end(), record.data.begin(), record.data.end());
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  bytes.push_back(static_cast<std::uint8_t>(~sum));

  const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
  std::string text = "S" + std::to_string(record.type);
  for (std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 0xF];
  }
  return text;
}

SRecordCheck checkSRecordFile(std::string_view bytes) {
  SRecordImage image;
  std::size_t line = 1;
  std::size_t dataBefore = 0;
  std::string fault;  // the first fault of a single record, at `faultLine`
  std::size_t faultLine = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    if (isSeparator(bytes[at])) {
      if (bytes[at] == '\n') ++line;
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < bytes.size() && !isSeparator(bytes[end])) ++end;
    const std::string_view token = bytes.substr(at, end - at);
    if (image.records.empty() && token.substr(0, 2) != "S0") {
      return {std::nullopt, std::string(srecord_text::kIncorrectFileType)};
    }
    SRecord record;
    record.line = line;
    record.end = end;
    fault = parseRecord(token, dataBefore, record);
    if (!fault.empty()) {
      faultLine = line;
      break;
    }
    if (isData(record.type)) ++dataBefore;
    image.records.push_back(std::move(record));
    at = end;
  }
  if (image.records.empty() && fault.empty()) {
    return {std::nullopt, std::string(srecord_text::kIncorrectFileType)};
  }

  // A record before the faulty one that conflicts with one earlier still is the first fault.
  const Conflict conflict = firstConflict(image.records);
  if (conflict.index < image.records.size()) {
    return {std::nullopt,
            onLine(image.records[conflict.index].line,
                   formatText("address %04X given %02X here and %02X on line %zu", conflict.address,
                              conflict.here, conflict.before, conflict.beforeLine))};
  }
  if (!fault.empty()) return {std::nullopt, onLine(faultLine, fault)};

  const auto s9 = std::find_if(image.records.begin(), image.records.end(),
                               [](const SRecord& r) { return r.type == 9; });
  if (s9 == image.records.end()) {
    return {std::nullopt, onLine(image.records.back().line, "the file ends without an S9 record")};
  }
  image.sent = static_cast<std::size_t>(s9 - image.records.begin()) + 1;
  image.header = headerText(image.records.front().data);
  for (std::size_t i = 0; i < image.sent; ++i) {
    const SRecord& r = image.records[i];
    if (!isData(r.type)) continue;
    ++image.dataRecords;
    image.dataBytes += r.data.size();
  }
  for (const Run& run : runsOf(image.records, image.sent)) {
    if (!image.ranges.empty() && run.first <= std::uint64_t{image.ranges.back().last} + 1) {
      image.ranges.back().last =
          std::max(image.ranges.back().last, static_cast<std::uint32_t>(run.last));
    } else {
      image.ranges.push_back(
          {static_cast<std::uint32_t>(run.first), static_cast<std::uint32_t>(run.last)});
    }
  }
  return {std::move(image), {}};
}

}  // namespace halvern
