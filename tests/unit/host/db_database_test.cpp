// The database: default drawing, handles, symbol tables, appending entities, cloning.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"

namespace {

ZcDbBlockTableRecord* openModelSpace(ZcDbDatabase& db, ZcDb::OpenMode mode) {
  ZcDbBlockTable* blocks = nullptr;
  if (db.getSymbolTable(blocks, ZcDb::kForRead) != Zcad::eOk) return nullptr;
  ZcDbBlockTableRecord* model = nullptr;
  blocks->getAt(ZCDB_MODEL_SPACE, model, mode);
  blocks->close();
  return model;
}

TEST(DefaultDrawing, HasTheStandardTablesAndRecords) {
  ZcDbDatabase db;
  ZcDbBlockTable* blocks = nullptr;
  ASSERT_EQ(db.getSymbolTable(blocks, ZcDb::kForRead), Zcad::eOk);
  ZcDbObjectId model, paper, upper;
  EXPECT_EQ(blocks->getAt(L"*Model_Space", model), Zcad::eOk);
  EXPECT_EQ(blocks->getAt(L"*Paper_Space", paper), Zcad::eOk);
  EXPECT_EQ(blocks->getAt(L"*MODEL_SPACE", upper), Zcad::eOk);  // names ignore case
  EXPECT_EQ(upper, model);
  EXPECT_NE(model, paper);
  EXPECT_FALSE(blocks->has(L"*Model"));
  blocks->close();
  EXPECT_EQ(db.modelSpaceId(), model);
  EXPECT_EQ(db.paperSpaceId(), paper);

  EXPECT_EQ(db.currentSpaceId(), model);
  db.setTileMode(false);
  EXPECT_EQ(db.currentSpaceId(), paper);

  ZcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db.getSymbolTable(layers, ZcDb::kForRead), Zcad::eOk);
  ZcDbLayerTableRecord* layer0 = nullptr;
  ASSERT_EQ(layers->getAt(L"0", layer0, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(layer0->colorIndex(), 7);
  layer0->close();
  layers->close();

  ZcDbTextStyleTableRecord* standard = nullptr;
  ASSERT_EQ(zcdbOpenObject(standard, db.textStyleId(L"STANDARD"), ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(standard->fileName(), ZcString(L"txt"));
  EXPECT_EQ(standard->objectId(), db.textStyleStandardId());
  standard->close();

  ZcDbDatabase empty(false);
  EXPECT_TRUE(empty.blockTableId().isNull());
  EXPECT_TRUE(empty.modelSpaceId().isNull());
  EXPECT_EQ(empty.numObjects(), 0);
  ZcDbBlockTable* none = reinterpret_cast<ZcDbBlockTable*>(0x10);
  EXPECT_EQ(empty.getSymbolTable(none, ZcDb::kForRead), Zcad::eNullObjectId);
  EXPECT_EQ(none, nullptr);
}

TEST(Handles, FreshGivenDuplicateAndForwardReferences) {
  ZcDbDatabase db(false);
  ZcDbObjectId a, b, c, d;
  auto* first = new ZcDbLine;
  ASSERT_EQ(db.addZcDbObject(a, first), Zcad::eOk);
  first->close();
  auto* given = new ZcDbLine;
  ASSERT_EQ(db.addZcDbObject(b, given, 0x50), Zcad::eOk);
  given->close();
  EXPECT_EQ(b.handle(), 0x50u);
  auto* fresh = new ZcDbLine;
  ASSERT_EQ(db.addZcDbObject(c, fresh), Zcad::eOk);
  fresh->close();
  EXPECT_GT(c.handle(), 0x50u);  // the seed moved past the given handle
  EXPECT_NE(a.handle(), c.handle());

  auto* clash = new ZcDbLine;
  EXPECT_EQ(db.addZcDbObject(d, clash, 0x50), Zcad::eDuplicateKey);
  EXPECT_FALSE(clash->isDatabaseResident());
  delete clash;
  EXPECT_EQ(db.addZcDbObject(d, first), Zcad::eAlreadyInDb);
  EXPECT_EQ(db.addZcDbObject(d, nullptr), Zcad::eNullObjectPointer);

  ZcDbObjectId found;
  ASSERT_EQ(db.getZcDbObjectId(found, false, 0x50), Zcad::eOk);
  EXPECT_EQ(found, b);
  EXPECT_EQ(db.getZcDbObjectId(found, false, 0x77), Zcad::eKeyNotFound);
  EXPECT_TRUE(found.isNull());

  // A handle referred to before its object exists: the id becomes the object's once it arrives.
  ZcDbObjectId forward;
  ASSERT_EQ(db.getZcDbObjectId(forward, true, 0x90), Zcad::eOk);
  ZcDbObject* obj = nullptr;
  EXPECT_NE(zcdbOpenObject(obj, forward, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(obj, nullptr);
  auto* late = new ZcDbLine;
  ZcDbObjectId lateId;
  ASSERT_EQ(db.addZcDbObject(lateId, late, 0x90), Zcad::eOk);
  late->close();
  EXPECT_EQ(lateId, forward);
  ASSERT_EQ(zcdbOpenObject(obj, forward, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(obj, late);
  obj->close();

  std::vector<ZcDbObjectId> all = zrxhost::allObjectIds(db);
  ASSERT_EQ(all.size(), 4u);
  for (size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].handle(), all[i].handle());
  EXPECT_EQ(db.numObjects(), 4);
}

TEST(SymbolTables, AddNeedsWriteAndUniqueNames) {
  ZcDbDatabase db;
  ZcDbLayerTable* layers = nullptr;
  ASSERT_EQ(db.getSymbolTable(layers, ZcDb::kForRead), Zcad::eOk);
  auto* walls = new ZcDbLayerTableRecord;
  walls->setName(L"Walls");
  EXPECT_EQ(layers->add(walls), Zcad::eNotOpenForWrite);
  EXPECT_FALSE(walls->isDatabaseResident());
  ASSERT_EQ(layers->upgradeOpen(), Zcad::eOk);
  ZcDbObjectId wallsId;
  ASSERT_EQ(layers->add(wallsId, walls), Zcad::eOk);
  EXPECT_TRUE(walls->isWriteEnabled());  // a new record stays open for write
  EXPECT_EQ(walls->ownerId(), db.layerTableId());
  walls->setColorIndex(3);
  walls->close();

  auto* again = new ZcDbLayerTableRecord;
  again->setName(L"WALLS");
  EXPECT_EQ(layers->add(again), Zcad::eDuplicateKey);
  delete again;
  auto* unnamed = new ZcDbLayerTableRecord;
  EXPECT_EQ(layers->add(unnamed), Zcad::eInvalidInput);
  delete unnamed;

  // getAt opens the record with the mode asked, under the usual open rules.
  ZcDbLayerTableRecord* record = nullptr;
  ASSERT_EQ(layers->getAt(L"walls", record, ZcDb::kForWrite), Zcad::eOk);
  EXPECT_EQ(record->colorIndex(), 3);
  ZcDbLayerTableRecord* twice = nullptr;
  EXPECT_EQ(layers->getAt(L"walls", twice, ZcDb::kForRead), Zcad::eWasOpenedForWrite);
  EXPECT_EQ(twice, nullptr);
  EXPECT_EQ(record->erase(), Zcad::eOk);
  record->close();
  EXPECT_EQ(layers->getAt(L"Walls", record, ZcDb::kForRead), Zcad::eKeyNotFound);
  EXPECT_EQ(record, nullptr);
  ASSERT_EQ(layers->getAt(L"Walls", record, ZcDb::kForRead, true), Zcad::eOk);
  record->close();
  EXPECT_EQ(layers->getAt(L"Doors", record, ZcDb::kForRead), Zcad::eKeyNotFound);
  layers->close();
}

TEST(Append, NeedsTheBlockOpenForWriteAndLeavesTheEntityOpen) {
  ZcDbDatabase db;
  ZcDbBlockTableRecord* model = openModelSpace(db, ZcDb::kForRead);
  ASSERT_NE(model, nullptr);
  auto* text = new ZcDbText(ZcGePoint3d(0, 0, 0), L"12");
  ZcDbObjectId id;
  EXPECT_EQ(model->appendZcDbEntity(id, text), Zcad::eNotOpenForWrite);
  EXPECT_FALSE(text->isDatabaseResident());
  EXPECT_TRUE(id.isNull());
  ASSERT_EQ(model->upgradeOpen(), Zcad::eOk);
  ASSERT_EQ(model->appendZcDbEntity(id, text), Zcad::eOk);
  EXPECT_EQ(text->objectId(), id);
  EXPECT_EQ(text->ownerId(), model->objectId());
  EXPECT_EQ(text->blockId(), db.modelSpaceId());
  EXPECT_EQ(text->database(), &db);
  EXPECT_TRUE(text->isWriteEnabled());
  ZcDbObject* other = nullptr;
  EXPECT_EQ(zcdbOpenObject(other, id, ZcDb::kForRead), Zcad::eWasOpenedForWrite);
  EXPECT_EQ(model->appendZcDbEntity(text), Zcad::eAlreadyInDb);
  EXPECT_EQ(model->appendZcDbEntity(nullptr), Zcad::eNullObjectPointer);
  ASSERT_EQ(model->entityIds().size(), 1u);
  EXPECT_EQ(model->entityIds()[0], id);
  EXPECT_EQ(text->close(), Zcad::eOk);
  EXPECT_EQ(model->close(), Zcad::eOk);
  EXPECT_EQ(zcdbOpenObject(other, id, ZcDb::kForWrite), Zcad::eOk);
  other->close();
}

TEST(Clone, IsANewIndependentObjectOfTheSameClass) {
  ZcDbDatabase db;
  ZcDbBlockTableRecord* model = openModelSpace(db, ZcDb::kForWrite);
  ASSERT_NE(model, nullptr);
  auto* text = new ZcDbText(ZcGePoint3d(3, 4, 0), L"No. 7", ZcDbObjectId::kNull, 5, 0.5);
  text->setLayer(L"Notes");
  text->setColorIndex(2);
  text->setHorizontalMode(ZcDb::kTextRight);
  text->setAlignmentPoint(ZcGePoint3d(30, 4, 0));
  auto extension = std::make_shared<zrxhost::ObjectExtension>();
  text->setExtension(extension);
  ZcDbObjectId id;
  ASSERT_EQ(model->appendZcDbEntity(id, text), Zcad::eOk);
  text->close();
  model->close();

  ZcDbText* source = nullptr;
  ASSERT_EQ(zcdbOpenObject(source, id, ZcDb::kForRead), Zcad::eOk);
  std::unique_ptr<ZcDbText> copy(ZcDbText::cast(source->clone()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->isA(), ZcDbText::desc());
  EXPECT_FALSE(copy->isDatabaseResident());
  EXPECT_TRUE(copy->objectId().isNull());
  EXPECT_EQ(copy->textZcString(), ZcString(L"No. 7"));
  EXPECT_EQ(copy->height(), 5);
  EXPECT_EQ(copy->rotation(), 0.5);
  EXPECT_EQ(copy->layerName(), ZcString(L"Notes"));
  EXPECT_EQ(copy->colorIndex(), 2);
  EXPECT_EQ(copy->horizontalMode(), ZcDb::kTextRight);
  EXPECT_EQ(copy->alignmentPoint(), ZcGePoint3d(30, 4, 0));
  EXPECT_EQ(copy->extension().get(), extension.get());  // shared, not copied

  // The clone is writable without opening, and changing it leaves the source alone.
  EXPECT_EQ(copy->setTextString(L"No. 8"), Zcad::eOk);
  EXPECT_EQ(copy->setLayer(L"Other"), Zcad::eOk);
  EXPECT_EQ(source->textZcString(), ZcString(L"No. 7"));
  EXPECT_EQ(source->layerName(), ZcString(L"Notes"));
  source->close();

  ZcDbLine line(ZcGePoint3d(1, 1, 0), ZcGePoint3d(2, 2, 0));
  std::unique_ptr<ZcRxObject> lineCopy(line.clone());
  ASSERT_NE(ZcDbLine::cast(lineCopy.get()), nullptr);
  EXPECT_EQ(ZcDbLine::cast(lineCopy.get())->endPoint(), ZcGePoint3d(2, 2, 0));
}

TEST(ClassRegistry, DatabaseClassesHaveTheirNamesParentsAndConstructors) {
  struct Expected {
    ZcRxClass* cls;
    const wchar_t* name;
    const wchar_t* dxf;
    ZcRxClass* parent;
  };
  const Expected expected[] = {
      {ZcDbText::desc(), L"AcDbText", L"TEXT", ZcDbEntity::desc()},
      {ZcDbMText::desc(), L"AcDbMText", L"MTEXT", ZcDbEntity::desc()},
      {ZcDb3dPolyline::desc(), L"AcDb3dPolyline", L"POLYLINE", ZcDbEntity::desc()},
      {ZcDbLine::desc(), L"AcDbLine", L"LINE", ZcDbEntity::desc()},
      {ZcDbBlockReference::desc(), L"AcDbBlockReference", L"INSERT", ZcDbEntity::desc()},
      {ZcDbBlockTable::desc(), L"AcDbBlockTable", L"TABLE", ZcDbSymbolTable::desc()},
  };
  for (const Expected& e : expected) {
    ASSERT_NE(e.cls, nullptr);
    EXPECT_STREQ(e.cls->name(), e.name);
    EXPECT_STREQ(e.cls->dxfName(), e.dxf);
    EXPECT_EQ(e.cls->myParent(), e.parent);
    EXPECT_TRUE(e.cls->isDerivedFrom(ZcDbObject::desc()));
    std::unique_ptr<ZcRxObject> made(e.cls->create());
    ASSERT_NE(made, nullptr) << e.name;
    EXPECT_EQ(made->isA(), e.cls);
  }
  EXPECT_TRUE(ZcDbEntity::desc()->isDerivedFrom(ZcDbObject::desc()));
  EXPECT_FALSE(ZcDbObject::desc()->isDerivedFrom(ZcDbEntity::desc()));
}

}  // namespace

// Builds lines on demand, counting the builds, as a file reader's loader would.
class LineLoader : public zrxhost::ObjectLoader {
 public:
  explicit LineLoader(ZcDbObjectId owner) : mOwner(owner) {}
  ZcDbObject* load(ZcDbObjectId id, std::uint32_t index) override {
    ++builds;
    lastId = id;
    auto* line = new ZcDbLine(ZcGePoint3d(index, 0, 0), ZcGePoint3d(index, 1, 0));
    line->setOwnerId(mOwner);
    return line;
  }
  int builds = 0;
  ZcDbObjectId lastId;

 private:
  ZcDbObjectId mOwner;
};

TEST(PendingObjects, AreBuiltOnceWhenFirstOpenedOrLookedAt) {
  ZcDbDatabase db;
  ZcDbObjectId early;
  EXPECT_EQ(zrxhost::addPendingObject(db, early, 0x400, 0), Zcad::eInvalidInput);  // nothing could build it
  auto owned = std::make_unique<LineLoader>(db.modelSpaceId());
  LineLoader& loader = *owned;
  zrxhost::setObjectLoader(db, std::move(owned));
  const int before = db.numObjects();

  ZcDbObjectId referred, a, b, clash;
  ASSERT_EQ(db.getZcDbObjectId(referred, true, 0x500), Zcad::eOk);  // known by reference only
  ASSERT_EQ(zrxhost::addPendingObject(db, a, 0x500, 7), Zcad::eOk);
  EXPECT_EQ(a, referred);
  ASSERT_EQ(zrxhost::addPendingObject(db, b, 0x501, 8), Zcad::eOk);
  EXPECT_EQ(zrxhost::addPendingObject(db, clash, 0x501, 9), Zcad::eDuplicateKey);
  auto* other = new ZcDbLine;
  EXPECT_EQ(db.addZcDbObject(clash, other, 0x500), Zcad::eDuplicateKey);
  delete other;
  EXPECT_GE(db.handseed(), ZcDbHandle{0x502});

  ZcDbBlockTableRecord* model = openModelSpace(db, ZcDb::kForWrite);
  ASSERT_TRUE(model);
  EXPECT_EQ(model->appendPendingEntity(a), Zcad::eOk);
  EXPECT_EQ(model->appendPendingEntity(b), Zcad::eOk);
  EXPECT_EQ(model->appendPendingEntity(db.modelSpaceId()), Zcad::eInvalidInput);  // built already
  model->close();
  zrxhost::markAllUnchanged(db);

  EXPECT_EQ(db.numObjects(), before + 2);
  EXPECT_EQ(loader.builds, 0);
  std::uint32_t index = 0;
  EXPECT_TRUE(zrxhost::pendingIndex(a, index));
  EXPECT_EQ(index, 7u);

  ZcDbLine* line = nullptr;
  ASSERT_EQ(zcdbOpenObject(line, a, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(loader.builds, 1);
  EXPECT_EQ(loader.lastId, a);
  EXPECT_EQ(line->startPoint(), ZcGePoint3d(7, 0, 0));
  EXPECT_EQ(line->objectId(), a);
  EXPECT_EQ(line->ownerId(), db.modelSpaceId());
  EXPECT_EQ(line->handle(), ZcDbHandle{0x500});
  line->close();
  EXPECT_FALSE(zrxhost::pendingIndex(a, index));
  index = 0;
  EXPECT_TRUE(zrxhost::loaderIndex(a, index));  // still the loader's: its place in the source
  EXPECT_EQ(index, 7u);
  EXPECT_FALSE(zrxhost::loaderIndex(db.modelSpaceId(), index));
  EXPECT_FALSE(zrxhost::changedSinceMarked(db, a));  // built as read, not changed
  EXPECT_EQ(zrxhost::editsSinceMarked(db, a), 0u);   // the loader's own setters count for nothing

  ASSERT_EQ(zcdbOpenObject(line, a, ZcDb::kForWrite), Zcad::eOk);  // not built again
  line->close();
  EXPECT_EQ(loader.builds, 1);
  EXPECT_TRUE(zrxhost::changedSinceMarked(db, a));

  // A look for hints (a writer fetching objects ahead) finds only what is built, and builds nothing.
  EXPECT_EQ(zrxhost::builtObject(b), nullptr);
  EXPECT_EQ(zrxhost::builtObject(ZcDbObjectId::kNull), nullptr);
  EXPECT_EQ(loader.builds, 1);
  EXPECT_EQ(zrxhost::peek<ZcDbLine>(b)->startPoint(), ZcGePoint3d(8, 0, 0));
  EXPECT_EQ(loader.builds, 2);
  EXPECT_EQ(zrxhost::builtObject(b), zrxhost::peekObject(b));
  EXPECT_EQ(db.numObjects(), before + 2);

  std::vector<ZcDbObjectId> all = zrxhost::allObjectIds(db);
  EXPECT_EQ(std::count(all.begin(), all.end(), b), 1);
  // A built object deleted by hand is gone, though the loader once listed it.
  delete zrxhost::peekObject(b);
  EXPECT_EQ(db.numObjects(), before + 1);
  // An object added under its handle since is not the loader's.
  auto* again = new ZcDbLine(ZcGePoint3d(9, 0, 0), ZcGePoint3d(9, 1, 0));
  ZcDbObjectId id;
  ASSERT_EQ(db.addZcDbObject(id, again, b.handle()), Zcad::eOk);
  again->close();
  EXPECT_EQ(id, b);
  EXPECT_FALSE(zrxhost::loaderIndex(b, index));
}
