// The drawing from the render layer's scene and the drag preview from the jig's frame, painted with
// QPainter: glyph outlines cached per font and character, small things drawn at low detail.
#include "window/drawing_painter.h"

#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "ed/spatial_index.h"
#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/fonts.h"
#include "zrxhost/messages.h"
#include "zrxhost/render.h"

namespace zrxhost::window {
namespace {

QColor colorOf(std::uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QColor colorOfIndex(int index) {
  // By-block and by-layer in a preview: the frame has no layer to ask, white as the drawing's default.
  return colorOf(aciToRgb(index >= 1 && index <= 255 ? index : 7));
}

// A view transform as Qt's, for paths in drawing coordinates.
QTransform toScreen(const ViewTransform& view) {
  return QTransform(view.scale, 0, 0, -view.scale, view.width / 2.0 - view.centerX * view.scale,
                    view.height / 2.0 + view.centerY * view.scale);
}

class PathSink : public GlyphPathSink {
 public:
  explicit PathSink(QPainterPath& path) : mPath(path) {}
  void moveTo(double x, double y) override { mPath.moveTo(x, y); }
  void lineTo(double x, double y) override { mPath.lineTo(x, y); }
  void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3) override {
    mPath.cubicTo(x1, y1, x2, y2, x3, y3);
  }
  void closePath() override { mPath.closeSubpath(); }

 private:
  QPainterPath& mPath;
};

bool finite(const ZcGePoint3d& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Glyphs whose pen is this far off the image in pixels are not placed at all.
constexpr double kFarPixels = 1e6;

// A glyph's mask serves every copy whose shape rounds to the same steps: an eighth of a pixel of
// height, a quarter of a degree of angle, a 64th of width factor and of slant. At the largest
// masked size (kSpriteMaxPixels) that moves an outline point by half a pixel at most, and far less
// at the sizes copies usually have, while a drag that zooms or turns the copies a little reuses the
// masks it made.
constexpr double kSizeSteps = 8, kAngleSteps = 4, kShapeSteps = 64;
// At most this many masks are kept (a byte of coverage per pixel: a few hundred bytes at the usual
// sizes): past it they are dropped and made again as needed, so a long drag's memory stays bounded.
constexpr std::size_t kMaxSprites = 50000;

}  // namespace

DrawingPaths::DrawingPaths() = default;
DrawingPaths::~DrawingPaths() = default;

void DrawingPaths::forget() {
  mKnown.clear();
  mBuilt.clear();
  mSteps.rays.clear();
  mScratch = render::Scene();
  mDrawer.reset();
}

bool DrawingPaths::rebuild(ZcDbDatabase& db, std::string& error) {
  if (zcdbHostApplicationServices()->workingDatabase() != &db || db.currentSpaceId().isNull()) {
    error = textInLanguage("the drawing's current space cannot be opened", "无法打开图形的当前空间");
    return false;
  }
  forget();
  mDb = &db;
  mIndexBuilds = 0;
  mExtentsKnown = false;
  refresh(db);
  return true;
}

std::uint64_t DrawingPaths::layerSignature(ZcDbDatabase& db) const {
  std::uint64_t sum = 0;
  const auto* table = zrxhost::peek<ZcDbLayerTable>(db.layerTableId());
  if (!table) return sum;
  for (const ZcDbObjectId& id : table->recordIds()) {
    const auto* layer = zrxhost::peek<ZcDbLayerTableRecord>(id);
    if (!layer) continue;
    const std::uint64_t state = (layer->isOff() ? 1u : 0u) | (layer->isFrozen() ? 2u : 0u) |
                                static_cast<std::uint64_t>(layer->colorIndex() & 0xFFFF) << 2;
    sum = (sum ^ (state + std::hash<std::uint64_t>()(id.handle()))) * 1099511628211ull;
  }
  return sum;
}

void DrawingPaths::refresh(ZcDbDatabase& db) {
  if (mDb != &db) {
    std::string unused;
    rebuild(db, unused);
    return;
  }
  ed::SpatialIndex* index = ed::SpatialIndex::current();
  const std::uint64_t layers = layerSignature(db);
  // A build of the index keeps the serials of what did not change: only a layer's change drops all.
  if (!index || layers != mLayers) forget();
  mLayers = layers;
  mExtentsKnown = false;
  if (!index) return;
  mIndexBuilds = index->builds();
  mExtentsKnown = false;
}

const render::Bounds& DrawingPaths::extents() {
  if (mExtentsKnown || !mDb) return mExtents;
  mExtentsKnown = true;
  mExtents = render::Bounds();
  ed::SpatialIndex* index = ed::SpatialIndex::current();
  double box[4];
  if (!index || !index->extents(box)) return mExtents;
  // The index's boxes may be wider than the ink (a text's is), so each side is the ink of the
  // entities whose boxes reach past the nearest inner side of any box: the only ones that can
  // hold that side's extreme. They are built; the rest are not looked at more.
  std::vector<ed::SpatialIndex::Found> all;
  const double inf = std::numeric_limits<double>::infinity();
  index->within(-inf, -inf, inf, inf, all);
  double inner[4] = {inf, inf, -inf, -inf};  // the least maximum x, y; the greatest minimum x, y
  for (const ed::SpatialIndex::Entry* entry : all) {
    const ed::SpatialIndex::Entry& f = *entry;
    if (!std::isfinite(f.box[0])) continue;
    inner[0] = std::min<double>(inner[0], f.box[2]), inner[1] = std::min<double>(inner[1], f.box[3]);
    inner[2] = std::max<double>(inner[2], f.box[0]), inner[3] = std::max<double>(inner[3], f.box[1]);
  }
  for (const ed::SpatialIndex::Entry* entry : all) {
    const ed::SpatialIndex::Entry& f = *entry;
    const bool edge = !std::isfinite(f.box[0]) || f.box[0] <= inner[0] || f.box[1] <= inner[1] ||
                      f.box[2] >= inner[2] || f.box[3] >= inner[3];
    if (!edge) continue;
    const Known* known = mKnown.find(f.serial);
    const Built& built =
        known && known->slot >= 0 ? mBuilt[static_cast<std::size_t>(known->slot)] : build(f.id, f.serial);
    for (const Item& item : built.items) {
      if (item.path.isEmpty()) continue;
      mExtents.add(item.box.left(), item.box.top());
      mExtents.add(item.box.right(), item.box.bottom());
    }
  }
  return mExtents;
}

const DrawingPaths::Built& DrawingPaths::build(const ZcDbObjectId& id, std::uint32_t serial) {
  if (!mDrawer) mDrawer = std::make_unique<render::EntityDrawer>(*mDb);
  mScratch.items.clear();
  mScratch.texts.clear();
  mScratch.rays.clear();
  mDrawer->draw(id, mScratch);
  Built built;
  built.items.reserve(mScratch.items.size());
  std::vector<render::PathOp> textOps;
  for (const render::SceneItem& source : mScratch.items) {
    Item item{{}, {}, source.rgb, source.filled};
    item.path.setFillRule(source.evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    if (source.text >= 0) render::textOps(mScratch.texts[static_cast<size_t>(source.text)], textOps);
    for (const render::PathOp& op : source.text >= 0 ? textOps : source.ops) {
      switch (op.kind) {
        case render::PathOp::kMove:
          item.path.moveTo(op.p[0], op.p[1]);
          break;
        case render::PathOp::kLine:
          item.path.lineTo(op.p[0], op.p[1]);
          break;
        case render::PathOp::kCurve:
          item.path.cubicTo(op.p[0], op.p[1], op.p[2], op.p[3], op.p[4], op.p[5]);
          break;
        case render::PathOp::kClose:
          item.path.closeSubpath();
          break;
      }
    }
    item.box = item.path.boundingRect();
    built.items.push_back(std::move(item));
  }
  QRectF ink;
  for (const Item& item : built.items) ink |= item.box;
  built.ink = std::max(ink.width(), ink.height());
  built.rays = mScratch.rays;
  built.shown = !built.items.empty() || !built.rays.empty();
  built.rgb = !built.items.empty() ? built.items.front().rgb : (built.rays.empty() ? 0 : built.rays.front().rgb);
  mKnown.at(serial).slot = static_cast<std::int32_t>(mBuilt.size());
  mBuilt.push_back(std::move(built));
  return mBuilt.back();
}

void DrawingPaths::paint(QPainter& painter, const ViewTransform& view, bool onPaper, double penWidth) {
  paintInto(painter, nullptr, view, QRect(0, 0, view.width, view.height), onPaper, penWidth,
            std::numeric_limits<double>::infinity());
}

bool DrawingPaths::paint(QImage& image, const ViewTransform& view, const QRect& region, double budgetMs) {
  QPainter painter(&image);
  painter.setClipRect(region);
  return paintInto(painter, &image, view, region, false, 1.0, budgetMs);
}

bool DrawingPaths::onlyAddedSincePaint(std::uint32_t& from) {
  const ed::SpatialIndex* index = ed::SpatialIndex::current();
  from = mPaintedSerialEnd;
  return index && index->removals() == mPaintedRemovals && mLayers == mPaintedLayers;
}

bool DrawingPaths::paintAdded(QImage& image, const ViewTransform& view, std::uint32_t from, double budgetMs) {
  QPainter painter(&image);
  return paintInto(painter, &image, view, image.rect(), false, 1.0, budgetMs, std::max<std::uint32_t>(from, 1));
}

void DrawingPaths::notePainted(const ed::SpatialIndex& index) {
  mPaintedRemovals = index.removals();
  mPaintedSerialEnd = index.serialEnd();
  mPaintedLayers = mLayers;
  mKnown.makeRoomFor(index.serialEnd() + kKeptFound);
}

bool DrawingPaths::paintInto(QPainter& painter, QImage* image, const ViewTransform& view, const QRect& region,
                             bool onPaper, double penWidth, double budgetMs, std::uint32_t addedFrom) {
  Pass& pass = mOneGo;
  pass.view = view;
  pass.region = region;
  pass.onPaper = onPaper;
  pass.penWidth = penWidth;
  if (!startPass(pass, image, addedFrom)) return true;
  goOn(painter, image, pass, budgetMs, std::numeric_limits<double>::infinity());
  // The list of a whole view of a large drawing is not kept between paints: its memory is more
  // than its making costs.
  if (pass.found.capacity() > kKeptFound) std::vector<ed::SpatialIndex::Found>().swap(pass.found);
  return pass.complete;
}

void DrawingPaths::startSteps(const ViewTransform& view, std::uint32_t backgroundRgb) {
  mSteps.view = view;
  mSteps.region = QRect(0, 0, view.width, view.height);
  mSteps.onPaper = false;
  mSteps.penWidth = 1;
  mStepsBackground = backgroundRgb;
  mStepsVersion = 0;
}

bool DrawingPaths::paintStep(QImage& image, double sliceMs, bool& complete) {
  // What was found stands while the index stays as it was; otherwise (the first step too) the
  // image starts afresh, and finding what is in view is part of the step.
  const ed::SpatialIndex* index = ed::SpatialIndex::current();
  if (!index || index->version() != mStepsVersion) {
    image.fill(colorOf(mStepsBackground));
    if (!startPass(mSteps, &image, 0)) {
      complete = true;
      return true;
    }
    mStepsVersion = index->version();
  }
  QPainter painter(&image);
  const bool done = goOn(painter, &image, mSteps, sliceMs, sliceMs);
  complete = mSteps.complete;
  return done;
}

bool DrawingPaths::startPass(Pass& pass, QImage* image, std::uint32_t addedFrom) {
  if (!mDb) return false;
  ed::SpatialIndex* index = ed::SpatialIndex::current();
  if (!index) return false;
  if (index->builds() != mIndexBuilds) refresh(*mDb);
  const ViewTransform& view = pass.view;
  const QRect& region = pass.region;
  const double x0 = view.drawingX(region.left() - 2), x1 = view.drawingX(region.right() + 3);
  const double y0 = view.drawingY(region.bottom() + 3), y1 = view.drawingY(region.top() - 2);
  if (addedFrom > 0) {
    index->addedWithin(addedFrom, x0, y0, x1, y1, pass.found);
  } else {
    index->within(x0, y0, x1, y1, pass.found);
  }
  if (image) notePainted(*index);
  pass.next = 0;
  pass.rays.clear();
  pass.complete = true;
  return true;
}

bool DrawingPaths::goOn(QPainter& painter, QImage* image, Pass& pass, double budgetMs, double stopMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  // The budget counts the time spent building (up to the first draw of what was built) and looking
  // up colours, not the walk over what is known already, so that every pass gets on with what is
  // left however large the view.
  const double budgetNs = budgetMs * 1e6;
  double spentNs = 0;
  Clock::time_point workStart;
  const bool onPaper = pass.onPaper;
  const double penWidth = pass.penWidth;
  const ViewTransform& view = pass.view;
  const QRect& region = pass.region;
  auto ink = [onPaper](std::uint32_t rgb) { return colorOf(onPaper && rgb == 0xFFFFFF ? 0 : rgb); };
  const QTransform transform = toScreen(view);
  const double scale = view.scale, pixel = view.pixelSize();
  const int left = std::max(0, region.left()), top = std::max(0, region.top());
  const int right = std::min(region.right(), view.width - 1), bottom = std::min(region.bottom(), view.height - 1);
  std::uint32_t* pixels = image ? reinterpret_cast<std::uint32_t*>(image->bits()) : nullptr;
  const qsizetype stride = image ? image->bytesPerLine() / 4 : 0;
  auto dot = [&](double x, double y, std::uint32_t rgb) {
    const double sx = std::floor(view.screenX(x)), sy = std::floor(view.screenY(y));
    if (!(sx >= left && sx <= right && sy >= top && sy <= bottom)) return;
    if (pixels) {
      pixels[static_cast<qsizetype>(sy) * stride + static_cast<qsizetype>(sx)] = 0xFF000000u | rgb;
    } else {
      painter.fillRect(QRectF(sx, sy, 1, 1), ink(rgb));
    }
  };
  bool timeLeft = true;
  const bool resumable = std::isfinite(stopMs);
  int sinceClock = 0;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const std::vector<ed::SpatialIndex::Found>& found = pass.found;
  for (std::size_t walked = 1; pass.next < found.size(); ++pass.next, ++walked) {
    // Where the paint may stop part way, the clock is read every so many entries (and a step gets
    // on by that many at the least).
    if ((walked & 255) == 0 && std::chrono::duration<double, std::milli>(Clock::now() - start).count() >= stopMs) break;
    // A paint that goes on later stops where its building time ran out, rather than leave the rest
    // of its way as boxes that only another pass over the whole view would sharpen.
    if (!timeLeft && resumable) break;
    const ed::SpatialIndex::Entry& f = *found[pass.next];
    const double w = (static_cast<double>(f.box[2]) - f.box[0]) * scale;
    const double h = (static_cast<double>(f.box[3]) - f.box[1]) * scale;
    const Known* knownOf = mKnown.find(f.serial);
    std::int32_t slot = knownOf ? knownOf->slot : -1;
    const Built* built = slot >= 0 ? &mBuilt[static_cast<std::size_t>(slot)] : nullptr;
    // Once built, its ink tells how large it shows; until then its box in the index.
    const bool small = built ? built->ink * scale < kInkDotPixels : std::max(w, h) < kDotPixels;
    const double cx = (static_cast<double>(f.box[0]) + f.box[2]) / 2,
                 cy = (static_cast<double>(f.box[1]) + f.box[3]) / 2;
    if (!built && small) {
      // A dot needs only the colour, which the record gives without building the entity.
      std::uint32_t& known = mKnown.at(f.serial).dotRgb;
      if (known == 0 && timeLeft) {
        if (sinceClock == 0) workStart = Clock::now();
        if (!mDrawer) mDrawer = std::make_unique<render::EntityDrawer>(*mDb);
        const std::int64_t rgb = mDrawer->dotColor(f.id);
        known = rgb < 0 ? kDrawsNothing : kKnown | static_cast<std::uint32_t>(rgb);
        if (++sinceClock == 256) {
          sinceClock = 0;
          spentNs += std::chrono::duration<double, std::nano>(Clock::now() - workStart).count();
          timeLeft = spentNs < budgetNs;
        }
      }
      if (known == 0) pass.complete = false;
      if (known != kDrawsNothing) dot(cx, cy, known == 0 ? 0xFFFFFF : known & 0xFFFFFF);
      continue;
    }
    // An entity built now counts until its first draw is done: Qt keeps a copy of a path in another
    // form the first time it draws it, which in a view full of new entities costs as much again.
    Clock::time_point buildStart;
    const bool fresh = !built && timeLeft;
    if (fresh) {
      buildStart = Clock::now();
      built = &build(f.id, f.serial);
      slot = static_cast<std::int32_t>(mBuilt.size() - 1);
    }
    auto countFresh = [&] {
      if (!fresh) return;
      spentNs += std::chrono::duration<double, std::nano>(Clock::now() - buildStart).count();
      timeLeft = spentNs < budgetNs;
    };
    if (!built) {
      // Not built in time: a dot, or its box, in white until a later paint sharpens it.
      pass.complete = false;
      if (small) {
        dot(cx, cy, 0xFFFFFF);
      } else if (std::isfinite(w) && std::isfinite(h)) {
        painter.setPen(QPen(ink(0xFFFFFF), penWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(transform.mapRect(QRectF(f.box[0], f.box[1], f.box[2] - f.box[0], f.box[3] - f.box[1])));
      }
      continue;
    }
    if (!built->shown) {
      countFresh();
      continue;
    }
    if (!built->rays.empty()) pass.rays.push_back(slot);
    if (small && built->rays.empty()) {
      if (!built->items.empty()) dot(cx, cy, built->rgb);
      countFresh();
      continue;
    }
    // Under a few pixels the edges' shading is not worth its time.
    painter.setRenderHint(QPainter::Antialiasing, std::max(w, h) >= kSmoothPixels);
    painter.setTransform(transform);
    for (const Item& item : built->items) {
      if (item.box.width() < pixel && item.box.height() < pixel) {
        painter.resetTransform();
        const QPointF at = item.box.center();
        dot(at.x(), at.y(), item.rgb);
        painter.setTransform(transform);
        continue;
      }
      const QColor color = ink(item.rgb);
      if (item.filled) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
      } else {
        QPen pen(color, penWidth);
        pen.setCosmetic(true);  // its width in pixels of the device, whatever the view's scale
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
      }
      painter.drawPath(item.path);
    }
    painter.resetTransform();
    countFresh();
  }
  if (pass.next < found.size()) {
    painter.restore();
    return false;
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  // Construction lines reach across the whole view.
  for (const std::int32_t slot : pass.rays) {
    if (static_cast<std::size_t>(slot) >= mBuilt.size()) continue;  // forgotten since
    for (const render::SceneRay& ray : mBuilt[static_cast<std::size_t>(slot)].rays) {
      const double reach =
          (view.width + view.height) / view.scale + std::hypot(ray.x - view.centerX, ray.y - view.centerY);
      const double length = std::hypot(ray.dx, ray.dy);
      if (!(length > 0)) continue;
      const double ux = ray.dx / length, uy = ray.dy / length;
      const QPointF from = ray.bothWays ? QPointF(ray.x - ux * reach, ray.y - uy * reach) : QPointF(ray.x, ray.y);
      painter.setPen(QPen(ink(ray.rgb), penWidth));
      painter.drawLine(transform.map(QLineF(from, QPointF(ray.x + ux * reach, ray.y + uy * reach))));
    }
  }
  painter.restore();
  return true;
}

const PreviewPainter::Glyph& PreviewPainter::glyph(const Font& font, char32_t c) {
  auto& glyphs = mGlyphs[&font];
  auto found = glyphs.find(c);
  if (found != glyphs.end()) return found->second;
  Glyph g;
  PathSink sink(g.path);
  font.outline(c, sink);
  g.advance = font.advance(c);
  return glyphs.emplace(c, std::move(g)).first->second;
}

double PreviewPainter::width(const Font& font, const std::u16string& text) {
  if (&font != mAsciiFont) {
    mAscii = &mAsciiAdvances[&font];
    mAsciiFont = &font;
  }
  std::vector<double>& ascii = *mAscii;
  if (ascii.empty()) {
    ascii.resize(128);
    for (char32_t c = 0; c < 128; ++c) ascii[c] = font.advance(c);
  }
  double sum = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit < 128) {
      sum += ascii[unit];
    } else {
      return font.measure(text);
    }
  }
  return sum;
}

void PreviewPainter::rasterize(QImage& image, const std::vector<Baseline>& lines) {
  const int w = image.width(), h = image.height();
  const qsizetype stride = image.bytesPerLine() / 4;
  auto* pixels = reinterpret_cast<std::uint32_t*>(image.bits());
  for (const Baseline& line : lines) {
    const float dx = line.x1 - line.x0, dy = line.y1 - line.y0;
    const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::fabs(dx), std::fabs(dy)))));
    // Lines far off the image are skipped whole.
    if (std::min(line.x0, line.x1) >= w || std::max(line.x0, line.x1) < 0 || std::min(line.y0, line.y1) >= h ||
        std::max(line.y0, line.y1) < 0) {
      continue;
    }
    const bool inside = std::min(line.x0, line.x1) >= 0 && std::max(line.x0, line.x1) < w - 1 &&
                        std::min(line.y0, line.y1) >= 0 && std::max(line.y0, line.y1) < h - 1;
    if (inside) {
      // Wholly inside, the common case: 16.16 fixed-point steps and no clipping.
      const auto stepX = static_cast<std::int32_t>(dx / steps * 65536);
      const auto stepY = static_cast<std::int32_t>(dy / steps * 65536);
      auto x = static_cast<std::int32_t>(line.x0 * 65536), y = static_cast<std::int32_t>(line.y0 * 65536);
      for (int i = 0; i <= steps; ++i, x += stepX, y += stepY) pixels[(y >> 16) * stride + (x >> 16)] = line.argb;
      continue;
    }
    const double sx = static_cast<double>(dx) / steps, sy = static_cast<double>(dy) / steps;
    // Only the part that can be on the image is walked.
    for (int i = 0; i <= std::min(steps, 4 * (w + h)); ++i) {
      const int px = static_cast<int>(std::floor(line.x0 + sx * i)),
                py = static_cast<int>(std::floor(line.y0 + sy * i));
      if (px >= 0 && px < w && py >= 0 && py < h) pixels[py * stride + px] = line.argb;
    }
  }
}

size_t PreviewPainter::SpriteKeyHash::operator()(const SpriteKey& k) const {
  size_t h = std::hash<const void*>()(k.font);
  for (std::int64_t part : {std::int64_t(k.c), std::int64_t(k.size), std::int64_t(k.angle), std::int64_t(k.xScale),
                            std::int64_t(k.slant)}) {
    h = h * 1000003u ^ std::hash<std::int64_t>()(part);
  }
  return h;
}

const PreviewPainter::Sprite& PreviewPainter::sprite(const SpriteKey& key, const QTransform& glyphToPixels) {
  auto found = mSprites.find(key);
  if (found != mSprites.end()) return found->second;
  // A drag through every angle of a polar array makes many; the oldest are not worth tracking.
  if (mSprites.size() > kMaxSprites) {
    mSprites.clear();
    mLastStamps.fill(LastStamp{});
  }
  const Glyph& g = glyph(*key.font, key.c);
  const QPainterPath path = glyphToPixels.map(g.path);
  const QRectF box = path.boundingRect();
  Sprite sprite;
  sprite.advance = g.advance;
  sprite.left = static_cast<int>(std::floor(box.left())) - 1;
  sprite.top = static_cast<int>(std::floor(box.top())) - 1;
  sprite.width = static_cast<int>(std::ceil(box.right())) + 1 - sprite.left;
  sprite.height = static_cast<int>(std::ceil(box.bottom())) + 1 - sprite.top;
  if (!path.isEmpty() && sprite.width > 0 && sprite.height > 0) {
    QImage mask(sprite.width, sprite.height, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    QPainter painter(&mask);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(-sprite.left, -sprite.top);
    painter.fillPath(path, Qt::white);
    painter.end();
    sprite.coverage.resize(static_cast<size_t>(sprite.width) * sprite.height);
    for (int y = 0; y < sprite.height; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
      for (int x = 0; x < sprite.width; ++x)
        sprite.coverage[static_cast<size_t>(y) * sprite.width + x] = qAlpha(row[x]);
    }
  } else {
    sprite.width = sprite.height = 0;
  }
  return mSprites.emplace(key, std::move(sprite)).first->second;
}

const PreviewPainter::Sprite& PreviewPainter::shapedSprite(const SpriteKey& base, char32_t c,
                                                           const QTransform& glyphToPixels) {
  if (c >= 128) {
    SpriteKey key = base;
    key.c = c;
    return sprite(key, glyphToPixels);
  }
  if (!(base == mAsciiShape) || mAsciiSprites.empty()) {
    mAsciiShape = base;
    mAsciiSprites.assign(128, nullptr);
  }
  const Sprite*& known = mAsciiSprites[c];
  if (known == nullptr) {
    SpriteKey key = base;
    key.c = c;
    const size_t before = mSprites.size();
    const Sprite& made = sprite(key, glyphToPixels);
    // A full map was emptied to make room: the table's other pointers went with it.
    if (mSprites.size() < before) mAsciiSprites.assign(128, nullptr);
    mAsciiSprites[c] = &made;
    return made;
  }
  return *known;
}

PreviewPainter::CoverageLayer& PreviewPainter::layerFor(std::uint32_t argb, int width, int height) {
  if (mLastLayer != nullptr && mLastLayer->argb == argb) [[likely]]
    return *mLastLayer;
  for (size_t i = 0; i < mLayerCount; ++i)
    if (mLayers[i].argb == argb) return *(mLastLayer = &mLayers[i]);
  if (mLayerCount == mLayers.size()) {
    mLayers.emplace_back();
    mLastStamps.fill(LastStamp{});  // they may point into the storage the vector just left
  }
  CoverageLayer& layer = mLayers[mLayerCount++];
  layer.argb = argb;
  const size_t pixels = static_cast<size_t>(width) * height;
  // Kept clear between frames (composite clears what it used), so only a new size costs a fill.
  if (layer.coverage.size() != pixels) layer.coverage.assign(pixels, 0);
  layer.minX = width;
  layer.minY = height;
  layer.maxX = layer.maxY = -1;
  return *(mLastLayer = &layer);
}

void PreviewPainter::stamp(CoverageLayer& layer, const Sprite& s, int x, int y, int width, int height) {
  const int x0 = x + s.left, y0 = y + s.top;
  if (x0 >= width || y0 >= height || x0 + s.width <= 0 || y0 + s.height <= 0) return;
  const int fromY = std::max(0, -y0), toY = std::min(s.height, height - y0);
  const int fromX = std::max(0, -x0), toX = std::min(s.width, width - x0);
  layer.minX = std::min(layer.minX, x0 + fromX);
  layer.maxX = std::max(layer.maxX, x0 + toX - 1);
  layer.minY = std::min(layer.minY, y0 + fromY);
  layer.maxY = std::max(layer.maxY, y0 + toY - 1);
  for (int row = fromY; row < toY; ++row) {
    const std::uint8_t* __restrict cover = &s.coverage[static_cast<size_t>(row) * s.width];
    std::uint8_t* __restrict into = &layer.coverage[static_cast<size_t>(y0 + row) * width + x0];
    // A plain loop the compiler turns into byte-wise maxima over whole vectors.
    for (int col = fromX; col < toX; ++col) into[col] = std::max(into[col], cover[col]);
  }
}

void PreviewPainter::composite(QImage& image, CoverageLayer& layer) {
  if (layer.maxX < layer.minX || layer.maxY < layer.minY) return;
  const int width = image.width();
  const qsizetype stride = image.bytesPerLine() / 4;
  auto* pixels = reinterpret_cast<std::uint32_t*>(image.bits());
  const std::uint32_t r = (layer.argb >> 16) & 0xFF, g = (layer.argb >> 8) & 0xFF, b = layer.argb & 0xFF;
  const std::uint32_t opaque = 0xFF000000u | (r << 16) | (g << 8) | b;
  for (int y = layer.minY; y <= layer.maxY; ++y) {
    std::uint8_t* cover = &layer.coverage[static_cast<size_t>(y) * width];
    std::uint32_t* row = pixels + static_cast<qsizetype>(y) * stride;
    for (int x = layer.minX; x <= layer.maxX; ++x) {
      const std::uint32_t a = cover[x];
      if (a == 0) continue;
      cover[x] = 0;
      if (a == 255) {
        row[x] = opaque;
        continue;
      }
      const std::uint32_t d = row[x];
      const auto mix = [a](std::uint32_t from, std::uint32_t to) {
        return static_cast<std::uint32_t>(
            static_cast<int>(from) +
            ((static_cast<int>(to) - static_cast<int>(from)) * static_cast<int>(a) + 127) / 255);
      };
      row[x] = 0xFF000000u | (mix((d >> 16) & 0xFF, r) << 16) | (mix((d >> 8) & 0xFF, g) << 8) | mix(d & 0xFF, b);
    }
  }
}

void PreviewPainter::paint(QImage& image, const ZcGiDrawRecorder& frame, const ViewTransform& view) {
  QPainter painter(&image);
  const QTransform transform = toScreen(view);
  for (const auto& polyline : frame.polylines()) {
    QPolygonF points;
    points.reserve(static_cast<int>(polyline.points.size()));
    for (const ZcGePoint3d& p : polyline.points) {
      if (finite(p)) points << QPointF(view.screenX(p.x), view.screenY(p.y));
    }
    painter.setPen(QPen(colorOfIndex(polyline.color), 1.0));
    painter.drawPolyline(points);
  }

  // Texts: the outlines filled, the small ones gathered and set into the image afterwards.
  int lastColor = -1;
  std::uint32_t lastArgb = 0;
  const Font* lastFont = nullptr;
  const ZcGiTextStyle* lastFonts = nullptr;
  mLines.clear();
  mLayerCount = 0;
  mLastLayer = nullptr;
  mLastStamps.fill(LastStamp{});
  // The scale is part of a shape: a new view starts afresh.
  mLastShapeInputs = ShapeInputs{};
  const int imageWidth = image.width(), imageHeight = image.height();
  painter.setPen(Qt::NoPen);
  for (const ZcGiDrawRecorder::TextPrimitive& text : frame.texts()) {
    const auto& style = text.style;
    if (!finite(text.position) || !std::isfinite(style.textSize) || style.textSize == 0) continue;
    if (style.fonts != lastFonts) {
      lastFont = &fontFor(style.fileName().toUtf8(), style.bigFontFileName().toUtf8());
      lastFonts = style.fonts;
    }
    const Font& font = *lastFont;
    double ax = text.direction.x, ay = text.direction.y;
    const double along = std::sqrt(ax * ax + ay * ay);
    if (!(along > 0) || !std::isfinite(along)) {
      ax = 1, ay = 0;
    } else {
      ax /= along, ay /= along;
    }
    const double size = style.textSize, xScale = style.xScale;
    if (std::fabs(size) * view.scale < kTextDetailPixels) {
      if (text.color != lastColor) {
        lastColor = text.color;
        lastArgb = colorOfIndex(text.color).rgb();
      }
      const double length = width(font, text.message.utf16()) * size * xScale;
      mLines.push_back({static_cast<float>(view.screenX(text.position.x)),
                        static_cast<float>(view.screenY(text.position.y)),
                        static_cast<float>(view.screenX(text.position.x + ax * length)),
                        static_cast<float>(view.screenY(text.position.y + ay * length)), lastArgb});
      continue;
    }
    // Mirrored texts (a normal pointing down) run their cross direction the other way.
    const double flip = text.normal.z < 0 ? -1 : 1;
    const render::GlyphAxes<QPointF> axes =
        render::glyphAxes(QPointF(ax, ay), QPointF(-ay * flip, ax * flip), size, xScale, style.obliquingAngle);
    if (text.color != lastColor) {
      lastColor = text.color;
      lastArgb = colorOfIndex(text.color).rgb();
    }
    if (std::fabs(size) * view.scale <= kSpriteMaxPixels) {
      // The glyph's frame in pixels without the pen position: one mask serves every copy at this
      // size, angle and shape, placed at the pen's nearest pixel.
      const double k = view.scale;
      const ShapeInputs inputs{&font, size, xScale, ax, ay, style.obliquingAngle, flip};
      if (!(inputs == mLastShapeInputs)) {
        // Copies of one text share their shape: the key and the frame are worked out once for them.
        mLastShapeInputs = inputs;
        mLastShape =
            QTransform(axes.along.x() * k, -axes.along.y() * k, axes.across.x() * k, -axes.across.y() * k, 0, 0);
        mLastShapeKey =
            SpriteKey{&font, 0, static_cast<std::int32_t>(std::lround(size * k * kSizeSteps)),
                      static_cast<std::int32_t>(std::lround(std::atan2(ay, ax) * 180 / M_PI * kAngleSteps)),
                      // A mirrored text's masks are not the others'.
                      static_cast<std::int32_t>(std::lround(xScale * kShapeSteps * flip)),
                      static_cast<std::int32_t>(std::lround(render::textSlant(style.obliquingAngle) * kShapeSteps))};
      }
      const QTransform& shape = mLastShape;
      const SpriteKey& base = mLastShapeKey;
      // Pixels per unit of pen advance, along x and y of the image.
      const double stepX = axes.along.x() * k, stepY = -axes.along.y() * k;
      const double startX = view.screenX(text.position.x), startY = view.screenY(text.position.y);
      const std::u16string& units = text.message.utf16();
      // A copy wholly off the image is passed over: no glyph is wider than two heights.
      const double reach = (static_cast<double>(units.size()) * std::fabs(xScale) * 2 + 2) * std::fabs(size) * k;
      if (startX < -reach || startX > imageWidth + reach || startY < -reach || startY > imageHeight + reach) continue;
      CoverageLayer& layer = layerFor(lastArgb, imageWidth, imageHeight);
      double pen = 0;
      size_t glyphIndex = 0;
      for (size_t i = 0; i < units.size(); ++i, ++glyphIndex) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
          c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        const Sprite& glyphSprite = shapedSprite(base, c, shape);
        if (glyphSprite.width > 0) {
          const double px = startX + pen * stepX, py = startY + pen * stepY;
          // Far-off copies are left before a conversion to int could overflow.
          if (px > -kFarPixels && px < kFarPixels && py > -kFarPixels && py < kFarPixels) {
            // The nearest pixel: shifted positive so that truncation rounds down (cheaper than floor).
            const int x = static_cast<int>(px + 0.5 + kFarPixels) - static_cast<int>(kFarPixels);
            const int y = static_cast<int>(py + 0.5 + kFarPixels) - static_cast<int>(kFarPixels);
            // Copies closer than a pixel put the same glyph on the same pixel again; a maximum taken
            // twice is the same, so the repeat is skipped.
            LastStamp& last = mLastStamps[glyphIndex % mLastStamps.size()];
            if (last.sprite != &glyphSprite || last.x != x || last.y != y || last.layer != &layer) {
              last = {&glyphSprite, &layer, x, y};
              stamp(layer, glyphSprite, x, y, imageWidth, imageHeight);
            }
          }
        }
        pen += glyphSprite.advance;
      }
      continue;
    }
    painter.setBrush(colorOfIndex(text.color));
    double pen = 0;
    for (char32_t c : utf16ToUtf32(text.message.utf16())) {
      const Glyph& g = glyph(font, c);
      const QPointF origin = QPointF(text.position.x, text.position.y) + axes.along * pen;
      const QTransform local(axes.along.x(), axes.along.y(), axes.across.x(), axes.across.y(), origin.x(), origin.y());
      painter.setTransform(local * transform);
      painter.drawPath(g.path);
      pen += g.advance;
    }
    painter.resetTransform();
  }
  painter.end();
  rasterize(image, mLines);
  for (size_t i = 0; i < mLayerCount; ++i) composite(image, mLayers[i]);
}

}  // namespace zrxhost::window
