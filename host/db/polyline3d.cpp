// ZcDb3dPolyline: a polyline through 3D vertices.
#include "zrx/db/polyline3d.h"

#include <algorithm>

#include "db/geom.h"
#include "db/stub.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"

ZCRX_DEFINE_MEMBERS(ZcDb3dPolyline, ZcDbEntity, L"AcDb3dPolyline", L"POLYLINE", &zrxdb::construct<ZcDb3dPolyline>);

ZcDb3dPolyline::ZcDb3dPolyline() = default;

ZcDb3dPolyline::ZcDb3dPolyline(ZcDb::Poly3dType type, ZcArray<ZcGePoint3d>& vertices, bool closed)
    : mType(type), mClosed(closed), mVertices(vertices.items()) {}

ZcDb3dPolyline::~ZcDb3dPolyline() = default;

Zcad::ErrorStatus ZcDb3dPolyline::makeClosed() {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  mClosed = true;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDb3dPolyline::makeOpen() {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  mClosed = false;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDb3dPolyline::setVertices(const std::vector<ZcGePoint3d>& vertices) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  mVertices = vertices;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDb3dPolyline::getGeomExtents(ZcDbExtents& extents) const {
  extents = ZcDbExtents();
  if (mVertices.empty()) return Zcad::eInvalidExtents;
  for (const ZcGePoint3d& p : mVertices) extents.addPoint(p);
  return Zcad::eOk;
}

bool ZcDb3dPolyline::hitTest(const ZcGePoint3d& point, double aperture) const {
  const size_t n = mVertices.size();
  if (n == 0) return false;
  if (n == 1) return zrxdb::distanceToSegmentXY(point, mVertices[0], mVertices[0]) <= aperture;
  for (size_t i = 0; i + 1 < n; ++i)
    if (zrxdb::distanceToSegmentXY(point, mVertices[i], mVertices[i + 1]) <= aperture) return true;
  return mClosed && zrxdb::distanceToSegmentXY(point, mVertices[n - 1], mVertices[0]) <= aperture;
}

Zcad::ErrorStatus ZcDb3dPolyline::getOsnapPoints(ZcDb::OsnapMode mode, ZSoft::GsMarker, const ZcGePoint3d& pick,
                                                 const ZcGePoint3d& last, ZcArray<ZcGePoint3d>& points) const {
  zrxdb::appendPolylineSnaps(mode, mVertices.data(), mVertices.size(), mClosed, pick, last, points);
  return Zcad::eOk;
}

// A closed polyline repeats its first vertex so that the drawn outline closes.
bool ZcDb3dPolyline::subWorldDraw(ZcGiWorldDraw* mode) {
  if (mVertices.empty()) return true;
  if (!mClosed || mVertices.size() < 2) {
    mode->geometry().polyline(static_cast<ZSoft::UInt32>(mVertices.size()), mVertices.data());
    return true;
  }
  std::vector<ZcGePoint3d> ring(mVertices);
  ring.push_back(mVertices.front());
  mode->geometry().polyline(static_cast<ZSoft::UInt32>(ring.size()), ring.data());
  return true;
}

void ZcDb3dPolyline::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  auto* t = static_cast<ZcDb3dPolyline*>(target);
  t->mType = mType;
  t->mClosed = mClosed;
  t->mVertices = mVertices;
}

bool ZcDb3dPolyline::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDb3dPolyline&>(other);
  return ZcDbEntity::hasSameFieldsAs(other) && mType == o.mType && mClosed == o.mClosed &&
         std::equal(mVertices.begin(), mVertices.end(), o.mVertices.begin(), o.mVertices.end(),
                    [](const ZcGePoint3d& a, const ZcGePoint3d& b) { return zrxdb::sameCoordinates(a, b); });
}
