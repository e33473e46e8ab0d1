// ZcString: UTF-16 indices around characters outside the BMP, conversions, caches, clamping.
#include "zrx/string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "a😀中b": U+1F600 is a surrogate pair, U+4E2D a single unit.
const wchar_t* const kMixed = L"a\U0001F600\u4E2Db";

TEST(StringIndices, SurrogatePairCountsAsTwoUnits) {
  ZcString s(kMixed);
  ASSERT_EQ(s.length(), 5);
  EXPECT_EQ(s.getAt(0), L'a');
  EXPECT_EQ(s.getAt(1), 0xD83D);
  EXPECT_EQ(s.getAt(2), 0xDE00);
  EXPECT_EQ(s.getAt(3), 0x4E2D);
  EXPECT_EQ(s.getAt(4), L'b');
  EXPECT_EQ(s.getAt(5), 0);
  EXPECT_EQ(s.getAt(-1), 0);
  EXPECT_EQ(std::wstring(s.kwszPtr()), std::wstring(kMixed));
  EXPECT_EQ(std::string(s.ansiPtr()),
            "a\xF0\x9F\x98\x80\xE4\xB8\xAD"
            "b");
  EXPECT_EQ(s.find(L'\U0001F600'), 1);
  EXPECT_EQ(s.find(L'\u4E2D'), 3);
  EXPECT_EQ(s.find(L'z'), -1);
}

TEST(StringIndices, SubstrClampsAndKeepsWholePairs) {
  ZcString s(kMixed);
  EXPECT_TRUE(s.substr(1, 2) == L"\U0001F600");
  EXPECT_TRUE(s.substr(3) == L"\u4E2Db");
  EXPECT_EQ(s.substr(-4, 2).utf16(), std::u16string(u"a\xD83D"));
  EXPECT_EQ(s.substr(4, 100).length(), 1);
  EXPECT_TRUE(s.substr(9).isEmpty());
  EXPECT_EQ(s.substr(0, -1).length(), 5);
  // Half a pair converts to the replacement character, never to invalid UTF-8.
  ZcString half = s.substr(0, 2);
  EXPECT_EQ(std::string(half.ansiPtr()), "a\xEF\xBF\xBD");
  EXPECT_EQ(std::wstring(half.kwszPtr()), std::wstring(L"a\uFFFD"));
}

TEST(StringIndices, InsertAndDeleteClamp) {
  ZcString s(kMixed);
  s.insert(3, L"12");
  EXPECT_TRUE(s == L"a\U0001F60012\u4E2Db");
  s.insert(-5, ZcString("<"));
  s.insert(1000, ZcString(">"));
  EXPECT_TRUE(s == L"<a\U0001F60012\u4E2Db>");
  s.deleteAtIndex(2, 2);  // the whole pair
  EXPECT_TRUE(s == L"<a12\u4E2Db>");
  s.deleteAtIndex(5, 100);
  EXPECT_TRUE(s == L"<a12\u4E2D");
  s.deleteAtIndex(-1, 3).deleteAtIndex(50).deleteAtIndex(0, 0);
  EXPECT_TRUE(s == L"<a12\u4E2D");
  s.deleteAtIndex(0);
  EXPECT_TRUE(s == L"a12\u4E2D");
  s.insert(1, s);  // inserting a string into itself
  EXPECT_TRUE(s == L"aa12\u4E2D12\u4E2D");
}

TEST(StringCache, ChangesInvalidateBothFormsAndCopiesDoNotShare) {
  ZcString s("abc");
  const wchar_t* w = s.kwszPtr();
  EXPECT_STREQ(w, L"abc");
  EXPECT_STREQ(s.ansiPtr(), "abc");
  s.append(ZcString(L"\u00E9"));
  EXPECT_STREQ(s.kwszPtr(), L"abc\u00E9");
  EXPECT_STREQ(s.ansiPtr(), "abc\xC3\xA9");
  s.utf16Mutable()[0] = u'X';
  EXPECT_STREQ(s.kwszPtr(), L"Xbc\u00E9");
  EXPECT_STREQ(s.ansiPtr(), "Xbc\xC3\xA9");

  ZcString copy = s;
  copy.deleteAtIndex(0);
  EXPECT_STREQ(copy.kwszPtr(), L"bc\u00E9");
  EXPECT_STREQ(s.kwszPtr(), L"Xbc\u00E9");
  ZcString assigned;
  assigned = s;
  assigned.insert(0, L"-");
  EXPECT_STREQ(assigned.ansiPtr(), "-Xbc\xC3\xA9");
  EXPECT_STREQ(s.ansiPtr(), "Xbc\xC3\xA9");
  // Assigning a string its own cached wide form.
  s = s.kwszPtr();
  EXPECT_STREQ(s.kwszPtr(), L"Xbc\u00E9");
}

// Copies into a string that already has room take a path of their own for short strings; every
// length around its bounds, into targets longer, shorter and of no capacity, must give the units.
TEST(StringCopy, EveryLengthIntoEveryRoomKeepsTheUnitsAndTheTerminator) {
  auto unitsOf = [](size_t count, char16_t first) {
    std::u16string units;
    for (size_t i = 0; i < count; ++i) units.push_back(static_cast<char16_t>(first + i));
    return units;
  };
  for (size_t from = 0; from <= 20; ++from) {
    for (size_t room = 0; room <= 20; ++room) {
      ZcString source(unitsOf(from, u'a'));
      ZcString target(unitsOf(room, u'A'));
      EXPECT_STREQ(target.kwszPtr(), std::wstring(target.kwszPtr()).c_str());  // fills the cache
      target = source;
      ASSERT_EQ(target.utf16(), source.utf16()) << from << " units into " << room;
      EXPECT_EQ(target.utf16().c_str()[from], u'\0');
      EXPECT_EQ(std::wstring(target.kwszPtr()), std::wstring(source.kwszPtr())) << "stale wide form";
      target.setUnits(unitsOf(from, u'0'));
      EXPECT_EQ(target.utf16(), unitsOf(from, u'0'));
    }
  }
  ZcString self(u"self-assigned");
  ZcString& alias = self;
  self = alias;
  EXPECT_EQ(self.utf16(), u"self-assigned");
}

TEST(StringConstruct, NarrowWideAndSingleCharacters) {
  EXPECT_EQ(ZcString("\xE4\xB8\xAD"
                     "1")
                .length(),
            2);
  EXPECT_EQ(ZcString("\xF0\x9F\x98\x80").length(), 2);
  EXPECT_EQ(ZcString('7').getAt(0), L'7');
  EXPECT_EQ(ZcString(L'\U0001F600').length(), 2);
  EXPECT_EQ(ZcString(static_cast<const char*>(nullptr)).length(), 0);
  EXPECT_EQ(ZcString(static_cast<const wchar_t*>(nullptr)).length(), 0);
  EXPECT_TRUE(ZcString("ab").concat(ZcString(L"\u4E2D")) == L"ab\u4E2D");
  ZcString self("xy");
  self += self;
  EXPECT_TRUE(self == L"xyxy");
  EXPECT_TRUE(ZcString("a") < ZcString("b"));
  EXPECT_NE(ZcString("a").compare(ZcString("ab")), 0);
  EXPECT_FALSE(ZcString("ab") == L"abc");
  EXPECT_FALSE(ZcString("abc") == L"ab");
  EXPECT_TRUE(ZcString() == static_cast<const wchar_t*>(nullptr));
}

TEST(StringConvert, MalformedInputBecomesReplacementCharacters) {
  using namespace zrxhost;
  EXPECT_EQ(utf8ToUtf16("\xC3"), u"\uFFFD");                      // truncated sequence
  EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong '/'
  EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(utf8ToUtf16("\xFFok"), u"\uFFFDok");
  EXPECT_EQ(wideToUtf16(std::wstring(1, static_cast<wchar_t>(0x110000))), u"\uFFFD");
  EXPECT_EQ(utf16ToUtf32(u"\xDC00x"), U"\uFFFDx");  // low surrogate first
  EXPECT_EQ(utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(utf16ToWide(u"\u4E2D\U00020000"), L"\u4E2D\U00020000");
  // Round trip through every form for every plane boundary.
  std::u32string cps = U"\u007F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF";
  std::wstring wide(cps.begin(), cps.end());
  std::u16string u16 = wideToUtf16(wide);
  EXPECT_EQ(utf16ToUtf32(utf8ToUtf16(utf16ToUtf8(u16))), cps);
}

}  // namespace
