// Interactive command-line input at a terminal: UTF-8 line editing, history, Esc, Ctrl-C, F1 (libedit).
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

#include "zrxhost/session.h"

struct editline;
struct historyW;

namespace zrxhost::app {

// The transcript on a terminal. What follows the last line break is held back: it is the start of
// the line the next prompt stands on, and the line editor must show it as part of its prompt to
// redraw that line correctly. Messages start with a line break, as they do after an echoed answer
// in a script; after the user's Enter the cursor already stands at the start of a line, so that one
// break is dropped there instead of leaving a blank line.
class TerminalTranscript : public std::streambuf {
 public:
  explicit TerminalTranscript(std::streambuf* target) : mTarget(target), mStream(this) {}
  std::ostream& stream() { return mStream; }
  void userPressedEnter() { mAtLineStart = true; }
  // The held-back start of the current line, now the line editor's to show.
  std::string takeLineStart();

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override { return mTarget->pubsync(); }

 private:
  std::streambuf* mTarget;
  std::ostream mStream;
  std::string mLineStart;
  bool mAtLineStart = false;
};

class TerminalInput : public InputSource {
 public:
  explicit TerminalInput(TerminalTranscript& transcript);
  ~TerminalInput() override;
  TerminalInput(const TerminalInput&) = delete;
  TerminalInput& operator=(const TerminalInput&) = delete;

  // The typed line; kEscapeLine for Esc, kInterruptLine for Ctrl-C; nullopt at Ctrl-D.
  std::optional<std::string> nextLine(const std::string& prompt) override;
  // The terminal shows what the user types; the transcript must not repeat it.
  bool echoes() const override { return false; }
  bool isInteractive() const override { return true; }
  bool resume() override {
    mEnded = false;
    return true;
  }

 private:
  enum class Key { kNone, kEscape, kInterrupt };
  static int readCharacter(editline* editor, wchar_t* character);
  static wchar_t* currentPrompt(editline* editor);
  static unsigned char cancelPrompt(editline* editor, int key);
  static unsigned char showHelpKey(editline* editor, int key);

  TerminalTranscript& mTranscript;
  editline* mEditor = nullptr;
  historyW* mHistory = nullptr;
  std::wstring mPrompt;
  Key mKey = Key::kNone;
  bool mEnded = false;
};

// Makes the character type UTF-8 (the user's locale when it is, else C.UTF-8), so that the line
// editor measures and shows any text right. Numbers stay in the C locale.
void useUtf8CharacterType();

// From here on Ctrl-C cancels the prompt or command instead of ending the process.
void catchInterrupts();

}  // namespace zrxhost::app
