// Collects the current space into 2D paths: every entity kind, inserts through their blocks, texts as glyph outlines.
#include "render/scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <unordered_map>

#include "dxf/dxf_model.h"
#include "dxf/dxf_record_values.h"
#include "dxf/dxf_text.h"
#include "render/foreign_geometry.h"
#include "render/shapes.h"
#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/fonts.h"
#include "zrxhost/messages.h"
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

// A dashed entity would need more dashes than this: it is drawn solid, as CAD programs do.
constexpr double kMaxDashesPerEntity = 20000;

V3 v3(const ZcGePoint3d& p) {
  return {p.x, p.y, p.z};
}
V3 v3(const ZcGeVector3d& v) {
  return {v.x, v.y, v.z};
}
using render::v3;

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

// A colour index resolved: 0 is ByBlock, 256 ByLayer, the rest the palette's.
std::uint32_t resolvedColor(int index, std::uint32_t layerRgb, std::uint32_t byBlockRgb) {
  if (index == 0) return byBlockRgb;
  if (index == 256) return layerRgb;
  return colorOf(index, 7);
}

}  // namespace

// The outlines of every glyph a scene's texts use, made once per font and character.
class GlyphCache {
 public:
  const GlyphOutline& outline(const Font& font, char32_t c) {
    auto [found, added] = mOutlines.try_emplace({&font, c});
    if (added) {
      Collector collector(found->second);
      font.outline(c, collector);
    }
    return found->second;
  }

 private:
  class Collector : public GlyphPathSink {
   public:
    explicit Collector(GlyphOutline& outline) : mOutline(outline) {}
    void moveTo(double x, double y) override { add(PathOp::kMove, {x, y}); }
    void lineTo(double x, double y) override { add(PathOp::kLine, {x, y}); }
    void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3) override {
      add(PathOp::kCurve, {x1, y1, x2, y2, x3, y3});
    }
    void closePath() override { mOutline.ops.push_back({PathOp::kClose, {}}); }

   private:
    void add(PathOp::Kind kind, std::initializer_list<double> coords) {
      PathOp op{kind, {}};
      int i = 0;
      for (auto it = coords.begin(); it != coords.end(); it += 2, i += 2) {
        op.p[i] = it[0];
        op.p[i + 1] = it[1];
        if (mOutline.ops.empty()) {
          mOutline.minX = mOutline.maxX = it[0];
          mOutline.minY = mOutline.maxY = it[1];
        }
        mOutline.minX = std::min(mOutline.minX, it[0]);
        mOutline.maxX = std::max(mOutline.maxX, it[0]);
        mOutline.minY = std::min(mOutline.minY, it[1]);
        mOutline.maxY = std::max(mOutline.maxY, it[1]);
      }
      mOutline.ops.push_back(op);
    }
    GlyphOutline& mOutline;
  };
  struct KeyHash {
    std::size_t operator()(const std::pair<const Font*, char32_t>& k) const {
      return std::hash<const void*>()(k.first) * 31 + k.second;
    }
  };
  // Node-based: the texts' pointers to outlines stay valid as more are added.
  std::unordered_map<std::pair<const Font*, char32_t>, GlyphOutline, KeyHash> mOutlines;
};

void textOps(const SceneText& text, std::vector<PathOp>& ops) {
  ops.clear();
  const double* m = text.m;
  for (const SceneText::Glyph& glyph : text.glyphs) {
    for (const PathOp& op : glyph.outline->ops) {
      PathOp out{op.kind, {}};
      const int points = op.kind == PathOp::kCurve ? 3 : (op.kind == PathOp::kClose ? 0 : 1);
      for (int i = 0; i < points; ++i) {
        const double gx = op.p[2 * i] + glyph.pen, gy = op.p[2 * i + 1];
        out.p[2 * i] = m[0] * gx + m[1] * gy + m[4];
        out.p[2 * i + 1] = m[2] * gx + m[3] * gy + m[5];
      }
      ops.push_back(out);
    }
  }
}

namespace {

// `clip`: the viewport the text shows in (-1: none), where it does not count for the extents.
void addText(Scene& scene, const ZcGiDrawRecorder::TextPrimitive& text, const Xform& xform, std::uint32_t rgb,
             int clip = -1) {
  const ZcGiDrawRecorder::RecordedStyle& style = text.style;
  if (!finite(text.position) || !finite(text.normal) || !finite(text.direction) || !std::isfinite(style.textSize) ||
      !std::isfinite(style.xScale) || !std::isfinite(style.obliquingAngle) || style.textSize == 0) {
    return;
  }
  const Font& font = fontFor(style.fileName().toUtf8(), style.bigFontFileName().toUtf8());
  // The text's frame (along the baseline, across it) with its shape folded in, then the insert's
  // transform: one affine map from glyph units to the drawing.
  ZcGeVector3d normal = text.normal.isZeroLength() ? ZcGeVector3d::kZAxis : text.normal.normal();
  ZcGeVector3d along = text.direction - normal * text.direction.dotProduct(normal);
  if (along.isZeroLength()) along = normal.perpVector();
  along.normalize();
  const ZcGeVector3d across = normal.crossProduct(along).normal();
  const GlyphAxes<V3> axes = glyphAxes(v3(along), v3(across), style.textSize, style.xScale, style.obliquingAngle);
  const V3 origin = xform.apply(v3(text.position));
  const V3 alongGlyph = xform.applyVector(axes.along);
  const V3 acrossGlyph = xform.applyVector(axes.across);
  SceneText placed;
  placed.m[0] = alongGlyph.x;
  placed.m[2] = alongGlyph.y;
  placed.m[1] = acrossGlyph.x;
  placed.m[3] = acrossGlyph.y;
  placed.m[4] = origin.x;
  placed.m[5] = origin.y;
  placed.font = &font;
  if (!scene.glyphs) scene.glyphs = std::make_shared<GlyphCache>();
  double pen = 0;
  bool inked = false;
  for (char32_t c : utf16ToUtf32(text.message.utf16())) {
    const GlyphOutline& outline = scene.glyphs->outline(font, c);
    if (!outline.ops.empty()) {
      placed.glyphs.push_back({&outline, pen, c});
      inked = true;
      if (clip < 0) {
        // The corners of the glyph's box count for the extents.
        for (const double gx : {outline.minX + pen, outline.maxX + pen}) {
          for (const double gy : {outline.minY, outline.maxY}) {
            scene.include(placed.m[0] * gx + placed.m[1] * gy + placed.m[4],
                          placed.m[2] * gx + placed.m[3] * gy + placed.m[5]);
          }
        }
      }
    }
    pen += font.advance(c);
  }
  if (!inked) return;
  placed.length = pen;
  SceneItem item;
  item.rgb = rgb;
  item.filled = true;
  item.clip = clip;
  item.text = static_cast<int>(scene.texts.size());
  scene.texts.push_back(std::move(placed));
  scene.items.push_back(std::move(item));
}

// A dash pattern in drawing units: positive dashes, negative gaps, zero dots.
struct Dashes {
  std::vector<double> lengths;
  double period = 0;
};

// Cuts polylines into the pattern's dashes, the pattern restarting at each polyline's start.
void addDashed(SceneItem& item, const std::vector<std::vector<V3>>& lines, const Dashes& dashes) {
  for (const std::vector<V3>& line : lines) {
    if (line.empty()) continue;
    std::size_t element = 0;
    double left = std::fabs(dashes.lengths[0]);
    bool penDown = dashes.lengths[0] >= 0;
    if (penDown) item.ops.push_back({PathOp::kMove, {line[0].x, line[0].y}});
    for (std::size_t k = 0; k + 1 < line.size(); ++k) {
      const V3 a = line[k], b = line[k + 1];
      const double len = std::hypot(b.x - a.x, b.y - a.y);
      double done = 0;
      while (len - done > left) {
        done += left;
        const double t = done / len;
        const double x = a.x + (b.x - a.x) * t, y = a.y + (b.y - a.y) * t;
        item.ops.push_back({penDown ? PathOp::kLine : PathOp::kMove, {x, y}});
        element = (element + 1) % dashes.lengths.size();
        left = std::fabs(dashes.lengths[element]);
        penDown = dashes.lengths[element] >= 0;
      }
      left -= len - done;
      if (penDown) item.ops.push_back({PathOp::kLine, {b.x, b.y}});
    }
  }
}

// What a layer, a linetype and the header say about drawing the entities.
class DrawingStyle {
 public:
  explicit DrawingStyle(ZcDbDatabase& db) : mDb(db) {
    const dxf::DrawingLayout* read = dxf::layoutOf(db);
    if (read == nullptr || !read->file) return;
    const dxf::DrawingLayout& layout = *read;
    mCodec = std::make_unique<dxf::TextCodec>(dxf::isUtf8Version(layout.version), layout.codePage);
    const dxf::TagFile& f = *layout.file;
    for (const dxf::LayoutItem& item : layout.items) {
      if (item.kind == dxf::LayoutItem::kHeader) readHeader(f, item.begin, item.end);
      if (item.kind == dxf::LayoutItem::kRaw) readLinetypes(f, item.begin, item.end);
    }
  }

  struct Layer {
    bool visible = true;
    std::uint32_t rgb = 0xFFFFFF;
    std::string linetype = "CONTINUOUS";
  };

  const Layer& layer(const ZcString& name) {
    auto found = mLayers.find(name);
    if (found != mLayers.end()) return found->second;
    Layer info;
    ZcDbLayerTableRecord* record = nullptr;
    ZcDbObjectId id = mDb.layerId(name);
    if (!id.isNull() && zcdbOpenObject(record, id, ZcDb::kForRead) == Zcad::eOk && record) {
      info.visible = !record->isOff() && !record->isFrozen();
      info.rgb = colorOf(record->colorIndex(), 7);
      if (const dxf::ObjectRecord* fd = dxf::recordOf(*record); fd && fd->file && fd->end > fd->begin) {
        using namespace dxf::layer_values;
        const dxf::RecordValues values(*fd->file, fd->begin + 1, fd->end);
        if (values.has(kTrueColor)) info.rgb = static_cast<std::uint32_t>(values.integer(kTrueColor)) & 0xFFFFFF;
        if (values.has(kLinetype)) info.linetype = upper(values.name(kLinetype));
      }
      record->close();
    }
    return mLayers.emplace(name, info).first->second;
  }

  // The pattern of a linetype name (upper case), scaled; null for a solid line.
  const Dashes* dashes(const std::string& name) const {
    auto found = mLinetypes.find(name);
    return found == mLinetypes.end() ? nullptr : &found->second;
  }
  double ltscale() const { return mLtscale; }
  const DecodeSettings& settings() const { return mSettings; }
  const dxf::TextCodec* codec() const { return mCodec.get(); }

  static std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
  }

 private:
  void readHeader(const dxf::TagFile& f, std::uint32_t begin, std::uint32_t end) {
    double dimasz = 0.18, dimscale = 1;
    for (std::uint32_t i = begin; i + 1 < end; ++i) {
      if (f.code(i) != 9) continue;
      const std::string_view name = dxf::TagFile::trimmed(f.value(i));
      double v = 0;
      if (!dxf::parseDouble(f.value(i + 1), v) || !std::isfinite(v)) continue;
      if (name == dxf::header_values::kLinetypeScale && v > 0) mLtscale = v;
      if (name == dxf::header_values::kArrowSize && v > 0) dimasz = v;
      if (name == dxf::header_values::kDimensionScale && v > 0) dimscale = v;
    }
    mSettings.arrowSize = dimasz * dimscale;
  }

  void readLinetypes(const dxf::TagFile& f, std::uint32_t begin, std::uint32_t end) {
    for (std::uint32_t i = begin; i < end; ++i) {
      if (f.code(i) != 0 || dxf::TagFile::trimmed(f.value(i)) != "LTYPE") continue;
      std::uint32_t e = i + 1;
      while (e < end && f.code(e) != 0) ++e;
      const dxf::RecordValues values(f, i + 1, e);
      Dashes d;
      for (const dxf::Item& dash : values.items(dxf::linetype_values::kDashes)) d.lengths.push_back(dash.values[0]);
      for (double l : d.lengths) d.period += std::fabs(l);
      if (!d.lengths.empty() && d.period > 0)
        mLinetypes[upper(values.name(dxf::linetype_values::kName))] = std::move(d);
      i = e - 1;
    }
  }

  ZcDbDatabase& mDb;
  std::map<ZcString, Layer> mLayers;
  std::map<std::string, Dashes> mLinetypes;
  double mLtscale = 1;
  DecodeSettings mSettings;
  std::unique_ptr<dxf::TextCodec> mCodec;
};

// What an insert passes to the entities of its block.
struct Placement {
  Xform xform;
  std::uint32_t byBlockRgb = 0xFFFFFF;
  std::string byBlockLinetype = "CONTINUOUS";
  ZcString layer;  // entities on layer 0 take the insert's layer
  int depth = 0;
};

class SceneBuilder {
 public:
  SceneBuilder(ZcDbDatabase& db, Scene& scene, bool inLayout)
      : mDb(db), mScene(&scene), mStyle(db), mInLayout(inLayout) {}
  void setScene(Scene& scene) { mScene = &scene; }

  void drawBlock(const std::vector<ZcDbObjectId>& ids, const Placement& placement) {
    for (const ZcDbObjectId& id : ids) {
      if (placement.depth > 1 && mNestedVisitsLeft-- <= 0) {
        mScene->nestedCut = true;
        return;
      }
      drawId(id, placement);
    }
  }
  // The colour the entity draws in, from its record while it waits as one (so that nothing is
  // built for it); -1 when it draws nothing (its layer is off or frozen, it is invisible).
  std::int64_t dotColor(const ZcDbObjectId& id) {
    std::uint32_t index = 0;
    const dxf::DrawingLayout* layout = dxf::layoutOf(mDb);
    if (layout && layout->file && mStyle.codec() && zrxhost::pendingIndex(id, index) &&
        index < layout->pending.size()) {
      using namespace dxf::entity_values;
      const dxf::TagFile& f = *layout->file;
      const std::size_t begin = layout->pending[index].begin;
      const dxf::RecordValues values(f, begin + 1, f.recordEnd(begin));
      // Most entities of a drawing share a few layers: the last one's name, as the file spells it,
      // is compared before anything is decoded.
      const std::string_view raw = values.name(kLayer);
      if (!mLastLayer || raw != mLastLayerName) {
        std::u16string name;
        mStyle.codec()->decode(raw, name);
        mLastLayer = &mStyle.layer(name.empty() ? ZcString(L"0") : ZcString(name));
        mLastLayerName.assign(raw);
      }
      const DrawingStyle::Layer& layer = *mLastLayer;
      if (!layer.visible) return -1;
      if (values.has(kTrueColor)) return values.integer(kTrueColor) & 0xFFFFFF;
      return resolvedColor(static_cast<int>(values.integer(kColorIndex)), layer.rgb, 0xFFFFFF);
    }
    const auto* entity = zrxhost::peek<ZcDbEntity>(id);
    if (!entity || entity->visibility() == ZcDb::kInvisible) return -1;
    const DrawingStyle::Layer& layer = mStyle.layer(entity->layerName());
    if (!layer.visible) return -1;
    const dxf::ObjectRecord* fd = dxf::recordOf(*entity);
    return colorFor(*entity, layer, Placement(), fd != nullptr && fd->file && fd->end > fd->begin ? fd : nullptr);
  }

  void drawId(const ZcDbObjectId& id, const Placement& placement) {
    if (id.isNull() || id.isErased()) return;
    if (placement.depth == 0) mNestedVisitsLeft = kMaxNestedVisits;
    ZcDbEntity* entity = nullptr;
    if (zcdbOpenObject(entity, id, ZcDb::kForRead) != Zcad::eOk || !entity) return;
    drawEntity(*entity, placement);
    entity->close();
  }

 private:
  struct Look {
    std::uint32_t rgb;
    const Dashes* dashes;
    double dashScale;
    ZcString layer;
  };

  void drawEntity(ZcDbEntity& entity, const Placement& placement) {
    if (entity.visibility() == ZcDb::kInvisible) return;
    ZcString layerName = entity.layerName();
    if (placement.depth > 0 && layerName == ZcString(L"0")) layerName = placement.layer;
    const DrawingStyle::Layer& layer = mStyle.layer(layerName);
    if (!layer.visible) return;
    const dxf::ObjectRecord* fd = dxf::recordOf(entity);
    const bool records = fd != nullptr && fd->file && fd->end > fd->begin;
    Look look{colorFor(entity, layer, placement, records ? fd : nullptr), nullptr, 1, layerName};
    std::string linetype = DrawingStyle::upper(entity.linetypeName().toUtf8());
    if (linetype == "BYLAYER") linetype = layer.linetype;
    if (linetype == "BYBLOCK") linetype = placement.byBlockLinetype;
    look.dashes = mStyle.dashes(linetype);
    look.dashScale = mStyle.ltscale() * entity.linetypeScale() * placement.xform.planarScale();

    if (auto* insert = ZcDbBlockReference::cast(&entity)) {
      drawInsert(*insert, records ? fd : nullptr, placement, look, linetype);
      return;
    }
    if (auto* foreign = ZcDbForeignEntity::cast(&entity)) {
      if (!records) return;
      if (placement.depth == 0 && mInLayout && foreign->dxfType() == ZcString(L"VIEWPORT")) {
        drawViewport(dxf::RecordValues(*fd->file, fd->begin + 1, fd->end), look);
        return;
      }
      ForeignDrawing drawing;
      decodeForeign(foreign->dxfType().toUtf8(), {fd->file.get(), fd->begin, fd->end, fd->subEnd}, mStyle.settings(),
                    drawing);
      for (const Shape& shape : drawing.shapes) addShape(shape, placement.xform, look);
      for (const ForeignDrawing::Ray& ray : drawing.rays) {
        const V3 o = placement.xform.apply(ray.origin), d = placement.xform.applyVector(ray.direction);
        if (o.finite() && d.finite() && (d.x != 0 || d.y != 0))
          mScene->rays.push_back({o.x, o.y, d.x, d.y, ray.bothWays, look.rgb});
      }
      if (!drawing.block.empty()) drawNamedBlock(ZcString(drawing.block), placement, look, linetype, Xform());
      return;
    }
    mRecorder.clear();
    entity.worldDraw(&mRecorder);
    for (const auto& polyline : mRecorder.polylines()) {
      Shape shape;
      for (const ZcGePoint3d& p : polyline.points)
        shape.ops.push_back({shape.ops.empty() ? PathOp::kMove : PathOp::kLine, {v3(p)}});
      addShape(shape, placement.xform, look);
    }
    // The index the entity drew in, which a text of another index (an MText's inline colour)
    // changed from; the entity leaves it as it found it.
    const int drawn = mRecorder.subEntityTraits().color();
    for (const auto& text : mRecorder.texts())
      addText(*mScene, text, placement.xform, inlineColor(text, drawn, layer, placement, look.rgb), mClip);
  }

  // A text's colour: the entity's, unless the entity drew it in a colour of its own.
  static std::uint32_t inlineColor(const ZcGiDrawRecorder::TextPrimitive& text, int drawn,
                                   const DrawingStyle::Layer& layer, const Placement& placement, std::uint32_t own) {
    if (text.trueColor >= 0) return static_cast<std::uint32_t>(text.trueColor);
    if (text.color == drawn) return own;
    return resolvedColor(text.color, layer.rgb, placement.byBlockRgb);
  }

  std::uint32_t colorFor(const ZcDbEntity& entity, const DrawingStyle::Layer& layer, const Placement& placement,
                         const dxf::ObjectRecord* fd) {
    const int index = entity.colorIndex();
    if (fd != nullptr) {
      // A true colour stands while the entity keeps the colour index the file gave beside it.
      using namespace dxf::entity_values;
      const dxf::RecordValues values(*fd->file, fd->begin + 1, fd->end);
      if (values.has(kTrueColor) && values.integer(kColorIndex) == index)
        return static_cast<std::uint32_t>(values.integer(kTrueColor)) & 0xFFFFFF;
    }
    return resolvedColor(index, layer.rgb, placement.byBlockRgb);
  }

  void drawInsert(const ZcDbBlockReference& insert, const dxf::ObjectRecord* fd, const Placement& placement,
                  const Look& look, const std::string& linetype) {
    if (placement.depth >= kMaxInsertNesting) return;
    ZcDbObjectId blockId = insert.blockTableRecord();
    V3 position = v3(insert.position()), scale = v3(insert.scaleFactors()), normal = v3(insert.normal());
    double rotation = insert.rotation();
    if (fd != nullptr) {
      // An arrayed insert (subclass AcDbMInsertBlock) is kept as records only: its values come from them.
      using namespace dxf::minsert_values;
      const dxf::RecordValues values(*fd->file, fd->begin + 1, fd->end);
      if (values.hasSubclass(kSubclass)) {
        std::u16string name;
        if (mStyle.codec() != nullptr) mStyle.codec()->decode(values.name(kBlock), name);
        blockId = blockNamed(ZcString(name));
        position = v3(values.point(kPosition));
        scale = {values.number(kScale[0]), values.number(kScale[1]), values.number(kScale[2])};
        rotation = values.number(kRotation);
        normal = v3(values.point(dxf::entity_values::kNormal));
      }
    }
    ZcDbBlockTableRecord* block = nullptr;
    if (blockId.isNull() || zcdbOpenObject(block, blockId, ZcDb::kForRead) != Zcad::eOk || !block) return;
    const std::vector<ZcDbObjectId> ids = block->entityIds();
    const V3 origin = v3(block->origin());
    block->close();
    int columns = 1, rows = 1;
    double columnSpacing = 0, rowSpacing = 0;
    if (fd != nullptr) {
      using namespace dxf::minsert_values;
      const dxf::RecordValues values(*fd->file, fd->begin + 1, fd->end);
      columns = static_cast<int>(std::clamp(values.integer(kColumns), 1LL, 10000LL));
      rows = static_cast<int>(std::clamp(values.integer(kRows), 1LL, 10000LL));
      columnSpacing = values.number(kColumnSpacing);
      rowSpacing = values.number(kRowSpacing);
      if (static_cast<long>(columns) * rows > 100000) columns = rows = 1;
    }
    const Xform frame = Xform::ocs(normal) * Xform::translation(position) * Xform::rotationZ(rotation);
    const Xform scaled = Xform::scaling(scale) * Xform::translation(origin * -1);
    Placement inner;
    inner.byBlockRgb = look.rgb;
    inner.byBlockLinetype = linetype;
    inner.layer = look.layer;
    inner.depth = placement.depth + 1;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        inner.xform = placement.xform * frame * Xform::translation({c * columnSpacing, r * rowSpacing, 0}) * scaled;
        drawBlock(ids, inner);
      }
    }
    if (fd != nullptr && mStyle.codec() != nullptr) {
      // An attribute is drawn on its own layer in its own colour; ByBlock is the insert's colour.
      for (const Attribute& attribute :
           decodeAttributes({fd->file.get(), fd->begin, fd->end, fd->subEnd}, *mStyle.codec())) {
        ZcString layerName(attribute.layer);
        if (layerName.isEmpty() || (placement.depth > 0 && layerName == ZcString(L"0"))) layerName = look.layer;
        const DrawingStyle::Layer& layer = mStyle.layer(layerName);
        if (!layer.visible) continue;
        const std::uint32_t rgb =
            attribute.trueColor ? *attribute.trueColor : resolvedColor(attribute.colorIndex, layer.rgb, look.rgb);
        // The value the insert holds now, which a command may have changed since the read.
        if (attribute.index < insert.attributeCount())
          attribute.text->setTextString(insert.attribute(attribute.index).value);
        mRecorder.clear();
        attribute.text->worldDraw(&mRecorder);
        for (const auto& t : mRecorder.texts()) addText(*mScene, t, placement.xform, rgb, mClip);
      }
    }
  }

  void drawNamedBlock(const ZcString& name, const Placement& placement, const Look& look, const std::string& linetype,
                      const Xform& xform) {
    if (placement.depth >= kMaxInsertNesting) return;
    ZcDbBlockTableRecord* block = nullptr;
    const ZcDbObjectId id = blockNamed(name);
    if (id.isNull() || zcdbOpenObject(block, id, ZcDb::kForRead) != Zcad::eOk || !block) return;
    const std::vector<ZcDbObjectId> ids = block->entityIds();
    block->close();
    Placement inner;
    inner.xform = placement.xform * xform;
    inner.byBlockRgb = look.rgb;
    inner.byBlockLinetype = linetype;
    inner.layer = look.layer;
    inner.depth = placement.depth + 1;
    drawBlock(ids, inner);
  }

  // A layout's window onto the model space: its frame, and the model space seen from above, cut
  // to the frame. The layout's own viewport (id 1) and switched-off ones show nothing.
  void drawViewport(const dxf::RecordValues& values, const Look& look) {
    using namespace dxf::viewport_values;
    const V3 centre = v3(values.point(kCentre));
    const double width = values.number(kWidth), height = values.number(kHeight);
    if (values.integer(kId) == 1 || !(width > 0) || !(height > 0)) return;
    Shape frame;
    const V3 corners[4] = {{centre.x - width / 2, centre.y - height / 2, 0},
                           {centre.x + width / 2, centre.y - height / 2, 0},
                           {centre.x + width / 2, centre.y + height / 2, 0},
                           {centre.x - width / 2, centre.y + height / 2, 0}};
    frame.ops.push_back({PathOp::kMove, {corners[0]}});
    for (int k = 1; k < 4; ++k) frame.ops.push_back({PathOp::kLine, {corners[k]}});
    frame.ops.push_back({PathOp::kClose, {}});
    addShape(frame, Xform(), look);
    const V3 direction = v3(values.point(kViewDirection));
    const double viewHeight = values.number(kViewHeight);
    const bool plan = direction.x == 0 && direction.y == 0 && direction.z > 0;
    if (values.integer(kStatus) <= 0 || !plan || !(viewHeight > 0)) return;
    const double scale = height / viewHeight;
    V3 viewCentre = v3(values.point(kViewCentre));
    viewCentre.z = 0;
    const Xform view = Xform::translation({centre.x, centre.y, 0}) * Xform::scaling({scale, scale, scale}) *
                       Xform::rotationZ(-values.number(kTwist)) * Xform::translation(viewCentre * -1);
    ZcDbBlockTableRecord* model = nullptr;
    if (zcdbOpenObject(model, mDb.modelSpaceId(), ZcDb::kForRead) != Zcad::eOk || !model) return;
    const std::vector<ZcDbObjectId> ids = model->entityIds();
    model->close();
    mScene->clips.push_back({corners[0].x, corners[0].y, corners[2].x, corners[2].y});
    mClip = static_cast<int>(mScene->clips.size()) - 1;
    mInViewport = true;
    Placement inner;
    inner.xform = view;
    drawBlock(ids, inner);
    mInViewport = false;
    mClip = -1;
  }

  ZcDbObjectId blockNamed(const ZcString& name) {
    ZcDbBlockTable* table = nullptr;
    ZcDbObjectId id;
    if (name.isEmpty() || mDb.getBlockTable(table, ZcDb::kForRead) != Zcad::eOk || !table) return id;
    if (table->getAt(name.kwszPtr(), id) != Zcad::eOk) id = ZcDbObjectId();
    table->close();
    return id;
  }

  void addShape(const Shape& shape, const Xform& xform, const Look& look) {
    SceneItem item;
    item.rgb = shape.rgb >= 0 ? static_cast<std::uint32_t>(shape.rgb) : look.rgb;
    if (shape.kind == Shape::kMask) item.rgb = kBackgroundRgb;
    item.filled = shape.kind != Shape::kStroke;
    item.evenOdd = shape.evenOdd;
    item.clip = mClip;
    const bool identity = xform.isIdentity();
    Shape placed;
    const Shape* source = &shape;
    if (!identity) {
      placed = shape;
      for (Op3& op : placed.ops)
        for (V3& p : op.p) p = xform.apply(p);
      source = &placed;
    }
    const Dashes* dashes = shape.kind == Shape::kStroke && shape.dashed ? look.dashes : nullptr;
    if (dashes != nullptr && shape.ops.size() > 1) {
      const std::vector<std::vector<V3>> lines = flatten(*source, 8);
      double length = 0;
      for (const auto& line : lines)
        for (std::size_t k = 0; k + 1 < line.size(); ++k)
          length += std::hypot(line[k + 1].x - line[k].x, line[k + 1].y - line[k].y);
      const double period = dashes->period * look.dashScale;
      if (period > 0 && length / period < kMaxDashesPerEntity) {
        Dashes scaled = *dashes;
        for (double& l : scaled.lengths) l *= look.dashScale;
        scaled.period = period;
        addDashed(item, lines, scaled);
        if (!mInViewport)
          for (const PathOp& op : item.ops) mScene->include(op.p[0], op.p[1]);
        if (!item.ops.empty()) mScene->items.push_back(std::move(item));
        return;
      }
    }
    item.ops.reserve(source->ops.size());
    for (const Op3& op : source->ops) {
      PathOp out{op.kind, {}};
      const int points = op.kind == PathOp::kCurve ? 3 : (op.kind == PathOp::kClose ? 0 : 1);
      for (int i = 0; i < points; ++i)
        if (!std::isfinite(op.p[i].x) || !std::isfinite(op.p[i].y)) return;  // nothing sensible to draw
      for (int i = 0; i < points; ++i) {
        out.p[2 * i] = op.p[i].x;
        out.p[2 * i + 1] = op.p[i].y;
        if (!mInViewport) mScene->include(op.p[i].x, op.p[i].y);
      }
      item.ops.push_back(out);
    }
    if (!item.ops.empty()) mScene->items.push_back(std::move(item));
  }

  ZcDbDatabase& mDb;
  Scene* mScene;
  DrawingStyle mStyle;
  const DrawingStyle::Layer* mLastLayer = nullptr;  // dotColor's last layer, by its name in the file
  std::string mLastLayerName;
  ZcGiDrawRecorder mRecorder;
  bool mInLayout;            // drawing a layout: its viewports show the model space
  bool mInViewport = false;  // what is drawn now lies inside a viewport: its extents do not count
  int mClip = -1;
  long mNestedVisitsLeft = kMaxNestedVisits;  // for the entity of the space being drawn
};

}  // namespace

void addRecording(Scene& scene, const ZcGiDrawRecorder& recorder, int fallbackColor) {
  for (const auto& polyline : recorder.polylines()) {
    SceneItem item;
    item.rgb = colorOf(polyline.color, fallbackColor);
    for (const ZcGePoint3d& p : polyline.points) {
      if (!finite(p)) continue;
      item.ops.push_back({item.ops.empty() ? PathOp::kMove : PathOp::kLine, {p.x, p.y}});
      scene.include(p.x, p.y);
    }
    if (!item.ops.empty()) scene.items.push_back(std::move(item));
  }
  for (const auto& text : recorder.texts()) addText(scene, text, Xform(), colorOf(text.color, fallbackColor));
}

struct EntityDrawer::Builder : SceneBuilder {
  using SceneBuilder::SceneBuilder;
};

EntityDrawer::EntityDrawer(ZcDbDatabase& db) {
  Scene unused;
  mBuilder = std::make_unique<Builder>(db, unused, db.currentSpaceId() != db.modelSpaceId());
}

EntityDrawer::~EntityDrawer() = default;

std::int64_t EntityDrawer::dotColor(const ZcDbObjectId& id) {
  return mBuilder->dotColor(id);
}

void EntityDrawer::draw(const ZcDbObjectId& id, Scene& scene) {
  mBuilder->setScene(scene);
  mBuilder->drawId(id, Placement());
}

bool buildScene(ZcDbDatabase& db, Scene& scene, std::string& error) {
  ZcDbObjectId spaceId = db.currentSpaceId();
  ZcDbBlockTableRecord* space = nullptr;
  if (spaceId.isNull() || zcdbOpenObject(space, spaceId, ZcDb::kForRead) != Zcad::eOk || !space) {
    error = textInLanguage("the drawing's current space cannot be opened", "无法打开图形的当前空间");
    return false;
  }
  const std::vector<ZcDbObjectId> ids = space->entityIds();
  space->close();
  const bool layout = spaceId != db.modelSpaceId();
  {
    SceneBuilder builder(db, scene, layout);
    builder.drawBlock(ids, Placement());
  }
  // A layout that shows nothing (an R12 drawing's paper space holds only its own viewport) is no
  // picture of the drawing: the model space is.
  if (layout && scene.items.empty() && scene.rays.empty()) {
    ZcDbBlockTableRecord* model = nullptr;
    if (zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForRead) != Zcad::eOk || !model) return true;
    const std::vector<ZcDbObjectId> modelIds = model->entityIds();
    model->close();
    scene = Scene();
    SceneBuilder builder(db, scene, false);
    builder.drawBlock(modelIds, Placement());
  }
  return true;
}

}  // namespace zrxhost::render
