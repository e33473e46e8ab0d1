// SVG and PNG pictures of a drawing: the scene fitted into the picture and painted with cairo.
#include "zrxhost/render.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include "render/scene.h"

namespace zrxhost {
namespace {

using render::PathOp;
using render::Scene;

// Large enough for a wall plot, small enough that an image surface always fits in memory.
constexpr int kMaxSide = 16384;

struct View {
  int width = 0;
  int height = 0;
  double scale = 1;
  double originX = 0;
  double originY = 0;
};

bool fitView(const Scene& scene, const RenderOptions& options, View& view, std::string& error) {
  if (options.widthPixels < 1 || options.widthPixels > kMaxSide) {
    error = "the picture width must be between 1 and " + std::to_string(kMaxSide) + " pixels";
    return false;
  }
  view.width = options.widthPixels;
  const render::Bounds& b = scene.bounds;
  if (!b.valid) {
    // Nothing to fit: a blank 4:3 picture with the drawing's origin in the middle.
    view.height = std::max(1, view.width * 3 / 4);
    view.originX = -view.width / 2.0;
    view.originY = view.height / 2.0;
    return true;
  }
  double w = b.maxX - b.minX;
  double h = b.maxY - b.minY;
  double size = std::max(w, h);
  // A drawing of one point (or whose size is lost in its coordinates' precision) gets a unit view.
  const double magnitude = std::max({1.0, std::fabs(b.minX), std::fabs(b.maxX), std::fabs(b.minY), std::fabs(b.maxY)});
  if (!(size > magnitude * 1e-12)) size = std::max(1.0, magnitude * 1e-9);
  if (!std::isfinite(size)) {
    error = "the drawing's extents are not finite";
    return false;
  }
  const double fraction = std::isfinite(options.marginFraction) ? std::clamp(options.marginFraction, 0.0, 0.45) : 0.05;
  const double margin = fraction * size;
  // A straight horizontal or vertical drawing still needs some room across.
  const double viewW = std::max(w, size * 0.01) + 2 * margin;
  const double viewH = std::max(h, size * 0.01) + 2 * margin;
  view.scale = view.width / viewW;
  double height = std::ceil(viewH * view.scale);
  const int maxHeight = std::min(kMaxSide, std::max(view.width * 4, 1));
  if (height > maxHeight) {
    height = maxHeight;
    view.scale = height / viewH;
  }
  view.height = std::max(1, static_cast<int>(height));
  const double centerX = (b.minX + b.maxX) / 2;
  const double centerY = (b.minY + b.maxY) / 2;
  view.originX = centerX - view.width / 2.0 / view.scale;
  view.originY = centerY + view.height / 2.0 / view.scale;
  return true;
}

void setColor(cairo_t* cr, std::uint32_t rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

void paint(cairo_t* cr, const Scene& scene, const View& view) {
  setColor(cr, kBackgroundRgb);
  cairo_paint(cr);
  cairo_set_line_width(cr, 1.0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  auto px = [&](double x) { return (x - view.originX) * view.scale; };
  auto py = [&](double y) { return (view.originY - y) * view.scale; };
  // A one-pixel stroke centred on a pixel centre stays one crisp pixel wide in its own colour.
  auto snap = [](double v) { return std::floor(v) + 0.5; };
  for (const render::SceneItem& item : scene.items) {
    cairo_new_path(cr);
    for (const PathOp& op : item.ops) {
      switch (op.kind) {
        case PathOp::kMove:
          if (item.filled)
            cairo_move_to(cr, px(op.p[0]), py(op.p[1]));
          else
            cairo_move_to(cr, snap(px(op.p[0])), snap(py(op.p[1])));
          break;
        case PathOp::kLine:
          if (item.filled)
            cairo_line_to(cr, px(op.p[0]), py(op.p[1]));
          else
            cairo_line_to(cr, snap(px(op.p[0])), snap(py(op.p[1])));
          break;
        case PathOp::kCurve:
          cairo_curve_to(cr, px(op.p[0]), py(op.p[1]), px(op.p[2]), py(op.p[3]), px(op.p[4]), py(op.p[5]));
          break;
        case PathOp::kClose:
          cairo_close_path(cr);
          break;
      }
    }
    setColor(cr, item.rgb);
    if (item.filled) {
      cairo_fill(cr);
    } else if (item.ops.size() == 1) {
      // A polyline of one point is a dot.
      double x = 0, y = 0;
      cairo_get_current_point(cr, &x, &y);
      cairo_new_path(cr);
      cairo_rectangle(cr, x - 0.5, y - 0.5, 1, 1);
      cairo_fill(cr);
    } else {
      cairo_stroke(cr);
    }
  }
}

bool prepare(ZcDbDatabase& db, const RenderOptions& options, Scene& scene, View& view, std::string& error) {
  return render::buildScene(db, scene, error) && fitView(scene, options, view, error);
}

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Writes beside the target and renames over it when complete, so a failed write leaves the old file.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  std::string temp = path + ".tmp-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; a picture is as readable as the file it replaces (or 0644).
  struct stat old {};
  fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(errno);
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

bool cairoFailed(cairo_status_t status, std::string& error) {
  if (status == CAIRO_STATUS_SUCCESS) return false;
  error = std::string("drawing failed: ") + cairo_status_to_string(status);
  return true;
}

// Paints the drawing on an image surface; null and `error` on failure.
SurfacePtr paintImage(ZcDbDatabase& db, const RenderOptions& options, View& view, std::string& error) {
  Scene scene;
  if (!prepare(db, options, scene, view, error)) return nullptr;
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.width, view.height));
  if (cairoFailed(cairo_surface_status(surface.get()), error)) return nullptr;
  ContextPtr cr(cairo_create(surface.get()));
  paint(cr.get(), scene, view);
  if (cairoFailed(cairo_status(cr.get()), error)) return nullptr;
  cr.reset();
  cairo_surface_flush(surface.get());
  return surface;
}

}  // namespace

bool renderSvg(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options) {
  Scene scene;
  View view;
  if (!prepare(db, options, scene, view, error)) return false;
  std::string bytes;
  {
    SurfacePtr surface(cairo_svg_surface_create_for_stream(appendToString, &bytes, view.width, view.height));
    if (cairoFailed(cairo_surface_status(surface.get()), error)) return false;
    cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
    ContextPtr cr(cairo_create(surface.get()));
    paint(cr.get(), scene, view);
    if (cairoFailed(cairo_status(cr.get()), error)) return false;
    cr.reset();
    cairo_surface_finish(surface.get());
    if (cairoFailed(cairo_surface_status(surface.get()), error)) return false;
  }
  return writeFileAtomically(path, bytes, error);
}

bool renderPng(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options) {
  View view;
  SurfacePtr surface = paintImage(db, options, view, error);
  if (!surface) return false;
  std::string bytes;
  if (cairoFailed(cairo_surface_write_to_png_stream(surface.get(), appendToString, &bytes), error)) return false;
  return writeFileAtomically(path, bytes, error);
}

bool renderPicture(ZcDbDatabase& db, Picture& picture, std::string& error, const RenderOptions& options) {
  View view;
  SurfacePtr surface = paintImage(db, options, view, error);
  if (!surface) return false;
  picture.width = view.width;
  picture.height = view.height;
  picture.scale = view.scale;
  picture.originX = view.originX;
  picture.originY = view.originY;
  picture.pixels.resize(static_cast<size_t>(view.width) * view.height);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < view.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < view.width; ++x) picture.pixels[static_cast<size_t>(y) * view.width + x] = row[x] & 0xFFFFFF;
  }
  return true;
}

}  // namespace zrxhost
