// The command line: transcript, prompt, typed answers with history, Esc and Space as CAD users expect.
#include "window/command_line.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "window/canvas.h"
#include "window/window_input.h"

namespace zrxhost::window {

CommandEdit::CommandEdit(WindowInput& input, Canvas& canvas, QWidget* parent)
    : QLineEdit(parent), mInput(input), mCanvas(canvas) {}

void CommandEdit::accept() {
  const QString text = this->text();
  if (!text.trimmed().isEmpty() && (mHistory.empty() || mHistory.back() != text)) mHistory.push_back(text);
  mHistoryAt = mHistory.size();
  clear();
  mInput.submit(text.toStdString());
}

bool CommandEdit::event(QEvent* event) {
  // Ctrl+Z and Ctrl+Y undo the drawing, not the typing: the window's actions get them.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::ControlModifier && (key->key() == Qt::Key_Z || key->key() == Qt::Key_Y)) {
      event->ignore();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void CommandEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      accept();
      return;
    case Qt::Key_Escape:
      clear();
      mInput.submit(kEscapeLine);
      return;
    case Qt::Key_Space:
      if (Session::instance().request() == Session::Request::kFreeText) break;
      // Space is Enter, unless it is held to pan: decided when it is let go.
      if (!event->isAutoRepeat()) {
        mCanvas.clearSpacePan();
        mCanvas.setSpaceHeld(true);
      }
      return;
    case Qt::Key_Up:
      if (mHistoryAt > 0) setText(mHistory[--mHistoryAt]);
      return;
    case Qt::Key_Down:
      if (mHistoryAt < mHistory.size()) ++mHistoryAt;
      setText(mHistoryAt < mHistory.size() ? mHistory[mHistoryAt] : QString());
      return;
    default:
      break;
  }
  QLineEdit::keyPressEvent(event);
}

void CommandEdit::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat() &&
      Session::instance().request() != Session::Request::kFreeText) {
    mCanvas.setSpaceHeld(false);
    if (!mCanvas.pannedWhileSpaceHeld()) accept();
    mCanvas.clearSpacePan();
    return;
  }
  QLineEdit::keyReleaseEvent(event);
}

int CommandLine::Buffer::overflow(int c) {
  if (c != traits_type::eof()) pending.push_back(static_cast<char>(c));
  return c;
}

std::streamsize CommandLine::Buffer::xsputn(const char* s, std::streamsize n) {
  pending.append(s, static_cast<size_t>(n));
  return n;
}

CommandLine::CommandLine(WindowInput& input, Canvas& canvas, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  mTranscript = new QPlainTextEdit(this);
  mTranscript->setReadOnly(true);
  mTranscript->setFocusPolicy(Qt::NoFocus);
  mTranscript->setMaximumBlockCount(5000);
  auto* row = new QHBoxLayout;
  mPrompt = new QLabel(this);
  mEdit = new CommandEdit(input, canvas, this);
  row->addWidget(mPrompt);
  row->addWidget(mEdit, 1);
  layout->addWidget(mTranscript, 1);
  layout->addLayout(row);
  setFocusProxy(mEdit);
}

QString CommandLine::transcriptText() const {
  return mTranscript->toPlainText() + QLatin1Char('\n') + mLastLine;
}

void CommandLine::flush() {
  if (mBuffer.pending.empty()) return;
  // Whole lines go to the transcript; the line still open is the prompt being asked.
  const QString text = mLastLine + QString::fromUtf8(mBuffer.pending.data(), static_cast<int>(mBuffer.pending.size()));
  mBuffer.pending.clear();
  const int lastBreak = text.lastIndexOf(QLatin1Char('\n'));
  if (lastBreak >= 0) {
    const QString whole = text.left(lastBreak);
    if (!whole.isEmpty()) mTranscript->appendPlainText(whole);
    mLastLine = text.mid(lastBreak + 1);
  } else {
    mLastLine = text;
  }
  mPrompt->setText(mLastLine);
  mTranscript->verticalScrollBar()->setValue(mTranscript->verticalScrollBar()->maximum());
}

}  // namespace zrxhost::window
