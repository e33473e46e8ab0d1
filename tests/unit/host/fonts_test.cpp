// Fonts: cap-height scaling, resolution of font names, fallbacks, cached measuring, outlines.
#include "zrxhost/fonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "zrxhost/session.h"

namespace {

using zrxhost::Font;
using zrxhost::fontFor;

// Collects an outline: its bounds and the kinds of pieces it was given.
class BoundsSink : public zrxhost::GlyphPathSink {
 public:
  void moveTo(double x, double y) override {
    ++moves;
    add(x, y);
  }
  void lineTo(double x, double y) override {
    ++lines;
    add(x, y);
  }
  void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3) override {
    ++cubics;
    add(x1, y1);
    add(x2, y2);
    add(x3, y3);
  }
  void closePath() override { ++closes; }

  double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
  int moves = 0, lines = 0, cubics = 0, closes = 0;

 private:
  void add(double x, double y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
};

TEST(Fonts, CapitalHIsOneUnitHigh) {
  for (const char* name : {"txt", "DejaVu Serif", "simplex.shx"}) {
    const Font& font = fontFor(name);
    BoundsSink h;
    font.outline(U'H', h);
    // A text of height 10 has capitals 10 high.
    EXPECT_NEAR(h.maxY * 10, 10.0, 0.15) << name;
    EXPECT_NEAR(h.minY, 0.0, 0.01) << name;
    EXPECT_GT(font.ascender(), 1.0) << name;
    EXPECT_LT(font.descender(), 0.0) << name;
    EXPECT_GT(font.advance(U'H'), 0.5) << name;
  }
}

TEST(Fonts, OutlinesArriveAsClosedContoursWithQuadraticsRaisedToCubics) {
  BoundsSink o;
  fontFor("txt").outline(U'O', o);
  EXPECT_EQ(o.moves, 2);  // outer and inner contour
  EXPECT_EQ(o.closes, o.moves);
  EXPECT_GT(o.cubics, 4);
  EXPECT_NEAR(o.maxY, 1.0, 0.05);  // round letters overshoot the cap line a little
  BoundsSink space;
  fontFor("txt").outline(U' ', space);
  EXPECT_EQ(space.moves, 0);
}

TEST(Fonts, NamesResolveByFileFamilyOrToTheSubstitute) {
  const Font& substitute = fontFor("txt");
  EXPECT_EQ(substitute.familyName(), "DejaVu Sans");
  EXPECT_EQ(&fontFor(""), &substitute);
  EXPECT_EQ(&fontFor("romans.shx"), &substitute);
  EXPECT_EQ(fontFor("DejaVuSerif.ttf").familyName(), "DejaVu Serif");  // by file name
  EXPECT_EQ(fontFor("dejavuserif.TTF").familyName(), "DejaVu Serif");
  EXPECT_EQ(fontFor("dejavu serif").familyName(), "DejaVu Serif");  // by family
  EXPECT_EQ(fontFor("no-such-font-here.ttf").familyName(), "DejaVu Sans");
  EXPECT_EQ(fontFor("No Such Family").familyName(), "DejaVu Sans");
  // The same names give the same font object (metrics are cached per font).
  EXPECT_EQ(&fontFor("DejaVuSerif.ttf"), &fontFor("DejaVuSerif.ttf"));
}

TEST(Fonts, SubstituteFollowsFontalt) {
  zrxhost::Session& session = zrxhost::Session::instance();
  ASSERT_TRUE(session.setSysVar("FONTALT", "DejaVu Serif"));
  EXPECT_EQ(fontFor("txt").familyName(), "DejaVu Serif");
  EXPECT_EQ(fontFor("romans.shx").familyName(), "DejaVu Serif");
  ASSERT_TRUE(session.setSysVar("FONTALT", "DejaVu Sans"));
  EXPECT_EQ(fontFor("txt").familyName(), "DejaVu Sans");
}

TEST(Fonts, MissingCharactersComeFromAFallback) {
  const Font& font = fontFor("txt");
  // DejaVu Sans has no ideographs; the fallback's are about one em wide, i.e. wider than a capital.
  const double han = font.advance(U'中');
  EXPECT_GT(han, font.advance(U'H'));
  EXPECT_LT(han, 3.0);
  EXPECT_DOUBLE_EQ(font.measure(u"中文"), font.advance(U'中') + font.advance(U'文'));
  BoundsSink glyph;
  font.outline(U'中', glyph);
  EXPECT_GT(glyph.moves, 0);
  EXPECT_GT(glyph.maxX - glyph.minX, 0.5);
}

TEST(Fonts, MeasureSumsAdvancesAndIsTheSameCachedOrNot) {
  const Font& font = fontFor("DejaVuSansMono.ttf");
  // Characters no other test has asked for: the first measure computes, the second reads the table.
  const std::u16string greek = u"αβγδεζηθ";
  const double cold = font.measure(greek);
  const double warm = font.measure(greek);
  EXPECT_EQ(cold, warm);
  double sum = 0;
  for (char16_t c : greek) sum += font.advance(c);
  EXPECT_NEAR(cold, sum, 1e-12);
  // A monospaced font: every character has the same advance.
  EXPECT_NEAR(cold, 8 * font.advance(U'M'), 1e-9);
  EXPECT_EQ(font.measure(u""), 0.0);

  // Outside the Basic Multilingual Plane a surrogate pair is one character.
  const std::u16string astral = u"a\U0001D400b";  // MATHEMATICAL BOLD CAPITAL A
  EXPECT_NEAR(font.measure(astral), font.advance(U'a') + font.advance(U'\U0001D400') + font.advance(U'b'), 1e-12);
  const std::u16string lone = {u'a', static_cast<char16_t>(0xD835), u'b'};
  EXPECT_NEAR(font.measure(lone), font.advance(U'a') + font.advance(U'\uFFFD') + font.advance(U'b'), 1e-12);
}

TEST(Fonts, ProportionalAdvancesDiffer) {
  const Font& font = fontFor("txt");
  EXPECT_GT(font.advance(U'W'), font.advance(U'i'));
  EXPECT_GT(font.advance(U' '), 0.0);
  EXPECT_NEAR(font.measure(u"Wi"), font.advance(U'W') + font.advance(U'i'), 1e-12);
}

}  // namespace
