// The report from halvern-cli as a PDF: of what the simulated instrument holds, and of a group
// file without any link; its text read back by the PDF tools, its face embedded, its page size.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

bool havePdfTools() { return std::system("pdftotext -v >/dev/null 2>&1") == 0; }

std::string pdfTool(const std::string& command) {
  const CliRun run = runProgram(command, "");
  return run.out;
}

TEST(ReportEndToEnd, ThePdfOfTheInstrumentAndOfAGroup) {
  const std::string pdf = tempPath("report.pdf");
  CliRun run = runCli("--simulate report " + pdf + " --page-size Letter");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("FINISHED GETTING USER PROGRAM."), std::string::npos) << run.out;
  EXPECT_EQ(readFile(pdf).rfind("%PDF-", 0), 0u);
  if (!havePdfTools()) GTEST_SKIP() << "the PDF tools are not installed";

  const std::string text = pdfTool("pdftotext -layout " + pdf + " -");
  for (const char* expected : {"ZELKA MODEL 40100", "METEOROLOGICAL TRANSLATOR", "PROGRAM NOTES",
                               "PARAMETERS", "COM1 Type: RS-232", "Program Execution Interval:",
                               "USER PROGRAM", "001 ", "PGM END", "Screen 1", "Screen 8"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  const std::string fonts = pdfTool("pdffonts " + pdf);
  EXPECT_NE(fonts.find(" yes "), std::string::npos) << fonts;
  const std::string info = pdfTool("pdfinfo " + pdf);
  EXPECT_NE(info.find("612 x 792"), std::string::npos) << info;
  // The listing's pages, then the two of screens.
  const std::size_t pagesAt = info.find("Pages:");
  ASSERT_NE(pagesAt, std::string::npos) << info;
  EXPECT_GE(std::atoi(info.c_str() + pagesAt + 6), 4) << info;

  // A group: no link opened, its base name the heading's group line, A4 when asked.
  const std::string group = tempPath("northridge.ssp");
  run = runCli("--simulate --yes get all " + group);
  ASSERT_EQ(run.status, 0) << run.err;
  run = runCli("report " + pdf + " " + group + " --page-size A4");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const std::string groupText = pdfTool("pdftotext -layout " + pdf + " -");
  const std::string name = group.substr(group.rfind('/') + 1, group.size() - group.rfind('/') - 5);
  EXPECT_NE(groupText.find(name), std::string::npos) << groupText;
  EXPECT_NE(pdfTool("pdfinfo " + pdf).find("595 x 842"), std::string::npos);

  // A group that cannot be read: nothing written.
  std::remove(pdf.c_str());
  run = runCli("report " + pdf + " " + tempPath("missing.ssp"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(readFile(pdf), "");
  for (const char* ext : {".ssp", ".set", ".scr", ".pgm", ".txt", ".nts"})
    std::remove((group.substr(0, group.size() - 4) + ext).c_str());
  std::remove(pdf.c_str());
}

}  // namespace
