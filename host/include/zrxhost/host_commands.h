// The commands the host itself offers at its command line.
#pragma once

namespace zrxhost {

// The command group of the host's own commands.
inline constexpr const wchar_t* kHostCommandGroup = L"ZRXHOST";

// Registers U, UNDO, REDO and HELP (idempotent).
void registerEditorCommands();

}  // namespace zrxhost
