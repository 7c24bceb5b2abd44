#include "sim/fault_plan.h"

#include <array>
#include <charconv>
#include <utility>

namespace halvern::sim {

namespace {

struct KindName {
  std::string_view name;
  FaultKind kind;
};

constexpr std::array<KindName, 18> kKindNames{{
    {"silence", FaultKind::Silence},
    {"short", FaultKind::Short},
    {"wrong", FaultKind::WrongValue},
    {"stray", FaultKind::Stray},
    {"trailing", FaultKind::Trailing},
    {"nostar", FaultKind::NoStar},
    {"corrupt", FaultKind::Corrupt},
    {"nakstorm", FaultKind::NakStorm},
    {"badend", FaultKind::BadEnd},
    {"dies", FaultKind::Dies},
    {"cut", FaultKind::Cut},
    {"hangup", FaultKind::HangUp},
    {"nowake", FaultKind::NoWake},
    {"onestar", FaultKind::OneStar},
    {"noclose", FaultKind::NoClose},
    {"slowerase", FaultKind::SlowErase},
    {"droprow", FaultKind::DropRow},
    {"changeparam", FaultKind::ChangeParam},
}};

// Highest block number of a program transfer (the end block).
constexpr int kLastProgramBlock = 66;
// Longest erase a slowerase fault may ask for, in milliseconds.
constexpr int kLongestErase = 600000;

bool takesBlock(FaultKind kind) {
  return kind == FaultKind::Silence || kind == FaultKind::Corrupt || kind == FaultKind::NakStorm ||
         kind == FaultKind::Dies;
}

bool cutsTheLink(FaultKind kind) { return kind == FaultKind::Cut || kind == FaultKind::HangUp; }

// Kinds whose text is a number of the firmware loader's: a record, or the erase's milliseconds.
bool takesNumber(FaultKind kind) {
  return kind == FaultKind::NoStar || kind == FaultKind::SlowErase;
}

bool parseInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size();
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reply text from an option: "\r", "\n", "\\" and "\xHH" stand for the bytes a shell cannot pass
// easily.
bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case '\\':
        out += '\\';
        break;
      case 'x': {
        if (i + 2 >= text.size()) return false;
        int high = hexDigit(text[i + 1]);
        int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

std::optional<Fault> FaultPlan::take(int code) {
  auto it = m_faults.find(code);
  if (it == m_faults.end()) return std::nullopt;
  Fault fault = it->second;
  if (fault.count == 0) {
    m_faults.erase(it);
    return std::nullopt;
  }
  if (fault.count > 0 && --it->second.count == 0) m_faults.erase(it);
  return fault;
}

const Fault* FaultPlan::peek(int code) const {
  auto it = m_faults.find(code);
  return it == m_faults.end() || it->second.count == 0 ? nullptr : &it->second;
}

std::string FaultPlan::parse(std::string_view option) {
  // CODE, KIND, COUNT; whatever follows the third colon is the text, colons included.
  std::array<std::string_view, 3> parts;
  std::string_view text;
  bool hasText = false;
  std::size_t partCount = 0;
  std::string_view rest = option;
  while (partCount < parts.size()) {
    auto colon = rest.find(':');
    parts[partCount++] = rest.substr(0, colon);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
    if (partCount == parts.size()) {
      text = rest;
      hasText = true;
    }
  }
  if (partCount < 2)
    return "expected CODE:KIND[:COUNT][:TEXT], got \"" + std::string(option) + "\"";

  int code = 0;
  if (parts[0].size() != 3 || !parseInt(parts[0], code) || code < 100) {
    return "bad command code \"" + std::string(parts[0]) + "\" (three digits)";
  }
  Fault fault;
  bool known = false;
  for (const auto& entry : kKindNames) {
    if (entry.name == parts[1]) {
      fault.kind = entry.kind;
      known = true;
    }
  }
  if (!known) {
    return "bad fault kind \"" + std::string(parts[1]) +
           "\" (silence, short, wrong, stray, trailing, nostar, corrupt, nakstorm, badend, dies, "
           "cut, hangup, nowake, onestar, noclose, slowerase, droprow or changeparam)";
  }
  if (partCount == 3 && !parts[2].empty()) {
    if (!parseInt(parts[2], fault.count) || (fault.count < 1 && fault.count != -1)) {
      return "bad count \"" + std::string(parts[2]) + "\" (1 or more, or -1 for always)";
    }
  }
  if (cutsTheLink(fault.kind)) {
    // The link goes once: a count would mean nothing.
    if (partCount == 3 && !parts[2].empty()) {
      return "cut and hangup take no count; the byte count is the text (CODE:" +
             std::string(parts[1]) + "::BYTES)";
    }
    int bytes = 0;
    if (hasText && (!parseInt(text, bytes) || bytes < 0)) {
      return "bad byte count \"" + std::string(text) + "\" (0 or more)";
    }
    fault.bytesBeforeCut = static_cast<std::size_t>(bytes);
  } else if (hasText && takesBlock(fault.kind)) {
    if (!parseInt(text, fault.block) || fault.block < 0 || fault.block > kLastProgramBlock) {
      return "bad block \"" + std::string(text) + "\" (0 to 66)";
    }
  } else if (hasText && takesNumber(fault.kind)) {
    const bool erase = fault.kind == FaultKind::SlowErase;
    if (!parseInt(text, fault.number) || fault.number < 1 ||
        (erase && fault.number > kLongestErase)) {
      return erase ? "bad erase time \"" + std::string(text) + "\" (1 to 600000 ms)"
                   : "bad record \"" + std::string(text) + "\" (1 or more)";
    }
  } else if (hasText) {
    if (fault.kind != FaultKind::WrongValue && fault.kind != FaultKind::Stray &&
        fault.kind != FaultKind::Trailing) {
      return "only wrong, stray and trailing faults take a text (silence, corrupt, nakstorm, dies "
             "a block; nostar a record; slowerase milliseconds)";
    }
    if (!unescape(text, fault.text)) return "bad escape in \"" + std::string(text) + "\"";
  }
  set(code, std::move(fault));
  return {};
}

}  // namespace halvern::sim
