// ZcDbLine: a straight segment.
#include "zrx/db/line.h"

#include "db/geom.h"
#include "db/stub.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"

ZCRX_DEFINE_MEMBERS(ZcDbLine, ZcDbEntity, L"AcDbLine", L"LINE", &zrxdb::construct<ZcDbLine>);

ZcDbLine::ZcDbLine() = default;
ZcDbLine::ZcDbLine(const ZcGePoint3d& start, const ZcGePoint3d& end) : mStart(start), mEnd(end) {}
ZcDbLine::~ZcDbLine() = default;

Zcad::ErrorStatus ZcDbLine::setStartPoint(const ZcGePoint3d& p) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  zrxdb::notePointEdit(stub(), zrxhost::kEditPositionX, mStart, p);
  mStart = p;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbLine::setEndPoint(const ZcGePoint3d& p) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  zrxdb::notePointEdit(stub(), zrxhost::kEditEndPointX, mEnd, p);
  mEnd = p;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbLine::setThickness(double t) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  mThickness = t;
  zrxdb::noteEdit(stub(), zrxhost::kEditThickness);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbLine::setNormal(const ZcGeVector3d& n) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (n.isZeroLength()) return Zcad::eInvalidInput;
  mNormal = n.normal();
  zrxdb::noteEdit(stub(), zrxhost::kEditNormal);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbLine::getGeomExtents(ZcDbExtents& extents) const {
  extents = ZcDbExtents();
  extents.addPoint(mStart);
  extents.addPoint(mEnd);
  return Zcad::eOk;
}

bool ZcDbLine::hitTest(const ZcGePoint3d& point, double aperture) const {
  return zrxdb::distanceToSegmentXY(point, mStart, mEnd) <= aperture;
}

Zcad::ErrorStatus ZcDbLine::getOsnapPoints(ZcDb::OsnapMode mode, ZSoft::GsMarker, const ZcGePoint3d& pick,
                                           const ZcGePoint3d& last, ZcArray<ZcGePoint3d>& points) const {
  const ZcGePoint3d ends[2] = {mStart, mEnd};
  zrxdb::appendPolylineSnaps(mode, ends, 2, false, pick, last, points);
  return Zcad::eOk;
}

bool ZcDbLine::subWorldDraw(ZcGiWorldDraw* mode) {
  const ZcGePoint3d points[2] = {mStart, mEnd};
  mode->geometry().polyline(2, points, &mNormal);
  return true;
}

void ZcDbLine::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  auto* t = static_cast<ZcDbLine*>(target);
  t->mStart = mStart;
  t->mEnd = mEnd;
  t->mThickness = mThickness;
  t->mNormal = mNormal;
}

bool ZcDbLine::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbLine&>(other);
  return ZcDbEntity::hasSameFieldsAs(other) && zrxdb::sameCoordinates(mStart, o.mStart) &&
         zrxdb::sameCoordinates(mEnd, o.mEnd) && mThickness == o.mThickness &&
         zrxdb::sameCoordinates(mNormal, o.mNormal);
}
