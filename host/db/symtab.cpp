// Symbol tables and their records: blocks, layers, text styles.
#include "zrx/db/symtab.h"

#include "db/stub.h"
#include "db/symtab_generation.h"
#include "zrx/db/database.h"
#include "zrx/db/entity.h"
#include "zrx/rx_define.h"
#include "zrxhost/database_internals.h"

ZCRX_DEFINE_MEMBERS(ZcDbSymbolTable, ZcDbObject, L"AcDbSymbolTable", nullptr, nullptr);
ZCRX_DEFINE_MEMBERS(ZcDbSymbolTableRecord, ZcDbObject, L"AcDbSymbolTableRecord", nullptr, nullptr);
ZCRX_DEFINE_MEMBERS(ZcDbBlockTable, ZcDbSymbolTable, L"AcDbBlockTable", L"TABLE", &zrxdb::construct<ZcDbBlockTable>);
ZCRX_DEFINE_MEMBERS(ZcDbBlockTableRecord, ZcDbSymbolTableRecord, L"AcDbBlockTableRecord", L"BLOCK_RECORD",
                    &zrxdb::construct<ZcDbBlockTableRecord>);
ZCRX_DEFINE_MEMBERS(ZcDbLayerTable, ZcDbSymbolTable, L"AcDbLayerTable", L"TABLE", &zrxdb::construct<ZcDbLayerTable>);
ZCRX_DEFINE_MEMBERS(ZcDbLayerTableRecord, ZcDbSymbolTableRecord, L"AcDbLayerTableRecord", L"LAYER",
                    &zrxdb::construct<ZcDbLayerTableRecord>);
ZCRX_DEFINE_MEMBERS(ZcDbTextStyleTable, ZcDbSymbolTable, L"AcDbTextStyleTable", L"TABLE",
                    &zrxdb::construct<ZcDbTextStyleTable>);
ZCRX_DEFINE_MEMBERS(ZcDbTextStyleTableRecord, ZcDbSymbolTableRecord, L"AcDbTextStyleTableRecord", L"STYLE",
                    &zrxdb::construct<ZcDbTextStyleTableRecord>);

std::uint64_t zrxdb::symbolTableGeneration = 1;

ZcDbSymbolTable::ZcDbSymbolTable() = default;
ZcDbSymbolTable::~ZcDbSymbolTable() {
  zrxdb::symbolTablesChanged(database());
}

// Looks at the records without opening them: a lookup must work while a record is open for write.
ZcDbObjectId ZcDbSymbolTable::getIdAt(const ZcString& name, bool getErasedRecord) const {
  const std::u16string& wanted = name.utf16();
  // Still valid while that record keeps the name and is not erased; else the lists are searched.
  // (Names that differ only in case cannot both be in a table, so the match is the same record.)
  if (!mLastFound.isNull() && !mLastFound.isErased()) {
    const auto* last = static_cast<const ZcDbSymbolTableRecord*>(mLastFound.stub()->object);
    if (last != nullptr && zrxdb::sameName(last->name().utf16(), wanted)) return mLastFound;
  }
  ZcDbObjectId erasedMatch;
  // Exact spelling first: the common case, and cheaper than folding case.
  for (int pass = 0; pass < 2; ++pass) {
    for (const ZcDbObjectId& recordId : mRecords) {
      // Only add() fills the list, with records; an object deleted behind the database's back is null.
      const auto* record = static_cast<const ZcDbSymbolTableRecord*>(recordId.stub()->object);
      if (record == nullptr) continue;
      const std::u16string& have = record->name().utf16();
      if (pass == 0 ? have != wanted : !zrxdb::sameName(have, wanted)) continue;
      if (!recordId.isErased()) {
        mLastFound = recordId;
        return recordId;
      }
      if (erasedMatch.isNull()) erasedMatch = recordId;
    }
  }
  return getErasedRecord ? erasedMatch : ZcDbObjectId::kNull;
}

Zcad::ErrorStatus ZcDbSymbolTable::getAt(const ZTCHAR* name, ZcDbObjectId& id, bool getErasedRecord) const {
  id = ZcDbObjectId::kNull;
  if (name == nullptr) return Zcad::eInvalidInput;
  id = getIdAt(ZcString(name), getErasedRecord);
  return id.isNull() ? Zcad::eKeyNotFound : Zcad::eOk;
}

bool ZcDbSymbolTable::has(const ZTCHAR* name) const {
  ZcDbObjectId id;
  return getAt(name, id) == Zcad::eOk;
}

Zcad::ErrorStatus ZcDbSymbolTable::add(ZcDbObjectId& id, ZcDbSymbolTableRecord* record, ZcDbHandle handle) {
  id = ZcDbObjectId::kNull;
  if (record == nullptr) return Zcad::eNullObjectPointer;
  if (record->isDatabaseResident()) return Zcad::eAlreadyInDb;
  if (database() == nullptr) return Zcad::eNoDatabase;
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (record->name().isEmpty()) return Zcad::eInvalidInput;
  if (has(record->getName())) return Zcad::eDuplicateKey;
  Zcad::ErrorStatus es = database()->addZcDbObject(id, record, handle);
  if (es != Zcad::eOk) return es;
  record->setOwnerId(objectId());
  mRecords.push_back(id);
  zrxdb::symbolTablesChanged(database());
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbSymbolTable::add(ZcDbObjectId& id, ZcDbSymbolTableRecord* record) {
  return add(id, record, 0);
}

Zcad::ErrorStatus ZcDbSymbolTable::add(ZcDbSymbolTableRecord* record) {
  ZcDbObjectId id;
  return add(id, record, 0);
}

ZcDbSymbolTableRecord::ZcDbSymbolTableRecord() = default;
// Cached lookups may still point here.
ZcDbSymbolTableRecord::~ZcDbSymbolTableRecord() {
  zrxdb::symbolTablesChanged(database());
}

Zcad::ErrorStatus ZcDbSymbolTableRecord::setName(const ZTCHAR* name) {
  if (name == nullptr) return Zcad::eInvalidInput;
  return setName(ZcString(name));
}

Zcad::ErrorStatus ZcDbSymbolTableRecord::setName(const ZcString& name) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (name.isEmpty()) return Zcad::eInvalidInput;
  mName = name;
  zrxdb::symbolTablesChanged(database());
  return Zcad::eOk;
}

void ZcDbSymbolTableRecord::copyFieldsTo(ZcDbObject* target) const {
  ZcDbObject::copyFieldsTo(target);
  static_cast<ZcDbSymbolTableRecord*>(target)->mName = mName;
  zrxdb::symbolTablesChanged(target->database());
}

bool ZcDbSymbolTableRecord::hasSameFieldsAs(const ZcDbObject& other) const {
  return ZcDbObject::hasSameFieldsAs(other) && mName == static_cast<const ZcDbSymbolTableRecord&>(other).mName;
}

Zcad::ErrorStatus ZcDbBlockTable::getAt(const ZTCHAR* name, ZcDbBlockTableRecord*& record, ZcDb::OpenMode mode,
                                        bool openErasedRecord) const {
  return openRecord(name, record, mode, openErasedRecord);
}

ZcDbBlockTableRecord::ZcDbBlockTableRecord() = default;
ZcDbBlockTableRecord::~ZcDbBlockTableRecord() = default;

Zcad::ErrorStatus ZcDbBlockTableRecord::appendZcDbEntity(ZcDbObjectId& id, ZcDbEntity* entity, ZcDbHandle handle) {
  id = ZcDbObjectId::kNull;
  if (entity == nullptr) return Zcad::eNullObjectPointer;
  if (entity->isDatabaseResident()) return Zcad::eAlreadyInDb;
  if (database() == nullptr) return Zcad::eNoDatabase;
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  Zcad::ErrorStatus es = database()->addZcDbObject(id, entity, handle);
  if (es != Zcad::eOk) return es;
  entity->setOwnerId(objectId());
  mEntities.push_back(id);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockTableRecord::appendPendingEntity(ZcDbObjectId id) {
  std::uint32_t index = 0;
  if (id.isNull() || id.database() != database() || !zrxhost::pendingIndex(id, index)) return Zcad::eInvalidInput;
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  mEntities.push_back(id);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockTableRecord::appendZcDbEntity(ZcDbObjectId& id, ZcDbEntity* entity) {
  return appendZcDbEntity(id, entity, 0);
}

Zcad::ErrorStatus ZcDbBlockTableRecord::appendZcDbEntity(ZcDbEntity* entity) {
  ZcDbObjectId id;
  return appendZcDbEntity(id, entity, 0);
}

bool ZcDbBlockTableRecord::isLayout() const {
  const std::u16string& name = this->name().utf16();
  static const std::u16string model = u"*Model_Space";
  static const std::u16string paper = u"*Paper_Space";
  if (zrxdb::sameName(name, model)) return true;
  return name.size() >= paper.size() && zrxdb::sameName(name.substr(0, paper.size()), paper);
}

Zcad::ErrorStatus ZcDbLayerTable::getAt(const ZTCHAR* name, ZcDbLayerTableRecord*& record, ZcDb::OpenMode mode,
                                        bool openErasedRecord) const {
  return openRecord(name, record, mode, openErasedRecord);
}

ZcDbLayerTableRecord::ZcDbLayerTableRecord() = default;
ZcDbLayerTableRecord::~ZcDbLayerTableRecord() = default;

void ZcDbLayerTableRecord::copyFieldsTo(ZcDbObject* target) const {
  ZcDbSymbolTableRecord::copyFieldsTo(target);
  auto* t = static_cast<ZcDbLayerTableRecord*>(target);
  t->mColorIndex = mColorIndex;
  t->mOff = mOff;
  t->mFrozen = mFrozen;
}

bool ZcDbLayerTableRecord::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbLayerTableRecord&>(other);
  return ZcDbSymbolTableRecord::hasSameFieldsAs(other) && mColorIndex == o.mColorIndex && mOff == o.mOff &&
         mFrozen == o.mFrozen;
}

Zcad::ErrorStatus ZcDbTextStyleTable::getAt(const ZTCHAR* name, ZcDbTextStyleTableRecord*& record, ZcDb::OpenMode mode,
                                            bool openErasedRecord) const {
  return openRecord(name, record, mode, openErasedRecord);
}

ZcDbTextStyleTableRecord::ZcDbTextStyleTableRecord() {
  mFonts.setFileName(L"txt");
}
ZcDbTextStyleTableRecord::~ZcDbTextStyleTableRecord() = default;

void ZcDbTextStyleTableRecord::copyFieldsTo(ZcDbObject* target) const {
  ZcDbSymbolTableRecord::copyFieldsTo(target);
  auto* t = static_cast<ZcDbTextStyleTableRecord*>(target);
  t->mFonts = mFonts;
  t->mTextSize = mTextSize;
  t->mXScale = mXScale;
  t->mOblique = mOblique;
}

bool ZcDbTextStyleTableRecord::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbTextStyleTableRecord&>(other);
  return ZcDbSymbolTableRecord::hasSameFieldsAs(other) && mFonts.fileName() == o.mFonts.fileName() &&
         mFonts.bigFontFileName() == o.mFonts.bigFontFileName() && mTextSize == o.mTextSize && mXScale == o.mXScale &&
         mOblique == o.mOblique;
}
