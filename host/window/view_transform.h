// The window's view: which part of the drawing shows in the canvas, and the mapping between the two.
#pragma once

#include <algorithm>
#include <cmath>

namespace zrxhost::window {

// Drawing XY to canvas pixels: the drawing point (centerX, centerY) sits in the middle of the
// canvas, `scale` pixels to a drawing unit, y growing up in the drawing and down on the screen.
struct ViewTransform {
  double scale = 1;
  double centerX = 0;
  double centerY = 0;
  int width = 1;
  int height = 1;
  bool operator==(const ViewTransform&) const = default;

  double screenX(double x) const { return (x - centerX) * scale + width / 2.0; }
  double screenY(double y) const { return height / 2.0 - (y - centerY) * scale; }
  double drawingX(double sx) const { return (sx - width / 2.0) / scale + centerX; }
  double drawingY(double sy) const { return (height / 2.0 - sy) / scale + centerY; }
  // Drawing units one pixel covers.
  double pixelSize() const { return 1 / scale; }

  // Zooms by `factor` keeping the drawing point under the pixel (sx, sy) where it is, as a wheel
  // zoom at the cursor does. The scale stays where doubles still tell neighbouring pixels apart.
  void zoomAt(double sx, double sy, double factor) {
    const double x = drawingX(sx), y = drawingY(sy);
    const double magnitude = std::max({1.0, std::fabs(x), std::fabs(y)});
    scale = std::clamp(scale * factor, 1e-12 / magnitude * 1e3, 1e12 / magnitude);
    centerX = x - (sx - width / 2.0) / scale;
    centerY = y + (sy - height / 2.0) / scale;
  }
  // Moves the drawing with the cursor by (dx, dy) pixels.
  void panBy(double dx, double dy) {
    centerX -= dx / scale;
    centerY += dy / scale;
  }
  // Shows the box (minX, minY)-(maxX, maxY) whole, with `margin` of the canvas left around it.
  void fit(double minX, double minY, double maxX, double maxY, double margin = 0.05) {
    const double w = std::max(maxX - minX, 0.0), h = std::max(maxY - minY, 0.0);
    const double size = std::max({w, h, 1e-9 * std::max({1.0, std::fabs(minX), std::fabs(minY)})});
    const double usable = 1 - 2 * std::clamp(margin, 0.0, 0.45);
    const double sx = width * usable / std::max(w, size * 0.01);
    const double sy = height * usable / std::max(h, size * 0.01);
    scale = std::min(sx, sy);
    if (!std::isfinite(scale) || scale <= 0) scale = 1;
    centerX = (minX + maxX) / 2;
    centerY = (minY + maxY) / 2;
  }
};

}  // namespace zrxhost::window
