#include "app/drop_down_list_style.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOption>

namespace halvern {

DropDownListStyle::DropDownListStyle(int arrowWidth, QObject* parent)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), m_arrowWidth(arrowWidth) {
  setParent(parent);
}

int DropDownListStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
  if (hint == SH_ComboBox_Popup) return 0;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QRect DropDownListStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                        SubControl subControl, const QWidget* widget) const {
  QRect rect = QProxyStyle::subControlRect(control, option, subControl, widget);
  if (control != CC_ComboBox || m_arrowWidth <= 0) return rect;
  // What the arrow gives up goes to the text beside it.
  const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
  const int spare = arrow.width() - m_arrowWidth;
  if (spare <= 0) return rect;
  const bool rightToLeft = option->direction == Qt::RightToLeft;
  if (subControl == SC_ComboBoxArrow) {
    if (rightToLeft)
      rect.setRight(rect.right() - spare);
    else
      rect.setLeft(rect.left() + spare);
  } else if (subControl == SC_ComboBoxEditField) {
    if (rightToLeft)
      rect.setLeft(rect.left() - spare);
    else
      rect.setRight(rect.right() + spare);
  }
  return rect;
}

}  // namespace halvern
