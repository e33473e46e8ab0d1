// Reads the geometry of circles, arcs, polylines, splines, solids and the other kinds kept as records.
#include "render/foreign_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "dxf/dxf_tags.h"
#include "dxf/dxf_text.h"
#include "render/record_fields.h"
#include "zrx/db/text.h"

namespace zrxhost::render {
namespace {

constexpr double kDegree = M_PI / 180;

void circleOrArc(const Fields& r, bool arc, ForeignDrawing& out) {
  const V3 c = r.point(10);
  const double radius = r.number(40, 0);
  if (!(radius > 0)) return;
  ShapeWriter w(out.shapes, Xform::ocs(r.point(210, {0, 0, 1})));
  w.begin();
  if (arc) {
    double a0 = r.number(50, 0) * kDegree, a1 = r.number(51, 360) * kDegree;
    while (a1 <= a0) a1 += 2 * M_PI;
    w.arc(c.x, c.y, c.z, radius, a0, a1);
  } else {
    w.arc(c.x, c.y, c.z, radius, 0, 2 * M_PI);
    w.close();
  }
  w.end();
}

void ellipse(const Fields& r, ForeignDrawing& out) {
  const V3 c = r.point(10), major = r.point(11);
  V3 n = r.point(210, {0, 0, 1});
  const double ratio = r.number(40, 1), len = n.length();
  if (!(len > 0) || !(major.length() > 0)) return;
  n = n * (1 / len);
  const V3 minor = n.cross(major) * ratio;
  double t0 = r.number(41, 0), t1 = r.number(42, 2 * M_PI);
  while (t1 <= t0) t1 += 2 * M_PI;
  ShapeWriter w(out.shapes, Xform());
  w.begin();
  w.ellipse(c, major, minor, t0, t1);
  if (std::fabs(t1 - t0 - 2 * M_PI) < 1e-9) w.close();
  w.end();
}

struct Vertex {
  V3 p;
  double startWidth = 0, endWidth = 0, bulge = 0;
};

// A band of the given widths along the segment (straight or bulged), filled.
void widthBand(ShapeWriter& w, const Vertex& a, const Vertex& b) {
  const double w0 = a.startWidth / 2, w1 = a.endWidth / 2;
  std::vector<std::pair<double, double>> centre, normal;
  BulgeArc arc;
  if (a.bulge != 0 && bulgeArc(a.p.x, a.p.y, b.p.x, b.p.y, a.bulge, arc)) {
    const int steps = std::max(2, static_cast<int>(std::fabs(arc.a1 - arc.a0) / (M_PI / 32)));
    const double sign = arc.a1 > arc.a0 ? 1 : -1;
    for (int i = 0; i <= steps; ++i) {
      const double t = arc.a0 + (arc.a1 - arc.a0) * i / steps;
      centre.emplace_back(arc.cx + arc.r * std::cos(t), arc.cy + arc.r * std::sin(t));
      normal.emplace_back(-std::cos(t) * sign, -std::sin(t) * sign);
    }
  } else {
    const double dx = b.p.x - a.p.x, dy = b.p.y - a.p.y, len = std::hypot(dx, dy);
    if (!(len > 0)) return;
    centre = {{a.p.x, a.p.y}, {b.p.x, b.p.y}};
    normal = {{-dy / len, dx / len}, {-dy / len, dx / len}};
  }
  const size_t n = centre.size();
  w.begin(Shape::kFill, false);
  for (size_t i = 0; i < n; ++i) {
    const double half = w0 + (w1 - w0) * static_cast<double>(i) / static_cast<double>(n - 1);
    w.lineTo({centre[i].first + normal[i].first * half, centre[i].second + normal[i].second * half, a.p.z});
  }
  for (size_t i = n; i-- > 0;) {
    const double half = w0 + (w1 - w0) * static_cast<double>(i) / static_cast<double>(n - 1);
    w.lineTo({centre[i].first - normal[i].first * half, centre[i].second - normal[i].second * half, a.p.z});
  }
  w.close();
  w.end();
}

void polyline2d(const std::vector<Vertex>& vertices, bool closed, const Xform& frame, ForeignDrawing& out) {
  if (vertices.empty()) return;
  ShapeWriter w(out.shapes, frame);
  const size_t segments = closed ? vertices.size() : vertices.size() - 1;
  bool wide = false;
  for (size_t i = 0; i < segments; ++i) wide = wide || vertices[i].startWidth > 0 || vertices[i].endWidth > 0;
  if (wide) {
    for (size_t i = 0; i < segments; ++i) widthBand(w, vertices[i], vertices[(i + 1) % vertices.size()]);
    return;
  }
  w.begin();
  w.moveTo(vertices[0].p);
  for (size_t i = 0; i < segments; ++i)
    w.bulgeTo(vertices[i].p, vertices[(i + 1) % vertices.size()].p, vertices[i].bulge);
  if (closed) w.close();
  w.end();
}

void lwpolyline(const Fields& r, ForeignDrawing& out) {
  const int flags = r.integer(70, 0);
  const double constant = r.number(43, 0), elevation = r.number(38, 0);
  std::vector<Vertex> vertices;
  for (std::uint32_t i = r.begin; i < r.end; ++i) {
    const int code = r.code(i);
    if (code == 10) {
      vertices.emplace_back();
      vertices.back().p = {r.value(i), 0, elevation};
      vertices.back().startWidth = vertices.back().endWidth = constant;
    } else if (vertices.empty()) {
      continue;
    } else if (code == 20) {
      vertices.back().p.y = r.value(i);
    } else if (code == 40) {
      vertices.back().startWidth = r.value(i);
    } else if (code == 41) {
      vertices.back().endWidth = r.value(i);
    } else if (code == 42) {
      vertices.back().bulge = r.value(i);
    }
  }
  polyline2d(vertices, (flags & 1) != 0, Xform::ocs(r.point(210, {0, 0, 1})), out);
}

void polyline(const Fields& head, const EntityRecords& records, ForeignDrawing& out) {
  const int flags = head.integer(70, 0);
  std::vector<Vertex> vertices;
  std::vector<std::array<int, 4>> faces;
  const double width0 = head.number(40, 0), width1 = head.number(41, 0), elevation = head.point(10).z;
  const dxf::TagFile& f = *records.file;
  for (std::uint32_t q = records.end; q < records.subEnd;) {
    std::uint32_t qe = q + 1;
    while (qe < records.subEnd && f.code(qe) != 0) ++qe;
    if (dxf::TagFile::trimmed(f.value(q)) == "VERTEX") {
      const Fields v(f, q + 1, qe);
      const int vflags = v.integer(70, 0);
      if ((flags & 64) != 0 && (vflags & 128) != 0 && (vflags & 64) == 0) {
        faces.push_back({v.integer(71, 0), v.integer(72, 0), v.integer(73, 0), v.integer(74, 0)});
      } else {
        Vertex vx;
        vx.p = v.point(10);
        if ((flags & (8 | 16 | 64)) == 0 && !v.has(30)) vx.p.z = elevation;
        vx.startWidth = v.number(40, width0);
        vx.endWidth = v.number(41, width1);
        vx.bulge = v.number(42, 0);
        vertices.push_back(vx);
      }
    }
    q = qe;
  }
  ShapeWriter w(out.shapes, Xform());
  if ((flags & 64) != 0) {  // polyface mesh: each face's visible edges (a negative index hides its edge)
    for (const auto& face : faces) {
      int count = 0;
      while (count < 4 && face[count] != 0) ++count;
      for (int k = 0; k < count; ++k) {
        const int from = face[k], to = face[(k + 1) % count];
        const size_t a = static_cast<size_t>(std::abs(from)) - 1, b = static_cast<size_t>(std::abs(to)) - 1;
        if (from < 0 || a >= vertices.size() || b >= vertices.size()) continue;
        w.begin();
        w.moveTo(vertices[a].p);
        w.lineTo(vertices[b].p);
        w.end();
      }
    }
    return;
  }
  if ((flags & 16) != 0) {  // polygon mesh: M rows of N vertices, as wires both ways
    const int m = std::max(1, head.integer(71, 1)), n = std::max(1, head.integer(72, 1));
    if (static_cast<size_t>(m) * static_cast<size_t>(n) > vertices.size()) return;
    const bool closedM = (flags & 1) != 0, closedN = (flags & 32) != 0;
    for (int i = 0; i < m; ++i) {
      w.begin();
      for (int j = 0; j < n; ++j) w.lineTo(vertices[static_cast<size_t>(i * n + j)].p);
      if (closedN) w.close();
      w.end();
    }
    for (int j = 0; j < n; ++j) {
      w.begin();
      for (int i = 0; i < m; ++i) w.lineTo(vertices[static_cast<size_t>(i * n + j)].p);
      if (closedM) w.close();
      w.end();
    }
    return;
  }
  if ((flags & 8) != 0) {
    for (Vertex& v : vertices) v.bulge = v.startWidth = v.endWidth = 0;
    polyline2d(vertices, (flags & 1) != 0, Xform(), out);
    return;
  }
  polyline2d(vertices, (flags & 1) != 0, Xform::ocs(head.point(210, {0, 0, 1})), out);
}

void spline(const Fields& r, ForeignDrawing& out) {
  const int degree = r.integer(71, 3);
  std::vector<double> knots, weights;
  std::vector<V3> control, fit;
  for (std::uint32_t i = r.begin; i < r.end; ++i) {
    switch (r.code(i)) {
      case 40:
        knots.push_back(r.value(i));
        break;
      case 41:
        weights.push_back(r.value(i));
        break;
      case 10:
        control.push_back({r.value(i), 0, 0});
        break;
      case 20:
        if (!control.empty()) control.back().y = r.value(i);
        break;
      case 30:
        if (!control.empty()) control.back().z = r.value(i);
        break;
      case 11:
        fit.push_back({r.value(i), 0, 0});
        break;
      case 21:
        if (!fit.empty()) fit.back().y = r.value(i);
        break;
      case 31:
        if (!fit.empty()) fit.back().z = r.value(i);
        break;
      default:
        break;
    }
  }
  std::vector<V3> points = nurbsPoints(degree, knots, control, weights, 64);
  if (points.empty()) points = throughPoints(fit, 64);
  if (points.empty()) points = control;  // a malformed spline still shows its control polygon
  ShapeWriter w(out.shapes, Xform());
  w.begin();
  for (const V3& p : points) w.lineTo(p);
  if ((r.integer(70, 0) & 1) != 0 && !points.empty()) w.lineTo(points.front());
  w.end();
}

void quadrilateral(const Fields& r, bool edges, ForeignDrawing& out) {
  const V3 p[4] = {r.point(10), r.point(11), r.point(12), r.has(13) ? r.point(13) : r.point(12)};
  if (edges) {  // 3DFACE: each edge unless its bit in 70 hides it
    const int hidden = r.integer(70, 0);
    ShapeWriter w(out.shapes, Xform());
    for (int k = 0; k < 4; ++k) {
      if ((hidden & (1 << k)) != 0) continue;
      w.begin();
      w.moveTo(p[k]);
      w.lineTo(p[(k + 1) % 4]);
      w.end();
    }
    return;
  }
  // SOLID and TRACE: the third and fourth corners come in the opposite order.
  ShapeWriter w(out.shapes, Xform::ocs(r.point(210, {0, 0, 1})));
  w.begin(Shape::kFill, false);
  w.moveTo(p[0]);
  w.lineTo(p[1]);
  w.lineTo(p[3]);
  w.lineTo(p[2]);
  w.close();
  w.end();
}

void leader(const Fields& r, const DecodeSettings& settings, ForeignDrawing& out) {
  std::vector<V3> points;
  for (std::uint32_t i = r.begin; i < r.end; ++i) {
    if (r.code(i) == 10) points.push_back({r.value(i), 0, 0});
    if (!points.empty() && r.code(i) == 20) points.back().y = r.value(i);
    if (!points.empty() && r.code(i) == 30) points.back().z = r.value(i);
  }
  if (points.size() < 2) return;
  ShapeWriter w(out.shapes, Xform());
  w.begin();
  for (const V3& p : points) w.lineTo(p);
  w.end();
  const double size = settings.arrowSize;
  const V3 d = points[0] - points[1];
  const double len = std::hypot(d.x, d.y);
  if (r.integer(71, 1) == 0 || !(len > 0) || !(size > 0)) return;
  const V3 u = {d.x / len, d.y / len, 0}, across = {-u.y, u.x, 0};
  w.begin(Shape::kFill, false);
  w.moveTo(points[0]);
  w.lineTo(points[0] - u * size + across * (size / 6));
  w.lineTo(points[0] - u * size - across * (size / 6));
  w.close();
  w.end();
}

// IMAGE and WIPEOUT: the clip boundary (pixel coordinates from the image's top left corner, a
// rectangle by two corners or a polygon), else the whole picture.
void imageFrame(const Fields& r, bool mask, ForeignDrawing& out) {
  const V3 u = r.point(11), v = r.point(12), size = r.point(13, {1, 1, 0});
  const V3 origin = r.point(10) + u * 0.5 - v * 0.5;
  std::vector<V3> boundary;
  for (std::uint32_t i = r.begin; i < r.end; ++i) {
    if (r.code(i) == 14) boundary.push_back({r.value(i), 0, 0});
    if (r.code(i) == 24 && !boundary.empty()) boundary.back().y = r.value(i);
  }
  if (boundary.size() < 2) boundary = {{-0.5, -0.5, 0}, {size.x - 0.5, size.y - 0.5, 0}};
  if (boundary.size() == 2) {
    const V3 a = boundary[0], b = boundary[1];
    boundary = {a, {b.x, a.y, 0}, b, {a.x, b.y, 0}};
  }
  ShapeWriter w(out.shapes, Xform());
  w.begin(mask ? Shape::kMask : Shape::kStroke, !mask);
  for (const V3& p : boundary) w.lineTo(origin + u * p.x + v * (size.y - p.y));
  w.close();
  w.end();
}

}  // namespace

void decodeForeign(std::string_view type, const EntityRecords& records, const DecodeSettings& settings,
                   ForeignDrawing& out) {
  if (records.file == nullptr || records.end <= records.begin) return;
  const Fields r(*records.file, records.begin + 1, records.end);
  if (type == "CIRCLE" || type == "ARC") {
    circleOrArc(r, type == "ARC", out);
  } else if (type == "ELLIPSE") {
    ellipse(r, out);
  } else if (type == "LWPOLYLINE") {
    lwpolyline(r, out);
  } else if (type == "POLYLINE") {
    polyline(r, records, out);
  } else if (type == "SPLINE") {
    spline(r, out);
  } else if (type == "POINT") {
    ShapeWriter w(out.shapes, Xform());
    w.begin(Shape::kStroke, false);
    w.moveTo(r.point(10));
    w.end();
  } else if (type == "SOLID" || type == "TRACE") {
    quadrilateral(r, false, out);
  } else if (type == "3DFACE") {
    quadrilateral(r, true, out);
  } else if (type == "XLINE" || type == "RAY") {
    const V3 origin = r.point(10), direction = r.point(11);
    if (origin.finite() && direction.finite() && (direction.x != 0 || direction.y != 0))
      out.rays.push_back({origin, direction, type == "XLINE"});
  } else if (type == "HATCH") {
    decodeHatch(records, out);
  } else if (type == "DIMENSION") {
    const std::string_view name = dxf::TagFile::trimmed(r.text(2));
    out.block.assign(name.begin(), name.end());
  } else if (type == "LEADER") {
    leader(r, settings, out);
  } else if (type == "IMAGE" || type == "WIPEOUT") {
    imageFrame(r, type == "WIPEOUT", out);
  }
}

std::vector<Attribute> decodeAttributes(const EntityRecords& records, const dxf::TextCodec& codec) {
  std::vector<Attribute> attributes;
  if (records.file == nullptr) return attributes;
  const dxf::TagFile& f = *records.file;
  for (std::uint32_t q = records.end; q < records.subEnd;) {
    std::uint32_t qe = q + 1;
    while (qe < records.subEnd && f.code(qe) != 0) ++qe;
    const Fields a(f, q + 1, qe);
    const bool isAttrib = dxf::TagFile::trimmed(f.value(q)) == "ATTRIB";
    q = qe;
    if (!isAttrib || (a.integer(70, 0) & 1) != 0) continue;  // flag 1: invisible
    std::u16string value;
    codec.decode(a.text(1), value);
    std::u16string style;
    codec.decode(dxf::TagFile::trimmed(a.text(7)), style);
    auto text = std::make_unique<ZcDbText>();
    const V3 n = a.point(210, {0, 0, 1});
    const Xform ocs = Xform::ocs(n);
    const V3 p = ocs.apply(a.point(10)), align = ocs.apply(a.has(11) ? a.point(11) : a.point(10));
    text->setTextString(ZcString(value));
    if (!style.empty()) text->setTextStyleName(ZcString(style));
    text->setNormal({n.x, n.y, n.z});
    text->setPosition({p.x, p.y, p.z});
    text->setAlignmentPoint({align.x, align.y, align.z});
    text->setHeight(a.number(40, 1));
    text->setRotation(a.number(50, 0) * kDegree);
    text->setWidthFactor(a.number(41, 1));
    text->setOblique(a.number(51, 0) * kDegree);
    const int horizontal = a.integer(72, 0), vertical = a.integer(74, 0);
    if (horizontal >= 0 && horizontal <= 5) text->setHorizontalMode(static_cast<ZcDb::TextHorzMode>(horizontal));
    if (vertical >= 0 && vertical <= 3) text->setVerticalMode(static_cast<ZcDb::TextVertMode>(vertical));
    Attribute attribute{std::move(text), {}, a.integer(62, 256), std::nullopt};
    codec.decode(dxf::TagFile::trimmed(a.text(8)), attribute.layer);
    if (a.has(420)) attribute.trueColor = static_cast<std::uint32_t>(a.integer(420, 0)) & 0xFFFFFF;
    attributes.push_back(std::move(attribute));
  }
  return attributes;
}

}  // namespace zrxhost::render
