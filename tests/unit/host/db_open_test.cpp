// Open modes, close, upgrade, erase and entity names: the statuses the real host gives.
#include <gtest/gtest.h>

#include <memory>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/edits.h"

namespace {

class OpenRules : public ::testing::Test {
 protected:
  void SetUp() override {
    db = std::make_unique<ZcDbDatabase>();
    ZcDbBlockTable* blocks = nullptr;
    ASSERT_EQ(db->getSymbolTable(blocks, ZcDb::kForRead), Zcad::eOk);
    ZcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(blocks->getAt(ZCDB_MODEL_SPACE, model, ZcDb::kForWrite), Zcad::eOk);
    blocks->close();
    auto* text = new ZcDbText(ZcGePoint3d(1, 2, 0), L"A1");
    ASSERT_EQ(model->appendZcDbEntity(textId, text), Zcad::eOk);
    text->close();
    auto* line = new ZcDbLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(5, 0, 0));
    ASSERT_EQ(model->appendZcDbEntity(lineId, line), Zcad::eOk);
    line->close();
    model->close();
  }

  // A pointer that a failed open must reset.
  static ZcDbObject* garbage() { return reinterpret_cast<ZcDbObject*>(0x1234); }

  std::unique_ptr<ZcDbDatabase> db;
  ZcDbObjectId textId, lineId;
};

TEST_F(OpenRules, NullAndErasedIdsAreRefusedWithANullPointer) {
  ZcDbObject* obj = garbage();
  EXPECT_EQ(zcdbOpenObject(obj, ZcDbObjectId::kNull, ZcDb::kForRead), Zcad::eNullObjectId);
  EXPECT_EQ(obj, nullptr);

  ASSERT_EQ(zcdbOpenObject(obj, textId, ZcDb::kForWrite), Zcad::eOk);
  ASSERT_EQ(obj->erase(), Zcad::eOk);
  ASSERT_EQ(obj->close(), Zcad::eOk);

  ZcDbText* text = reinterpret_cast<ZcDbText*>(garbage());
  EXPECT_EQ(zcdbOpenObject(text, textId, ZcDb::kForRead), Zcad::eWasErased);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(zcdbOpenObject(text, textId, ZcDb::kForWrite), Zcad::eWasErased);
  EXPECT_EQ(text, nullptr);
  // The id stays valid and the object opens when asked for erased objects.
  EXPECT_TRUE(textId.isErased());
  EXPECT_NE(textId.handle(), 0u);
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForRead, true), Zcad::eOk);
  EXPECT_EQ(text->textZcString(), ZcString(L"A1"));
  EXPECT_TRUE(text->isErased());
  EXPECT_EQ(text->close(), Zcad::eOk);
}

TEST_F(OpenRules, WriteExcludesEveryOtherOpenAndReadersExcludeWrite) {
  ZcDbObject* writer = nullptr;
  ASSERT_EQ(zcdbOpenObject(writer, textId, ZcDb::kForWrite), Zcad::eOk);
  ZcDbObject* other = garbage();
  EXPECT_EQ(zcdbOpenObject(other, textId, ZcDb::kForWrite), Zcad::eWasOpenedForWrite);
  EXPECT_EQ(other, nullptr);
  other = garbage();
  EXPECT_EQ(zcdbOpenObject(other, textId, ZcDb::kForRead), Zcad::eWasOpenedForWrite);
  EXPECT_EQ(other, nullptr);
  ASSERT_EQ(writer->close(), Zcad::eOk);

  ZcDbObject* reader1 = nullptr;
  ZcDbObject* reader2 = nullptr;
  ASSERT_EQ(zcdbOpenObject(reader1, textId, ZcDb::kForRead), Zcad::eOk);
  ASSERT_EQ(zcdbOpenObject(reader2, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(reader1, reader2);
  other = garbage();
  EXPECT_EQ(zcdbOpenObject(other, textId, ZcDb::kForWrite), Zcad::eWasOpenedForRead);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(reader1->close(), Zcad::eOk);
  EXPECT_EQ(zcdbOpenObject(other, textId, ZcDb::kForWrite), Zcad::eWasOpenedForRead);
  EXPECT_EQ(reader2->close(), Zcad::eOk);
  // Once the last reader is gone, a write open succeeds.
  ASSERT_EQ(zcdbOpenObject(other, textId, ZcDb::kForWrite), Zcad::eOk);
  EXPECT_TRUE(other->isWriteEnabled());
  EXPECT_EQ(other->close(), Zcad::eOk);
}

TEST_F(OpenRules, ClassTestRefusesOtherKindsAndAcceptsBaseClasses) {
  ZcDbText* text = reinterpret_cast<ZcDbText*>(garbage());
  EXPECT_EQ(zcdbOpenObject(text, lineId, ZcDb::kForRead), Zcad::eNotThatKindOfClass);
  EXPECT_EQ(text, nullptr);
  // The refused open did not count as a reader: a write open still works.
  ZcDbLine* line = nullptr;
  ASSERT_EQ(zcdbOpenObject(line, lineId, ZcDb::kForWrite), Zcad::eOk);
  EXPECT_EQ(line->close(), Zcad::eOk);
  ZcDbEntity* entity = nullptr;
  ASSERT_EQ(zcdbOpenObject(entity, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_NE(ZcDbText::cast(entity), nullptr);
  EXPECT_EQ(entity->close(), Zcad::eOk);
}

TEST_F(OpenRules, CloseUpgradeAndDowngradeStatuses) {
  ZcDbText loose;
  EXPECT_EQ(loose.close(), Zcad::eNotInDatabase);

  ZcDbObject* obj = nullptr;
  ASSERT_EQ(zcdbOpenObject(obj, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_FALSE(obj->isWriteEnabled());
  EXPECT_TRUE(obj->isReadEnabled());
  ASSERT_EQ(obj->upgradeOpen(), Zcad::eOk);
  EXPECT_TRUE(obj->isWriteEnabled());
  EXPECT_EQ(obj->upgradeOpen(), Zcad::eWasOpenedForWrite);
  ASSERT_EQ(obj->downgradeOpen(), Zcad::eOk);
  EXPECT_FALSE(obj->isWriteEnabled());
  EXPECT_EQ(obj->downgradeOpen(), Zcad::eNotOpenForWrite);
  ASSERT_EQ(obj->close(), Zcad::eOk);
  EXPECT_EQ(obj->close(), Zcad::eNotOpenForRead);  // closed once too often
  EXPECT_EQ(obj->upgradeOpen(), Zcad::eNotOpenForRead);

  // Two readers: neither can upgrade.
  ZcDbObject* second = nullptr;
  ASSERT_EQ(zcdbOpenObject(obj, textId, ZcDb::kForRead), Zcad::eOk);
  ASSERT_EQ(zcdbOpenObject(second, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(obj->upgradeOpen(), Zcad::eWasOpenedForRead);
  EXPECT_FALSE(obj->isWriteEnabled());
  second->close();
  EXPECT_EQ(obj->upgradeOpen(), Zcad::eOk);
  obj->close();
}

TEST_F(OpenRules, EraseNeedsWriteAndReportsRepeats) {
  ZcDbObject* obj = nullptr;
  ASSERT_EQ(zcdbOpenObject(obj, lineId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(obj->erase(), Zcad::eNotOpenForWrite);
  EXPECT_FALSE(obj->isErased());
  ASSERT_EQ(obj->upgradeOpen(), Zcad::eOk);
  EXPECT_EQ(obj->erase(false), Zcad::eWasNotErased);
  EXPECT_EQ(obj->erase(), Zcad::eOk);
  EXPECT_EQ(obj->erase(), Zcad::eWasErased);
  EXPECT_EQ(obj->erase(false), Zcad::eOk);
  EXPECT_FALSE(lineId.isErased());
  obj->close();

  ZcDbLine loose;
  EXPECT_EQ(loose.erase(), Zcad::eNotInDatabase);
}

TEST_F(OpenRules, SettersNeedWriteOnlyForResidentObjects) {
  ZcDbText* text = nullptr;
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(text->setTextString(L"B2"), Zcad::eNotOpenForWrite);
  EXPECT_EQ(text->setHeight(7), Zcad::eNotOpenForWrite);
  EXPECT_EQ(text->setColorIndex(1), Zcad::eNotOpenForWrite);
  EXPECT_EQ(text->setLayer(L"X"), Zcad::eNotOpenForWrite);
  EXPECT_EQ(text->textZcString(), ZcString(L"A1"));
  EXPECT_EQ(text->colorIndex(), 256);
  ASSERT_EQ(text->upgradeOpen(), Zcad::eOk);
  EXPECT_EQ(text->setTextString(L"B2"), Zcad::eOk);
  EXPECT_EQ(text->setColorIndex(1), Zcad::eOk);
  text->close();

  ZcDbText loose;
  EXPECT_EQ(loose.setTextString(L"free"), Zcad::eOk);
  EXPECT_EQ(loose.setHeight(-1), Zcad::eInvalidInput);
  EXPECT_EQ(loose.setHorizontalMode(static_cast<ZcDb::TextHorzMode>(9)), Zcad::eInvalidInput);
}

TEST_F(OpenRules, EntityNamesRoundTripAndBadNamesAreRefused) {
  zds_name name = {0, 0};
  ASSERT_EQ(zcdbGetZdsName(name, textId), Zcad::eOk);
  ZcDbObjectId back;
  ASSERT_EQ(zcdbGetObjectId(back, name), Zcad::eOk);
  EXPECT_EQ(back, textId);

  zds_name empty = {0, 0};
  EXPECT_EQ(zcdbGetObjectId(back, empty), Zcad::eNullObjectId);
  EXPECT_TRUE(back.isNull());
  // A value that is no stub (inside a stub, or a stack address) is refused, not followed.
  ZcDbText local;
  zds_name bogus = {reinterpret_cast<ZSoft::LongPtr>(&local), 0};
  EXPECT_NE(zcdbGetObjectId(back, bogus), Zcad::eOk);
  EXPECT_TRUE(back.isNull());
  zds_name misaligned = {name[0] + 1, 0};
  EXPECT_NE(zcdbGetObjectId(back, misaligned), Zcad::eOk);
  EXPECT_TRUE(back.isNull());
}

TEST(DatabaseLifetime, NamesOfADestroyedDatabaseAreRefused) {
  zds_name name = {0, 0};
  {
    ZcDbDatabase db;
    ZcDbBlockTableRecord* model = nullptr;
    ZcDbObject* obj = nullptr;
    ASSERT_EQ(zcdbOpenObject(obj, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
    model = ZcDbBlockTableRecord::cast(obj);
    ZcDbObjectId id;
    auto* line = new ZcDbLine;
    ASSERT_EQ(model->appendZcDbEntity(id, line), Zcad::eOk);
    line->close();
    model->close();
    zcdbGetZdsName(name, id);
    ZcDbObjectId again;
    ASSERT_EQ(zcdbGetObjectId(again, name), Zcad::eOk);
  }
  ZcDbObjectId id;
  EXPECT_NE(zcdbGetObjectId(id, name), Zcad::eOk);
  EXPECT_TRUE(id.isNull());
}

// A writer copies the record of an object nobody changed from the file: only opening for write (or
// upgrading to it) may count as a change, reading must not, and undo takes the mark back too.
TEST_F(OpenRules, OnlyWriteAccessMarksAnObjectChanged) {
  EXPECT_TRUE(zrxhost::changedSinceMarked(*db, textId));  // added since the database was made
  zrxhost::markAllUnchanged(*db);
  EXPECT_FALSE(zrxhost::changedSinceMarked(*db, textId));
  EXPECT_FALSE(zrxhost::changedSinceMarked(*db, lineId));

  ZcDbObject* obj = nullptr;
  ASSERT_EQ(zcdbOpenObject(obj, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(obj, zrxhost::peekObject(textId));  // the host's look without opening finds the same object
  ASSERT_EQ(obj->close(), Zcad::eOk);
  EXPECT_FALSE(zrxhost::changedSinceMarked(*db, textId));

  ASSERT_EQ(zcdbOpenObject(obj, textId, ZcDb::kForRead), Zcad::eOk);
  ASSERT_EQ(obj->upgradeOpen(), Zcad::eOk);
  ASSERT_EQ(obj->close(), Zcad::eOk);
  EXPECT_TRUE(zrxhost::changedSinceMarked(*db, textId));

  ASSERT_EQ(zcdbOpenObject(obj, lineId, ZcDb::kForWrite), Zcad::eOk);
  ASSERT_EQ(obj->close(), Zcad::eOk);
  EXPECT_TRUE(zrxhost::changedSinceMarked(*db, lineId));
  EXPECT_TRUE(zrxhost::changedSinceMarked(*db, ZcDbObjectId::kNull));
  EXPECT_EQ(zrxhost::peekObject(ZcDbObjectId::kNull), nullptr);
}

// A writer trusts the edits setters tell to know which values of a changed object to write: a setter
// tells only when it stores, refused values and reads tell nothing, and marking the drawing unchanged
// forgets them.
TEST_F(OpenRules, SettersTellWhichPropertiesTheyChanged) {
  zrxhost::markAllUnchanged(*db);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId), 0u);
  ZcDbText* text = nullptr;
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForWrite), Zcad::eOk);
  EXPECT_EQ(text->setHeight(-1), Zcad::eInvalidInput);
  EXPECT_EQ(text->setOblique(1.5), Zcad::eInvalidInput);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId), 0u);  // open for write, nothing stored yet
  EXPECT_EQ(text->setPosition(ZcGePoint3d(3, 4, 0)), Zcad::eOk);
  EXPECT_EQ(text->setTextString(L"B2"), Zcad::eOk);
  EXPECT_EQ(text->setColorIndex(1), Zcad::eOk);
  text->close();
  // From (1, 2, 0): a point tells the coordinates it changed.
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId),
            zrxhost::kEditPositionX | zrxhost::kEditPositionY | zrxhost::kEditContents | zrxhost::kEditColor);
  zrxhost::markAllUnchanged(*db);
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForWrite), Zcad::eOk);
  EXPECT_EQ(text->setPosition(ZcGePoint3d(3, 4, 0)), Zcad::eOk);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId), 0u);  // the same point again
  EXPECT_EQ(text->setPosition(ZcGePoint3d(3, 4, -0.0)), Zcad::eOk);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId), zrxhost::kEditPositionZ);  // -0 is written otherwise than 0
  text->close();

  // A text that is not left-aligned settles its position when closed after a change: that counts.
  ASSERT_EQ(zcdbOpenObject(text, textId, ZcDb::kForWrite), Zcad::eOk);
  zrxhost::markAllUnchanged(*db);
  EXPECT_EQ(text->setHorizontalMode(ZcDb::kTextRight), Zcad::eOk);
  text->close();
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId) & (zrxhost::kEditJustification | zrxhost::kEditPositionX),
            zrxhost::kEditJustification | zrxhost::kEditPositionX);

  ZcDbLine* line = nullptr;
  ASSERT_EQ(zcdbOpenObject(line, lineId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(line->setEndPoint(ZcGePoint3d(1, 1, 1)), Zcad::eNotOpenForWrite);
  ASSERT_EQ(line->upgradeOpen(), Zcad::eOk);
  EXPECT_EQ(line->setEndPoint(ZcGePoint3d(1, 1, 1)), Zcad::eOk);
  line->close();
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, lineId), zrxhost::kEditEndPoint);
  zrxhost::markAllUnchanged(*db);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, lineId), 0u);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, textId), 0u);
  EXPECT_EQ(zrxhost::editsSinceMarked(*db, ZcDbObjectId::kNull), 0u);
}

// A writer trusts the names it found through ids (a text's style) while the drawing's symbol tables
// stand: a record added, renamed or destroyed there counts, another drawing's changes do not.
TEST_F(OpenRules, SymbolTableChangesAreCountedPerDrawing) {
  ZcDbDatabase other;
  const std::uint64_t before = zrxhost::symbolTableChanges(*db);
  ZcDbTextStyleTableRecord* elsewhere = nullptr;
  ASSERT_EQ(zcdbOpenObject(elsewhere, other.textStyleStandardId(), ZcDb::kForWrite), Zcad::eOk);
  EXPECT_EQ(elsewhere->setName(L"Elsewhere"), Zcad::eOk);
  elsewhere->close();
  EXPECT_EQ(zrxhost::symbolTableChanges(*db), before);

  ZcDbTextStyleTableRecord* style = nullptr;
  ASSERT_EQ(zcdbOpenObject(style, db->textStyleStandardId(), ZcDb::kForWrite), Zcad::eOk);
  EXPECT_EQ(style->setName(L""), Zcad::eInvalidInput);  // refused: nothing changed
  EXPECT_EQ(zrxhost::symbolTableChanges(*db), before);
  EXPECT_EQ(style->setName(L"Renamed"), Zcad::eOk);
  style->close();
  EXPECT_EQ(zrxhost::symbolTableChanges(*db), before + 1);

  ZcDbTextStyleTable* styles = nullptr;
  ASSERT_EQ(db->getSymbolTable(styles, ZcDb::kForWrite), Zcad::eOk);
  auto* added = new ZcDbTextStyleTableRecord;
  ASSERT_EQ(added->setName(L"Added"), Zcad::eOk);  // not in a drawing yet
  EXPECT_EQ(zrxhost::symbolTableChanges(*db), before + 1);
  ZcDbObjectId addedId;
  ASSERT_EQ(styles->add(addedId, added), Zcad::eOk);
  added->close();
  styles->close();
  EXPECT_EQ(zrxhost::symbolTableChanges(*db), before + 2);
}

}  // namespace
