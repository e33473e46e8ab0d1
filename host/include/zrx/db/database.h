// ZcDbDatabase: one open drawing: its objects by id and handle, its tables; the host services.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "zrx/db/object.h"

class ZcDbBlockTable;
class ZcDbLayerTable;
class ZcDbTextStyleTable;

namespace zrxhost {
// Reaches a database's private state for the host's own layers (zrxhost/database_internals.h).
struct DatabaseAccess;
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
  ZcDbHandle handseed() const { return mHandseed; }
  int numObjects() const;

  // The drawing's file name as read.
  const std::string& fileName() const { return mFileName; }
  void setFileName(const std::string& f) { mFileName = f; }
  // What a layer above keeps with the whole drawing (the file reader: the file's layout).
  const std::shared_ptr<zrxhost::ObjectExtension>& extension() const { return mExtension; }
  void setExtension(std::shared_ptr<zrxhost::ObjectExtension> data) { mExtension = std::move(data); }

 private:
  friend struct zrxhost::DatabaseAccess;

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
