// Halvern's numbers under a desktop whose language writes a decimal comma (German): the records
// file, the calibration line and its reference, the simulated instrument's reading of it and its
// own replies, the program's values through the program image and its file, and a trace. Each
// test sets the locale in this process, as QCoreApplication does at start (setlocale(LC_ALL, "")
// with LANG=de_DE.UTF-8), and restores it. The locale is made with localedef into the build
// folder when the system has none (scripts/comma-locale.sh).
#include <gtest/gtest.h>
#include <locale.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "link/tracing_link.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "program/program_image.h"
#include "records/records_commands.h"
#include "records/records_file.h"
#include "service/calibration.h"
#include "service/hardware_tests.h"
#include "setup/setup_model.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/test_folder.h"
#include "wire/c_numbers.h"
#include "wire/commands.h"
#include "wire/text_format.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr const char* kCommaLocale = "de_DE.UTF-8";

std::string printed(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Runs its test under the decimal-comma locale; skipped, saying why, when none can be had.
class DecimalComma : public ::testing::Test {
 protected:
  void SetUp() override {
    m_savedLocale = setlocale(LC_ALL, nullptr);
    if (const char* path = std::getenv("LOCPATH")) m_savedLocpath = path;
    if (!setlocale(LC_ALL, kCommaLocale)) {
      const std::string problem = makeLocale();
      if (!problem.empty()) GTEST_SKIP() << "no decimal-comma locale to test under: " << problem;
      if (!setlocale(LC_ALL, kCommaLocale))
        GTEST_SKIP() << "no decimal-comma locale to test under: setlocale(LC_ALL, \""
                     << kCommaLocale << "\") fails with LOCPATH=" << HALVERN_COMMA_LOCALE_DIR;
    }
    // The C library now writes and reads numbers with the comma: what Halvern's must not follow.
    ASSERT_STREQ(localeconv()->decimal_point, ",");
    ASSERT_EQ(printed("%.2f", 12.5), "12,50");
    ASSERT_EQ(std::strtod("4998.37", nullptr), 4998.0);
  }

  void TearDown() override {
    setlocale(LC_ALL, m_savedLocale.c_str());
    if (m_savedLocpath)
      setenv("LOCPATH", m_savedLocpath->c_str(), 1);
    else
      unsetenv("LOCPATH");
  }

 private:
  // scripts/comma-locale.sh into the build folder, pointed at by LOCPATH; what went wrong, if
  // anything.
  static std::string makeLocale() {
    const std::string command = std::string("'") + HALVERN_COMMA_LOCALE_SCRIPT + "' '" +
                                HALVERN_COMMA_LOCALE_DIR + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "cannot run " + std::string(HALVERN_COMMA_LOCALE_SCRIPT);
    std::string out;
    char buffer[256];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pclose(pipe) != 0) return out.empty() ? "scripts/comma-locale.sh failed" : out;
    setenv("LOCPATH", HALVERN_COMMA_LOCALE_DIR, 1);
    return {};
  }

  std::string m_savedLocale;
  std::optional<std::string> m_savedLocpath;
};

std::vector<std::uint8_t> recordsOf(const std::vector<float>& values) {
  std::vector<std::uint8_t> data(values.size() * kRecordFieldSize);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t bits;
    std::memcpy(&bits, &values[i], sizeof bits);
    for (std::size_t b = 0; b < 4; ++b) data[4 * i + b] = static_cast<std::uint8_t>(bits >> 8 * b);
  }
  return data;
}

TEST_F(DecimalComma, TheRecordsFileWritesAPoint) {
  const RecordFormat temp{"TEMP", RecordFormat::Number, 7, 2};
  const RecordFormat wind{"WIND SPEED", RecordFormat::Number, 5, 1};
  const RecordFormat date{"DATE", RecordFormat::Date, 8, 0};
  EXPECT_EQ(formatRecordField(12.5f, temp), "0012.50");
  EXPECT_EQ(formatRecordField(-3.25f, temp), "-003.25");
  EXPECT_EQ(formatRecordField(1.5f, {"X", RecordFormat::Number, 0, 9}), "1.500000");
  std::string field;
  appendRecordField(field, 4.0f, wind);
  EXPECT_EQ(field, "004.0");
  field.clear();
  appendFixed(field, -2.675, 9, 2);
  EXPECT_EQ(field, "-00002.67");

  const std::vector<RecordFormat> formats{date, temp, wind};
  const auto data = recordsOf({261201.0f, 12.5f, 4.0f, 261202.0f, -0.125f, 1234.5f});
  std::string file = recordsFileHeader(2, formats, ',', DateTime{2026, 12, 8, 9, 5, 3});
  appendRecordLines(file, data, formats.size(), formats, ',', 0, 2, false);
  EXPECT_EQ(file,
            "2 RECORDS\r\n"
            "12-08-2026 09:05:03\r\n"
            "DATE,TEMP,WIND SPEED\r\n"
            "12/01/2026,0012.50,004.0\r\n"
            "12/02/2026,-000.12,1234.5\r\n");
  std::string shown;
  appendRecordLines(shown, data, formats.size(), formats, '\t', 1, 2, true);
  EXPECT_EQ(shown, "0000002\t12/02/2026\t-000.12\t1234.5\r\n");
}

// The whole download from the simulated instrument, as the window and the CLI run it.
TEST_F(DecimalComma, ARecordsDownloadWritesAPoint) {
  test::ComputerBench bench{DateTime{2026, 12, 8, 9, 5, 3}};
  const FixedCalendar& calendar = bench.calendar;
  sim::SimulatedInstrument& instrument = bench.instrument;
  test::RecordingShell& shell = bench.shell;
  CommandExchange& exchange = bench.exchange;
  ASSERT_TRUE(bench.link.open());
  instrument.recordLog().setCount(50);
  SetupModel setup;
  RecordsSettings settings;
  settings.numOfRecords = 2;
  test::TestFolder scratch{"halvern_comma"};
  const std::string path = (scratch / "records.txt").string();
  RecordsView view{[&]() -> std::optional<std::string> { return path; }, nullptr, nullptr};
  ASSERT_EQ(
      runInstrumentCommand(exchange, shell, getRecordsCommand(setup, calendar, settings, view)),
      CommandResult::Done);
  EXPECT_EQ(test::readFile(path),
            "2 RECORDS\r\n"
            "12-08-2026 09:05:03\r\n"
            "DATE,TIME,WIND SPEED,WIND DIR\r\n"
            "12/01/2026,00:00:00,004.0,200\r\n"
            "12/01/2026,00:01:00,004.4,201\r\n");
}

TEST_F(DecimalComma, TheCalibrationLineWritesAPointAndTheReferenceReadsOne) {
  EXPECT_EQ(calibrationReference("4998.37"), 4998.37f);
  EXPECT_EQ(calibrationReference("5000.00"), 5000.0f);
  EXPECT_EQ(calibrationStepLine(CalibrationStep::SeFullScale, "4998.37"), "CMD815 4998.370117\r");
  EXPECT_EQ(calibrationStepLine(CalibrationStep::DiffFullScale, "4998.37"), "CMD825 4998.370117\r");
  EXPECT_EQ(cmd::calSingleFullLine(5000.0f), "CMD815 5000.000000\r");
  EXPECT_EQ(formatText("%.1f %+08.2f %g %e", 2.5, -1.25, 0.5, 1.5),
            "2.5 -0001.25 0.5 1.500000e+00");
  // formatText gives the thread its locale back.
  EXPECT_EQ(printed("%.1f", 2.5), "2,5");
}

// The step against the simulated instrument, which runs in this process as it does in
// `halvern-cli --simulate`: it reads the reference from the line and answers.
TEST_F(DecimalComma, TheSimulatedInstrumentReadsTheReferenceAndWritesItsReadings) {
  test::ComputerBench bench{DateTime{2026, 12, 8, 9, 0, 0}};
  sim::SimulatedInstrument& instrument = bench.instrument;
  test::RecordingShell& shell = bench.shell;
  CommandExchange& exchange = bench.exchange;
  ASSERT_TRUE(bench.link.open());
  EXPECT_EQ(
      runInstrumentCommand(exchange, shell,
                           calibrationStepCommand(CalibrationStep::SeFullScale, false, "4998.37")),
      CommandResult::Done);
  EXPECT_EQ(instrument.linesReceived().back(), "CMD815 4998.370117");
  EXPECT_EQ(shell.lines, Lines{"SE FULL SCALE CAL FINISHED."});

  std::string result;
  ASSERT_EQ(
      runInstrumentCommand(exchange, shell, testInputCommand(InputKind::SeVoltage, 7, result)),
      CommandResult::Done);
  EXPECT_NE(result.find("1762.5"), std::string::npos) << result;
  EXPECT_EQ(result.find(','), std::string::npos) << result;

  // The table's multipliers ("%.4f") and a check's readings ("%+08.2f").
  shell = {};
  ASSERT_EQ(runInstrumentCommand(exchange, shell, getCalDataCommand()), CommandResult::Done);
  EXPECT_NE(shell.inserted.find('.'), std::string::npos) << shell.inserted;
  EXPECT_EQ(shell.inserted.find(','), std::string::npos) << shell.inserted;
  shell = {};
  ASSERT_EQ(runInstrumentCommand(exchange, shell, calibrationCheckCommand(CalibrationCheck::Se)),
            CommandResult::Done);
  EXPECT_EQ(shell.inserted.rfind("SE 01 ", 0), 0u) << shell.inserted;
  EXPECT_NE(shell.inserted.find(" mV"), std::string::npos) << shell.inserted;
  EXPECT_NE(shell.inserted.find('.'), std::string::npos) << shell.inserted;
  EXPECT_EQ(shell.inserted.find(','), std::string::npos) << shell.inserted;
}

TEST_F(DecimalComma, NumbersAreReadWithAPointOnly) {
  EXPECT_EQ(wholeDecimal("4998.37"), 4998.37);
  EXPECT_EQ(wholeDecimal("4998,37"), std::nullopt);
  EXPECT_EQ(leadingDecimal(" +12.5e1x"), 125.0);
  std::size_t used = 0;
  EXPECT_EQ(leadingDecimal("4998,37", &used), 4998.0);
  EXPECT_EQ(used, 4u);
}

// leadingDecimal reads what strtod reads in the C locale, hexadecimal numbers aside.
TEST(CNumbers, ReadAsStrtodReadsInTheCLocale) {
  const std::string tiny = "0." + std::string(400, '0') + "1";
  const std::vector<std::string> texts{
      "4998.37", " \t+12.5e1x", "-0.000000", "5.",       ".5",   "-.5e-1x", "1e",  "1e+",
      "1e-400",  "-1e999",      tiny,        "-" + tiny, "+-3",  "-+3",     "",    " ",
      "abc",     ".",           "-",         "infinity", "-INF", "12 34",   "007", "1,5"};
  const CNumbersScope c;
  for (const auto& text : texts) {
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    std::size_t used = 99;
    const double got = leadingDecimal(text, &used);
    EXPECT_EQ(used, static_cast<std::size_t>(end - text.c_str())) << '"' << text << '"';
    EXPECT_EQ(got, expected) << '"' << text << '"';
    EXPECT_EQ(std::signbit(got), std::signbit(expected)) << '"' << text << '"';
  }
  EXPECT_TRUE(std::isnan(leadingDecimal("nan")));
  EXPECT_EQ(wholeDecimal("4998.37"), 4998.37);
  EXPECT_EQ(wholeDecimal(" 1"), 1.0);  // as strtod skips blanks
  for (const char* refused : {"", "1 ", "1e999", "1e-400", "inf", "nan", "1,5", "0x10"})
    EXPECT_EQ(wholeDecimal(refused), std::nullopt) << '"' << refused << '"';
}

// appendFixed writes the bytes of snprintf's "%0*.*f" in the C locale: the records' values (any
// float), doubles of every size, the ties of each precision (rounded half to even), signs, zeros,
// what is not a number, and every width and precision around the ones the records use.
TEST(CNumbers, FixedIsWhatSnprintfWritesInTheCLocale) {
  std::vector<double> values{0.0,
                             -0.0,
                             0.5,
                             -0.5,
                             1.5,
                             2.5,
                             2.675,
                             -2.675,
                             9.995,
                             -9.995,
                             1.005,
                             0.045,
                             0.05,
                             0.15,
                             1e-7,
                             5e-7,
                             4.9e-7,
                             -4.9e-7,
                             0.001,
                             -0.001,
                             1.0 / 3,
                             99.99999,
                             999.9995,
                             123456.789f,
                             -1e9,
                             1e15,
                             1e22,
                             9.999999e22,
                             3.0e38f,
                             -3.4028234663852886e38,
                             1e300,
                             -1e300,
                             5e-324,
                             2.2250738585072014e-308,
                             1.7976931348623157e308};
  // The ties of precision p are the odd multiples of 2^-(p+1).
  for (int p = 0; p <= 7; ++p)
    for (int j = 0; j < 64; ++j) {
      const double tie = std::ldexp(2 * j + 1, -(p + 1));
      values.push_back(tie);
      values.push_back(-tie - 10 * j);
    }
  // Floats of every exponent, as the records hold them, and doubles over a wide range.
  std::mt19937 draw(40100);
  while (values.size() < 6000) {
    const std::uint32_t bits = draw();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (std::isfinite(f)) values.push_back(f);
    values.push_back(std::ldexp(static_cast<double>(draw()) / 4294967296.0 - 0.5,
                                static_cast<int>(draw() % 140) - 60));
  }
  values.push_back(std::numeric_limits<double>::infinity());
  values.push_back(-std::numeric_limits<double>::infinity());
  values.push_back(std::numeric_limits<double>::quiet_NaN());
  values.push_back(-std::numeric_limits<double>::quiet_NaN());

  const CNumbersScope c;
  std::vector<char> buffer(1024);
  int wrong = 0;
  for (const double v : values)
    for (int width = 0; width <= 12; ++width)
      for (int precision = 0; precision <= 7; ++precision) {
        std::snprintf(buffer.data(), buffer.size(), "%0*.*f", width, precision, v);
        std::string got = "|";
        appendFixed(got, v, width, precision);
        if (got != "|" + std::string(buffer.data()) && ++wrong <= 10)
          ADD_FAILURE() << "%0" << width << "." << precision << "f of " << v << ": snprintf "
                        << buffer.data() << ", appendFixed " << got.substr(1);
      }
  EXPECT_EQ(wrong, 0);

  // More decimals than its buffer holds go the long way, with the same bytes.
  for (const int precision : {60, 73, 100, 400}) {
    for (const double v : {1.7976931348623157e308, -1.0 / 3, 5e-324}) {
      std::snprintf(buffer.data(), buffer.size(), "%0*.*f", 12, precision, v);
      std::string got;
      appendFixed(got, v, 12, precision);
      EXPECT_EQ(got, buffer.data()) << v << " with " << precision << " decimals";
    }
  }
}

// Program values typed, sent as the program image, received and converted back, and written to
// and read from a program file.
TEST_F(DecimalComma, TheProgramConversionKeepsThePoint) {
  ProgramDocument d;
  ASSERT_EQ(d.insertInstruction(0, 34), ProgramDocument::Edit::Done);  // LOC = VALUE
  ASSERT_EQ(d.editFieldParameter(0, 1, "12.5"), ProgramDocument::Edit::Done);
  EXPECT_EQ(d.store()[0].floatValue(1), 12.5f);
  EXPECT_EQ(d.tree()[0].children[1], "val= 12.5");
  // The default of a decimal value, written by the catalogue.
  ASSERT_EQ(d.insertInstruction(1, 34), ProgramDocument::Edit::Done);
  const std::string defaultLine = d.tree()[1].children[1];
  EXPECT_EQ(defaultLine.find(','), std::string::npos) << defaultLine;
  EXPECT_NE(defaultLine.find('.'), std::string::npos) << defaultLine;
  EXPECT_EQ(ProgramDocument::storedNode(d.store()[0]).children[1].find(','), std::string::npos);

  auto image = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(d.store(), *image);
  // 12.5 as a big-endian single.
  EXPECT_EQ((*image)[14], 0x41);
  EXPECT_EQ((*image)[15], 0x48);
  const ProgramImage::Conversion back = ProgramImage::convert(*image);
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(back.store[0].floatValue(1), 12.5f);
  EXPECT_EQ(back.tree[0].children[1], "val= 12.5");
  EXPECT_EQ(back.tree, d.tree());

  ProgramDocument opened;
  ASSERT_EQ(readProgramBytes(writeProgramBytes(d), opened), "");
  EXPECT_EQ(opened.store()[0].floatValue(1), 12.5f);
  EXPECT_EQ(opened.tree(), d.tree());
}

TEST_F(DecimalComma, ATraceWritesItsTimesWithAPoint) {
  test::InstrumentOnLink bench{DateTime{2026, 12, 8, 9, 0, 0}};
  test::TestFolder scratch{"halvern_comma"};
  const std::string path = (scratch / "trace.txt").string();
  {
    TracingLink trace(bench.link, bench.clock, path);
    ASSERT_TRUE(trace.ok());
    ASSERT_TRUE(trace.open());
    bench.clock.advance(1500us);
    const std::string line = "CMD100\r";
    trace.write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
  }
  const std::string text = test::readFile(path);
  EXPECT_NE(text.find("      1.500000 >"), std::string::npos) << text;
  EXPECT_EQ(text.find(','), std::string::npos) << text;
}

}  // namespace
}  // namespace halvern
