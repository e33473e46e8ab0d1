// The commands and toggles of the drafting aids: OSNAP, ORTHO, SNAP, GRID and their echoes.
#include <cstdio>
#include <string>

#include "ed/drafting.h"
#include "ed/parse.h"
#include "zrx/ed.h"
#include "zrxhost/host_commands.h"
#include "zrxhost/messages.h"
#include "zrxhost/session.h"

namespace zrxhost {
namespace {

struct AidInfo {
  const char* variable;  // the switch
  const char* english;   // as the echo names it: <Ortho on>
  const char* chinese;
};

constexpr AidInfo kAids[] = {
    {"OSMODE", "Osnap", "对象捕捉"},
    {"ORTHOMODE", "Ortho", "正交"},
    {"SNAPMODE", "Snap", "捕捉"},
    {"GRIDMODE", "Grid", "栅格"},
};

int intVar(const char* name) {
  int value = 0;
  if (auto text = Session::instance().sysVar(name)) ed::parseInt(*text, value);
  return value;
}

std::wstring wide(const std::string& utf8) {
  return utf16ToWide(utf8ToUtf16(utf8));
}

std::string formatNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

void echo(DraftingAid aid, bool on) {
  const AidInfo& info = kAids[static_cast<int>(aid)];
  const std::string name = textInLanguage(info.english, info.chinese);
  Session::instance().print("\n<" + name + " " + textInLanguage(on ? "on" : "off", on ? "开" : "关") + ">");
}

void setSwitch(DraftingAid aid, bool on) {
  Session& session = Session::instance();
  if (aid == DraftingAid::kOsnap) {
    const int modes = intVar("OSMODE");
    session.setSysVar("OSMODE", std::to_string(on ? modes & ~ed::kOsnapSuppressed : modes | ed::kOsnapSuppressed));
  } else {
    session.setSysVar(kAids[static_cast<int>(aid)].variable, on ? "1" : "0");
  }
  echo(aid, on);
}

// ORTHO: on or off.
void orthoCommand() {
  const bool on = isAidOn(DraftingAid::kOrtho);
  zcedInitGet(0, L"ON OFF");
  wchar_t answer[8] = {};
  const std::string prompt = textInLanguage("\nEnter mode [ON/OFF] <{}>: ", "\n输入模式 [开(ON)/关(OFF)] <{}>: ",
                                            on ? textInLanguage("ON", "开") : textInLanguage("OFF", "关"));
  if (zcedGetKword(wide(prompt).c_str(), answer, 8) != RTNORM) return;
  setSwitch(DraftingAid::kOrtho, std::wstring(answer) == L"ON");
}

// SNAP and GRID: a spacing (which turns the aid on), or ON or OFF.
void spacingCommand(DraftingAid aid, const char* unitVariable, const char* english, const char* chinese) {
  double spacing = 10;
  if (auto text = Session::instance().sysVar(unitVariable)) ed::parseReal(*text, spacing);
  zcedInitGet(RSG_NOZERO | RSG_NONEG, L"ON OFF");
  double value = 0;
  const int status =
      zcedGetDist(nullptr, wide(textInLanguage(english, chinese, formatNumber(spacing))).c_str(), &value);
  if (status == RTKWORD) {
    wchar_t answer[8] = {};
    zcedGetInput(answer, 8);
    setSwitch(aid, std::wstring(answer) == L"ON");
  } else if (status == RTNORM) {
    Session::instance().setSysVar(unitVariable, formatNumber(value));
    setSwitch(aid, true);
  }
}

void snapCommand() {
  spacingCommand(DraftingAid::kSnap, "SNAPUNIT",
                 "\nSpecify snap spacing or [ON/OFF] <{}>: ", "\n指定捕捉间距或 [开(ON)/关(OFF)] <{}>: ");
}

void gridCommand() {
  spacingCommand(DraftingAid::kGrid, "GRIDUNIT",
                 "\nSpecify grid spacing or [ON/OFF] <{}>: ", "\n指定栅格间距或 [开(ON)/关(OFF)] <{}>: ");
}

// The running modes as typed: END,CEN,INS (NONE for none).
std::string modeList(int modes) {
  size_t count = 0;
  const ed::SnapMode* all = ed::snapModes(count);
  std::string list;
  for (size_t i = 0; i < count; ++i) {
    if (modes & all[i].bit) list += (list.empty() ? "" : ",") + std::string(all[i].name);
  }
  return list.empty() ? "NONE" : list;
}

// OSNAP: the running object snaps as a list of modes; a mode it does not know is refused and asked
// again, the modes as they were.
void osnapCommand() {
  Session& session = Session::instance();
  const int current = intVar("OSMODE");
  std::string prompt = textInLanguage("\nEnter list of object snap modes <{}>: ", "\n输入对象捕捉模式列表 <{}>: ",
                                      modeList(current & ~ed::kOsnapSuppressed));
  while (true) {
    std::optional<std::string> answer = session.readAnswer(prompt);
    if (!answer) return;
    std::string_view rest = ed::trim(*answer);
    if (rest.empty()) return;
    int modes = 0;
    std::string refused;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string_view word = ed::trim(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      const int bit = ed::trim(word) == "OFF" || ed::trim(word) == "off" ? 0 : ed::snapBitNamed(word);
      if (bit < 0 && refused.empty()) refused = std::string(word);
      if (bit > 0) modes |= bit;
    }
    if (refused.empty()) {
      session.setSysVar("OSMODE", std::to_string(modes));
      return;
    }
    session.print(textInLanguage(
        "\nUnknown object snap mode \"{}\": use END, MID, CEN, NOD, QUA, INT, INS, PER, NEA or NONE.",
        "\n未知的对象捕捉模式“{}”：请用 END、MID、CEN、NOD、QUA、INT、INS、PER、NEA 或 NONE。", refused));
    prompt = session.retryPrompt(prompt);
  }
}

}  // namespace

bool isAidOn(DraftingAid aid) {
  if (aid == DraftingAid::kOsnap) return (intVar("OSMODE") & ed::kOsnapSuppressed) == 0;
  return intVar(kAids[static_cast<int>(aid)].variable) == 1;
}

void toggleAid(DraftingAid aid) {
  setSwitch(aid, !isAidOn(aid));
}

void registerDraftingCommands() {
  addHostCommand(L"OSNAP", osnapCommand, "set the running object snaps (END,CEN,INS...)",
                 "设置执行对象捕捉（END,CEN,INS...）");
  addHostCommand(L"ORTHO", orthoCommand, "turn ortho on or off (F8)", "打开或关闭正交（F8）");
  addHostCommand(L"SNAP", snapCommand, "set the snap spacing, or snap on or off (F9)",
                 "设置捕捉间距，或打开、关闭捕捉（F9）");
  addHostCommand(L"GRID", gridCommand, "set the grid spacing, or grid on or off (F7)",
                 "设置栅格间距，或打开、关闭栅格（F7）");
}

}  // namespace zrxhost
