// The command's texts in both languages and the choice between them.
#include "jig/message_catalogue.h"

#include <cwchar>

namespace {

// Full-width punctuation (U+FF1A, U+FF0C, U+3001, U+3002) is part of these texts as users know them.
const ZTCHAR* const kChinese[MessageCatalogue::kCount] = {
    L"\n当前模式：递增方式=直线，递增增量",
    L"\n当前模式：递增方式=环形，递增增量",
    L"\n当前模式：递增方式=自由，递增增量",
    L"\n选择需要递增的数字/字母[模式(O)]：",
    L"\n修改递增模式[方式(M)/增量(D)]：",
    L"\n选择递增方式[直线(L)/环形(P)/自由(F)]:",
    L"\n输入递增增量值：",
    L"\n请选择多行文字、单行文字，请重试。",
    L"\n指定对象间距[数量(N)]：",
    L"\n指定对象数量：",
    L"\n指定环形圆心位置：",
    L"\n指定对象角度[数量(N)]：",
    L"\n指定递增方向[顺时针(C)/逆时针(CW)]：",
    L"\n指定递增基点:",
    L"\n指定递增终点:",
    L"\n未选中任何字符!",
    L"\n递增类型错误!",
    L"\n对象数量不能超过 100000，请重新输入。",
    L"\n阵列已截断至上限 100000 个对象。",
    L"\n多行文字中没有可递增的单行文字，无法转换。",
    L"\n图形拒绝了修改，多行文字无法替换为单行文字。",
    L"\n%d 个对象的坐标超出图形范围，无法放置。",
    L"\n图形拒绝了修改，单行文字正被占用，无法测量其字符。",
    L"\n图形拒绝了修改：仅写入 %d 个对象（共 %d 个）。",
};

const ZTCHAR* const kEnglish[MessageCatalogue::kCount] = {
    L"\nCurrent Mode: Increment method= line, increment",
    L"\nCurrent Mode: Increment method= polar, increment",
    L"\nCurrent Mode: Increment method= free, increment",
    L"\nSpecify number or letter [mode(O)]:",
    L"\nModify increment mode [Method(M)/Increment(I)]:",
    L"\nChoose increment method [Line(L)/Polar(P)/Free(F)]:",
    L"\nInput increment value:",
    L"\nPlease select Text or Mtext.",
    L"\nSpecify the spacing betwwen items[Numbers (N)]:",
    L"\nEnter the number of items:",
    L"\nSpecify the centre point of items:",
    L"\nEnter the angle of items [Number(N)]:",
    L"\nSpecify the direction[Clockwise(C)/Counterclockwise(A)]:",
    L"\nSpecify the base point:",
    L"\nSpecify the second point:",
    L"\nNo characters are selected!",
    L"\nIncrement type error!",
    L"\nThe number of items cannot exceed 100000. Enter it again.",
    L"\nThe array was cut to its limit of 100000 items.",
    L"\nThe Mtext holds no text that can be counted, so it cannot be turned into a Text.",
    L"\nThe drawing refused the change: the Mtext cannot be replaced by a Text.",
    L"\n%d of the items could not be placed: their coordinates are beyond the drawing's range.",
    L"\nThe drawing refused the change: the Text is held open elsewhere, so its characters cannot be measured.",
    L"\nThe drawing refused the copies: %d of %d were written.",
};

bool isChineseTag(const ZTCHAR* language) {
  return language != nullptr && std::wcscmp(language, L"zh-CN") == 0;
}

}  // namespace

MessageCatalogue* activeCatalogue = nullptr;

MessageCatalogue::MessageCatalogue(const ZTCHAR* language)
    : mTexts(isChineseTag(language) ? kChinese : kEnglish), mChinese(isChineseTag(language)) {}

MessageCatalogue::MessageCatalogue(const resbuf* verlan)
    : MessageCatalogue(verlan != nullptr && verlan->restype == RTSTR ? verlan->resval.rstring : nullptr) {}

const ZTCHAR* catalogueText(CatalogueMessage message) {
  const int index = message;
  if (index < 0 || index >= MessageCatalogue::kCount) return L"";
  return activeCatalogue != nullptr ? activeCatalogue->at(index) : kEnglish[index];
}
