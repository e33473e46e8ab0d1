// A drawing flattened to 2D paths in drawing coordinates: what a painter (cairo, a window) puts on a surface.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

class ZcDbDatabase;
class ZcGiDrawRecorder;

namespace zrxhost::render {

struct PathOp {
  enum Kind : std::uint8_t { kMove, kLine, kCurve, kClose };
  Kind kind;
  double p[6];  // kMove/kLine: p[0..1]; kCurve: two control points and the end point
};

struct SceneItem {
  std::uint32_t rgb = 0xFFFFFF;
  bool filled = false;   // glyph outlines, solids, wide polylines and hatch fills; else stroked
  bool evenOdd = false;  // filled by the odd-even rule (hatch loops) instead of the non-zero rule
  std::vector<PathOp> ops;
};

// An infinite line (XLINE) or a half-infinite one (RAY), cut to the view when painted.
struct SceneRay {
  double x = 0, y = 0, dx = 1, dy = 0;
  bool bothWays = true;
  std::uint32_t rgb = 0xFFFFFF;
};

struct Bounds {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool valid = false;
  void add(double x, double y);
};

struct Scene {
  std::vector<SceneItem> items;
  std::vector<SceneRay> rays;
  // The extents of what lies within kNearLimit of the origin, and of the rest: a picture fits the
  // near part, so that a copy thrown out to 1e300 does not shrink the drawing to nothing.
  Bounds bounds;
  Bounds farBounds;
  static constexpr double kNearLimit = 1e12;
  void include(double x, double y) {
    if (std::fabs(x) <= kNearLimit && std::fabs(y) <= kNearLimit)
      bounds.add(x, y);
    else
      farBounds.add(x, y);
  }
  // The extents a view fits: the near part when there is one.
  const Bounds& extents() const { return bounds.valid ? bounds : farBounds; }
};

// Adds what `recorder` holds; `fallbackColor` replaces the by-block and by-layer indices the
// recorder could not resolve.
void addRecording(Scene& scene, const ZcGiDrawRecorder& recorder, int fallbackColor);

// Every visible, non-erased entity of the database's current space, inserts and dimensions with
// their blocks, in their colours and linetypes. False and `error` when the space cannot be opened.
bool buildScene(ZcDbDatabase& db, Scene& scene, std::string& error);

}  // namespace zrxhost::render
