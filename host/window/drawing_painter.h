// Painting the drawing and the drag preview with Qt: the scene of the render layer for the drawing,
// the jig's recorded frame for the preview, both through one view transform.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/scene.h"
#include "window/view_transform.h"

class QPainter;
class ZcGiDrawRecorder;

namespace zrxhost {
class Font;
}

namespace zrxhost::window {

// The drawing as paths in drawing coordinates, each with its extents, built once per change of the
// drawing and painted at any view.
class DrawingPaths {
 public:
  // Rebuilds from the database's current space; false and `error` when it cannot be read.
  bool rebuild(ZcDbDatabase& db, std::string& error);
  const render::Bounds& extents() const { return mScene.extents(); }
  // Paints every item at `view`; an item smaller than a pixel becomes a dot.
  void paint(QPainter& painter, const ViewTransform& view) const;

 private:
  struct Item {
    QPainterPath path;
    QRectF box;
    std::uint32_t rgb;
    bool filled;
  };
  render::Scene mScene;
  std::vector<Item> mItems;
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
  struct SpriteBlit {
    const Sprite* sprite;
    int x, y;
    std::uint32_t argb;
  };
  const Sprite& sprite(const SpriteKey& key, const QTransform& glyphToPixels);
  static void blend(QImage& image, const std::vector<SpriteBlit>& blits);

  std::unordered_map<const Font*, std::unordered_map<char32_t, Glyph>> mGlyphs;
  std::unordered_map<SpriteKey, Sprite, SpriteKeyHash> mSprites;
  std::vector<SpriteBlit> mBlits;
  std::unordered_map<const Font*, std::vector<double>> mAsciiAdvances;
  const Font* mAsciiFont = nullptr;
  std::vector<double>* mAscii = nullptr;
  std::vector<Baseline> mLines;
};

}  // namespace zrxhost::window
