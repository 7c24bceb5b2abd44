#include "program/program_document.h"

#include <utility>

#include "program/instruction_catalogue.h"

namespace halvern {

ProgramDocument::ProgramDocument()
    : m_tree{ProgramNode{std::string(InstructionCatalogue::instruction(0).name), {}}},
      m_notes{kInitialNotes} {}

ProgramNode ProgramDocument::storedNode(const ProgramRecord& record) {
  const InstructionDef& def = InstructionCatalogue::instruction(record.opcode());
  ProgramNode node{std::string(def.name), {}};
  for (std::size_t j = 0; j < def.parameterCount; ++j) {
    node.children.push_back(storedParameterLine(def.parameters[j], record, j));
  }
  return node;
}

void ProgramDocument::insertRecord(std::size_t k, const ProgramRecord& record) {
  for (std::size_t i = kMaxInstructions - 1; i > k; --i) m_store[i] = m_store[i - 1];
  m_store[k] = record;
  m_tree.insert(m_tree.begin() + static_cast<std::ptrdiff_t>(k), storedNode(record));
}

ProgramDocument::Edit ProgramDocument::insertInstruction(std::size_t k, std::uint16_t opcode) {
  if (m_tree.size() >= kMaxInstructions) return Edit::Full;
  if (k >= m_tree.size() || opcode == InstructionCatalogue::kEndOpcode ||
      !InstructionCatalogue::isOpcode(opcode)) {
    return Edit::NotAllowed;
  }
  insertRecord(k, defaultRecord(opcode));
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::deleteInstruction(std::size_t k) {
  if (k + 1 >= m_tree.size()) return Edit::NotAllowed;
  for (std::size_t i = k; i + 1 < kMaxInstructions; ++i) m_store[i] = m_store[i + 1];
  m_tree.erase(m_tree.begin() + static_cast<std::ptrdiff_t>(k));
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::copyInstruction(std::size_t k) {
  if (k + 1 >= m_tree.size()) return Edit::NotAllowed;
  m_copyBuffer = m_store[k];
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::cutInstruction(std::size_t k) {
  if (Edit e = copyInstruction(k); e != Edit::Done) return e;
  return deleteInstruction(k);
}

ProgramDocument::Edit ProgramDocument::pasteInstruction(std::size_t k) {
  if (m_tree.size() >= kMaxInstructions) return Edit::Full;
  if (!m_copyBuffer || k >= m_tree.size()) return Edit::NotAllowed;
  insertRecord(k, *m_copyBuffer);
  return Edit::Done;
}

void ProgramDocument::newProgram() {
  for (std::size_t i = 0; i < kMaxInstructions; ++i) m_store[i].setOpcode(0);
  m_tree.assign(1, ProgramNode{std::string(InstructionCatalogue::instruction(0).name), {}});
}

void ProgramDocument::setParameter(std::size_t k, std::size_t j, const ProgramRecord& record,
                                   std::string line) {
  if (k + 1 >= m_tree.size() || j >= m_tree[k].children.size() ||
      record.opcode() != m_store[k].opcode()) {
    return;
  }
  m_store[k] = record;
  m_tree[k].children[j] = std::move(line);
}

bool ProgramDocument::replaceProgram(const ProgramStore& store, std::vector<ProgramNode> tree) {
  if (mismatch(store, tree)) return false;
  m_store = store;
  m_tree = std::move(tree);
  return true;
}

std::optional<std::string> ProgramDocument::mismatch(const ProgramStore& store,
                                                     const std::vector<ProgramNode>& tree) {
  const auto end = store.endIndex();
  if (!end) return "The program has no PGM END.";
  if (tree.size() != *end + 1) {
    return "The program has " + std::to_string(*end + 1) + " instructions but " +
           std::to_string(tree.size()) + " instruction lines.";
  }
  for (std::size_t k = 0; k <= *end; ++k) {
    const unsigned opcode = store[k].opcode();
    const std::string number = std::to_string(k + 1);
    if (!InstructionCatalogue::isOpcode(opcode)) {
      return "Instruction " + number + " has the unknown opcode " + std::to_string(opcode) + ".";
    }
    const InstructionDef& def =
        InstructionCatalogue::instruction(static_cast<std::uint16_t>(opcode));
    const ProgramNode& node = tree[k];
    if (node.text != def.name) {
      return "Instruction " + number + " is " + std::string(def.name) + " but its line reads \"" +
             node.text + "\".";
    }
    if (node.children.size() != def.parameterCount) {
      return "Instruction " + number + " (" + node.text + ") has " +
             std::to_string(def.parameterCount) + " parameters but " +
             std::to_string(node.children.size()) + " parameter lines.";
    }
    for (std::size_t j = 0; j < def.parameterCount; ++j) {
      const std::string label = std::string(def.parameters[j].label) + ' ';
      if (node.children[j].compare(0, label.size(), label) != 0) {
        return "Instruction " + number + " (" + node.text + "): parameter line \"" +
               node.children[j] + "\" does not start with " + std::string(def.parameters[j].label) +
               ".";
      }
    }
  }
  return std::nullopt;
}

}  // namespace halvern
