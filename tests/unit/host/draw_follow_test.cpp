// Drawing one entity again and again: each draw shows the layer colour and the style font of that moment.
#include <gtest/gtest.h>

#include <memory>

#include "zrx/db.h"
#include "zrx/gi.h"

namespace {

ZcDbObjectId addLayer(ZcDbDatabase& db, const ZTCHAR* name, ZSoft::UInt16 color) {
  ZcDbLayerTable* layers = nullptr;
  EXPECT_EQ(db.getSymbolTable(layers, ZcDb::kForWrite), Zcad::eOk);
  auto* record = new ZcDbLayerTableRecord;
  record->setName(name);
  record->setColorIndex(color);
  ZcDbObjectId id;
  EXPECT_EQ(layers->add(id, record), Zcad::eOk);
  record->close();
  layers->close();
  return id;
}

ZcDbObjectId addStyle(ZcDbDatabase& db, const ZTCHAR* name, const ZTCHAR* font) {
  ZcDbTextStyleTable* styles = nullptr;
  EXPECT_EQ(db.getSymbolTable(styles, ZcDb::kForWrite), Zcad::eOk);
  auto* record = new ZcDbTextStyleTableRecord;
  record->setName(name);
  record->setFileName(ZcString(font));
  ZcDbObjectId id;
  EXPECT_EQ(styles->add(id, record), Zcad::eOk);
  record->close();
  styles->close();
  return id;
}

template <typename R>
void edit(ZcDbObjectId id, void (*change)(R&)) {
  R* record = nullptr;
  ASSERT_EQ(zcdbOpenObject(record, id, ZcDb::kForWrite, true), Zcad::eOk);
  change(*record);
  record->close();
}

// A text that belongs to no database, as a jig's preview draws it: it finds its layer and style in
// the working database. The fixture makes its own drawing the working one and restores the old.
class RepeatedDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    mPreviousWorking = zcdbHostApplicationServices()->workingDatabase();
    zcdbHostApplicationServices()->setWorkingDatabase(db.get());
    text.setLayer(L"Walls");
    text.setTextStyleName(ZcString(L"Mono"));
  }
  void TearDown() override { zcdbHostApplicationServices()->setWorkingDatabase(mPreviousWorking); }

  // The colour and font of one fresh draw of the text.
  ZcGiDrawRecorder::TextPrimitive draw() {
    recorder.clear();
    EXPECT_TRUE(text.worldDraw(&recorder));
    EXPECT_EQ(recorder.texts().size(), 1u);
    return recorder.texts().empty() ? ZcGiDrawRecorder::TextPrimitive{} : recorder.texts()[0];
  }
  ZSoft::UInt16 color() { return draw().color; }
  ZcString font() { return draw().style.fileName(); }

  std::unique_ptr<ZcDbDatabase> db = std::make_unique<ZcDbDatabase>();
  ZcDbText text{ZcGePoint3d(1, 2, 0), L"K12", ZcDbObjectId::kNull, 2.5};
  ZcGiDrawRecorder recorder{true};

 private:
  ZcDbDatabase* mPreviousWorking = nullptr;
};

TEST_F(RepeatedDraw, ColourFollowsTheLayerRecord) {
  const ZcDbObjectId walls = addLayer(*db, L"Walls", 3);
  EXPECT_EQ(color(), 3);
  edit<ZcDbLayerTableRecord>(walls, [](ZcDbLayerTableRecord& r) { r.setColorIndex(5); });
  EXPECT_EQ(color(), 5);

  // Renamed away the name finds nothing (white); a new layer under the name is found at once.
  edit<ZcDbLayerTableRecord>(walls, [](ZcDbLayerTableRecord& r) { EXPECT_EQ(r.setName(L"Old walls"), Zcad::eOk); });
  EXPECT_EQ(color(), 7);
  const ZcDbObjectId newWalls = addLayer(*db, L"WALLS", 2);
  EXPECT_EQ(color(), 2);

  // Erased, the layer no longer answers for its name; unerased, it does again.
  edit<ZcDbLayerTableRecord>(newWalls, [](ZcDbLayerTableRecord& r) { EXPECT_EQ(r.erase(), Zcad::eOk); });
  EXPECT_EQ(color(), 7);
  edit<ZcDbLayerTableRecord>(newWalls, [](ZcDbLayerTableRecord& r) { EXPECT_EQ(r.erase(false), Zcad::eOk); });
  EXPECT_EQ(color(), 2);
}

TEST_F(RepeatedDraw, ColourFollowsTheEntityAndTheDrawing) {
  addLayer(*db, L"Walls", 3);
  addLayer(*db, L"Doors", 4);
  EXPECT_EQ(color(), 3);
  text.setLayer(L"Doors");
  EXPECT_EQ(color(), 4);
  text.setColorIndex(1);
  EXPECT_EQ(color(), 1);
  text.setColorIndex(256);
  EXPECT_EQ(color(), 4);

  // Another working drawing answers with its own layer of that name.
  ZcDbDatabase other;
  addLayer(other, L"Doors", 6);
  zcdbHostApplicationServices()->setWorkingDatabase(&other);
  EXPECT_EQ(color(), 6);
  zcdbHostApplicationServices()->setWorkingDatabase(db.get());
  EXPECT_EQ(color(), 4);

  // The drawing goes and a new one takes its place (perhaps at the same address).
  zcdbHostApplicationServices()->setWorkingDatabase(nullptr);
  db.reset();
  EXPECT_EQ(color(), 7);
  db = std::make_unique<ZcDbDatabase>();
  addLayer(*db, L"Doors", 9);
  zcdbHostApplicationServices()->setWorkingDatabase(db.get());
  EXPECT_EQ(color(), 9);
}

TEST_F(RepeatedDraw, FontFollowsTheStyleRecord) {
  const ZcDbObjectId standard = db->textStyleStandardId();
  edit<ZcDbTextStyleTableRecord>(standard, [](ZcDbTextStyleTableRecord& r) { r.setFileName(ZcString(L"simplex")); });
  EXPECT_EQ(font(), ZcString(L"simplex"));  // no "Mono" yet: the standard style
  const ZcDbObjectId mono = addStyle(*db, L"Mono", L"monotxt");
  EXPECT_EQ(font(), ZcString(L"monotxt"));
  edit<ZcDbTextStyleTableRecord>(mono, [](ZcDbTextStyleTableRecord& r) { r.setFileName(ZcString(L"romans")); });
  EXPECT_EQ(font(), ZcString(L"romans"));
  edit<ZcDbTextStyleTableRecord>(mono, [](ZcDbTextStyleTableRecord& r) { r.setBigFontFileName(ZcString(L"big")); });
  EXPECT_EQ(draw().style.bigFontFileName(), ZcString(L"big"));

  edit<ZcDbTextStyleTableRecord>(mono, [](ZcDbTextStyleTableRecord& r) { EXPECT_EQ(r.erase(), Zcad::eOk); });
  EXPECT_EQ(font(), ZcString(L"simplex"));
  edit<ZcDbTextStyleTableRecord>(mono, [](ZcDbTextStyleTableRecord& r) { EXPECT_EQ(r.erase(false), Zcad::eOk); });
  EXPECT_EQ(font(), ZcString(L"romans"));
  edit<ZcDbTextStyleTableRecord>(mono, [](ZcDbTextStyleTableRecord& r) { EXPECT_EQ(r.setName(L"Mono 2"), Zcad::eOk); });
  EXPECT_EQ(font(), ZcString(L"simplex"));

  // The text's own choice: another name, then a style by id.
  text.setTextStyleName(ZcString(L"Mono 2"));
  EXPECT_EQ(font(), ZcString(L"romans"));
  const ZcDbObjectId wide = addStyle(*db, L"Wide", L"wide");
  text.setTextStyle(wide);
  EXPECT_EQ(font(), ZcString(L"wide"));
}

// The copies of a preview differ in text and place; the colour and font of each are those of the
// moment it is drawn, and the recorder's reused records keep nothing of the previous frame.
TEST_F(RepeatedDraw, RecordsOfALaterFrameShowTheLaterState) {
  const ZcDbObjectId walls = addLayer(*db, L"Walls", 3);
  addStyle(*db, L"Mono", L"monotxt");
  auto frame = [this] {
    recorder.clear();
    for (int i = 0; i < 3; ++i) {
      text.setTextString(ZcString(i == 1 ? L"a longer text than the others" : L"K"));
      text.setPosition(ZcGePoint3d(i, 0, 0));
      text.worldDraw(&recorder);
    }
    return recorder.texts();
  };
  auto first = frame();
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(first[1].message, ZcString(L"a longer text than the others"));
  EXPECT_EQ(first[2].color, 3);
  edit<ZcDbLayerTableRecord>(walls, [](ZcDbLayerTableRecord& r) { r.setColorIndex(1); });
  text.setTextStyleName(ZcString(L"Standard"));
  auto second = frame();
  ASSERT_EQ(second.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(second[i].color, 1);
    EXPECT_EQ(second[i].style.fileName(), ZcString(L"txt"));
    EXPECT_DOUBLE_EQ(second[i].position.x, i);
  }
  EXPECT_EQ(second[0].message, ZcString(L"K"));
  EXPECT_EQ(second[1].message, ZcString(L"a longer text than the others"));
}

}  // namespace
