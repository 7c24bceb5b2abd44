#include "firmware/firmware_update.h"

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "files/file_load.h"
#include "link/command_exchange.h"
#include "link/usb_link.h"
#include "platform/shell.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern {

namespace {

// Keeps the update from being interrupted for as long as it lives; says where it cannot.
class Uninterruptible {
 public:
  explicit Uninterruptible(Shell& shell) : m_shell(shell) {
    using namespace firmware_text;
    const std::string problem = m_shell.setUninterruptible(true, kAwakeReason, kCloseQuestion);
    if (problem.empty()) return;
    m_shell.addMessageLine(std::string(kMaySleep) + problem + ".");
    m_shell.addMessageLine(kKeepAwake);
  }
  ~Uninterruptible() { (void)m_shell.setUninterruptible(false, {}, {}); }
  Uninterruptible(const Uninterruptible&) = delete;
  Uninterruptible& operator=(const Uninterruptible&) = delete;

 private:
  Shell& m_shell;
};

// The hourglass from the erase on, off again at the end.
class Hourglass {
 public:
  explicit Hourglass(Shell& shell) : m_shell(shell) {}
  ~Hourglass() {
    if (m_on) m_shell.setBusy(false);
  }
  Hourglass(const Hourglass&) = delete;
  Hourglass& operator=(const Hourglass&) = delete;
  void show() {
    if (!m_on) m_shell.setBusy(true);
    m_on = true;
  }

 private:
  Shell& m_shell;
  bool m_on = false;
};

// Once "CMD980" went out: the warning box, then the lines that say where the instrument is and
// the way out.
CommandResult cancelInLoader(Shell& shell, std::string_view warning, CommandResult result) {
  shell.addMessageLine(firmware_text::kStillInLoader);
  shell.addMessageLine(firmware_text::kRunAgain);
  shell.message(warning, MessageKind::Warning, MessageButtons::Ok);
  return result;
}

// A stop the user asks for while the loader runs: the first one is refused with a line (and
// forgotten), a second one is taken. True when the update is to stop now.
bool stopTaken(Shell& shell, bool& refusedOnce) {
  if (!shell.cancelled()) return false;
  if (refusedOnce) return true;
  refusedOnce = true;
  shell.addMessageLine(firmware_text::kStopIgnored);
  shell.addMessageLine(firmware_text::kStopAgain);
  shell.clearCancel();
  return false;
}

std::string withLineFeed(const SRecord& record) { return record.text + '\n'; }

void writeRecord(CommandExchange& exchange, const SRecord& record) {
  const std::string bytes = withLineFeed(record);
  exchange.write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool isTermination(const SRecord& record) { return record.text.starts_with("S9"); }

}  // namespace

CommandResult updateFirmware(CommandExchange& exchange, Shell& shell, const FirmwareImage& file) {
  using namespace firmware_text;
  const std::vector<SRecord>& records = file.image.records;
  shell.setProgressMax(100);
  shell.setProgress(0);
  if (records.empty() || !records.front().text.starts_with("S0")) {
    shell.message(kIncorrectType, MessageKind::Warning, MessageButtons::Ok);
    return CommandResult::Refused;
  }

  // The loader woken: "C" within 4 s.
  exchange.sendCommandLine(kWakeUpLine);
  if (!exchange.waitForAck(kLoaderAwake, kWakeUpSeconds)) {
    shell.message(kNoWakeUp, MessageKind::Warning, MessageButtons::Ok);
    return CommandResult::Failed;
  }
  if (shell.message(kConfirm, MessageKind::Confirmation, MessageButtons::YesNo) !=
      MessageResult::Yes)
    return CommandResult::Refused;

  shell.clearMessageArea();
  shell.setStatus(file.baseName);
  // From here on the instrument may be in its loader: nothing may interrupt the update, and the
  // status bar shows the link's state again at the end.
  const Uninterruptible uninterruptible(shell);
  struct StatusAtEnd {
    CommandExchange& exchange;
    Shell& shell;
    ~StatusAtEnd() { shell.setStatus(exchange.linkOpen() ? kPortOpenStatus : kPortClosedStatus); }
  } statusAtEnd{exchange, shell};
  Hourglass hourglass(shell);
  bool stopRefused = false;

  // Three "*" in a row within 5 s. The byte received stays until another comes: one "*" then
  // two empty reads count as three.
  const std::int64_t start = exchange.wholeSeconds();
  exchange.sendCommandLine(kEnterLoaderLine);
  std::uint8_t received = 0;
  int stars = 0;
  for (;;) {
    exchange.readBlock(&received, 1);
    stars = received == wire::kCompletionMark ? stars + 1 : 0;
    if (stars >= 3) break;
    shell.processEvents();
    if (stopTaken(shell, stopRefused))
      return cancelInLoader(shell, kNoResponse, CommandResult::Cancelled);
    if (exchange.wholeSeconds() - start > kEnterLoaderSeconds || !exchange.linkOpen())
      return cancelInLoader(shell, kNoResponse, CommandResult::Failed);
  }

  hourglass.show();
  shell.addMessageLine(kDoNotRemovePower);
  shell.addMessageLine(kDoNotInterrupt);
  shell.addMessageLine(kErasing);
  exchange.sendCommandLine(kEraseLine);
  exchange.pause(kErasePause);
  shell.addMessageLine(kProgramming);

  // One record in flight: the next goes out on each "*".
  std::size_t next = 0;
  writeRecord(exchange, records[next++]);
  for (;;) {
    shell.processEvents();
    const bool stop = stopTaken(shell, stopRefused);
    if (stop || exchange.wholeSeconds() - start > kUpdateSeconds || !exchange.linkOpen()) {
      shell.setProgress(0);
      return cancelInLoader(shell, kTimeout,
                            stop ? CommandResult::Cancelled : CommandResult::Failed);
    }
    std::this_thread::yield();
    received = 0;
    exchange.readBlock(&received, 1);
    if (received != wire::kCompletionMark) continue;
    shell.setProgress(firmwareProgress(records[next - 1].end, file.fileSize));
    if (next >= records.size()) {
      // A checked image always ends on an S9 before its records run out.
      shell.setProgress(0);
      return cancelInLoader(shell, kTimeout, CommandResult::Failed);
    }
    const SRecord& record = records[next++];
    writeRecord(exchange, record);
    if (!isTermination(record)) continue;

    // The loader's last word: whatever it sends in the pause and one read.
    exchange.pause(kClosingPause);
    std::vector<std::uint8_t> closing(kClosingReadSize);
    const std::size_t got = exchange.readBlock(closing.data(), closing.size());
    shell.addMessageLine(
        got > 0 ? std::string_view(reinterpret_cast<const char*>(closing.data()), got) : kNoReply);
    shell.addMessageLine(kFinished);
    shell.setProgress(0);
    return CommandResult::Done;
  }
}

InstrumentCommand firmwareUpdateCommand(const FirmwareImage& image) {
  InstrumentCommand command{firmware_text::kPortClosed, nullptr,
                            [&image](CommandExchange& exchange, Shell& shell) {
                              return updateFirmware(exchange, shell, image);
                            }};
  // The hourglass from the erase on, and warnings of its own.
  command.busyCursor = false;
  command.commErrorOnFailure = false;
  return command;
}

FirmwareFile loadFirmwareFile(const std::string& path) {
  using namespace firmware_text;
  FirmwareFile file;
  LoadedFile loaded = loadFileBytes(path, kLargestImageFile, "firmware file");
  if (!loaded.problem.empty()) {
    file.problem = kCannotOpen;
    return file;
  }
  if (loaded.longer) {
    file.problem = formatText("The file is larger than any firmware image (%llu MiB).",
                              static_cast<unsigned long long>(kLargestImageFile >> 20)) +
                   std::string(kCancelledSuffix);
    return file;
  }
  file.bytes = std::move(loaded.bytes);
  SRecordCheck check = checkSRecordFile(file.bytes);
  if (!check.image) {
    file.problem = check.problem == srecord_text::kIncorrectFileType
                       ? std::string(kIncorrectType)
                       : check.problem + std::string(kCancelledSuffix);
    return file;
  }
  file.image = FirmwareImage{std::move(*check.image), file.bytes.size(),
                             std::filesystem::path(path).stem().string()};
  return file;
}

std::chrono::milliseconds firmwareDuration(const SRecordImage& image) {
  // The records at the wire's pace, each line feed included, and each one's turnaround: the
  // bridge's latency both ways and the loader programming it.
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < image.sent; ++i) bytes += image.records[i].text.size() + 1;
  const auto wire = std::chrono::milliseconds(bytes * 1000 / kWireBytesPerSecond);
  return kLoaderStart + wire + kRecordTurnaround * static_cast<long>(image.sent);
}

std::string firmwareSummary(const FirmwareImage& file, std::string_view fileName,
                            std::string_view sha256) {
  const SRecordImage& image = file.image;
  std::string text;
  text += formatText("File: %s\n", std::string(fileName).c_str());
  text += formatText("Size: %llu bytes\n", static_cast<unsigned long long>(file.fileSize));
  text += formatText("SHA-256: %s\n", std::string(sha256).c_str());
  text += formatText("Header: %s\n", image.header.c_str());
  text += formatText("Data records: %zu, %llu bytes of data\n", image.dataRecords,
                     static_cast<unsigned long long>(image.dataBytes));
  for (const AddressRange& range : image.ranges) {
    const int digits = range.last > 0xFFFFFF ? 8 : range.last > 0xFFFF ? 6 : 4;
    text += formatText("Addresses: %0*X to %0*X\n", digits, range.first, digits, range.last);
  }
  text += formatText("Records sent: %zu, the last the first S9 record\n", image.sent);
  if (image.leftOut() > 0)
    text += formatText("Not sent: the %zu record(s) after the first S9 record\n", image.leftOut());
  const auto seconds = (firmwareDuration(image).count() + 999) / 1000;
  text += formatText("Transfer: about %lld s", static_cast<long long>(seconds));
  if (seconds > kUpdateSeconds)
    text += formatText(", longer than the %d s the update may take: it would be cancelled",
                       kUpdateSeconds);
  text += "\n";
  return text;
}

int firmwareProgress(std::uint64_t position, std::uint64_t fileSize) {
  if (fileSize == 0) return 0;
  return static_cast<int>((position * 100 + fileSize / 2) / fileSize);
}

}  // namespace halvern
