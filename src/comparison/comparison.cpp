#include "comparison/comparison.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>

#include "program/instruction_catalogue.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

// --- Setup ---------------------------------------------------------------------------------------

std::string onOff(bool on) { return on ? "on" : "off"; }

std::string baudCaption(int index) {
  return std::string(SetupModel::kBaudCaptions[static_cast<std::size_t>(
      SetupModel::kBaudIndexRange.clamp(index))]);
}

std::string typeCaption(int type) {
  return std::string(
      SetupModel::kTypeCaptions[static_cast<std::size_t>(SetupModel::kTypeRange.clamp(type))]);
}

void addSetupItem(Comparison& result, std::string caption, std::string ours, std::string theirs) {
  if (ours == theirs) return;
  result.lines.push_back("Setup, " + caption);
  result.lines.push_back("-" + ours);
  result.lines.push_back("+" + theirs);
  result.differences.push_back(
      {ComparedPart::Setup, std::move(caption), std::move(ours), std::move(theirs)});
}

// --- Program -------------------------------------------------------------------------------------

// One line of the program tree and what it means.
struct ProgramLine {
  std::string text;
  std::string meaning;
  std::size_t instruction = 0;  // the node's index
  std::string place;            // a parameter's instruction and index; empty for an instruction
};

// A parameter's stored value as it is meant: the number, list entry or text, never the value
// text the line shows.
std::string storedMeaning(const ParamDef& param, const ProgramRecord& record, std::size_t j) {
  switch (param.paramKind()) {
    case ParamKind::Decimal: {
      float value = record.floatValue(j);
      if (value == 0) value = 0;  // -0 means 0
      return "d" + std::to_string(std::bit_cast<std::uint32_t>(value));
    }
    case ParamKind::Text:
      return "t" + record.text();
    case ParamKind::None:
      return "-";
    default:
      return "i" + std::to_string(record.intValue(j));
  }
}

std::vector<ProgramLine> programLines(const ProgramDocument& document) {
  std::vector<ProgramLine> lines;
  const auto& tree = document.tree();
  for (std::size_t k = 0; k < tree.size(); ++k) {
    const ProgramRecord& record = document.store()[k];
    const std::uint16_t opcode = record.opcode();
    const std::string instruction = std::to_string(opcode);
    lines.push_back({tree[k].text, "I" + instruction, k, {}});
    const InstructionDef* def = InstructionCatalogue::isOpcode(opcode)
                                    ? &InstructionCatalogue::instruction(opcode)
                                    : nullptr;
    for (std::size_t j = 0; j < tree[k].children.size(); ++j) {
      // The document keeps tree and store in step; a line without a definition compares as text.
      const std::string meaning = def && j < def->parameterCount
                                      ? storedMeaning(def->parameters[j], record, j)
                                      : "x" + tree[k].children[j];
      const std::string place = "P" + instruction + ":" + std::to_string(j);
      lines.push_back({"    " + tree[k].children[j], place + ":" + meaning, k, place});
    }
  }
  return lines;
}

enum class Op { Same, Removed, Added };

// The shortest edit from `a` to `b` by meaning (Myers' greedy algorithm), as (op, index in a,
// index in b) from the start. The common head and tail are taken off first; a middle needing more
// than kMaxEdits edits is shown as removed whole, then added whole.
struct Step {
  Op op;
  std::size_t a;
  std::size_t b;
};

constexpr long kMaxEdits = 2000;

std::vector<Step> editScript(const std::vector<ProgramLine>& a, const std::vector<ProgramLine>& b) {
  std::vector<Step> head;
  std::size_t start = 0;
  while (start < a.size() && start < b.size() && a[start].meaning == b[start].meaning) {
    head.push_back({Op::Same, start, start});
    ++start;
  }
  std::size_t endA = a.size();
  std::size_t endB = b.size();
  std::vector<Step> tail;
  while (endA > start && endB > start && a[endA - 1].meaning == b[endB - 1].meaning) {
    --endA;
    --endB;
    tail.push_back({Op::Same, endA, endB});
  }
  const long n = static_cast<long>(endA - start);
  const long m = static_cast<long>(endB - start);
  const auto same = [&](long x, long y) {
    return a[start + static_cast<std::size_t>(x)].meaning ==
           b[start + static_cast<std::size_t>(y)].meaning;
  };

  std::vector<Step> middle;
  const long offset = n + m + 1;
  std::vector<long> v(static_cast<std::size_t>(2 * offset + 1), 0);
  std::vector<std::vector<long>> trace;
  std::optional<long> found;
  for (long d = 0; d <= std::min(n + m, kMaxEdits) && !found; ++d) {
    trace.push_back(v);
    for (long k = -d; k <= d; k += 2) {
      const auto at = [&](long i) -> long& { return v[static_cast<std::size_t>(i + offset)]; };
      long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      long y = x - k;
      while (x < n && y < m && same(x, y)) {
        ++x;
        ++y;
      }
      at(k) = x;
      if (x >= n && y >= m) {
        found = d;
        break;
      }
    }
  }
  const auto step = [&](Op op, long x, long y) {
    middle.push_back(
        {op, start + static_cast<std::size_t>(x), start + static_cast<std::size_t>(y)});
  };
  if (found) {
    long x = n;
    long y = m;
    for (long d = *found; d > 0; --d) {
      const std::vector<long>& before = trace[static_cast<std::size_t>(d)];
      const auto at = [&](long i) { return before[static_cast<std::size_t>(i + offset)]; };
      const long k = x - y;
      const long previousK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
      const long previousX = at(previousK);
      const long previousY = previousX - previousK;
      while (x > previousX && y > previousY) {
        --x;
        --y;
        step(Op::Same, x, y);
      }
      if (x == previousX) {
        --y;
        step(Op::Added, x, y);
      } else {
        --x;
        step(Op::Removed, x, y);
      }
      x = previousX;
      y = previousY;
    }
    while (x > 0 && y > 0) {
      --x;
      --y;
      step(Op::Same, x, y);
    }
    std::reverse(middle.begin(), middle.end());
  } else {
    for (long x = 0; x < n; ++x) step(Op::Removed, x, 0);
    for (long y = 0; y < m; ++y) step(Op::Added, n, y);
  }
  head.insert(head.end(), middle.begin(), middle.end());
  head.insert(head.end(), tail.rbegin(), tail.rend());
  return head;
}

// "@@ -A,B +C,D @@" as diff -u writes it: an empty range starts at the line before it.
std::string hunkRange(std::size_t first, std::size_t count) {
  return std::to_string(count == 0 ? first : first + 1) + "," + std::to_string(count);
}

constexpr std::size_t kContext = 3;

}  // namespace

std::string screenRowText(const ScreenBuffer& screens, int screen, int row) {
  std::string text = "|";
  bool large = false;
  for (int column = 0; column < ScreenBuffer::kColumns; ++column) {
    const std::uint8_t code = screens.cell(screen, row, column);
    const bool isLarge = ScreenBuffer::isLarge(code);
    if (isLarge != large) text += isLarge ? '[' : ']';
    large = isLarge;
    // A large character's block is two cells wide: shown once, at its left.
    if (isLarge && column % 2 == 1) continue;
    const std::uint8_t shown = code & 0x7F;
    if (shown == 0x7E) {
      text += static_cast<char>(0xB0);
    } else {
      text += shown >= 0x20 ? static_cast<char>(shown) : ' ';
    }
  }
  if (large) text += ']';
  return text + "|";
}

Comparison compareSetups(const SetupModel& ours, const SetupModel& theirs) {
  Comparison result;
  addSetupItem(result, "COM1 Type",
               std::string(SetupModel::kCom1TypeCaptions[static_cast<std::size_t>(
                   SetupModel::kCom1TypeRange.clamp(ours.com1Type()))]),
               std::string(SetupModel::kCom1TypeCaptions[static_cast<std::size_t>(
                   SetupModel::kCom1TypeRange.clamp(theirs.com1Type()))]));
  addSetupItem(result, "COM1 Baud", baudCaption(ours.com1BaudIndex()),
               baudCaption(theirs.com1BaudIndex()));
  addSetupItem(result, "COM2 Baud", baudCaption(ours.com2BaudIndex()),
               baudCaption(theirs.com2BaudIndex()));
  addSetupItem(result, "Stop On Error", onOff(ours.stopOnError()), onOff(theirs.stopOnError()));
  addSetupItem(result, "Keypad Lock", onOff(ours.keypadLock()), onOff(theirs.keypadLock()));
  addSetupItem(result, "Auto Screen Scroll", onOff(ours.autoScroll()), onOff(theirs.autoScroll()));
  addSetupItem(result, "Execution Interval", std::to_string(ours.interval()),
               std::to_string(theirs.interval()));
  addSetupItem(result, "Fields Per Record", std::to_string(ours.fieldsPerRecord()),
               std::to_string(theirs.fieldsPerRecord()));
  addSetupItem(result, "Scroll Pause", std::to_string(ours.scrollPause()),
               std::to_string(theirs.scrollPause()));
  addSetupItem(result, "Scroll End Screen", std::to_string(ours.scrollEnd()),
               std::to_string(theirs.scrollEnd()));

  // The rows in use on either side; the others are kept and sent but mean nothing.
  const int rows = std::max(ours.fieldsPerRecord(), theirs.fieldsPerRecord());
  for (int row = 0; row < rows; ++row) {
    const RecordFormat& a = ours.format(row);
    const RecordFormat& b = theirs.format(row);
    const std::string field = "Field " + SetupModel::rowCaption(row) + " ";
    addSetupItem(result, field + "Label", a.label, b.label);
    addSetupItem(result, field + "Type", typeCaption(a.type), typeCaption(b.type));
    addSetupItem(result, field + "Width", std::to_string(a.width), std::to_string(b.width));
    addSetupItem(result, field + "Prec", std::to_string(a.precision), std::to_string(b.precision));
  }

  if (result.equal()) result.lines.emplace_back(kNoDifferences);
  result.notCompared.emplace_back("Date and time are not compared.");
  result.notCompared.emplace_back("Use PC System Time is not compared.");
  if (rows < SetupModel::kFieldCount) {
    result.notCompared.push_back(
        formatText("Record fields %s to %s, in use on neither side, are "
                   "not compared.",
                   SetupModel::rowCaption(rows).c_str(),
                   SetupModel::rowCaption(SetupModel::kFieldCount - 1).c_str()));
  }
  return result;
}

Comparison compareScreens(const ScreenBuffer& ours, const ScreenBuffer& theirs) {
  Comparison result;
  for (int screen = 0; screen < ScreenBuffer::kScreens; ++screen) {
    for (int row = 0; row < ScreenBuffer::kRows; ++row) {
      const auto first =
          ours.bytes().begin() + static_cast<std::ptrdiff_t>(ScreenBuffer::indexOf(screen, row, 0));
      const auto theirsFirst = theirs.bytes().begin() +
                               static_cast<std::ptrdiff_t>(ScreenBuffer::indexOf(screen, row, 0));
      // The cells, not the text shown: a control code and a blank look alike but differ.
      if (std::equal(first, first + ScreenBuffer::kColumns, theirsFirst)) continue;
      std::string item = formatText("Screen %d, row %d", screen + 1, row + 1);
      std::string a = screenRowText(ours, screen, row);
      std::string b = screenRowText(theirs, screen, row);
      result.lines.push_back(item);
      result.lines.push_back("-" + a);
      result.lines.push_back("+" + b);
      result.differences.push_back(
          {ComparedPart::Screens, std::move(item), std::move(a), std::move(b)});
    }
  }
  if (result.equal()) result.lines.emplace_back(kNoDifferences);
  result.notCompared.emplace_back("The screen shown for editing is not compared.");
  return result;
}

Comparison comparePrograms(const ProgramDocument& ours, const ProgramDocument& theirs,
                           const ComparedNames& names) {
  Comparison result;
  const std::vector<ProgramLine> a = programLines(ours);
  const std::vector<ProgramLine> b = programLines(theirs);
  const std::vector<Step> script = editScript(a, b);

  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < script.size(); ++i) {
    if (script[i].op != Op::Same) changed.push_back(i);
  }
  if (!changed.empty()) {
    result.lines.push_back("--- " + names.ours);
    result.lines.push_back("+++ " + names.theirs);
  }
  // Hunks: the changes with three lines of context, two changes sharing their context joined.
  std::size_t next = 0;
  while (next < changed.size()) {
    const std::size_t begin = changed[next] >= kContext ? changed[next] - kContext : 0;
    std::size_t last = changed[next];
    while (next + 1 < changed.size() && changed[next + 1] <= last + 2 * kContext + 1) {
      last = changed[++next];
    }
    ++next;
    const std::size_t end = std::min(script.size(), last + kContext + 1);
    std::size_t countA = 0;
    std::size_t countB = 0;
    for (std::size_t i = begin; i < end; ++i) {
      if (script[i].op != Op::Added) ++countA;
      if (script[i].op != Op::Removed) ++countB;
    }
    result.lines.push_back("@@ -" + hunkRange(script[begin].a, countA) + " +" +
                           hunkRange(script[begin].b, countB) + " @@");
    for (std::size_t i = begin; i < end; ++i) {
      const Step& s = script[i];
      switch (s.op) {
        case Op::Same:
          result.lines.push_back(" " + a[s.a].text);
          break;
        case Op::Removed:
          result.lines.push_back("-" + a[s.a].text);
          result.differences.push_back({ComparedPart::Program,
                                        "Instruction " + std::to_string(a[s.a].instruction + 1),
                                        a[s.a].text,
                                        {}});
          break;
        case Op::Added:
          result.lines.push_back("+" + b[s.b].text);
          result.differences.push_back({ComparedPart::Program,
                                        "Instruction " + std::to_string(b[s.b].instruction + 1),
                                        {},
                                        b[s.b].text});
          break;
      }
    }
  }
  if (result.equal()) result.lines.emplace_back(kNoDifferences);
  result.notCompared.emplace_back("Program notes are not compared.");
  result.notCompared.emplace_back("Records after PGM END are not compared.");
  result.notCompared.emplace_back(
      "How a decimal value is written (2.5, 2.50000) is not compared, only its value.");
  return result;
}

std::vector<AlignedRow> alignPrograms(const ProgramDocument& ours, const ProgramDocument& theirs) {
  const std::vector<ProgramLine> a = programLines(ours);
  const std::vector<ProgramLine> b = programLines(theirs);
  const std::vector<Step> script = editScript(a, b);
  std::vector<AlignedRow> rows;
  rows.reserve(script.size());
  std::size_t i = 0;
  while (i < script.size()) {
    if (script[i].op == Op::Same) {
      rows.push_back({a[script[i].a].text, b[script[i].b].text, AlignedKind::Same});
      ++i;
      continue;
    }
    // A run of lines that differ: the removed and the added ones, each in its own order.
    std::vector<std::size_t> removed;
    std::vector<std::size_t> added;
    for (; i < script.size() && script[i].op != Op::Same; ++i) {
      if (script[i].op == Op::Removed) {
        removed.push_back(script[i].a);
      } else {
        added.push_back(script[i].b);
      }
    }
    std::size_t r = 0;
    std::size_t t = 0;
    const auto alone = [&](std::size_t removedEnd, std::size_t addedEnd) {
      for (; r < removedEnd; ++r) rows.push_back({a[removed[r]].text, {}, AlignedKind::Removed});
      for (; t < addedEnd; ++t) rows.push_back({{}, b[added[t]].text, AlignedKind::Added});
    };
    for (std::size_t x = 0; x < removed.size(); ++x) {
      const std::string& place = a[removed[x]].place;
      if (place.empty()) continue;
      const auto match = std::find_if(added.begin() + static_cast<std::ptrdiff_t>(t), added.end(),
                                      [&](std::size_t y) { return b[y].place == place; });
      if (match == added.end()) continue;
      alone(x, static_cast<std::size_t>(match - added.begin()));
      rows.push_back({a[removed[r++]].text, b[added[t++]].text, AlignedKind::Changed});
    }
    alone(removed.size(), added.size());
  }
  return rows;
}

Comparison compareAll(ComparedParts ours, ComparedParts theirs, const ComparedNames& names) {
  Comparison result;
  for (Comparison part :
       {compareSetups(ours.setup, theirs.setup), compareScreens(ours.screens, theirs.screens),
        comparePrograms(ours.program, theirs.program, names)}) {
    if (!part.equal()) {
      result.lines.insert(result.lines.end(), part.lines.begin(), part.lines.end());
      result.differences.insert(result.differences.end(), part.differences.begin(),
                                part.differences.end());
    }
    result.notCompared.insert(result.notCompared.end(), part.notCompared.begin(),
                              part.notCompared.end());
  }
  if (result.equal()) result.lines.emplace_back(kNoDifferences);
  return result;
}

}  // namespace halvern
