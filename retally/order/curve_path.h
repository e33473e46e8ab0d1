// A path to number texts along: the curve the user picked, as the entity draws it.
#pragma once

#include <vector>

#include "module/host.h"

class CurvePath {
 public:
  // Takes the path of the entity `id` (a line, polyline, arc, circle, ellipse or spline), measured
  // from the end nearer `pick`; a closed one from the point nearest `pick`, in its own direction.
  // False when the entity is no curve.
  bool takeFrom(ZcDbObjectId id, const ZcGePoint3d& pick);
  // The distance along the path, from its start, of the path's point nearest to `point` (in XY).
  double along(const ZcGePoint3d& point) const;

 private:
  double rawAlong(const ZcGePoint3d& point) const;

  std::vector<ZcGePoint3d> mPoints;
  std::vector<double> mStartOf;  // the distance along the path at each point
  bool mFromEnd = false;
  bool mClosed = false;
  double mStartAlong = 0;  // where the pick lies along the path
};
