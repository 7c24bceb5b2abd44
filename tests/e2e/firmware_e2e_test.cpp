// The firmware update end to end: an image made by the binary tools' S-record writer, checked and
// sent by halvern-cli to halvern-sim over a pseudo-terminal, the firmware's signature changed;
// spoilt copies of it refused before anything is sent, naming their line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

// An image of 4000 bytes as `objcopy -O srec` writes it; empty when the tool is missing.
std::string objcopyImage() {
  const std::string binary = tempPath("fw.bin");
  const std::string image = tempPath("fw.glo");
  std::string bytes;
  for (int i = 0; i < 4000; ++i) bytes += static_cast<char>((i * 37 + i / 7) & 0xFF);
  writeFile(binary, bytes);
  const std::string command = "objcopy -I binary -O srec " + binary + " " + image + " 2>/dev/null";
  const bool made = std::system(command.c_str()) == 0;
  std::remove(binary.c_str());
  return made ? readFile(image) : std::string();
}

// The text with its `line`th line (from 1) replaced.
std::string withLine(const std::string& text, int line, const std::string& replacement) {
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) start = text.find('\n', start) + 1;
  const std::size_t end = text.find('\n', start);
  return text.substr(0, start) + replacement + text.substr(end);
}

TEST(FirmwareEndToEnd, AnObjcopyImageUpdatesTheSimulatedInstrument) {
  const std::string text = objcopyImage();
  if (text.empty()) GTEST_SKIP() << "objcopy is not installed";
  const std::string image = tempPath("fw.glo");
  writeFile(image, text);

  CliRun run = runCli("firmware --check " + image);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Data records: 250, 4000 bytes of data"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Addresses: 0000 to 0F9F"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("SHA-256: "), std::string::npos) << run.out;

  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  run = runCli("--port " + sim.device() + " test rom-checksum");
  EXPECT_NE(run.out.find("ROM Signature: 0x5EC0A417"), std::string::npos) << run.out;

  run = runCli("--port " + sim.device() + " --yes firmware " + image);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("PROGRAMMING flash memory...\nFLASH UPDATE COMPLETE"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("FINISHED FIRMWARE UPDATE.\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("Data records: 250"), std::string::npos) << run.err;
  // The status bar's text: the file's base name, then the link's state again.
  const std::string stem = image.substr(image.rfind('/') + 1, image.size() - image.rfind('/') - 5);
  EXPECT_NE(run.err.find("status: " + stem + "\nstatus: ZELKA 40100 USB: Port Open"),
            std::string::npos)
      << run.err;

  run = runCli("--port " + sim.device() + " test rom-checksum");
  EXPECT_EQ(run.out.find("0x5EC0A417"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ROM Signature: 0x"), std::string::npos) << run.out;
  std::remove(image.c_str());
}

TEST(FirmwareEndToEnd, SpoiltCopiesAreRefusedBeforeAnythingIsSent) {
  const std::string text = objcopyImage();
  if (text.empty()) GTEST_SKIP() << "objcopy is not installed";
  // Line 5 is a whole S1 record of 16 bytes at 0x30.
  std::size_t start = 0;
  for (int i = 1; i < 5; ++i) start = text.find('\n', start) + 1;
  std::string line5 = text.substr(start, text.find('\n', start) - start);
  while (!line5.empty() && line5.back() == '\r') line5.pop_back();
  std::string digit = line5;
  digit[12] = digit[12] == '0' ? '1' : '0';
  std::string count = line5;
  count[2] = count[2] == '1' ? '2' : '1';
  const struct {
    const char* name;
    std::string copy;
    const char* problem;
  } copies[] = {
      {"one changed hex digit", withLine(text, 5, digit), "Line 5: checksum "},
      {"a wrong count byte", withLine(text, 5, count), "Line 5: count byte "},
      {"a record past FFFF", withLine(text, 5, "S107FFFE01020304F1"),
       "Line 5: S1 record runs past"},
      {"a comment line", withLine(text, 5, "; built 2026-12-08"), "Line 5: "},
      {"no S9", text.substr(0, text.rfind("S9")), "without an S9 record"},
      {"an S1 first", text.substr(text.find('\n') + 1), "Incorrect file type.\nFlash Update"},
  };
  SimulatorProcess sim("--verbose 2>" + tempPath("sim.log"));
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  for (const auto& c : copies) {
    SCOPED_TRACE(c.name);
    const std::string path = tempPath("spoilt.glo");
    writeFile(path, c.copy);
    CliRun run = runCli("firmware --check " + path);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
    run = runCli("--port " + sim.device() + " --yes firmware " + path);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Flash Update cancelled."), std::string::npos) << run.err;
    std::remove(path.c_str());
  }
  // Not one line reached the instrument.
  sim.signalAndWait(SIGTERM);
  EXPECT_EQ(readFile(tempPath("sim.log")), "");
  std::remove(tempPath("sim.log").c_str());
}

TEST(FirmwareEndToEnd, AFirstCtrlCWhileTheLoaderRunsIsRefusedASecondStopsIt) {
  const std::string text = objcopyImage();
  if (text.empty()) GTEST_SKIP() << "objcopy is not installed";
  const std::string image = tempPath("ctrlc.glo");
  writeFile(image, text);
  for (const int interrupts : {1, 2}) {
    SCOPED_TRACE(interrupts);
    // The erase takes 4 s: the interrupts come while the loader runs.
    SimulatorProcess sim("--fault 980:slowerase::4000");
    ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
    const std::string out = tempPath("ctrlc.out");
    std::string script = std::string(HALVERN_CLI) + " --port " + sim.device() + " --yes firmware " +
                         image + " >" + out + " & p=$!; sleep 2; kill -INT $p;";
    if (interrupts == 2) script += " sleep 0.5; kill -INT $p;";
    script += " wait $p; echo \"status $?\"";
    const CliRun run = runProgram("sh", "-c '" + script + "'");
    const std::string lines = readFile(out);
    EXPECT_NE(lines.find("STOP IGNORED: STOPPING NOW LEAVES THE 40100 WITHOUT FIRMWARE.\n"
                         "STOP AGAIN TO STOP ANYWAY.\n"),
              std::string::npos)
        << lines;
    if (interrupts == 1) {
      EXPECT_NE(run.out.find("status 0"), std::string::npos) << run.out << run.err;
      EXPECT_NE(lines.find("FINISHED FIRMWARE UPDATE.\n"), std::string::npos) << lines;
    } else {
      EXPECT_NE(run.out.find("status 1"), std::string::npos) << run.out << run.err;
      EXPECT_NE(lines.find("THE 40100 IS STILL IN ITS LOADER: ITS FIRMWARE IS NOT COMPLETE.\n"
                           "RUN THE FIRMWARE UPDATE AGAIN WITH THE SAME FILE TO FINISH IT.\n"),
                std::string::npos)
          << lines;
      EXPECT_NE(run.err.find("Timeout error.\nFlash Update cancelled."), std::string::npos)
          << run.err;
      EXPECT_EQ(lines.find("FINISHED FIRMWARE UPDATE."), std::string::npos) << lines;
    }
    std::remove(out.c_str());
  }
  std::remove(image.c_str());
}

}  // namespace
