// Picks and object snaps on entities kept as records, read from the geometry their records draw.
#include <cmath>
#include <string>
#include <vector>

#include "dxf/dxf_model.h"
#include "dxf/dxf_record_values.h"
#include "render/foreign_geometry.h"
#include "zrxhost/foreign_geometry.h"

namespace zrxhost::render {
namespace {

ZcGePoint3d gePoint(const V3& p) {
  return {p.x, p.y, p.z};
}

// One stroke of an entity as straight pieces: `points` runs along it; `corners` marks the points
// where a drawn segment (a line or a whole curve) ends, the rest lie inside a flattened curve.
struct Path {
  std::vector<V3> points;
  std::vector<bool> corners;
  bool filled = false;
};

V3 cubicAt(const V3& a, const V3& c1, const V3& c2, const V3& b, double t) {
  const double u = 1 - t;
  return a * (u * u * u) + c1 * (3 * u * u * t) + c2 * (3 * u * t * t) + b * (t * t * t);
}

std::vector<Path> flatten(const std::vector<Shape>& shapes) {
  constexpr int kCurvePieces = 16;
  std::vector<Path> paths;
  for (const Shape& shape : shapes) {
    Path* path = nullptr;
    V3 start, at;
    for (const Op3& op : shape.ops) {
      if (op.kind == PathOp::kMove || path == nullptr) {
        path = &paths.emplace_back();
        path->filled = shape.kind == Shape::kFill;
        start = at = op.kind == PathOp::kClose ? at : op.p[0];
        path->points.push_back(at);
        path->corners.push_back(true);
        if (op.kind == PathOp::kMove) continue;
      }
      if (op.kind == PathOp::kLine) {
        at = op.p[0];
      } else if (op.kind == PathOp::kCurve) {
        for (int k = 1; k < kCurvePieces; ++k) {
          path->points.push_back(cubicAt(at, op.p[0], op.p[1], op.p[2], double(k) / kCurvePieces));
          path->corners.push_back(false);
        }
        at = op.p[2];
      } else {
        at = start;
      }
      path->points.push_back(at);
      path->corners.push_back(true);
    }
  }
  return paths;
}

ZcGePoint3d nearestOnSegment(const ZcGePoint3d& p, const V3& a, const V3& b, double& t) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  const double clamped = t < 0 ? 0 : (t > 1 ? 1 : t);
  return gePoint(a + (b - a) * clamped);
}

double distanceXY(const ZcGePoint3d& a, const ZcGePoint3d& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

bool insideXY(const ZcGePoint3d& p, const std::vector<V3>& ring) {
  bool inside = false;
  for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    const V3& a = ring[i];
    const V3& b = ring[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

struct Decoded {
  bool ok = false;
  std::string type;
  ForeignDrawing drawing;
  std::vector<Shape> edges;  // a hatch's boundary
  const dxf::ObjectRecord* record = nullptr;
  // What snaps look at: the boundary of a hatch, what the rest draw.
  const std::vector<Shape>& snapShapes() const { return type == "HATCH" ? edges : drawing.shapes; }
};

Decoded decode(const ZcDbForeignEntity& entity) {
  Decoded d;
  d.record = dxf::recordOf(entity);
  if (d.record == nullptr || !d.record->file || d.record->end <= d.record->begin) return d;
  d.type = entity.dxfType().toUtf8();
  const EntityRecords records{d.record->file.get(), d.record->begin, d.record->end, d.record->subEnd};
  decodeForeign(d.type, records, DecodeSettings{}, d.drawing);
  // A hatch is found by its fill or pattern, and snaps to its boundary (its pattern lines' ends are no
  // points a drafter aims at).
  if (d.type == "HATCH") hatchBoundary(records, d.edges);
  d.ok = true;
  return d;
}

bool hitTest(const ZcDbForeignEntity& entity, const ZcGePoint3d& point, double aperture) {
  const Decoded d = decode(entity);
  if (!d.ok) return false;
  for (const Path& path : flatten(d.drawing.shapes)) {
    if (path.points.size() == 1 && distanceXY(point, gePoint(path.points[0])) <= aperture) return true;
    for (size_t i = 0; i + 1 < path.points.size(); ++i) {
      double t = 0;
      if (distanceXY(point, nearestOnSegment(point, path.points[i], path.points[i + 1], t)) <= aperture) return true;
    }
    if (path.filled && path.points.size() > 2 && insideXY(point, path.points)) return true;
  }
  for (const ForeignDrawing::Ray& ray : d.drawing.rays) {
    const double len = std::hypot(ray.direction.x, ray.direction.y);
    const double along =
        ((point.x - ray.origin.x) * ray.direction.x + (point.y - ray.origin.y) * ray.direction.y) / len;
    const double across =
        std::fabs((point.x - ray.origin.x) * ray.direction.y - (point.y - ray.origin.y) * ray.direction.x) / len;
    if (across <= aperture && (ray.bothWays || along >= -aperture)) return true;
  }
  return false;
}

// Circles and arcs snap exactly, from their centre and radius rather than from what draws them.
bool circleSnaps(const Decoded& d, ZcDb::OsnapMode mode, const ZcGePoint3d& pick, const ZcGePoint3d& last,
                 ZcArray<ZcGePoint3d>& out) {
  using namespace dxf::circle_values;
  const dxf::RecordValues r(*d.record->file, d.record->begin + 1, d.record->end);
  const V3 c = v3(r.point(kCentre));
  const double radius = r.number(kRadius);
  if (!(radius > 0)) return true;
  const bool arc = d.type == "ARC";
  double a0 = 0, a1 = 2 * M_PI;
  if (arc) {
    a0 = r.number(kStartAngle);
    a1 = r.number(kEndAngle);
    while (a1 <= a0) a1 += 2 * M_PI;
  }
  const Xform ocs = Xform::ocs(v3(r.point(dxf::entity_values::kNormal)));
  auto at = [&](double a) { return gePoint(ocs.apply({c.x + radius * std::cos(a), c.y + radius * std::sin(a), c.z})); };
  auto onArc = [&](double a) {
    while (a < a0) a += 2 * M_PI;
    return !arc || a <= a1 + 1e-12;
  };
  const ZcGePoint3d centre = gePoint(ocs.apply(c));
  // The angle of a point around the centre (in a drawing's usual plane, where ocs is the identity).
  auto angleOf = [&](const ZcGePoint3d& p) { return std::atan2(p.y - centre.y, p.x - centre.x); };
  switch (mode) {
    case ZcDb::kOsModeCen:
      out.append(centre);
      break;
    case ZcDb::kOsModeQuad:
      for (int k = 0; k < 4; ++k)
        if (onArc(k * M_PI / 2)) out.append(at(k * M_PI / 2));
      break;
    case ZcDb::kOsModeEnd:
      if (arc) out.append(at(a0)), out.append(at(a1));
      break;
    case ZcDb::kOsModeMid:
      if (arc) out.append(at((a0 + a1) / 2));
      break;
    case ZcDb::kOsModeNear:
      if (onArc(angleOf(pick))) out.append(at(angleOf(pick)));
      break;
    case ZcDb::kOsModePerp:
      if (distanceXY(last, centre) > 0 && onArc(angleOf(last))) out.append(at(angleOf(last)));
      break;
    default:
      break;
  }
  return true;
}

void osnapPoints(const ZcDbForeignEntity& entity, ZcDb::OsnapMode mode, const ZcGePoint3d& pick,
                 const ZcGePoint3d& last, ZcArray<ZcGePoint3d>& out) {
  const Decoded d = decode(entity);
  if (!d.ok) return;
  if (d.type == "CIRCLE" || d.type == "ARC") {
    circleSnaps(d, mode, pick, last, out);
    return;
  }
  const dxf::RecordValues r(*d.record->file, d.record->begin + 1, d.record->end);
  if (d.type == "LWPOLYLINE" && mode == ZcDb::kOsModeCen) {
    // The centre of each arc segment, from its chord and bulge (the tangent of a quarter of its angle).
    using namespace dxf::lwpolyline_values;
    std::vector<V3> vertices;
    std::vector<double> bulges;
    for (const dxf::Item& item : r.items(kVertices)) {
      vertices.push_back({item.values[0], item.member(0, 0), r.number(kElevation)});
      bulges.push_back(item.member(3, 0));
    }
    const Xform ocs = Xform::ocs(v3(r.point(dxf::entity_values::kNormal)));
    const size_t n = vertices.size();
    const size_t segments = (r.integer(kFlags) & 1) != 0 ? n : (n > 0 ? n - 1 : 0);
    for (size_t i = 0; i < segments; ++i) {
      const double b = bulges[i];
      if (b == 0 || !std::isfinite(b)) continue;
      const V3 a = vertices[i], c = vertices[(i + 1) % n];
      const V3 chord = c - a;
      const double length = std::hypot(chord.x, chord.y);
      if (!(length > 0)) continue;
      const V3 left = {-chord.y / length, chord.x / length, 0};
      const V3 centre = (a + c) * 0.5 + left * (length / 2 * (1 - b * b) / (2 * b));
      out.append(gePoint(ocs.apply(centre)));
    }
    return;
  }
  if (d.type == "DIMENSION") {
    // Its definition points are its nodes.
    if (mode != ZcDb::kOsModeNode) return;
    for (const dxf::ValueDef& def : dxf::dimension_values::kDefinitionPoints)
      if (r.has(def)) out.append(gePoint(v3(r.point(def))));
    return;
  }
  if (d.type == "POINT") {
    if (mode == ZcDb::kOsModeNode) out.append(gePoint(v3(r.point(dxf::point_values::kLocation))));
    return;
  }
  if (d.type == "ELLIPSE" && (mode == ZcDb::kOsModeCen || mode == ZcDb::kOsModeQuad)) {
    using namespace dxf::ellipse_values;
    const V3 c = v3(r.point(kCentre)), major = v3(r.point(kMajorAxis));
    if (mode == ZcDb::kOsModeCen) {
      out.append(gePoint(c));
    } else {
      V3 n = v3(r.point(dxf::entity_values::kNormal));
      const double len = n.length();
      if (!(len > 0)) return;
      const V3 minor = (n * (1 / len)).cross(major) * r.number(kRatio);
      for (const V3& axis : {major, minor, major * -1, minor * -1}) out.append(gePoint(c + axis));
    }
    return;
  }
  // Everything else snaps on what it draws: the ends of its segments and strokes, their middles,
  // the nearest point and the perpendicular foot.
  const bool closedCurve = d.type == "ELLIPSE";
  for (const Path& path : flatten(d.snapShapes())) {
    const size_t n = path.points.size();
    for (size_t i = 0; i < n; ++i) {
      if (mode == ZcDb::kOsModeEnd && path.corners[i] && !closedCurve) out.append(gePoint(path.points[i]));
      if (i + 1 >= n) continue;
      double t = 0;
      if (mode == ZcDb::kOsModeNear) {
        out.append(nearestOnSegment(pick, path.points[i], path.points[i + 1], t));
      } else if (mode == ZcDb::kOsModePerp) {
        const ZcGePoint3d foot = nearestOnSegment(last, path.points[i], path.points[i + 1], t);
        if (t >= 0 && t <= 1) out.append(foot);
      }
    }
    if (mode == ZcDb::kOsModeMid) {
      // The middle of each drawn segment: halfway along its flattened pieces.
      size_t from = 0;
      for (size_t i = 1; i < n; ++i) {
        if (!path.corners[i]) continue;
        const size_t pieces = i - from;
        const V3 mid = pieces % 2 == 0 ? path.points[from + pieces / 2]
                                       : (path.points[from + pieces / 2] + path.points[from + pieces / 2 + 1]) * 0.5;
        out.append(gePoint(mid));
        from = i;
      }
    }
  }
  if (d.type == "SPLINE" && (mode == ZcDb::kOsModeEnd || mode == ZcDb::kOsModeNode)) {
    for (const dxf::Item& item : r.items(dxf::spline_values::kFitPoints))
      out.append({item.values[0], item.member(0, 0), item.member(1, 0)});
  }
}

void outline(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& strokes) {
  const Decoded d = decode(entity);
  if (!d.ok) return;
  for (const Path& path : flatten(d.snapShapes())) {
    std::vector<ZcGePoint3d>& stroke = strokes.emplace_back();
    for (const V3& p : path.points) stroke.push_back(gePoint(p));
  }
}

// The database asks for these from the time the library is loaded.
const bool kRegistered = [] {
  registerForeignGeometry({&hitTest, &osnapPoints, &outline});
  return true;
}();

}  // namespace
}  // namespace zrxhost::render
