#include "sim/records_responder.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "sim/setup_responder.h"
#include "wire/commands.h"

namespace halvern::sim {

bool RecordsResponder::answer(const CommandLine& line, ReplyContext& context) {
  if (!line.args) return false;
  const std::vector<int>& args = *line.args;
  if (line.code == cmd::kGetRecords) {
    if (args.size() == 1 && args[0] >= 0) answerRecords(args[0], context);
    return true;
  }
  if (line.code == cmd::kEraseRecords) {
    if (args.empty()) eraseRecords(context);
    return true;
  }
  return false;
}

void RecordsResponder::answerRecords(int count, ReplyContext& context) {
  const SetupResponder::Settings& settings = m_setup.settings();
  std::vector<RecordLog::FieldType> types;
  const auto fields = static_cast<std::size_t>(
      std::clamp(settings.fieldsPerRecord, 1, static_cast<int>(wire::kRecordFormatCount)));
  for (std::size_t i = 0; i < fields; ++i)
    types.push_back(static_cast<RecordLog::FieldType>(std::min<int>(settings.formats[i].type, 2)));
  std::string bytes = m_log.bytes(static_cast<std::size_t>(count), types);
  // A wrong reply: as many bytes, all of them 0xFF (not a number in every field).
  std::string wrong(bytes.size(), '\xFF');
  context.replySpoiled(context.faults().take(cmd::kGetRecords), std::move(bytes), std::move(wrong),
                       '\xFF', context.form().afterBlock);
}

void RecordsResponder::eraseRecords(ReplyContext& context) {
  auto fault = context.faults().take(cmd::kEraseRecords);
  if (fault && fault->kind == FaultKind::Silence) return;
  // The memory is cleared a part at a time, each part marked with "!".
  const std::size_t parts = std::clamp<std::size_t>(m_log.count() / 500, 1, 12);
  for (std::size_t k = 1; k <= parts; ++k) context.reply("!", kEraseStep * static_cast<long>(k));
  m_log.erase();
  if (fault && fault->kind == FaultKind::NoStar) return;
  context.reply("*", kEraseStep * static_cast<long>(parts + 1));
}

void installRecordsResponder(ResponderSet& set) {
  // The records are laid out by the setup's fields and formats.
  set.add(std::make_unique<RecordsResponder>(*set.find<SetupResponder>()));
}

}  // namespace halvern::sim
