// ZcDbEntity: an object with geometry that lives in a block (model space, a layout, a block).
#pragma once

#include <cstdint>

#include "zrx/db/object.h"

class ZcDbLayerTableRecord;
class ZcGiWorldDraw;
class ZcGiViewportDraw;

class ZcDbEntity : public ZcDbObject {
  ZCRX_DECLARE_MEMBERS(ZcDbEntity);

 public:
  ZcDbEntity();
  ~ZcDbEntity() override;

  ZcDbObjectId blockId() const { return ownerId(); }

  // Layer by name; the database's layer table resolves it when the entity is drawn or saved.
  const ZTCHAR* layer() const { return mLayer.kwszPtr(); }
  const ZcString& layerName() const { return mLayer; }
  Zcad::ErrorStatus setLayer(const ZTCHAR* layerName, bool doSubents = true);
  Zcad::ErrorStatus setLayer(const ZcString& layerName);
  // Colour index: 0 by block, 1..255 the standard colours, 256 by layer.
  ZSoft::UInt16 colorIndex() const { return mColorIndex; }
  Zcad::ErrorStatus setColorIndex(ZSoft::UInt16 color, bool doSubents = true);
  const ZTCHAR* linetype() const { return mLinetype.kwszPtr(); }
  const ZcString& linetypeName() const { return mLinetype; }
  Zcad::ErrorStatus setLinetype(const ZTCHAR* name, bool doSubents = true);
  Zcad::ErrorStatus setLinetype(const ZcString& name);
  double linetypeScale() const { return mLinetypeScale; }
  Zcad::ErrorStatus setLinetypeScale(double scale, bool doSubents = true);
  // An invisible entity is kept in the drawing but neither drawn nor found by a pick.
  ZcDb::Visibility visibility() const { return mInvisible ? ZcDb::kInvisible : ZcDb::kVisible; }
  Zcad::ErrorStatus setVisibility(ZcDb::Visibility visibility, bool doSubents = true);
  // The colour index a viewer draws: by-layer resolved through the layer table, by-block as white.
  ZSoft::UInt16 resolvedColorIndex() const;

  // Layer "0", colour by layer, linetype "ByLayer", scale 1 (from `db` where it has current values).
  void setDatabaseDefaults();
  void setDatabaseDefaults(ZcDbDatabase* db);

  virtual Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const;
  // Appends the entity's pieces as new, non-resident entities (the caller owns them).
  virtual Zcad::ErrorStatus explode(ZcArray<void*>& entitySet) const;
  // Sets the draw traits (colour, layer) and calls subWorldDraw.
  bool worldDraw(ZcGiWorldDraw* mode);
  void viewportDraw(ZcGiViewportDraw* mode);
  // Whether the outline passes within `aperture` of `point` (in the XY plane); used by picking.
  virtual bool hitTest(const ZcGePoint3d& point, double aperture) const;
  // Appends the points an object snap of `osnapMode` finds on the entity: its ends, its centre, and
  // so on; for nearest and perpendicular, the point of the entity nearest `pickPoint`, and the foot
  // of the perpendicular from `lastPoint`. `pickPoint` lets a long entity give only the candidates
  // near it. An entity without such points appends none.
  virtual Zcad::ErrorStatus getOsnapPoints(ZcDb::OsnapMode osnapMode, ZSoft::GsMarker gsSelectionMark,
                                           const ZcGePoint3d& pickPoint, const ZcGePoint3d& lastPoint,
                                           ZcArray<ZcGePoint3d>& snapPoints) const;

  // Defaults of the real host's entity protocol.
  virtual ZSoft::UInt32 setAttributes(void* traits) { return (void)traits, 0; }
  virtual bool isPlanar() const { return false; }
  virtual Zcad::ErrorStatus getPlane(void* plane, int& type) const {
    (void)plane;
    type = 0;
    return static_cast<Zcad::ErrorStatus>(2);
  }
  virtual int drawableType() const { return 0; }
  virtual ZSoft::UInt32 viewportDrawLogicalFlags(ZcGiViewportDraw* vd) { return (void)vd, 0; }

 protected:
  virtual bool subWorldDraw(ZcGiWorldDraw* mode);
  virtual void subViewportDraw(ZcGiViewportDraw* mode);
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  // The record mLayer names in `db`, remembered between draws (a preview draws one entity many
  // times a frame); null when there is none.
  // (Not exported: the draw calls it directly, without the library's symbol indirection.)
  [[gnu::visibility("hidden")]] const ZcDbLayerTableRecord* layerRecord(const ZcDbDatabase* db) const;
  [[gnu::visibility("hidden")]] const ZcDbLayerTableRecord* lookUpLayerRecord(const ZcDbDatabase* db) const;
  [[gnu::visibility("hidden")]] ZSoft::UInt16 drawColorIndex() const;
  void forgetLayerRecord() { mLayerRecord = nullptr; }

  ZcString mLayer{std::u16string(u"0")};  // from UTF-16: no conversion per entity
  ZcString mLinetype{std::u16string(u"ByLayer")};
  ZSoft::UInt16 mColorIndex = 256;
  bool mInvisible = false;
  double mLinetypeScale = 1.0;
  // What layerRecord() found last, where, and at which symbol-table generation; not copied.
  mutable const ZcDbLayerTableRecord* mLayerRecord = nullptr;
  mutable ZcDbObjectId mLayerRecordId;
  mutable const ZcDbDatabase* mLayerDatabase = nullptr;
  mutable std::uint64_t mLayerGeneration = 0;
};
