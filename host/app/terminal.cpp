// The terminal's line editor: libedit's wide-character interface fed by a reader of our own, which
// decodes UTF-8 and turns a lone Esc and Ctrl-C into keys that cancel the prompt; F1 shows the help.
#include "terminal.h"

#include <histedit.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <utility>

#include "zrxhost/host_commands.h"

namespace zrxhost::app {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;
volatile std::sig_atomic_t gResized = 0;

extern "C" void noteInterrupt(int) {
  gInterrupted = 1;
}
extern "C" void noteResize(int) {
  gResized = 1;
}

// Keys the reader hands the editor for a lone Esc and for Ctrl-C: C1 control characters, which no
// keyboard types and which the editor's key map can bind.
constexpr wchar_t kEscapeKey = L'\u0091';
constexpr wchar_t kInterruptKey = L'\u0092';
// How long an Esc waits for the rest of a key's escape sequence (arrow keys and the like).
constexpr int kEscapeSequenceWaitMs = 40;

// One byte of standard input; 0 at the end, -1 on error, -2 when a signal came first.
int readByte(unsigned char& byte) {
  ssize_t n = ::read(STDIN_FILENO, &byte, 1);
  if (n == 1) return 1;
  if (n < 0 && errno == EINTR) return -2;
  return n == 0 ? 0 : -1;
}

bool moreInputWithin(int milliseconds) {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  return ::poll(&input, 1, milliseconds) > 0;
}

}  // namespace

// ---- TerminalTranscript

int TerminalTranscript::overflow(int c) {
  if (c == traits_type::eof()) return traits_type::not_eof(c);
  const char ch = static_cast<char>(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize TerminalTranscript::xsputn(const char* s, std::streamsize n) {
  if (n <= 0) return 0;
  std::string_view text(s, static_cast<size_t>(n));
  if (mAtLineStart) {
    mAtLineStart = false;
    if (text.front() == '\n' && mLineStart.empty()) text.remove_prefix(1);
  }
  const size_t lastBreak = text.rfind('\n');
  if (lastBreak == std::string_view::npos) {
    mLineStart += text;
    return n;
  }
  mLineStart.append(text.substr(0, lastBreak + 1));
  mTarget->sputn(mLineStart.data(), static_cast<std::streamsize>(mLineStart.size()));
  mLineStart.assign(text.substr(lastBreak + 1));
  return n;
}

std::string TerminalTranscript::takeLineStart() {
  mTarget->pubsync();
  return std::exchange(mLineStart, std::string());
}

// ---- TerminalInput

TerminalInput::TerminalInput(TerminalTranscript& transcript) : mTranscript(transcript) {
  mEditor = el_init("zrxhost", stdin, stdout, stderr);
  mHistory = history_winit();
  HistEventW event;
  history_w(mHistory, &event, H_SETSIZE, 1000);
  history_w(mHistory, &event, H_SETUNIQUE, 1);
  el_wset(mEditor, EL_CLIENTDATA, this);
  el_wset(mEditor, EL_EDITOR, L"emacs");
  el_wset(mEditor, EL_PROMPT, &TerminalInput::currentPrompt);
  el_wset(mEditor, EL_HIST, history_w, mHistory);
  el_wset(mEditor, EL_GETCFN, &TerminalInput::readCharacter);
  el_wset(mEditor, EL_ADDFN, L"zrx-cancel", L"Cancel the prompt", &TerminalInput::cancelPrompt);
  const wchar_t escape[] = {kEscapeKey, 0};
  const wchar_t interrupt[] = {kInterruptKey, 0};
  el_wset(mEditor, EL_BIND, escape, L"zrx-cancel", nullptr);
  el_wset(mEditor, EL_BIND, interrupt, L"zrx-cancel", nullptr);
  // F1 as xterm and its kin send it, as VT220-style terminals (rxvt) do, and as the Linux console does.
  el_wset(mEditor, EL_ADDFN, L"zrx-help", L"Show the help", &TerminalInput::showHelpKey);
  for (const wchar_t* f1 : {L"\033OP", L"\033[11~", L"\033[[A"}) el_wset(mEditor, EL_BIND, f1, L"zrx-help", nullptr);
}

TerminalInput::~TerminalInput() {
  el_end(mEditor);
  history_wend(mHistory);
}

wchar_t* TerminalInput::currentPrompt(editline* editor) {
  TerminalInput* self = nullptr;
  el_wget(editor, EL_CLIENTDATA, &self);
  return self->mPrompt.data();
}

int TerminalInput::readCharacter(editline* editor, wchar_t* character) {
  unsigned char byte = 0;
  while (true) {
    if (gInterrupted) {
      gInterrupted = 0;
      *character = kInterruptKey;
      return 1;
    }
    if (gResized) {
      gResized = 0;
      el_resize(editor);
    }
    const int got = readByte(byte);
    if (got == -2) continue;
    if (got <= 0) return got;
    break;
  }
  if (byte == 0x03) {  // Ctrl-C with the terminal's signals off
    *character = kInterruptKey;
    return 1;
  }
  if (byte == 0x1b && !moreInputWithin(kEscapeSequenceWaitMs)) {
    *character = kEscapeKey;
    return 1;
  }
  // UTF-8: the lead byte tells how many continuation bytes follow; anything malformed becomes the
  // replacement character instead of ending the input.
  int follow = byte < 0x80 ? 0 : (byte >> 5) == 0x6 ? 1 : (byte >> 4) == 0xe ? 2 : (byte >> 3) == 0x1e ? 3 : -1;
  char32_t code = follow == 0 ? byte : follow == 1 ? (byte & 0x1f) : follow == 2 ? (byte & 0x0f) : (byte & 0x07);
  for (int i = 0; i < follow; ++i) {
    unsigned char next = 0;
    int got;
    while ((got = readByte(next)) == -2) {
    }
    if (got <= 0 || (next & 0xc0) != 0x80) {
      follow = -1;
      break;
    }
    code = (code << 6) | (next & 0x3f);
  }
  if (follow < 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) code = 0xfffd;
  *character = static_cast<wchar_t>(code);
  return 1;
}

unsigned char TerminalInput::cancelPrompt(editline* editor, int key) {
  TerminalInput* self = nullptr;
  el_wget(editor, EL_CLIENTDATA, &self);
  self->mKey = key == kInterruptKey ? Key::kInterrupt : Key::kEscape;
  return CC_NEWLINE;
}

unsigned char TerminalInput::showHelpKey(editline* editor, int) {
  TerminalInput* self = nullptr;
  el_wget(editor, EL_CLIENTDATA, &self);
  // The help goes below the line being edited, which the editor then shows again, typed text and all,
  // so that F1 answers nothing and loses nothing at any prompt.
  showHelp();
  self->mTranscript.stream() << '\n' << std::flush;
  return CC_REDISPLAY;
}

std::optional<std::string> TerminalInput::nextLine(const std::string& prompt) {
  // Once the user has ended the input, every later prompt sees it ended too, as with a script.
  if (mEnded) return std::nullopt;
  mTranscript.stream() << prompt;
  mPrompt = utf16ToWide(utf8ToUtf16(mTranscript.takeLineStart()));
  mKey = Key::kNone;
  int count = 0;
  const wchar_t* line = el_wgets(mEditor, &count);
  if (mKey != Key::kNone) return std::string(mKey == Key::kInterrupt ? kInterruptLine : kEscapeLine);
  if (!line) {
    mEnded = true;
    mTranscript.stream() << '\n';
    mTranscript.userPressedEnter();
    return std::nullopt;
  }
  mTranscript.userPressedEnter();
  std::wstring typed(line, static_cast<size_t>(count));
  while (!typed.empty() && (typed.back() == L'\n' || typed.back() == L'\r')) typed.pop_back();
  if (!typed.empty()) {
    HistEventW event;
    history_w(mHistory, &event, H_ENTER, typed.c_str());
  }
  return utf16ToUtf8(wideToUtf16(typed));
}

void useUtf8CharacterType() {
  const char* chosen = std::setlocale(LC_CTYPE, "");
  if (!chosen || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

void catchInterrupts() {
  struct sigaction action {};
  action.sa_handler = noteInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a read waiting for a key returns and sees the flag
  sigaction(SIGINT, &action, nullptr);
  action.sa_handler = noteResize;
  sigaction(SIGWINCH, &action, nullptr);
}

}  // namespace zrxhost::app
