// HATCH records: boundary loops of edges or polylines, filled or crossed by their pattern lines.
#include <algorithm>
#include <cmath>

#include "dxf/dxf_tags.h"
#include "render/foreign_geometry.h"
#include "render/record_fields.h"

namespace zrxhost::render {
namespace {

constexpr double kDegree = M_PI / 180;
// Past this many lines of one pattern family a hatch is too dense to show as lines; its boundary
// is filled instead, as a viewer shows a pattern smaller than a pixel.
constexpr double kMaxLinesPerFamily = 20000;
constexpr std::size_t kMaxDashesPerHatch = 2000000;

// Walks a record's tags in order; `take` consumes the tag when it has the expected code.
class Cursor {
 public:
  Cursor(const Fields& fields, std::uint32_t at) : mFields(fields), mAt(at) {}
  bool at(int code) const { return mAt < mFields.end && mFields.code(mAt) == code; }
  bool done() const { return mAt >= mFields.end; }
  double take(int code, double fallback = 0) {
    if (!at(code)) return fallback;
    return mFields.value(mAt++);
  }
  long takeCount(int code, long limit) {
    const double v = take(code, 0);
    return v > 0 ? static_cast<long>(std::min(v, static_cast<double>(limit))) : 0;
  }
  void skip() { ++mAt; }

 private:
  const Fields& mFields;
  std::uint32_t mAt;
};

// One boundary loop's edges, written into `w` as a closed loop.
void edgeLoop(Cursor& c, ShapeWriter& w, long limit) {
  const long edges = c.takeCount(93, limit);
  w.newLoop();
  for (long e = 0; e < edges && c.at(72); ++e) {
    const int type = static_cast<int>(c.take(72));
    if (type == 1) {
      const double x0 = c.take(10), y0 = c.take(20), x1 = c.take(11), y1 = c.take(21);
      w.lineTo({x0, y0, 0});
      w.lineTo({x1, y1, 0});
    } else if (type == 2 || type == 3) {
      const double cx = c.take(10), cy = c.take(20);
      double mx = 0, my = 0;
      if (type == 3) {
        mx = c.take(11);
        my = c.take(21);
      }
      const double r = c.take(40);
      double a0 = c.take(50) * kDegree, a1 = c.take(51) * kDegree;
      const bool ccw = c.take(73, 1) != 0;
      while (a1 <= a0) a1 += 2 * M_PI;
      V3 major = {r, 0, 0}, minor = {0, r, 0};
      if (type == 3) {
        major = {mx, my, 0};
        minor = V3{-my, mx, 0} * r;  // r is the minor-to-major ratio here
      }
      // A clockwise edge stores its angles as 360° minus the angle: mirroring the minor axis reads them.
      if (ccw)
        w.ellipse({cx, cy, 0}, major, minor, a0, a1);
      else
        w.ellipse({cx, cy, 0}, major, minor * -1, a0, a1);
    } else if (type == 4) {
      const int degree = static_cast<int>(c.take(94, 3));
      const bool rational = c.take(73) != 0;
      c.take(74);
      const long knotCount = c.takeCount(95, limit), controlCount = c.takeCount(96, limit);
      std::vector<double> knots, weights;
      std::vector<V3> control, fit;
      for (long k = 0; k < knotCount && c.at(40); ++k) knots.push_back(c.take(40));
      for (long k = 0; k < controlCount && c.at(10); ++k) {
        const double x = c.take(10), y = c.take(20);
        control.push_back({x, y, 0});
        if (rational || c.at(42)) weights.push_back(c.take(42, 1));
      }
      if (c.at(97)) {
        const long fitCount = c.takeCount(97, limit);
        for (long k = 0; k < fitCount && c.at(11); ++k) {
          const double x = c.take(11), y = c.take(21);
          fit.push_back({x, y, 0});
        }
      }
      for (int code : {12, 22, 13, 23}) c.take(code);
      std::vector<V3> points = nurbsPoints(degree, knots, control, weights, 64);
      if (points.empty()) points = throughPoints(fit, 64);
      for (const V3& p : points) w.lineTo(p);
    } else {
      break;  // an edge type this reader does not know: the loop ends here
    }
  }
  w.close();
}

void polylineLoop(Cursor& c, ShapeWriter& w, long limit) {
  c.take(72);
  c.take(73);
  const long count = c.takeCount(93, limit);
  std::vector<std::pair<V3, double>> vertices;
  for (long k = 0; k < count && c.at(10); ++k) {
    const double x = c.take(10), y = c.take(20), bulge = c.take(42, 0);
    vertices.push_back({{x, y, 0}, bulge});
  }
  if (vertices.empty()) return;
  w.newLoop();
  w.lineTo(vertices[0].first);
  for (std::size_t k = 0; k < vertices.size(); ++k)
    w.bulgeTo(vertices[k].first, vertices[(k + 1) % vertices.size()].first, vertices[k].second);
  w.close();
}

struct PatternLine {
  double angle, baseX, baseY, offsetX, offsetY;
  std::vector<double> dashes;
};

struct Segment {
  double x0, y0, x1, y1;
};

// The parts of one pattern family inside the loops (odd-even), dashed, as strokes.
// False when the family is too dense to draw as lines.
bool patternFamily(const PatternLine& line, const std::vector<Segment>& edges, double minX, double minY, double maxX,
                   double maxY, ShapeWriter& w, std::size_t& dashes) {
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

void decodeHatch(const EntityRecords& records, ForeignDrawing& out) {
  const Fields r(*records.file, records.begin + 1, records.end);
  // The first 10/20/30 after the subclass marker is the elevation point; find the path count.
  std::uint32_t at = r.begin;
  while (at < r.end && r.code(at) != 91) ++at;
  if (at >= r.end) return;
  const double elevation = Fields(*records.file, r.begin, at).point(10).z;
  const bool solid = Fields(*records.file, r.begin, at).integer(70, 0) != 0;
  const Xform frame = Xform::ocs(r.point(210, {0, 0, 1})) * Xform::translation({0, 0, elevation});
  const long limit = static_cast<long>(r.end - r.begin);

  std::vector<Shape> loops;
  ShapeWriter loopWriter(loops, Xform());
  loopWriter.begin(Shape::kFill, false);
  Cursor c(r, at);
  const long paths = c.takeCount(91, limit);
  for (long p = 0; p < paths && c.at(92); ++p) {
    const int flags = static_cast<int>(c.take(92));
    if ((flags & 2) != 0)
      polylineLoop(c, loopWriter, limit);
    else
      edgeLoop(c, loopWriter, limit);
    const long sources = c.takeCount(97, limit);
    for (long s = 0; s < sources && c.at(330); ++s) c.skip();
  }
  loopWriter.end();
  if (loops.empty()) return;

  c.take(75);
  c.take(76);
  c.take(52);
  c.take(41);
  c.take(77);
  std::vector<PatternLine> pattern;
  const long families = c.takeCount(78, limit);
  for (long k = 0; k < families && c.at(53); ++k) {
    PatternLine line{};
    line.angle = c.take(53);
    line.baseX = c.take(43);
    line.baseY = c.take(44);
    line.offsetX = c.take(45);
    line.offsetY = c.take(46);
    const long count = c.takeCount(79, limit);
    for (long d = 0; d < count && c.at(49); ++d) line.dashes.push_back(c.take(49));
    pattern.push_back(std::move(line));
  }
  // A gradient is drawn as a fill of its first colour.
  std::int64_t gradientRgb = -1;
  bool gradient = false;
  for (std::uint32_t i = at; i < r.end; ++i) {
    if (r.code(i) == 450) gradient = r.value(i) != 0;
    if (gradient && r.code(i) == 421 && gradientRgb < 0) gradientRgb = static_cast<std::int64_t>(r.value(i)) & 0xFFFFFF;
  }

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
  if (solid || gradient || pattern.empty()) {
    if (solid || gradient) fillBoundary(gradient ? gradientRgb : -1);
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
  for (const PatternLine& line : pattern)
    tooDense = !patternFamily(line, edges, minX, minY, maxX, maxY, w, dashes) || tooDense;
  if (tooDense) fillBoundary(-1);
}

}  // namespace zrxhost::render
