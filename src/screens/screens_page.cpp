#include "screens/screens_page.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "platform/shell.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "screens/screen_number_widget.h"
#include "screens/screen_render.h"

namespace halvern {

namespace {

// A black panel around a picture, as the display's glass.
QLabel* blackPanel(QWidget* parent, const QRect& panel, const QSize& picture, const char* name) {
  auto* frame = new QWidget(parent);
  frame->setGeometry(panel);
  frame->setAutoFillBackground(true);
  QPalette palette = frame->palette();
  palette.setColor(QPalette::Window, Qt::black);
  frame->setPalette(palette);
  auto* image = new QLabel(frame);
  image->setObjectName(QString::fromUtf8(name));
  image->setGeometry((panel.width() - picture.width()) / 2, (panel.height() - picture.height()) / 2,
                     picture.width(), picture.height());
  return image;
}

}  // namespace

ScreensPage::ScreensPage(ScreenBuffer& buffer, Shell& shell, QWidget* parent)
    : QWidget(parent),
      m_buffer(buffer),
      m_editor(buffer, shell),
      m_shownReplacements(buffer.replacements()) {
  m_imageScreen = blackPanel(this, QRect(32, 24, 500, 118),
                             QSize(screen_image::kWidth, screen_image::kHeight), "ImageScreen");

  m_labelRowCol = new QLabel(QStringLiteral(" "), this);
  m_labelRowCol->setObjectName(QStringLiteral("LabelRowCol"));
  m_labelRowCol->setGeometry(40, 152, 300, 18);
  QFont arial(QStringLiteral("Arial"));
  arial.setPointSize(9);
  m_labelRowCol->setFont(arial);
  QPalette grey = m_labelRowCol->palette();
  grey.setColor(QPalette::WindowText, Qt::gray);
  m_labelRowCol->setPalette(grey);

  auto button = [this](const QString& caption, const char* name, int x) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(x, 184, 100, 26);
    return b;
  };
  m_startEdit = button(QStringLiteral("Start &Edit"), "ButtonStartEdit", 40);
  m_stopEdit = button(QStringLiteral("Sto&p Edit"), "ButtonStopEdit", 152);
  m_clearScreen = button(QStringLiteral("&Clear Screen"), "ButtonScreenClr", 264);

  auto* fontGroup = new QGroupBox(QStringLiteral("Screen Write Font"), this);
  fontGroup->setGeometry(40, 232, 200, 86);
  m_fontSmall = new QRadioButton(QStringLiteral("S&mall"), fontGroup);
  m_fontSmall->setObjectName(QStringLiteral("RadioButtonFontSmall"));
  m_fontSmall->setGeometry(14, 26, 90, 20);
  m_fontLarge = new QRadioButton(QStringLiteral("&Large"), fontGroup);
  m_fontLarge->setObjectName(QStringLiteral("RadioButtonFontBig"));
  m_fontLarge->setGeometry(14, 52, 90, 20);
  m_fontSmall->setChecked(true);
  m_imageFont =
      blackPanel(fontGroup, QRect(120, 24, 44, 48),
                 QSize(ScreenEditor::kSampleWidth, ScreenEditor::kSampleHeight), "ImageFont");

  auto* numberGroup = new QGroupBox(QStringLiteral("Screen Number"), this);
  numberGroup->setGeometry(264, 232, 130, 86);
  m_screenNumber = new ScreenNumberWidget(numberGroup);
  m_screenNumber->setObjectName(QStringLiteral("UpDownScrNum"));
  m_screenNumber->setGeometry(24, 34, 70, 26);
  m_screenNumber->setOnStepBeyond([&shell] { shell.beep(BeepKind::Default); });

  connect(m_startEdit, &QPushButton::clicked, this, [this] { buttonStartEditClick(); });
  connect(m_stopEdit, &QPushButton::clicked, this, [this] { buttonStopEditClick(); });
  connect(m_clearScreen, &QPushButton::clicked, this, [this] {
    m_editor.clearScreen();
    m_fontSmall->setChecked(true);
    redraw();
  });
  connect(m_fontSmall, &QRadioButton::toggled, this, [this](bool checked) {
    if (!checked || !m_editor.editing()) return;
    m_editor.selectWriteFont(ScreenEditor::WriteFont::Small);
    redraw();
  });
  connect(m_fontLarge, &QRadioButton::toggled, this, [this](bool checked) {
    if (!checked || !m_editor.editing()) return;
    m_editor.selectWriteFont(ScreenEditor::WriteFont::Large);
    redraw();
  });
  connect(m_screenNumber, &QSpinBox::valueChanged, this, [this](int number) {
    m_editor.stepScreen(number);
    redraw();
  });

  // A blank typed while one of these has the focus never presses or selects it.
  for (QWidget* w : {static_cast<QWidget*>(m_clearScreen), static_cast<QWidget*>(m_fontSmall),
                     static_cast<QWidget*>(m_fontLarge)})
    guardAgainstSpace(w);

  setEditControls();
  redraw();
}

ScreensPage::~ScreensPage() = default;

void ScreensPage::guardAgainstSpace(QWidget* button) { button->installEventFilter(this); }

bool ScreensPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void ScreensPage::redraw() {
  m_imageScreen->setPixmap(QPixmap::fromImage(toImage(m_editor.screenImage())));
  m_imageFont->setPixmap(QPixmap::fromImage(toImage(m_editor.fontSample())));
  m_labelRowCol->setText(QString::fromLatin1(m_editor.label().c_str()));
}

void ScreensPage::setEditControls() {
  const bool editing = m_editor.editing();
  m_startEdit->setEnabled(!editing);
  m_stopEdit->setEnabled(editing);
  m_clearScreen->setEnabled(editing);
  m_fontSmall->setEnabled(editing);
  m_fontLarge->setEnabled(editing);
  // No instrument transfer runs while editing.
  if (m_onEditing) m_onEditing(editing);
}

void ScreensPage::buttonStartEditClick() {
  m_editor.startEdit();
  m_fontSmall->setChecked(true);
  setEditControls();
  redraw();
  // The keys go to the screen now; the focus leaves the button just pressed.
  m_imageScreen->setFocus();
}

void ScreensPage::buttonStopEditClick() {
  m_editor.stopEdit();
  setEditControls();
  redraw();
}

void ScreensPage::refresh() {
  if (m_buffer.replacements() != m_shownReplacements) showLoadedScreens();
}

void ScreensPage::showLoadedScreens() {
  m_shownReplacements = m_buffer.replacements();
  m_editor.showLoadedScreens();
  {
    QSignalBlocker quiet(m_screenNumber);
    m_screenNumber->setValue(1);
  }
  setEditControls();
  redraw();
}

void ScreensPage::cursorKey(Key key) {
  switch (key) {
    case Key::Backspace:
      m_editor.backspaceChar();
      break;
    case Key::End:
      m_editor.cursorEnd();
      break;
    case Key::Home:
      m_editor.cursorHome();
      break;
    case Key::Left:
      m_editor.cursorLeft();
      break;
    case Key::Up:
      m_editor.cursorUp();
      break;
    case Key::Right:
      m_editor.cursorRight();
      break;
    case Key::Down:
      m_editor.cursorDown();
      break;
    case Key::Delete:
      m_editor.deleteChar();
      break;
  }
  redraw();
}

void ScreensPage::typeCharacter(std::uint8_t code) {
  m_editor.typeChar(code);
  redraw();
}

}  // namespace halvern
