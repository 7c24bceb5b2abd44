// The simulated instrument's --fault option. Refused: an error text, and every command's fault as
// before. Accepted: the named command carries the named fault and no other changed; the option
// written back from that fault (the text escaped, a block or a loader's number as digits) parses
// to the same fault.
// The same bytes as its --dialect option: refused, the dialect as before; accepted, the name as
// given and every reply form it words one of the wire's.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "sim/fault_plan.h"
#include "sim/reply_dialect.h"

namespace {

using namespace halvern::sim;

constexpr int kFirstCode = 100;
constexpr int kLastCode = 999;

bool cutsTheLink(FaultKind kind) { return kind == FaultKind::Cut || kind == FaultKind::HangUp; }

bool sameFault(const Fault* a, const Fault* b) {
  if (!a || !b) return a == b;
  return a->kind == b->kind && a->count == b->count && a->text == b->text && a->block == b->block &&
         a->bytesBeforeCut == b->bytesBeforeCut && a->number == b->number;
}

// The fault of every command code, as peek shows it.
std::vector<std::optional<Fault>> faultsOf(const FaultPlan& plan) {
  std::vector<std::optional<Fault>> faults;
  for (int code = kFirstCode; code <= kLastCode; ++code) {
    const Fault* fault = plan.peek(code);
    faults.push_back(fault ? std::optional<Fault>(*fault) : std::nullopt);
  }
  return faults;
}

bool sameFaults(const std::vector<std::optional<Fault>>& a,
                const std::vector<std::optional<Fault>>& b, int except = 0) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (static_cast<int>(i) + kFirstCode == except) continue;
    if (!sameFault(a[i] ? &*a[i] : nullptr, b[i] ? &*b[i] : nullptr)) return false;
  }
  return true;
}

// The option that asks for `fault` on `code`.
std::string optionOf(int code, std::string_view kind, const Fault& fault) {
  if (cutsTheLink(fault.kind)) {
    return std::to_string(code) + ":" + std::string(kind) +
           "::" + std::to_string(fault.bytesBeforeCut);
  }
  std::string option =
      std::to_string(code) + ":" + std::string(kind) + ":" + std::to_string(fault.count);
  if (fault.block >= 0) return option + ":" + std::to_string(fault.block);
  if (fault.number >= 0) return option + ":" + std::to_string(fault.number);
  if (fault.kind != FaultKind::WrongValue && fault.kind != FaultKind::Stray &&
      fault.kind != FaultKind::Trailing) {
    return option;
  }
  option += ':';
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : fault.text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      option += "\\\\";
    } else if (c == '\r') {
      option += "\\r";
    } else if (c == '\n') {
      option += "\\n";
    } else if (byte < 0x20 || byte >= 0x7F) {
      option += "\\x";
      option += kHex[byte >> 4];
      option += kHex[byte & 15];
    } else {
      option += c;
    }
  }
  return option;
}

FaultPlan startingPlan() {
  FaultPlan plan;
  plan.set(115, {FaultKind::Short, 2, "", -1});
  plan.set(320, {FaultKind::WrongValue, -1, "12\r", -1});
  plan.set(361, {FaultKind::Corrupt, 1, "", 5});
  plan.set(340, {FaultKind::Cut, -1, "", -1, 300});
  plan.set(980, {FaultKind::NoStar, 1, "", -1, 0, 7});
  return plan;
}

}  // namespace

// The --dialect option.
void checkDialect(std::string_view option) {
  ReplyDialect dialect;
  FUZZ_REQUIRE(dialect.choose("terse").empty());
  if (!dialect.choose(option).empty()) {
    FUZZ_REQUIRE(dialect.name() == "terse");
    return;
  }
  FUZZ_REQUIRE(dialect.name() == option);
  for (int i = 0; i < 8; ++i) {
    const ReplyForm form = dialect.next();
    FUZZ_REQUIRE(std::string_view("-/:").find(form.dateSeparator) != std::string_view::npos);
    FUZZ_REQUIRE(form.number(-115, 5, form.comReturn).size() == 5);
    FUZZ_REQUIRE(form.number(7, 2, form.valueReturn).size() == 2);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FaultPlan kStart = startingPlan();
  static const std::vector<std::optional<Fault>> kStartFaults = faultsOf(kStart);
  const std::string_view option = halvern::fuzz::bytesOf(data, size);
  checkDialect(option);

  FaultPlan plan = kStart;
  const std::string error = plan.parse(option);
  if (!error.empty()) {
    FUZZ_REQUIRE(sameFaults(faultsOf(plan), kStartFaults));
    return 0;
  }
  // Accepted options start with their three-digit code and a colon.
  FUZZ_REQUIRE(size >= 5 && option[3] == ':');
  const int code = std::stoi(std::string(option.substr(0, 3)));
  FUZZ_REQUIRE(code >= kFirstCode && code <= kLastCode);
  const Fault* fault = plan.peek(code);
  FUZZ_REQUIRE(fault != nullptr);
  FUZZ_REQUIRE(fault->count == -1 || fault->count >= 1);
  FUZZ_REQUIRE(fault->block >= -1 && fault->block <= 66);
  // The link goes once: a cut has no count, and only a cut has a byte count.
  FUZZ_REQUIRE(cutsTheLink(fault->kind) ? fault->count == -1 : fault->bytesBeforeCut == 0);
  // A number of the loader's is a record or an erase time, never with a block.
  FUZZ_REQUIRE(fault->number == -1 ||
               (fault->number >= 1 && fault->block == -1 &&
                (fault->kind == FaultKind::NoStar ||
                 (fault->kind == FaultKind::SlowErase && fault->number <= 600000))));
  // The faults of a send stored otherwise take a count alone.
  FUZZ_REQUIRE((fault->kind != FaultKind::DropRow && fault->kind != FaultKind::ChangeParam) ||
               (fault->text.empty() && fault->block == -1 && fault->number == -1));
  FUZZ_REQUIRE(sameFaults(faultsOf(plan), kStartFaults, code));

  const std::string_view kind = option.substr(4, option.find(':', 4) - 4);
  FaultPlan again;
  FUZZ_REQUIRE(again.parse(optionOf(code, kind, *fault)).empty());
  FUZZ_REQUIRE(sameFault(again.peek(code), fault));
  return 0;
}
