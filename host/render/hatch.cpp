// HATCH records: boundary loops of edges or polylines, filled or crossed by their pattern lines.
#include <algorithm>
#include <cmath>

#include "dxf/dxf_hatch.h"
#include "render/foreign_geometry.h"

namespace zrxhost::render {
namespace {

constexpr double kDegree = M_PI / 180;
// Past this many lines of one pattern family a hatch is too dense to show as lines; its boundary
// is filled instead, as a viewer shows a pattern smaller than a pixel.
constexpr double kMaxLinesPerFamily = 20000;
constexpr std::size_t kMaxDashesPerHatch = 2000000;

void edgeLoop(const dxf::HatchPath& path, ShapeWriter& w) {
  w.newLoop();
  for (const dxf::HatchEdge& e : path.edges) {
    if (e.type == dxf::HatchEdge::kLine) {
      w.lineTo(v3(e.start));
      w.lineTo(v3(e.end));
    } else if (e.type == dxf::HatchEdge::kSpline) {
      std::vector<V3> control, fit;
      for (const dxf::Point3& p : e.controlPoints) control.push_back(v3(p));
      for (const dxf::Point3& p : e.fitPoints) fit.push_back(v3(p));
      std::vector<V3> points = nurbsPoints(e.degree, e.knots, control, e.weights, 64);
      if (points.empty()) points = throughPoints(fit, 64);
      for (const V3& p : points) w.lineTo(p);
    } else {
      double a0 = e.startAngle, a1 = e.endAngle;
      while (a1 <= a0) a1 += 2 * M_PI;
      const V3 centre = v3(e.centre);
      V3 major = {e.radius, 0, 0}, minor = {0, e.radius, 0};
      if (e.type == dxf::HatchEdge::kEllipticArc) {
        major = v3(e.major);
        minor = V3{-major.y, major.x, 0} * e.radius;  // the radius is the minor-to-major ratio here
      }
      // A clockwise edge stores its angles as 360° minus the angle: mirroring the minor axis reads them.
      w.ellipse(centre, major, e.counterClockwise ? minor : minor * -1, a0, a1);
    }
  }
  w.close();
}

void polylineLoop(const dxf::HatchPath& path, ShapeWriter& w) {
  const std::vector<dxf::HatchVertex>& vertices = path.vertices;
  if (vertices.empty()) return;
  w.newLoop();
  w.lineTo(v3(vertices[0].point));
  for (std::size_t k = 0; k < vertices.size(); ++k)
    w.bulgeTo(v3(vertices[k].point), v3(vertices[(k + 1) % vertices.size()].point), vertices[k].bulge);
  w.close();
}

struct Segment {
  double x0, y0, x1, y1;
};

// The parts of one pattern family inside the loops (odd-even), dashed, as strokes.
// False when the family is too dense to draw as lines.
bool patternFamily(const dxf::HatchPatternLine& line, const std::vector<Segment>& edges, double minX, double minY,
                   double maxX, double maxY, ShapeWriter& w, std::size_t& dashes) {
  const double dx = std::cos(line.angle * kDegree), dy = std::sin(line.angle * kDegree);
  const double nx = -dy, ny = dx;
  const double spacing = line.offsetX * nx + line.offsetY * ny;
  const double shift = line.offsetX * dx + line.offsetY * dy;  // along the line per step
  if (!(std::fabs(spacing) > 0)) return true;
  double lo = INFINITY, hi = -INFINITY;
  for (double x : {minX, maxX})
    for (double y : {minY, maxY}) {
      const double d = (x - line.baseX) * nx + (y - line.baseY) * ny;
      lo = std::min(lo, d);
      hi = std::max(hi, d);
    }
  double k0 = std::ceil(lo / spacing), k1 = std::floor(hi / spacing);
  if (k0 > k1) std::swap(k0, k1);
  if (!(k1 - k0 < kMaxLinesPerFamily)) return false;
  double period = 0;
  for (double d : line.dashes) period += std::fabs(d);
  std::vector<double> hits;
  for (double k = k0; k <= k1; ++k) {
    const double ox = line.baseX + line.offsetX * k, oy = line.baseY + line.offsetY * k;
    hits.clear();
    for (const Segment& s : edges) {
      const double ex = s.x1 - s.x0, ey = s.y1 - s.y0;
      const double den = dx * ey - dy * ex;
      if (den == 0) continue;
      const double qx = s.x0 - ox, qy = s.y0 - oy;
      const double u = (qx * dy - qy * dx) / den;  // along the edge
      // Half-open, so a line through a vertex shared by two edges counts it once.
      if (u < 0 || u >= 1) continue;
      hits.push_back((qx * ey - qy * ex) / den);
    }
    std::sort(hits.begin(), hits.end());
    for (std::size_t h = 0; h + 1 < hits.size(); h += 2) {
      const double t0 = hits[h], t1 = hits[h + 1];
      auto emit = [&](double a, double b) {
        if (dashes++ >= kMaxDashesPerHatch) return;
        w.begin(Shape::kStroke, false);
        w.moveTo({ox + dx * a, oy + dy * a, 0});
        if (b > a) w.lineTo({ox + dx * b, oy + dy * b, 0});
        w.end();
      };
      if (line.dashes.empty() || !(period > 0)) {
        emit(t0, t1);
        continue;
      }
      // Dashes start at the family's base point, moved along by `shift` for each step.
      const double phase = shift * k;
      double start = phase + std::floor((t0 - phase) / period) * period;
      for (; start < t1 && dashes < kMaxDashesPerHatch; start += period) {
        double at = start;
        for (double d : line.dashes) {
          const double a = at, b = at + std::fabs(d);
          at = b;
          if (d < 0 || b < t0 || a > t1) continue;
          emit(std::max(a, t0), std::min(b, t1));
        }
      }
    }
  }
  return true;
}

}  // namespace

void hatchBoundary(const EntityRecords& records, std::vector<Shape>& out) {
  const dxf::Hatch hatch = dxf::readHatch(dxf::RecordValues(*records.file, records.begin + 1, records.end));
  ShapeWriter w(out, Xform::ocs(v3(hatch.normal)) * Xform::translation({0, 0, hatch.elevation}));
  for (const dxf::HatchPath& path : hatch.paths) {
    w.begin(Shape::kStroke, false);
    if (path.isPolyline)
      polylineLoop(path, w);
    else
      edgeLoop(path, w);
    w.end();
  }
}

void decodeHatch(const EntityRecords& records, ForeignDrawing& out) {
  const dxf::Hatch hatch = dxf::readHatch(dxf::RecordValues(*records.file, records.begin + 1, records.end));
  const Xform frame = Xform::ocs(v3(hatch.normal)) * Xform::translation({0, 0, hatch.elevation});
  std::vector<Shape> loops;
  ShapeWriter loopWriter(loops, Xform());
  loopWriter.begin(Shape::kFill, false);
  for (const dxf::HatchPath& path : hatch.paths) {
    if (path.isPolyline)
      polylineLoop(path, loopWriter);
    else
      edgeLoop(path, loopWriter);
  }
  loopWriter.end();
  if (loops.empty()) return;

  Shape& boundary = loops.front();
  auto fillBoundary = [&](std::int64_t rgb) {
    ShapeWriter w(out.shapes, frame);
    w.begin(Shape::kFill, false);
    out.shapes.back().evenOdd = true;
    out.shapes.back().rgb = rgb;
    for (const Op3& op : boundary.ops) {
      if (op.kind == PathOp::kMove) w.moveTo(op.p[0]);
      if (op.kind == PathOp::kLine) w.lineTo(op.p[0]);
      if (op.kind == PathOp::kClose) w.close();
      if (op.kind == PathOp::kCurve)
        out.shapes.back().ops.push_back(
            {PathOp::kCurve, {frame.apply(op.p[0]), frame.apply(op.p[1]), frame.apply(op.p[2])}});
    }
    w.end();
  };
  if (hatch.solid || hatch.gradient || hatch.pattern.empty()) {
    // A gradient is drawn as a fill of its first colour.
    if (hatch.solid || hatch.gradient) fillBoundary(hatch.gradient ? hatch.gradientRgb : -1);
    return;
  }
  std::vector<Segment> edges;
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (const std::vector<V3>& line : flatten(boundary, 8)) {
    for (std::size_t k = 0; k + 1 < line.size(); ++k) {
      edges.push_back({line[k].x, line[k].y, line[k + 1].x, line[k + 1].y});
    }
    for (const V3& p : line) {
      minX = std::min(minX, p.x);
      minY = std::min(minY, p.y);
      maxX = std::max(maxX, p.x);
      maxY = std::max(maxY, p.y);
    }
  }
  if (edges.empty() || !std::isfinite(maxX - minX) || !std::isfinite(maxY - minY)) return;
  ShapeWriter w(out.shapes, frame);
  std::size_t dashes = 0;
  bool tooDense = false;
  for (const dxf::HatchPatternLine& line : hatch.pattern)
    tooDense = !patternFamily(line, edges, minX, minY, maxX, maxY, w, dashes) || tooDense;
  if (tooDense) fillBoundary(-1);
}

}  // namespace zrxhost::render
