#include "comparison/program_compare_dialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <utility>

#include "comparison/comparison.h"
#include "wire/windows1252.h"

namespace halvern {

namespace {

const QColor kChanged(0xFF, 0xE2, 0x8A);
const QColor kRemoved(0xF7, 0xC4, 0xC4);
const QColor kAdded(0xC4, 0xEB, 0xC4);
const QColor kFiller(0xE2, 0xE2, 0xE2);

QString fromWindows1252(const std::string& text) {
  return QString::fromStdString(windows1252::toUtf8(text));
}

// One side of a row: its line, or a filler facing a line of the other side.
QTableWidgetItem* cell(const AlignedRow& row, bool left, const QString& onlyIn) {
  const std::optional<std::string>& line = left ? row.ours : row.theirs;
  auto* item = new QTableWidgetItem(line ? fromWindows1252(*line) : QString());
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (row.kind == AlignedKind::Same) return item;
  QColor colour = kChanged;
  QString tip = QStringLiteral("Another value on each side");
  if (row.kind != AlignedKind::Changed) {
    colour = !line ? kFiller : row.kind == AlignedKind::Removed ? kRemoved : kAdded;
    tip = QStringLiteral("Only in ") + onlyIn;
  }
  item->setBackground(colour);
  item->setForeground(Qt::black);
  item->setToolTip(tip);
  return item;
}

// The selected row framed rather than filled, so that its marking still shows.
class FramedSelection : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem plain(option);
    plain.state &= ~QStyle::State_Selected;
    QStyledItemDelegate::paint(painter, plain, index);
    if (!(option.state & QStyle::State_Selected)) return;
    const QRect r = option.rect.adjusted(0, 0, -1, -1);
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
    painter->drawLine(r.topLeft(), r.topRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    if (index.column() == 0) painter->drawLine(r.topLeft(), r.bottomLeft());
    if (index.column() == index.model()->columnCount() - 1) {
      painter->drawLine(r.topRight(), r.bottomRight());
    }
    painter->restore();
  }
};

}  // namespace

ProgramCompareDialog::ProgramCompareDialog(const QString& title, const ProgramDocument& ours,
                                           const ProgramDocument& theirs, const QString& oursName,
                                           const QString& theirsName, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("FormProgramCompare"));
  setWindowTitle(title);
  const std::vector<AlignedRow> aligned = alignPrograms(ours, theirs);

  m_rows = new QTableWidget(static_cast<int>(aligned.size()), 2, this);
  m_rows->setObjectName(QStringLiteral("GridProgramCompare"));
  m_rows->setHorizontalHeaderLabels({oursName, theirsName});
  m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
  m_rows->setShowGrid(false);
  m_rows->setWordWrap(false);
  m_rows->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_rows->verticalHeader()->hide();
  m_rows->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  const QFontMetrics metrics(m_rows->font());
  m_rows->verticalHeader()->setDefaultSectionSize(metrics.lineSpacing() + 4);
  m_rows->setItemDelegate(new FramedSelection(m_rows));

  int differences = 0;
  for (std::size_t i = 0; i < aligned.size(); ++i) {
    const int row = static_cast<int>(i);
    m_rows->setItem(row, 0, cell(aligned[i], true, oursName));
    m_rows->setItem(row, 1, cell(aligned[i], false, theirsName));
    if (aligned[i].kind == AlignedKind::Same) continue;
    ++differences;
    if (i == 0 || aligned[i - 1].kind == AlignedKind::Same) m_runs.push_back(row);
  }
  m_rows->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('M')) * 84,
                         metrics.lineSpacing() * 26);

  m_heading = new QLabel(
      QStringLiteral("%1 (left) against %2 (right): %3")
          .arg(oursName, theirsName,
               differences == 0   ? QString::fromUtf8(kNoDifferences.data(),
                                                      static_cast<qsizetype>(kNoDifferences.size()))
               : differences == 1 ? QStringLiteral("1 difference.")
                                  : QStringLiteral("%1 differences.").arg(differences)),
      this);
  m_heading->setWordWrap(true);

  // The unified diff, its two names as given.
  const Comparison comparison = comparePrograms(ours, theirs);
  QStringList lines;
  for (const std::string& line : comparison.lines) lines << fromWindows1252(line);
  if (!comparison.equal()) {
    lines[0] = QStringLiteral("--- ") + oursName;
    lines[1] = QStringLiteral("+++ ") + theirsName;
  }
  m_diff = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');

  auto* buttons = new QDialogButtonBox(this);
  m_previous =
      buttons->addButton(QStringLiteral("&Previous Difference"), QDialogButtonBox::ActionRole);
  m_next = buttons->addButton(QStringLiteral("&Next Difference"), QDialogButtonBox::ActionRole);
  m_copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  close->setDefault(true);
  m_previous->setToolTip(QStringLiteral("Shift+F3"));
  m_next->setToolTip(QStringLiteral("F3"));
  m_copy->setToolTip(QStringLiteral("Copy the differences as a unified diff"));
  for (const auto& [key, forward] : {std::pair{QKeySequence(Qt::Key_F3), true},
                                     std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F3), false}}) {
    auto* action = new QAction(this);
    action->setShortcut(key);
    addAction(action);
    connect(action, &QAction::triggered, this, [this, forward] { goToDifference(forward); });
  }
  connect(m_previous, &QPushButton::clicked, this, [this] { goToDifference(false); });
  connect(m_next, &QPushButton::clicked, this, [this] { goToDifference(true); });
  connect(m_copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(m_diff); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_rows, &QTableWidget::currentCellChanged, this, [this] { updateButtons(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_heading);
  layout->addWidget(m_rows);
  layout->addWidget(buttons);
  m_rows->setFocus();
  goToDifference(true);
  updateButtons();
}

void ProgramCompareDialog::goToDifference(bool forward) {
  const int current = m_rows->currentRow();
  int row = -1;
  if (forward) {
    const auto next = std::upper_bound(m_runs.begin(), m_runs.end(), current);
    if (next != m_runs.end()) row = *next;
  } else {
    const auto next = std::lower_bound(m_runs.begin(), m_runs.end(), current);
    if (next != m_runs.begin()) row = *(next - 1);
  }
  if (row < 0) return;
  m_rows->setCurrentCell(row, 0);
  m_rows->scrollToItem(m_rows->item(row, 0), QAbstractItemView::PositionAtCenter);
}

void ProgramCompareDialog::updateButtons() {
  const int current = m_rows->currentRow();
  m_next->setEnabled(std::upper_bound(m_runs.begin(), m_runs.end(), current) != m_runs.end());
  m_previous->setEnabled(!m_runs.empty() && m_runs.front() < current);
}

}  // namespace halvern
