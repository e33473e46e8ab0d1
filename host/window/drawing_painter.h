// Painting the drawing and the drag preview with Qt: the scene of the render layer for the drawing,
// the jig's recorded frame for the preview, both through one view transform.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ed/spatial_index.h"
#include "render/scene.h"
#include "window/view_transform.h"

class QPainter;
class ZcGiDrawRecorder;

namespace zrxhost {
class Font;
}

namespace zrxhost::window {

// The drawing as the spatial index sees it: each entity in view is drawn from its own paths, built
// the first time it shows larger than a dot and kept until it changes; one that shows smaller than
// kDotPixels costs a dot in its colour, and one not built yet when the time for a paint runs out is
// drawn as its box until a later paint sharpens it.
class DrawingPaths {
 public:
  DrawingPaths();
  ~DrawingPaths();
  // Takes the drawing afresh (its index built now when it is not yet); nothing of it is built.
  bool rebuild(ZcDbDatabase& db, std::string& error);
  // After an edit: the index brought up to date; what changed is built again when next shown, and
  // everything when a layer changed.
  void refresh(ZcDbDatabase& db);
  // The extents of the ink of what is drawn, worked out when first asked after a change.
  const render::Bounds& extents();
  // Paints every entity in view onto a printer or another device; on paper colour 7 is black and
  // lines are `penWidth` device pixels wide.
  void paint(QPainter& painter, const ViewTransform& view, bool onPaper = false, double penWidth = 1.0);
  // Paints what lies in `region` of `image` (which `view` maps the drawing onto), building what
  // needs building until `budgetMs` have passed; false when something was left as its box.
  bool paint(QImage& image, const ViewTransform& view, const QRect& region, double budgetMs);
  // A paint of a whole image at `view` in steps, for the idle moments between frames: each step
  // draws on for about `sliceMs` (building for that long at most) and is true when all is drawn,
  // with `complete` false where something was left as its box. A paint of another kind between the
  // steps does not disturb them; after a change of the drawing they start afresh.
  void startSteps(const ViewTransform& view, std::uint32_t backgroundRgb);
  bool paintStep(QImage& image, double sliceMs, bool& complete);
  // Whether, since the last paint into an image, entities were only added (none changed or erased,
  // no layer changed): then they all lie over what it drew, and `from` is the first serial to paint.
  bool onlyAddedSincePaint(std::uint32_t& from);
  // Paints the entities added since serial `from` over `image`, which holds the drawing before them.
  bool paintAdded(QImage& image, const ViewTransform& view, std::uint32_t from, double budgetMs);
  // Below this size on screen (pixels, the longer side of its box in the index) an entity is a dot:
  // the index's boxes are wider than the ink (a text's by a few heights all round), and what is
  // drawn inside a pixel or two looks like a dot anyway.
  static constexpr double kDotPixels = 4;
  // A built entity whose ink is under this size is a dot.
  static constexpr double kInkDotPixels = 1.5;
  // Below this size an entity is drawn without antialiasing.
  static constexpr double kSmoothPixels = 6;

 private:
  struct Item {
    QPainterPath path;
    QRectF box;
    std::uint32_t rgb;
    bool filled;
  };
  struct Built {
    std::vector<Item> items;
    std::vector<render::SceneRay> rays;
    std::uint32_t rgb = 0;  // of its dot
    double ink = 0;         // the longer side of the box around its paths
    bool shown = false;     // it draws anything at all
  };
  // A paint's walk over the entries in view, in order, and how far it got: a paint in steps goes on
  // from there.
  struct Pass {
    ViewTransform view;
    QRect region;
    bool onPaper = false;
    double penWidth = 1;
    std::vector<ed::SpatialIndex::Found> found;
    std::size_t next = 0;
    std::vector<std::int32_t> rays;  // what draws construction lines, by its place in mBuilt
    bool complete = true;
  };
  // `addedFrom` above 0: only the entries added since that serial.
  bool paintInto(QPainter& painter, QImage* image, const ViewTransform& view, const QRect& region, bool onPaper,
                 double penWidth, double budgetMs, std::uint32_t addedFrom = 0);
  // Finds what the pass is to draw (false when there is no drawing to draw).
  bool startPass(Pass& pass, QImage* image, std::uint32_t addedFrom);
  // Draws on from where the pass got to, building for `budgetMs` at most and stopping once `stopMs`
  // have passed; true when all is drawn, construction lines last.
  bool goOn(QPainter& painter, QImage* image, Pass& pass, double budgetMs, double stopMs);
  // What the last paint into an image drew: the index's state then.
  void notePainted(const ed::SpatialIndex& index);
  const Built& build(const ZcDbObjectId& id, std::uint32_t serial);
  // The layers' states as one number: a change drops everything built.
  std::uint64_t layerSignature(ZcDbDatabase& db) const;
  void forget();

  ZcDbDatabase* mDb = nullptr;
  std::unique_ptr<render::EntityDrawer> mDrawer;
  render::Scene mScratch;
  Pass mOneGo;  // a paint's in one go, kept for its storage up to kKeptFound
  Pass mSteps;  // its list of what is in view is kept: at a million entities, fresh memory for it
                // each time would cost more than the finding
  std::uint32_t mStepsBackground = 0;
  std::uint64_t mStepsVersion = 0;  // of the index when the steps found what is in view; 0: not yet
  static constexpr std::size_t kKeptFound = 1 << 17;
  // What is known of an entry of the index, by its serial: its place in mBuilt (-1: not built), and
  // the colour of its dot while it is not built (0 not known yet, else kKnown with the colour, or
  // kDrawsNothing).
  struct Known {
    std::int32_t slot = -1;
    std::uint32_t dotRgb = 0;
  };
  static constexpr std::uint32_t kKnown = 0x1000000, kDrawsNothing = 0x2000000;
  // Serials only grow (an entity changed gets a new one), so the table grows in chunks: one that
  // doubled would copy and fill megabytes of fresh memory in the middle of a frame.
  class KnownBySerial {
   public:
    const Known* find(std::uint32_t serial) const {
      const std::size_t chunk = serial >> kChunkBits;
      return chunk < mChunks.size() ? &mChunks[chunk][serial & kChunkMask] : nullptr;
    }
    Known& at(std::uint32_t serial) {
      const std::size_t chunk = serial >> kChunkBits;
      while (mChunks.size() <= chunk) mChunks.push_back(std::make_unique<Known[]>(kChunkMask + 1));
      return mChunks[chunk][serial & kChunkMask];
    }
    // Chunks made ahead, up to `serial`: a command's additions then find theirs ready in the frame
    // that shows them.
    void makeRoomFor(std::uint32_t serial) { at(serial); }
    void clear() { mChunks.clear(); }

   private:
    static constexpr unsigned kChunkBits = 16;
    static constexpr std::uint32_t kChunkMask = (1u << kChunkBits) - 1;
    std::vector<std::unique_ptr<Known[]>> mChunks;
  };
  KnownBySerial mKnown;
  std::vector<Built> mBuilt;
  std::uint64_t mIndexBuilds = 0;
  std::uint64_t mLayers = 0;
  std::uint64_t mPaintedRemovals = ~0ull, mPaintedLayers = 0;
  std::uint32_t mPaintedSerialEnd = 0;
  render::Bounds mExtents;
  bool mExtentsKnown = false;
};

// Paints a jig's frame: polylines as lines, texts from cached glyph outlines, and a text under about
// two pixels high as a short line along its baseline, which is what the eye sees of it anyway.
class PreviewPainter {
 public:
  // Paints onto `image`, which holds the drawing already; `view` maps the drawing onto it.
  void paint(QImage& image, const ZcGiDrawRecorder& frame, const ViewTransform& view);
  // Below this height on screen a text is drawn as its baseline.
  static constexpr double kTextDetailPixels = 2.0;
  // Texts larger than this on screen are filled from their outlines: few fit in a view, and their
  // masks would be large.
  static constexpr double kSpriteMaxPixels = 64;

 private:
  struct Glyph {
    QPainterPath path;  // in units of the cap height, y up
    double advance = 0;
  };
  struct Baseline {
    float x0, y0, x1, y1;
    std::uint32_t argb;
  };
  const Glyph& glyph(const Font& font, char32_t c);
  // The advance width of a text of height 1: ASCII from a table per font, the rest from the cache.
  double width(const Font& font, const std::u16string& text);
  // Sets the pixels of each baseline straight into the image: a hundred thousand lines a few pixels
  // long cost less this way than through a painter's per-line set-up.
  static void rasterize(QImage& image, const std::vector<Baseline>& lines);

  // A glyph rendered once at one size, angle and shape as an 8-bit coverage mask; every copy of it
  // in a frame is blended from the mask instead of filled from its outline again.
  struct SpriteKey {
    const Font* font;
    char32_t c;
    std::int32_t size, angle, xScale, slant;  // quantized
    bool operator==(const SpriteKey&) const = default;
  };
  struct SpriteKeyHash {
    size_t operator()(const SpriteKey& k) const;
  };
  struct Sprite {
    int left = 0, top = 0;  // of the mask, from the pen position, in pixels
    int width = 0, height = 0;
    double advance = 0;
    std::vector<std::uint8_t> coverage;
  };
  const Sprite& sprite(const SpriteKey& key, const QTransform& glyphToPixels);
  // The sprite of `c` at the shape of `base`: ASCII from a table kept for the last shape asked for
  // (a preview's copies share one), the rest from the map.
  const Sprite& shapedSprite(const SpriteKey& base, char32_t c, const QTransform& glyphToPixels);

  // The coverage of every sprite of one colour in a frame, the most of any sprite at each pixel,
  // over the rows and columns they touched. Laid into the image once, so that a pixel under a
  // hundred overlapping copies is blended once instead of a hundred times.
  struct CoverageLayer {
    std::uint32_t argb = 0;
    std::vector<std::uint8_t> coverage;  // image-sized
    int minX = 0, minY = 0, maxX = -1, maxY = -1;
  };
  CoverageLayer& layerFor(std::uint32_t argb, int width, int height);
  static void stamp(CoverageLayer& layer, const Sprite& sprite, int x, int y, int width, int height);
  static void composite(QImage& image, CoverageLayer& layer);

  std::unordered_map<const Font*, std::unordered_map<char32_t, Glyph>> mGlyphs;
  std::unordered_map<SpriteKey, Sprite, SpriteKeyHash> mSprites;
  SpriteKey mAsciiShape{nullptr, 0, 0, 0, 0, 0};
  // What the last text's shape was worked out from, and what came of it.
  struct ShapeInputs {
    const Font* font = nullptr;
    double size = 0, xScale = 0, ax = 0, ay = 0, oblique = 0, flip = 0;
    bool operator==(const ShapeInputs&) const = default;
  };
  ShapeInputs mLastShapeInputs;
  QTransform mLastShape;
  SpriteKey mLastShapeKey{nullptr, 0, 0, 0, 0, 0};
  std::vector<const Sprite*> mAsciiSprites;  // by character, null until asked for
  // The last stamp of each glyph place in a text, by its index in the text.
  struct LastStamp {
    const Sprite* sprite = nullptr;
    const CoverageLayer* layer = nullptr;
    int x = 0, y = 0;
  };
  std::array<LastStamp, 64> mLastStamps;
  std::vector<CoverageLayer> mLayers;  // the first mLayerCount are this frame's
  size_t mLayerCount = 0;
  CoverageLayer* mLastLayer = nullptr;
  std::unordered_map<const Font*, std::vector<double>> mAsciiAdvances;
  const Font* mAsciiFont = nullptr;
  std::vector<double>* mAscii = nullptr;
  std::vector<Baseline> mLines;
};

}  // namespace zrxhost::window
