#include "sim/simulated_instrument.h"

#include <algorithm>

#include "sim/command_line.h"
#include "wire/wire.h"

namespace halvern::sim {

bool SimulatedInstrument::offLink() const {
  return std::any_of(m_responders.all().begin(), m_responders.all().end(),
                     [](const auto& r) { return r->offLink(); });
}

bool SimulatedInstrument::linkDead() const { return offLink() || (cutDone() && m_output.empty()); }

void SimulatedInstrument::armCut(int code) {
  const Fault* fault = m_faults.peek(code);
  if (m_cut || fault == nullptr ||
      (fault->kind != FaultKind::Cut && fault->kind != FaultKind::HangUp)) {
    return;
  }
  m_cut = Cut{fault->bytesBeforeCut, fault->kind == FaultKind::HangUp};
  m_faults.take(code);
}

void SimulatedInstrument::receive(std::uint8_t byte, Clock::TimePoint at) {
  // Gone from the link: nothing reaches the instrument any more.
  if (offLink() || cutDone()) return;
  if (m_receiver == nullptr) {
    receiveLineByte(byte, at);
    return;
  }
  m_at = at;
  Responder::Taken taken = m_receiver->receive(byte, *this);
  if (offLink()) m_output.clear();
  if (taken.keepReceiving) return;
  m_receiver = nullptr;
  for (char c : taken.toLines) receiveLineByte(static_cast<std::uint8_t>(c), at);
}

void SimulatedInstrument::receiveLineByte(std::uint8_t byte, Clock::TimePoint at) {
  if (byte == wire::kCarriageReturn) {
    std::string line;
    line.swap(m_line);
    bool overlong = m_lineOverlong;
    m_lineOverlong = false;
    if (overlong || line.empty()) return;
    m_lines.push_back(line);
    handleLine(line, at);
    return;
  }
  if (m_lineOverlong) return;
  if (m_line.size() == kMaxLineLength) {
    m_lineOverlong = true;
    m_line.clear();
    return;
  }
  m_line += static_cast<char>(byte);
}

void SimulatedInstrument::handleLine(const std::string& text, Clock::TimePoint at) {
  m_form = m_dialect.next();
  const auto line = parseCommandLine(text);
  if (!line) {
    // Not a command: a part may still know the line (the loader's wake-up).
    m_at = at;
    for (const auto& responder : m_responders.all()) {
      if (responder->answerOtherLine(text, *this)) return;
    }
    return;
  }
  // A cut strikes the commands of the usual form, before any reply.
  if (line->args) {
    armCut(line->code);
    if (cutDone()) return;
  }
  m_at = at;
  for (const auto& responder : m_responders.all()) {
    if (responder->answer(*line, *this)) return;
  }
}

void SimulatedInstrument::reply(std::string_view bytes, Clock::Duration after) {
  if (m_cut) {
    // The link goes after the bytes a cut lets through.
    bytes = bytes.substr(0, m_cut->bytesLeft);
    m_cut->bytesLeft -= bytes.size();
  }
  Clock::TimePoint t = std::max(m_at + after + m_form.turnaround, m_outputFree);
  for (char c : bytes) {
    t += wire::kByteTime;
    m_output.push_back({t, static_cast<std::uint8_t>(c)});
  }
  m_outputFree = t;
}

std::optional<Clock::TimePoint> SimulatedInstrument::nextOutputTime() const {
  if (m_output.empty()) return std::nullopt;
  return m_output.front().at;
}

std::size_t SimulatedInstrument::takeOutput(Clock::TimePoint at, std::uint8_t* buffer,
                                            std::size_t max) {
  std::size_t n = 0;
  while (n < max && !m_output.empty() && m_output.front().at <= at) {
    buffer[n++] = m_output.front().byte;
    m_output.pop_front();
  }
  return n;
}

void SimulatedInstrument::discardOutput(Clock::TimePoint at) {
  while (!m_output.empty() && m_output.front().at <= at) m_output.pop_front();
}

}  // namespace halvern::sim
