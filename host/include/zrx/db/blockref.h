// ZcDbBlockReference: an insert of a block definition.
#pragma once

#include <vector>

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

  // The attributes that follow the insert in its drawing (its ATTRIB records), in their order: each
  // has a tag and a value, and where it stands (its text's insertion point, height and rotation).
  // A value may be changed; the insert gains or loses no attribute here.
  struct Attribute {
    ZcString tag;
    ZcString value;
    ZcGePoint3d position;
    double height = 1;
    double rotation = 0;
  };
  int attributeCount() const { return static_cast<int>(mAttributes.size()); }
  const Attribute& attribute(int index) const { return mAttributes[static_cast<size_t>(index)]; }
  Zcad::ErrorStatus setAttributeValue(int index, const ZcString& value);
  // The attributes as the drawing holds them (the reader's; noted as no change).
  void setAttributesAsRead(std::vector<Attribute> attributes) { mAttributes = std::move(attributes); }

  // The block's entities transformed by the insert (their extents, their outline for picking).
  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  bool hitTest(const ZcGePoint3d& point, double aperture) const override;
  Zcad::ErrorStatus getOsnapPoints(ZcDb::OsnapMode osnapMode, ZSoft::GsMarker gsSelectionMark,
                                   const ZcGePoint3d& pickPoint, const ZcGePoint3d& lastPoint,
                                   ZcArray<ZcGePoint3d>& snapPoints) const override;
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
  std::vector<Attribute> mAttributes;
};
