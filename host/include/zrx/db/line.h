// ZcDbLine: a straight segment.
#pragma once

#include "zrx/db/entity.h"

class ZcDbLine : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDbLine);

 public:
  ZcDbLine();
  ZcDbLine(const ZcGePoint3d& start, const ZcGePoint3d& end);
  ~ZcDbLine() override;

  ZcGePoint3d startPoint() const { return mStart; }
  Zcad::ErrorStatus setStartPoint(const ZcGePoint3d& p);
  ZcGePoint3d endPoint() const { return mEnd; }
  Zcad::ErrorStatus setEndPoint(const ZcGePoint3d& p);
  double thickness() const { return mThickness; }
  Zcad::ErrorStatus setThickness(double t);
  ZcGeVector3d normal() const { return mNormal; }
  Zcad::ErrorStatus setNormal(const ZcGeVector3d& n);

  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  bool hitTest(const ZcGePoint3d& point, double aperture) const override;
  Zcad::ErrorStatus getOsnapPoints(ZcDb::OsnapMode osnapMode, ZSoft::GsMarker gsSelectionMark,
                                   const ZcGePoint3d& pickPoint, const ZcGePoint3d& lastPoint,
                                   ZcArray<ZcGePoint3d>& snapPoints) const override;

 protected:
  bool subWorldDraw(ZcGiWorldDraw* mode) override;
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcGePoint3d mStart;
  ZcGePoint3d mEnd;
  double mThickness = 0;
  ZcGeVector3d mNormal{0, 0, 1};
};
