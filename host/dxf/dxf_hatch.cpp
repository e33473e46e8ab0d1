// Reads a HATCH record's boundary paths, pattern and fill, group by group in the order they come.
#include "dxf/dxf_hatch.h"

#include <algorithm>
#include <cmath>

#include "dxf/dxf_tags.h"

namespace zrxhost::dxf {
namespace {

constexpr double kDegree = M_PI / 180;

// The hatch's groups that lead its parts.
constexpr int kPathCount = 91, kPathFlags = 92, kEdgeCount = 93, kEdgeType = 72, kSourceCount = 97,
              kPatternLineCount = 78, kGradient = 450, kGradientColor = 421;
constexpr int kPolylinePath = 2;  // of the path flags
const ValueDef kElevation{10, ValueKind::Point}, kSolid{70, ValueKind::Integer};

// Walks a record's tags in order; `take` consumes the tag when it has the expected code.
class Cursor {
 public:
  Cursor(const RecordValues& record, std::size_t at) : mRecord(record), mAt(at) {}
  bool at(int code) const { return mAt < mRecord.end() && mRecord.file().code(mAt) == code; }
  double take(int code, double fallback = 0) {
    if (!at(code)) return fallback;
    double v = 0;
    finiteNumber(mRecord.file().value(mAt++), v);
    return v;
  }
  Point3 takePoint(int code) {
    const double x = take(code), y = take(code + 10);
    return {x, y, 0};
  }
  // A count, bounded by the record's size: a damaged count cannot ask for more than the tags hold.
  long takeCount(int code) {
    const double v = take(code, 0);
    const auto limit = static_cast<double>(mRecord.end() - mRecord.begin());
    return v > 0 ? static_cast<long>(std::min(v, limit)) : 0;
  }
  void skip() { ++mAt; }

 private:
  const RecordValues& mRecord;
  std::size_t mAt;
};

HatchEdge splineEdge(Cursor& c) {
  HatchEdge e;
  e.type = HatchEdge::kSpline;
  e.degree = static_cast<int>(c.take(94, 3));
  const bool rational = c.take(73) != 0;
  c.take(74);  // periodic
  const long knotCount = c.takeCount(95), controlCount = c.takeCount(96);
  for (long k = 0; k < knotCount && c.at(40); ++k) e.knots.push_back(c.take(40));
  for (long k = 0; k < controlCount && c.at(10); ++k) {
    e.controlPoints.push_back(c.takePoint(10));
    if (rational || c.at(42)) e.weights.push_back(c.take(42, 1));
  }
  if (c.at(97)) {
    const long fitCount = c.takeCount(97);
    for (long k = 0; k < fitCount && c.at(11); ++k) e.fitPoints.push_back(c.takePoint(11));
  }
  for (int code : {12, 22, 13, 23}) c.take(code);  // the end tangents
  return e;
}

// A loop's edges, up to the first of a type this reader does not know.
void readEdges(Cursor& c, HatchPath& path) {
  const long edges = c.takeCount(kEdgeCount);
  for (long k = 0; k < edges && c.at(kEdgeType); ++k) {
    const int type = static_cast<int>(c.take(kEdgeType));
    if (type == HatchEdge::kSpline) {
      path.edges.push_back(splineEdge(c));
      continue;
    }
    HatchEdge e;
    if (type == HatchEdge::kLine) {
      e.start = c.takePoint(10);
      e.end = c.takePoint(11);
    } else if (type == HatchEdge::kCircularArc || type == HatchEdge::kEllipticArc) {
      e.type = static_cast<HatchEdge::Type>(type);
      e.centre = c.takePoint(10);
      if (type == HatchEdge::kEllipticArc) e.major = c.takePoint(11);
      e.radius = c.take(40);
      e.startAngle = c.take(50) * kDegree;
      e.endAngle = c.take(51) * kDegree;
      e.counterClockwise = c.take(73, 1) != 0;
    } else {
      return;
    }
    path.edges.push_back(e);
  }
}

void readPolyline(Cursor& c, HatchPath& path) {
  path.isPolyline = true;
  c.take(72);  // has bulges
  c.take(73);  // closed
  const long count = c.takeCount(kEdgeCount);
  for (long k = 0; k < count && c.at(10); ++k) {
    HatchVertex v;
    v.point = c.takePoint(10);
    v.bulge = c.take(42, 0);
    path.vertices.push_back(v);
  }
}

}  // namespace

Hatch readHatch(const RecordValues& record) {
  Hatch hatch;
  // The first 10/20/30 after the subclass marker is the elevation point; the paths follow their count.
  const std::size_t at = record.find(kPathCount);
  if (at >= record.end()) return hatch;
  const RecordValues head = record.upTo(at);
  hatch.elevation = head.point(kElevation)[2];
  hatch.solid = head.integer(kSolid) != 0;
  hatch.normal = record.point(entity_values::kNormal);

  Cursor c(record, at);
  const long paths = c.takeCount(kPathCount);
  for (long p = 0; p < paths && c.at(kPathFlags); ++p) {
    HatchPath& path = hatch.paths.emplace_back();
    if ((static_cast<int>(c.take(kPathFlags)) & kPolylinePath) != 0)
      readPolyline(c, path);
    else
      readEdges(c, path);
    const long sources = c.takeCount(kSourceCount);
    for (long s = 0; s < sources && c.at(330); ++s) c.skip();
  }
  for (int code : {75, 76, 52, 41, 77}) c.take(code);  // style, pattern type, angle, scale, double
  const long families = c.takeCount(kPatternLineCount);
  for (long k = 0; k < families && c.at(53); ++k) {
    HatchPatternLine line;
    line.angle = c.take(53);
    line.baseX = c.take(43);
    line.baseY = c.take(44);
    line.offsetX = c.take(45);
    line.offsetY = c.take(46);
    const long count = c.takeCount(79);
    for (long d = 0; d < count && c.at(49); ++d) line.dashes.push_back(c.take(49));
    hatch.pattern.push_back(std::move(line));
  }
  for (std::size_t i = at; i < record.end(); ++i) {
    const int code = record.file().code(i);
    double v = 0;
    if (code == kGradient) hatch.gradient = finiteNumber(record.file().value(i), v) && v != 0;
    if (hatch.gradient && code == kGradientColor && hatch.gradientRgb < 0 && finiteNumber(record.file().value(i), v))
      hatch.gradientRgb = static_cast<std::int64_t>(v) & 0xFFFFFF;
  }
  return hatch;
}

}  // namespace zrxhost::dxf
