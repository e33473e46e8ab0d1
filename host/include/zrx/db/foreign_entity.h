// ZcDbForeignEntity: an entity of a kind the host does not interpret, kept as the drawing held it.
#pragma once

#include "zrx/db/entity.h"

// It keeps its place among the block's entities so that a saved drawing has them in their order.
// It has no geometry the host knows: no extents, never picked, not drawn.
class ZcDbForeignEntity : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDbForeignEntity);

 public:
  ZcDbForeignEntity();
  ~ZcDbForeignEntity() override;
  // The DXF entity type, e.g. "CIRCLE".
  const ZcString& dxfType() const { return mDxfType; }
  void setDxfType(const ZcString& type) { mDxfType = type; }
  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  bool hitTest(const ZcGePoint3d&, double) const override { return false; }

 protected:
  bool subWorldDraw(ZcGiWorldDraw*) override { return true; }
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcString mDxfType;
};
