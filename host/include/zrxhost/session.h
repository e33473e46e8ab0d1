// The host's editor session: where input comes from, where the transcript goes, system variables,
// the command line, and what the jig drags drew.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zrx/gi.h"

class ZcDbDatabase;

namespace zrxhost {

// A source of command-line input, one answer per line, as a script holds it or a user types it.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // The next line with the prompt shown to the user; nullopt when the input has run out.
  virtual std::optional<std::string> nextLine(const std::string& prompt) = 0;
  // Whether the session writes prompts and answers to the transcript (scripts: yes). A source that
  // answers false (a terminal) shows the prompt and the typed answer itself.
  virtual bool echoes() const { return true; }
};

// Lines of a script held in memory (comments "# …" skipped).
class ScriptInput : public InputSource {
 public:
  explicit ScriptInput(const std::string& text);
  static std::unique_ptr<ScriptInput> fromFile(const std::string& path);  // null when unreadable
  std::optional<std::string> nextLine(const std::string& prompt) override;

 private:
  std::vector<std::string> mLines;
  size_t mNext = 0;
};

// What one drag drew: the number of samples and the preview of the last update.
struct DragLog {
  std::string prompt;
  int samples = 0;
  int status = 0;
  ZcGiDrawRecorder lastFrame{true};
};

class Session {
 public:
  static Session& instance();

  void setInput(std::unique_ptr<InputSource> input);
  // Transcript stream (standard output by default).
  void setTranscript(std::ostream* out);
  std::ostream& transcript();
  // Writes text to the transcript as is (UTF-8).
  void print(const std::string& utf8);

  // System variables by upper-case name; values kept as text (VERLAN en-US, ORTHOMODE 0,
  // PICKBOX 0.5 drawing units, TILEMODE from the drawing, LASTPOINT, FONTALT).
  std::optional<std::string> sysVar(const std::string& name) const;
  bool setSysVar(const std::string& name, const std::string& value);

  // The "Command:" loop: reads command names until the input runs out; an unknown name gets
  // "Unknown command "X".  Press F1 for help." and the prompt again.
  void runCommandLine();

  // The drags of the session, oldest first (each keeps only its last frame).
  std::vector<DragLog>& dragLogs() { return mDragLogs; }
  void clearDragLogs() { mDragLogs.clear(); }

  // Low-level input used by the zced* functions and the jig: the next answer, or nullopt for Esc
  // (an exhausted input answers Esc). Echoes the answer after the prompt.
  std::optional<std::string> readAnswer(const std::string& prompt);

  // One line of input: typed text, a cursor move "<move x,y[,z]>" (its coordinates in `text`), Esc,
  // or the end of the input.
  enum class LineKind { kText, kMove, kCancel, kEnd };
  struct InputLine {
    LineKind kind = LineKind::kEnd;
    std::string text;
  };
  // Shows the prompt and reads a line. Text is echoed after the prompt; Esc and the end of the input
  // echo "*Cancel*" (the end only when `cancelAtEnd`). Moves are not echoed; they are handed back
  // when `moves` is set and skipped otherwise.
  InputLine readLine(const std::string& prompt, bool moves, bool cancelAtEnd = true);
  bool inputEnded() const { return mInputEnded; }

  // Resets sysvars to defaults and forgets input and logs (for tests).
  void reset();

 private:
  Session();
  std::unique_ptr<InputSource> mInput;
  std::ostream* mOut;
  std::vector<DragLog> mDragLogs;
  bool mInputEnded = false;
  struct Vars;
  std::shared_ptr<Vars> mVars;
};

// Boots the runtime: the class tree of the host's classes, the system registry with the dynamic
// linker and the command stack, a working database (a new drawing unless one is given). Idempotent.
void initializeHost(ZcDbDatabase* workingDatabase = nullptr);

}  // namespace zrxhost
