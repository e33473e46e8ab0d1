// Frames, arcs as Béziers, bulges and NURBS evaluation for the outlines of entities.
#include "render/shapes.h"

#include <algorithm>

namespace zrxhost::render {

Xform Xform::operator*(const Xform& o) const {
  Xform r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      double v = j == 3 ? m[i][3] : 0;
      for (int k = 0; k < 3; ++k) v += m[i][k] * o.m[k][j];
      r.m[i][j] = v;
    }
  }
  return r;
}

bool Xform::isIdentity() const {
  const Xform identity;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j)
      if (m[i][j] != identity.m[i][j]) return false;
  return true;
}

Xform Xform::translation(const V3& t) {
  Xform r;
  r.m[0][3] = t.x;
  r.m[1][3] = t.y;
  r.m[2][3] = t.z;
  return r;
}

Xform Xform::scaling(const V3& s) {
  Xform r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

Xform Xform::rotationZ(double radians) {
  Xform r;
  const double c = std::cos(radians), s = std::sin(radians);
  r.m[0][0] = c;
  r.m[0][1] = -s;
  r.m[1][0] = s;
  r.m[1][1] = c;
  return r;
}

Xform Xform::ocs(const V3& extrusion) {
  const double len = extrusion.length();
  if (!(len > 0) || !std::isfinite(len)) return {};
  const V3 n = extrusion * (1 / len);
  if (n.x == 0 && n.y == 0 && n.z > 0) return {};
  // The arbitrary-axis rule: near the world Z axis the X axis comes from world Y, else from world Z.
  V3 ax = (std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64) ? V3{0, 1, 0}.cross(n) : V3{0, 0, 1}.cross(n);
  ax = ax * (1 / ax.length());
  const V3 ay = n.cross(ax);
  Xform r;
  for (int i = 0; i < 3; ++i) {
    const double a[3] = {ax.x, ax.y, ax.z}, b[3] = {ay.x, ay.y, ay.z}, c[3] = {n.x, n.y, n.z};
    r.m[i][0] = a[i];
    r.m[i][1] = b[i];
    r.m[i][2] = c[i];
  }
  return r;
}

void ShapeWriter::begin(Shape::Kind kind, bool dashed) {
  if (mOpen) end();
  mOut.emplace_back();
  mOut.back().kind = kind;
  mOut.back().dashed = dashed;
  mOpen = true;
}

void ShapeWriter::moveTo(const V3& p) {
  if (!mOpen) begin();
  mLoopStart = false;
  mOut.back().ops.push_back({PathOp::kMove, {mFrame.apply(p)}});
  mLast = p;
}

void ShapeWriter::lineTo(const V3& p) {
  if (!mOpen || mOut.back().ops.empty() || mLoopStart) {
    mLoopStart = false;
    return moveTo(p);
  }
  mOut.back().ops.push_back({PathOp::kLine, {mFrame.apply(p)}});
  mLast = p;
}

void ShapeWriter::ellipse(const V3& c, const V3& major, const V3& minor, double t0, double t1) {
  if (!std::isfinite(t0) || !std::isfinite(t1)) return;
  auto at = [&](double t) { return c + major * std::cos(t) + minor * std::sin(t); };
  auto tangent = [&](double t) { return minor * std::cos(t) - major * std::sin(t); };
  const double sweep = t1 - t0;
  // Quarter turns or less: a cubic then strays from the curve by under 3e-4 of the radius.
  const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (M_PI / 2) - 1e-9)));
  const double step = sweep / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  lineTo(at(t0));
  for (int i = 0; i < pieces; ++i) {
    const double a = t0 + step * i, b = a + step;
    const V3 pa = at(a), pb = at(b);
    mOut.back().ops.push_back(
        {PathOp::kCurve, {mFrame.apply(pa + tangent(a) * k), mFrame.apply(pb - tangent(b) * k), mFrame.apply(pb)}});
    mLast = pb;
  }
}

void ShapeWriter::arc(double cx, double cy, double z, double r, double a0, double a1) {
  ellipse({cx, cy, z}, {r, 0, 0}, {0, r, 0}, a0, a1);
}

bool bulgeArc(double x0, double y0, double x1, double y1, double bulge, BulgeArc& arc) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double chord = std::hypot(dx, dy);
  if (bulge == 0 || !std::isfinite(bulge) || !(chord > 0)) return false;
  const double theta = 4 * std::atan(bulge);  // included angle, signed
  const double r = chord / (2 * std::sin(theta / 2));
  // The centre lies on the chord's perpendicular bisector, on the left for a counter-clockwise arc.
  const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
  const double h = r * std::cos(theta / 2);
  const double nx = -dy / chord, ny = dx / chord;
  arc.cx = mx + nx * h;
  arc.cy = my + ny * h;
  arc.r = std::fabs(r);
  arc.a0 = std::atan2(y0 - arc.cy, x0 - arc.cx);
  arc.a1 = arc.a0 + theta;
  return std::isfinite(arc.cx) && std::isfinite(arc.cy) && std::isfinite(arc.r);
}

void ShapeWriter::bulgeTo(const V3& from, const V3& to, double bulge) {
  BulgeArc a;
  if (!bulgeArc(from.x, from.y, to.x, to.y, bulge, a)) return lineTo(to);
  arc(a.cx, a.cy, from.z, a.r, a.a0, a.a1);
}

void ShapeWriter::close() {
  if (mOpen && !mOut.back().ops.empty()) mOut.back().ops.push_back({PathOp::kClose, {}});
}

void ShapeWriter::end() {
  if (!mOpen) return;
  mOpen = false;
  Shape& s = mOut.back();
  bool finite = !s.ops.empty();
  for (const Op3& op : s.ops) {
    const int n = op.kind == PathOp::kCurve ? 3 : (op.kind == PathOp::kClose ? 0 : 1);
    for (int i = 0; i < n; ++i) finite = finite && op.p[i].finite();
  }
  if (!finite) mOut.pop_back();
}

std::vector<std::vector<V3>> flatten(const Shape& shape, int perCurve) {
  std::vector<std::vector<V3>> lines;
  V3 last;
  for (const Op3& op : shape.ops) {
    switch (op.kind) {
      case PathOp::kMove:
        lines.push_back({op.p[0]});
        last = op.p[0];
        break;
      case PathOp::kLine:
        if (lines.empty()) lines.emplace_back();
        lines.back().push_back(op.p[0]);
        last = op.p[0];
        break;
      case PathOp::kCurve:
        if (lines.empty()) lines.push_back({last});
        for (int i = 1; i <= perCurve; ++i) {
          const double t = static_cast<double>(i) / perCurve, u = 1 - t;
          lines.back().push_back(last * (u * u * u) + op.p[0] * (3 * u * u * t) + op.p[1] * (3 * u * t * t) +
                                 op.p[2] * (t * t * t));
        }
        last = op.p[2];
        break;
      case PathOp::kClose:
        if (!lines.empty() && !lines.back().empty()) {
          const V3 first = lines.back().front();
          lines.back().push_back(first);
          last = first;
        }
        break;
    }
  }
  return lines;
}

std::vector<V3> nurbsPoints(int degree, const std::vector<double>& knots, const std::vector<V3>& control,
                            const std::vector<double>& weights, int perSpan) {
  std::vector<V3> out;
  const int n = static_cast<int>(control.size());
  if (degree < 1 || n <= degree || static_cast<int>(knots.size()) != n + degree + 1) return out;
  const bool rational = static_cast<int>(weights.size()) == n;
  std::vector<double> w(n, 1.0);
  if (rational) w = weights;
  for (int i = 0; i + 1 < static_cast<int>(knots.size()); ++i)
    if (knots[i + 1] < knots[i]) return out;
  const double u0 = knots[degree], u1 = knots[n];
  if (!(u1 > u0)) return out;
  // de Boor's algorithm in homogeneous coordinates at each sample.
  std::vector<V3> d(degree + 1);
  std::vector<double> dw(degree + 1);
  auto eval = [&](double u) {
    int span = degree;
    while (span < n - 1 && u >= knots[span + 1]) ++span;
    for (int j = 0; j <= degree; ++j) {
      const int i = span - degree + j;
      dw[j] = w[i];
      d[j] = control[i] * w[i];
    }
    for (int r = 1; r <= degree; ++r) {
      for (int j = degree; j >= r; --j) {
        const int i = span - degree + j;
        const double den = knots[i + degree - r + 1] - knots[i];
        const double a = den > 0 ? (u - knots[i]) / den : 0;
        d[j] = d[j - 1] * (1 - a) + d[j] * a;
        dw[j] = dw[j - 1] * (1 - a) + dw[j] * a;
      }
    }
    return dw[degree] != 0 ? d[degree] * (1 / dw[degree]) : d[degree];
  };
  for (int span = degree; span < n; ++span) {
    const double a = knots[span], b = knots[span + 1];
    if (!(b > a)) continue;
    for (int s = 0; s < perSpan; ++s) out.push_back(eval(a + (b - a) * s / perSpan));
  }
  out.push_back(eval(u1 - (u1 - u0) * 1e-12));
  return out;
}

std::vector<V3> throughPoints(const std::vector<V3>& fit, int perSpan) {
  if (fit.size() < 3) return fit;
  std::vector<V3> out;
  const size_t n = fit.size();
  auto point = [&](long i) {
    if (i < 0) return fit[0] * 2 - fit[1];
    if (i >= static_cast<long>(n)) return fit[n - 1] * 2 - fit[n - 2];
    return fit[static_cast<size_t>(i)];
  };
  for (size_t i = 0; i + 1 < n; ++i) {
    const V3 p0 = point(static_cast<long>(i) - 1), p1 = fit[i], p2 = fit[i + 1], p3 = point(static_cast<long>(i) + 2);
    // Catmull-Rom as a cubic Bézier between p1 and p2.
    const V3 c1 = p1 + (p2 - p0) * (1.0 / 6), c2 = p2 - (p3 - p1) * (1.0 / 6);
    for (int s = 0; s < perSpan; ++s) {
      const double t = static_cast<double>(s) / perSpan, u = 1 - t;
      out.push_back(p1 * (u * u * u) + c1 * (3 * u * u * t) + c2 * (3 * u * t * t) + p2 * (t * t * t));
    }
  }
  out.push_back(fit.back());
  return out;
}

}  // namespace zrxhost::render
