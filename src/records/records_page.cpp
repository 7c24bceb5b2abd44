#include "records/records_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QToolButton>
#include <algorithm>

#include "app/drop_down_list_style.h"
#include "app/spin_edit_widget.h"
#include "app/windows1252.h"
#include "records/records_commands.h"
#include "records/records_plot_view.h"

namespace halvern {

RecordsPage::RecordsPage(RecordsSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
  auto* countCaption = new QLabel(QStringLiteral("Number of Records\nTo Retrieve"), this);
  countCaption->setGeometry(12, 12, 110, 32);
  m_count = new SpinEditWidget(static_cast<int>(RecordsSettings::kMinRecords),
                               static_cast<int>(RecordsSettings::kMaxRecords), this);
  m_count->setObjectName(QStringLiteral("CSpinEditNumOfRecs"));
  m_count->setGeometry(126, 16, 96, 24);
  m_count->setOnText([this](const QString& text) {
    // Typed and not yet left counts; the control clamps it when left.
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (ok) {
      m_settings.numOfRecords = static_cast<std::uint32_t>(
          std::clamp<qlonglong>(value, RecordsSettings::kMinRecords, RecordsSettings::kMaxRecords));
    }
  });
  // Enter starts the download instead of reaching the control.
  m_count->installEventFilter(this);

  m_show = new QCheckBox(QStringLiteral("Show Records"), this);
  m_show->setObjectName(QStringLiteral("CheckBoxShowRecs"));
  m_show->setGeometry(240, 18, 120, 20);
  connect(m_show, &QCheckBox::toggled, this, [this](bool on) { m_settings.showRecords = on; });

  auto* delimiterCaption = new QLabel(QStringLiteral("Field Delimiter"), this);
  delimiterCaption->setGeometry(376, 4, 100, 16);
  m_delimiter = new QComboBox(this);
  m_delimiter->setObjectName(QStringLiteral("ComboBoxDelimiter"));
  m_delimiter->addItems({QStringLiteral("Space"), QStringLiteral("Comma"), QStringLiteral("Tab")});
  m_delimiter->setGeometry(376, 20, 90, 24);
  m_delimiter->setStyle(new DropDownListStyle(0, m_delimiter));
  connect(m_delimiter, &QComboBox::currentIndexChanged, this,
          [this](int index) { m_settings.delimiter = index; });

  m_get = new QPushButton(QStringLiteral("&Get Records"), this);
  m_get->setObjectName(QStringLiteral("ButtonGetRecords"));
  m_get->setGeometry(12, 56, 110, 26);
  connect(m_get, &QPushButton::clicked, this, [this] {
    if (m_onGetRecords) m_onGetRecords();
  });
  m_clear = new QPushButton(QStringLiteral("&Clear Text"), this);
  m_clear->setObjectName(QStringLiteral("ButtonClearRecText"));
  m_clear->setGeometry(134, 56, 110, 26);
  connect(m_clear, &QPushButton::clicked, this, [this] { m_records->clear(); });

  m_records = new QPlainTextEdit(this);
  m_records->setObjectName(QStringLiteral("MemoRecs"));
  m_records->setReadOnly(true);
  // The keyboard moves in it (Ctrl+Home, Ctrl+End, the arrows) and selects to copy.
  m_records->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  m_records->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Read-only: nothing to undo, and a download of records would keep two steps a line.
  m_records->setUndoRedoEnabled(false);
  m_records->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_records->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_records->setGeometry(12, 94, 536, 350);
  // A narrow face: a record of many fields fits more of its line.
  QFont narrow;
  narrow.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow")});
  narrow.setStretch(QFont::Condensed);
  narrow.setPointSize(9);
  m_records->setFont(narrow);

  // The plot in the records window's place, one or the other shown.
  m_plot = new RecordsPlotView(this);
  m_plot->setGeometry(m_records->geometry());
  m_plot->hide();
  m_showText = new QToolButton(this);
  m_showText->setObjectName(QStringLiteral("ButtonShowText"));
  m_showText->setText(QStringLiteral("Te&xt"));
  m_showText->setGeometry(408, 58, 68, 24);
  m_showPlot = new QToolButton(this);
  m_showPlot->setObjectName(QStringLiteral("ButtonShowPlot"));
  m_showPlot->setText(QStringLiteral("&Plot"));
  m_showPlot->setGeometry(480, 58, 68, 24);
  for (QToolButton* button : {m_showText, m_showPlot}) {
    button->setCheckable(true);
    button->setAutoExclusive(true);
    connect(button, &QToolButton::toggled, this, [this] {
      m_records->setVisible(m_showText->isChecked());
      m_plot->setVisible(m_showPlot->isChecked());
    });
  }
  m_showText->setChecked(true);

  refresh();
}

void RecordsPage::refresh() {
  if (!m_count->hasFocus()) m_count->showValue(static_cast<int>(m_settings.numOfRecords));
  if (m_show->isChecked() != m_settings.showRecords) {
    QSignalBlocker quiet(m_show);
    m_show->setChecked(m_settings.showRecords);
  }
  if (m_delimiter->currentIndex() != m_settings.delimiter) {
    QSignalBlocker quiet(m_delimiter);
    m_delimiter->setCurrentIndex(m_settings.delimiter);
  }
}

void RecordsPage::appendRecordsText(std::string_view text) {
  // The widget's line ends are "\n": each "\r\n" loses its CR before the conversion.
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t from = 0; from < text.size();) {
    std::size_t to = text.find("\r\n", from);
    if (to == std::string_view::npos) to = text.size();
    lines.append(text.substr(from, to - from));
    from = to + 1;  // past the CR, at the LF
  }
  QTextCursor end(m_records->document());
  end.movePosition(QTextCursor::End);
  end.insertText(Windows1252::toUnicode(lines));
}

void RecordsPage::setButtonsEnabled(bool enabled) {
  m_get->setEnabled(enabled);
  m_clear->setEnabled(enabled);
}

bool RecordsPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_count && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (m_get->isEnabled()) m_get->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace halvern
