#include "program/program_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/file_load.h"
#include "files/file_save.h"
#include "program/program_store.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Lines ended by CR LF, CR or LF; a last line without its end counts too.
std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string saveBytes(const std::string& path, const std::string& bytes, const char* what) {
  return saveFileBytes(path, bytes, what);
}

// Larger than any program or notes file the window writes: a program's store and 512
// instructions' lines are well under a megabyte.
constexpr std::size_t kLargestFile = 8u << 20;

std::string loadBytes(const std::string& path, std::string& bytes, const char* what) {
  LoadedFile file = loadFileBytes(path, kLargestFile, what);
  if (!file.problem.empty()) return file.problem;
  if (file.longer) {
    return std::string("Cannot open the ") + what + " " + path + ".\nIt is larger than any " +
           what + " (8 MB).\nNothing was changed.";
  }
  bytes = std::move(file.bytes);
  return {};
}

}  // namespace

std::string writeProgramBytes(const ProgramDocument& document) {
  std::string bytes(ProgramStore::kSize, '\0');
  document.store().toBytes(std::span<std::uint8_t, ProgramStore::kSize>(
      reinterpret_cast<std::uint8_t*>(bytes.data()), ProgramStore::kSize));
  for (const ProgramNode& node : document.tree()) {
    bytes += node.text;
    bytes += kLineEnd;
    for (const std::string& child : node.children) {
      bytes += '\t';
      bytes += child;
      bytes += kLineEnd;
    }
  }
  return bytes;
}

std::string readProgramBytes(std::string_view bytes, ProgramDocument& document) {
  if (bytes.size() < ProgramStore::kSize) {
    return "This is not a program file: it holds " + std::to_string(bytes.size()) +
           " bytes, fewer than the 65536 of a program.";
  }
  ProgramStore store;
  store.fromBytes(std::span<const std::uint8_t, ProgramStore::kSize>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), ProgramStore::kSize));

  std::vector<ProgramNode> tree;
  int previousLevel = -1;
  std::size_t lineNumber = 0;
  for (const std::string& line : splitLines(bytes.substr(ProgramStore::kSize))) {
    ++lineNumber;
    if (line.empty()) continue;
    const std::size_t indent = line.find_first_not_of("\t ");
    const int level = static_cast<int>(indent == std::string::npos ? line.size() : indent);
    const std::string text = indent == std::string::npos ? std::string() : line.substr(indent);
    if (level > previousLevel + 1) {
      return "The program tree cannot be read: level " + std::to_string(level) + " of line " +
             std::to_string(lineNumber) + " \"" + excerpt(text) +
             "\" is more than one below the line before.";
    }
    if (level == 0) {
      tree.push_back({text, {}});
    } else if (level == 1) {
      tree.back().children.push_back(text);
    } else {
      return "The program tree does not match the program: line " + std::to_string(lineNumber) +
             " \"" + excerpt(text) + "\" lies below a parameter line.";
    }
    previousLevel = level;
  }
  if (auto problem = ProgramDocument::mismatch(store, tree)) {
    return "The program tree does not match the program: " + *problem;
  }
  document.replaceProgram(store, std::move(tree));
  return {};
}

std::string writeNotesBytes(const std::vector<std::string>& notes) {
  std::string bytes;
  for (const std::string& line : notes) {
    bytes += line;
    bytes += kLineEnd;
  }
  return bytes;
}

std::vector<std::string> readNotesBytes(std::string_view bytes) { return splitLines(bytes); }

std::string saveProgramFile(const std::string& path, const ProgramDocument& document) {
  std::string problem = saveBytes(path, writeProgramBytes(document), "program file");
  if (problem.empty()) document.settle(true, false);
  return problem;
}

std::string loadProgramFile(const std::string& path, ProgramDocument& document) {
  std::string bytes;
  if (auto problem = loadBytes(path, bytes, "program file"); !problem.empty()) return problem;
  return readProgramBytes(bytes, document);
}

std::string saveNotesFile(const std::string& path, const ProgramDocument& document) {
  std::string problem = saveBytes(path, writeNotesBytes(document.notes()), "notes file");
  if (problem.empty()) document.settle(false, true);
  return problem;
}

std::string loadNotesFile(const std::string& path, ProgramDocument& document) {
  std::string bytes;
  if (auto problem = loadBytes(path, bytes, "notes file"); !problem.empty()) return problem;
  document.replaceNotes(readNotesBytes(bytes));
  document.settle(false, true);
  return {};
}

}  // namespace halvern
