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

  std::unordered_map<const Font*, std::unordered_map<char32_t, Glyph>> mGlyphs;
  std::unordered_map<const Font*, std::vector<double>> mAsciiAdvances;
  const Font* mAsciiFont = nullptr;
  std::vector<double>* mAscii = nullptr;
  std::vector<Baseline> mLines;
};

}  // namespace zrxhost::window
