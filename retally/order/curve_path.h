// A path to number texts along: the line or polyline the user picked, as the entity draws it.
#pragma once

#include <vector>

#include "module/host.h"

class CurvePath {
 public:
  // Takes the path of the entity `id` (a line or a 3D polyline), measured from the end nearer
  // `pick`; false when the entity is not one or draws no line.
  bool takeFrom(ZcDbObjectId id, const ZcGePoint3d& pick);
  // The distance along the path, from its start, of the path's point nearest to `point` (in XY).
  double along(const ZcGePoint3d& point) const;

 private:
  double rawAlong(const ZcGePoint3d& point) const;

  std::vector<ZcGePoint3d> mPoints;
  std::vector<double> mStartOf;  // the distance along the path at each point
  bool mFromEnd = false;
};
