// Plane geometry the entities share: the axes of an entity's plane, distances and containment in XY.
#pragma once

#include <cmath>

#include "zrx/array.h"
#include "zrx/core.h"
#include "zrx/ge.h"

namespace zrxdb {

// Exactly the same coordinates (no tolerance, unlike ==): a value put back is the value it was.
inline bool sameCoordinates(const ZcGePoint3d& a, const ZcGePoint3d& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool sameCoordinates(const ZcGeVector3d& a, const ZcGeVector3d& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The x axis of the plane with this normal by the arbitrary-axis rule of drawing files, so that
// a rotation of 0 runs along world X for the usual normal (0,0,1).
inline ZcGeVector3d planeXAxis(const ZcGeVector3d& normal) {
  const ZcGeVector3d n = normal.normal();
  if (n.isZeroLength() || (std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64)) {
    ZcGeVector3d x = ZcGeVector3d::kYAxis.crossProduct(n);
    return n.isZeroLength() ? ZcGeVector3d::kXAxis : x.normal();
  }
  return ZcGeVector3d::kZAxis.crossProduct(n).normal();
}

// The baseline direction and the up direction of something turned by `rotation` in that plane.
struct PlaneAxes {
  ZcGeVector3d x;
  ZcGeVector3d y;
};

inline PlaneAxes planeAxes(const ZcGeVector3d& normal, double rotation) {
  if (normal.x == 0 && normal.y == 0 && normal.z > 0) {  // the usual plane, without the general construction
    if (rotation == 0) return {{1, 0, 0}, {0, 1, 0}};
    const double c = std::cos(rotation), s = std::sin(rotation);
    return {{c, s, 0}, {-s, c, 0}};
  }
  ZcGeVector3d n = normal.normal();
  if (n.isZeroLength()) n = ZcGeVector3d::kZAxis;
  ZcGeVector3d x = planeXAxis(n);
  x.rotateBy(rotation, n);
  return {x, n.crossProduct(x)};
}

// Distance from p to the segment a-b, measured in the XY plane.
inline double distanceToSegmentXY(const ZcGePoint3d& p, const ZcGePoint3d& a, const ZcGePoint3d& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
  return std::sqrt(ex * ex + ey * ey);
}

// Whether p lies inside the closed polygon (XY, even-odd rule).
inline bool insidePolygonXY(const ZcGePoint3d& p, const ZcGePoint3d* corners, int count) {
  bool inside = false;
  for (int i = 0, j = count - 1; i < count; j = i++) {
    const ZcGePoint3d& a = corners[i];
    const ZcGePoint3d& b = corners[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

// Inside the polygon, or within `aperture` of its outline.
inline bool nearPolygonXY(const ZcGePoint3d& p, const ZcGePoint3d* corners, int count, double aperture) {
  if (insidePolygonXY(p, corners, count)) return true;
  for (int i = 0, j = count - 1; i < count; j = i++)
    if (distanceToSegmentXY(p, corners[j], corners[i]) <= aperture) return true;
  return false;
}

// The point of the segment a-b nearest p, in the XY plane (a, for a segment of no length).
inline ZcGePoint3d nearestOnSegmentXY(const ZcGePoint3d& p, const ZcGePoint3d& a, const ZcGePoint3d& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return a + (b - a) * t;
}

// The snap points of the straight segments through `vertices` (closed: back to the first): the
// vertices are ends, each segment has a midpoint, the point nearest `pick`, and the foot of the
// perpendicular from `last` where it falls on the segment.
inline void appendPolylineSnaps(ZcDb::OsnapMode mode, const ZcGePoint3d* vertices, size_t count, bool closed,
                                const ZcGePoint3d& pick, const ZcGePoint3d& last, ZcArray<ZcGePoint3d>& out) {
  if (count == 0) return;
  if (mode == ZcDb::kOsModeEnd) {
    for (size_t i = 0; i < count; ++i) out.append(vertices[i]);
    return;
  }
  const size_t segments = closed && count > 2 ? count : count - 1;
  for (size_t i = 0; i < segments; ++i) {
    const ZcGePoint3d& a = vertices[i];
    const ZcGePoint3d& b = vertices[(i + 1) % count];
    if (mode == ZcDb::kOsModeMid) {
      out.append(a + (b - a) * 0.5);
    } else if (mode == ZcDb::kOsModeNear) {
      out.append(nearestOnSegmentXY(pick, a, b));
    } else if (mode == ZcDb::kOsModePerp) {
      // Only a foot inside the segment is perpendicular; one beyond an end is not.
      const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
      const double t = len2 > 0 ? ((last.x - a.x) * dx + (last.y - a.y) * dy) / len2 : -1;
      if (t >= 0 && t <= 1) out.append(a + (b - a) * t);
    }
  }
}

}  // namespace zrxdb
