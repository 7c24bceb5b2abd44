#include "program/edit_type_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "app/drop_down_list_style.h"

namespace halvern {

EditTypeDialog::EditTypeDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Edit Parameter Type"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);

  m_list = new QComboBox(this);
  m_list->setObjectName(QStringLiteral("ComboBox1"));
  m_list->setEditable(false);
  // A long value list drops down 16 rows at a time.
  m_list->setStyle(new DropDownListStyle(0, this));
  m_list->setMaxVisibleItems(kVisibleRows);
  m_list->setGeometry(24, 16, 173, 22);
  m_list->installEventFilter(this);
  m_list->view()->installEventFilter(this);
  // The key that drops the list down moves the box's entry too; the list's highlight follows, so
  // that Enter in the list picks what the box shows.
  connect(m_list, &QComboBox::currentIndexChanged, this, [this](int row) {
    if (m_list->view()->isVisible())
      m_list->view()->setCurrentIndex(m_list->model()->index(row, m_list->modelColumn()));
  });

  m_ok = new QPushButton(QStringLiteral("&Ok"), this);
  m_ok->setObjectName(QStringLiteral("Button1"));
  m_ok->setGeometry(24, 56, 75, 25);
  m_ok->setAutoDefault(false);
  m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_cancel->setObjectName(QStringLiteral("Button2"));
  m_cancel->setGeometry(122, 56, 75, 25);
  m_cancel->setAutoDefault(false);
  connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  m_list->setFocus();
}

void EditTypeDialog::setEntries(const QStringList& entries, int selected) {
  m_list->clear();
  m_list->addItems(entries);
  m_list->setCurrentIndex(selected);
  m_list->setFocus();
}

int EditTypeDialog::selectedIndex() const { return m_list->currentIndex(); }

bool EditTypeDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (watched == m_list->view() && enter) {
    // Enter in the dropped-down list picks the highlighted entry and closes with OK.
    const int row = m_list->view()->currentIndex().row();
    if (row >= 0) m_list->setCurrentIndex(row);
    m_list->hidePopup();
    accept();
    return true;
  }
  if (watched != m_list) return QDialog::eventFilter(watched, event);
  if (enter) {
    accept();
    return true;
  }
  // Any other key drops the list down (the dialog's own keys aside) and then does its work.
  const bool dialogKey = key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
                         key->key() == Qt::Key_Backtab || key->modifiers() & Qt::AltModifier;
  if (!dialogKey && !m_list->view()->isVisible()) m_list->showPopup();
  return false;
}

}  // namespace halvern
