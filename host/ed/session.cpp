// The editor session: input sources, the transcript, system variables, the command line, start-up.
#include "zrxhost/session.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "ed/parse.h"
#include "ed/picking.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/host_commands.h"
#include "zrxhost/messages.h"
#include "zrxhost/progress.h"
#include "zrxhost/undo.h"

namespace zrxhost {

// ---- ScriptInput

ScriptInput::ScriptInput(const std::string& text) {
  size_t start = 0;
  // A byte-order mark from an editor is not part of the first answer.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    bool last = end == std::string::npos;
    std::string line = text.substr(start, last ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (last && line.empty()) break;  // no phantom empty answer after the final line break
    std::string_view body = ed::trim(line);
    if (body.empty() || body[0] != '#') mLines.push_back(std::move(line));
    if (last) break;
    start = end + 1;
  }
}

std::unique_ptr<ScriptInput> ScriptInput::fromFile(const std::string& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = textInLanguage("is a folder, not a script", "是文件夹，不是脚本");
    return nullptr;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::filesystem::exists(path, code) ? textInLanguage("cannot be opened", "无法打开")
                                                : textInLanguage("no such file", "文件不存在");
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    error = "read error";
    return nullptr;
  }
  return std::make_unique<ScriptInput>(text.str());
}

std::optional<std::string> ScriptInput::nextLine(const std::string& prompt) {
  (void)prompt;
  if (mNext >= mLines.size()) return std::nullopt;
  return mLines[mNext++];
}

namespace {
std::string markedPoint(const char* mark, double x, double y) {
  return std::string("<") + mark + " " + ed::formatPoint(ZcGePoint3d(x, y, 0)) + ">";
}
}  // namespace

std::string moveLine(double x, double y) {
  return markedPoint("move", x, y);
}

std::string clickLine(double x, double y) {
  return markedPoint("click", x, y);
}

// ---- System variables

namespace {

enum class VarKind { kString, kShort, kReal, kPoint };

struct VarInfo {
  const char* name;
  VarKind kind;
  const char* defaultValue;
  int least = 0, most = 1;  // the range of a kShort
};

constexpr VarInfo kVars[] = {
    {"VERLAN", VarKind::kString, "en-US"},
    {"ORTHOMODE", VarKind::kShort, "0"},
    {"PICKBOX", VarKind::kReal, "0.5"},
    {"TILEMODE", VarKind::kShort, "1"},
    {"LASTPOINT", VarKind::kPoint, "0,0,0"},
    {"FONTALT", VarKind::kString, "DejaVu Sans"},
    // Object snap modes by bit (1 endpoint ... 512 nearest; 16384 suspends them).
    {"OSMODE", VarKind::kShort, "0", 0, 32767},
    {"APERTURE", VarKind::kShort, "10", 1, 50},
    {"SNAPMODE", VarKind::kShort, "0"},
    {"SNAPUNIT", VarKind::kReal, "10"},
    {"GRIDMODE", VarKind::kShort, "0"},
    {"GRIDUNIT", VarKind::kReal, "10"},
};

const VarInfo* findVar(const std::string& upperName) {
  for (const VarInfo& v : kVars) {
    if (upperName == v.name) return &v;
  }
  return nullptr;
}

std::string upperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

ZcDbDatabase* workingDatabase() {
  return zcdbHostApplicationServices()->workingDatabase();
}

}  // namespace

struct Session::Vars {
  std::map<std::string, std::string> values;
  void reset() {
    values.clear();
    for (const VarInfo& v : kVars) values[v.name] = v.defaultValue;
  }
};

Session::Session() : mOut(&std::cout), mVars(std::make_shared<Vars>()) {
  mVars->reset();
}

Session& Session::instance() {
  static Session session;
  return session;
}

void Session::setInput(std::unique_ptr<InputSource> input) {
  mInput = std::move(input);
  mInputEnded = false;
}

void Session::setTranscript(std::ostream* out) {
  mOut = out ? out : &std::cout;
}

std::ostream& Session::transcript() {
  return *mOut;
}

void Session::print(const std::string& utf8) {
  if (const size_t lastBreak = utf8.rfind('\n'); lastBreak != std::string::npos) {
    mLineTail.assign(utf8, lastBreak + 1);
  } else {
    mLineTail += utf8;
  }
  *mOut << utf8;
  // A terminal user must see a prompt before typing; a string stream has nothing to gain from it.
  if (mOut == &std::cout) mOut->flush();
}

std::optional<std::string> Session::sysVar(const std::string& name) const {
  std::string key = upperAscii(name);
  const VarInfo* info = findVar(key);
  if (!info) return std::nullopt;
  if (key == "TILEMODE") {
    if (ZcDbDatabase* db = workingDatabase()) return db->tileMode() ? "1" : "0";
  }
  auto it = mVars->values.find(key);
  return it == mVars->values.end() ? std::string(info->defaultValue) : it->second;
}

bool Session::setSysVar(const std::string& name, const std::string& value) {
  std::string key = upperAscii(name);
  const VarInfo* info = findVar(key);
  if (!info) return false;
  std::string stored = value;
  switch (info->kind) {
    case VarKind::kString:
      break;
    case VarKind::kShort: {
      int v = 0;
      if (!ed::parseInt(value, v) || v < info->least || v > info->most) return false;
      stored = std::to_string(v);
      if (key == "TILEMODE") {
        if (ZcDbDatabase* db = workingDatabase()) db->setTileMode(v == 1);
      }
      break;
    }
    case VarKind::kReal: {
      double v = 0;
      // A spacing of the grid or the snap must be more than nothing; the pick box may be nothing.
      if (!ed::parseReal(value, v) || v < 0 || (v == 0 && key != "PICKBOX")) return false;
      stored = std::string(ed::trim(value));
      break;
    }
    case VarKind::kPoint: {
      ZcGePoint3d p;
      if (!ed::parsePoint(value, ZcGePoint3d::kOrigin, p) || ed::trim(value).substr(0, 1) == "@") return false;
      stored = ed::formatPoint(p);
      break;
    }
  }
  mVars->values[key] = stored;
  return true;
}

// ---- Input

namespace {

bool sameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// While the user answers, the running command's progress line gives way.
class PausedWhileAsking {
 public:
  explicit PausedWhileAsking(Progress* progress) : mProgress(progress) {
    if (mProgress) mProgress->pause();
  }
  ~PausedWhileAsking() {
    if (mProgress) mProgress->resume();
  }
  PausedWhileAsking(const PausedWhileAsking&) = delete;
  PausedWhileAsking& operator=(const PausedWhileAsking&) = delete;

 private:
  Progress* mProgress;
};

}  // namespace

void Session::noteCursor(std::string_view text) {
  ZcGePoint3d p;
  if (ed::parsePoint(text, ed::lastPoint(), p)) mCursor = p;
}

Session::InputLine Session::readLine(const std::string& prompt, bool moves, bool commandPrompt) {
  if (!mPendingAnswers.empty()) {
    // Given with the command's name: shown as if typed at this prompt.
    std::string text = std::move(mPendingAnswers.front());
    mPendingAnswers.pop_front();
    print(prompt + text);
    return {LineKind::kText, std::move(text)};
  }
  const bool echo = !mInput || mInput->echoes();
  if (echo) print(prompt);
  const PausedWhileAsking paused(mCommandProgress);
  while (true) {
    std::optional<std::string> line;
    if (!mInputEnded && mInput) line = mInput->nextLine(prompt);
    if (!line) {
      mInputEnded = true;
      if (!commandPrompt) print(hostMessage(HostMessage::kCancel));
      return {LineKind::kEnd, {}};
    }
    std::string text = std::move(*line);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::string_view body = ed::trim(text);
    const bool interrupt = sameAscii(body, kInterruptLine);
    if (interrupt || sameAscii(body, kEscapeLine)) {
      if (!(interrupt && commandPrompt)) print(hostMessage(HostMessage::kCancel));
      return {LineKind::kCancel, std::string(body)};
    }
    if (body.size() >= 7 && body.substr(0, 6) == "<move " && body.back() == '>') {
      noteCursor(body.substr(6, body.size() - 7));
      if (moves) return {LineKind::kMove, std::string(ed::trim(body.substr(6, body.size() - 7)))};
      continue;  // the cursor moved without a click: nothing for a prompt that takes no drag
    }
    bool clicked = false;
    if (body.size() >= 8 && body.substr(0, 7) == "<click " && body.back() == '>') {
      // Shown and answered as the point itself, as CAD command lines echo a picked point.
      text = std::string(ed::trim(body.substr(7, body.size() - 8)));
      clicked = true;
      noteCursor(text);
    }
    if (echo) print(text);
    // The user pressed Enter: the terminal's cursor is at the start of a new line.
    if (!echo) mLineTail.clear();
    return {LineKind::kText, std::move(text), clicked};
  }
}

double Session::snapAperture() const {
  double aperture = 10;
  if (auto text = sysVar("APERTURE")) ed::parseReal(*text, aperture);
  return mPixelSize > 0 ? aperture * mPixelSize : aperture;
}

bool Session::sysVarIsReal(const std::string& name) {
  const VarInfo* info = findVar(upperAscii(name));
  return info && info->kind == VarKind::kReal;
}

double Session::pickAperture() const {
  double aperture = 0.5;
  if (auto text = sysVar("PICKBOX")) ed::parseReal(*text, aperture);
  return mPixelSize > 0 ? aperture * mPixelSize : aperture;
}

std::string Session::retryPrompt(const std::string& prompt) const {
  if (prompt.empty()) return "\n" + mLineTail;
  return prompt.front() == '\n' ? prompt : "\n" + prompt;
}

bool Session::resumeInput() {
  if (!mInput || !mInput->resume()) return false;
  mInputEnded = false;
  return true;
}

std::optional<std::string> Session::readAnswer(const std::string& prompt) {
  InputLine line = readLine(prompt, false);
  if (line.kind != LineKind::kText) return std::nullopt;
  return std::move(line.text);
}

// ---- The command line

namespace {

std::string upperName(const std::wstring& wide) {
  std::wstring shown = wide;
  for (wchar_t& c : shown) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return utf16ToUtf8(wideToUtf16(shown));
}

}  // namespace

void Session::runCommandLine() {
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  mEndRequested = false;
  while (!mEndRequested) {
    mPendingAnswers.clear();
    // The prompt stands on a line of its own, whatever the last command left on the line.
    InputLine line = readLine("\n" + hostMessage(HostMessage::kCommandPrompt), false, true);
    if (line.kind == LineKind::kEnd) break;
    if (line.kind == LineKind::kCancel) continue;
    std::string_view typed = ed::trim(line.text);
    std::string name(typed.substr(0, typed.find(' ')));
    if (name.size() < typed.size()) mPendingAnswers.emplace_back(ed::trim(typed.substr(name.size())));
    if (name.empty()) {
      // Enter repeats the last command, as at any CAD command line.
      if (mLastCommand.empty()) continue;
      name = mLastCommand;
      if (mInput && mInput->echoes()) print(name);
    }
    std::wstring wide = utf16ToWide(utf8ToUtf16(name));
    ed::resetInputState();
    ZcEdCommand* command = stack ? stack->lookupCmd(wide.c_str()) : nullptr;
    if (!command || command->isUndefined()) {
      print("\n" + hostMessage(HostMessage::kUnknownCommand, upperName(wide)));
      continue;
    }
    mLastCommand = name;
    ZcDbDatabase* db = workingDatabase();
    const bool recorded = db && !(command->commandFlags() & ZcEdCommandFlags::kNoUndoMarker);
    if (recorded) zrxhost::undoHistory(*db).beginGroup(upperName(wide));
    {
      // Work that runs long between prompts (a command writing many objects) shows how far it is.
      Progress progress(
          upperName(wide), [db] { return db ? zrxhost::undoHistory(*db).objectsAddedInGroup() : 0; },
          hostMessage(HostMessage::kProgressObjectsAdded, "{}"));
      mCommandProgress = &progress;
      stack->run(wide.c_str());
      mCommandProgress = nullptr;
    }
    // The command may have replaced the working drawing; its group ends in the one it began in.
    if (recorded) zrxhost::undoHistory(*db).endGroup();
  }
  mPendingAnswers.clear();
  print("\n");
}

void Session::reset() {
  mVars->reset();
  mInput.reset();
  mInputEnded = false;
  mEndRequested = false;
  mLineTail.clear();
  mPendingAnswers.clear();
  mLastCommand.clear();
  mCommandProgress = nullptr;
  mDragLogs.clear();
  mRecordDrags = false;
  mActiveDrag = nullptr;
  mPixelSize = 0;
  mCursor.reset();
  mRequest = Request::kOther;
  mSelectionFeedback.highlight.clear();
  mSelectionFeedback.band = Band::kNone;
  ed::resetInputState();
  ed::forgetSelections();
}

// ---- Start-up

void initializeHost(ZcDbDatabase* workingDatabase) {
  // The runtime's own classes, then the database's, so that the tree exists before any module adds
  // classes under them.
  (void)zcrxSysRegistry();
  ZcRxObject::desc();
  ZcRxDictionary::desc();
  ZcRxDynamicLinker::desc();
  ZcEdCommand::desc();
  ZcEdCommandStack::desc();
  ZcEdJig::desc();
  ZcDbDatabase::desc();
  ZcDbObject::desc();
  ZcDbEntity::desc();
  ZcDbForeignEntity::desc();
  ZcDbText::desc();
  ZcDbMText::desc();
  ZcDbBlockReference::desc();
  ZcDbLine::desc();
  ZcDb3dPolyline::desc();
  ZcDbSymbolTable::desc();
  ZcDbSymbolTableRecord::desc();
  ZcDbBlockTable::desc();
  ZcDbBlockTableRecord::desc();
  ZcDbLayerTable::desc();
  ZcDbLayerTableRecord::desc();
  ZcDbTextStyleTable::desc();
  ZcDbTextStyleTableRecord::desc();

  ZcDbHostApplicationServices* services = zcdbHostApplicationServices();
  if (workingDatabase) {
    services->setWorkingDatabase(workingDatabase);
  } else if (!services->workingDatabase()) {
    // Owned by the host for the rest of the process: the document and every open id refer to it.
    static std::unique_ptr<ZcDbDatabase> ownDatabase;
    ownDatabase = std::make_unique<ZcDbDatabase>(true);
    services->setWorkingDatabase(ownDatabase.get());
  }
  zcDocManagerPtr()->curDocument()->setDatabase(services->workingDatabase());
  registerEditorCommands();
}

}  // namespace zrxhost
