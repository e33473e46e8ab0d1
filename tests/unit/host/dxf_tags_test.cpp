// Unit tests of the DXF tag scanner, binary DXF, number formatting and string code pages.
#include "dxf/dxf_tags.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "dxf/dxf_binary.h"
#include "dxf/dxf_text.h"

using namespace zrxhost::dxf;

namespace {

TagFile scan(const std::string& text, std::string* error = nullptr) {
  TagFile f;
  f.buffer = text;
  std::string e;
  bool ok = scanTags(f, e);
  if (error) *error = ok ? std::string() : e;
  return f;
}

TEST(DxfTags, KeepsValueTextExactly) {
  TagFile f = scan("  0\nSECTION\n 10\n  1.50000000000000000001\n  1\n trailing  \n");
  ASSERT_EQ(f.tags.size(), 3u);
  EXPECT_EQ(f.code(0), 0);
  EXPECT_EQ(f.code(1), 10);
  EXPECT_EQ(f.value(1), "  1.50000000000000000001");
  EXPECT_EQ(f.value(2), " trailing  ");
  EXPECT_FALSE(f.crlf);
}

// Tags keep short lengths; values of 64 KiB and more are measured again from the buffer.
TEST(DxfTags, LongValuesKeepTheirWholeText) {
  const std::string justShort(65534, 'a'), atLimit(65535, 'b'), longer(70000, 'c');
  TagFile f = scan("  1\n" + justShort + "\n  1\n" + atLimit + "\r\r\n  1\n" + longer + "\n  1\n" + longer);
  ASSERT_EQ(f.tags.size(), 4u);
  EXPECT_EQ(f.value(0), justShort);
  EXPECT_EQ(f.value(1), atLimit);  // the CRs before the line break are no part of it
  EXPECT_EQ(f.value(2), longer);
  EXPECT_EQ(f.value(3), longer);  // the last line, without a line break
}

TEST(DxfTags, CrLfLinesAndByteOrderMark) {
  TagFile f = scan("\xEF\xBB\xBF  0\r\nSECTION\r\n  2\r\nHEADER\r\n");
  ASSERT_EQ(f.tags.size(), 2u);
  EXPECT_EQ(f.value(0), "SECTION");
  EXPECT_EQ(f.value(1), "HEADER");
  EXPECT_TRUE(f.crlf);
}

TEST(DxfTags, ErrorsNameTheLine) {
  std::string error;
  scan("  0\nSECTION\n  2\nHEADER\nabc\nx\n", &error);
  EXPECT_EQ(error.rfind("line 5: ", 0), 0u) << error;
  scan("  0\nSECTION\n  2\n", &error);
  EXPECT_EQ(error.rfind("line 4: ", 0), 0u) << error;
  EXPECT_NE(error.find("truncated"), std::string::npos);
  scan("  0\nSECTION\n2000\nx\n", &error);
  EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << error;
  scan("PK\x03\x04 zip\n", &error);
  EXPECT_EQ(error.rfind("line 1: ", 0), 0u) << error;
  EXPECT_NE(error.find("not a DXF"), std::string::npos);
  scan(std::string("AutoCAD Binary DXF\r\n\x1a\0", 22), &error);
  EXPECT_NE(error.find("binary"), std::string::npos) << error;
}

// A large file is scanned in two stretches at once (here from any size). What comes of it is what
// one pass gives: every tag in order, and the first wrong line named, wherever the cut between them
// falls (the comment at the start moves the middle across a record with a name where a group code
// belongs).
TEST(DxfTags, ScanningInTwoStretchesGivesWhatOnePassGives) {
  for (const std::string eol : {"\n", "\r\n"}) {
    auto lines = [&](std::initializer_list<const char*> each) {
      std::string text;
      for (const char* line : each) text += line + eol;
      return text;
    };
    auto scanInTwo = [](const std::string& text, std::string& error) {
      TagFile f;
      f.buffer = text;
      error.clear();
      scanTags(f, error, {}, 0);
      return f;
    };
    const std::string record = lines({"  0", "LINE", "  8", "0", " 10", "1.5"});
    const std::size_t records = 400;
    std::string body;
    for (std::size_t i = 0; i < records; ++i) body += record;
    const std::string head = lines({"  0", "SECTION", "  2", "ENTITIES"}),
                      tail = lines({"  0", "ENDSEC", "  0", "EOF"});
    std::string error;
    TagFile f = scanInTwo(head + body + tail, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(f.tags.size(), 2 + 3 * records + 2);
    EXPECT_EQ(f.crlf, eol.size() == 2);
    for (std::size_t i = 0; i < records; ++i) {
      ASSERT_EQ(f.value(2 + 3 * i), "LINE") << i;
      ASSERT_EQ(f.code(3 + 3 * i), 8) << i;
      ASSERT_EQ(f.value(4 + 3 * i), "1.5") << i;
    }
    for (std::size_t at = records / 2 - 2; at <= records / 2; ++at) {
      const std::size_t bad = at * record.size() + record.find(" 10");
      std::string broken = body;
      broken.replace(bad, 3, "LINE");
      for (std::size_t pad = 0; pad < 2 * record.size(); pad += 3) {
        const std::string before = lines({"999"}) + std::string(pad, 'x') + eol + head;
        const std::string text = before + broken + tail;
        scanInTwo(text, error);
        const auto line = std::count(text.begin(), text.begin() + static_cast<long>(before.size() + bad), '\n') + 1;
        EXPECT_EQ(error, "line " + std::to_string(line) + ": a group code was expected, found 'LINE'") << pad;
      }
    }
  }
}

// Group-code lines come in more forms than the usual right-aligned one; each must give the same
// code, and a bad one the same message, whichever way the scanner reads it.
TEST(DxfTags, GroupCodeLinesInEveryForm) {
  TagFile f = scan("  0\nA\n10\nB\n\t 20 \nC\n -5\nD\n0010\nE\n1071\nF\n  30\r\nG\n  0\nH");
  ASSERT_EQ(f.tags.size(), 8u);
  const int codes[] = {0, 10, 20, -5, 10, 1071, 30, 0};
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(f.code(i), codes[i]) << i;
  EXPECT_EQ(f.value(7), "H");
  EXPECT_FALSE(f.crlf);

  TagFile crlf = scan("  0\r\nA\r\n 10\r\r\n1.5\r\n 20\r\n2.5\r\n");
  ASSERT_EQ(crlf.tags.size(), 3u);
  EXPECT_EQ(crlf.code(1), 10);
  EXPECT_EQ(crlf.value(2), "2.5");

  std::string error;
  const std::pair<const char*, const char*> bad[] = {{"  0\nA\n  0\nB\n10000\nC\n", "line 5: invalid group code 10000"},
                                                     {"  0\nA\n +5\nB\n", "line 3: a group code was expected"},
                                                     {"  0\nA\n 1 0\nB\n", "line 3: a group code was expected"},
                                                     {"  0\nA\n-6\nB\n", "line 3: invalid group code -6"},
                                                     {"  0\nA\n  1\n", "line 4: group code 1 has no value"}};
  for (const auto& [text, message] : bad) {
    scan(text, &error);
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
  }
}

// Tags written as read keep their lines byte for byte (group code padding, line breaks, a missing
// line break at the end), in ranges that start and end anywhere; where the file breaks its lines
// otherwise than the writer, they are written anew in the writer's layout.
TEST(DxfTags, TagsAsReadAreWrittenAsRead) {
  const std::string canonical = "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n 10\n1.5\n1071\n7\n -5\nR\n  0\nEOF\n";
  const std::string inputs[] = {
      canonical,
      "0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n010\n1.5\n1071\n7\n-5\nR\n  0\nEOF",
      "  0\nSECTION\n  2\r\r\nENTITIES\n  0\nTEXT\r\n 10\n1.5\n1071 \n7\n -5\nR\n\t0\nEOF\n",
      "  0\r\nSECTION\r\n2\r\nENTITIES\r\n  0\nTEXT\r\n 10\r\n1.5\r\n1071\r\n7\r\n -5\r\nR\r\n  0\r\nEOF",
  };
  for (const std::string& text : inputs) {
    TagFile f = scan(text);
    ASSERT_EQ(f.tags.size(), 7u) << text;
    std::string whole, pieces;
    TagWriter(whole, f.crlf).raw(f, 0, f.tags.size());
    EXPECT_EQ(whole, text);
    TagWriter w(pieces, f.crlf);
    w.raw(f, 0, 3);
    w.raw(f, 4, 7);  // without the fourth tag
    EXPECT_EQ(pieces, text.substr(0, f.linesBegin(3)) + text.substr(f.linesBegin(4)));
    std::string other;
    TagWriter(other, !f.crlf).raw(f, 0, f.tags.size());
    std::string expected = canonical;
    if (!f.crlf)
      for (std::size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2) expected.insert(at, "\r");
    EXPECT_EQ(other, expected) << text;
  }
}

TEST(DxfTags, ControlBytesInMessagesArePrintable) {
  std::string error;
  scan("\x01\xff\n", &error);
  EXPECT_NE(error.find("\\x01\\xFF"), std::string::npos) << error;
}

TEST(DxfTags, NumbersParseStrictlyAndFormatShortest) {
  double d = 0;
  EXPECT_TRUE(parseDouble("  -1.25e3 ", d));
  EXPECT_EQ(d, -1250.0);
  EXPECT_FALSE(parseDouble("1,5", d));
  EXPECT_FALSE(parseDouble("", d));
  long long i = 0;
  EXPECT_TRUE(parseInt("     256", i));
  EXPECT_EQ(i, 256);
  EXPECT_FALSE(parseInt("12abc", i));
  std::uint64_t h = 0;
  EXPECT_TRUE(parseHandle("1aF", h));
  EXPECT_EQ(h, 0x1AFu);
  EXPECT_EQ(formatHandle(0x2bc), "2BC");
  for (double v : {0.1, 1.0 / 3.0, 1e-300, 123456789.125, -0.0}) {
    std::string s;
    appendDouble(s, v);
    double back = 1;
    ASSERT_TRUE(parseDouble(s, back)) << s;
    EXPECT_EQ(back, v) << s;
  }
  std::string s;
  appendDouble(s, 2.0);
  EXPECT_EQ(s, "2.0");
}

TEST(DxfText, Utf8RoundTripIncludingSurrogates) {
  TextCodec codec(true, "");
  std::u16string text = u"Area 面积 \U0001F600";
  std::string bytes;
  codec.encode(text, bytes);
  EXPECT_EQ(bytes, "Area \xE9\x9D\xA2\xE7\xA7\xAF \xF0\x9F\x98\x80");
  std::u16string back;
  codec.decode(bytes, back);
  EXPECT_EQ(back, text);
  EXPECT_TRUE(codec.equals(bytes, text));
  EXPECT_FALSE(codec.equals(bytes, u"Area"));
}

TEST(DxfText, Utf8KeepsEscapesFromR2007On) {
  TextCodec codec(true, "");
  std::u16string out;
  codec.decode("\\U+4E2D", out);
  EXPECT_EQ(out, u"\\U+4E2D");
}

TEST(DxfText, WesternCodePageEscapesWhatItLacks) {
  TextCodec codec(false, "ANSI_1252");
  std::string bytes;
  codec.encode(u"caf\u00e9 \u4e2d\u6587", bytes);
  EXPECT_EQ(bytes, "caf\xE9 \\U+4E2D\\U+6587");
  std::u16string back;
  codec.decode(bytes, back);
  EXPECT_EQ(back, u"caf\u00e9 \u4e2d\u6587");
}

TEST(DxfText, ChineseCodePage) {
  TextCodec codec(false, "ANSI_936");
  std::string bytes;
  codec.encode(u"\u4e2d\u6587 \u00e9", bytes);
  EXPECT_EQ(bytes, "\xD6\xD0\xCE\xC4 \xA8\xA6");
  std::u16string back;
  codec.decode("\xD6\xD0\xCE\xC4\\U+00E9", back);
  EXPECT_EQ(back, u"\u4e2d\u6587\u00e9");
}

TEST(DxfText, UnknownCodePageKeepsEveryByte) {
  TextCodec codec(false, "DOS_WEIRD");
  std::u16string text;
  codec.decode("a\xE9\xFF", text);
  std::string bytes;
  codec.encode(text, bytes);
  EXPECT_EQ(bytes, "a\xE9\xFF");
}

TEST(DxfText, BrokenUtf8DecodesToReplacementAndDoesNotCrash) {
  std::u16string out;
  utf8Decode("a\xC3\xE0\x80", out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], u'a');
  EXPECT_EQ(out[1], u'\xFFFD');
}

// The leading commercial program writes raw line feeds in binary strings, where the ASCII form says ^J.
TEST(DxfBinary, LineBreaksAndCaretsInStringsAreKeptBothWays) {
  const std::string sentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);
  const std::string binary = sentinel + std::string("\x01\0a\nb^c\r\0\0\0EOF\0", 15);
  std::string text, error, back;
  ASSERT_TRUE(binaryToText(binary, text, error)) << error;
  EXPECT_EQ(text, "1\na^Jb^ c^M\n0\nEOF\n");
  ASSERT_TRUE(textToBinary(text, false, back, error)) << error;
  EXPECT_EQ(back, binary);
}

}  // namespace
