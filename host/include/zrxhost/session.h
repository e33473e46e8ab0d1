// The host's editor session: where input comes from, where the transcript goes, system variables,
// the command line, and what the jig drags drew.
#pragma once

#include <deque>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zrx/ge.h"
#include "zrx/gi.h"

class ZcDbDatabase;

namespace zrxhost {

class Progress;

// A source of command-line input, one answer per line, as a script holds it or a user types it.
class InputSource {
 public:
  virtual ~InputSource() = default;
  // The next line with the prompt shown to the user; nullopt when the input has run out.
  virtual std::optional<std::string> nextLine(const std::string& prompt) = 0;
  // Whether the session writes prompts and answers to the transcript (scripts: yes). A source that
  // answers false (a terminal) shows the prompt and the typed answer itself.
  virtual bool echoes() const { return true; }
  // Whether a person answers (a terminal): questions such as "save changes?" are asked only then.
  virtual bool isInteractive() const { return false; }
  // After the input ended, whether it can be read once more (a terminal after Ctrl-D can).
  virtual bool resume() { return false; }
};

// What a terminal hands back for the Esc key and for Ctrl-C: lines no keyboard can type otherwise.
inline constexpr const char* kEscapeLine = "<esc>";
inline constexpr const char* kInterruptLine = "<ctrl-c>";
// A cursor move and a mouse click at drawing coordinates, as a window reports them.
std::string moveLine(double x, double y);
std::string clickLine(double x, double y);

// Lines of a script held in memory (comments "# …" skipped).
class ScriptInput : public InputSource {
 public:
  explicit ScriptInput(const std::string& text);
  // Null, with the reason in `error`, when the file cannot be read (a folder cannot).
  static std::unique_ptr<ScriptInput> fromFile(const std::string& path, std::string& error);
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
  // The point the drag measures from (its rubber band's start), where the last sample landed, and
  // the object snap that put it there (an OSMODE bit, 0 for none).
  bool hasBase = false;
  ZcGePoint3d base;
  ZcGePoint3d point;
  int snapBit = 0;
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
  // PICKBOX 0.5 drawing units, TILEMODE from the drawing, LASTPOINT, FONTALT, and the drafting aids
  // OSMODE 0, APERTURE 10, SNAPMODE 0, SNAPUNIT 10, GRIDMODE 0, GRIDUNIT 10).
  std::optional<std::string> sysVar(const std::string& name) const;
  bool setSysVar(const std::string& name, const std::string& value);

  // The "Command:" loop: reads command names until the input runs out or a command asks to end; an
  // unknown name gets "Unknown command "X".  Press F1 for help." and the prompt again. Enter repeats
  // the last command; "NAME rest" runs NAME with `rest` as its first answer. Each command is one undo
  // group of the working drawing unless its flags say otherwise.
  void runCommandLine();
  // Ends the command loop after the running command (QUIT).
  void requestEnd() { mEndRequested = true; }
  // The input source, for questions the host asks itself.
  InputSource* input() const { return mInput.get(); }
  // Lets an ended input be read again (a terminal user asked a question after Ctrl-D).
  bool resumeInput();

  // The finished drags, oldest first, each with its last frame: kept only while recordDrags is on
  // (tests turn it on), since a frame of many copies costs megabytes a session never needs again.
  void recordDrags(bool on) { mRecordDrags = on; }
  bool recordsDrags() const { return mRecordDrags; }
  std::vector<DragLog>& dragLogs() { return mDragLogs; }
  void clearDragLogs() { mDragLogs.clear(); }
  // The drag in progress (its frame is the preview of the last update), null between drags: a window
  // draws it over the drawing while it waits for the next cursor move.
  const DragLog* activeDrag() const { return mActiveDrag; }
  void setActiveDrag(const DragLog* drag) { mActiveDrag = drag; }
  // The storage of a drag's preview, kept from one drag to the next: the first frame of a drag of
  // 100,000 copies would otherwise fill some 20 MB of fresh memory with their records and strings,
  // and fresh memory is slow to come by. A drag takes it as it starts and gives it back as it ends.
  ZcGiDrawRecorder takePreviewStorage() { return std::move(mPreviewStorage); }
  void keepPreviewStorage(ZcGiDrawRecorder&& storage) {
    storage.clear();
    mPreviewStorage = std::move(storage);
  }

  // What a selection in progress shows: the selected entities' outlines (highlighted), and the first
  // corner of a window or crossing while its opposite corner is asked for (a window draws the band to
  // the cursor: solid for a window, dashed for a crossing, by direction when the user gave no word).
  enum class Band { kNone, kByDirection, kWindow, kCrossing };
  struct SelectionFeedback {
    ZcGiDrawRecorder highlight;
    Band band = Band::kNone;
    ZcGePoint3d corner;
  };
  SelectionFeedback& selectionFeedback() { return mSelectionFeedback; }

  // Drawing units per screen pixel when a window answers picks; zero (scripts, terminals) reads
  // PICKBOX in drawing units, a window's PICKBOX counts pixels.
  void setPixelSize(double drawingUnitsPerPixel) { mPixelSize = drawingUnitsPerPixel; }
  // The pick aperture in drawing units.
  double pickAperture() const;
  // The object snap aperture (APERTURE) in drawing units: pixels in a window, drawing units otherwise.
  double snapAperture() const;
  // Whether the system variable holds a real number (PICKBOX, SNAPUNIT, GRIDUNIT).
  static bool sysVarIsReal(const std::string& name);

  // Where the cursor was last reported (a move or a click), nullopt before any.
  std::optional<ZcGePoint3d> cursor() const { return mCursor; }
  // A window tells where the mouse is between the moves it hands over (only a drag takes those).
  void setCursor(const ZcGePoint3d& p) { mCursor = p; }

  // What the request being read asks for, so that a window can show the pick box at an entity pick,
  // the object snap at a point, and let Space into a free-text answer.
  enum class Request { kOther, kEntity, kFreeText, kPoint };
  Request request() const { return mRequest; }
  void setRequest(Request request) { mRequest = request; }

  // Low-level input used by the zced* functions and the jig: the next answer, or nullopt for Esc
  // (an exhausted input answers Esc). Echoes the answer after the prompt.
  std::optional<std::string> readAnswer(const std::string& prompt);

  // One line of input: typed text, a cursor move "<move x,y[,z]>" (its coordinates in `text`), Esc,
  // or the end of the input. A mouse click "<click x,y[,z]>" comes back as the text "x,y[,z]" with
  // `clicked` set: a cursor position, which ortho may bend, where a typed point is taken as typed.
  enum class LineKind { kText, kMove, kCancel, kEnd };
  struct InputLine {
    LineKind kind = LineKind::kEnd;
    std::string text;
    bool clicked = false;
  };
  // Shows the prompt and reads a line. Text is echoed after the prompt; Esc, Ctrl-C and the end of the
  // input echo "*Cancel*", except at the command prompt, where only Esc does (there is nothing to
  // cancel). Moves are not echoed; they are handed back when `moves` is set and skipped otherwise.
  InputLine readLine(const std::string& prompt, bool moves, bool commandPrompt = false);
  bool inputEnded() const { return mInputEnded; }
  // The prompt to show again after an answer was refused: always on a line of its own. A request
  // with no prompt of its own repeats the line printed before it (a module that prints its prompt
  // first and then asks with none).
  std::string retryPrompt(const std::string& prompt) const;

  // Resets sysvars to defaults and forgets input and logs, and stops recording drags (for tests).
  void reset();

 private:
  Session();
  // Remembers the cursor at a move or a click.
  void noteCursor(std::string_view text);
  std::unique_ptr<InputSource> mInput;
  std::ostream* mOut;
  std::vector<DragLog> mDragLogs;
  bool mRecordDrags = false;
  const DragLog* mActiveDrag = nullptr;
  ZcGiDrawRecorder mPreviewStorage{true};
  SelectionFeedback mSelectionFeedback;
  double mPixelSize = 0;
  std::optional<ZcGePoint3d> mCursor;
  Request mRequest = Request::kOther;
  bool mInputEnded = false;
  bool mEndRequested = false;
  // What the transcript shows after its last line break.
  std::string mLineTail;
  // Answers given on the command line after a command's name.
  std::deque<std::string> mPendingAnswers;
  std::string mLastCommand;
  // The running command's progress line, which gives way while the user answers a prompt.
  Progress* mCommandProgress = nullptr;
  struct Vars;
  std::shared_ptr<Vars> mVars;
};

// Boots the runtime: the class tree of the host's classes, the system registry with the dynamic
// linker and the command stack, a working database (a new drawing unless one is given). Idempotent.
void initializeHost(ZcDbDatabase* workingDatabase = nullptr);

}  // namespace zrxhost
