#include "sim/calibration_replies.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "wire/c_numbers.h"
#include "wire/commands.h"
#include "wire/text_format.h"

namespace halvern::sim {

namespace {

// The full-scale reading of the inputs before any calibration, in millivolts.
constexpr double kRawFullScale = 4998.6;

bool isCode(int code, std::initializer_list<int> codes) {
  for (int c : codes)
    if (c == code) return true;
  return false;
}

// A reading as the instrument prints it: sign, four integer digits, two decimals.
std::string reading(double value) { return formatText("%+08.2f", value); }

}  // namespace

CalibrationReplies::CalibrationReplies() {
  // Constants of its own, a little off the ideal, different on every channel.
  for (int ch = 0; ch < kChannels; ++ch) {
    Row& r = m_table[static_cast<std::size_t>(ch)];
    r.se0 = (ch * 7) % 11 - 5;
    r.diff0 = (ch * 5) % 9 - 4;
    r.wd0 = (ch * 3) % 7 - 3;
    r.seMult = 1.0 + ((ch * 13) % 17 - 8) * 0.0001;
    r.diffMult = 1.0 + ((ch * 11) % 15 - 7) * 0.0001;
    r.wdMult = 1.0 + ((ch * 7) % 13 - 6) * 0.0001;
    r.vMult = 1.0 + ((ch * 3) % 9 - 4) * 0.0002;
    r.vOffset = (ch * 5) % 7 - 3;
    r.iMult = 1.0 + ((ch * 5) % 11 - 5) * 0.0002;
    r.iOffset = (ch * 3) % 5 - 2;
  }
}

std::optional<std::vector<CalibrationReplies::Piece>> CalibrationReplies::answer(
    int code, std::string_view args, FaultPlan& faults) {
  if (code == cmd::kDriveVoltage || code == cmd::kDriveCurrent) {
    // Noted, and left to the drive's own handling.
    const std::string text(args);
    char* end = nullptr;
    const long channel = std::strtol(text.c_str(), &end, 10);
    const long level = std::strtol(end, nullptr, 10);
    if (channel >= 1 && channel <= kOutputs)
      m_outputs[static_cast<std::size_t>(channel - 1)] = {code == cmd::kDriveCurrent,
                                                          static_cast<int>(level)};
    return std::nullopt;
  }

  std::vector<Piece> pieces;
  if (code == cmd::kReadCalibration && args.empty()) {
    pieces.push_back({{}, tableText()});
  } else if (isCode(code, {cmd::kCalSingleFull, cmd::kCalDiffFull})) {
    // The reference in millivolts, as "%f" writes it: "." is the decimal point whatever the
    // locale of the process the simulated instrument runs in (halvern-cli --simulate).
    const std::optional<double> reference = wholeDecimal(args);
    if (!reference) return pieces;
    pieces = step(code, *reference);
  } else if (isCode(code, {cmd::kCalSingleZero, cmd::kCalDiffZero, cmd::kCalWindZero,
                           cmd::kCalWindExcitation, cmd::kCalVoltageOut, cmd::kCalCurrentOut}) &&
             args.empty()) {
    pieces = step(code, std::nullopt);
  } else if ((code == cmd::kCheckOutputs && (args == "16" || args == "04")) ||
             (code == cmd::kCheckDiff && args == "14") ||
             (code == cmd::kCheckWind && args.empty())) {
    pieces = report(code, args);
  } else {
    return std::nullopt;
  }

  // As the fault plan spoils it.
  const std::optional<Fault> fault = faults.take(code);
  if (!fault || pieces.empty()) return pieces;
  switch (fault->kind) {
    case FaultKind::Silence:
      pieces.clear();
      break;
    case FaultKind::NoStar:
    case FaultKind::Short:
      if (!pieces.back().bytes.empty() && pieces.back().bytes.back() == '*')
        pieces.back().bytes.pop_back();
      else if (fault->kind == FaultKind::Short && !pieces.back().bytes.empty())
        pieces.back().bytes.pop_back();
      break;
    case FaultKind::Stray:
      pieces.front().bytes.insert(0, fault->text.empty() ? std::string("?#") : fault->text);
      break;
    default:
      break;
  }
  return pieces;
}

std::vector<CalibrationReplies::Piece> CalibrationReplies::step(int code,
                                                                std::optional<double> reference) {
  ++m_steps;
  Clock::Duration time = kZeroTime;
  for (int ch = 0; ch < kChannels; ++ch) {
    Row& r = m_table[static_cast<std::size_t>(ch)];
    // The offsets and multipliers it measures now: near the ideal, a trace of the channel left.
    const int residue = (ch + m_steps) % 3 - 1;
    const double scale = reference ? *reference / (kRawFullScale + ch * 0.05) : 1.0;
    switch (code) {
      case cmd::kCalSingleZero:
        r.se0 = residue;
        break;
      case cmd::kCalDiffZero:
        r.diff0 = residue;
        break;
      case cmd::kCalWindZero:
        r.wd0 = residue;
        break;
      case cmd::kCalSingleFull:
        r.seMult = scale;
        time = kFullScaleTime;
        break;
      case cmd::kCalDiffFull:
        r.diffMult = scale;
        time = kFullScaleTime;
        break;
      case cmd::kCalWindExcitation:
        r.wdMult = 1.0 + residue * 0.00005;
        time = kFullScaleTime;
        break;
      case cmd::kCalVoltageOut:
        r.vMult = 1.0 + residue * 0.0001;
        r.vOffset = residue;
        time = kOutputTime;
        break;
      case cmd::kCalCurrentOut:
        r.iMult = 1.0 + residue * 0.0001;
        r.iOffset = residue;
        time = kOutputTime;
        break;
      default:
        break;
    }
  }
  return {{time, "*"}};
}

std::vector<CalibrationReplies::Piece> CalibrationReplies::report(int code,
                                                                  std::string_view args) const {
  std::vector<Piece> pieces;
  Clock::Duration at = std::chrono::milliseconds(500);
  auto line = [&](std::string text) {
    pieces.push_back({at, text + "\r"});
    at += kReportLineTime;
  };
  if (code == cmd::kCheckOutputs && args == "04") {
    for (int out = 0; out < kOutputs; ++out) {
      const Drive& d = m_outputs[static_cast<std::size_t>(out)];
      const Row& r = m_table[static_cast<std::size_t>(out)];
      if (d.current)
        line(formatText("IOUT %d %s mA", out + 1,
                        reading(d.level * r.iMult / 1.0001 + r.iOffset * 0.001).c_str()));
      else
        line(formatText("VOUT %d %s mV", out + 1,
                        reading(d.level * r.vMult / 1.0002 + r.vOffset * 0.1).c_str()));
    }
  } else if (code == cmd::kCheckOutputs) {
    for (int ch = 0; ch < kChannels; ++ch) {
      const Row& r = m_table[static_cast<std::size_t>(ch)];
      line(formatText("SE %02d %s mV", ch + 1,
                      reading(r.se0 * 0.15 + (r.seMult * kRawFullScale - 5000.0) * 0.01).c_str()));
    }
  } else if (code == cmd::kCheckDiff) {
    for (int ch = 0; ch < kChannels; ch += 2) {
      const Row& r = m_table[static_cast<std::size_t>(ch)];
      line(formatText("DIFF %02d %s mV", ch + 1, reading(r.diff0 * 0.15).c_str()));
    }
  } else {
    for (int ch = 0; ch < 4; ++ch) {
      const Row& r = m_table[static_cast<std::size_t>(ch)];
      line(formatText("WD %d %s mV", ch + 1, reading(r.wd0 * 0.15 + 2500.0 * r.wdMult).c_str()));
    }
  }
  pieces.back().bytes += "*";
  return pieces;
}

std::string CalibrationReplies::tableText() const {
  std::string text;
  for (int ch = 0; ch < kChannels; ++ch) {
    const Row& r = m_table[static_cast<std::size_t>(ch)];
    text +=
        formatText("%d\t%d\t%d\t%d\t%.4f\t%.4f\t%.4f\t%.4f\t%d\t%.4f\t%d\r", ch + 1, r.se0, r.diff0,
                   r.wd0, r.seMult, r.diffMult, r.wdMult, r.vMult, r.vOffset, r.iMult, r.iOffset);
  }
  return text;
}

}  // namespace halvern::sim
