// A HATCH record's values: its boundary paths, its pattern lines, its fill, as the record gives them.
#pragma once

#include <cstdint>
#include <vector>

#include "dxf/dxf_record_values.h"

namespace zrxhost::dxf {

// One edge of a boundary path, in the hatch's own coordinates.
struct HatchEdge {
  enum Type { kLine = 1, kCircularArc = 2, kEllipticArc = 3, kSpline = 4 };
  Type type = kLine;
  Point3 start{}, end{};                // a line
  Point3 centre{}, major{};             // an arc (major: the elliptic arc's major axis)
  double radius = 0;                    // the circular arc's radius, or the elliptic arc's minor-to-major ratio
  double startAngle = 0, endAngle = 0;  // radians, as stored: a clockwise edge stores 2π minus each angle
  bool counterClockwise = true;
  int degree = 3;  // a spline
  std::vector<double> knots, weights;
  std::vector<Point3> controlPoints, fitPoints;
};

struct HatchVertex {
  Point3 point{};
  double bulge = 0;
};

// A boundary path: a polyline (its vertices) or a loop of edges.
struct HatchPath {
  bool isPolyline = false;
  std::vector<HatchVertex> vertices;
  std::vector<HatchEdge> edges;
};

// One family of parallel pattern lines: its angle (degrees), a line's base point, the offset from one
// line to the next, and its dashes (negative: a gap).
struct HatchPatternLine {
  double angle = 0, baseX = 0, baseY = 0, offsetX = 0, offsetY = 0;
  std::vector<double> dashes;
};

struct Hatch {
  double elevation = 0;
  Point3 normal{0, 0, 1};
  bool solid = false;
  std::vector<HatchPath> paths;
  std::vector<HatchPatternLine> pattern;
  // A gradient fill, and the colour of its first stop (0xRRGGBB; -1: none given).
  bool gradient = false;
  std::int64_t gradientRgb = -1;
};

// The HATCH of `record` (the tags after its 0 group). Counts are bounded by the record's size; a path
// or edge the record breaks off ends the list it belongs to, so a damaged hatch reads as far as it goes.
Hatch readHatch(const RecordValues& record);

}  // namespace zrxhost::dxf
