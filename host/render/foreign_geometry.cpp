// Reads the geometry of circles, arcs, polylines, splines, solids and the other kinds kept as records.
#include "render/foreign_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "dxf/dxf_record_values.h"
#include "dxf/dxf_tags.h"
#include "dxf/dxf_text.h"
#include "zrx/db/text.h"

namespace zrxhost::render {
namespace {

using dxf::RecordValues;

V3 point(const RecordValues& r, const dxf::ValueDef& v) {
  return v3(r.point(v));
}

Xform ocsOf(const RecordValues& r) {
  return Xform::ocs(point(r, dxf::entity_values::kNormal));
}

void circleOrArc(const RecordValues& r, bool arc, ForeignDrawing& out) {
  using namespace dxf::circle_values;
  const V3 c = point(r, kCentre);
  const double radius = r.number(kRadius);
  if (!(radius > 0)) return;
  ShapeWriter w(out.shapes, ocsOf(r));
  w.begin();
  if (arc) {
    double a0 = r.number(kStartAngle), a1 = r.number(kEndAngle);
    while (a1 <= a0) a1 += 2 * M_PI;
    w.arc(c.x, c.y, c.z, radius, a0, a1);
  } else {
    w.arc(c.x, c.y, c.z, radius, 0, 2 * M_PI);
    w.close();
  }
  w.end();
}

void ellipse(const RecordValues& r, ForeignDrawing& out) {
  using namespace dxf::ellipse_values;
  const V3 c = point(r, kCentre), major = point(r, kMajorAxis);
  V3 n = point(r, dxf::entity_values::kNormal);
  const double ratio = r.number(kRatio), len = n.length();
  if (!(len > 0) || !(major.length() > 0)) return;
  n = n * (1 / len);
  const V3 minor = n.cross(major) * ratio;
  double t0 = r.number(kStartParameter), t1 = r.number(kEndParameter);
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

void lwpolyline(const RecordValues& r, ForeignDrawing& out) {
  using namespace dxf::lwpolyline_values;
  const double constant = r.number(kConstantWidth), elevation = r.number(kElevation);
  std::vector<Vertex> vertices;
  for (const dxf::Item& item : r.items(kVertices)) {
    Vertex& v = vertices.emplace_back();
    v.p = {item.values[0], item.member(0, 0), elevation};
    v.startWidth = item.member(1, constant);
    v.endWidth = item.member(2, constant);
    v.bulge = item.member(3, 0);
  }
  polyline2d(vertices, (r.integer(kFlags) & 1) != 0, ocsOf(r), out);
}

void polyline(const RecordValues& head, const EntityRecords& records, ForeignDrawing& out) {
  using namespace dxf::polyline_values;
  namespace vertex = dxf::vertex_values;
  const long long flags = head.integer(kFlags);
  std::vector<Vertex> vertices;
  std::vector<std::array<long long, 4>> faces;
  const double width0 = head.number(kStartWidth), width1 = head.number(kEndWidth),
               elevation = head.point(kElevation)[2];
  const dxf::TagFile& f = *records.file;
  for (std::uint32_t q = records.end; q < records.subEnd;) {
    std::uint32_t qe = q + 1;
    while (qe < records.subEnd && f.code(qe) != 0) ++qe;
    if (dxf::TagFile::trimmed(f.value(q)) == "VERTEX") {
      const RecordValues v(f, q + 1, qe);
      const long long vflags = v.integer(vertex::kFlags);
      if ((flags & 64) != 0 && (vflags & 128) != 0 && (vflags & 64) == 0) {
        auto& face = faces.emplace_back();
        for (std::size_t k = 0; k < 4; ++k) face[k] = v.integer(vertex::kFaceVertices[k]);
      } else {
        Vertex vx;
        vx.p = point(v, vertex::kPoint);
        if ((flags & (8 | 16 | 64)) == 0 && !v.has(vertex::kZ)) vx.p.z = elevation;
        vx.startWidth = v.has(vertex::kStartWidth) ? v.number(vertex::kStartWidth) : width0;
        vx.endWidth = v.has(vertex::kEndWidth) ? v.number(vertex::kEndWidth) : width1;
        vx.bulge = v.number(vertex::kBulge);
        vertices.push_back(vx);
      }
    }
    q = qe;
  }
  ShapeWriter w(out.shapes, Xform());
  if ((flags & 64) != 0) {  // polyface mesh: each face's visible edges (a negative index hides its edge)
    for (const auto& face : faces) {
      int count = 0;
      while (count < 4 && face[static_cast<std::size_t>(count)] != 0) ++count;
      for (int k = 0; k < count; ++k) {
        const long long from = face[static_cast<std::size_t>(k)], to = face[static_cast<std::size_t>((k + 1) % count)];
        const size_t a = static_cast<size_t>(std::llabs(from)) - 1, b = static_cast<size_t>(std::llabs(to)) - 1;
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
    const long long m = std::max(1LL, head.integer(kMeshRows)), n = std::max(1LL, head.integer(kMeshColumns));
    if (m > static_cast<long long>(vertices.size()) ||
        static_cast<size_t>(m) * static_cast<size_t>(n) > vertices.size())
      return;
    const bool closedM = (flags & 1) != 0, closedN = (flags & 32) != 0;
    for (long long i = 0; i < m; ++i) {
      w.begin();
      for (long long j = 0; j < n; ++j) w.lineTo(vertices[static_cast<size_t>(i * n + j)].p);
      if (closedN) w.close();
      w.end();
    }
    for (long long j = 0; j < n; ++j) {
      w.begin();
      for (long long i = 0; i < m; ++i) w.lineTo(vertices[static_cast<size_t>(i * n + j)].p);
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
  polyline2d(vertices, (flags & 1) != 0, ocsOf(head), out);
}

std::vector<V3> pointsOf(const std::vector<dxf::Item>& items) {
  std::vector<V3> points;
  for (const dxf::Item& item : items) points.push_back({item.values[0], item.member(0, 0), item.member(1, 0)});
  return points;
}

std::vector<double> numbersOf(const std::vector<dxf::Item>& items) {
  std::vector<double> numbers;
  for (const dxf::Item& item : items) numbers.push_back(item.values[0]);
  return numbers;
}

void spline(const RecordValues& r, ForeignDrawing& out) {
  using namespace dxf::spline_values;
  const int degree = static_cast<int>(r.integer(kDegree));
  const std::vector<V3> control = pointsOf(r.items(kControlPoints)), fit = pointsOf(r.items(kFitPoints));
  std::vector<V3> points = nurbsPoints(degree, numbersOf(r.items(kKnots)), control, numbersOf(r.items(kWeights)), 64);
  if (points.empty()) points = throughPoints(fit, 64);
  if (points.empty()) points = control;  // a malformed spline still shows its control polygon
  ShapeWriter w(out.shapes, Xform());
  w.begin();
  for (const V3& p : points) w.lineTo(p);
  if ((r.integer(kFlags) & 1) != 0 && !points.empty()) w.lineTo(points.front());
  w.end();
}

void quadrilateral(const RecordValues& r, bool edges, ForeignDrawing& out) {
  using namespace dxf::corner_values;
  const V3 p[4] = {point(r, kCorners[0]), point(r, kCorners[1]), point(r, kCorners[2]),
                   point(r, r.has(kCorners[3]) ? kCorners[3] : kCorners[2])};
  if (edges) {  // 3DFACE: each edge unless its bit hides it
    const long long hidden = r.integer(kHiddenEdges);
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
  ShapeWriter w(out.shapes, ocsOf(r));
  w.begin(Shape::kFill, false);
  w.moveTo(p[0]);
  w.lineTo(p[1]);
  w.lineTo(p[3]);
  w.lineTo(p[2]);
  w.close();
  w.end();
}

void leader(const RecordValues& r, const DecodeSettings& settings, ForeignDrawing& out) {
  using namespace dxf::leader_values;
  const std::vector<V3> points = pointsOf(r.items(kVertices));
  if (points.size() < 2) return;
  ShapeWriter w(out.shapes, Xform());
  w.begin();
  for (const V3& p : points) w.lineTo(p);
  w.end();
  const double size = settings.arrowSize;
  const V3 d = points[0] - points[1];
  const double len = std::hypot(d.x, d.y);
  if (r.integer(kArrowHead) == 0 || !(len > 0) || !(size > 0)) return;
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
void imageFrame(const RecordValues& r, bool mask, ForeignDrawing& out) {
  using namespace dxf::image_values;
  const V3 u = point(r, kPixelU), v = point(r, kPixelV), size = point(r, kSize);
  const V3 origin = point(r, kOrigin) + u * 0.5 - v * 0.5;
  std::vector<V3> boundary = pointsOf(r.items(kClipVertices));
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
  const RecordValues r(*records.file, records.begin + 1, records.end);
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
    w.moveTo(point(r, dxf::point_values::kLocation));
    w.end();
  } else if (type == "SOLID" || type == "TRACE") {
    quadrilateral(r, false, out);
  } else if (type == "3DFACE") {
    quadrilateral(r, true, out);
  } else if (type == "XLINE" || type == "RAY") {
    const V3 origin = point(r, dxf::ray_values::kOrigin), direction = point(r, dxf::ray_values::kDirection);
    if (origin.finite() && direction.finite() && (direction.x != 0 || direction.y != 0))
      out.rays.push_back({origin, direction, type == "XLINE"});
  } else if (type == "HATCH") {
    decodeHatch(records, out);
  } else if (type == "DIMENSION") {
    const std::string_view name = r.name(dxf::dimension_values::kBlock);
    out.block.assign(name.begin(), name.end());
  } else if (type == "LEADER") {
    leader(r, settings, out);
  } else if (type == "IMAGE" || type == "WIPEOUT") {
    imageFrame(r, type == "WIPEOUT", out);
  }
}

std::vector<Attribute> decodeAttributes(const EntityRecords& records, const dxf::TextCodec& codec) {
  using namespace dxf::attribute_values;
  std::vector<Attribute> attributes;
  if (records.file == nullptr) return attributes;
  const dxf::TagFile& f = *records.file;
  int index = -1;
  for (std::uint32_t q = records.end; q < records.subEnd;) {
    std::uint32_t qe = q + 1;
    while (qe < records.subEnd && f.code(qe) != 0) ++qe;
    const RecordValues a(f, q + 1, qe);
    const bool isAttrib = dxf::TagFile::trimmed(f.value(q)) == "ATTRIB";
    q = qe;
    if (isAttrib) ++index;
    if (!isAttrib || (a.integer(kFlags) & 1) != 0) continue;  // flag 1: invisible
    std::u16string value;
    codec.decode(a.text(kString), value);
    std::u16string style;
    codec.decode(a.name(kStyle), style);
    auto text = std::make_unique<ZcDbText>();
    const V3 n = point(a, dxf::entity_values::kNormal);
    const Xform ocs = Xform::ocs(n);
    const V3 p = ocs.apply(point(a, kPosition));
    const V3 align = ocs.apply(point(a, a.has(kAlignmentPoint) ? kAlignmentPoint : kPosition));
    text->setTextString(ZcString(value));
    if (!style.empty()) text->setTextStyleName(ZcString(style));
    text->setNormal({n.x, n.y, n.z});
    text->setPosition({p.x, p.y, p.z});
    text->setAlignmentPoint({align.x, align.y, align.z});
    text->setHeight(a.number(kHeight));
    text->setRotation(a.number(kRotation));
    text->setWidthFactor(a.number(kWidthFactor));
    text->setOblique(a.number(kOblique));
    const long long horizontal = a.integer(kHorizontalMode), vertical = a.integer(kVerticalMode);
    if (horizontal >= 0 && horizontal <= 5) text->setHorizontalMode(static_cast<ZcDb::TextHorzMode>(horizontal));
    if (vertical >= 0 && vertical <= 3) text->setVerticalMode(static_cast<ZcDb::TextVertMode>(vertical));
    Attribute attribute{
        std::move(text), {}, static_cast<int>(a.integer(dxf::entity_values::kColorIndex)), std::nullopt};
    codec.decode(a.name(kLayer), attribute.layer);
    if (a.has(dxf::entity_values::kTrueColor))
      attribute.trueColor = static_cast<std::uint32_t>(a.integer(dxf::entity_values::kTrueColor)) & 0xFFFFFF;
    attribute.index = index;
    attributes.push_back(std::move(attribute));
  }
  return attributes;
}

}  // namespace zrxhost::render
