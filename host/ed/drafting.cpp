// Object snaps, the snap grid and ortho: where a point that comes from the cursor lands.
#include "ed/drafting.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "ed/parse.h"
#include "ed/spatial_index.h"
#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/foreign_geometry.h"
#include "zrxhost/messages.h"
#include "zrxhost/session.h"

bool zrxhost::ed::LayerStates::shown(const ZcString& layer) {
  auto [it, added] = mShown.try_emplace(layer.toUtf8(), true);
  if (!added) return it->second;
  auto* table = mDb ? zrxhost::peek<ZcDbLayerTable>(mDb->layerTableId()) : nullptr;
  ZcDbObjectId id;
  if (table && table->getAt(layer.kwszPtr(), id) == Zcad::eOk) {
    if (auto* record = zrxhost::peek<ZcDbLayerTableRecord>(id)) it->second = !record->isOff() && !record->isFrozen();
  }
  return it->second;
}

namespace zrxhost::ed {
namespace {

constexpr SnapMode kModes[] = {
    {1, "END", ZcDb::kOsModeEnd, "Endpoint", "端点"},     {2, "MID", ZcDb::kOsModeMid, "Midpoint", "中点"},
    {4, "CEN", ZcDb::kOsModeCen, "Center", "圆心"},       {8, "NOD", ZcDb::kOsModeNode, "Node", "节点"},
    {16, "QUA", ZcDb::kOsModeQuad, "Quadrant", "象限点"}, {32, "INT", ZcDb::kOsModeIntersec, "Intersection", "交点"},
    {64, "INS", ZcDb::kOsModeIns, "Insertion", "插入点"}, {128, "PER", ZcDb::kOsModePerp, "Perpendicular", "垂足"},
    {512, "NEA", ZcDb::kOsModeNear, "Nearest", "最近点"},
};

constexpr int kIntersectionBit = 32;

// -1: none typed; 0: NON; else the bit of the one-off mode.
int gOverride = -1;

double sysVarReal(const char* name, double fallback) {
  double value = fallback;
  if (auto text = Session::instance().sysVar(name)) parseReal(*text, value);
  return value;
}

int sysVarInt(const char* name) {
  int value = 0;
  if (auto text = Session::instance().sysVar(name)) parseInt(*text, value);
  return value;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return out;
}

double distanceXY(const ZcGePoint3d& a, const ZcGePoint3d& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// Segments near the cursor tried for crossings, pair by pair, at most.
constexpr size_t kMaxCrossingSegments = 1000;

// A piece of a stroke; pieces of one stroke (`stroke` the same) meet at their joints, which are no
// intersections.
struct Segment {
  ZcGePoint3d first, second;
  size_t stroke = 0;
  double distance = 0;  // from the cursor
};

double distanceToSegmentXY(const ZcGePoint3d& p, const Segment& s) {
  const double dx = s.second.x - s.first.x, dy = s.second.y - s.first.y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - s.first.x) * dx + (p.y - s.first.y) * dy) / len2 : 0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return std::hypot(s.first.x + t * dx - p.x, s.first.y + t * dy - p.y);
}

// The pieces of what `entity` draws that pass within `aperture` of `cursor`: its strokes as the
// display draws them (a block's contents placed, curves of entities kept as records flattened).
void segmentsNear(const ZcDbEntity& entity, const ZcGePoint3d& cursor, double aperture, std::vector<Segment>& out) {
  std::vector<std::vector<ZcGePoint3d>> strokes;
  if (const ZcDbForeignEntity* foreign = ZcDbForeignEntity::cast(&entity)) {
    zrxhost::foreignOutline(*foreign, strokes);
  } else {
    ZcGiDrawRecorder recorder;
    // Drawing changes nothing of the entity; the protocol only takes it as one that could.
    const_cast<ZcDbEntity&>(entity).worldDraw(&recorder);
    for (const auto& polyline : recorder.polylines()) strokes.push_back(polyline.points);
  }
  static size_t strokeCount = 0;
  for (const std::vector<ZcGePoint3d>& stroke : strokes) {
    ++strokeCount;
    for (size_t i = 0; i + 1 < stroke.size(); ++i) {
      Segment s{stroke[i], stroke[i + 1], strokeCount};
      s.distance = distanceToSegmentXY(cursor, s);
      if (s.distance <= aperture) out.push_back(s);
    }
  }
}

// Where two segments cross in the XY plane (at the height of the first).
std::optional<ZcGePoint3d> crossing(const Segment& a, const Segment& b) {
  const double ax = a.second.x - a.first.x, ay = a.second.y - a.first.y;
  const double bx = b.second.x - b.first.x, by = b.second.y - b.first.y;
  const double denominator = ax * by - ay * bx;
  if (denominator == 0) return std::nullopt;  // parallel
  const double cx = b.first.x - a.first.x, cy = b.first.y - a.first.y;
  const double t = (cx * by - cy * bx) / denominator, u = (cx * ay - cy * ax) / denominator;
  constexpr double kSlack = 1e-9;
  if (t < -kSlack || t > 1 + kSlack || u < -kSlack || u > 1 + kSlack) return std::nullopt;
  return ZcGePoint3d(a.first.x + t * ax, a.first.y + t * ay, a.first.z + t * (a.second.z - a.first.z));
}

}  // namespace

const SnapMode* snapModes(size_t& count) {
  count = std::size(kModes);
  return kModes;
}

int snapBitNamed(std::string_view word) {
  const std::string typed = upper(trim(word));
  if (typed == "NON" || typed == "NONE") return 0;
  // The three letters, or a longer start of the mode's full name (ENDP, ENDPOINT, PERP...).
  for (const SnapMode& mode : kModes) {
    if (typed == mode.name) return mode.bit;
    const std::string full = upper(mode.english);
    if (typed.size() > 3 && full.compare(0, typed.size(), typed) == 0) return mode.bit;
  }
  return -1;
}

void forEachShownEntityNear(const ZcGePoint3d& point, double radius, const std::function<bool(const ZcDbEntity&)>& f) {
  SpatialIndex* index = SpatialIndex::current();
  if (!index) return;
  std::vector<ZcDbObjectId> ids;
  index->near(point, radius, ids);
  LayerStates layers(zcdbHostApplicationServices()->workingDatabase());
  // The display shows the entities whoever has them open, so they are read without the open protocol.
  for (const ZcDbObjectId& id : ids) {
    const ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(id);
    if (!entity || entity->visibility() != ZcDb::kVisible || !layers.shown(entity->layerName())) continue;
    if (f(*entity)) return;
  }
}

AidedPoint aidCursor(const ZcGePoint3d& cursor, const ZcGePoint3d& last) {
  Session& session = Session::instance();
  int modes = gOverride >= 0 ? gOverride : sysVarInt("OSMODE");
  if (gOverride < 0 && (modes & kOsnapSuppressed)) modes = 0;
  AidedPoint best{cursor, 0};
  if (modes != 0) {
    const double aperture = session.snapAperture();
    double bestDistance = aperture;
    // Nearest counts only where nothing more particular is as near.
    auto consider = [&](const ZcGePoint3d& point, int bit) {
      const double d = distanceXY(point, cursor);
      if (d < bestDistance || (d == bestDistance && best.snapBit == 512)) bestDistance = d, best = {point, bit};
    };
    // Intersections are where the strokes near the cursor cross, whichever entities they belong to.
    std::vector<Segment> near;
    forEachShownEntityNear(cursor, aperture, [&](const ZcDbEntity& entity) {
      if (modes & kIntersectionBit) segmentsNear(entity, cursor, aperture, near);
      for (const SnapMode& mode : kModes) {
        if (!(modes & mode.bit) || mode.bit == kIntersectionBit) continue;
        ZcArray<ZcGePoint3d> points;
        entity.getOsnapPoints(mode.osnap, 0, cursor, last, points);
        for (int i = 0; i < points.length(); ++i) consider(points[i], mode.bit);
      }
      return false;
    });
    // Every pair is tried: where strokes crowd (a hatch, blocks nested many times over), the
    // nearest ones are, so that a cursor move stays quick.
    if (near.size() > kMaxCrossingSegments) {
      std::nth_element(near.begin(), near.begin() + kMaxCrossingSegments, near.end(),
                       [](const Segment& a, const Segment& b) { return a.distance < b.distance; });
      near.resize(kMaxCrossingSegments);
    }
    for (size_t i = 0; i < near.size(); ++i) {
      for (size_t j = i + 1; j < near.size(); ++j) {
        if (near[i].stroke == near[j].stroke) continue;
        if (const std::optional<ZcGePoint3d> at = crossing(near[i], near[j])) consider(*at, kIntersectionBit);
      }
    }
  }
  if (best.snapBit == 0 && sysVarInt("SNAPMODE") == 1) {
    const double unit = sysVarReal("SNAPUNIT", 10);
    if (unit > 0) best.point = {std::round(cursor.x / unit) * unit, std::round(cursor.y / unit) * unit, cursor.z};
  }
  return best;
}

void setSnapOverride(int bit) {
  gOverride = bit;
}

void clearSnapOverride() {
  gOverride = -1;
}

bool hasSnapOverride() {
  return gOverride >= 0;
}

std::string snapOverridePrompt() {
  return textInLanguage("of ", "于 ");
}

ZcGePoint3d orthoFrom(const ZcGePoint3d& base, const ZcGePoint3d& p) {
  if (std::fabs(p.x - base.x) >= std::fabs(p.y - base.y)) return {p.x, base.y, p.z};
  return {base.x, p.y, p.z};
}

bool orthoOn() {
  return sysVarInt("ORTHOMODE") == 1;
}

std::optional<ZcGePoint3d> pointToward(const ZcGePoint3d& base, const ZcGePoint3d& toward, double distance) {
  const double dx = toward.x - base.x, dy = toward.y - base.y, length = std::hypot(dx, dy);
  if (!(length > 0)) return std::nullopt;
  const ZcGePoint3d p(base.x + dx / length * distance, base.y + dy / length * distance, base.z);
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) return std::nullopt;
  return p;
}

}  // namespace zrxhost::ed
