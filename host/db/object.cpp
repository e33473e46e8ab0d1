// Object ids, extents, entity names, ZcDbObject and the open/close protocol.
#include "zrx/db/object.h"

#include <algorithm>

#include "db/stub.h"
#include "zrx/db/database.h"
#include "zrx/db/symtab.h"
#include "zrx/rx_define.h"
#include "zrxhost/database_internals.h"

const ZcDbObjectId ZcDbObjectId::kNull;

bool ZcDbObjectId::isErased() const {
  return mStub && mStub->erased;
}
ZcDbHandle ZcDbObjectId::handle() const {
  return mStub ? mStub->handle : 0;
}
ZcDbDatabase* ZcDbObjectId::database() const {
  return mStub ? mStub->database : nullptr;
}

// An empty box is inverted so that the first added point becomes both corners.
ZcDbExtents::ZcDbExtents() : mMin(1e300, 1e300, 1e300), mMax(-1e300, -1e300, -1e300) {}

void ZcDbExtents::addPoint(const ZcGePoint3d& p) {
  mMin.x = std::min(mMin.x, p.x);
  mMin.y = std::min(mMin.y, p.y);
  mMin.z = std::min(mMin.z, p.z);
  mMax.x = std::max(mMax.x, p.x);
  mMax.y = std::max(mMax.y, p.y);
  mMax.z = std::max(mMax.z, p.z);
}

void ZcDbExtents::addExt(const ZcDbExtents& other) {
  if (!other.isValid()) return;
  addPoint(other.minPoint());
  addPoint(other.maxPoint());
}

Zcad::ErrorStatus zcdbGetObjectId(ZcDbObjectId& id, const zds_name ent) {
  id = ZcDbObjectId::kNull;
  if (ent == nullptr || ent[0] == 0) return Zcad::eNullObjectId;
  ZcDbStub* stub = zrxdb::liveStub(ent[0]);
  if (stub == nullptr) return Zcad::eInvalidInput;
  id = ZcDbObjectId(stub);
  return Zcad::eOk;
}

Zcad::ErrorStatus zcdbGetZdsName(zds_name ent, ZcDbObjectId id) {
  if (ent == nullptr) return Zcad::eInvalidInput;
  ent[0] = reinterpret_cast<ZSoft::LongPtr>(id.stub());
  ent[1] = 0;
  return id.isNull() ? Zcad::eNullObjectId : Zcad::eOk;
}

ZCRX_DEFINE_MEMBERS(ZcDbObject, ZcRxObject, L"AcDbObject", nullptr, nullptr);

ZcDbObject::ZcDbObject() = default;

// A resident object is normally deleted only by its database; if someone deletes it anyway the
// stub forgets it so that the database does not delete it twice.
ZcDbObject::~ZcDbObject() {
  if (mStub && mStub->object == this) mStub->object = nullptr;
}

ZcDbObjectId ZcDbObject::objectId() const {
  return ZcDbObjectId(mStub);
}
ZcDbDatabase* ZcDbObject::database() const {
  return mStub ? mStub->database : nullptr;
}
ZcDbHandle ZcDbObject::handle() const {
  return mStub ? mStub->handle : 0;
}

Zcad::ErrorStatus ZcDbObject::setOwnerId(ZcDbObjectId owner) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  mOwnerId = owner;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbObject::close() {
  if (mStub == nullptr) return Zcad::eNotInDatabase;
  if (mStub->writer) {
    subCloseForWrite();
    mStub->writer = false;
    return Zcad::eOk;
  }
  if (mStub->readers > 0) {
    --mStub->readers;
    return Zcad::eOk;
  }
  return Zcad::eNotOpenForRead;
}

Zcad::ErrorStatus ZcDbObject::upgradeOpen() {
  if (mStub == nullptr) return Zcad::eOk;  // a new object is always writable
  if (mStub->writer) return Zcad::eWasOpenedForWrite;
  if (mStub->readers == 0) return Zcad::eNotOpenForRead;
  if (mStub->readers > 1) return Zcad::eWasOpenedForRead;  // another reader still holds it
  zrxdb::willOpenForWrite(*mStub);
  mStub->readers = 0;
  mStub->writer = true;
  mStub->changed = true;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbObject::downgradeOpen() {
  if (mStub == nullptr) return Zcad::eOk;
  if (!mStub->writer) return Zcad::eNotOpenForWrite;
  subCloseForWrite();
  mStub->writer = false;
  mStub->readers = 1;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbObject::erase(bool erasing) {
  if (mStub == nullptr) return Zcad::eNotInDatabase;
  if (!mStub->writer) return Zcad::eNotOpenForWrite;
  if (erasing && mStub->erased) return Zcad::eWasErased;
  if (!erasing && !mStub->erased) return Zcad::eWasNotErased;
  mStub->erased = erasing;
  return Zcad::eOk;
}

bool ZcDbObject::isErased() const {
  return mStub && mStub->erased;
}
bool ZcDbObject::isReadEnabled() const {
  return !mStub || mStub->writer || mStub->readers > 0;
}
bool ZcDbObject::isWriteEnabled() const {
  return !mStub || mStub->writer;
}

// The real host stops the process on a failed assertion; this host only guards with statuses.
void ZcDbObject::assertReadEnabled() const {}
void ZcDbObject::assertWriteEnabled(bool autoUndo, bool recordModified) {
  (void)autoUndo;
  (void)recordModified;
}

ZcRxObject* ZcDbObject::clone() const {
  ZcRxObject* created = isA()->create();
  ZcDbObject* copy = ZcDbObject::cast(created);
  if (copy == nullptr) {
    delete created;
    return nullptr;
  }
  copyFieldsTo(copy);
  return copy;
}

void ZcDbObject::copyFieldsTo(ZcDbObject* target) const {
  target->mExtension = mExtension;
}

bool ZcDbObject::hasSameFieldsAs(const ZcDbObject& other) const {
  return mExtension == other.mExtension;
}

Zcad::ErrorStatus zcdbOpenObject(ZcDbObject*& pObj, ZcDbObjectId id, const ZcRxClass* pClass, ZcDb::OpenMode mode,
                                 bool openErased) {
  pObj = nullptr;
  ZcDbStub* stub = id.stub();
  if (stub == nullptr) return Zcad::eNullObjectId;
  ZcDbObject* object = zrxdb::objectOf(*stub);
  if (object == nullptr) return Zcad::eKeyNotFound;
  if (stub->erased && !openErased) return Zcad::eWasErased;
  if (pClass != nullptr && !object->isKindOf(pClass)) return Zcad::eNotThatKindOfClass;
  if (stub->writer) return Zcad::eWasOpenedForWrite;
  if (mode == ZcDb::kForWrite) {
    if (stub->readers > 0) return Zcad::eWasOpenedForRead;
    // Texts not built yet find their style by name when they are: built first, they bind to the
    // styles as they stood when the drawing was read, as if they had been built then.
    if (stub->database != nullptr &&
        (object->isKindOf(ZcDbTextStyleTableRecord::desc()) || object->isKindOf(ZcDbTextStyleTable::desc())))
      zrxhost::loadPendingObjects(*stub->database);
    zrxdb::willOpenForWrite(*stub);
    stub->writer = true;
    stub->changed = true;
  } else {
    ++stub->readers;
  }
  pObj = object;
  return Zcad::eOk;
}

ZcDbObject* zrxhost::peekObject(ZcDbObjectId id) {
  return id.isNull() ? nullptr : zrxdb::objectOf(*id.stub());
}

ZcDbObject* zrxhost::builtObject(ZcDbObjectId id) {
  const ZcDbStub* stub = id.stub();
  return stub == nullptr || stub->awaitsLoader() ? nullptr : stub->object;
}

Zcad::ErrorStatus zcdbOpenObject(ZcDbObject*& pObj, ZcDbObjectId id, ZcDb::OpenMode mode, bool openErased) {
  return zcdbOpenObject(pObj, id, nullptr, mode, openErased);
}
