// Reads the user's answers with libedit's readline; end of input (Ctrl-D) ends the session.
#include "terminal.h"

#include <editline/readline.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace zrxhost::app {

TerminalInput::TerminalInput() {
  using_history();
}

std::optional<std::string> TerminalInput::nextLine(const std::string& prompt) {
  // Once the user has ended the input, every later prompt sees it ended too, as with a script.
  if (mEnded) return std::nullopt;
  // Line editing handles a one-line prompt only; whatever comes before the last line break is
  // ordinary output.
  const size_t lastBreak = prompt.rfind('\n');
  const std::string head = lastBreak == std::string::npos ? std::string() : prompt.substr(0, lastBreak + 1);
  const std::string tail = lastBreak == std::string::npos ? prompt : prompt.substr(lastBreak + 1);
  std::cout << head;
  std::cout.flush();
  std::fflush(stdout);
  char* line = readline(tail.c_str());
  if (!line) {
    mEnded = true;
    std::fputs("\n", stdout);
    return std::nullopt;
  }
  std::string answer(line);
  std::free(line);
  if (!answer.empty()) add_history(answer.c_str());
  return answer;
}

}  // namespace zrxhost::app
