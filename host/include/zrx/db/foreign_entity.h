// ZcDbForeignEntity: an entity of a kind the host does not interpret, kept as the drawing held it.
#pragma once

#include "zrx/db/entity.h"

// It keeps its place among the block's entities so that a saved drawing has them in their order.
// A curve among them (circle, arc, ellipse, lightweight or 2D polyline, spline) has the outline its
// record gives, through which it has extents, is picked and draws itself; any other kind (a hatch,
// a point, a solid...) is picked and snapped to through the decoder the layer that draws it registers
// (zrxhost/foreign_geometry.h), and has no extents of its own.
class ZcDbForeignEntity : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDbForeignEntity);

 public:
  ZcDbForeignEntity();
  ~ZcDbForeignEntity() override;
  // The DXF entity type, e.g. "CIRCLE".
  const ZcString& dxfType() const { return mDxfType; }
  void setDxfType(const ZcString& type) { mDxfType = type; }
  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  bool hitTest(const ZcGePoint3d& point, double aperture) const override;
  // Its snap points, which the decoder a higher layer registers reads from its record.
  Zcad::ErrorStatus getOsnapPoints(ZcDb::OsnapMode osnapMode, ZSoft::GsMarker gsSelectionMark,
                                   const ZcGePoint3d& pickPoint, const ZcGePoint3d& lastPoint,
                                   ZcArray<ZcGePoint3d>& snapPoints) const override;

 protected:
  bool subWorldDraw(ZcGiWorldDraw* mode) override;
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcString mDxfType;
  // The extents of its outline, worked out once (its record never changes): a pick or a selection
  // passes over most curves by their box without decoding them again.
  enum class ExtentsState : unsigned char { kUnknown, kNone, kKnown };
  mutable ExtentsState mExtentsState = ExtentsState::kUnknown;
  mutable ZcDbExtents mExtents;
};
