// The path of a picked curve (line, polyline, arc, circle, spline), and where a text lies along it.
#include "retally/order/curve_path.h"

#include <cmath>
#include <limits>

namespace {

double planarDistance(const ZcGePoint3d& a, const ZcGePoint3d& b) {
  return std::hypot(b.x - a.x, b.y - a.y);
}

}  // namespace

bool CurvePath::takeFrom(ZcDbObjectId id, const ZcGePoint3d& pick) {
  mPoints.clear();
  mStartOf.clear();
  ZcDbEntity* pEnt = nullptr;
  if (zcdbOpenObject(pEnt, id, ZcDb::kForRead) != Zcad::eOk || pEnt == nullptr) return false;
  // A curve the host keeps as its record (an arc, a circle, a polyline, a spline) draws its outline
  // as one; any other kind it keeps that way draws nothing.
  if (pEnt->isKindOf(ZcDbLine::desc()) || pEnt->isKindOf(ZcDb3dPolyline::desc()) ||
      pEnt->isKindOf(ZcDbForeignEntity::desc())) {
    // What the entity draws is its path: the host's own geometry, not a second reading of it.
    ZcGiDrawRecorder drawn;
    pEnt->worldDraw(&drawn);
    for (const auto& polyline : drawn.polylines())
      mPoints.insert(mPoints.end(), polyline.points.begin(), polyline.points.end());
  }
  pEnt->close();
  if (mPoints.size() < 2) return false;
  double total = 0;
  mStartOf.push_back(0);
  for (size_t i = 1; i < mPoints.size(); ++i) {
    total += planarDistance(mPoints[i - 1], mPoints[i]);
    mStartOf.push_back(total);
  }
  if (!(total > 0) || !std::isfinite(total)) return false;
  mFromEnd = false;
  mClosed = planarDistance(mPoints.front(), mPoints.back()) <= total * 1e-9;
  mStartAlong = rawAlong(pick);
  mFromEnd = !mClosed && mStartAlong > total / 2;
  return true;
}

double CurvePath::rawAlong(const ZcGePoint3d& p) const {
  double best = std::numeric_limits<double>::infinity(), bestAlong = 0;
  for (size_t i = 0; i + 1 < mPoints.size(); ++i) {
    const ZcGePoint3d &a = mPoints[i], &b = mPoints[i + 1];
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    const double distance = std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
    if (distance < best) {
      best = distance;
      bestAlong = mStartOf[i] + t * std::sqrt(length2);
    }
  }
  return bestAlong;
}

double CurvePath::along(const ZcGePoint3d& point) const {
  const double raw = rawAlong(point), total = mStartOf.back();
  if (mClosed) return raw >= mStartAlong ? raw - mStartAlong : raw - mStartAlong + total;
  return mFromEnd ? total - raw : raw;
}
