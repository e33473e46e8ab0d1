// The commands the host itself offers at its command line.
#pragma once

namespace zrxhost {

// The command group of the host's own commands.
inline constexpr const wchar_t* kHostCommandGroup = L"ZRXHOST";

// Registers U, UNDO, REDO and HELP (idempotent).
void registerEditorCommands();

// What HELP shows: the host's commands with what each does, the modules' commands, and where the
// user guide is. F1 at a terminal shows it too, at any prompt.
void showHelp();

// Adds one of the host's own commands (`name` in upper case): modal, and no undo group of its own
// (none of them changes the drawing, and U must not record itself). HELP shows it with what it does.
void addHostCommand(const wchar_t* name, void (*function)(), const char* english, const char* chinese);

}  // namespace zrxhost
