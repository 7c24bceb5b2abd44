#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "program/program_document.h"
#include "program/program_store.h"
#include "wire/wire.h"

namespace halvern {

// The program as the instrument sends and receives it, 67584 bytes, numbers most significant
// byte first: 512 slots of 128 bytes (a record with its opcode and numeric values rewritten;
// opcode 0xFFFF after "PGM END"), then the order table: entry i holds the number of the slot of
// instruction i and 0xFFFF, or 0xFFFF 0xFFFF after "PGM END".
class ProgramImage {
 public:
  static constexpr std::size_t kSize = wire::kProgramImageSize;
  using Bytes = std::array<std::uint8_t, kSize>;

  // The image of the program in `store`: instruction i in slot i. Integer, hexadecimal and list
  // values become their low 16 bits followed by two zero bytes, decimal floats are reversed, text
  // stays; the bytes of slots after "PGM END" other than the opcode are zero.
  static void build(const ProgramStore& store, Bytes& image);

  // The program read from an image through its order table.
  struct Conversion {
    ProgramStore store;
    std::vector<ProgramNode> tree;
    // A message-area line saying why the image was refused; empty when it was converted.
    std::string error;
  };
  // Each record starts from 128 zero bytes. Integer and decimal values are read from the value
  // text (which is kept), hexadecimal and list values from the 16-bit number, text from the text
  // field. Refused: an opcode above 52 (line "%03i %05u %05u": instruction, slot, opcode), a slot
  // number outside the image, a list index outside its list, no "PGM END" in 512 instructions.
  static Conversion convert(std::span<const std::uint8_t, kSize> image);
};

}  // namespace halvern
