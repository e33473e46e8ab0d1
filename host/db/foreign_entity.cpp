// ZcDbForeignEntity: an entity kept as the drawing held it; its outline, picks and snap points come
// from the layer that reads its record (zrxhost/foreign_geometry.h).
#include "zrx/db/foreign_entity.h"

#include "db/stub.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"
#include "zrxhost/foreign_geometry.h"

ZCRX_DEFINE_MEMBERS(ZcDbForeignEntity, ZcDbEntity, L"AcDbForeignEntity", nullptr, &zrxdb::construct<ZcDbForeignEntity>);

namespace {

zrxhost::ForeignGeometry gGeometry;

using Outline = std::vector<std::vector<ZcGePoint3d>>;

}  // namespace

ZcDbForeignEntity::ZcDbForeignEntity() = default;
ZcDbForeignEntity::~ZcDbForeignEntity() = default;

Zcad::ErrorStatus ZcDbForeignEntity::getGeomExtents(ZcDbExtents& extents) const {
  if (mExtentsState == ExtentsState::kUnknown) {
    Outline outline;
    zrxhost::foreignOutline(*this, outline);
    mExtents = ZcDbExtents();
    for (const auto& stroke : outline)
      for (const ZcGePoint3d& p : stroke) mExtents.addPoint(p);
    mExtentsState = mExtents.isValid() ? ExtentsState::kKnown : ExtentsState::kNone;
  }
  extents = mExtentsState == ExtentsState::kKnown ? mExtents : ZcDbExtents();
  return mExtentsState == ExtentsState::kKnown ? Zcad::eOk : Zcad::eInvalidExtents;
}

void zrxhost::foreignOutline(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& strokes) {
  if (gGeometry.outline != nullptr) gGeometry.outline(entity, strokes);
}

bool ZcDbForeignEntity::hitTest(const ZcGePoint3d& point, double aperture) const {
  if (gGeometry.hitTest == nullptr) return false;
  // A pick away from the extents is passed over before the record is decoded. A ray or an xline
  // has no outline, hence no extents, and is always asked.
  ZcDbExtents box;
  if (getGeomExtents(box) == Zcad::eOk &&
      (point.x < box.minPoint().x - aperture || point.x > box.maxPoint().x + aperture ||
       point.y < box.minPoint().y - aperture || point.y > box.maxPoint().y + aperture))
    return false;
  return gGeometry.hitTest(*this, point, aperture);
}

bool ZcDbForeignEntity::subWorldDraw(ZcGiWorldDraw* mode) {
  Outline outline;
  zrxhost::foreignOutline(*this, outline);
  for (const auto& stroke : outline)
    mode->geometry().polyline(static_cast<ZSoft::UInt32>(stroke.size()), stroke.data());
  return true;
}

void zrxhost::registerForeignGeometry(const ForeignGeometry& geometry) {
  gGeometry = geometry;
}

Zcad::ErrorStatus ZcDbForeignEntity::getOsnapPoints(ZcDb::OsnapMode mode, ZSoft::GsMarker, const ZcGePoint3d& pick,
                                                    const ZcGePoint3d& last, ZcArray<ZcGePoint3d>& points) const {
  if (gGeometry.osnapPoints != nullptr) gGeometry.osnapPoints(*this, mode, pick, last, points);
  return Zcad::eOk;
}

void ZcDbForeignEntity::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  static_cast<ZcDbForeignEntity*>(target)->mDxfType = mDxfType;
}

bool ZcDbForeignEntity::hasSameFieldsAs(const ZcDbObject& other) const {
  return ZcDbEntity::hasSameFieldsAs(other) && mDxfType == static_cast<const ZcDbForeignEntity&>(other).mDxfType;
}
