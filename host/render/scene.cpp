// Collects the current space into 2D paths: polylines as drawn, texts as their glyph outlines.
#include "render/scene.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/fonts.h"
#include "zrxhost/render.h"

namespace zrxhost::render {

void Bounds::add(double x, double y) {
  if (!valid) {
    minX = maxX = x;
    minY = maxY = y;
    valid = true;
    return;
  }
  minX = std::min(minX, x);
  maxX = std::max(maxX, x);
  minY = std::min(minY, y);
  maxY = std::max(maxY, y);
}

namespace {

bool finite(const ZcGePoint3d& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}
bool finite(const ZcGeVector3d& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

std::uint32_t colorOf(int recorded, int fallback) {
  int index = recorded;
  if (index < 1 || index > 255) index = fallback;
  if (index < 1 || index > 255) index = 7;
  return aciToRgb(index);
}

// The text's local frame (along the baseline, across it) projected onto the drawing's XY plane,
// with the shape parameters folded in, so a glyph point maps to the drawing by one affine step.
class GlyphPlacer : public GlyphPathSink {
 public:
  GlyphPlacer(const ZcGiDrawRecorder::TextPrimitive& text, SceneItem& item, Bounds& bounds)
      : mItem(item), mBounds(bounds) {
    ZcGeVector3d normal = text.normal.isZeroLength() ? ZcGeVector3d::kZAxis : text.normal.normal();
    ZcGeVector3d along = text.direction - normal * text.direction.dotProduct(normal);
    if (along.isZeroLength()) along = normal.perpVector();
    along.normalize();
    ZcGeVector3d across = normal.crossProduct(along).normal();
    const ZcGiDrawRecorder::RecordedStyle& style = text.style;
    // Beyond about 85 degrees a slant stops being text; CAD programs refuse it there too.
    const double oblique = std::clamp(style.obliquingAngle, -1.48, 1.48);
    mSize = style.textSize;
    mXScale = style.xScale;
    mSlant = std::tan(oblique);
    mOriginX = text.position.x;
    mOriginY = text.position.y;
    mAlongX = along.x;
    mAlongY = along.y;
    mAcrossX = across.x;
    mAcrossY = across.y;
  }

  void setPen(double pen) { mPen = pen; }

  void moveTo(double x, double y) override { add(PathOp::kMove, {x, y}); }
  void lineTo(double x, double y) override { add(PathOp::kLine, {x, y}); }
  void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3) override {
    add(PathOp::kCurve, {x1, y1, x2, y2, x3, y3});
  }
  void closePath() override { mItem.ops.push_back({PathOp::kClose, {}}); }

 private:
  void add(PathOp::Kind kind, std::initializer_list<double> glyphCoords) {
    PathOp op{kind, {}};
    int i = 0;
    for (auto it = glyphCoords.begin(); it != glyphCoords.end(); it += 2, i += 2) {
      const double gx = it[0], gy = it[1];
      const double lx = (mPen + gx) * mSize * mXScale + gy * mSize * mSlant;
      const double ly = gy * mSize;
      op.p[i] = mOriginX + lx * mAlongX + ly * mAcrossX;
      op.p[i + 1] = mOriginY + lx * mAlongY + ly * mAcrossY;
      mBounds.add(op.p[i], op.p[i + 1]);
    }
    mItem.ops.push_back(op);
  }

  SceneItem& mItem;
  Bounds& mBounds;
  double mSize = 1, mXScale = 1, mSlant = 0, mPen = 0;
  double mOriginX = 0, mOriginY = 0, mAlongX = 1, mAlongY = 0, mAcrossX = 0, mAcrossY = 1;
};

void addText(Scene& scene, const ZcGiDrawRecorder::TextPrimitive& text, int fallbackColor) {
  const ZcGiDrawRecorder::RecordedStyle& style = text.style;
  if (!finite(text.position) || !finite(text.normal) || !finite(text.direction) || !std::isfinite(style.textSize) ||
      !std::isfinite(style.xScale) || !std::isfinite(style.obliquingAngle) || style.textSize == 0) {
    return;
  }
  const Font& font = fontFor(style.fileName().toUtf8(), style.bigFontFileName().toUtf8());
  SceneItem item;
  item.rgb = colorOf(text.color, fallbackColor);
  item.filled = true;
  GlyphPlacer placer(text, item, scene.bounds);
  double pen = 0;
  for (char32_t c : utf16ToUtf32(text.message.utf16())) {
    placer.setPen(pen);
    font.outline(c, placer);
    pen += font.advance(c);
  }
  if (!item.ops.empty()) scene.items.push_back(std::move(item));
}

void addPolyline(Scene& scene, const ZcGiDrawRecorder::PolylinePrimitive& polyline, int fallbackColor) {
  SceneItem item;
  item.rgb = colorOf(polyline.color, fallbackColor);
  for (const ZcGePoint3d& p : polyline.points) {
    if (!finite(p)) continue;
    item.ops.push_back({item.ops.empty() ? PathOp::kMove : PathOp::kLine, {p.x, p.y}});
    scene.bounds.add(p.x, p.y);
  }
  if (!item.ops.empty()) scene.items.push_back(std::move(item));
}

// Off and frozen layers are not drawn; their state is looked up once per name.
class LayerVisibility {
 public:
  explicit LayerVisibility(ZcDbDatabase& db) : mDb(db) {}
  bool visible(const ZcString& name) {
    auto found = mCache.find(name);
    if (found != mCache.end()) return found->second;
    bool shown = true;
    ZcDbLayerTableRecord* layer = nullptr;
    ZcDbObjectId id = mDb.layerId(name);
    if (!id.isNull() && zcdbOpenObject(layer, id, ZcDb::kForRead) == Zcad::eOk && layer) {
      shown = !layer->isOff() && !layer->isFrozen();
      layer->close();
    }
    mCache.emplace(name, shown);
    return shown;
  }

 private:
  ZcDbDatabase& mDb;
  std::map<ZcString, bool> mCache;
};

}  // namespace

void addRecording(Scene& scene, const ZcGiDrawRecorder& recorder, int fallbackColor) {
  for (const auto& polyline : recorder.polylines()) addPolyline(scene, polyline, fallbackColor);
  for (const auto& text : recorder.texts()) addText(scene, text, fallbackColor);
}

bool buildScene(ZcDbDatabase& db, Scene& scene, std::string& error) {
  ZcDbObjectId spaceId = db.currentSpaceId();
  ZcDbBlockTableRecord* space = nullptr;
  if (spaceId.isNull() || zcdbOpenObject(space, spaceId, ZcDb::kForRead) != Zcad::eOk || !space) {
    error = "the drawing's current space cannot be opened";
    return false;
  }
  const std::vector<ZcDbObjectId> ids = space->entityIds();
  space->close();

  LayerVisibility layers(db);
  ZcGiDrawRecorder recorder;
  for (const ZcDbObjectId& id : ids) {
    if (id.isNull() || id.isErased()) continue;
    ZcDbEntity* entity = nullptr;
    if (zcdbOpenObject(entity, id, ZcDb::kForRead) != Zcad::eOk || !entity) continue;
    if (layers.visible(entity->layerName())) {
      recorder.clear();
      entity->worldDraw(&recorder);
      addRecording(scene, recorder, entity->resolvedColorIndex());
    }
    entity->close();
  }
  return true;
}

}  // namespace zrxhost::render
