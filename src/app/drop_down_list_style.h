#pragma once

#include <QProxyStyle>

namespace halvern {

// The application's style for drop-down lists (set on each QComboBox with setStyle): the entries
// drop down as a plain list under the box, which shows setMaxVisibleItems rows, where a style's
// menu-like popup ignores that number and grows to the screen's height. Given an arrow width, the
// arrow takes no more than that and the text the room it leaves, for boxes in narrow columns.
class DropDownListStyle : public QProxyStyle {
 public:
  explicit DropDownListStyle(int arrowWidth = 0, QObject* parent = nullptr);

  int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                const QWidget* widget = nullptr,
                QStyleHintReturn* returnData = nullptr) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                       SubControl subControl, const QWidget* widget = nullptr) const override;

 private:
  int m_arrowWidth;
};

}  // namespace halvern
