// SAVE, SAVEAS and QUIT at zrxhost's command line, and the question before unsaved work is dropped.
#pragma once

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

// Whether the session may end now. On a terminal, with changes that would be lost, asks whether to
// save them: Yes saves (false if that fails), No drops them for good (no second question), Cancel (or
// Esc) keeps the session.
bool mayEndSession(DrawingFile& file);

}  // namespace zrxhost::app
