#include "service/cal_data_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/windows1252.h"

namespace halvern {

CalDataDialog::CalDataDialog(const CalDataTable& table,
                             std::function<void(const std::string& csv)> save, QWidget* parent)
    : QDialog(parent), m_data(table) {
  setObjectName(QStringLiteral("FormCalData"));
  setWindowTitle(QStringLiteral("Calibration Data"));

  std::size_t columns = m_data.header.size();
  for (const auto& row : m_data.rows) columns = std::max(columns, row.size());
  m_table = new QTableWidget(static_cast<int>(m_data.rows.size()), static_cast<int>(columns), this);
  m_table->setObjectName(QStringLiteral("TableCalData"));
  QStringList header;
  for (const std::string& name : m_data.header) header << Windows1252::toUnicode(name);
  m_table->setHorizontalHeaderLabels(header);
  m_table->verticalHeader()->hide();
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setWordWrap(false);
  for (std::size_t r = 0; r < m_data.rows.size(); ++r) {
    for (std::size_t c = 0; c < m_data.rows[r].size(); ++c) {
      auto* item = new QTableWidgetItem(Windows1252::toUnicode(m_data.rows[r][c]));
      // Numbers stand right-aligned, as a table of them is read.
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      m_table->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  m_table->resizeColumnsToContents();

  auto* buttons = new QDialogButtonBox(this);
  m_copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  m_save = buttons->addButton(QStringLiteral("&Save as CSV..."), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(copiedText()); });
  connect(m_save, &QPushButton::clicked, this, [this, save = std::move(save)] {
    if (save) save(calDataCsv(m_data));
  });
  // Ctrl+C in the table copies as the button does.
  auto* copyKeys = new QShortcut(QKeySequence::Copy, m_table);
  copyKeys->setContext(Qt::WidgetShortcut);
  connect(copyKeys, &QShortcut::activated, m_copy, &QPushButton::click);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_table);
  layout->addWidget(buttons);
  // Rows as high as their text; wide enough for every column, high enough for every row.
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
  int width = 2 * m_table->frameWidth() + m_table->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < m_table->columnCount(); ++c) width += m_table->columnWidth(c);
  int height = 2 * m_table->frameWidth() + m_table->horizontalHeader()->sizeHint().height();
  for (int r = 0; r < m_table->rowCount(); ++r) height += m_table->rowHeight(r);
  m_table->setMinimumSize(std::min(width + 2, 900), std::min(height + 2, 480));
}

QString CalDataDialog::copiedText() const {
  const QList<QTableWidgetItem*> selected = m_table->selectedItems();
  if (selected.isEmpty())
    return Windows1252::toUnicode(calDataTabbed(m_data)).replace(QLatin1Char('\r'), QString());
  // The rectangle of rows and columns the selection spans, with the header's names above.
  int top = m_table->rowCount(), bottom = -1, left = m_table->columnCount(), right = -1;
  for (const QTableWidgetItem* item : selected) {
    top = std::min(top, item->row());
    bottom = std::max(bottom, item->row());
    left = std::min(left, item->column());
    right = std::max(right, item->column());
  }
  QString text;
  auto cell = [this](int row, int column) -> QString {
    const QTableWidgetItem* item = m_table->item(row, column);
    return item != nullptr && item->isSelected() ? item->text() : QString();
  };
  for (int c = left; c <= right; ++c) {
    const QTableWidgetItem* head = m_table->horizontalHeaderItem(c);
    text += (c > left ? QStringLiteral("\t") : QString()) + (head ? head->text() : QString());
  }
  text += QLatin1Char('\n');
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c)
      text += (c > left ? QStringLiteral("\t") : QString()) + cell(r, c);
    text += QLatin1Char('\n');
  }
  return text;
}

}  // namespace halvern
