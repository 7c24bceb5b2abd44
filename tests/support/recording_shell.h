#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell.h"

namespace halvern::test {

// A Shell that records everything an operation tells the user. Message boxes answer from a queue
// of scripted results (Ok or No when it runs dry), so no test ever blocks on a box.
class RecordingShell : public Shell {
 public:
  struct Box {
    std::string text;
    MessageKind kind;
    MessageButtons buttons;
  };

  void addMessageLine(std::string_view line) override { lines.emplace_back(line); }
  void insertText(std::string_view text) override { inserted += text; }
  void setProgressMax(int maximum) override { progressMax = maximum; }
  void setProgress(int position) override { progress.push_back(position); }
  MessageResult message(std::string_view text, MessageKind kind, MessageButtons buttons) override;
  void beep(BeepKind kind) override { beeps.push_back(kind); }
  void processEvents() override;
  void setBusy(bool busy) override { busyChanges.push_back(busy); }
  void setStatus(std::string_view text) override { statuses.emplace_back(text); }
  bool cancelled() const override { return cancel; }
  void clearCancel() override { cancel = false; }
  void clearMessageArea() override { ++clears; }
  std::string setUninterruptible(bool on, std::string_view, std::string_view question) override {
    uninterruptible.push_back(on);
    if (on) closeQuestion = question;
    return on ? sleepProblem : std::string();
  }
  void setClockTimer(bool running) override { clockTimer.push_back(running); }
  void setInstrumentBusy(bool busy) override { instrumentBusy.push_back(busy); }
  void showWaiting(int secondsLeft, int secondsTotal) override {
    waiting.emplace_back(secondsLeft, secondsTotal);
  }

  std::vector<std::string> lines;
  std::string inserted;
  int progressMax = -1;
  std::vector<int> progress;
  std::vector<Box> boxes;
  std::deque<MessageResult> answers;
  std::vector<BeepKind> beeps;
  std::vector<bool> busyChanges;
  std::vector<std::string> statuses;
  int eventsProcessed = 0;
  bool cancel = false;
  int clears = 0;
  // Each start and end of an operation that must not be interrupted, its close question, and
  // what the start answers (why the computer may still sleep).
  std::vector<bool> uninterruptible;
  std::string closeQuestion;
  std::string sleepProblem;
  std::vector<bool> clockTimer;
  std::vector<bool> instrumentBusy;
  // Each countdown step of a long wait: seconds left, seconds in all (0 and 0: it ended).
  std::vector<std::pair<int, int>> waiting;
  // Runs on every processEvents (a button pressed meanwhile, say).
  std::function<void(int)> onProcessEvents;
};

}  // namespace halvern::test
