// ZcDbObject: the base of everything stored in a drawing, and the open/close protocol.
#pragma once

#include <memory>

#include "zrx/db/ids.h"
#include "zrx/rx.h"

// Data the drawing file held for an object that the host does not interpret; the DXF layer
// defines it and writes it back unchanged. Shared so that clones keep it cheaply.
struct ZcDbForeignData;

namespace zrxhost {
class UndoHistory;
}

class ZcDbObject : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcDbObject);

 public:
  ZcDbObject();
  ~ZcDbObject() override;
  ZcDbObject(const ZcDbObject&) = delete;
  ZcDbObject& operator=(const ZcDbObject&) = delete;

  ZcDbObjectId objectId() const;
  ZcDbObjectId ownerId() const { return mOwnerId; }
  Zcad::ErrorStatus setOwnerId(ZcDbObjectId owner);
  ZcDbDatabase* database() const;
  ZcDbHandle handle() const;

  // Closes an object opened with zcdbOpenObject (or appended). Closing an object that is not in a
  // database is refused (delete it instead).
  Zcad::ErrorStatus close();
  // From read to write; fails when another reader holds it.
  Zcad::ErrorStatus upgradeOpen();
  Zcad::ErrorStatus downgradeOpen();
  // Erases (true) or un-erases (false); needs the object open for write.
  Zcad::ErrorStatus erase(bool erasing = true);

  bool isErased() const;
  bool isReadEnabled() const;
  bool isWriteEnabled() const;
  bool isNewObject() const { return mStub == nullptr; }
  bool isDatabaseResident() const { return mStub != nullptr; }
  void assertReadEnabled() const;
  void assertWriteEnabled(bool autoUndo = true, bool recordModified = true);

  // A copy of this object that belongs to no database; the foreign data is shared.
  ZcRxObject* clone() const override;

  // Host side.
  const std::shared_ptr<ZcDbForeignData>& foreignData() const { return mForeign; }
  void setForeignData(std::shared_ptr<ZcDbForeignData> data) { mForeign = std::move(data); }
  ZcDbStub* stub() const { return mStub; }

 protected:
  // Copies this class's fields into `target`, a new object of the same class. Each class
  // overrides it and calls its parent first; clone() calls it on a fresh object of isA().
  virtual void copyFieldsTo(ZcDbObject* target) const;
  // Runs when an object open for write is closed, before it is released (a Text settles the
  // position its alignment implies, as the real host does on close).
  virtual void subCloseForWrite() {}

 private:
  friend class ZcDbDatabase;
  friend class zrxhost::UndoHistory;  // restores an object's fields from a copy
  ZcDbStub* mStub = nullptr;
  ZcDbObjectId mOwnerId;
  std::shared_ptr<ZcDbForeignData> mForeign;
};

// Opens an object for read or write. A null id, an erased object (unless `openErased`), an object
// already open for write, or a write open of an object others are reading gives an error status and
// a null pointer.
Zcad::ErrorStatus zcdbOpenObject(ZcDbObject*& pObj, ZcDbObjectId id, ZcDb::OpenMode mode, bool openErased = false);
// The same, also refusing (eNotThatKindOfClass) an object not derived from `pClass`.
Zcad::ErrorStatus zcdbOpenObject(ZcDbObject*& pObj, ZcDbObjectId id, const ZcRxClass* pClass, ZcDb::OpenMode mode,
                                 bool openErased = false);

template <typename T>
Zcad::ErrorStatus zcdbOpenObject(T*& pObj, ZcDbObjectId id, ZcDb::OpenMode mode, bool openErased = false) {
  ZcDbObject* p = nullptr;
  Zcad::ErrorStatus es = zcdbOpenObject(p, id, T::desc(), mode, openErased);
  pObj = static_cast<T*>(p);
  return es;
}
