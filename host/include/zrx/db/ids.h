// Object ids, handles and extents of the drawing database.
#pragma once

#include <cstdint>
#include <functional>

#include "zrx/core.h"
#include "zrx/ge.h"

class ZcDbDatabase;
struct ZcDbStub;

using ZcDbHandle = std::uint64_t;

// Names one object of an open drawing. An id refers to the database's record of the object, which
// lives as long as the database: ids of erased objects stay valid.
class ZcDbObjectId {
 public:
  ZcDbObjectId() = default;
  explicit ZcDbObjectId(ZcDbStub* stub) : mStub(stub) {}
  static const ZcDbObjectId kNull;

  bool isNull() const { return mStub == nullptr; }
  bool isValid() const { return mStub != nullptr; }
  bool isErased() const;
  ZcDbHandle handle() const;
  ZcDbDatabase* database() const;
  ZcDbStub* stub() const { return mStub; }

  bool operator==(const ZcDbObjectId& o) const { return mStub == o.mStub; }
  bool operator!=(const ZcDbObjectId& o) const { return mStub != o.mStub; }
  bool operator<(const ZcDbObjectId& o) const { return std::less<ZcDbStub*>()(mStub, o.mStub); }

 private:
  ZcDbStub* mStub = nullptr;
};

class ZcDbExtents {
 public:
  ZcDbExtents();
  ZcDbExtents(const ZcGePoint3d& min, const ZcGePoint3d& max) : mMin(min), mMax(max) {}
  const ZcGePoint3d& minPoint() const { return mMin; }
  const ZcGePoint3d& maxPoint() const { return mMax; }
  void set(const ZcGePoint3d& min, const ZcGePoint3d& max) {
    mMin = min;
    mMax = max;
  }
  void addPoint(const ZcGePoint3d& p);
  void addExt(const ZcDbExtents& other);
  bool isValid() const { return mMin.x <= mMax.x && mMin.y <= mMax.y && mMin.z <= mMax.z; }

 private:
  ZcGePoint3d mMin;
  ZcGePoint3d mMax;
};

// Turns a host entity name (as returned by zcedEntSel) into its object id, and back.
Zcad::ErrorStatus zcdbGetObjectId(ZcDbObjectId& id, const zds_name ent);
Zcad::ErrorStatus zcdbGetZdsName(zds_name ent, ZcDbObjectId id);
