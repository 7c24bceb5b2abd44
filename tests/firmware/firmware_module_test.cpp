// File > Firmware Update... in the window against the simulated instrument: the link check before
// the file dialog, a refused file, the summary's Cancel and Continue, the update, and the window
// that will not close quietly while the loader runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <functional>

#include "firmware/firmware_summary_dialog.h"
#include "firmware/firmware_update.h"
#include "sim/test_replies.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

constexpr const char* kImage =
    "S00600004844521B\n"
    "S1130000000102030405060708090A0B0C0D0E0F74\n"
    "S1130010101112131415161718191A1B1C1D1E1F64\n"
    "S9030000FC\n";

class FirmwareModuleTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    ASSERT_TRUE(link.open());
  }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    choose(name);
  }
  // Triggers the item; `inSummary` runs with the summary dialog open (it is closed after).
  void update(const std::function<void(FirmwareSummaryDialog&)>& inSummary) {
    summaryShown = false;
    // Looked for until it is open: the file is read under the hourglass, which lets events run.
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = dynamic_cast<FirmwareSummaryDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      summaryShown = true;
      summaryText = dialog->summary()->toPlainText();
      inSummary(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    poll.start();
    window->action(MenuHandler::FirmwareUpdate1Click)->trigger();
  }
  QString messages() const { return window->messageArea()->toPlainText(); }
  bool romChanged() { return instrument.tests().romSignature() != sim::TestReplies::kRomSignature; }

  bool summaryShown = false;
  QString summaryText;
};

TEST_F(FirmwareModuleTest, CancelInTheSummarySendsNothingContinueUpdates) {
  write("station.glo", kImage);
  update([](FirmwareSummaryDialog& dialog) {
    EXPECT_TRUE(dialog.cancelButton()->isDefault());
    dialog.cancelButton()->click();
  });
  ASSERT_TRUE(summaryShown);
  EXPECT_TRUE(summaryText.contains("File: station.glo"));
  EXPECT_TRUE(summaryText.contains("Data records: 2, 32 bytes of data"));
  EXPECT_TRUE(summaryText.contains("Addresses: 0000 to 001F"));
  EXPECT_TRUE(instrument.linesReceived().empty());
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].filter, firmware_text::kFilter);
  EXPECT_EQ(requests[0].defaultSuffix, "glo");
  EXPECT_FALSE(requests[0].save);

  // Continue: the Part's confirmation (answered Yes), then the update.
  update([](FirmwareSummaryDialog& dialog) { dialog.continueButton()->click(); });
  EXPECT_EQ(boxes, (std::vector<std::string>{std::string(firmware_text::kConfirm)}));
  EXPECT_TRUE(messages().endsWith("FINISHED FIRMWARE UPDATE.")) << messages().toStdString();
  EXPECT_TRUE(messages().startsWith("DO NOT REMOVE POWER FROM 40100!") ||
              messages().contains("\nDO NOT REMOVE POWER FROM 40100!"));
  EXPECT_TRUE(romChanged());
  EXPECT_EQ(window->progressBar()->value(), 0);
  EXPECT_EQ(window->statusLabel()->text(), "ZELKA 40100 USB: Port Open");
  EXPECT_FALSE(window->instrumentBusy());
}

TEST_F(FirmwareModuleTest, RefusalsBeforeAnythingIsSent) {
  // A closed link: refused before the file dialog.
  link.close();
  window->action(MenuHandler::FirmwareUpdate1Click)->trigger();
  EXPECT_TRUE(requests.empty());
  EXPECT_EQ(boxes, (std::vector<std::string>{std::string(firmware_text::kPortClosed)}));
  ASSERT_TRUE(link.open());

  // A spoilt file: its line and fault, no summary, nothing sent.
  boxes.clear();
  write("bad.glo", std::string(kImage).replace(20, 1, "9"));
  update([](FirmwareSummaryDialog&) {});
  EXPECT_FALSE(summaryShown);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Line 2: ", 0), 0u) << boxes[0];
  EXPECT_TRUE(boxes[0].ends_with("\nFlash Update cancelled."));
  EXPECT_TRUE(instrument.linesReceived().empty());

  // A file that starts with S1: the refusal's own text.
  boxes.clear();
  write("s1.glo", std::string(kImage).substr(17));
  update([](FirmwareSummaryDialog&) {});
  EXPECT_EQ(boxes, (std::vector<std::string>{std::string(firmware_text::kIncorrectType)}));
  EXPECT_TRUE(instrument.linesReceived().empty());
}

TEST_F(FirmwareModuleTest, TheWindowAsksBeforeItClosesWhileTheLoaderRuns) {
  write("station.glo", kImage);
  // Asked to close while the loader runs: the question is answered No, then (the update going
  // on) closing is asked again after it ended and goes through without a question.
  bool closedDuring = true;
  int asked = 0;
  window->shell().setBoxAnswerer([&](std::string_view text, MessageKind, MessageButtons) {
    if (text == firmware_text::kCloseQuestion) {
      ++asked;
      return MessageResult::No;
    }
    if (text == firmware_text::kConfirm) {
      QTimer::singleShot(0, [&] { closedDuring = window->close(); });
    }
    return MessageResult::Yes;
  });
  update([](FirmwareSummaryDialog& dialog) { dialog.continueButton()->click(); });
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(closedDuring);
  EXPECT_TRUE(messages().endsWith("FINISHED FIRMWARE UPDATE."));
  EXPECT_TRUE(window->close());
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace halvern
