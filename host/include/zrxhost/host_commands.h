// The commands the host itself offers at its command line.
#pragma once

namespace zrxhost {

// The command group of the host's own commands.
inline constexpr const wchar_t* kHostCommandGroup = L"ZRXHOST";

// Registers U, UNDO, REDO, HELP and the drafting aids' commands (idempotent).
void registerEditorCommands();
// OSNAP, ORTHO, SNAP and GRID.
void registerDraftingCommands();

// The drafting aids a key or a status-bar button turns on and off (F3, F8, F9, F7).
enum class DraftingAid { kOsnap, kOrtho, kSnap, kGrid };
bool isAidOn(DraftingAid aid);
// Turns the aid over and echoes its new state on the command line: <Ortho on>, <正交 关>.
void toggleAid(DraftingAid aid);

// What HELP shows: the host's commands with what each does, the modules' commands, and where the
// user guide is. F1 at a terminal shows it too, at any prompt.
void showHelp();

// Adds one of the host's own commands (`name` in upper case): modal, and no undo group of its own
// (none of them changes the drawing, and U must not record itself). HELP shows it with what it does.
void addHostCommand(const wchar_t* name, void (*function)(), const char* english, const char* chinese);

}  // namespace zrxhost
