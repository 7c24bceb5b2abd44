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

namespace {

// An instruction's name as a change names it: its line without the blanks after it.
std::string shortName(std::string_view line) {
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  return std::string(line);
}

}  // namespace

void ProgramDocument::insertRecord(std::size_t k, const ProgramRecord& record, ProgramNode node) {
  for (std::size_t i = kMaxInstructions - 1; i > k; --i) m_store[i] = m_store[i - 1];
  m_store[k] = record;
  m_tree.insert(m_tree.begin() + static_cast<std::ptrdiff_t>(k), std::move(node));
  ++m_changeCount;
}

void ProgramDocument::removeRecord(std::size_t k) {
  for (std::size_t i = k; i + 1 < kMaxInstructions; ++i) m_store[i] = m_store[i + 1];
  m_tree.erase(m_tree.begin() + static_cast<std::ptrdiff_t>(k));
  ++m_changeCount;
}

void ProgramDocument::setState(const ProgramState& state) {
  m_store = state.store;
  m_tree = state.tree;
  ++m_programVersion;
  ++m_changeCount;
}

void ProgramDocument::notify(ProgramChange change) {
  if (m_listener.value.changed) m_listener.value.changed(change);
}

void ProgramDocument::settle(bool program, bool notes) const {
  if (m_listener.value.settled) m_listener.value.settled(program, notes);
}

ProgramChange ProgramDocument::insertChange(std::size_t k, std::string verb) const {
  ProgramChange change;
  change.kind = ProgramChange::Kind::Insert;
  change.position = k;
  change.record = m_store[k];
  change.node = m_tree[k];
  change.name = std::move(verb) + ' ' + shortName(m_tree[k].text);
  return change;
}

ProgramDocument::Edit ProgramDocument::insertInstruction(std::size_t k, std::uint16_t opcode) {
  if (m_tree.size() >= kMaxInstructions) return Edit::Full;
  if (k >= m_tree.size() || opcode == InstructionCatalogue::kEndOpcode ||
      !InstructionCatalogue::isOpcode(opcode)) {
    return Edit::NotAllowed;
  }
  const ProgramRecord last = m_store[kMaxInstructions - 1];
  const ProgramRecord record = defaultRecord(opcode);
  insertRecord(k, record, storedNode(record));
  ProgramChange change = insertChange(k, "Insert");
  change.other = last;
  notify(std::move(change));
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::deleteInstruction(std::size_t k) {
  if (k + 1 >= m_tree.size()) return Edit::NotAllowed;
  ProgramChange change = insertChange(k, "Delete");
  change.kind = ProgramChange::Kind::Delete;
  removeRecord(k);
  notify(std::move(change));
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::copyInstruction(std::size_t k) {
  if (k + 1 >= m_tree.size()) return Edit::NotAllowed;
  m_copyBuffer = m_store[k];
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::cutInstruction(std::size_t k) {
  if (Edit e = copyInstruction(k); e != Edit::Done) return e;
  ProgramChange change = insertChange(k, "Cut");
  change.kind = ProgramChange::Kind::Delete;
  removeRecord(k);
  notify(std::move(change));
  return Edit::Done;
}

ProgramDocument::Edit ProgramDocument::pasteInstruction(std::size_t k) {
  if (m_tree.size() >= kMaxInstructions) return Edit::Full;
  if (!m_copyBuffer || k >= m_tree.size()) return Edit::NotAllowed;
  const ProgramRecord last = m_store[kMaxInstructions - 1];
  insertRecord(k, *m_copyBuffer, storedNode(*m_copyBuffer));
  ProgramChange change = insertChange(k, "Paste");
  change.other = last;
  notify(std::move(change));
  return Edit::Done;
}

void ProgramDocument::newProgram() {
  std::shared_ptr<const ProgramState> before;
  if (m_listener.value.changed)
    before = std::make_shared<ProgramState>(ProgramState{m_store, m_tree});
  for (std::size_t i = 0; i < kMaxInstructions; ++i) m_store[i].setOpcode(0);
  m_tree.assign(1, ProgramNode{std::string(InstructionCatalogue::instruction(0).name), {}});
  // A program that was new already stays as it was: no change.
  if (before && before->store == m_store && before->tree == m_tree) return;
  ++m_changeCount;
  if (!before) return;
  ProgramChange change;
  change.name = "New Program";
  change.before = std::move(before);
  change.after = std::make_shared<ProgramState>(ProgramState{m_store, m_tree});
  notify(std::move(change));
}

void ProgramDocument::undo(const ProgramChange& change) {
  switch (change.kind) {
    case ProgramChange::Kind::Insert:
      removeRecord(change.position);
      m_store[kMaxInstructions - 1] = change.other;
      break;
    case ProgramChange::Kind::Delete:
      insertRecord(change.position, change.record, change.node);
      break;
    case ProgramChange::Kind::Parameter:
      m_store[change.position] = change.other;
      m_tree[change.position].children[change.parameter] = change.lineBefore;
      ++m_changeCount;
      break;
    case ProgramChange::Kind::Program:
      setState(*change.before);
      break;
  }
}

void ProgramDocument::redo(const ProgramChange& change) {
  switch (change.kind) {
    case ProgramChange::Kind::Insert:
      insertRecord(change.position, change.record, change.node);
      break;
    case ProgramChange::Kind::Delete:
      removeRecord(change.position);
      break;
    case ProgramChange::Kind::Parameter:
      m_store[change.position] = change.record;
      m_tree[change.position].children[change.parameter] = change.lineAfter;
      ++m_changeCount;
      break;
    case ProgramChange::Kind::Program:
      setState(*change.after);
      break;
  }
}

void ProgramDocument::setParameter(std::size_t k, std::size_t j, const ProgramRecord& record,
                                   std::string line) {
  if (k + 1 >= m_tree.size() || j >= m_tree[k].children.size() ||
      record.opcode() != m_store[k].opcode()) {
    return;
  }
  // An edit closed with OK that changes nothing is no change.
  if (record == m_store[k] && line == m_tree[k].children[j]) return;
  ProgramChange change;
  change.kind = ProgramChange::Kind::Parameter;
  change.position = k;
  change.parameter = j;
  change.other = m_store[k];
  change.record = record;
  change.lineBefore = m_tree[k].children[j];
  change.lineAfter = line;
  change.name = "Edit " + shortName(m_tree[k].text);
  m_store[k] = record;
  m_tree[k].children[j] = std::move(line);
  ++m_changeCount;
  notify(std::move(change));
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

bool ProgramDocument::replaceProgram(const ProgramStore& store, std::vector<ProgramNode> tree,
                                     std::string_view name) {
  if (mismatch(store, tree)) return false;
  std::shared_ptr<const ProgramState> before;
  if (m_listener.value.changed)
    before = std::make_shared<ProgramState>(ProgramState{m_store, m_tree});
  m_store = store;
  m_tree = std::move(tree);
  ++m_programVersion;
  ++m_changeCount;
  if (before) {
    ProgramChange change;
    change.name = std::string(name);
    change.before = std::move(before);
    change.after = std::make_shared<ProgramState>(ProgramState{m_store, m_tree});
    change.settles = true;
    notify(std::move(change));
  }
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
