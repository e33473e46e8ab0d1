// The host's message table: every text the host itself shows, in English and Simplified Chinese.
#include "zrxhost/messages.h"

#include "zrxhost/session.h"

namespace zrxhost {
namespace {

// In the order of HostMessage, checked at compile time below.
constexpr BilingualText<HostMessage> kTexts[] = {
    {HostMessage::kCommandPrompt, "Command: ", "命令: "},
    {HostMessage::kUnknownCommand, "Unknown command \"{}\".  Press F1 for help.", "未知命令“{}”。按 F1 查看帮助。"},
    {HostMessage::kCancel, "*Cancel*", "*取消*"},
    {HostMessage::kCommandFailed, "Command failed.", "命令失败。"},
    {HostMessage::kCommandFailedBecause, "Command failed: {}", "命令失败：{}"},
    {HostMessage::kValueRequired, "A value is required.", "需要一个值。"},
    {HostMessage::kValuePositiveNonzero, "Value must be positive and nonzero.", "值必须为正且非零。"},
    {HostMessage::kValueNonzero, "Value must be nonzero.", "值必须非零。"},
    {HostMessage::kValuePositive, "Value must be positive.", "值必须为正。"},
    {HostMessage::kRequiresInteger, "Requires an integer value.", "需要整数值。"},
    {HostMessage::kValueOutOfRange, "Value out of range.", "值超出范围。"},
    {HostMessage::kRequiresNumber, "Requires a numeric value.", "需要数值。"},
    {HostMessage::kRequiresDistance, "Requires numeric distance or two points.", "需要数值距离或两个点。"},
    {HostMessage::kRequiresAngle, "Requires numeric angle or two points.", "需要数值角度或两个点。"},
    {HostMessage::kInvalidPoint, "Invalid point.", "点无效。"},
    {HostMessage::kInvalidKeyword, "Invalid option keyword.", "选项关键字无效。"},
    {HostMessage::kInvalidSelection, "*Invalid selection*", "*无效选择*"},
    {HostMessage::kSecondPoint, "Specify second point: ", "指定第二个点: "},
    {HostMessage::kBanner,
     "Type a command name at the prompt (HELP lists them); Esc cancels, U undoes, Ctrl-D ends the session.",
     "在提示下输入命令名（HELP 列出全部命令）；Esc 取消，U 放弃，Ctrl-D 结束会话。"},
    {HostMessage::kUndone, "Undone: {}", "已放弃：{}"},
    {HostMessage::kEverythingUndone, "Everything has been undone", "已全部放弃"},
    {HostMessage::kNothingToRedo, "Nothing to redo.", "没有可重做的操作。"},
    {HostMessage::kRedone, "Redone: {}", "已重做：{}"},
    {HostMessage::kUndoCount, "Enter the number of operations to undo <1>: ", "输入要放弃的操作数目 <1>: "},
    {HostMessage::kHelpHeading, "Commands:", "命令："},
    {HostMessage::kHelpModuleCommands, "Commands of the loaded modules:", "已加载模块的命令："},
    {HostMessage::kHelpScripts, "Enter at Command: repeats the last command; Esc cancels the running command.",
     "在“命令:”提示下按 Enter 重复上一个命令；Esc 取消正在运行的命令。"},
    {HostMessage::kHelpGuide, "The user guide is docs/user-guide.md, beside README.md, in zrxhost's source.",
     "用户指南是 zrxhost 源代码中的 docs/user-guide.md（与 README.md 同在）。"},
    {HostMessage::kSaved, "Saved {}", "已保存 {}"},
    {HostMessage::kSaveFailed, "The drawing was not saved: {}", "图形未保存：{}"},
    {HostMessage::kSaveAsPrompt, "Save drawing as: ", "图形另存为: "},
    {HostMessage::kNoFileName, "The drawing has no file name yet: use SAVEAS.", "图形尚无文件名：请使用 SAVEAS。"},
    {HostMessage::kSaveChangesPrompt,
     "Save changes to {}? [Yes/No/Cancel] <Yes>: ", "是否将改动保存到 {}? [是(Y)/否(N)/取消(C)] <是>: "},
    {HostMessage::kChangesDiscarded, "The changes were discarded.", "改动已放弃。"},
    {HostMessage::kProgressReading, "Reading {}", "正在读取 {}"},
    {HostMessage::kProgressSaving, "Saving {}", "正在保存 {}"},
    {HostMessage::kProgressObjectsAdded, "{} objects added", "已添加 {} 个对象"},
    {HostMessage::kSelectObjects, "Select objects: ", "选择对象: "},
    {HostMessage::kRemoveObjects, "Remove objects: ", "删除对象: "},
    {HostMessage::kFirstCorner, "Specify first corner: ", "指定第一个角点: "},
    {HostMessage::kOppositeCorner, "Specify opposite corner: ", "指定对角点: "},
    {HostMessage::kFirstFencePoint, "Specify first fence point: ", "指定第一个栏选点: "},
    {HostMessage::kNextFencePoint, "Specify next fence point: ", "指定下一个栏选点: "},
    {HostMessage::kFound, "{} found", "找到 {} 个"},
    {HostMessage::kFoundTotal, "{} found, {} total", "找到 {} 个，总计 {} 个"},
    {HostMessage::kFoundDuplicates, "{} found ({} duplicate), {} total", "找到 {} 个（{} 个重复），总计 {} 个"},
    {HostMessage::kRemovedTotal, "{} removed, {} total", "删除 {} 个，剩余 {} 个"},
    {HostMessage::kFilteredOut, "Filtered out: {}.", "已过滤掉 {} 个。"},
    {HostMessage::kNoPreviousSet, "No previous selection set.", "没有上一个选择集。"},
    {HostMessage::kSelectionWords, "Expects a point or Window(W)/Crossing(C)/Fence(F)/ALL/Previous(P)/Remove(R)/Add(A)",
     "需要点或 窗口(W)/窗交(C)/栏选(F)/全部(ALL)/上一个(P)/删除(R)/添加(A)"},
};

static_assert(listsEveryIdInOrder(kTexts), "kTexts must list every HostMessage once, in order");

}  // namespace

bool hostSpeaksChinese() {
  std::optional<std::string> language = Session::instance().sysVar("VERLAN");
  return language && *language == "zh-CN";
}

std::string textInLanguage(const char* english, const char* chinese, std::string_view argument) {
  return textInLanguage(english, chinese, {argument});
}

std::string textInLanguage(const char* english, const char* chinese,
                           std::initializer_list<std::string_view> arguments) {
  const std::string_view pattern = hostSpeaksChinese() ? chinese : english;
  std::string text;
  size_t from = 0;
  // An argument is put in as it is: a "{}" inside it is no slot.
  for (std::string_view argument : arguments) {
    const size_t slot = pattern.find("{}", from);
    if (slot == std::string_view::npos) break;
    text.append(pattern, from, slot - from).append(argument);
    from = slot + 2;
  }
  return text.append(pattern, from);
}

std::string hostMessage(HostMessage message, std::string_view argument) {
  const BilingualText<HostMessage>& texts = kTexts[static_cast<int>(message)];
  return textInLanguage(texts.english, texts.chinese, argument);
}

std::string hostMessage(HostMessage message, std::initializer_list<std::string_view> arguments) {
  const BilingualText<HostMessage>& texts = kTexts[static_cast<int>(message)];
  return textInLanguage(texts.english, texts.chinese, arguments);
}

}  // namespace zrxhost
