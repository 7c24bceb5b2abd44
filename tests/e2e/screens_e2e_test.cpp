// halvern-cli get screens / send screens / screens render against halvern-sim on a pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

TEST(ScreensCliAgainstSimulator, GetSendGetAndRender) {
  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string port = "--port " + sim.device() + " ";
  const std::string first = tempPath("first.scr");
  const std::string edited = tempPath("edited.scr");
  const std::string again = tempPath("again.scr");
  const std::string png = tempPath("screen.png");

  CliRun run = runCli(port + "get screens " + first);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("GET SCREENS...\nFINISHED GETTING SCREENS.\n"), std::string::npos);
  std::string bytes = readFile(first);
  ASSERT_EQ(bytes.size(), 1920u);
  EXPECT_NE(bytes.substr(0, 240), std::string(240, ' '));

  // Screen 8 gets a large "OK" and a small line.
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c)
      bytes[7 * 240 + r * 40 + c] = static_cast<char>(c < 2 ? 0xCF : 0xCB);
  bytes.replace(7 * 240 + 5 * 40, 11, "END OF LIST");
  std::ofstream(edited, std::ios::binary) << bytes;
  run = runCli(port + "send screens " + edited);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "SEND SCREENS...\nFINISHED SENDING SCREENS.\n");

  run = runCli(port + "get screens " + again);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(readFile(again), bytes);

  run = runCli("screens render " + again + " " + png + " --screen 8");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "");  // the note goes to standard error
  const std::string picture = readFile(png);
  ASSERT_GT(picture.size(), 24u);
  EXPECT_EQ(picture.substr(1, 3), "PNG");
  // Width and height in the header, most significant byte first: 480 x 96.
  EXPECT_EQ(static_cast<unsigned char>(picture[18]) * 256 + static_cast<unsigned char>(picture[19]),
            480);
  EXPECT_EQ(static_cast<unsigned char>(picture[22]) * 256 + static_cast<unsigned char>(picture[23]),
            96);
  for (const auto& p : {first, edited, again, png}) std::remove(p.c_str());
}

TEST(ScreensCliAgainstSimulator, FailuresAndRefusals) {
  SimulatorProcess sim("--fault 210:nostar --fault 215:short");
  const std::string port = "--port " + sim.device() + " ";
  const std::string path = tempPath("failed.scr");

  CliRun run = runCli(port + "get screens " + path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("GET SCREENS FAILED."), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("warning: Cannot communicate with 40100."), std::string::npos);
  EXPECT_FALSE(std::ifstream(path).good());

  std::ofstream(path, std::ios::binary) << std::string(1920, ' ');
  run = runCli(port + "send screens " + path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("warning: No response from 40100"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("SEND SCREENS ERROR."), std::string::npos) << run.out;

  // A short file is refused before the instrument is touched.
  std::ofstream(path, std::ios::binary) << std::string(1000, ' ');
  run = runCli(port + "send screens " + path);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("is not a screen file"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  std::remove(path.c_str());

  for (const char* args : {"get screens", "send screens a.scr b.scr", "screens render a.scr",
                           "screens render a.scr b.png --screen 9"})
    EXPECT_EQ(runCli(args).status, 2) << args;
}

}  // namespace
