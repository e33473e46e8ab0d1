// The editor's own commands: U, UNDO and REDO over the drawing's undo history, and HELP.
#include "zrxhost/host_commands.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/messages.h"
#include "zrxhost/session.h"
#include "zrxhost/undo.h"

namespace zrxhost {
namespace {

void say(HostMessage message, std::string_view argument = {}) {
  Session::instance().print("\n" + hostMessage(message, argument));
}

UndoHistory* workingHistory() {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  return db ? &zrxhost::undoHistory(*db) : nullptr;
}

void undoCommands(int count) {
  UndoHistory* history = workingHistory();
  if (!history) return;
  std::vector<std::string> undone = history->undo(count);
  for (const std::string& name : undone) say(HostMessage::kUndone, name);
  if (history->undoableGroups() == 0) say(HostMessage::kEverythingUndone);
}

void uCommand() {
  undoCommands(1);
}

void undoCommand() {
  int count = 1;
  zcedInitGet(RSG_NOZERO | RSG_NONEG, nullptr);
  const int status = zcedGetInt(utf16ToWide(utf8ToUtf16("\n" + hostMessage(HostMessage::kUndoCount))).c_str(), &count);
  if (status == RTNONE)
    count = 1;
  else if (status != RTNORM)
    return;
  undoCommands(count);
}

void redoCommand() {
  UndoHistory* history = workingHistory();
  std::vector<std::string> redone = history ? history->redo() : std::vector<std::string>{};
  if (redone.empty()) say(HostMessage::kNothingToRedo);
  for (const std::string& name : redone) say(HostMessage::kRedone, name);
}

// What each of the host's commands does, for HELP, as whoever added it said (the editor, the terminal
// program, the window), by upper-case name. A host command added otherwise is shown bare.
struct CommandDescription {
  const char* english;
  const char* chinese;
};

std::map<std::string, CommandDescription>& descriptions() {
  static std::map<std::string, CommandDescription> byName;
  return byName;
}

std::string describe(const std::string& name) {
  const auto found = descriptions().find(name);
  if (found == descriptions().end()) return {};
  return hostSpeaksChinese() ? found->second.chinese : found->second.english;
}

// The columns `utf8` takes at a terminal: two for East Asian wide characters (Chinese, kana, Hangul,
// full-width forms, and those beyond the first plane), one for the rest.
size_t displayWidth(const std::string& utf8) {
  size_t width = 0;
  for (const char16_t c : utf8ToUtf16(utf8)) {
    if ((c & 0xfc00) == 0xdc00) continue;  // the second half of a surrogate pair, counted with the first
    const bool wide = (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf) || (c >= 0xac00 && c <= 0xd7a3) ||
                      (c >= 0xf900 && c <= 0xfaff) || (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60) ||
                      (c >= 0xffe0 && c <= 0xffe6) || (c & 0xfc00) == 0xd800;
    width += wide ? 2 : 1;
  }
  return width;
}

void helpCommand() {
  showHelp();
}

}  // namespace

void showHelp() {
  Session& session = Session::instance();
  // The host's commands with what each does, then the modules' by name: in one column, wide enough
  // for the longest name (a module's may hold Chinese, two columns a character).
  std::vector<std::pair<std::string, std::string>> hostCommands;
  std::vector<std::string> moduleCommands;
  size_t nameWidth = 0;
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  if (stack) {
    for (const auto& command : stack->registeredCommands()) {
      if (command->isUndefined()) continue;
      std::string name = utf16ToUtf8(wideToUtf16(command->globalName()));
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
      nameWidth = std::max(nameWidth, displayWidth(name));
      if (command->groupName() == ZcString(kHostCommandGroup))
        hostCommands.emplace_back(name, describe(name));
      else
        moduleCommands.push_back(name);
    }
  }
  const size_t column = std::max<size_t>(nameWidth + 2, 18);
  say(HostMessage::kHelpHeading);
  for (const auto& [name, description] : hostCommands) {
    std::string line = "\n  " + name;
    if (!description.empty()) line += std::string(column - displayWidth(name), ' ') + description;
    session.print(line);
  }
  if (!moduleCommands.empty()) {
    say(HostMessage::kHelpModuleCommands);
    for (const std::string& name : moduleCommands) session.print("\n  " + name);
  }
  say(HostMessage::kHelpScripts);
  say(HostMessage::kHelpGuide);
}

void addHostCommand(const wchar_t* name, void (*function)(), const char* english, const char* chinese) {
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  if (!stack) return;
  stack->addCommand(kHostCommandGroup, name, name, ZcEdCommandFlags::kModal | ZcEdCommandFlags::kNoUndoMarker,
                    function);
  descriptions()[utf16ToUtf8(wideToUtf16(name))] = {english, chinese};
}

void registerEditorCommands() {
  addHostCommand(L"U", uCommand, "undo the last command", "放弃上一个命令");
  addHostCommand(L"UNDO", undoCommand, "undo a number of commands", "放弃若干个命令");
  addHostCommand(L"REDO", redoCommand, "redo what the last U or UNDO took back", "重做上一次 U 或 UNDO 放弃的操作");
  addHostCommand(L"HELP", helpCommand, "this list (also F1)", "本列表（也可按 F1）");
  registerDraftingCommands();
}

}  // namespace zrxhost
