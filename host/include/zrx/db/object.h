// ZcDbObject: the base of everything stored in a drawing, and the open/close protocol.
#pragma once

#include <memory>

#include "zrx/db/ids.h"
#include "zrx/rx.h"

namespace zrxhost {
class UndoHistory;
struct DatabaseAccess;

// What a layer above the database keeps with an object or a drawing (a file reader: where the
// object's record lies in the file it came from). The database holds it, hands it on to clones and
// undo copies, and never looks inside. Shared, so that clones keep it cheaply.
class ObjectExtension {
 public:
  virtual ~ObjectExtension() = default;
};
}  // namespace zrxhost

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

  // A copy of this object that belongs to no database; the extension is shared.
  ZcRxObject* clone() const override;

  // Host side.
  const std::shared_ptr<zrxhost::ObjectExtension>& extension() const { return mExtension; }
  void setExtension(std::shared_ptr<zrxhost::ObjectExtension> data) { mExtension = std::move(data); }
  ZcDbStub* stub() const { return mStub; }

 protected:
  // Copies this class's fields into `target`, a new object of the same class. Each class
  // overrides it and calls its parent first; clone() calls it on a fresh object of isA().
  virtual void copyFieldsTo(ZcDbObject* target) const;
  // Whether `other`, an object of the same class (a clone, an undo copy), holds exactly the fields
  // copyFieldsTo copies. Each class that overrides the one overrides the other and asks its parent
  // first: the undo history leaves out a command's record of an object the command put back as it was.
  virtual bool hasSameFieldsAs(const ZcDbObject& other) const;
  // Runs when an object open for write is closed, before it is released (a Text settles the
  // position its alignment implies, as the real host does on close).
  virtual void subCloseForWrite() {}

 private:
  friend class ZcDbDatabase;
  friend struct zrxhost::DatabaseAccess;  // attaches an object the loader built to its stub
  friend class zrxhost::UndoHistory;      // restores an object's fields from a copy
  ZcDbStub* mStub = nullptr;
  ZcDbObjectId mOwnerId;
  std::shared_ptr<zrxhost::ObjectExtension> mExtension;
};

// Opens an object for read or write. A null id, an erased object (unless `openErased`), an object
// already open for write, or a write open of an object others are reading gives an error status and
// a null pointer.
Zcad::ErrorStatus zcdbOpenObject(ZcDbObject*& pObj, ZcDbObjectId id, ZcDb::OpenMode mode, bool openErased = false);
// The same, also refusing (eNotThatKindOfClass) an object not derived from `pClass`.
Zcad::ErrorStatus zcdbOpenObject(ZcDbObject*& pObj, ZcDbObjectId id, const ZcRxClass* pClass, ZcDb::OpenMode mode,
                                 bool openErased = false);

namespace zrxhost {
// The object behind an id without opening it, for the host's own lookups (a pick looks at what the
// display shows, whoever has it open); null for a null id or a handle known only by reference.
ZcDbObject* peekObject(ZcDbObjectId id);
// The object behind an id if it is built, else null: it never builds one (for hints, such as fetching
// objects into the cache before they are used).
ZcDbObject* builtObject(ZcDbObjectId id);
template <typename T>
T* peek(ZcDbObjectId id) {
  return T::cast(peekObject(id));
}
}  // namespace zrxhost

template <typename T>
Zcad::ErrorStatus zcdbOpenObject(T*& pObj, ZcDbObjectId id, ZcDb::OpenMode mode, bool openErased = false) {
  ZcDbObject* p = nullptr;
  Zcad::ErrorStatus es = zcdbOpenObject(p, id, T::desc(), mode, openErased);
  pObj = static_cast<T*>(p);
  return es;
}
