// The editor's own commands: U, UNDO and REDO over the drawing's undo history, and HELP.
#include "zrxhost/host_commands.h"

#include <algorithm>
#include <string>

#include "zrx/db.h"
#include "zrx/ed.h"
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
  return db ? &db->undoHistory() : nullptr;
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

void helpCommand() {
  Session& session = Session::instance();
  say(HostMessage::kHelpHeading);
  session.print("\n" + hostMessage(HostMessage::kHelpHostCommands));
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  std::vector<std::string> moduleCommands;
  if (stack) {
    for (const auto& command : stack->registeredCommands()) {
      if (command->isUndefined() || command->groupName() == ZcString(kHostCommandGroup)) continue;
      std::string name = utf16ToUtf8(wideToUtf16(command->globalName()));
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
      moduleCommands.push_back(name);
    }
  }
  if (!moduleCommands.empty()) {
    say(HostMessage::kHelpModuleCommands);
    for (const std::string& name : moduleCommands) session.print("\n  " + name);
  }
  say(HostMessage::kHelpScripts);
}

}  // namespace

void addHostCommand(const wchar_t* name, void (*function)()) {
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  if (!stack) return;
  stack->addCommand(kHostCommandGroup, name, name, ZcEdCommandFlags::kModal | ZcEdCommandFlags::kNoUndoMarker,
                    function);
}

void registerEditorCommands() {
  addHostCommand(L"U", uCommand);
  addHostCommand(L"UNDO", undoCommand);
  addHostCommand(L"REDO", redoCommand);
  addHostCommand(L"HELP", helpCommand);
}

}  // namespace zrxhost
