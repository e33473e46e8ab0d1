// Interactive command-line input at a terminal, with line editing and history (libedit).
#pragma once

#include "zrxhost/session.h"

namespace zrxhost::app {

class TerminalInput : public InputSource {
 public:
  TerminalInput();
  std::optional<std::string> nextLine(const std::string& prompt) override;
  // The terminal shows what the user types; the transcript must not repeat it.
  bool echoes() const override { return false; }

 private:
  bool mEnded = false;
};

}  // namespace zrxhost::app
