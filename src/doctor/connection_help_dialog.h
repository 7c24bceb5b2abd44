#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace halvern {

// Help > Connection Help...: the connection checks' report, with each fault's fixing command,
// checked again on demand and copied whole to the clipboard.
class ConnectionHelpDialog : public QDialog {
 public:
  // `port`: the device the user named, empty when the bridge is looked for. `simulated`: the
  // window runs against the simulated instrument, which needs no port. `lastBridge`: the serial
  // number of the bridge the link used last, which it keeps to among several.
  ConnectionHelpDialog(QWidget* parent, std::string port, bool simulated,
                       std::string lastBridge = {});

  QString reportText() const;

  // Runs the checks again and shows their report.
  void check();

 private:
  std::string m_port;
  bool m_simulated;
  std::string m_lastBridge;
  QPlainTextEdit* m_report = nullptr;
};

}  // namespace halvern
