// SAVE, SAVEAS and QUIT: saving the drawing from the command line and leaving without losing work.
#include "drawing_commands.h"

#include <filesystem>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"
#include "zrxhost/host_commands.h"
#include "zrxhost/messages.h"
#include "zrxhost/progress.h"
#include "zrxhost/session.h"
#include "zrxhost/undo.h"

namespace zrxhost::app {
namespace {

DrawingFile* gFile = nullptr;

void say(HostMessage message, std::string_view argument = {}) {
  Session::instance().print("\n" + hostMessage(message, argument));
}

std::wstring wide(const std::string& utf8) {
  return utf16ToWide(utf8ToUtf16(utf8));
}

// Saves `file` to `path` and makes it the drawing's file; reports either way.
bool saveTo(DrawingFile& file, const std::string& path) {
  std::string error;
  if (!saveDrawing(*file.db, path, error)) {
    say(HostMessage::kSaveFailed, error);
    return false;
  }
  file.saveTarget = path;
  say(HostMessage::kSaved, path);
  return true;
}

// Asks for a file name; empty when the user gave none.
std::string askFileName() {
  wchar_t answer[4096] = {};
  const std::wstring prompt = wide("\n" + hostMessage(HostMessage::kSaveAsPrompt));
  if (zcedGetString(1, prompt.c_str(), answer, sizeof answer / sizeof answer[0]) != RTNORM || !answer[0]) return {};
  return drawingFileName(utf16ToUtf8(wideToUtf16(answer)));
}

void saveCommand() {
  if (gFile->saveTarget.empty()) {
    say(HostMessage::kNoFileName);
    return;
  }
  saveTo(*gFile, gFile->saveTarget);
}

void saveAsCommand() {
  const std::string path = askFileName();
  if (!path.empty()) saveTo(*gFile, path);
}

void quitCommand() {
  if (mayEndSession(*gFile)) Session::instance().requestEnd();
}

}  // namespace

std::string drawingFileName(std::string name) {
  std::error_code ignored;
  // A folder is left as named: the save then says why it cannot write there.
  if (!name.empty() && std::filesystem::path(name).extension().empty() && !std::filesystem::is_directory(name, ignored))
    name += ".dxf";
  return name;
}

bool saveDrawing(ZcDbDatabase& db, const std::string& path, std::string& error) {
  Progress progress(hostMessage(HostMessage::kProgressSaving, path));
  DxfError dxfError;
  if (!writeDxf(db, path, dxfError, [&](double fraction) { progress.set(fraction); })) {
    error = dxfError.message;
    return false;
  }
  zrxhost::undoHistory(db).markSaved();
  return true;
}

bool keepsNoUnsavedWork(DrawingFile& file, const SaveQuestion& askToSave, const FileQuestion& askFile) {
  if (file.saveAsTarget || file.changesDiscarded || !zrxhost::undoHistory(*file.db).modifiedSinceSave()) return true;
  const std::optional<bool> save = askToSave();
  if (!save) return false;
  if (!*save) {
    say(HostMessage::kChangesDiscarded);
    file.changesDiscarded = true;
    return true;
  }
  const std::string path = file.saveTarget.empty() ? askFile() : file.saveTarget;
  return !path.empty() && saveTo(file, path);
}

bool mayEndSession(DrawingFile& file) {
  Session& session = Session::instance();
  InputSource* input = session.input();
  if (!input || !input->isInteractive()) return true;
  return keepsNoUnsavedWork(
      file,
      [&]() -> std::optional<bool> {
        // After Ctrl-D the terminal can still answer this one question; input that cannot is a No.
        if (session.inputEnded() && !session.resumeInput()) return false;
        const std::string name = file.saveTarget.empty() ? std::string("Drawing") : file.saveTarget;
        zcedInitGet(0, L"Yes No Cancel");
        wchar_t keyword[16] = {};
        const std::wstring prompt = wide("\n" + hostMessage(HostMessage::kSaveChangesPrompt, name));
        const int status = zcedGetKword(prompt.c_str(), keyword, sizeof keyword / sizeof keyword[0]);
        if (status == RTNONE || (status == RTNORM && std::wstring(keyword) == L"Yes")) return true;
        // The user ended the input at the question too: that is a No, or the session could never end.
        if ((status == RTNORM && std::wstring(keyword) == L"No") || session.inputEnded()) return false;
        return std::nullopt;
      },
      askFileName);
}

void registerDrawingCommands(DrawingFile& file) {
  gFile = &file;
  addHostCommand(L"SAVE", saveCommand, "save the drawing to its file", "将图形保存到其文件");
  addHostCommand(L"SAVEAS", saveAsCommand, "save the drawing to a new file", "将图形另存为新文件");
  addHostCommand(L"QUIT", quitCommand, "end the session", "结束会话");
}

}  // namespace zrxhost::app
