#pragma once

#include <QDialog>
#include <QPixmap>

namespace halvern {

// Help > About: our logo and the product lines, on white, centred on the main window.
class AboutDialog : public QDialog {
 public:
  explicit AboutDialog(QWidget* parent);

  // The logo, 80 x 95 pixels, drawn rather than loaded.
  static QPixmap logo();
  // The text box's lines.
  static QString text();
};

}  // namespace halvern
