// Widget tests run offscreen in one QApplication.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Sends back up what the instrument held: into a folder of this run, never the user's.
  const std::filesystem::path data =
      std::filesystem::temp_directory_path() / ("halvern_widget_data_" + std::to_string(getpid()));
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(data, ignored);
  return status;
}
