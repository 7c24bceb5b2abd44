#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvern {

// A firmware image file of S-records, checked whole before anything of it reaches the
// instrument. The records are the file's whitespace-separated tokens (blank, tab, CR, LF, VT, FF
// separate them), as the update sends them; each must be a well-formed record:
//   "S", a type digit (0, 1, 2, 3, 5, 6, 7, 8 or 9), then hexadecimal pairs only (either case);
//   the count byte equal to the bytes that follow it; the checksum the ones' complement of the
//   low byte of the sum of the count, address and data bytes; the address width of its type (S0,
//   S1, S5, S9: 2 bytes; S2, S6, S8: 3; S3, S7: 4); no data in S5 to S9; at most
//   kLongestRecord characters.
// The file as a whole: an S0 record first; an S9 record present (the update ends on it); an S5 or
// S6 record's count equal to the data records (S1, S2, S3) before it; no data record running past
// its type's address space; no two records giving different bytes to one address.
struct SRecord {
  std::size_t line = 0;  // the line the token starts on, from 1 (a line ends at a line feed)
  std::size_t end = 0;   // the offset in the file just past the token's last character
  std::string text;      // the token as it stands in the file, sent unchanged
  int type = 0;          // 0..9
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
};

// A run of consecutive data addresses, both ends included.
struct AddressRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

struct SRecordImage {
  std::vector<SRecord> records;  // every token of the file, in order
  std::size_t sent = 0;          // the records the update sends: up to and including the first S9
  std::string header;            // the S0 record's data as text, a byte outside 32..126 as "."
  std::size_t dataRecords = 0;   // S1, S2 and S3 records among those sent
  std::uint64_t dataBytes = 0;   // their data bytes
  std::vector<AddressRange> ranges;  // the addresses they fill, merged, in ascending order
  // Records after the first S9: never sent.
  std::size_t leftOut() const { return records.size() - sent; }
};

struct SRecordCheck {
  std::optional<SRecordImage> image;  // when the file passed
  // Why it did not: "Line 17: checksum 3A, expected 3B." and the like, naming the line and the
  // fault; kIncorrectFileType when the file holds no token or its first does not begin "S0".
  std::string problem;
};

namespace srecord_text {
// The refusal of a file whose first token is not an S0 record, or that holds none.
inline constexpr std::string_view kIncorrectFileType = "Incorrect file type.";
}  // namespace srecord_text

// The longest record the update sends: its buffer holds it, a line feed and a terminating zero.
inline constexpr std::size_t kLongestRecord = 398;
// Larger than any firmware image; a larger file is refused before it is read.
inline constexpr std::uint64_t kLargestImageFile = 16u << 20;

// The checks above on the whole file, in one pass and a sort of the data records' addresses. The
// first fault in file order is the one named; a file with no S9 record is refused on the line of
// its last record. Any bytes are taken (the caller refuses a file over kLargestImageFile).
SRecordCheck checkSRecordFile(std::string_view bytes);

// The address bytes of a record type: 2, 3 or 4; 0 for a type with no record (4, or not 0..9).
int srecordAddressBytes(int type);

// The record's text from its type, address and data, with the count and checksum they give: what
// a well-formed token of the file holds, its hexadecimal digits upper-case or, with `lowerCase`,
// lower-case.
std::string encodeSRecord(const SRecord& record, bool lowerCase = false);

}  // namespace halvern
