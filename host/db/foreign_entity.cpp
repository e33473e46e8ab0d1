// ZcDbForeignEntity: an entity kept as the drawing held it; a curve among them has the outline the
// layer that reads its record works out (zrxhost/foreign_outline.h).
#include "zrx/db/foreign_entity.h"

#include <algorithm>
#include <cmath>

#include "db/stub.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"
#include "zrxhost/foreign_geometry.h"
#include "zrxhost/foreign_outline.h"

ZCRX_DEFINE_MEMBERS(ZcDbForeignEntity, ZcDbEntity, L"AcDbForeignEntity", nullptr, &zrxdb::construct<ZcDbForeignEntity>);

namespace {

const zrxhost::ForeignOutlines* gOutlines = nullptr;
zrxhost::ForeignGeometry gGeometry;

using Outline = std::vector<std::vector<ZcGePoint3d>>;

bool outlineOf(const ZcDbForeignEntity& entity, Outline& outline) {
  return gOutlines != nullptr && gOutlines->outline(entity, outline) && !outline.empty();
}

double distanceToSegment(const ZcGePoint3d& p, const ZcGePoint3d& a, const ZcGePoint3d& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

}  // namespace

const zrxhost::ForeignOutlines* zrxhost::foreignOutlines() {
  return gOutlines;
}

void zrxhost::setForeignOutlines(const ForeignOutlines* outlines) {
  gOutlines = outlines;
}

ZcDbForeignEntity::ZcDbForeignEntity() = default;
ZcDbForeignEntity::~ZcDbForeignEntity() = default;

Zcad::ErrorStatus ZcDbForeignEntity::getGeomExtents(ZcDbExtents& extents) const {
  if (mExtentsState == ExtentsState::kUnknown) {
    Outline outline;
    mExtents = ZcDbExtents();
    if (outlineOf(*this, outline)) {
      for (const auto& polyline : outline)
        for (const ZcGePoint3d& p : polyline) mExtents.addPoint(p);
    }
    mExtentsState = mExtents.isValid() ? ExtentsState::kKnown : ExtentsState::kNone;
  }
  extents = mExtentsState == ExtentsState::kKnown ? mExtents : ZcDbExtents();
  return mExtentsState == ExtentsState::kKnown ? Zcad::eOk : Zcad::eInvalidExtents;
}

void zrxhost::foreignOutline(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& strokes) {
  if (gGeometry.outline != nullptr) gGeometry.outline(entity, strokes);
}

bool ZcDbForeignEntity::hitTest(const ZcGePoint3d& point, double aperture) const {
  ZcDbExtents box;
  // A kind without an outline (a hatch, a point, a solid...) is read by the registered decoder.
  if (getGeomExtents(box) != Zcad::eOk)
    return gGeometry.hitTest != nullptr && gGeometry.hitTest(*this, point, aperture);
  if (point.x < box.minPoint().x - aperture || point.x > box.maxPoint().x + aperture ||
      point.y < box.minPoint().y - aperture || point.y > box.maxPoint().y + aperture)
    return false;
  Outline outline;
  if (!outlineOf(*this, outline)) return false;
  for (const auto& polyline : outline) {
    for (size_t i = 0; i + 1 < polyline.size(); ++i)
      if (distanceToSegment(point, polyline[i], polyline[i + 1]) <= aperture) return true;
  }
  return false;
}

bool ZcDbForeignEntity::subWorldDraw(ZcGiWorldDraw* mode) {
  Outline outline;
  if (!outlineOf(*this, outline)) return true;
  for (const auto& polyline : outline)
    mode->geometry().polyline(static_cast<ZSoft::UInt32>(polyline.size()), polyline.data());
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
