// The message catalogue: language choice, the texts users see, and the active catalogue.
#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>

#include "jig/message_catalogue.h"
#include "jig/tally_jig.h"

namespace {

std::wstring text(const MessageCatalogue& c, int i) {
  return c.at(i);
}

bool contains(const std::wstring& s, wchar_t c) {
  return s.find(c) != std::wstring::npos;
}

TEST(Catalogue, ChineseOnlyForExactlyZhCN) {
  EXPECT_TRUE(MessageCatalogue(L"zh-CN").isChinese());
  for (const wchar_t* other : {L"zh-cn", L"ZH-CN", L"zh-TW", L"zh-HK", L"zh", L"en-US", L"", L"zh-CN ", L" zh-CN"}) {
    MessageCatalogue c(other);
    EXPECT_FALSE(c.isChinese()) << other;
    EXPECT_EQ(text(c, kWrongRunKind), L"\nIncrement type error!") << other;
  }
  EXPECT_FALSE(MessageCatalogue(static_cast<const ZTCHAR*>(nullptr)).isChinese());
}

TEST(Catalogue, ReadsTheLanguageFromAStringResultBuffer) {
  wchar_t zh[] = L"zh-CN";
  resbuf rb;
  rb.restype = RTSTR;
  rb.resval.rstring = zh;
  EXPECT_EQ(
      text(MessageCatalogue(&rb), kWrongEntity),
      L"\n\u8bf7\u9009\u62e9\u591a\u884c\u6587\u5b57\u3001\u5355\u884c\u6587\u5b57\uff0c\u8bf7\u91cd\u8bd5\u3002");
  // A buffer that holds no string (the variable could not be read) selects English.
  rb.resval.rstring = nullptr;
  EXPECT_EQ(text(MessageCatalogue(&rb), kWrongEntity), L"\nPlease select Text or Mtext.");
  resbuf number;
  number.restype = RTSHORT;
  number.resval.rint = 3;
  EXPECT_FALSE(MessageCatalogue(&number).isChinese());
  EXPECT_FALSE(MessageCatalogue(static_cast<const resbuf*>(nullptr)).isChinese());
}

TEST(Catalogue, EveryTextStartsALineAndPrintsLiterally) {
  for (const wchar_t* language : {L"zh-CN", L"en-US"}) {
    MessageCatalogue c(language);
    std::set<std::wstring> distinct;
    for (int i = 0; i < MessageCatalogue::kCount; ++i) {
      std::wstring s = text(c, i);
      ASSERT_GE(s.size(), 2u) << i;
      EXPECT_EQ(s[0], L'\n') << language << " " << i;
      // Only the counts of copies left out are formatted; every other text prints as it stands.
      EXPECT_EQ(contains(s, L'%'), i == kCopiesNotPlaced || i == kCopiesRefused) << language << " " << i;
      EXPECT_NE(s.back(), L'\n') << language << " " << i;
      distinct.insert(s);
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(MessageCatalogue::kCount)) << language;
  }
}

TEST(Catalogue, ChinesePunctuationIsFullWidthWhereUsersExpectIt) {
  MessageCatalogue zh(L"zh-CN");
  const std::set<int> fullColon = {kModeLine,         kModePolar,   kModeFree,       kPickPrompt,
                                   kModifyModePrompt, kStepPrompt,  kSpacingPrompt,  kCountPrompt,
                                   kCentrePrompt,     kAnglePrompt, kDirectionPrompt};
  const std::set<int> fullComma = {kModeLine, kModePolar, kModeFree, kWrongEntity};
  // The seventeen texts users have known from the start, punctuation and all.
  for (int i = 0; i < kCountAboveLimit; ++i) {
    std::wstring s = text(zh, i);
    EXPECT_EQ(contains(s, L'\uFF1A'), fullColon.count(i) == 1) << i;
    EXPECT_EQ(contains(s, L'\uFF0C'), fullComma.count(i) == 1) << i;
    EXPECT_EQ(contains(s, L'\u3001'), i == kWrongEntity) << i;
    EXPECT_EQ(contains(s, L'\u3002'), i == kWrongEntity) << i;
    // Brackets, parentheses and slashes stay ASCII.
    for (wchar_t wide : {L'\uFF08', L'\uFF09', L'\uFF3B', L'\uFF3D', L'\uFF0F', L'\uFF01'}) {
      EXPECT_FALSE(contains(s, wide)) << i;
    }
  }
  for (int i : {kMethodPrompt, kBasePointPrompt, kSecondPointPrompt}) EXPECT_EQ(text(zh, i).back(), L':') << i;
  for (int i : {kNothingSelected, kWrongRunKind}) EXPECT_EQ(text(zh, i).back(), L'!') << i;
  EXPECT_EQ(text(zh, kPickPrompt).back(), L'\uFF1A');
  // The full-width colon of the mode line sits right after the mode name, before the method.
  EXPECT_EQ(text(zh, kModeLine),
            L"\n\u5f53\u524d\u6a21\u5f0f\uff1a\u9012\u589e\u65b9\u5f0f=\u76f4\u7ebf\uff0c\u9012\u589e\u589e\u91cf");
}

TEST(Catalogue, TextsAreShownAsUsersKnowThem) {
  MessageCatalogue en(L"en-US");
  MessageCatalogue zh(L"zh-CN");
  // The English prompt names (I) and the Chinese (D), though the keywords are M and D in both.
  EXPECT_EQ(text(en, kModifyModePrompt), L"\nModify increment mode [Method(M)/Increment(I)]:");
  EXPECT_TRUE(text(zh, kModifyModePrompt).find(L"(M)/") != std::wstring::npos &&
              text(zh, kModifyModePrompt).find(L"(D)]") != std::wstring::npos);
  EXPECT_EQ(text(en, kSpacingPrompt), L"\nSpecify the spacing betwwen items[Numbers (N)]:");
  EXPECT_EQ(text(en, kDirectionPrompt), L"\nSpecify the direction[Clockwise(C)/Counterclockwise(A)]:");
  EXPECT_NE(text(zh, kDirectionPrompt).find(L"(CW)]"), std::wstring::npos);
  EXPECT_EQ(text(en, kModeLine), L"\nCurrent Mode: Increment method= line, increment");
  EXPECT_EQ(text(en, kModePolar), L"\nCurrent Mode: Increment method= polar, increment");
  EXPECT_EQ(text(en, kModeFree), L"\nCurrent Mode: Increment method= free, increment");
  EXPECT_EQ(text(en, kPickPrompt), L"\nSpecify number or letter [mode(O)]:");
  EXPECT_EQ(text(en, kStepPrompt), L"\nInput increment value:");
  EXPECT_EQ(text(en, kBasePointPrompt), L"\nSpecify the base point:");
  EXPECT_EQ(text(en, kSecondPointPrompt), L"\nSpecify the second point:");
  EXPECT_EQ(text(en, kNothingSelected), L"\nNo characters are selected!");
  EXPECT_EQ(text(zh, kWrongRunKind), L"\n\u9012\u589e\u7c7b\u578b\u9519\u8bef!");
}

TEST(Catalogue, LimitAndMTextMessagesInBothLanguages) {
  MessageCatalogue en(L"en-US");
  MessageCatalogue zh(L"zh-CN");
  EXPECT_EQ(text(en, kCountAboveLimit), L"\nThe number of items cannot exceed 100000. Enter it again.");
  EXPECT_EQ(text(zh, kCountAboveLimit),
            L"\n\u5bf9\u8c61\u6570\u91cf\u4e0d\u80fd\u8d85\u8fc7 100000\uff0c\u8bf7\u91cd\u65b0\u8f93\u5165\u3002");
  EXPECT_EQ(text(en, kArrayCut), L"\nThe array was cut to its limit of 100000 items.");
  EXPECT_EQ(text(zh, kArrayCut), L"\n\u9635\u5217\u5df2\u622a\u65ad\u81f3\u4e0a\u9650 100000 \u4e2a\u5bf9\u8c61\u3002");
  EXPECT_EQ(text(en, kMTextWithoutText),
            L"\nThe Mtext holds no text that can be counted, so it cannot be turned into a Text.");
  EXPECT_EQ(text(zh, kMTextWithoutText),
            L"\n\u591a\u884c\u6587\u5b57\u4e2d\u6ca1\u6709\u53ef\u9012\u589e\u7684\u5355\u884c\u6587\u5b57\uff0c"
            L"\u65e0\u6cd5\u8f6c\u6362\u3002");
  EXPECT_EQ(text(en, kMTextNotReplaced), L"\nThe drawing refused the change: the Mtext cannot be replaced by a Text.");
  EXPECT_EQ(text(zh, kMTextNotReplaced),
            L"\n\u56fe\u5f62\u62d2\u7edd\u4e86\u4fee\u6539\uff0c\u591a\u884c\u6587\u5b57\u65e0\u6cd5\u66ff\u6362\u4e3a"
            L"\u5355\u884c\u6587\u5b57\u3002");
  // The limit the texts name is the one the layout keeps.
  const std::wstring limit = std::to_wstring(kMaxCopies);
  for (const MessageCatalogue* c : {&en, &zh}) {
    for (int i : {kCountAboveLimit, kArrayCut}) EXPECT_NE(text(*c, i).find(L" " + limit), std::wstring::npos) << i;
  }
}

TEST(Catalogue, CatalogueTextFollowsTheActiveCatalogue) {
  ASSERT_EQ(activeCatalogue, nullptr);
  EXPECT_EQ(std::wstring(catalogueText(kNothingSelected)), L"\nNo characters are selected!");
  MessageCatalogue zh(L"zh-CN");
  activeCatalogue = &zh;
  EXPECT_EQ(std::wstring(catalogueText(kNothingSelected)), text(zh, kNothingSelected));
  activeCatalogue = nullptr;
  // The names keep the catalogue's order: the first and the last name its first and last texts.
  EXPECT_EQ(std::wstring(catalogueText(kModeLine)), L"\nCurrent Mode: Increment method= line, increment");
  EXPECT_EQ(MessageCatalogue::kCount, 24);
}

}  // namespace
