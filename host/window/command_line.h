// The docked command line: the transcript above, the prompt and the typed answer below.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;

namespace zrxhost::window {

class WindowInput;
class Canvas;

// The editing line: Enter or Space accepts (Space enters a free-text answer as itself), Esc
// cancels, Up/Down walk the answers given before. Space held while dragging on the canvas pans.
class CommandEdit : public QLineEdit {
  Q_OBJECT

 public:
  CommandEdit(WindowInput& input, Canvas& canvas, QWidget* parent = nullptr);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void accept();
  WindowInput& mInput;
  Canvas& mCanvas;
  std::vector<QString> mHistory;
  size_t mHistoryAt = 0;
};

class CommandLine : public QWidget {
  Q_OBJECT

 public:
  CommandLine(WindowInput& input, Canvas& canvas, QWidget* parent = nullptr);
  // The session writes its transcript here (UTF-8).
  std::ostream& transcript() { return mStream; }
  CommandEdit& edit() { return *mEdit; }
  QString transcriptText() const;
  // Shows what was written since the last call and the current prompt.
  void flush();

 private:
  class Buffer : public std::streambuf {
   public:
    std::string pending;

   protected:
    int overflow(int c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
  };
  Buffer mBuffer;
  std::ostream mStream{&mBuffer};
  QPlainTextEdit* mTranscript;
  QLabel* mPrompt;
  CommandEdit* mEdit;
  QString mLastLine;
};

}  // namespace zrxhost::window
