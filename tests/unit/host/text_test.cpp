// Text: its box from real glyph advances, alignment modes, picking and what it draws.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/fonts.h"

namespace {

constexpr double kPi = ZcGe::kPi;

const zrxhost::Font& substitute() {
  return zrxhost::fontFor("txt");
}

// The width a string takes at height 1 and width factor 1, from the font alone.
double advanceOf(const char16_t* s) {
  return substitute().measure(s);
}

ZcDbExtents extentsOf(const ZcDbText& text) {
  ZcDbExtents e;
  EXPECT_EQ(text.getGeomExtents(e), Zcad::eOk);
  return e;
}

TEST(TextBox, ScalesWithHeightAndWidthFactor) {
  ZcDbText text(ZcGePoint3d(10, 20, 0), L"Tally 12", ZcDbObjectId::kNull, 2.5);
  const double advance = advanceOf(u"Tally 12");
  ZcDbExtents e = extentsOf(text);
  EXPECT_NEAR(e.minPoint().x, 10, 1e-9);  // from the start of the first character cell
  EXPECT_NEAR(e.maxPoint().x - e.minPoint().x, advance * 2.5, 1e-9);
  EXPECT_NEAR(e.minPoint().y, 20 + substitute().descender() * 2.5, 1e-9);
  EXPECT_NEAR(e.maxPoint().y, 20 + substitute().ascender() * 2.5, 1e-9);

  text.setHeight(5);
  ZcDbExtents doubled = extentsOf(text);
  EXPECT_NEAR(doubled.maxPoint().x - doubled.minPoint().x, 2 * (e.maxPoint().x - e.minPoint().x), 1e-9);
  EXPECT_NEAR(doubled.maxPoint().y - doubled.minPoint().y, 2 * (e.maxPoint().y - e.minPoint().y), 1e-9);

  text.setWidthFactor(0.5);
  ZcDbExtents narrow = extentsOf(text);
  EXPECT_NEAR(narrow.maxPoint().x - narrow.minPoint().x, advance * 5 * 0.5, 1e-9);
  EXPECT_NEAR(narrow.maxPoint().y - narrow.minPoint().y, doubled.maxPoint().y - doubled.minPoint().y, 1e-9);
}

TEST(TextBox, FollowsRotationAndOblique) {
  ZcDbText text(ZcGePoint3d(0, 0, 0), L"ABC", ZcDbObjectId::kNull, 2);
  const double width = advanceOf(u"ABC") * 2;
  const double top = substitute().ascender() * 2, bottom = substitute().descender() * 2;

  text.setRotation(kPi / 2);
  ZcDbExtents up = extentsOf(text);
  EXPECT_NEAR(up.minPoint().y, 0, 1e-9);
  EXPECT_NEAR(up.maxPoint().y, width, 1e-9);
  EXPECT_NEAR(up.minPoint().x, -top, 1e-9);  // the ascender side now points to -X
  EXPECT_NEAR(up.maxPoint().x, -bottom, 1e-9);

  text.setRotation(kPi / 6);
  ZcGePoint3d c[4];
  text.textBox(c);
  ZcGeVector3d baseline = c[1] - c[0];
  EXPECT_NEAR(baseline.length(), width, 1e-9);
  EXPECT_NEAR(std::atan2(baseline.y, baseline.x), kPi / 6, 1e-12);

  // Oblique leans the box: the top edge shifts along the baseline by height * tan(angle).
  text.setRotation(0);
  ASSERT_EQ(text.setOblique(kPi / 12), Zcad::eOk);
  text.textBox(c);
  EXPECT_NEAR(c[3].x - c[0].x, (top - bottom) * std::tan(kPi / 12), 1e-9);
  EXPECT_NEAR(c[2].x - c[3].x, width, 1e-9);
  ZcDbExtents leaning = extentsOf(text);
  EXPECT_NEAR(leaning.maxPoint().x, width + top * std::tan(kPi / 12), 1e-9);
  EXPECT_EQ(text.setOblique(kPi / 2 - 0.01), Zcad::eInvalidInput);
}

TEST(TextBox, SpacesMeasureEmptyHasNoneChineseComesFromTheFallback) {
  ZcDbText space(ZcGePoint3d(0, 0, 0), L" ", ZcDbObjectId::kNull, 4);
  ZcDbExtents e = extentsOf(space);
  EXPECT_GT(e.maxPoint().x - e.minPoint().x, 0.5);
  EXPECT_NEAR(e.maxPoint().x - e.minPoint().x, substitute().advance(U' ') * 4, 1e-9);

  ZcDbText empty(ZcGePoint3d(0, 0, 0), L"", ZcDbObjectId::kNull, 4);
  ZcDbExtents none;
  EXPECT_EQ(empty.getGeomExtents(none), Zcad::eInvalidExtents);
  EXPECT_FALSE(empty.hitTest(ZcGePoint3d(0, 0, 0), 1));

  ZcDbText han(ZcGePoint3d(0, 0, 0), L"编号", ZcDbObjectId::kNull, 3);
  ZcDbExtents h = extentsOf(han);
  EXPECT_GT(h.maxPoint().x - h.minPoint().x, 2 * 3.0);  // ideographs are wider than a capital is high
}

TEST(TextBox, FollowsTheStringAtOnce) {
  ZcDbDatabase db;
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  auto* text = new ZcDbText(ZcGePoint3d(0, 0, 0), L"1", ZcDbObjectId::kNull, 1);
  ZcDbObjectId id;
  ASSERT_EQ(model->appendZcDbEntity(id, text), Zcad::eOk);
  model->close();
  double previous = 0;
  for (const wchar_t* s : {L"1", L"12", L"123", L"1234"}) {
    ASSERT_EQ(text->setTextString(s), Zcad::eOk);
    ZcDbExtents e = extentsOf(*text);
    EXPECT_GT(e.maxPoint().x, previous) << "after " << s;
    EXPECT_NEAR(e.maxPoint().x, substitute().measure(ZcString(s).utf16()), 1e-9);
    previous = e.maxPoint().x;
  }
  text->close();
}

// Expected offset of the position from the alignment point, along and across the baseline.
struct Offsets {
  double along, across;
};

Offsets expectedOffsets(int h, int v, double width, double height) {
  const double along[] = {0, -width / 2, -width, 0, -width / 2, 0};
  double across = 0;
  if (h == ZcDb::kTextMid) return {along[h], -height / 2};
  if (v == ZcDb::kTextBottom) across = -substitute().descender() * height;
  if (v == ZcDb::kTextVertMid) across = -height / 2;
  if (v == ZcDb::kTextTop) across = -height;
  return {along[h], across};
}

TEST(Alignment, EveryHorizontalAndVerticalPair) {
  for (double rotation : {0.0, kPi / 3}) {
    for (int h : {ZcDb::kTextLeft, ZcDb::kTextCenter, ZcDb::kTextRight, ZcDb::kTextMid}) {
      for (int v : {ZcDb::kTextBase, ZcDb::kTextBottom, ZcDb::kTextVertMid, ZcDb::kTextTop}) {
        ZcDbText text(ZcGePoint3d(0, 0, 0), L"No.17", ZcDbObjectId::kNull, 2.5, rotation);
        text.setWidthFactor(0.8);
        text.setHorizontalMode(static_cast<ZcDb::TextHorzMode>(h));
        text.setVerticalMode(static_cast<ZcDb::TextVertMode>(v));
        const ZcGePoint3d anchor(100, 50, 0);
        text.setAlignmentPoint(anchor);
        ASSERT_EQ(text.adjustAlignment(), Zcad::eOk);
        EXPECT_EQ(text.isDefaultAlignment(), h == 0 && v == 0);
        if (h == 0 && v == 0) {
          EXPECT_EQ(text.position(), ZcGePoint3d(0, 0, 0)) << "a left baseline text keeps its position";
          continue;
        }
        const Offsets o = expectedOffsets(h, v, advanceOf(u"No.17") * 2.5 * 0.8, 2.5);
        const ZcGeVector3d x(std::cos(rotation), std::sin(rotation), 0), y(-std::sin(rotation), std::cos(rotation), 0);
        const ZcGePoint3d want = anchor + x * o.along + y * o.across;
        EXPECT_NEAR(text.position().x, want.x, 1e-9) << "h=" << h << " v=" << v << " r=" << rotation;
        EXPECT_NEAR(text.position().y, want.y, 1e-9) << "h=" << h << " v=" << v << " r=" << rotation;
        EXPECT_EQ(text.alignmentPoint(), anchor);
      }
    }
  }
}

TEST(Alignment, RightAndCenterPutTheBoxOnTheAlignmentPoint) {
  ZcDbText text(ZcGePoint3d(0, 0, 0), L"W-204", ZcDbObjectId::kNull, 3);
  text.setHorizontalMode(ZcDb::kTextRight);
  text.setAlignmentPoint(ZcGePoint3d(40, 10, 0));
  text.adjustAlignment();
  EXPECT_NEAR(extentsOf(text).maxPoint().x, 40, 1e-9);
  text.setHorizontalMode(ZcDb::kTextCenter);
  text.adjustAlignment();
  ZcDbExtents e = extentsOf(text);
  EXPECT_NEAR((e.minPoint().x + e.maxPoint().x) / 2, 40, 1e-9);
  // The box follows the alignment point even before the position is adjusted again.
  text.setAlignmentPoint(ZcGePoint3d(60, 10, 0));
  e = extentsOf(text);
  EXPECT_NEAR((e.minPoint().x + e.maxPoint().x) / 2, 60, 1e-9);
}

TEST(Alignment, AlignedScalesHeightAndFitScalesWidthBetweenTheTwoPoints) {
  const double advance = advanceOf(u"A-12");
  ZcDbText aligned(ZcGePoint3d(1, 1, 0), L"A-12", ZcDbObjectId::kNull, 2);
  aligned.setHorizontalMode(ZcDb::kTextAlign);
  aligned.setAlignmentPoint(ZcGePoint3d(1 + 30, 1 + 40, 0));  // 50 away, uphill
  ASSERT_EQ(aligned.adjustAlignment(), Zcad::eOk);
  EXPECT_EQ(aligned.position(), ZcGePoint3d(1, 1, 0));
  EXPECT_NEAR(aligned.rotation(), std::atan2(40, 30), 1e-12);
  EXPECT_NEAR(aligned.height(), 50 / advance, 1e-9);
  EXPECT_EQ(aligned.widthFactor(), 1.0);
  ZcGePoint3d c[4];
  aligned.textBox(c);
  EXPECT_NEAR(c[0].distanceTo(c[1]), 50, 1e-9);

  ZcDbText fit(ZcGePoint3d(0, 0, 0), L"A-12", ZcDbObjectId::kNull, 2);
  fit.setHorizontalMode(ZcDb::kTextFit);
  fit.setAlignmentPoint(ZcGePoint3d(0, -20, 0));
  ASSERT_EQ(fit.adjustAlignment(), Zcad::eOk);
  EXPECT_EQ(fit.height(), 2.0);
  EXPECT_NEAR(fit.widthFactor(), 20 / (advance * 2), 1e-9);
  EXPECT_NEAR(fit.rotation(), -kPi / 2, 1e-12);
  fit.textBox(c);
  const ZcGeVector3d baseline = c[1] - c[0];  // the bottom edge, parallel to the baseline
  EXPECT_NEAR(baseline.x, 0, 1e-9);
  EXPECT_NEAR(baseline.y, -20, 1e-9);
}

TEST(Alignment, ClosingAChangedTextSettlesItsPosition) {
  ZcDbDatabase db;
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  auto* text = new ZcDbText(ZcGePoint3d(0, 0, 0), L"17", ZcDbObjectId::kNull, 2);
  text->setHorizontalMode(ZcDb::kTextRight);
  text->setAlignmentPoint(ZcGePoint3d(50, 0, 0));
  ZcDbObjectId id;
  ASSERT_EQ(model->appendZcDbEntity(id, text), Zcad::eOk);
  text->close();
  model->close();
  ASSERT_EQ(zcdbOpenObject(text, id, ZcDb::kForRead), Zcad::eOk);
  EXPECT_NEAR(text->position().x, 50 - advanceOf(u"17") * 2, 1e-9);
  EXPECT_EQ(text->adjustAlignment(), Zcad::eNotOpenForWrite);
  text->close();
}

TEST(TextPick, InsideTheBoxOrWithinTheAperture) {
  ZcDbText text(ZcGePoint3d(0, 0, 0), L"12345", ZcDbObjectId::kNull, 2, kPi / 4);
  ZcGePoint3d c[4];
  text.textBox(c);
  const ZcGePoint3d centre((c[0].x + c[2].x) / 2, (c[0].y + c[2].y) / 2, 0);
  EXPECT_TRUE(text.hitTest(centre, 0));
  // Just beyond the end of the baseline, along the baseline.
  const ZcGeVector3d along = (c[1] - c[0]).normal();
  const ZcGePoint3d past = c[1] + along * 0.3;
  EXPECT_FALSE(text.hitTest(past, 0.2));
  EXPECT_TRUE(text.hitTest(past, 0.4));
  // A point inside the extents but outside the turned box.
  ZcDbExtents e = extentsOf(text);
  EXPECT_FALSE(text.hitTest(ZcGePoint3d(e.maxPoint().x - 0.1, e.minPoint().y + 0.1, 0), 0.05));
}

TEST(TextDraw, EmitsOneTextPrimitiveWithTheResolvedLook) {
  ZcDbDatabase db;
  ZcDbHostApplicationServices* services = zcdbHostApplicationServices();
  ZcDbDatabase* previous = services->workingDatabase();
  services->setWorkingDatabase(&db);
  ZcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db.getSymbolTable(layers, ZcDb::kForWrite), Zcad::eOk);
  auto* marks = new ZcDbLayerTableRecord;
  marks->setName(L"Marks");
  marks->setColorIndex(3);
  ASSERT_EQ(layers->add(marks), Zcad::eOk);
  marks->close();
  layers->close();

  ZcDbText text(ZcGePoint3d(5, 6, 0), L"B-7", ZcDbObjectId::kNull, 4, kPi / 2);
  text.setLayer(L"marks");
  text.setWidthFactor(0.75);
  text.setOblique(0.2);
  ZcGiDrawRecorder recorder;
  EXPECT_TRUE(text.worldDraw(&recorder));
  ASSERT_EQ(recorder.texts().size(), 1u);
  const auto& t = recorder.texts()[0];
  EXPECT_EQ(t.position, ZcGePoint3d(5, 6, 0));
  EXPECT_NEAR(t.direction.x, 0, 1e-12);
  EXPECT_NEAR(t.direction.y, 1, 1e-12);
  EXPECT_EQ(t.message, ZcString(L"B-7"));
  EXPECT_EQ(t.style.textSize, 4);
  EXPECT_EQ(t.style.xScale, 0.75);
  EXPECT_EQ(t.style.obliquingAngle, 0.2);
  EXPECT_EQ(t.style.fileName(), ZcString(L"txt"));
  EXPECT_EQ(t.color, 3);  // by layer, found without regard to case

  recorder.clear();
  text.setColorIndex(1);
  text.setHorizontalMode(ZcDb::kTextRight);
  text.setAlignmentPoint(ZcGePoint3d(5, 60, 0));
  text.worldDraw(&recorder);
  ASSERT_EQ(recorder.texts().size(), 1u);
  EXPECT_EQ(recorder.texts()[0].color, 1);
  // Drawn from the left end of the baseline, wherever the alignment puts it.
  EXPECT_NEAR(recorder.texts()[0].position.y, 60 - advanceOf(u"B-7") * 4 * 0.75, 1e-9);
  services->setWorkingDatabase(previous);
}

TEST(TextStyle, ResolvedByIdThenNameThenStandard) {
  ZcDbDatabase db;
  ZcDbTextStyleTable* styles = nullptr;
  ASSERT_EQ(db.getSymbolTable(styles, ZcDb::kForWrite), Zcad::eOk);
  auto* serif = new ZcDbTextStyleTableRecord;
  serif->setName(L"Serif");
  serif->setFileName(L"DejaVuSerif.ttf");
  ZcDbObjectId serifId;
  ASSERT_EQ(styles->add(serifId, serif), Zcad::eOk);
  serif->close();
  styles->close();

  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  auto* byId = new ZcDbText(ZcGePoint3d(0, 0, 0), L"Wide", serifId);
  auto* byName = new ZcDbText(ZcGePoint3d(0, 0, 0), L"Wide");
  byName->setTextStyleName(L"SERIF");
  auto* unknown = new ZcDbText(ZcGePoint3d(0, 0, 0), L"Wide");
  unknown->setTextStyleName(L"Nowhere");
  for (ZcDbText* t : {byId, byName, unknown}) {
    ASSERT_EQ(model->appendZcDbEntity(t), Zcad::eOk);
    t->close();
  }
  model->close();
  EXPECT_EQ(byId->fontFileName(), ZcString(L"DejaVuSerif.ttf"));
  EXPECT_EQ(byName->fontFileName(), ZcString(L"DejaVuSerif.ttf"));
  EXPECT_EQ(unknown->fontFileName(), ZcString(L"txt"));
  EXPECT_EQ(byId->font().familyName(), "DejaVu Serif");
  EXPECT_EQ(unknown->font().familyName(), "DejaVu Sans");
  EXPECT_NE(extentsOf(*byId).maxPoint().x, extentsOf(*unknown).maxPoint().x);  // serif advances differ
}

}  // namespace
