// A drawing flattened to 2D paths in drawing coordinates: what the painter puts on a surface.
#pragma once

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
  bool filled = false;  // glyph outlines are filled, everything else is stroked
  std::vector<PathOp> ops;
};

struct Bounds {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool valid = false;
  void add(double x, double y);
};

struct Scene {
  std::vector<SceneItem> items;
  Bounds bounds;
};

// Adds what `recorder` holds; `fallbackColor` replaces the by-block and by-layer indices the
// recorder could not resolve.
void addRecording(Scene& scene, const ZcGiDrawRecorder& recorder, int fallbackColor);

// Every visible, non-erased entity of the database's current space. False and `error` when the
// current space cannot be opened.
bool buildScene(ZcDbDatabase& db, Scene& scene, std::string& error);

}  // namespace zrxhost::render
