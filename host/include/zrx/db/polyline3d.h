// ZcDb3dPolyline: a polyline through 3D vertices (simple type only is interpreted).
#pragma once

#include <vector>

#include "zrx/db/entity.h"

class ZcDb3dPolyline : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDb3dPolyline);

 public:
  ZcDb3dPolyline();
  ZcDb3dPolyline(ZcDb::Poly3dType type, ZcArray<ZcGePoint3d>& vertices, bool closed = false);
  ~ZcDb3dPolyline() override;

  ZcDb::Poly3dType polyType() const { return mType; }
  bool isClosed() const { return mClosed; }
  Zcad::ErrorStatus makeClosed();
  Zcad::ErrorStatus makeOpen();
  const std::vector<ZcGePoint3d>& vertices() const { return mVertices; }
  Zcad::ErrorStatus setVertices(const std::vector<ZcGePoint3d>& vertices);

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
  ZcDb::Poly3dType mType = ZcDb::k3dSimplePoly;
  bool mClosed = false;
  std::vector<ZcGePoint3d> mVertices;
};
