// Thin antialiased lines drawn into a picture's pixels without cairo, and the PNG encoder.
#include "render/raster.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <vector>

#include "zrxhost/messages.h"

namespace zrxhost::render {

bool clipToBox(double& x0, double& y0, double& x1, double& y1, double minX, double minY, double maxX, double maxY) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy}, q[4] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  const double ax = x0 + dx * t0, ay = y0 + dy * t0;
  x1 = x0 + dx * t1;
  y1 = y0 + dy * t1;
  x0 = ax;
  y0 = ay;
  return true;
}

namespace {

double fraction(double v) {
  return v - std::floor(v);
}

}  // namespace

LineRaster::LineRaster(std::uint32_t* pixels, int width, int height, int stride)
    : mPixels(pixels), mWidth(width), mHeight(height), mStride(stride) {
  resetClip();
}

void LineRaster::setClip(double x0, double y0, double x1, double y1) {
  mClipX0 = std::max(0.0, std::min(x0, x1));
  mClipY0 = std::max(0.0, std::min(y0, y1));
  mClipX1 = std::min(static_cast<double>(mWidth), std::max(x0, x1));
  mClipY1 = std::min(static_cast<double>(mHeight), std::max(y0, y1));
  clipChanged();
}

void LineRaster::resetClip() {
  mClipX0 = mClipY0 = 0;
  mClipX1 = mWidth;
  mClipY1 = mHeight;
  clipChanged();
}

void LineRaster::clipChanged() {
  // A pixel is inside when its index is: x >= clip x0 and x < clip x1.
  mFirstX = static_cast<int>(std::ceil(mClipX0));
  mFirstY = static_cast<int>(std::ceil(mClipY0));
  mEndX = static_cast<int>(std::ceil(mClipX1));
  mEndY = static_cast<int>(std::ceil(mClipY1));
}

void LineRaster::plot(int x, int y, double coverage) {
  if (x < mFirstX || y < mFirstY || x >= mEndX || y >= mEndY || !(coverage > 0)) return;
  const int a = std::min(255, static_cast<int>(coverage * 255 + 0.5));
  std::uint32_t& d = mPixels[static_cast<std::size_t>(y) * mStride + x];
  if (a == 255) {
    d = 0xFF000000u | mRgb;
    return;
  }
  const int dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
  const int r = (mRgb >> 16) & 0xFF, g = (mRgb >> 8) & 0xFF, b = mRgb & 0xFF;
  // Rounded to the nearest level either way (integer division alone would round toward zero).
  const auto mix = [a](int from, int to) {
    const int step = (to - from) * a;
    return static_cast<std::uint32_t>(from + (step >= 0 ? step + 127 : step - 127) / 255);
  };
  d = 0xFF000000u | (mix(dr, r) << 16) | (mix(dg, g) << 8) | mix(db, b);
}

void LineRaster::dot(double x, double y) {
  if (!(x >= mClipX0 && y >= mClipY0 && x < mClipX1 && y < mClipY1)) return;
  plot(static_cast<int>(x), static_cast<int>(y), 1);
}

void LineRaster::line(double x0, double y0, double x1, double y1) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  // A pixel's worth beyond the clip still inks the pixels along its edge.
  if (!clipToBox(x0, y0, x1, y1, mClipX0 - 1, mClipY0 - 1, mClipX1 + 1, mClipY1 + 1)) return;
  // Pixel centres at whole numbers from here on.
  x0 -= 0.5, y0 -= 0.5, x1 -= 0.5, y1 -= 0.5;
  const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
  if (steep) std::swap(x0, y0), std::swap(x1, y1);
  if (x0 > x1) std::swap(x0, x1), std::swap(y0, y1);
  auto put = [&](int major, int minor, double coverage) {
    if (steep)
      plot(minor, major, coverage);
    else
      plot(major, minor, coverage);
  };
  const double dx = x1 - x0, dy = y1 - y0;
  const double gradient = dx > 0 ? dy / dx : 0;
  // Each end inks the pixel column it falls in in full, as a stroke's cap would: the corners of a
  // polyline stay as bright as its sides.
  const double startX = std::round(x0), endX = std::round(x1);
  if (startX == endX) {
    // Within one column along its run: a dot.
    const double y = (y0 + y1) / 2;
    put(static_cast<int>(startX), static_cast<int>(std::floor(y)), 1 - fraction(y));
    put(static_cast<int>(startX), static_cast<int>(std::floor(y)) + 1, fraction(y));
    return;
  }
  const double y = y0 + gradient * (startX - x0);
  put(static_cast<int>(startX), static_cast<int>(std::floor(y)), 1 - fraction(y));
  put(static_cast<int>(startX), static_cast<int>(std::floor(y)) + 1, fraction(y));
  double intersect = y + gradient;
  const double yEnd = y1 + gradient * (endX - x1);
  put(static_cast<int>(endX), static_cast<int>(std::floor(yEnd)), 1 - fraction(yEnd));
  put(static_cast<int>(endX), static_cast<int>(std::floor(yEnd)) + 1, fraction(yEnd));
  for (int x = static_cast<int>(startX) + 1; x < static_cast<int>(endX); ++x, intersect += gradient) {
    const int row = static_cast<int>(std::floor(intersect));
    const double f = intersect - row;
    put(x, row, 1 - f);
    put(x, row + 1, f);
  }
}

void LineRaster::curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3) {
  // Chords short enough that they stray less than a tenth of a pixel from the curve: their count
  // grows with the square root of the control polygon's length, as the sagitta of an arc does.
  // Pixel coordinates, well inside a double's range: a plain square root does.
  auto distance = [](double dx, double dy) { return std::sqrt(dx * dx + dy * dy); };
  const double length = distance(x1 - x0, y1 - y0) + distance(x2 - x1, y2 - y1) + distance(x3 - x2, y3 - y2);
  const int pieces = std::clamp(static_cast<int>(std::ceil(std::sqrt(2 * length))), 1, 1000);
  double lastX = x0, lastY = y0;
  for (int i = 1; i <= pieces; ++i) {
    const double t = static_cast<double>(i) / pieces, u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    const double x = a * x0 + b * x1 + c * x2 + d * x3, y = a * y0 + b * y1 + c * y2 + d * y3;
    line(lastX, lastY, x, y);
    lastX = x;
    lastY = y;
  }
}

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

// libpng reports a failure by a long jump back to the setjmp below; no object with a destructor
// lives between the two.
bool encodeRows(png_structp png, png_infop info, png_bytep* rows, int width, int height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // A drawing is mostly background: after the "sub" filter its rows are long runs of zeros, which
  // run-length matching at the fastest level packs quickly. The file comes out about half as large
  // again as zlib's usual matching would make it, for a fraction of the time.
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_RLE);

  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  if constexpr (std::endian::native == std::endian::little) {
    // xRGB words in memory: B, G, R and the unused byte.
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
  } else {
    png_set_filler(png, 0, PNG_FILLER_BEFORE);
  }
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool encodePng(const std::uint32_t* pixels, int width, int height, int stride, std::string& out, std::string& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    error = textInLanguage("out of memory for the PNG encoder", "PNG 编码器内存不足");
    return false;
  }
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[static_cast<std::size_t>(y)] =
        reinterpret_cast<png_bytep>(const_cast<std::uint32_t*>(pixels + static_cast<std::size_t>(y) * stride));
  png_set_write_fn(png, &out, appendBytes, flushNothing);
  const bool done = encodeRows(png, info, rows.data(), width, height);
  png_destroy_write_struct(&png, &info);
  if (!done) error = textInLanguage("the PNG encoder failed", "PNG 编码失败");
  return done;
}

}  // namespace zrxhost::render
