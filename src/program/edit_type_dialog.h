#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QPushButton;

namespace halvern {

// "Edit Parameter Type": a value list's entries in a drop-down list that can only be picked
// from, dropping down as soon as a key is pressed. Enter closes with OK; "&Ok" and "&Cancel"
// close with their results, and any other way of closing counts as Cancel.
class EditTypeDialog : public QDialog {
 public:
  static constexpr int kClientWidth = 221;
  static constexpr int kClientHeight = 104;
  static constexpr int kVisibleRows = 16;

  explicit EditTypeDialog(QWidget* parent = nullptr);

  // The entries in order, `selected` the current one.
  void setEntries(const QStringList& entries, int selected);
  int selectedIndex() const;

  QComboBox* list() const { return m_list; }
  QPushButton* okButton() const { return m_ok; }
  QPushButton* cancelButton() const { return m_cancel; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QComboBox* m_list = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace halvern
