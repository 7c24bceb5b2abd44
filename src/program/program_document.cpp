#include "program/program_document.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <utility>

#include "program/instruction_catalogue.h"
#include "wire/text_format.h"

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

const ParamDef* ProgramDocument::parameter(std::size_t k, std::size_t j) const {
  if (k + 1 >= m_tree.size() || j >= m_tree[k].children.size()) return nullptr;
  const unsigned opcode = m_store[k].opcode();
  if (!InstructionCatalogue::isOpcode(opcode)) return nullptr;
  const InstructionDef& def = InstructionCatalogue::instruction(static_cast<std::uint16_t>(opcode));
  return j < def.parameterCount ? &def.parameters[j] : nullptr;
}

std::string ProgramDocument::parameterFieldText(std::size_t k, std::size_t j) const {
  const ParamDef* param = parameter(k, j);
  if (!param) return {};
  switch (param->paramKind()) {
    case ParamKind::Integer:
    case ParamKind::Decimal:
    case ParamKind::Hex:
      return m_store[k].valueText(j);
    case ParamKind::Text:
      return degreesShown(m_store[k].text());
    case ParamKind::List:
    case ParamKind::None:
      break;
  }
  return {};
}

namespace {

// The decimal integer at the start of `text` (a sign allowed), 0 when there is none; kept within
// 32 bits.
std::int32_t leadingInteger(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<std::int64_t>(value * 10 + (text[i] - '0'),
                                   std::numeric_limits<std::int32_t>::max());
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

// The decimal number at the start of `text`, 0 when there is none or it is out of range.
float leadingDecimal(std::string_view text) {
  float value = 0;
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{}) return 0;
  return value;
}

// Hexadecimal digit by digit; a character that is not a hex digit counts as 0. 16 bits.
std::int32_t hexDigits(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    }
    value = (value * 16 + digit) & 0xFFFF;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

ProgramDocument::Edit ProgramDocument::editFieldParameter(std::size_t k, std::size_t j,
                                                          std::string_view typed) {
  const ParamDef* param = parameter(k, j);
  if (!param) return Edit::NotAllowed;
  typed = typed.substr(0, param->width);
  ProgramRecord record = m_store[k];
  switch (param->paramKind()) {
    case ParamKind::Integer: {
      const std::int32_t value = leadingInteger(typed);
      record.setIntValue(j, value);
      record.setValueText(j, integerText(param->width, value));
      break;
    }
    case ParamKind::Decimal:
      record.setFloatValue(j, leadingDecimal(typed));
      record.setValueText(j, typed);
      break;
    case ParamKind::Hex: {
      const std::int32_t value = hexDigits(typed);
      record.setIntValue(j, value);
      record.setValueText(j, hexText(value));
      break;
    }
    case ParamKind::Text:
      record.setText(degreesStored(typed));
      break;
    case ParamKind::List:
    case ParamKind::None:
      return Edit::NotAllowed;
  }
  std::string line = editedParameterLine(*param, record, j, typed);
  setParameter(k, j, record, std::move(line));
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::editListParameter(std::size_t k, std::size_t j,
                                                         std::size_t index) {
  const ParamDef* param = parameter(k, j);
  if (!param || param->paramKind() != ParamKind::List ||
      index >= InstructionCatalogue::valueList(param->kind).size()) {
    return Edit::NotAllowed;
  }
  ProgramRecord record = m_store[k];
  record.setIntValue(j, static_cast<std::int32_t>(index));
  std::string line = editedParameterLine(*param, record, j, {});
  setParameter(k, j, record, std::move(line));
  return Edit::Done;
}

bool ProgramDocument::replaceProgram(const ProgramStore& store, std::vector<ProgramNode> tree) {
  if (mismatch(store, tree)) return false;
  m_store = store;
  m_tree = std::move(tree);
  ++m_programVersion;
  return true;
}

void ProgramDocument::replaceNotes(std::vector<std::string> notes) {
  m_notes = std::move(notes);
  ++m_notesVersion;
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
             excerpt(node.text) + "\".";
    }
    if (node.children.size() != def.parameterCount) {
      return "Instruction " + number + " (" + excerpt(node.text) + ") has " +
             std::to_string(def.parameterCount) + " parameters but " +
             std::to_string(node.children.size()) + " parameter lines.";
    }
    for (std::size_t j = 0; j < def.parameterCount; ++j) {
      const std::string label = std::string(def.parameters[j].label) + ' ';
      if (node.children[j].compare(0, label.size(), label) != 0) {
        return "Instruction " + number + " (" + excerpt(node.text) + "): parameter line \"" +
               excerpt(node.children[j]) + "\" does not start with " +
               std::string(def.parameters[j].label) + ".";
      }
    }
  }
  return std::nullopt;
}

}  // namespace halvern
