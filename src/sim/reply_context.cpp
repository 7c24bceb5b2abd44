#include "sim/reply_context.h"

namespace halvern::sim {

void ReplyContext::replySpoiled(const std::optional<Fault>& fault, std::string text,
                                std::string wrong, char pad, std::string_view after) {
  if (fault) {
    switch (fault->kind) {
      case FaultKind::Silence:
        return;
      case FaultKind::Short:
        if (!text.empty()) text.pop_back();
        break;
      case FaultKind::WrongValue: {
        std::string replacement = fault->text.empty() ? std::move(wrong) : fault->text;
        replacement.resize(text.size(), pad);
        text = std::move(replacement);
        break;
      }
      case FaultKind::Stray:
        text.insert(0, fault->text.empty() ? std::string(kStrayBytes) : fault->text);
        break;
      case FaultKind::Trailing:
        text += fault->text.empty() ? std::string(kStrayBytes) : fault->text;
        break;
      case FaultKind::NoStar:
        if (text == "*") return;
        break;
      case FaultKind::Corrupt:
      case FaultKind::NakStorm:
      case FaultKind::BadEnd:
      case FaultKind::Dies:
        break;  // faults of the program transfers only
      case FaultKind::Cut:
      case FaultKind::HangUp:
        break;  // taken when the command line came
      case FaultKind::NoWake:
      case FaultKind::OneStar:
      case FaultKind::NoClose:
      case FaultKind::SlowErase:
        break;  // faults of the firmware loader only
      case FaultKind::DropRow:
      case FaultKind::ChangeParam:
        break;  // faults of the screens and program sends only
    }
  }
  reply(text + std::string(after));
}

}  // namespace halvern::sim
