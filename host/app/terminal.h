// Interactive command-line input at a terminal, with line editing and history (libedit).
#pragma once

#include <ostream>
#include <streambuf>

#include "zrxhost/session.h"

namespace zrxhost::app {

// The transcript on a terminal. Messages start with a line break, as they do after an echoed
// answer in a script; after the user's Enter the cursor already stands at the start of a line, so
// that one break is dropped there instead of leaving a blank line.
class TerminalTranscript : public std::streambuf {
 public:
  explicit TerminalTranscript(std::streambuf* target) : mTarget(target), mStream(this) {}
  std::ostream& stream() { return mStream; }
  void userPressedEnter() { mAtLineStart = true; }

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override { return mTarget->pubsync(); }

 private:
  std::streambuf* mTarget;
  std::ostream mStream;
  bool mAtLineStart = false;
};

class TerminalInput : public InputSource {
 public:
  explicit TerminalInput(TerminalTranscript& transcript);
  std::optional<std::string> nextLine(const std::string& prompt) override;
  // The terminal shows what the user types; the transcript must not repeat it.
  bool echoes() const override { return false; }

 private:
  TerminalTranscript& mTranscript;
  bool mEnded = false;
};

}  // namespace zrxhost::app
