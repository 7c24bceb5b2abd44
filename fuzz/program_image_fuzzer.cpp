// The conversion of a received program image (the input, filled up with 0xFF to 67584 bytes).
// Refused: one message-area line. Converted: a store and tree the document takes, nothing after
// "PGM END"; each instruction read, independently of the conversion, from the slot its order
// entry names (its opcode most significant byte first), the last one "PGM END"; the image built
// from it converts to the same program and builds the same image; and the program saved to a file
// opens as the same program.
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
  // The image as the instrument lays it out: 512 slots of 128 bytes, then the order table.
  constexpr std::size_t kSlot = 128;
  constexpr std::size_t kOrderTable = 512 * kSlot;
  FUZZ_REQUIRE(!received.tree.empty() && received.tree.size() <= ProgramStore::kRecordCount);
  for (std::size_t k = 0; k < received.tree.size(); ++k) {
    const std::uint8_t* entry = image->data() + kOrderTable + 4 * k;
    const std::size_t slot = static_cast<std::size_t>(entry[0] << 8 | entry[1]);
    FUZZ_REQUIRE(slot < 512);
    const std::uint8_t* bytes = image->data() + slot * kSlot;
    const auto opcode = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    const ProgramRecord& record = received.store[k];
    FUZZ_REQUIRE(record.opcode() == opcode);
    FUZZ_REQUIRE((opcode == 0) == (k + 1 == received.tree.size()));
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
