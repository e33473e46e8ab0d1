// The window's input: a queue of answers and the newest cursor move, waited for in a nested loop.
#include "window/window_input.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "zrxhost/messages.h"

namespace zrxhost::window {

std::optional<std::string> WindowInput::nextLine(const std::string& prompt) {
  // An empty prompt is the same request asked again (after a move): the last prompt still shows.
  if (!prompt.empty()) mPrompt = prompt;
  mWaiting = true;
  emit waiting(QString::fromStdString(mPrompt));
  // Events waiting since the last frame: the moves among them collapse into the newest.
  QCoreApplication::processEvents();
  while (mQueue.empty() && !mPendingMove && !mClosing) {
    QEventLoop loop;
    mLoop = &loop;
    loop.exec();
    mLoop = nullptr;
  }
  mWaiting = false;
  if (mClosing) return std::nullopt;
  if (!mQueue.empty()) {
    std::string line = std::move(mQueue.front());
    mQueue.pop_front();
    return line;
  }
  const auto [x, y] = *mPendingMove;
  mPendingMove.reset();
  ++mMovesTaken;
  return moveLine(x, y);
}

bool WindowInput::resume() {
  mClosing = false;
  return true;
}

void WindowInput::submit(std::string line) {
  // A click or a typed point ends where the cursor went before: the move is superseded.
  if (mPendingMove) {
    mPendingMove.reset();
    ++mMovesDropped;
  }
  mQueue.push_back(std::move(line));
  wake();
}

void WindowInput::moveTo(double x, double y) {
  if (!Session::instance().activeDrag() || !mQueue.empty()) return;
  if (mPendingMove) ++mMovesDropped;
  mPendingMove = {x, y};
  wake();
}

void WindowInput::requestClose() {
  mClosing = true;
  wake();
}

void WindowInput::runCommand(const std::string& line) {
  if (!atCommandPrompt()) submit(kEscapeLine);
  submit(line);
}

bool WindowInput::atCommandPrompt() const {
  return mPrompt == "\n" + hostMessage(HostMessage::kCommandPrompt);
}

void WindowInput::wake() {
  if (mLoop) mLoop->quit();
}

}  // namespace zrxhost::window
