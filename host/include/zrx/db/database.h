// ZcDbDatabase: one open drawing: its objects by id and handle, its tables; the host services.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "zrx/db/object.h"

class ZcDbBlockTable;
class ZcDbLayerTable;
class ZcDbTextStyleTable;

namespace zrxhost {
class UndoHistory;
}

namespace zrxhost {
// Builds the objects a database holds only as places in their source (a drawing file's records)
// until they are first asked for: reading a large drawing then costs what its records need, not
// what its objects would.
class ObjectLoader {
 public:
  virtual ~ObjectLoader() = default;
  // The object of `id`, which the loader listed as `index`: not in a database yet, with its owner
  // set. Never null: a record the loader cannot model becomes an object that keeps it as it stands.
  virtual ZcDbObject* load(ZcDbObjectId id, std::uint32_t index) = 0;
};
}  // namespace zrxhost

class ZcDbDatabase : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcDbDatabase);

 public:
  // With `buildDefaultDrawing`: a block table with "*Model_Space" and "*Paper_Space", layer "0",
  // text style "Standard". Without: empty, for a reader to fill.
  explicit ZcDbDatabase(bool buildDefaultDrawing = true);
  ~ZcDbDatabase() override;
  ZcDbDatabase(const ZcDbDatabase&) = delete;
  ZcDbDatabase& operator=(const ZcDbDatabase&) = delete;

  Zcad::ErrorStatus getSymbolTable(ZcDbBlockTable*& table, ZcDb::OpenMode mode);
  Zcad::ErrorStatus getSymbolTable(ZcDbLayerTable*& table, ZcDb::OpenMode mode);
  Zcad::ErrorStatus getSymbolTable(ZcDbTextStyleTable*& table, ZcDb::OpenMode mode);
  Zcad::ErrorStatus getBlockTable(ZcDbBlockTable*& table, ZcDb::OpenMode mode) { return getSymbolTable(table, mode); }
  ZcDbObjectId blockTableId() const { return mBlockTableId; }
  ZcDbObjectId layerTableId() const { return mLayerTableId; }
  ZcDbObjectId textStyleTableId() const { return mTextStyleTableId; }
  ZcDbObjectId modelSpaceId() const;
  ZcDbObjectId paperSpaceId() const;  // the record "*Paper_Space" (the current layout)
  // The space the user works in: model space when TILEMODE is 1, else the current layout.
  ZcDbObjectId currentSpaceId() const;
  bool tileMode() const { return mTileMode; }
  void setTileMode(bool modelSpace) { mTileMode = modelSpace; }
  // Text style "Standard" (null when the drawing has none).
  ZcDbObjectId textStyleStandardId() const;
  ZcDbObjectId textStyleId(const ZcString& name) const;
  ZcDbObjectId layerId(const ZcString& name) const;

  // Adds a new object to this database. With a handle of 0 it gets a fresh handle from the handle
  // seed; a given handle is kept (and the seed moved past it). The object stays open for write.
  Zcad::ErrorStatus addZcDbObject(ZcDbObjectId& id, ZcDbObject* object, ZcDbHandle handle = 0);
  Zcad::ErrorStatus getZcDbObjectId(ZcDbObjectId& id, bool createIfNotFound, ZcDbHandle handle) const;
  // Host side: an object the loader (set first) builds when first opened or looked at (`index` is
  // the loader's); the handle must be new, or one referred to so far. The object counts as unchanged.
  Zcad::ErrorStatus addPendingObject(ZcDbObjectId& id, ZcDbHandle handle, std::uint32_t index);
  void setObjectLoader(std::unique_ptr<zrxhost::ObjectLoader> loader);
  // True, with the loader's index, for an object not built yet.
  static bool pendingIndex(ZcDbObjectId id, std::uint32_t& index);
  // True, with the loader's index, for an object the loader listed, built since or not.
  static bool loaderIndex(ZcDbObjectId id, std::uint32_t& index);
  // Builds every object not built yet.
  void loadPendingObjects();
  // Builds the object of a pending stub (through its id's open or peek).
  ZcDbObject* loadPending(ZcDbStub& stub);
  // Makes room for `count` objects in all, so that a reader that knows the size of a drawing does
  // not grow the handle index step by step.
  void reserveObjects(std::size_t count);
  // Host side: marks every object as unchanged (a reader calls it when the drawing is complete);
  // opening an object for write marks it changed again.
  void markAllUnchanged();
  // Whether the object was opened for write, or added, since markAllUnchanged (true for a null id).
  bool changedSinceMarked(ZcDbObjectId id) const;
  // The properties (zrxhost::Edit bits) the setters of an object changed since markAllUnchanged.
  // Only the entity classes that tell their changes set them (see zrxhost/edits.h); for those, an
  // object changed with no bit set has had nothing stored by a setter.
  std::uint32_t editsSinceMarked(ZcDbObjectId id) const;
  // Host side: a count of the changes to this drawing's symbol tables that can change a name found
  // through an id (a record added, renamed, replaced or destroyed). A writer that kept such names
  // trusts them while it stands; other drawings do not move it.
  std::uint64_t symbolTableChanges() const { return mSymbolTableChanges; }
  void noteSymbolTableChange() { ++mSymbolTableChanges; }
  // Host side: what the commands did to this drawing, for U, UNDO and REDO.
  zrxhost::UndoHistory& undoHistory();
  ZcDbHandle handseed() const { return mHandseed; }
  void setHandseed(ZcDbHandle seed) { mHandseed = seed; }
  // Makes a table the database's own (used while reading a drawing).
  void setBlockTableId(ZcDbObjectId id) { mBlockTableId = id; }
  void setLayerTableId(ZcDbObjectId id) { mLayerTableId = id; }
  void setTextStyleTableId(ZcDbObjectId id) { mTextStyleTableId = id; }
  // Every object id of the database in handle order (erased ones included).
  std::vector<ZcDbObjectId> allObjectIds() const;
  int numObjects() const;

  // The drawing's file name as read.
  const std::string& fileName() const { return mFileName; }
  void setFileName(const std::string& f) { mFileName = f; }
  // What a layer above keeps with the whole drawing (the file reader: the file's layout).
  const std::shared_ptr<zrxhost::ObjectExtension>& extension() const { return mExtension; }
  void setExtension(std::shared_ptr<zrxhost::ObjectExtension> data) { mExtension = std::move(data); }

 private:
  // A new table holding one new record per name (the default drawing's tables).
  template <typename Table, typename Record>
  void addDefaultTable(ZcDbObjectId& tableId, std::initializer_list<const ZTCHAR*> names);

  struct Impl;
  std::unique_ptr<Impl> mImpl;
  ZcDbObjectId mBlockTableId;
  ZcDbObjectId mLayerTableId;
  ZcDbObjectId mTextStyleTableId;
  ZcDbHandle mHandseed = 1;
  std::uint64_t mSymbolTableChanges = 0;
  bool mTileMode = true;
  std::string mFileName;
  std::shared_ptr<zrxhost::ObjectExtension> mExtension;
};

class ZcDbHostApplicationServices {
 public:
  ZcDbDatabase* workingDatabase() const { return mWorkingDatabase; }
  void setWorkingDatabase(ZcDbDatabase* db) { mWorkingDatabase = db; }

 private:
  ZcDbDatabase* mWorkingDatabase = nullptr;
};

ZcDbHostApplicationServices* zcdbHostApplicationServices();
