#include "records/records_commands.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

#include "files/file_save.h"
#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "platform/shell.h"
#include "records/records_file.h"
#include "records/records_transfer.h"
#include "setup/setup_model.h"
#include "setup/setup_transfer.h"

namespace halvern {

namespace {

using namespace records_text;

constexpr std::chrono::milliseconds kFormatsPause{200};
constexpr std::chrono::milliseconds kEndPause{100};
// Fields written, or shown, between two turns of the event loop: a few milliseconds' work.
constexpr std::size_t kFieldsPerTurn = 65536;

std::size_t recordsPerTurn(std::uint32_t fields) {
  return std::max<std::size_t>(1, kFieldsPerTurn / std::max<std::uint32_t>(fields, 1));
}

// The record lines of the file shown in the records window, each led by its number.
void showLines(Shell& shell, const RecordsView& view, std::string_view lines, std::uint32_t n,
               std::uint32_t f, char delimiter) {
  shell.addMessageLine(kShowing);
  shell.setProgressMax(static_cast<int>(n));
  const std::size_t perPiece = recordsPerTurn(f);
  std::string piece;
  std::size_t at = 0;
  for (std::size_t r = 0; r < n; r += perPiece) {
    shell.setProgress(static_cast<int>(r));
    piece.clear();
    for (std::size_t k = r; k < std::min<std::size_t>(n, r + perPiece); ++k) {
      // A field holds no line end: every line is one record's.
      const std::size_t lf = lines.find('\n', at);
      const std::size_t end = lf == std::string_view::npos ? lines.size() : lf + 1;
      appendRecordNumber(piece, k, delimiter);
      piece.append(lines.substr(at, end - at));
      at = end;
    }
    if (view.showText) view.showText(piece);
    shell.processEvents();
  }
}

// The buttons disabled for as long as it lives.
class ButtonsOff {
 public:
  explicit ButtonsOff(const RecordsView& view) : m_view(view) { set(false); }
  ~ButtonsOff() { set(true); }
  ButtonsOff(const ButtonsOff&) = delete;
  ButtonsOff& operator=(const ButtonsOff&) = delete;

 private:
  void set(bool on) {
    if (m_view.setButtonsEnabled) m_view.setButtonsEnabled(on);
  }
  const RecordsView& m_view;
};

// The record layout as the 40100 gave it at the start of a download.
struct RecordLayout {
  std::uint32_t fields = 0;
  std::vector<RecordFormat> formats;
};

// Reads the 40100's fields per record and record formats into a copy of the setup, so that
// nothing edited or opened while they come mixes into them; then puts what came on the Setup
// page, as the retrieval warning says. Nothing when a read failed.
std::optional<RecordLayout> readRecordLayout(CommandExchange& exchange, SetupModel& setup,
                                             Shell& shell) {
  SetupModel read = setup;
  read.setOnChanged(nullptr);
  const std::uint64_t before = read.version();
  bool failed = getFieldsPerRecord(exchange, read, shell) != CommandResult::Done;
  if (!failed) {
    exchange.pause(kFormatsPause);
    failed = getRecordFormats(exchange, read, shell) != CommandResult::Done;
  }
  if (read.version() != before) {
    SetupModel::Batch batch(setup);
    setup.setFieldsPerRecord(read.fieldsPerRecord());
    for (int row = 0; row < SetupModel::kFieldCount; ++row) setup.setFormat(row, read.format(row));
  }
  if (failed) return std::nullopt;
  const auto fields = static_cast<std::uint32_t>(read.fieldsPerRecord());
  return RecordLayout{fields, recordFormatsOf(read, fields)};
}

struct Download {
  SetupModel& setup;
  const Calendar& calendar;
  RecordsSettings& settings;
  const RecordsView& view;

  CommandResult run(CommandExchange& exchange, Shell& shell) {
    const std::uint32_t n = settings.numOfRecords;
    // The file's delimiter as chosen when the download started.
    const char delimiter = recordDelimiter(settings.delimiter);
    if (n >= kSlowShowRecords && settings.showRecords &&
        shell.message(slowShowQuestion(n), MessageKind::Confirmation, MessageButtons::YesNo) ==
            MessageResult::No) {
      settings.showRecords = false;
    }
    shell.processEvents();
    ClockTimerHold timer(shell);
    shell.message(kRetrievalWarning, MessageKind::Warning, MessageButtons::Ok);

    std::optional<RecordLayout> layout;
    {
      BusyCursor busy(shell);
      layout = readRecordLayout(exchange, setup, shell);
    }
    if (!layout) return CommandResult::Failed;
    // From here on the records are decoded with these alone.
    const std::uint32_t f = layout->fields;
    const std::vector<RecordFormat>& formats = layout->formats;
    if (static_cast<std::uint64_t>(f) * n >= kRecordFieldLimit) {
      shell.message(tooManyRecords(f, static_cast<std::uint32_t>(kRecordFieldLimit / f)),
                    MessageKind::Warning, MessageButtons::Ok);
      return CommandResult::Refused;
    }

    const std::optional<std::string> path = view.chooseFile ? view.chooseFile() : std::nullopt;
    if (!path) return CommandResult::Refused;
    if (!canWriteBeside(*path).empty()) {
      shell.message(kCannotOpen, MessageKind::Warning, MessageButtons::Ok);
      return CommandResult::Refused;
    }

    shell.addMessageLine(kGetRecords);
    BusyCursor busy(shell);
    std::vector<std::uint8_t> data;
    try {
      data.resize(static_cast<std::size_t>(f) * n * kRecordFieldSize);
    } catch (const std::bad_alloc&) {
      shell.addMessageLine(kCannotAllocate);
      return CommandResult::Refused;
    }

    ButtonsOff buttons(view);
    shell.setProgressMax(static_cast<int>(data.size()));
    shell.addMessageLine(kDownloading);
    shell.processEvents();
    std::size_t received = 0;
    const RecordsEnd end = receiveRecords(exchange, shell, n, data, received);
    if (end == RecordsEnd::Cancelled) {
      shell.setProgress(0);
      shell.addMessageLine(kCancelled);
      return CommandResult::Cancelled;
    }
    shell.addMessageLine(totalBytes(received));
    shell.processEvents();
    if (end == RecordsEnd::TimedOut) {
      shell.setProgress(0);
      return CommandResult::Failed;
    }

    // A file that could not be saved has had its own warning.
    if (!saveAndShowRecords(shell, view, {data, f, n, formats, delimiter}, *path, calendar.now(),
                            settings.showRecords))
      return CommandResult::Refused;

    shell.setProgress(0);
    exchange.pause(kEndPause);
    exchange.purge();
    shell.addMessageLine(kFinished);
    return CommandResult::Done;
  }
};

}  // namespace

InstrumentCommand getRecordsCommand(SetupModel& setup, const Calendar& calendar,
                                    RecordsSettings& settings, const RecordsView& view) {
  InstrumentCommand command{
      kClosed, nullptr,
      [&setup, &calendar, &settings, &view](CommandExchange& exchange, Shell& shell) {
        Download download{setup, calendar, settings, view};
        return download.run(exchange, shell);
      }};
  // The command shows the hourglass itself, around the exchanges but not its boxes.
  command.busyCursor = false;
  return command;
}

bool saveAndShowRecords(Shell& shell, const RecordsView& view, const ReceivedRecords& records,
                        const std::string& path, const DateTime& at, bool show) {
  const std::uint32_t f = records.fields;
  const std::uint32_t n = records.count;
  shell.addMessageLine(kWriting);
  shell.setProgressMax(static_cast<int>(n));
  std::string text = recordsFileHeader(n, records.formats, records.delimiter, at);
  const std::size_t firstLine = text.size();
  text.reserve(firstLine + static_cast<std::size_t>(n) * f * 10);
  const std::size_t perTurn = recordsPerTurn(f);
  for (std::size_t r = 0; r < n; r += perTurn) {
    shell.processEvents();
    shell.setProgress(static_cast<int>(r));
    appendRecordLines(text, records.data, f, records.formats, records.delimiter, r,
                      std::min<std::size_t>(n, r + perTurn), false);
  }
  shell.setProgress(0);
  const std::string problem = saveFileBytes(path, text, "records file");
  if (!problem.empty()) {
    shell.message(problem, MessageKind::Warning, MessageButtons::Ok);
    return false;
  }
  if (show)
    showLines(shell, view, std::string_view(text).substr(firstLine), n, f, records.delimiter);
  return true;
}

InstrumentCommand eraseRecordsCommand() {
  InstrumentCommand command{
      kEraseClosed,
      [](Shell& shell) {
        return shell.message(kEraseQuestion, MessageKind::Confirmation, MessageButtons::YesNo) !=
               MessageResult::Yes;
      },
      [](CommandExchange& exchange, Shell& shell) { return eraseRecords(exchange, shell); }};
  // The time-out has its own line.
  command.commErrorOnFailure = false;
  return command;
}

}  // namespace halvern
