// The program file reader. Refused: store, tree, notes and change counters as before, and a
// warning of a few lines however long the file's lines are. Accepted: the store holds the file's
// 65536 bytes as they are, the tree its non-empty lines (one TAB per level, CR LF after each), and
// writing and reading again gives the same document and the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "program/program_file.h"

namespace {

using namespace halvern;

struct Snapshot {
  ProgramStore store;
  std::vector<ProgramNode> tree;
  std::vector<std::string> notes;
  std::uint64_t programVersion;
  std::uint64_t notesVersion;

  explicit Snapshot(const ProgramDocument& d)
      : store(d.store()),
        tree(d.tree()),
        notes(d.notes()),
        programVersion(d.programVersion()),
        notesVersion(d.notesVersion()) {}
  bool operator==(const Snapshot&) const = default;
};

// A document with a program of its own, so a refusal that touched it shows.
ProgramDocument startingDocument() {
  ProgramDocument d;
  d.insertInstruction(0, 13);  // FLAG SET
  d.insertInstruction(1, 3);   // BEEP
  d.replaceNotes({"kept"});
  return d;
}

// The tree text a write gives for an accepted file: its lines with CR LF ends, the empty ones
// left out, a level's TABs or blanks in front written as one TAB (an accepted tree is two deep).
std::string expectedTree(std::string_view text) {
  const std::string lines = fuzz::crlfLines(text);
  std::string out;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t end = lines.find("\r\n", start);
    const std::string_view line(lines.data() + start, end - start);
    start = end + 2;
    if (line.empty()) continue;
    const std::size_t indent = line.find_first_not_of("\t ");
    // A line of blanks alone is an empty parameter line, which no instruction has.
    FUZZ_REQUIRE(indent != std::string_view::npos);
    if (indent > 0) out += '\t';
    out += line.substr(indent);
    out += "\r\n";
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramDocument kStart = startingDocument();
  const std::string_view bytes = fuzz::bytesOf(data, size);

  ProgramDocument document = kStart;
  const Snapshot before(document);
  const std::string problem = readProgramBytes(bytes, document);
  if (!problem.empty()) {
    FUZZ_REQUIRE(Snapshot(document) == before);
    // The warning quotes excerpts, never a whole line of the file.
    FUZZ_REQUIRE(problem.size() < 400);
    return 0;
  }
  FUZZ_REQUIRE(size >= ProgramStore::kSize);
  FUZZ_REQUIRE(document.programVersion() == before.programVersion + 1);
  FUZZ_REQUIRE(document.notes() == before.notes && document.notesVersion() == before.notesVersion);
  FUZZ_REQUIRE(!ProgramDocument::mismatch(document.store(), document.tree()));

  const std::string written = writeProgramBytes(document);
  FUZZ_REQUIRE(written.compare(0, ProgramStore::kSize, bytes.substr(0, ProgramStore::kSize)) == 0);
  FUZZ_REQUIRE(written.compare(ProgramStore::kSize, std::string::npos,
                               expectedTree(bytes.substr(ProgramStore::kSize))) == 0);

  ProgramDocument again;
  FUZZ_REQUIRE(readProgramBytes(written, again).empty());
  FUZZ_REQUIRE(again.store() == document.store() && again.tree() == document.tree());
  FUZZ_REQUIRE(writeProgramBytes(again) == written);
  return 0;
}
