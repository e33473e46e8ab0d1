// Entity outlines before they reach a scene: 3D paths, the frames that place them, curve helpers.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render/scene.h"

namespace zrxhost::render {

struct V3 {
  double x = 0, y = 0, z = 0;
  V3 operator+(const V3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  V3 operator-(const V3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  V3 operator*(double s) const { return {x * s, y * s, z * s}; }
  double dot(const V3& o) const { return x * o.x + y * o.y + z * o.z; }
  V3 cross(const V3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
  double length() const { return std::sqrt(dot(*this)); }
  bool finite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
};

// A point as the DXF layer reads it.
inline V3 v3(const std::array<double, 3>& p) {
  return {p[0], p[1], p[2]};
}

// An affine map of 3D space: rows of [linear part | translation].
struct Xform {
  double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

  V3 apply(const V3& p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
  }
  V3 applyVector(const V3& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }
  // this ∘ other: other applied first.
  Xform operator*(const Xform& o) const;
  // How much the map stretches lengths in the drawing's plane, on average (for dash lengths).
  double planarScale() const { return std::sqrt(std::fabs(m[0][0] * m[1][1] - m[0][1] * m[1][0])); }
  bool isIdentity() const;

  static Xform translation(const V3& t);
  static Xform scaling(const V3& s);
  static Xform rotationZ(double radians);
  // Object coordinates of a planar entity with this extrusion to world (the arbitrary-axis rule).
  static Xform ocs(const V3& extrusion);
};

// A path in 3D: a move, lines, cubic Béziers (two control points and the end), closes.
struct Op3 {
  PathOp::Kind kind;
  V3 p[3];
};

struct Shape {
  enum Kind : std::uint8_t { kStroke, kFill, kMask };  // kMask: filled with the background (a wipeout)
  Kind kind = kStroke;
  bool dashed = true;     // strokes follow the entity's linetype unless they carry their own dashes
  bool evenOdd = false;   // fills: nested loops alternate between inside and outside
  std::int64_t rgb = -1;  // a colour of its own (a gradient's), else the entity's
  std::vector<Op3> ops;
};

// Writes shapes of one entity in its own coordinates, mapped by `frame` (its object coordinates).
class ShapeWriter {
 public:
  ShapeWriter(std::vector<Shape>& out, const Xform& frame) : mOut(out), mFrame(frame) {}
  void begin(Shape::Kind kind = Shape::kStroke, bool dashed = true);
  void moveTo(const V3& p);
  void lineTo(const V3& p);
  // An arc of the circle in the frame's XY plane at height z, from angle a0 to a1 (radians,
  // counter-clockwise; a1 < a0 goes the other way); continues the path from its start point.
  void arc(double cx, double cy, double z, double r, double a0, double a1);
  // The elliptical arc c + cos(t)·major + sin(t)·minor for t from t0 to t1.
  void ellipse(const V3& c, const V3& major, const V3& minor, double t0, double t1);
  // A straight (bulge 0) or circular segment from the current point to p (DXF bulge: tan of a
  // quarter of the included angle, positive counter-clockwise).
  void bulgeTo(const V3& from, const V3& to, double bulge);
  void close();
  // Starts another loop of the same shape.
  void newLoop() { mLoopStart = true; }
  // Drops the shape being written when it holds nothing drawable.
  void end();
  const Xform& frame() const { return mFrame; }

 private:
  std::vector<Shape>& mOut;
  Xform mFrame;
  V3 mLast;
  bool mOpen = false;
  bool mLoopStart = false;
};

// The bulge segment's circle: centre, radius and the start and end angles (a1 < a0 clockwise).
struct BulgeArc {
  double cx, cy, r, a0, a1;
};
bool bulgeArc(double x0, double y0, double x1, double y1, double bulge, BulgeArc& arc);

// The shape's paths as polylines (curves cut into `perCurve` pieces), in its own coordinates.
std::vector<std::vector<V3>> flatten(const Shape& shape, int perCurve);

// Points of a NURBS curve of the given degree (weights may be empty), `perSpan` per knot span.
std::vector<V3> nurbsPoints(int degree, const std::vector<double>& knots, const std::vector<V3>& control,
                            const std::vector<double>& weights, int perSpan);
// The cubic through the points that CAD programs draw for a spline stored only by its fit points.
std::vector<V3> throughPoints(const std::vector<V3>& fit, int perSpan);

}  // namespace zrxhost::render
