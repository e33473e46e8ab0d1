// The catalogue of retally's texts, in both languages, chosen by VERLAN at the start of each run.
#include "retally/command/retally_messages.h"

#include "module/host.h"

namespace {

struct Entry {
  RetallyText id;
  const wchar_t* english;
  const wchar_t* englishOne;  // the English text for a count of one, where it differs
  const wchar_t* chinese;
};

// In the order of RetallyText, checked below.
constexpr Entry kEntries[] = {
    {RetallyText::kSelectPrompt, L"Select texts to renumber: ", nullptr, L"选择要重新编号的文字: "},
    {RetallyText::kRemovePrompt, L"Remove texts: ", nullptr, L"删除文字: "},
    {RetallyText::kSettings, L"Current settings: Order={}, Start={}, Increment={}, Digits={}, Place={}", nullptr,
     L"当前设置: 排序={}, 起始={}, 增量={}, 位数={}, 位置={}"},
    {RetallyText::kStartPrompt, L"Specify start number or [Order(O)/Increment(I)/Digits(D)/Place(P)/Tag(T)] <{}>: ",
     nullptr, L"指定起始编号或 [排序(O)/增量(I)/位数(D)/位置(P)/标记(T)] <{}>: "},
    {RetallyText::kOrderPrompt, L"Enter order [X/Y/Rows/Selection/Curve] <{}>: ", nullptr,
     L"输入排序方式 [X/Y/按行(R)/选择顺序(S)/沿曲线(C)] <{}>: "},
    {RetallyText::kIncrementPrompt, L"Specify increment <{}>: ", nullptr, L"指定增量 <{}>: "},
    {RetallyText::kDigitsPrompt, L"Specify least number of digits (0: as many as needed) <{}>: ", nullptr,
     L"指定最少位数 (0 表示按需) <{}>: "},
    {RetallyText::kPlacePrompt, L"Enter place of the number [Run/Overwrite/Prefix/Suffix] <{}>: ", nullptr,
     L"输入编号位置 [替换数字(R)/覆盖(O)/前缀(P)/后缀(S)] <{}>: "},
    {RetallyText::kTagPrompt, L"Specify tag of the attribute to renumber (* for the first holding a digit) <{}>: ",
     nullptr, L"指定要重新编号的属性标记 (* 表示第一个含数字的属性) <{}>: "},
    {RetallyText::kFirstWithDigit, L"first holding a digit", nullptr, L"第一个含数字的属性"},
    {RetallyText::kCurvePrompt, L"Select a line, polyline, arc, circle or spline to order along: ", nullptr,
     L"选择排序所沿的直线、多段线、圆弧、圆或样条曲线: "},
    {RetallyText::kNotACurve, L"That object is not a line, polyline, arc, circle or spline.", nullptr,
     L"所选对象不是直线、多段线、圆弧、圆或样条曲线。"},
    {RetallyText::kInvalidStart, L"Requires a whole number that is not negative, or one letter.", nullptr,
     L"需要一个非负整数或一个字母。"},
    {RetallyText::kStartTooLong, L"A start number can have at most {} digits.", nullptr,
     L"起始编号最多可有 {} 位数字。"},
    {RetallyText::kDigitsRange, L"The number of digits must be from 0 to 100.", nullptr, L"位数必须在 0 到 100 之间。"},
    {RetallyText::kNothingSelected, L"No texts were selected.", nullptr, L"未选择任何文字。"},
    {RetallyText::kRenumbered, L"{} texts renumbered, from {} to {}.", L"{} text renumbered, from {} to {}.",
     L"已重新编号 {} 个文字，从 {} 到 {}。"},
    {RetallyText::kNoneRenumbered, L"No texts were renumbered.", nullptr, L"没有文字被重新编号。"},
    {RetallyText::kNoNumber, L"{} texts have no number to replace.", L"{} text has no number to replace.",
     L"{} 个文字中没有可替换的编号。"},
    {RetallyText::kBelowZero, L"{} texts would go below zero and were left as they were.",
     L"{} text would go below zero and was left as it was.", L"{} 个文字的编号将小于零，已保持原样。"},
    {RetallyText::kRefused, L"{} texts could not be changed: the drawing refused them.",
     L"{} text could not be changed: the drawing refused it.", L"{} 个文字无法修改：图形拒绝了改动。"},
    {RetallyText::kOrderX, L"X", nullptr, L"X"},
    {RetallyText::kOrderY, L"Y", nullptr, L"Y"},
    {RetallyText::kOrderRows, L"Rows", nullptr, L"按行"},
    {RetallyText::kOrderSelection, L"Selection", nullptr, L"选择顺序"},
    {RetallyText::kOrderCurve, L"Curve", nullptr, L"沿曲线"},
    {RetallyText::kPlaceRun, L"Run", nullptr, L"替换数字"},
    {RetallyText::kPlaceOverwrite, L"Overwrite", nullptr, L"覆盖"},
    {RetallyText::kPlacePrefix, L"Prefix", nullptr, L"前缀"},
    {RetallyText::kPlaceSuffix, L"Suffix", nullptr, L"后缀"},
};

constexpr bool inOrder() {
  if (std::size(kEntries) != static_cast<size_t>(RetallyText::kCount_)) return false;
  for (size_t i = 0; i < std::size(kEntries); ++i)
    if (static_cast<size_t>(kEntries[i].id) != i) return false;
  return true;
}
static_assert(inOrder(), "kEntries must list every RetallyText once, in order");

bool gChinese = false;

}  // namespace

void chooseRetallyLanguage() {
  gChinese = false;
  resbuf* verlan = zcutNewRb(RTSTR);
  if (verlan == nullptr) return;
  if (zcedGetVar(L"VERLAN", verlan) == RTNORM && verlan->restype == RTSTR && verlan->resval.rstring != nullptr)
    gChinese = std::wstring_view(verlan->resval.rstring) == L"zh-CN";
  zcutRelRb(verlan);
}

std::wstring retallyText(RetallyText id, std::initializer_list<std::wstring_view> arguments, long long count) {
  const Entry& entry = kEntries[static_cast<size_t>(id)];
  const std::wstring_view pattern =
      gChinese ? entry.chinese : (count == 1 && entry.englishOne != nullptr ? entry.englishOne : entry.english);
  std::wstring text;
  size_t from = 0;
  for (std::wstring_view argument : arguments) {
    const size_t slot = pattern.find(L"{}", from);
    if (slot == std::wstring_view::npos) break;
    text.append(pattern, from, slot - from).append(argument);
    from = slot + 2;
  }
  return text.append(pattern, from);
}

void printRetallyText(RetallyText id, std::initializer_list<std::wstring_view> arguments, long long count) {
  zcutPrintf(L"\n%s", retallyText(id, arguments, count).c_str());
}
