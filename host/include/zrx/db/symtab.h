// Symbol tables of a drawing: blocks, layers, text styles; each table and its records.
#pragma once

#include <vector>

#include "zrx/db/object.h"
#include "zrx/gi.h"

class ZcDbEntity;
class ZcDbSymbolTableRecord;

// A table maps names (compared without case) to record ids.
class ZcDbSymbolTable : public ZcDbObject {
  ZCRX_DECLARE_MEMBERS(ZcDbSymbolTable);

 public:
  ZcDbSymbolTable();
  ~ZcDbSymbolTable() override;
  Zcad::ErrorStatus getAt(const ZTCHAR* name, ZcDbObjectId& id, bool getErasedRecord = false) const;
  bool has(const ZTCHAR* name) const;
  // The id of the record of that name, or null; erased records only when asked and no live one has it.
  ZcDbObjectId getIdAt(const ZcString& name, bool getErasedRecord = false) const;
  // Adds a new record (named) to the table and the database; leaves it open for write.
  Zcad::ErrorStatus add(ZcDbObjectId& id, ZcDbSymbolTableRecord* record);
  Zcad::ErrorStatus add(ZcDbSymbolTableRecord* record);
  // The same with the record's handle as a drawing gives it (0: a fresh handle).
  Zcad::ErrorStatus add(ZcDbObjectId& id, ZcDbSymbolTableRecord* record, ZcDbHandle handle);
  const std::vector<ZcDbObjectId>& recordIds() const { return mRecords; }

 protected:
  template <typename R>
  Zcad::ErrorStatus openRecord(const ZTCHAR* name, R*& record, ZcDb::OpenMode mode, bool openErased) const {
    record = nullptr;
    ZcDbObjectId id;
    Zcad::ErrorStatus es = getAt(name, id, openErased);
    if (es != Zcad::eOk) return es;
    return zcdbOpenObject(record, id, mode, openErased);
  }

 private:
  friend class ZcDbDatabase;
  std::vector<ZcDbObjectId> mRecords;
  // The record the last lookup found: drawing asks for the same layer and style over and over.
  mutable ZcDbObjectId mLastFound;
};

class ZcDbSymbolTableRecord : public ZcDbObject {
  ZCRX_DECLARE_MEMBERS(ZcDbSymbolTableRecord);

 public:
  ZcDbSymbolTableRecord();
  ~ZcDbSymbolTableRecord() override;
  const ZTCHAR* getName() const { return mName.kwszPtr(); }
  const ZcString& name() const { return mName; }
  Zcad::ErrorStatus setName(const ZTCHAR* name);
  Zcad::ErrorStatus setName(const ZcString& name);

 protected:
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcString mName;
};

class ZcDbBlockTableRecord;

class ZcDbBlockTable : public ZcDbSymbolTable {
  ZCRX_DECLARE_MEMBERS(ZcDbBlockTable);

 public:
  using ZcDbSymbolTable::getAt;
  Zcad::ErrorStatus getAt(const ZTCHAR* name, ZcDbBlockTableRecord*& record, ZcDb::OpenMode mode,
                          bool openErasedRecord = false) const;
};

class ZcDbBlockTableRecord : public ZcDbSymbolTableRecord {
  ZCRX_DECLARE_MEMBERS(ZcDbBlockTableRecord);

 public:
  ZcDbBlockTableRecord();
  ~ZcDbBlockTableRecord() override;
  // Adds the entity to the database and to this block (needs this record open for write); the
  // entity stays open for write until the caller closes it.
  Zcad::ErrorStatus appendZcDbEntity(ZcDbObjectId& id, ZcDbEntity* entity);
  Zcad::ErrorStatus appendZcDbEntity(ZcDbEntity* entity);
  // The same with the entity's handle as a drawing gives it (0: a fresh handle).
  Zcad::ErrorStatus appendZcDbEntity(ZcDbObjectId& id, ZcDbEntity* entity, ZcDbHandle handle);
  // Host side: lists an entity of this record's database that its loader has not built yet; the
  // loader gives it this record as its owner.
  Zcad::ErrorStatus appendPendingEntity(ZcDbObjectId id);
  // The block's entities in drawing order, erased ones included (test ZcDbObjectId::isErased).
  const std::vector<ZcDbObjectId>& entityIds() const { return mEntities; }
  bool isLayout() const;  // "*Model_Space" or a "*Paper_Space…" record
  ZcGePoint3d origin() const { return mOrigin; }
  void setOrigin(const ZcGePoint3d& p) { mOrigin = p; }

 private:
  friend class ZcDbDatabase;
  std::vector<ZcDbObjectId> mEntities;
  ZcGePoint3d mOrigin;
};

class ZcDbLayerTableRecord;

class ZcDbLayerTable : public ZcDbSymbolTable {
  ZCRX_DECLARE_MEMBERS(ZcDbLayerTable);

 public:
  using ZcDbSymbolTable::getAt;
  Zcad::ErrorStatus getAt(const ZTCHAR* name, ZcDbLayerTableRecord*& record, ZcDb::OpenMode mode,
                          bool openErasedRecord = false) const;
};

class ZcDbLayerTableRecord : public ZcDbSymbolTableRecord {
  ZCRX_DECLARE_MEMBERS(ZcDbLayerTableRecord);

 public:
  ZcDbLayerTableRecord();
  ~ZcDbLayerTableRecord() override;
  // Colour index 1..255; a layer that is off has a negative index in the drawing.
  ZSoft::UInt16 colorIndex() const { return mColorIndex; }
  void setColorIndex(ZSoft::UInt16 c) { mColorIndex = c; }
  bool isOff() const { return mOff; }
  void setIsOff(bool off) { mOff = off; }
  bool isFrozen() const { return mFrozen; }
  void setIsFrozen(bool frozen) { mFrozen = frozen; }

 protected:
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZSoft::UInt16 mColorIndex = 7;
  bool mOff = false;
  bool mFrozen = false;
};

class ZcDbTextStyleTableRecord;

class ZcDbTextStyleTable : public ZcDbSymbolTable {
  ZCRX_DECLARE_MEMBERS(ZcDbTextStyleTable);

 public:
  using ZcDbSymbolTable::getAt;
  Zcad::ErrorStatus getAt(const ZTCHAR* name, ZcDbTextStyleTableRecord*& record, ZcDb::OpenMode mode,
                          bool openErasedRecord = false) const;
};

class ZcDbTextStyleTableRecord : public ZcDbSymbolTableRecord {
  ZCRX_DECLARE_MEMBERS(ZcDbTextStyleTableRecord);

 public:
  ZcDbTextStyleTableRecord();
  ~ZcDbTextStyleTableRecord() override;
  const ZcString& fileName() const { return mFonts.fileName(); }
  void setFileName(const ZcString& f) { mFonts.setFileName(f); }
  const ZcString& bigFontFileName() const { return mFonts.bigFontFileName(); }
  void setBigFontFileName(const ZcString& f) { mFonts.setBigFontFileName(f); }
  // Both font names as a text of this style draws them.
  const ZcGiTextStyle& fonts() const { return mFonts; }
  double textSize() const { return mTextSize; }  // fixed height, 0 when not fixed
  void setTextSize(double h) { mTextSize = h; }
  double xScale() const { return mXScale; }  // width factor
  void setXScale(double w) { mXScale = w; }
  double obliquingAngle() const { return mOblique; }
  void setObliquingAngle(double radians) { mOblique = radians; }

 protected:
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcGiTextStyle mFonts;  // only the names are used
  double mTextSize = 0;
  double mXScale = 1;
  double mOblique = 0;
};

constexpr const ZTCHAR* ZCDB_MODEL_SPACE = L"*Model_Space";
constexpr const ZTCHAR* ZCDB_PAPER_SPACE = L"*Paper_Space";
