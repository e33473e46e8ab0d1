// A drawing flattened to 2D paths in drawing coordinates: what a painter (cairo, a window) puts on a surface.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ZcDbDatabase;
class ZcDbObjectId;
class ZcGiDrawRecorder;

namespace zrxhost {
class Font;
}

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
  int clip = -1;         // index into Scene::clips: drawn only inside that rectangle (a viewport)
  int text = -1;         // index into Scene::texts: a text's glyphs, its ops made by textOps when painted
  std::vector<PathOp> ops;
};

// A glyph's outline once per font and character, in units of the cap height from the pen.
struct GlyphOutline {
  std::vector<PathOp> ops;
  double minX = 0, minY = 0, maxX = 0, maxY = 0;  // of its points
};

// A text as references to its glyphs' outlines and the affine map from glyph units to the drawing:
// x = m[0]·gx + m[1]·gy + m[4], y = m[2]·gx + m[3]·gy + m[5], gx counted from the text's start.
// A hundred thousand texts of a few characters share a few dozen outlines.
struct SceneText {
  struct Glyph {
    const GlyphOutline* outline;
    double pen;  // where the glyph starts along the baseline
    char32_t c;  // the character it draws
  };
  double m[6] = {1, 0, 0, 1, 0, 0};
  const Font* font = nullptr;
  std::vector<Glyph> glyphs;
  double length = 0;  // the advance of the whole text
  // The cap height in drawing units.
  double height() const { return std::hypot(m[1], m[3]); }
};

// A text's glyph unit in the drawing: `along` one unit of advance on the baseline (the height times
// the width factor), `across` one unit up the glyph, leaning with the slant. The scene and the
// window's preview painter both place glyphs by it, in whatever vector type they work in.
template <typename Vector>
struct GlyphAxes {
  Vector along, across;
};
// How far a glyph leans per unit of height: beyond about 85 degrees (1.48 radians) a slant stops
// being text, and CAD programs refuse it there too.
inline double textSlant(double oblique) {
  return std::tan(std::clamp(oblique, -1.48, 1.48));
}
template <typename Vector>
GlyphAxes<Vector> glyphAxes(const Vector& baseline, const Vector& up, double height, double widthFactor,
                            double oblique) {
  return {baseline * (height * widthFactor), baseline * (height * textSlant(oblique)) + up * height};
}

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

struct ClipRect {
  double minX, minY, maxX, maxY;
};

class GlyphCache;

struct Scene {
  std::vector<SceneItem> items;
  std::vector<SceneText> texts;
  // The outlines the texts refer to; shared by copies of the scene.
  std::shared_ptr<GlyphCache> glyphs;
  std::vector<SceneRay> rays;
  std::vector<ClipRect> clips;
  // The extents of what lies within kNearLimit of the origin, and of the rest: a picture fits the
  // near part, so that a copy thrown out to 1e300 does not shrink the drawing to nothing.
  Bounds bounds;
  Bounds farBounds;
  static constexpr double kNearLimit = 1e12;
  // Some insert reached the bound on the entities of nested blocks it draws: the rest was left out.
  bool nestedCut = false;
  void include(double x, double y) {
    if (std::fabs(x) <= kNearLimit && std::fabs(y) <= kNearLimit)
      bounds.add(x, y);
    else
      farBounds.add(x, y);
  }
  // The extents a view fits: the near part when there is one.
  const Bounds& extents() const { return bounds.valid ? bounds : farBounds; }
};

// A text item's outline in drawing coordinates, into `ops` (emptied first).
void textOps(const SceneText& text, std::vector<PathOp>& ops);

// Adds what `recorder` holds; `fallbackColor` replaces the by-block and by-layer indices the
// recorder could not resolve.
void addRecording(Scene& scene, const ZcGiDrawRecorder& recorder, int fallbackColor);

// Draws entities of the current space one at a time, as buildScene draws them, keeping what the
// drawing's tables say (layers, linetypes, the header) from one to the next: a window draws what
// comes into view this way. Made afresh when a table changes.
class EntityDrawer {
 public:
  explicit EntityDrawer(ZcDbDatabase& db);
  ~EntityDrawer();
  // Adds what the entity draws (nothing when it is invisible, erased or on a layer not shown).
  void draw(const ZcDbObjectId& id, Scene& scene);
  // The colour it draws in (0xRRGGBB), read from its record when it is not built yet, without
  // building it; -1 when it draws nothing. A dot standing for a tiny entity takes it.
  std::int64_t dotColor(const ZcDbObjectId& id);

 private:
  struct Builder;
  std::unique_ptr<Builder> mBuilder;
};

// Every visible, non-erased entity of the database's current space, inserts and dimensions with
// their blocks, in their colours and linetypes. False and `error` when the space cannot be opened.
bool buildScene(ZcDbDatabase& db, Scene& scene, std::string& error);

}  // namespace zrxhost::render
