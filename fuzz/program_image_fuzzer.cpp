// The conversion of a received program image (the input, filled up with 0xFF to 67584 bytes).
// Refused: one message-area line. Converted: a store and tree the document takes, nothing after
// "PGM END"; the image built from it converts to the same program and builds the same image;
// and the program saved to a file opens as the same program.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "program/program_file.h"
#include "program/program_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  auto image = std::make_unique<ProgramImage::Bytes>();
  image->fill(0xFF);
  std::copy_n(data, std::min(size, image->size()), image->begin());

  const ProgramImage::Conversion received = ProgramImage::convert(*image);
  if (!received.error.empty()) {
    FUZZ_REQUIRE(received.error.find_first_of("\r\n") == std::string::npos);
    FUZZ_REQUIRE(received.error.size() <= 80);
    return 0;
  }
  FUZZ_REQUIRE(!ProgramDocument::mismatch(received.store, received.tree));
  for (std::size_t k = received.tree.size(); k < ProgramStore::kRecordCount; ++k) {
    FUZZ_REQUIRE(received.store[k] == ProgramRecord{});
  }

  auto built = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(received.store, *built);
  const ProgramImage::Conversion again = ProgramImage::convert(*built);
  FUZZ_REQUIRE(again.error.empty());
  FUZZ_REQUIRE(again.store == received.store && again.tree == received.tree);
  auto rebuilt = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(again.store, *rebuilt);
  FUZZ_REQUIRE(*rebuilt == *built);

  ProgramDocument document;
  FUZZ_REQUIRE(document.replaceProgram(received.store, received.tree));
  ProgramDocument opened;
  FUZZ_REQUIRE(readProgramBytes(writeProgramBytes(document), opened).empty());
  FUZZ_REQUIRE(opened.store() == received.store && opened.tree() == received.tree);
  return 0;
}
