#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/calendar.h"
#include "support/computer_bench.h"

namespace halvern::test {

// The whole window against the simulated instrument on virtual time, in a folder of its own.
// Message boxes are recorded and answered (from `answers` while it lasts, then OK, or Yes to a
// question); file dialogs answer
// `chosenFile` and record what they were asked.
class WindowFixture : public ::testing::Test, protected InstrumentOnLink {
 protected:
  WindowFixture() : InstrumentOnLink(DateTime{2026, 12, 7, 9, 5, 3}) {}

  void SetUp() override {
    folder = std::filesystem::path(::testing::TempDir()) /
             ("halvern_window_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    MainWindow::Context context{
        link,
        clock,
        calendar,
        (folder / "Halvern.ini").string(),
        false,
        [this](std::string_view text, MessageKind kind, MessageButtons buttons) {
          boxes.emplace_back(text);
          boxKinds.push_back(kind);
          if (!answers.empty()) {
            const MessageResult answer = answers.front();
            answers.pop_front();
            return answer;
          }
          return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel
                     ? MessageResult::Ok
                     : MessageResult::Yes;
        }};
    window = std::make_unique<MainWindow>(std::move(context));
    window->setFileChooser([this](const MainWindow::FileRequest& request) {
      requests.push_back(request);
      return chosenFile;
    });
    window->show();
    QApplication::setActiveWindow(window.get());
  }
  void TearDown() override {
    window.reset();
    std::filesystem::remove_all(folder);
  }

  // The next file dialog answers this file of the test's folder.
  void choose(const std::string& name) {
    chosenFile = QString::fromStdString((folder / name).string());
  }

  std::filesystem::path folder;
  std::unique_ptr<MainWindow> window;
  std::vector<std::string> boxes;
  std::vector<MessageKind> boxKinds;
  std::deque<MessageResult> answers;
  std::vector<MainWindow::FileRequest> requests;
  QString chosenFile;
};

}  // namespace halvern::test
