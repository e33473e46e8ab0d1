// ZcDbBlockReference: an insert of a block definition.
#pragma once

#include "zrx/db/entity.h"

class ZcDbBlockReference : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDbBlockReference);

 public:
  ZcDbBlockReference();
  ZcDbBlockReference(const ZcGePoint3d& position, ZcDbObjectId blockTableRecord);
  ~ZcDbBlockReference() override;

  ZcDbObjectId blockTableRecord() const { return mBlock; }
  Zcad::ErrorStatus setBlockTableRecord(ZcDbObjectId block);
  // The block's name as read from a drawing (resolved to the record by the database).
  const ZcString& blockName() const { return mBlockName; }
  Zcad::ErrorStatus setBlockName(const ZcString& name);
  ZcGePoint3d position() const { return mPosition; }
  Zcad::ErrorStatus setPosition(const ZcGePoint3d& p);
  ZcGeVector3d scaleFactors() const { return mScale; }
  Zcad::ErrorStatus setScaleFactors(const ZcGeVector3d& s);
  double rotation() const { return mRotation; }
  Zcad::ErrorStatus setRotation(double radians);
  ZcGeVector3d normal() const { return mNormal; }
  Zcad::ErrorStatus setNormal(const ZcGeVector3d& n);

  // The block's entities transformed by the insert (their extents, their outline for picking).
  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  bool hitTest(const ZcGePoint3d& point, double aperture) const override;
  Zcad::ErrorStatus explode(ZcArray<void*>& entitySet) const override;

 protected:
  bool subWorldDraw(ZcGiWorldDraw* mode) override;
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcDbObjectId mBlock;
  ZcString mBlockName;
  ZcGePoint3d mPosition;
  ZcGeVector3d mScale{1, 1, 1};
  double mRotation = 0;
  ZcGeVector3d mNormal{0, 0, 1};
};
