#include "app/window_shell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "app/windows1252.h"

namespace halvern {

WindowShell::WindowShell(QWidget* window, QPlainTextEdit* messageArea, QProgressBar* progress,
                         QLabel* status)
    : m_window(window), m_messageArea(messageArea), m_progress(progress), m_status(status) {}

void WindowShell::addMessageLine(std::string_view line) {
  // Every line of the message area ends with its line break: a line added after inserted text
  // that ended one takes the empty line the break began, else it starts a line of its own.
  // A carriage return that ends the line (the instrument's own line end) starts no other.
  if (line.ends_with('\r')) line.remove_suffix(1);
  const QString text = Windows1252::toUnicode(line);
  // Only the last line is looked at: the area may hold a long download's lines.
  const bool breakPending = m_lineEnded && m_messageArea->document()->blockCount() > 1 &&
                            m_messageArea->document()->lastBlock().text().isEmpty();
  if (!breakPending) {
    m_messageArea->appendPlainText(text);
  } else {
    QTextCursor end(m_messageArea->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
  }
  m_lineEnded = false;
  if (text.contains(QLatin1Char('\t'))) alignColumns();
  m_messageArea->verticalScrollBar()->setValue(m_messageArea->verticalScrollBar()->maximum());
}

void WindowShell::alignColumns() {
  // The widest text of each column but the last, over every line with tabs.
  const QFontMetricsF metrics(m_messageArea->font());
  QList<qreal> widths;
  for (QTextBlock block = m_messageArea->document()->begin(); block.isValid();
       block = block.next()) {
    const QString line = block.text();
    if (!line.contains(QLatin1Char('\t'))) continue;
    const QStringList cells = line.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i + 1 < cells.size(); ++i) {
      if (widths.size() <= i) widths.append(0);
      widths[i] = std::max(widths[i], metrics.horizontalAdvance(cells[i]));
    }
  }
  // Two blanks between columns; past the last stop the default ones.
  const qreal gap = 2 * metrics.horizontalAdvance(QLatin1Char(' '));
  QList<QTextOption::Tab> stops;
  qreal at = 0;
  for (const qreal width : widths) {
    at += width + gap;
    stops.append(QTextOption::Tab(at, QTextOption::LeftTab));
  }
  QTextOption option = m_messageArea->document()->defaultTextOption();
  if (option.tabs() == stops) return;
  option.setTabs(stops);
  m_messageArea->document()->setDefaultTextOption(option);
}

void WindowShell::insertText(std::string_view text) {
  QString t = Windows1252::toUnicode(text);
  // The instrument ends its lines with a carriage return alone.
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
  QTextCursor end(m_messageArea->document());
  end.movePosition(QTextCursor::End);
  // Text from the instrument begins below the last added line, as that line's break left the
  // caret there.
  if (!m_lineEnded && !m_messageArea->document()->isEmpty()) end.insertText(QStringLiteral("\n"));
  end.insertText(t);
  m_lineEnded = true;
  if (t.contains(QLatin1Char('\t'))) alignColumns();
  m_messageArea->setTextCursor(end);
  m_messageArea->ensureCursorVisible();
}

void WindowShell::clearMessageArea() {
  m_messageArea->clear();
  m_lineEnded = false;
}

std::string WindowShell::setUninterruptible(bool on, std::string_view why,
                                            std::string_view closeQuestion) {
  if (!on) {
    m_sleepInhibitor.release();
    m_closeQuestion.clear();
    return {};
  }
  m_closeQuestion = closeQuestion;
  return m_sleepInhibitor.acquire(why);
}

void WindowShell::setProgressMax(int maximum) { m_progress->setMaximum(maximum); }

void WindowShell::setProgress(int position) { m_progress->setValue(position); }

QPoint WindowShell::centredOver(const QRect& main, const QSize& box) {
  return QPoint(main.left() + (main.width() - box.width()) / 2,
                main.top() + (main.height() - box.height()) / 2);
}

MessageResult WindowShell::message(std::string_view text, MessageKind kind,
                                   MessageButtons buttons) {
  return showBox(text, kind, buttons, false);
}

MessageResult WindowShell::connectionWarning(std::string_view text) {
  return showBox(text, MessageKind::Warning, MessageButtons::Ok, true);
}

MessageResult WindowShell::showBox(std::string_view text, MessageKind kind, MessageButtons buttons,
                                   bool offerHelp) {
  if (m_answerer) return m_answerer(text, kind, buttons);

  QMessageBox box(m_window);
  switch (kind) {
    case MessageKind::Warning:
      box.setIcon(QMessageBox::Warning);
      box.setWindowTitle(QStringLiteral("Warning"));
      break;
    case MessageKind::Error:
      box.setIcon(QMessageBox::Critical);
      box.setWindowTitle(QStringLiteral("Error"));
      break;
    case MessageKind::Information:
      box.setIcon(QMessageBox::Information);
      box.setWindowTitle(QStringLiteral("Information"));
      break;
    case MessageKind::Confirmation:
      box.setIcon(QMessageBox::Question);
      box.setWindowTitle(QStringLiteral("Confirm"));
      break;
  }
  box.setText(Windows1252::toUnicode(text));
  switch (buttons) {
    case MessageButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MessageButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case MessageButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case MessageButtons::SaveDiscardCancel:
      box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Save);
      break;
  }
  // The port that would not open offers the connection checks beside its OK.
  QPushButton* help = nullptr;
  if (m_connectionHelp && offerHelp)
    help = box.addButton(QStringLiteral("Connection &Help..."), QMessageBox::HelpRole);
  // Centred over the main window, by its outer frame.
  box.adjustSize();
  box.move(centredOver(m_window->frameGeometry(), box.frameGeometry().size()));
  const int pressed = box.exec();
  if (help != nullptr && box.clickedButton() == help) {
    m_connectionHelp();
    return MessageResult::Ok;
  }
  switch (pressed) {
    case QMessageBox::Yes:
    case QMessageBox::Save:
      return MessageResult::Yes;
    case QMessageBox::No:
    case QMessageBox::Discard:
      return MessageResult::No;
    case QMessageBox::Cancel:
      return MessageResult::Cancel;
    default:
      break;
  }
  // Closing the box without a button is its Cancel, or No, or OK.
  if (pressed == QMessageBox::Ok) return MessageResult::Ok;
  if (buttons == MessageButtons::YesNo) return MessageResult::No;
  if (buttons == MessageButtons::Ok) return MessageResult::Ok;
  return MessageResult::Cancel;
}

void WindowShell::beep(BeepKind) { QApplication::beep(); }

void WindowShell::processEvents() {
  QApplication::processEvents();
  if (m_hooks.eventsProcessed) m_hooks.eventsProcessed();
}

void WindowShell::setClockTimer(bool running) {
  if (m_hooks.clockTimer) m_hooks.clockTimer(running);
}

void WindowShell::setInstrumentBusy(bool busy) {
  if (m_hooks.instrumentBusy) m_hooks.instrumentBusy(busy);
}

void WindowShell::setBusy(bool busy) {
  if (busy) {
    if (m_busyDepth++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (m_busyDepth > 0) {
    if (--m_busyDepth == 0) QApplication::restoreOverrideCursor();
  }
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WindowShell::setStatus(std::string_view text) {
  // During a countdown the status comes back to this when the wait ends.
  if (m_beforeWait)
    m_beforeWait->status = Windows1252::toUnicode(text);
  else
    m_status->setText(Windows1252::toUnicode(text));
}

void WindowShell::showWaiting(int secondsLeft, int secondsTotal) {
  if (secondsTotal <= 0) {
    if (!m_beforeWait) return;
    m_status->setText(m_beforeWait->status);
    m_progress->setMaximum(m_beforeWait->maximum);
    m_progress->setValue(m_beforeWait->value);
    m_beforeWait.reset();
    return;
  }
  if (!m_beforeWait)
    m_beforeWait = Before{m_status->text(), m_progress->maximum(), m_progress->value()};
  m_progress->setMaximum(secondsTotal);
  m_progress->setValue(std::clamp(secondsLeft, 0, secondsTotal));
  m_status->setText(QStringLiteral("Waiting for 40100... %1 s").arg(secondsLeft));
}

}  // namespace halvern
