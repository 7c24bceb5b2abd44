#pragma once

#include <QSpinBox>
#include <functional>

namespace halvern {

// The screen number 1..8 with its up-down arrows. Only the mouse drives it (the arrow keys belong
// to the screen editor); a step beyond 1..8 does not wrap but reports itself, so it can beep.
class ScreenNumberWidget : public QSpinBox {
 public:
  explicit ScreenNumberWidget(QWidget* parent = nullptr);

  void setOnStepBeyond(std::function<void()> onStepBeyond) {
    m_onStepBeyond = std::move(onStepBeyond);
  }
  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }

 private:
  std::function<void()> m_onStepBeyond;
};

}  // namespace halvern
