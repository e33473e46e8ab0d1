// Thin lines set straight into a picture's pixels, and the picture written as PNG.
#pragma once

#include <cstdint>
#include <string>

namespace zrxhost::render {

// Cuts the segment to the box; false when nothing of it is inside (Liang-Barsky).
bool clipToBox(double& x0, double& y0, double& x1, double& y1, double minX, double minY, double maxX, double maxY);

// One-pixel antialiased lines (Wu's algorithm) and flattened cubic curves blended into 32-bit xRGB
// pixels, cut to a clip rectangle. Pixel (i, j) covers [i, i+1] x [j, j+1]; a line through pixel
// centres inks one pixel per step.
class LineRaster {
 public:
  // `stride`: pixels from one row to the next.
  LineRaster(std::uint32_t* pixels, int width, int height, int stride);
  // Lines are cut to this rectangle too (a viewport's frame), until resetClip.
  void setClip(double x0, double y0, double x1, double y1);
  void resetClip();
  void setColor(std::uint32_t rgb) { mRgb = rgb & 0xFFFFFF; }
  void line(double x0, double y0, double x1, double y1);
  void curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);
  // The pixel at (x, y) in full.
  void dot(double x, double y);

 private:
  void plot(int x, int y, double coverage);

  std::uint32_t* mPixels;
  int mWidth, mHeight, mStride;
  // Sets the whole-pixel bounds from the clip.
  void clipChanged();

  double mClipX0, mClipY0, mClipX1, mClipY1;
  int mFirstX = 0, mFirstY = 0, mEndX = 0, mEndY = 0;  // the pixels inside the clip: [first, end)
  std::uint32_t mRgb = 0xFFFFFF;
};

// The pixels (32-bit xRGB rows, `stride` pixels apart) as a PNG file's bytes, compressed for
// speed: a picture of a large drawing is written once and looked at, not archived. False and
// `error` when the encoder fails.
bool encodePng(const std::uint32_t* pixels, int width, int height, int stride, std::string& out, std::string& error);

}  // namespace zrxhost::render
