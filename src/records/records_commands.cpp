#include "records/records_commands.h"

#include <new>
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
// Records written or shown between two turns of the event loop.
constexpr std::size_t kRecordsPerTurn = 512;
constexpr std::size_t kRecordsPerShownPiece = 2000;

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
    if (!writeFile(shell, *path, data, f, n, formats, delimiter)) return CommandResult::Refused;
    if (settings.showRecords) show(shell, data, f, n, formats, delimiter);

    shell.setProgress(0);
    exchange.pause(kEndPause);
    exchange.purge();
    shell.addMessageLine(kFinished);
    return CommandResult::Done;
  }

  // The records text file, written beside its name and renamed over it once whole.
  bool writeFile(Shell& shell, const std::string& path, const std::vector<std::uint8_t>& data,
                 std::uint32_t f, std::uint32_t n, const std::vector<RecordFormat>& formats,
                 char delimiter) {
    const DateTime at = calendar.now();
    shell.addMessageLine(kWriting);
    shell.setProgressMax(static_cast<int>(n));
    std::string text = recordsFileHeader(n, formats, delimiter, at);
    text.reserve(text.size() + static_cast<std::size_t>(n) * f * 10);
    for (std::size_t r = 0; r < n; r += kRecordsPerTurn) {
      shell.processEvents();
      shell.setProgress(static_cast<int>(r));
      appendRecordLines(text, data, f, formats, delimiter, r,
                        std::min<std::size_t>(n, r + kRecordsPerTurn), false);
    }
    shell.setProgress(0);
    const std::string problem = saveFileBytes(path, text, "records file");
    if (problem.empty()) return true;
    shell.message(problem, MessageKind::Warning, MessageButtons::Ok);
    return false;
  }

  // The records in the records window, numbered, in large pieces.
  void show(Shell& shell, const std::vector<std::uint8_t>& data, std::uint32_t f, std::uint32_t n,
            const std::vector<RecordFormat>& formats, char delimiter) {
    shell.addMessageLine(kShowing);
    shell.setProgressMax(static_cast<int>(n));
    std::string piece;
    for (std::size_t r = 0; r < n; r += kRecordsPerShownPiece) {
      shell.setProgress(static_cast<int>(r));
      piece.clear();
      appendRecordLines(piece, data, f, formats, delimiter, r,
                        std::min<std::size_t>(n, r + kRecordsPerShownPiece), true);
      if (view.showText) view.showText(piece);
      shell.processEvents();
    }
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
