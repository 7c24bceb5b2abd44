#include "setup/setup_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>

#include "app/drop_down_list_style.h"
#include "app/spin_edit_widget.h"
#include "app/windows1252.h"
#include "platform/calendar.h"
#include "setup/setup_model.h"

namespace halvern {

namespace {

QStringList captions(const auto& list) {
  QStringList out;
  for (std::string_view c : list) out << QString::fromLatin1(c.data(), static_cast<int>(c.size()));
  return out;
}

// The record-format grid's columns.
constexpr int kRowHeight = 23;
constexpr int kNumberX = 6;
constexpr int kLabelX = 25;
constexpr int kLabelWidth = 80;
constexpr int kTypeX = 108;
constexpr int kTypeWidth = 65;
constexpr int kTypeArrowWidth = 12;
constexpr int kWidthX = 176;
constexpr int kPrecisionX = 208;
constexpr int kSmallSpinWidth = 31;

}  // namespace

SetupPage::SetupPage(SetupModel& model, const Calendar& calendar, QWidget* parent)
    : QWidget(parent), m_model(model), m_calendar(calendar) {
  // The serial ports.
  auto* com1TypeBox = new QGroupBox(QStringLiteral("COM1 Type"), this);
  com1TypeBox->setGeometry(8, 6, 144, 46);
  m_com1Type =
      makeRadioGroup(com1TypeBox, captions(SetupModel::kCom1TypeCaptions), 2, [this](int i) {
        m_model.setCom1Type(i);
        refresh();
      });
  com1TypeBox->setObjectName(QStringLiteral("RadioGroupCom1Type"));

  auto* com1BaudBox = new QGroupBox(QStringLiteral("COM1 Baud"), this);
  com1BaudBox->setGeometry(8, 58, 144, 112);
  m_com1Baud = makeRadioGroup(com1BaudBox, captions(SetupModel::kBaudCaptions), 2, [this](int i) {
    m_model.setCom1BaudIndex(i);
    refresh();
  });
  com1BaudBox->setObjectName(QStringLiteral("RadioGroupCom1Baud"));

  auto* com2BaudBox = new QGroupBox(QStringLiteral("COM2 Baud"), this);
  com2BaudBox->setGeometry(8, 176, 144, 112);
  m_com2Baud = makeRadioGroup(com2BaudBox, captions(SetupModel::kBaudCaptions), 2, [this](int i) {
    m_model.setCom2BaudIndex(i);
    refresh();
  });
  com2BaudBox->setObjectName(QStringLiteral("RadioGroupCom2Baud"));

  // Check boxes.
  m_stopOnError = new QCheckBox(QStringLiteral("Stop On Error"), this);
  m_stopOnError->setObjectName(QStringLiteral("CheckBoxStopOnErr"));
  m_stopOnError->setGeometry(164, 10, 130, 20);
  m_stopOnError->setEnabled(false);
  m_stopOnError->setToolTip(QStringLiteral("Set Stop On Error with 40100 keypad only."));
  m_keypadLock = new QCheckBox(QStringLiteral("Keypad Lock"), this);
  m_keypadLock->setObjectName(QStringLiteral("CheckBoxKeyLock"));
  m_keypadLock->setGeometry(164, 32, 130, 20);
  connect(m_keypadLock, &QCheckBox::clicked, this, [this](bool on) {
    m_model.setKeypadLock(on);
    refresh();
  });
  m_autoScroll = new QCheckBox(QStringLiteral("Auto Screen Scroll"), this);
  m_autoScroll->setObjectName(QStringLiteral("CheckBoxAutoScroll"));
  m_autoScroll->setGeometry(164, 54, 130, 20);
  connect(m_autoScroll, &QCheckBox::clicked, this, [this](bool on) {
    m_model.setAutoScroll(on);
    refresh();
  });

  // Spin edits, each with its two-line caption.
  m_interval = makeSpin(QStringLiteral("Execution"), QStringLiteral("Interval"),
                        SetupModel::kIntervalRange.minimum, SetupModel::kIntervalRange.maximum, 164,
                        84, "CSpinEditInterval");
  m_interval->setOnText([this](const QString& t) {
    m_model.setIntervalText(t.toStdString());
    refresh();
  });
  m_fieldsPerRecord =
      makeSpin(QStringLiteral("Fields Per"), QStringLiteral("Record"),
               SetupModel::kFieldsPerRecordRange.minimum, SetupModel::kFieldsPerRecordRange.maximum,
               164, 120, "CSpinEditNumOfFields");
  m_fieldsPerRecord->setOnText([this](const QString& t) {
    m_model.setFieldsPerRecordText(t.toStdString());
    refresh();
  });
  m_scrollPause = makeSpin(QStringLiteral("Scroll"), QStringLiteral("Pause"),
                           SetupModel::kScrollPauseRange.minimum,
                           SetupModel::kScrollPauseRange.maximum, 164, 156, "CSpinEditScrollPause");
  m_scrollPause->setOnText([this](const QString& t) {
    m_model.setScrollPauseText(t.toStdString());
    refresh();
  });
  m_scrollEnd = makeSpin(QStringLiteral("Scroll"), QStringLiteral("End Screen"),
                         SetupModel::kScrollEndRange.minimum, SetupModel::kScrollEndRange.maximum,
                         164, 192, "CSpinEditScrollEnd");
  m_scrollEnd->setOnText([this](const QString& t) {
    m_model.setScrollEndText(t.toStdString());
    refresh();
  });

  // Time and date.
  auto* clockBox = new QGroupBox(QStringLiteral("Time && Date"), this);
  clockBox->setGeometry(8, 300, 286, 104);
  auto* timeHeading = new QLabel(QStringLiteral("HH:MM:SS"), clockBox);
  timeHeading->setGeometry(12, 20, 80, 16);
  m_time = new QLineEdit(clockBox);
  m_time->setObjectName(QStringLiteral("MaskEditTime"));
  m_time->setInputMask(QStringLiteral("99:99:99; "));
  m_time->setGeometry(12, 38, 80, 22);
  selectWholeOnFirstClick(m_time);
  auto* dateHeading = new QLabel(QStringLiteral("MM-DD-YYYY"), clockBox);
  dateHeading->setGeometry(104, 20, 90, 16);
  m_date = new QLineEdit(clockBox);
  m_date->setObjectName(QStringLiteral("MaskEditDate"));
  m_date->setInputMask(QStringLiteral("99-99-9999; "));
  m_date->setGeometry(104, 38, 96, 22);
  selectWholeOnFirstClick(m_date);
  m_usePcTime = new QCheckBox(QStringLiteral("Use PC System Time"), clockBox);
  m_usePcTime->setObjectName(QStringLiteral("CheckBoxPCTime"));
  m_usePcTime->setGeometry(12, 70, 180, 20);
  connect(m_time, &QLineEdit::textEdited, this, [this](const QString& t) {
    m_model.setTimeText(t.toStdString());
    refresh();
  });
  connect(m_date, &QLineEdit::textEdited, this, [this](const QString& t) {
    m_model.setDateText(t.toStdString());
    refresh();
  });
  connect(m_usePcTime, &QCheckBox::clicked, this, [this](bool on) {
    m_model.setUsePcTime(on);
    if (on && isVisible()) m_model.refreshFromPcClock(m_calendar);
    refresh();
  });

  // The record formats.
  const char* headings[] = {"Field", "Label", "Type", "Width", "Prec"};
  const int headingX[] = {0, kLabelX + 12, kTypeX + 2, kWidthX - 4, kPrecisionX + 2};
  for (int i = 0; i < 5; ++i) {
    auto* h = new QLabel(QString::fromLatin1(headings[i]), this);
    h->move(302 + headingX[i], 8);
  }
  auto* area = new QScrollArea(this);
  area->setObjectName(QStringLiteral("ScrollBoxFields"));
  area->setGeometry(302, 24, 256, 442);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  buildRecordGrid(area);

  showModel();
}

SetupPage::~SetupPage() = default;

QButtonGroup* SetupPage::makeRadioGroup(QGroupBox* box, const QStringList& items, int columns,
                                        std::function<void(int)> onPick) {
  auto* group = new QButtonGroup(box);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(8, 4, 4, 4);
  grid->setVerticalSpacing(0);
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int i = 0; i < items.size(); ++i) {
    auto* radio = new QRadioButton(items[i], box);
    group->addButton(radio, i);
    grid->addWidget(radio, i % rows, i / rows);
  }
  connect(group, &QButtonGroup::idClicked, this, std::move(onPick));
  return group;
}

SpinEditWidget* SetupPage::makeSpin(const QString& top, const QString& bottom, int minimum,
                                    int maximum, int x, int y, const char* name) {
  auto* caption = new QLabel(top + QLatin1Char('\n') + bottom, this);
  caption->setGeometry(x, y, 74, 32);
  auto* spin = new SpinEditWidget(minimum, maximum, this);
  spin->setObjectName(QString::fromLatin1(name));
  spin->setGeometry(x + 78, y + 4, 50, 24);
  return spin;
}

void SetupPage::buildRecordGrid(QScrollArea* area) {
  auto* grid = new QWidget;
  grid->setFixedSize(240, kRowHeight * SetupModel::kFieldCount + 2);
  auto* typeStyle = new DropDownListStyle(kTypeArrowWidth, grid);
  for (int n = 0; n < SetupModel::kFieldCount; ++n) {
    const int y = kRowHeight * n;
    FieldRow& r = m_rows[static_cast<std::size_t>(n)];
    auto* number = new QLabel(QString::fromStdString(SetupModel::rowCaption(n)), grid);
    number->setGeometry(kNumberX, y + 3, 18, 16);
    r.number = number;
    r.label = new QLineEdit(grid);
    r.label->setGeometry(kLabelX, y, kLabelWidth, 22);
    r.label->setMaxLength(static_cast<int>(SetupModel::kLabelMax));
    connect(r.label, &QLineEdit::textEdited, this, [this, n](const QString& t) {
      m_model.setLabel(n, Windows1252::fromUnicode(t));
      refresh();
    });
    // A label longer than its box shows its start whenever it is not being typed in.
    connect(r.label, &QLineEdit::textChanged, r.label, [label = r.label] {
      if (!label->hasFocus()) label->setCursorPosition(0);
    });
    r.type = new QComboBox(grid);
    r.type->addItems(captions(SetupModel::kTypeCaptions));
    r.type->setGeometry(kTypeX, y, kTypeWidth, 22);
    // A slim arrow, so "Number" fits the narrow column; the entries drop down as a plain list
    // as wide as the box.
    r.type->setStyle(typeStyle);
    connect(r.type, &QComboBox::activated, this, [this, n](int i) {
      m_model.setType(n, i);
      refresh();
    });
    r.width =
        new SpinEditWidget(SetupModel::kWidthRange.minimum, SetupModel::kWidthRange.maximum, grid);
    r.width->setGeometry(kWidthX, y, kSmallSpinWidth, 22);
    r.width->setOnText([this, n](const QString& t) {
      m_model.setWidthText(n, t.toStdString());
      refresh();
    });
    r.precision = new SpinEditWidget(SetupModel::kPrecisionRange.minimum,
                                     SetupModel::kPrecisionRange.maximum, grid);
    r.precision->setGeometry(kPrecisionX, y, kSmallSpinWidth, 22);
    r.precision->setOnText([this, n](const QString& t) {
      m_model.setPrecisionText(n, t.toStdString());
      refresh();
    });
  }
  // Left for another control (not for a menu, nor merely by the window losing the keyboard), a
  // label shows its start.
  connect(qApp, &QApplication::focusChanged, grid, [this](QWidget* old, QWidget* now) {
    if (!now || QApplication::activePopupWidget()) return;
    for (const FieldRow& r : m_rows)
      if (old == r.label) r.label->setCursorPosition(0);
  });
  area->setWidget(grid);
}

void SetupPage::refresh() {
  if (m_model.version() != m_shownVersion) showModel();
}

void SetupPage::showModel() {
  m_shownVersion = m_model.version();
  auto check = [](QButtonGroup* group, int id) {
    QSignalBlocker block(group);
    if (QAbstractButton* b = group->button(id)) b->setChecked(true);
  };
  check(m_com1Type, m_model.com1Type());
  check(m_com1Baud, m_model.com1BaudIndex());
  check(m_com2Baud, m_model.com2BaudIndex());
  m_stopOnError->setChecked(m_model.stopOnError());
  m_keypadLock->setChecked(m_model.keypadLock());
  m_autoScroll->setChecked(m_model.autoScroll());
  m_interval->showValue(m_model.interval());
  m_fieldsPerRecord->showValue(m_model.fieldsPerRecord());
  m_scrollPause->showValue(m_model.scrollPause());
  m_scrollEnd->showValue(m_model.scrollEnd());

  m_usePcTime->setChecked(m_model.usePcTime());
  // Checked, the fields follow the clock and cannot be typed in.
  m_time->setEnabled(!m_model.usePcTime());
  m_date->setEnabled(!m_model.usePcTime());
  const QString time = QString::fromStdString(m_model.timeText());
  const QString date = QString::fromStdString(m_model.dateText());
  if (m_time->text() != time && !(m_time->hasFocus() && m_time->isEnabled())) m_time->setText(time);
  if (m_date->text() != date && !(m_date->hasFocus() && m_date->isEnabled())) m_date->setText(date);

  for (int n = 0; n < SetupModel::kFieldCount; ++n) {
    const FieldRow& r = m_rows[static_cast<std::size_t>(n)];
    const RecordFormat& f = m_model.format(n);
    const QString label = Windows1252::toUnicode(f.label);
    if (r.label->text() != label && !r.label->hasFocus()) r.label->setText(label);
    if (r.type->currentIndex() != f.type) r.type->setCurrentIndex(f.type);
    r.width->showValue(f.width);
    r.precision->showValue(f.precision);
    const bool enabled = m_model.isRowEnabled(n);
    for (QWidget* w : {r.number, static_cast<QWidget*>(r.label), static_cast<QWidget*>(r.type),
                       static_cast<QWidget*>(r.width), static_cast<QWidget*>(r.precision)})
      w->setEnabled(enabled);
  }
}

void SetupPage::showEvent(QShowEvent* event) {
  // The fields follow the clock from the moment the page is shown, not half a second later.
  clockTick(true);
  QWidget::showEvent(event);
}

void SetupPage::clockTick(bool pageShown) {
  if (pageShown && m_model.usePcTime()) m_model.refreshFromPcClock(m_calendar);
  refresh();
}

}  // namespace halvern
