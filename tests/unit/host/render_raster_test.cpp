// The picture's own line drawing and PNG encoder: where lines ink, how much, the clip, far-out
// lines, and PNG bytes that decode to the pixels.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "render/raster.h"

namespace {

using zrxhost::render::encodePng;
using zrxhost::render::LineRaster;

constexpr std::uint32_t kBlack = 0xFF000000;

struct Image {
  int width, height;
  std::vector<std::uint32_t> pixels;
  Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, kBlack) {}
  // The red channel as coverage: lines are drawn in white over black.
  double at(int x, int y) const { return ((pixels[static_cast<size_t>(y) * width + x] >> 16) & 0xFF) / 255.0; }
  double total() const {
    double sum = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) sum += at(x, y);
    return sum;
  }
};

TEST(RenderRaster, LinesInkOnePixelPerStepAsBrightAsTheyAreLong) {
  Image image(40, 30);
  LineRaster raster(image.pixels.data(), image.width, image.height, image.width);
  raster.setColor(0xFFFFFF);
  // Through pixel centres: one crisp row, its ends included.
  raster.line(5.5, 10.5, 25.5, 10.5);
  for (int x = 5; x <= 25; ++x) EXPECT_EQ(image.at(x, 10), 1.0) << x;
  EXPECT_EQ(image.at(4, 10), 0.0);
  EXPECT_EQ(image.at(26, 10), 0.0);
  EXPECT_DOUBLE_EQ(image.total(), 21);

  // A steep line between rows of pixels: two columns share each row's ink, about one pixel a row.
  Image steep(40, 30);
  LineRaster steepRaster(steep.pixels.data(), steep.width, steep.height, steep.width);
  steepRaster.setColor(0xFFFFFF);
  steepRaster.line(10, 2.5, 14, 26.5);
  for (int y = 4; y <= 25; ++y) {
    double row = 0;
    for (int x = 0; x < steep.width; ++x) row += steep.at(x, y);
    EXPECT_NEAR(row, 1.0, 0.02) << y;
  }
  // Nothing strays more than a pixel from the line.
  for (int y = 0; y < steep.height; ++y) {
    for (int x = 0; x < steep.width; ++x) {
      if (steep.at(x, y) == 0) continue;
      const double t = (y + 0.5 - 2.5) / 24, lineX = 10 + 4 * t;
      EXPECT_LT(std::fabs(x + 0.5 - lineX), 1.5) << x << "," << y;
    }
  }
}

TEST(RenderRaster, CurvesClipsAndFarOutLines) {
  Image image(60, 60);
  LineRaster raster(image.pixels.data(), image.width, image.height, image.width);
  raster.setColor(0xFFFFFF);
  // A quarter circle of radius 20 about (10, 10) as a cubic: every inked pixel near the circle.
  const double k = 0.5523 * 20;
  raster.curve(30, 10, 30, 10 + k, 10 + k, 30, 10, 30);
  double ink = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.at(x, y) == 0) continue;
      ink += image.at(x, y);
      EXPECT_NEAR(std::hypot(x + 0.5 - 10, y + 0.5 - 10), 20, 1.3) << x << "," << y;
    }
  }
  EXPECT_NEAR(ink, M_PI * 20 / 2, 4);  // about a pixel per pixel of length

  // Cut to the clip: nothing left of x = 20 or below y = 40.
  Image clipped(60, 60);
  LineRaster clipping(clipped.pixels.data(), clipped.width, clipped.height, clipped.width);
  clipping.setColor(0xFFFFFF);
  clipping.setClip(20, 0, 60, 40);
  clipping.line(0.5, 50.5, 59.5, 0.5);
  clipping.line(-1e9, 30.5, 1e9, 30.5);  // far-out ends: cut, not overflowed
  clipping.line(-1e300, 35.5, 1e300, 35.5);
  clipping.line(NAN, 1, 5, 5);
  for (int y = 0; y < clipped.height; ++y) {
    for (int x = 0; x < clipped.width; ++x) {
      if (x < 20 || y >= 40) {
        EXPECT_EQ(clipped.at(x, y), 0.0) << x << "," << y;
      }
    }
  }
  for (int x = 20; x < 60; ++x) EXPECT_EQ(clipped.at(x, 30), 1.0) << x;
  clipping.resetClip();
  clipping.line(0.5, 55.5, 10.5, 55.5);
  EXPECT_EQ(clipped.at(3, 55), 1.0);
}

// Reads PNG bytes back through cairo.
struct Reader {
  const std::string& bytes;
  size_t at = 0;
  static cairo_status_t read(void* closure, unsigned char* data, unsigned int length) {
    auto* self = static_cast<Reader*>(closure);
    if (self->at + length > self->bytes.size()) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, self->bytes.data() + self->at, length);
    self->at += length;
    return CAIRO_STATUS_SUCCESS;
  }
};

TEST(RenderRaster, PngBytesDecodeToThePixels) {
  const int width = 37, height = 23, stride = 40;  // rows with padding
  std::vector<std::uint32_t> pixels(static_cast<size_t>(stride) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < stride; ++x)
      pixels[static_cast<size_t>(y) * stride + x] =
          0xFF000000u | static_cast<std::uint32_t>(x * 7 << 16 | y * 11 << 8 | (x ^ y));
  std::string bytes, error;
  ASSERT_TRUE(encodePng(pixels.data(), width, height, stride, bytes, error)) << error;
  Reader reader{bytes};
  cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(Reader::read, &reader);
  ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(decoded), width);
  EXPECT_EQ(cairo_image_surface_get_height(decoded), height);
  const int decodedStride = cairo_image_surface_get_stride(decoded) / 4;
  const auto* data = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(decoded));
  int wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      wrong += (data[static_cast<size_t>(y) * decodedStride + x] & 0xFFFFFF) !=
               (pixels[static_cast<size_t>(y) * stride + x] & 0xFFFFFF);
  EXPECT_EQ(wrong, 0);
  cairo_surface_destroy(decoded);
}

}  // namespace
