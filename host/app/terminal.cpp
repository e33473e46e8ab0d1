// Reads the user's answers with libedit's readline; end of input (Ctrl-D) ends the session.
#include "terminal.h"

#include <editline/readline.h>

#include <cstdio>
#include <cstdlib>

namespace zrxhost::app {

int TerminalTranscript::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  const bool skip = mAtLineStart && c == '\n';
  mAtLineStart = false;
  if (skip) return c;
  return mTarget->sputc(static_cast<char>(c));
}

std::streamsize TerminalTranscript::xsputn(const char* s, std::streamsize n) {
  if (n <= 0) return 0;
  if (mAtLineStart) {
    mAtLineStart = false;
    if (s[0] == '\n') return 1 + mTarget->sputn(s + 1, n - 1);
  }
  return mTarget->sputn(s, n);
}

TerminalInput::TerminalInput(TerminalTranscript& transcript) : mTranscript(transcript) {
  using_history();
}

std::optional<std::string> TerminalInput::nextLine(const std::string& prompt) {
  // Once the user has ended the input, every later prompt sees it ended too, as with a script.
  if (mEnded) return std::nullopt;
  // Line editing handles a one-line prompt only; whatever comes before the last line break is
  // ordinary output.
  const size_t lastBreak = prompt.rfind('\n');
  const size_t tailStart = lastBreak == std::string::npos ? 0 : lastBreak + 1;
  mTranscript.stream() << prompt.substr(0, tailStart);
  mTranscript.stream().flush();
  std::fflush(stdout);
  char* line = readline(prompt.c_str() + tailStart);
  if (!line) {
    mEnded = true;
    mTranscript.stream() << '\n';
    return std::nullopt;
  }
  mTranscript.userPressedEnter();
  std::string answer(line);
  std::free(line);
  if (!answer.empty()) add_history(answer.c_str());
  return answer;
}

}  // namespace zrxhost::app
