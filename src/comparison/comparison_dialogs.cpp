#include "comparison/comparison_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSyntaxHighlighter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "comparison/comparison.h"
#include "wire/windows1252.h"

namespace halvern {

namespace {

QString fromWindows1252(const std::string& text) {
  return QString::fromStdString(windows1252::toUtf8(text));
}

// Colours the lines of a comparison by what they are. The lines of what was not compared come
// after `firstNotCompared` (a block number).
class ComparisonHighlighter : public QSyntaxHighlighter {
 public:
  ComparisonHighlighter(QTextDocument* document, int firstNotCompared)
      : QSyntaxHighlighter(document), m_firstNotCompared(firstNotCompared) {}

 protected:
  void highlightBlock(const QString& text) override {
    QTextCharFormat format;
    if (currentBlock().blockNumber() >= m_firstNotCompared) {
      format.setForeground(QColor(0x60, 0x60, 0x60));
      format.setFontItalic(true);
    } else if (text.startsWith(QLatin1String("---")) || text.startsWith(QLatin1String("+++"))) {
      format.setFontWeight(QFont::Bold);
    } else if (text.startsWith(QLatin1Char('-'))) {
      format.setForeground(QColor(0xA0, 0x10, 0x10));
    } else if (text.startsWith(QLatin1Char('+'))) {
      format.setForeground(QColor(0x10, 0x70, 0x10));
    } else if (text.startsWith(QLatin1String("@@"))) {
      format.setForeground(QColor(0x10, 0x30, 0xA0));
    } else if (!text.startsWith(QLatin1Char(' '))) {
      format.setFontWeight(QFont::Bold);
    } else {
      return;
    }
    setFormat(0, static_cast<int>(text.size()), format);
  }

 private:
  int m_firstNotCompared;
};

}  // namespace

ComparisonDialog::ComparisonDialog(const QString& title, const QString& heading,
                                   const Comparison& comparison, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("FormComparison"));
  setWindowTitle(title);
  m_heading = new QLabel(heading, this);
  m_heading->setWordWrap(true);

  QStringList lines;
  for (const std::string& line : comparison.lines) lines << fromWindows1252(line);
  const int firstNotCompared = static_cast<int>(lines.size()) + 1;
  lines << QString();
  for (const std::string& line : comparison.notCompared) lines << fromWindows1252(line);

  m_text = new QPlainTextEdit(this);
  m_text->setObjectName(QStringLiteral("MemoComparison"));
  m_text->setReadOnly(true);
  m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  new ComparisonHighlighter(m_text->document(), firstNotCompared);
  m_text->setPlainText(lines.join(QLatin1Char('\n')));
  const QFontMetrics metrics(m_text->font());
  m_text->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('M')) * 92,
                         metrics.lineSpacing() * 24);

  m_buttons = new QDialogButtonBox(this);
  m_copy = m_buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  QPushButton* close = m_buttons->addButton(QDialogButtonBox::Close);
  close->setDefault(true);
  connect(m_copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(m_text->toPlainText()); });
  connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_heading);
  layout->addWidget(m_text);
  layout->addWidget(m_buttons);
  m_text->setFocus();
}

QPushButton* ComparisonDialog::addButton(const QString& caption) {
  return m_buttons->addButton(caption, QDialogButtonBox::ActionRole);
}

RestoreBackupDialog::RestoreBackupDialog(const QString& folder, std::vector<Backup> backups,
                                         QWidget* parent)
    : QDialog(parent), m_backups(std::move(backups)) {
  setObjectName(QStringLiteral("FormRestoreBackup"));
  setWindowTitle(QStringLiteral("Restore Backup"));
  auto* heading = new QLabel(
      m_backups.empty()
          ? QStringLiteral("There are no backups in %1 yet.").arg(folder)
          : QStringLiteral("The backups in %1, newest first. A backup sends the setup, screens and "
                           "program the 40100 held before a send.")
                .arg(folder),
      this);
  heading->setWordWrap(true);

  m_list = new QTreeWidget(this);
  m_list->setObjectName(QStringLiteral("ListBackups"));
  m_list->setRootIsDecorated(false);
  m_list->setHeaderLabels({QStringLiteral("Made"), QStringLiteral("Bridge"),
                           QStringLiteral("Before"), QStringLiteral("State")});
  for (std::size_t i = 0; i < m_backups.size(); ++i) {
    const Backup& b = m_backups[i];
    QString state = QStringLiteral("Can be restored");
    if (b.damaged()) {
      state = QStringLiteral("Damaged: ") +
              QString::fromStdString(b.problem.substr(0, b.problem.find('\n')));
    }
    auto* item = new QTreeWidgetItem(
        m_list,
        {QString::fromStdString(backupTime(b.parsed)),
         b.parsed.serial.empty() ? QStringLiteral("-") : QString::fromStdString(b.parsed.serial),
         QString::fromStdString(backupBefore(b.parsed)), state});
    item->setData(0, Qt::UserRole, static_cast<int>(i));
    item->setToolTip(0, QString::fromStdString(b.name));
    if (b.damaged()) {
      item->setFlags(Qt::NoItemFlags);
      item->setToolTip(3, QString::fromStdString(b.problem));
    }
  }
  m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  const QFontMetrics metrics(m_list->font());
  m_list->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('M')) * 56,
                         metrics.lineSpacing() * 14);

  auto* buttons = new QDialogButtonBox(this);
  m_restore = buttons->addButton(QStringLiteral("&Restore..."), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
  m_restore->setEnabled(false);
  // Nothing goes to the instrument by a stray Enter.
  cancel->setDefault(true);
  connect(m_list, &QTreeWidget::itemSelectionChanged, this,
          [this] { m_restore->setEnabled(chosen() != nullptr); });
  connect(m_list, &QTreeWidget::itemActivated, this, [this] {
    if (chosen()) accept();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (chosen()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  // The newest that can be restored is chosen at first.
  for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = m_list->topLevelItem(i);
    if (item->flags() & Qt::ItemIsEnabled) {
      m_list->setCurrentItem(item);
      break;
    }
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(m_list);
  layout->addWidget(buttons);
  m_list->setFocus();
}

const Backup* RestoreBackupDialog::chosen() const {
  const QTreeWidgetItem* item = m_list->currentItem();
  if (!item || !item->isSelected() || !(item->flags() & Qt::ItemIsEnabled)) return nullptr;
  const int index = item->data(0, Qt::UserRole).toInt();
  const Backup& backup = m_backups[static_cast<std::size_t>(index)];
  return backup.damaged() ? nullptr : &backup;
}

}  // namespace halvern
