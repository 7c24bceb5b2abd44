#include "screens/screen_number_widget.h"

#include <QLineEdit>

#include "screens/screen_buffer.h"

namespace halvern {

ScreenNumberWidget::ScreenNumberWidget(QWidget* parent) : QSpinBox(parent) {
  setRange(1, ScreenBuffer::kScreens);
  setValue(1);
  setWrapping(false);
  setFocusPolicy(Qt::NoFocus);
  lineEdit()->setReadOnly(true);
  setAlignment(Qt::AlignCenter);
}

void ScreenNumberWidget::stepBy(int steps) {
  const int wanted = value() + steps;
  if (wanted < minimum() || wanted > maximum()) {
    if (m_onStepBeyond) m_onStepBeyond();
    return;
  }
  QSpinBox::stepBy(steps);
}

}  // namespace halvern
