// The window's command-line input: typed lines, clicks and cursor moves, read by the editor on the
// GUI thread inside a nested event loop.
#pragma once

#include <QObject>
#include <deque>
#include <optional>
#include <string>

#include "zrxhost/session.h"

class QEventLoop;

namespace zrxhost::window {

// The editor asks for each answer through nextLine, which runs the window's events until the user
// gives one. Commands thus run on the GUI thread, like the module expects its code to: one thread,
// and the display reads the drawing and the preview between two answers, never during an update.
class WindowInput : public QObject, public InputSource {
  Q_OBJECT

 public:
  std::optional<std::string> nextLine(const std::string& prompt) override;
  bool echoes() const override { return true; }
  bool isInteractive() const override { return true; }
  // After the window asked to close and the user kept it open.
  bool resume() override;

  // A typed line, a click (clickLine), Enter (""), Esc (kEscapeLine): answered in order.
  void submit(std::string line);
  // The cursor is at drawing (x, y). Only a drag takes moves, and only the newest one is kept until
  // the editor reads it: a frame runs one update however fast the mouse moves.
  void moveTo(double x, double y);
  // Ends the input: the request being read is cancelled and the command line ends.
  void requestClose();
  // A command from a menu: Esc first when a command runs, then `line` at "Command:".
  void runCommand(const std::string& line);

  // Whether the editor waits for an answer with none queued.
  bool idle() const { return mWaiting && mQueue.empty() && !mPendingMove && !mClosing; }
  bool atCommandPrompt() const;
  const std::string& prompt() const { return mPrompt; }
  // Moves handed to the editor and moves dropped in favour of a newer one (for tests and benchmarks).
  int movesTaken() const { return mMovesTaken; }
  int movesDropped() const { return mMovesDropped; }

 signals:
  // The editor is about to wait for an answer: a frame of the drawing and the preview is due.
  void waiting(const QString& prompt);

 private:
  void wake();

  std::deque<std::string> mQueue;
  std::optional<std::pair<double, double>> mPendingMove;
  QEventLoop* mLoop = nullptr;
  std::string mPrompt;
  bool mWaiting = false;
  bool mClosing = false;
  int mMovesTaken = 0;
  int mMovesDropped = 0;
};

}  // namespace zrxhost::window
