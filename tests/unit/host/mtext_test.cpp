// MText: codes stripped, paragraphs and word wrap, lines and runs placed by attachment and spacing.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "zrx/db.h"
#include "zrxhost/fonts.h"

namespace {

// The pieces of an explode, owned by the test.
std::vector<std::unique_ptr<ZcDbText>> explodeToTexts(const ZcDbMText& mtext) {
  ZcArray<void*> pieces;
  EXPECT_EQ(mtext.explode(pieces), Zcad::eOk);
  std::vector<std::unique_ptr<ZcDbText>> texts;
  for (void* piece : pieces) {
    auto* entity = static_cast<ZcDbEntity*>(piece);
    EXPECT_NE(ZcDbText::cast(entity), nullptr);
    texts.emplace_back(ZcDbText::cast(entity));
  }
  return texts;
}

std::unique_ptr<ZcDbMText> makeMText(const wchar_t* contents, double height = 2.5) {
  auto mtext = std::make_unique<ZcDbMText>();
  mtext->setContents(contents);
  mtext->setTextHeight(height);
  mtext->setLocation(ZcGePoint3d(10, 100, 0));
  return mtext;
}

TEST(MTextExplode, OnePiecePerFormattingRunPlacedWhereTheRunStarts) {
  auto mtext = makeMText(L"{\\fArial|b1;A1}\\PB{\\C1;\\H2x;2}{\\c255;\\W0.5;\\Q15;3}4");
  mtext->setLayer(L"Tags");
  mtext->setColorIndex(5);
  auto texts = explodeToTexts(*mtext);
  ASSERT_EQ(texts.size(), 5u);
  struct Expected {
    const wchar_t* text;
    double height, widthFactor, obliqueDegrees;
    int color;  // the true colour of "3" leaves it the MText's own
  };
  const Expected expected[] = {
      {L"A1", 2.5, 1, 0, 5}, {L"B", 2.5, 1, 0, 5}, {L"2", 5, 1, 0, 1}, {L"3", 2.5, 0.5, 15, 5}, {L"4", 2.5, 1, 0, 5}};
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    const ZcDbText& t = *texts[i];
    EXPECT_EQ(t.textZcString(), ZcString(expected[i].text));
    EXPECT_EQ(t.height(), expected[i].height);
    EXPECT_EQ(t.widthFactor(), expected[i].widthFactor);
    EXPECT_NEAR(t.oblique(), expected[i].obliqueDegrees * ZcGe::kPi / 180, 1e-12);
    EXPECT_EQ(t.colorIndex(), expected[i].color);
    EXPECT_EQ(t.layerName(), ZcString(L"Tags"));
    EXPECT_EQ(t.textStyleName(), ZcString(L"Standard"));  // no style of the drawing uses Arial
    EXPECT_FALSE(t.isDatabaseResident());
  }
  // Line 1 one cap height below the top; line 2, as high as its tallest run, 5/3 of that lower.
  EXPECT_NEAR(texts[0]->position().y, 100 - 2.5, 1e-9);
  EXPECT_NEAR(texts[0]->position().x, 10, 1e-9);
  EXPECT_NEAR(texts[1]->position().x, 10, 1e-9);
  for (size_t i = 2; i < texts.size(); ++i) {
    const ZcDbText& before = *texts[i - 1];
    const double width = before.font().measure(before.textZcString().utf16()) * before.height() * before.widthFactor();
    EXPECT_NEAR(texts[i]->position().x, before.position().x + width, 1e-9) << i;
    EXPECT_NEAR(texts[i]->position().y, 100 - 2.5 - 5.0 / 3.0 * 5, 1e-9) << i;
  }
  // The MText itself is unchanged.
  EXPECT_EQ(mtext->contentsString(), ZcString(L"{\\fArial|b1;A1}\\PB{\\C1;\\H2x;2}{\\c255;\\W0.5;\\Q15;3}4"));
}

TEST(MTextExplode, AFontChangeTakesTheDrawingsStyleThatUsesThatFont) {
  ZcDbDatabase db;
  ZcDbTextStyleTable* styles = nullptr;
  ASSERT_EQ(db.getSymbolTable(styles, ZcDb::kForWrite), Zcad::eOk);
  auto* mono = new ZcDbTextStyleTableRecord;
  mono->setName(L"Mono");
  mono->setFileName(ZcString(L"DejaVuSansMono.ttf"));
  ZcDbObjectId monoId;
  ASSERT_EQ(styles->add(monoId, mono), Zcad::eOk);
  mono->close();
  styles->close();
  ZcDbDatabase* working = zcdbHostApplicationServices()->workingDatabase();
  zcdbHostApplicationServices()->setWorkingDatabase(&db);
  auto texts = explodeToTexts(*makeMText(L"A{\\fDejaVu Sans Mono|b0;1}{\\fCourier;2}"));
  zcdbHostApplicationServices()->setWorkingDatabase(working);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_TRUE(texts[0]->textStyle().isNull());
  EXPECT_EQ(texts[1]->textStyle(), monoId);
  EXPECT_EQ(texts[2]->textStyleName(), ZcString(L"Standard"));
}

TEST(MTextCodes, PlainTextKeepsCharactersAndDropsFormatting) {
  struct Case {
    const wchar_t* contents;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"\\LUnder\\l \\OOver\\o \\KStrike\\k", L"Under Over Strike"},
      {L"\\C1;red \\c255;x \\A1;mid \\W0.8;narrow \\Q15;slant \\T1.2;wide", L"red x mid narrow slant wide"},
      {L"\\S1^2; and \\S3/4; and \\S5#6;", L"1/2 and 3/4 and 5/6"},
      {L"a\\~b", L"a b"},
      {L"back\\\\slash \\{braces\\}", L"back\\slash {braces}"},
      {L"%%d %%p %%c %%%", L"\u00b0 \u00b1 \u2300 %"},
      {L"45%%D", L"45\u00b0"},
      {L"\\U+4E2D\\U+6587", L"\u4e2d\u6587"},
      {L"one\\Ptwo\\Pthree", L"one\ntwo\nthree"},
      {L"{\\H1.5x;{\\fSimSun|b0;nested}}", L"nested"},
      {L"\\pxqc;centred", L"centred"},
      {L"50%", L"50%"},
      {L"trailing\\", L"trailing\\"},  // not a code: kept as typed
      {L"\\Zq", L"\\Zq"},
  };
  for (const Case& c : cases) {
    ZcDbMText mtext;
    mtext.setContents(c.contents);
    EXPECT_EQ(mtext.text().toUtf8(), ZcString(c.text).toUtf8()) << "contents: " << ZcString(c.contents).toUtf8();
  }
}

TEST(MTextWrap, BreaksAtSpacesWithinTheReferenceWidth) {
  const zrxhost::Font& font = zrxhost::fontFor("txt");
  const double h = 2;
  const double word = font.measure(u"alpha") * h;
  auto mtext = makeMText(L"alpha alpha alpha alpha alpha", h);
  // Room for two words and their space, not for three.
  mtext->setWidth(2 * word + font.advance(U' ') * h + 0.01);
  auto texts = explodeToTexts(*mtext);
  ASSERT_EQ(texts.size(), 3u);
  // The space at each wrap stays at the end of the line it ends: the lines give the text back.
  EXPECT_EQ(texts[0]->textZcString(), ZcString(L"alpha alpha "));
  EXPECT_EQ(texts[1]->textZcString(), ZcString(L"alpha alpha "));
  EXPECT_EQ(texts[2]->textZcString(), ZcString(L"alpha"));
  for (size_t i = 1; i < texts.size(); ++i)
    EXPECT_NEAR(texts[i - 1]->position().y - texts[i]->position().y, 5.0 / 3.0 * h, 1e-9);

  mtext->setWidth(0);  // no wrapping at all
  EXPECT_EQ(explodeToTexts(*mtext).size(), 1u);

  // A word longer than the width keeps its own line; ideographs break anywhere.
  auto narrow = makeMText(L"extraordinarily long 中文中文", h);
  narrow->setWidth(font.measure(u"中文") * h + 0.01);
  auto pieces = explodeToTexts(*narrow);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0]->textZcString(), ZcString(L"extraordinarily "));
  EXPECT_EQ(pieces[1]->textZcString(), ZcString(L"long "));
  EXPECT_EQ(pieces[2]->textZcString(), ZcString(L"中文"));
  EXPECT_EQ(pieces[3]->textZcString(), ZcString(L"中文"));

  // A non-breaking space holds its words together.
  auto held = makeMText(L"alpha\\~alpha alpha", h);
  held->setWidth(word * 1.5);
  auto heldPieces = explodeToTexts(*held);
  ASSERT_EQ(heldPieces.size(), 2u);
  EXPECT_EQ(heldPieces[0]->textZcString(), ZcString(L"alpha alpha "));
  EXPECT_EQ(heldPieces[1]->textZcString(), ZcString(L"alpha"));

  // Spaces that end a wrapped paragraph itself are no wrap and are dropped.
  auto ending = makeMText(L"alpha  \\Pbeta", h);
  ending->setWidth(word * 3);
  EXPECT_EQ(explodeToTexts(*ending)[0]->textZcString(), ZcString(L"alpha"));
}

TEST(MTextWrap, CentredAndRightLinesAlignTheirWordsNotTheKeptSpace) {
  const zrxhost::Font& font = zrxhost::fontFor("txt");
  const double h = 2;
  const double word = font.measure(u"alpha") * h;
  const double space = font.advance(U' ') * h;
  auto mtext = makeMText(L"alpha alpha", h);
  mtext->setWidth(word * 1.5);
  // The last line's right end: at the location for a right attachment, half a word past it centred.
  for (auto [attachment, lastEnd] :
       {std::pair{ZcDbMText::kTopRight, 10.0}, std::pair{ZcDbMText::kTopCenter, 10 + word / 2}}) {
    SCOPED_TRACE(attachment);
    mtext->setAttachment(attachment);
    auto texts = explodeToTexts(*mtext);
    ASSERT_EQ(texts.size(), 2u);
    ASSERT_EQ(texts[0]->textZcString(), ZcString(L"alpha "));
    ZcDbExtents wrappedLine, lastLine;
    ASSERT_EQ(texts[0]->getGeomExtents(wrappedLine), Zcad::eOk);
    ASSERT_EQ(texts[1]->getGeomExtents(lastLine), Zcad::eOk);
    // Both words stand where the same word without a space would: the space reaches past them.
    EXPECT_NEAR(wrappedLine.minPoint().x, lastLine.minPoint().x, 1e-9);
    EXPECT_NEAR(wrappedLine.maxPoint().x, lastLine.maxPoint().x + space, 1e-9);
    EXPECT_NEAR(lastLine.maxPoint().x, lastEnd, 1e-9);
  }
}

TEST(MTextPlacement, AttachmentMovesTheBlockAndAlignsTheLines) {
  const double h = 3, spacing = 5.0 / 3.0 * h * 1.5;
  auto mtext = makeMText(L"first\\Psecond\\Pthird", h);
  mtext->setLineSpacingFactor(1.5);

  mtext->setAttachment(ZcDbMText::kBottomRight);
  auto bottom = explodeToTexts(*mtext);
  ASSERT_EQ(bottom.size(), 3u);
  EXPECT_NEAR(bottom[2]->position().y, 100, 1e-9);  // the last baseline sits on the location
  EXPECT_NEAR(bottom[0]->position().y, 100 + 2 * spacing, 1e-9);
  for (const auto& t : bottom) {
    EXPECT_EQ(t->horizontalMode(), ZcDb::kTextRight);
    ZcDbExtents e;
    ASSERT_EQ(t->getGeomExtents(e), Zcad::eOk);
    EXPECT_NEAR(e.maxPoint().x, 10, 1e-9);  // each line ends at the location
  }

  mtext->setAttachment(ZcDbMText::kMiddleCenter);
  auto middle = explodeToTexts(*mtext);
  ASSERT_EQ(middle.size(), 3u);
  const double blockHeight = h + 2 * spacing;
  EXPECT_NEAR(middle[0]->position().y, 100 + blockHeight / 2 - h, 1e-9);
  for (const auto& t : middle) {
    EXPECT_EQ(t->horizontalMode(), ZcDb::kTextCenter);
    EXPECT_EQ(t->alignmentPoint().x, 10);
  }

  // Rotated a quarter turn, lines stack toward +X.
  mtext->setAttachment(ZcDbMText::kTopLeft);
  mtext->setRotation(ZcGe::kPi / 2);
  auto turned = explodeToTexts(*mtext);
  ASSERT_EQ(turned.size(), 3u);
  EXPECT_NEAR(turned[0]->position().x, 10 + h, 1e-9);
  EXPECT_NEAR(turned[1]->position().x, 10 + h + spacing, 1e-9);
  EXPECT_NEAR(turned[1]->position().y, 100, 1e-9);
  EXPECT_EQ(turned[1]->rotation(), ZcGe::kPi / 2);
}

TEST(MTextPlacement, EmptyParagraphsKeepTheirSpaceAndExtentsCoverTheLines) {
  auto mtext = makeMText(L"top\\P\\Pbottom", 2);
  auto texts = explodeToTexts(*mtext);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NEAR(texts[0]->position().y - texts[1]->position().y, 2 * 5.0 / 3.0 * 2, 1e-9);

  ZcDbExtents all;
  ASSERT_EQ(mtext->getGeomExtents(all), Zcad::eOk);
  for (const auto& t : texts) {
    ZcDbExtents e;
    t->getGeomExtents(e);
    EXPECT_LE(all.minPoint().y, e.minPoint().y);
    EXPECT_GE(all.maxPoint().x, e.maxPoint().x);
  }
  EXPECT_TRUE(mtext->hitTest(texts[1]->position() + ZcGeVector3d(0.5, 0.5, 0), 0));
  EXPECT_FALSE(mtext->hitTest(ZcGePoint3d(-50, -50, 0), 1));

  ZcDbMText blank;
  ZcDbExtents none;
  EXPECT_EQ(blank.getGeomExtents(none), Zcad::eInvalidExtents);
  ZcArray<void*> pieces;
  EXPECT_EQ(blank.explode(pieces), Zcad::eOk);
  EXPECT_EQ(pieces.length(), 0);
}

}  // namespace
