// The S-record image check: any bytes are taken or refused. Taken, the records are the file's
// tokens, each written back from its type, address and data (in the token's case) as it stands,
// and the figures of the image agree with them; refused, the reason is the incorrect file type,
// exactly when the file's first token does not begin "S0", or names a line of the file.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "firmware/srecord_file.h"
#include "fuzz_support.h"

namespace {

using namespace halvern;

bool isSeparator(char c) { return std::string_view(" \t\r\n\v\f").find(c) != std::string::npos; }

struct Token {
  std::string_view text;
  std::size_t line = 0;
  std::size_t end = 0;
};

std::vector<Token> tokensOf(std::string_view bytes) {
  std::vector<Token> tokens;
  std::size_t line = 1;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') ++line;
    if (isSeparator(bytes[i])) continue;
    std::size_t end = i;
    while (end < bytes.size() && !isSeparator(bytes[end])) ++end;
    tokens.push_back({bytes.substr(i, end - i), line, end});
    i = end - 1;
  }
  return tokens;
}

// The record written back in the case of its token: lower-case when the token has a lower-case
// digit and no upper-case letter past its "S".
bool matchesEncoding(const SRecord& r) {
  const std::string_view digits = std::string_view(r.text).substr(2);
  const bool lower = digits.find_first_of("abcdef") != std::string::npos;
  const bool upper = digits.find_first_of("ABCDEF") != std::string::npos;
  if (!(lower && upper)) return encodeSRecord(r, lower) == r.text;
  std::string folded = r.text;
  std::transform(folded.begin() + 2, folded.end(), folded.begin() + 2,
                 [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
  return encodeSRecord(r) == folded;
}

void checkImage(std::string_view bytes, const SRecordImage& image) {
  const std::vector<Token> tokens = tokensOf(bytes);
  FUZZ_REQUIRE(image.records.size() == tokens.size());
  std::size_t dataBefore = 0;
  std::map<std::uint64_t, std::uint8_t> given;  // every record's bytes: none given twice apart
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const SRecord& r = image.records[i];
    FUZZ_REQUIRE(r.text == tokens[i].text && r.line == tokens[i].line && r.end == tokens[i].end);
    FUZZ_REQUIRE(r.text.size() <= kLongestRecord && r.type != 4);
    FUZZ_REQUIRE(matchesEncoding(r));
    FUZZ_REQUIRE(r.type <= 3 || r.data.empty());
    if (r.type == 5 || r.type == 6) FUZZ_REQUIRE(r.address == dataBefore);
    if (r.type < 1 || r.type > 3) continue;
    ++dataBefore;
    const std::uint64_t space = r.type == 1 ? 0x10000 : r.type == 2 ? 0x1000000 : 0x100000000;
    FUZZ_REQUIRE(r.address + r.data.size() <= space);
    for (std::size_t k = 0; k < r.data.size(); ++k) {
      const auto [at, added] = given.emplace(std::uint64_t{r.address} + k, r.data[k]);
      FUZZ_REQUIRE(added || at->second == r.data[k]);
    }
  }
  FUZZ_REQUIRE(tokens.front().text.substr(0, 2) == "S0");

  const auto s9 = std::find_if(image.records.begin(), image.records.end(),
                               [](const SRecord& r) { return r.type == 9; });
  FUZZ_REQUIRE(s9 != image.records.end());
  FUZZ_REQUIRE(image.sent == static_cast<std::size_t>(s9 - image.records.begin()) + 1);
  FUZZ_REQUIRE(image.leftOut() == image.records.size() - image.sent);
  FUZZ_REQUIRE(image.header.size() == image.records.front().data.size());
  for (std::size_t k = 0; k < image.header.size(); ++k) {
    const std::uint8_t b = image.records.front().data[k];
    FUZZ_REQUIRE(image.header[k] == (b >= 32 && b <= 126 ? static_cast<char>(b) : '.'));
  }

  std::size_t dataRecords = 0;
  std::uint64_t dataBytes = 0;
  std::map<std::uint64_t, bool> filled;
  for (std::size_t i = 0; i < image.sent; ++i) {
    const SRecord& r = image.records[i];
    if (r.type < 1 || r.type > 3) continue;
    ++dataRecords;
    dataBytes += r.data.size();
    for (std::size_t k = 0; k < r.data.size(); ++k) filled[std::uint64_t{r.address} + k] = true;
  }
  FUZZ_REQUIRE(image.dataRecords == dataRecords && image.dataBytes == dataBytes);
  // The ranges: ascending, apart by at least one address, and holding exactly the filled ones.
  std::uint64_t inRanges = 0;
  for (std::size_t i = 0; i < image.ranges.size(); ++i) {
    const AddressRange& range = image.ranges[i];
    FUZZ_REQUIRE(range.first <= range.last);
    if (i > 0) FUZZ_REQUIRE(std::uint64_t{image.ranges[i - 1].last} + 1 < range.first);
    FUZZ_REQUIRE(filled.count(range.first) == 1 && filled.count(range.last) == 1);
    inRanges += std::uint64_t{range.last} - range.first + 1;
  }
  FUZZ_REQUIRE(inRanges == filled.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::bytesOf(data, size);
  const SRecordCheck check = checkSRecordFile(bytes);
  if (check.image) {
    FUZZ_REQUIRE(check.problem.empty());
    checkImage(bytes, *check.image);
    return 0;
  }
  const std::vector<Token> tokens = tokensOf(bytes);
  const bool fileType = tokens.empty() || tokens.front().text.substr(0, 2) != "S0";
  FUZZ_REQUIRE(fileType == (check.problem == srecord_text::kIncorrectFileType));
  if (fileType) return 0;
  const std::size_t lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) +
                            (bytes.back() == '\n' ? 0 : 1);
  const std::string& problem = check.problem;
  FUZZ_REQUIRE(problem.starts_with("Line ") && problem.ends_with("."));
  std::size_t line = 0;
  std::size_t at = 5;
  while (at < problem.size() && problem[at] >= '0' && problem[at] <= '9' && line <= lines) {
    line = line * 10 + static_cast<std::size_t>(problem[at++] - '0');
  }
  FUZZ_REQUIRE(line >= 1 && line <= lines && problem.compare(at, 2, ": ") == 0);
  return 0;
}
