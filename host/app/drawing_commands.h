// SAVE, SAVEAS and QUIT at zrxhost's command line, and the question before unsaved work is dropped.
#pragma once

#include <functional>
#include <optional>
#include <string>

class ZcDbDatabase;

namespace zrxhost::app {

// The drawing the commands work on and where SAVE writes it.
struct DrawingFile {
  ZcDbDatabase* db = nullptr;
  // --save-as when given: the drawing is written there at the end anyway, so nothing is lost.
  std::optional<std::string> saveAsTarget;
  // Where SAVE writes: the last SAVEAS file, else --save-as, else the file read; empty for a new drawing.
  std::string saveTarget;
  // The user answered No to saving this drawing's changes: the session ends without asking again.
  bool changesDiscarded = false;
};

// Registers SAVE, SAVEAS and QUIT for `file`, which must outlive the command line.
void registerDrawingCommands(DrawingFile& file);

// The file a drawing is saved to under `name`: a name without an extension gets ".dxf" (unless it
// names a folder), so that the file is found again where drawings are listed by it (the Open
// dialog, a file manager).
std::string drawingFileName(std::string name);

// Writes the drawing atomically, showing progress on a terminal; false with `error` on failure.
bool saveDrawing(ZcDbDatabase& db, const std::string& path, std::string& error);

// How the user answers "save the changes?": true save, false discard, nullopt cancel.
using SaveQuestion = std::function<std::optional<bool>()>;
// Where to save a drawing that has no file yet; empty when the user gave none.
using FileQuestion = std::function<std::string()>;

// Whether the drawing may be left now without losing work the user wants: true when nothing is
// unsaved (or --save-as will write it); else asks. Save writes to the drawing's file (or the one
// `askFile` names) and is true when that worked; Discard drops the changes for good (no second
// question); Cancel is false.
bool keepsNoUnsavedWork(DrawingFile& file, const SaveQuestion& askToSave, const FileQuestion& askFile);

// Whether the session may end now: keepsNoUnsavedWork with the question at the command line, asked
// only where a person answers (a terminal).
bool mayEndSession(DrawingFile& file);

}  // namespace zrxhost::app
