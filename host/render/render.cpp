// SVG, PNG and PDF pictures of a drawing: the scene fitted into the picture or onto a sheet, painted with cairo.
#include "zrxhost/render.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "render/raster.h"
#include "render/scene.h"
#include "zrx/string.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/fonts.h"
#include "zrxhost/messages.h"

namespace zrxhost {
namespace {

using render::LineRaster;
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

// The view of the window [minX, maxX] × [minY, maxY], uniformly scaled and centred in the picture.
void fitWindow(double minX, double minY, double maxX, double maxY, int width, int maxHeight, View& view) {
  const double w = maxX - minX, h = maxY - minY;
  view.width = width;
  view.scale = width / w;
  double height = std::round(h * view.scale);
  if (height > maxHeight) {
    height = maxHeight;
    view.scale = height / h;
  }
  view.height = std::max(1, static_cast<int>(height));
  view.originX = (minX + maxX) / 2 - view.width / 2.0 / view.scale;
  view.originY = (minY + maxY) / 2 + view.height / 2.0 / view.scale;
}

// The window of the drawing a picture shows: options.view, else the extents with a margin, else (an
// empty drawing) a blank 4:3 window of `widthPixels` drawing units around the origin.
bool shownWindow(const Scene& scene, const RenderOptions& options, int widthPixels, double window[4],
                 std::string& error) {
  if (options.hasView) {
    const double* v = options.view;
    const double w = v[2] - v[0], h = v[3] - v[1];
    if (!std::isfinite(w) || !std::isfinite(h) || !(w > 0) || !(h > 0)) {
      error = textInLanguage("the view window must have a finite, positive width and height",
                             "视图窗口的宽度和高度必须为有限正数");
      return false;
    }
    std::copy(v, v + 4, window);
    return true;
  }
  const render::Bounds& b = scene.extents();
  if (!b.valid) {
    const double halfHeight = std::max(1, widthPixels * 3 / 4) / 2.0;
    window[0] = -widthPixels / 2.0, window[1] = -halfHeight, window[2] = widthPixels / 2.0, window[3] = halfHeight;
    return true;
  }
  double w = b.maxX - b.minX;
  double h = b.maxY - b.minY;
  double size = std::max(w, h);
  // A drawing of one point (or whose size is lost in its coordinates' precision) gets a unit view.
  const double magnitude = std::max({1.0, std::fabs(b.minX), std::fabs(b.maxX), std::fabs(b.minY), std::fabs(b.maxY)});
  if (!(size > magnitude * 1e-12) || !std::isfinite(size)) {
    // Far-out copies only, spread wider than a double can measure: show the first corner.
    size = std::isfinite(size) && size > magnitude * 1e-12 ? size : std::max(1.0, std::fabs(b.minX) * 1e-9);
    w = h = size;
    if (!std::isfinite(size) || !std::isfinite(b.minX + size) || !std::isfinite(b.minY + size)) size = 1, w = h = 1;
  }
  const double fraction = std::isfinite(options.marginFraction) ? std::clamp(options.marginFraction, 0.0, 0.45) : 0.05;
  const double margin = fraction * size;
  // A straight horizontal or vertical drawing still needs some room across.
  const double viewW = std::max(w, size * 0.01) + 2 * margin;
  const double viewH = std::max(h, size * 0.01) + 2 * margin;
  const double centerX = std::isfinite(b.maxX - b.minX) ? b.minX / 2 + b.maxX / 2 : b.minX;
  const double centerY = std::isfinite(b.maxY - b.minY) ? b.minY / 2 + b.maxY / 2 : b.minY;
  window[0] = centerX - viewW / 2, window[1] = centerY - viewH / 2;
  window[2] = centerX + viewW / 2, window[3] = centerY + viewH / 2;
  return true;
}

bool fitView(const Scene& scene, const RenderOptions& options, View& view, std::string& error) {
  if (options.widthPixels < 1 || options.widthPixels > kMaxSide) {
    error = textInLanguage("the picture width must be between 1 and {} pixels", "图片宽度必须在 1 到 {} 像素之间",
                           std::to_string(kMaxSide));
    return false;
  }
  double window[4];
  if (!shownWindow(scene, options, options.widthPixels, window, error)) return false;
  const int maxHeight = std::min(kMaxSide, std::max(options.widthPixels * 4, 1));
  fitWindow(window[0], window[1], window[2], window[3], options.widthPixels, maxHeight, view);
  return true;
}

// A PostScript point in millimetres, and the margin a printer leaves around the sheet.
constexpr double kMmPerPoint = 25.4 / 72;
constexpr double kPaperMarginMm = 10;

// The view of a sheet in points: landscape when the window is wider than tall, the window fitted
// inside the margin and centred. `pageWidth`, `pageHeight`: the sheet's size in points.
bool fitPaper(const Scene& scene, const RenderOptions& options, View& view, double& pageWidth, double& pageHeight,
              std::string& error) {
  const double shortMm = options.paperMm[0], longMm = options.paperMm[1];
  if (!(shortMm > 2 * kPaperMarginMm) || !(longMm >= shortMm) || !std::isfinite(longMm) || longMm > 10000) {
    error = textInLanguage("the paper must be more than 20 mm and at most 10 m on each side",
                           "纸张每边必须大于 20 毫米且不超过 10 米");
    return false;
  }
  double window[4];
  if (!shownWindow(scene, options, 1600, window, error)) return false;
  const double w = window[2] - window[0], h = window[3] - window[1];
  const bool landscape = w > h;
  pageWidth = (landscape ? longMm : shortMm) / kMmPerPoint;
  pageHeight = (landscape ? shortMm : longMm) / kMmPerPoint;
  const double margin = kPaperMarginMm / kMmPerPoint;
  view.scale = std::min((pageWidth - 2 * margin) / w, (pageHeight - 2 * margin) / h);
  view.width = static_cast<int>(std::ceil(pageWidth));
  view.height = static_cast<int>(std::ceil(pageHeight));
  view.originX = (window[0] + window[2]) / 2 - pageWidth / 2 / view.scale;
  view.originY = (window[1] + window[3]) / 2 + pageHeight / 2 / view.scale;
  if (!std::isfinite(view.scale) || !(view.scale > 0) || !std::isfinite(view.originX) || !std::isfinite(view.originY)) {
    error = textInLanguage("the view window cannot be fitted to the paper", "视图窗口无法适配到纸张");
    return false;
  }
  return true;
}

void setColor(cairo_t* cr, std::uint32_t rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

// A text less high than this in pixels is drawn as its baseline.
constexpr double kTextDetailPixels = 2;

// Pixel coordinates past this are cut before cairo sees them (its fixed-point numbers end near 8e6).
constexpr double kPixelLimit = 1e5;

// Cuts the segment to the picture's box grown by a margin; false when nothing of it is inside.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double lo, double hiX, double hiY) {
  return render::clipToBox(x0, y0, x1, y1, lo, lo, hiX, hiY);
}

// A stroked item's pieces as one-pixel lines, on pixel centres as cairo's strokes are placed.
void rasterStroke(LineRaster& raster, const render::SceneItem& item, const std::vector<PathOp>& ops,
                  const std::vector<double>& pixels, bool huge, double lo, double hiX, double hiY) {
  auto snap = [](double v) { return std::floor(v) + 0.5; };
  raster.setColor(item.rgb);
  if (ops.size() == 1) {
    raster.dot(pixels[0], pixels[1]);  // a polyline of one point
    return;
  }
  double lastX = 0, lastY = 0, startX = 0, startY = 0;
  auto segment = [&](double x1, double y1) {
    double ax = lastX, ay = lastY, bx = x1, by = y1;
    // Far-out pieces are cut to the picture first, where doubles still hold their pixels.
    if (!huge || clipSegment(ax, ay, bx, by, lo, hiX, hiY)) raster.line(snap(ax), snap(ay), snap(bx), snap(by));
    lastX = x1;
    lastY = y1;
  };
  std::size_t k = 0;
  for (const PathOp& op : ops) {
    switch (op.kind) {
      case PathOp::kMove:
        lastX = startX = pixels[k];
        lastY = startY = pixels[k + 1];
        k += 2;
        break;
      case PathOp::kLine:
        segment(pixels[k], pixels[k + 1]);
        k += 2;
        break;
      case PathOp::kCurve:
        if (huge) {
          segment(pixels[k + 4], pixels[k + 5]);  // a far-out curve is all but straight in the picture
        } else {
          raster.curve(lastX, lastY, pixels[k], pixels[k + 1], pixels[k + 2], pixels[k + 3], pixels[k + 4],
                       pixels[k + 5]);
          lastX = pixels[k + 4];
          lastY = pixels[k + 5];
        }
        k += 6;
        break;
      case PathOp::kClose:
        segment(startX, startY);
        lastX = startX;
        lastY = startY;
        break;
    }
  }
}

// Sets texts on a sheet as text in their fonts: each FreeType face becomes a cairo font face once.
class PaperText {
 public:
  PaperText() {
    mOptions = cairo_font_options_create();
    cairo_font_options_set_hint_style(mOptions, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(mOptions, CAIRO_HINT_METRICS_OFF);
  }
  PaperText(const PaperText&) = delete;
  PaperText& operator=(const PaperText&) = delete;
  ~PaperText() {
    for (auto& [face, fontFace] : mFaces) cairo_font_face_destroy(fontFace);
    cairo_font_options_destroy(mOptions);
  }

  // Shows the text's glyphs as text, in runs of one face; false (nothing drawn) when a glyph has no
  // font file behind it or the text is too small or too large on the sheet for a font engine.
  bool show(cairo_t* cr, const render::SceneText& text, const View& view) {
    if (text.font == nullptr || text.glyphs.empty()) return false;
    const double* m = text.m;
    const double s = view.scale;
    cairo_matrix_t placement;
    cairo_matrix_init(&placement, s * m[0], -s * m[2], -s * m[1], s * m[3], s * (m[4] - view.originX),
                      s * (view.originY - m[5]));
    const double points = text.height() * s;
    if (!(points > 0.01 && points < 1e4) || cairo_matrix_invert(&placement) != CAIRO_STATUS_SUCCESS) return false;
    cairo_matrix_invert(&placement);
    mRuns.clear();
    for (const render::SceneText::Glyph& glyph : text.glyphs) {
      const Font::FaceGlyph faceGlyph = text.font->faceGlyph(glyph.c);
      if (faceGlyph.face == nullptr || !(faceGlyph.emInCaps > 0)) return false;
      if (mRuns.empty() || mRuns.back().face != faceGlyph.face)
        mRuns.push_back({faceGlyph.face, faceGlyph.emInCaps, {}, {}, {}});
      Run& run = mRuns.back();
      run.glyphs.push_back({faceGlyph.glyph, glyph.pen, 0});
      const std::string utf8 = utf32ToUtf8(std::u32string_view(&glyph.c, 1));
      run.utf8 += utf8;
      run.clusters.push_back({static_cast<int>(utf8.size()), 1});
    }
    cairo_save(cr);
    cairo_set_matrix(cr, &placement);
    cairo_set_font_options(cr, mOptions);
    for (const Run& run : mRuns) {
      cairo_set_font_face(cr, fontFace(run.face));
      cairo_set_font_size(cr, run.emInCaps);
      cairo_show_text_glyphs(cr, run.utf8.data(), static_cast<int>(run.utf8.size()), run.glyphs.data(),
                             static_cast<int>(run.glyphs.size()), run.clusters.data(),
                             static_cast<int>(run.clusters.size()), static_cast<cairo_text_cluster_flags_t>(0));
    }
    cairo_restore(cr);
    return true;
  }

 private:
  struct Run {
    FT_FaceRec_* face;
    double emInCaps;
    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
    std::string utf8;
  };

  cairo_font_face_t* fontFace(FT_FaceRec_* face) {
    cairo_font_face_t*& slot = mFaces[face];
    if (slot == nullptr) slot = cairo_ft_font_face_create_for_ft_face(face, FT_LOAD_NO_HINTING);
    return slot;
  }

  cairo_font_options_t* mOptions = nullptr;
  std::map<FT_FaceRec_*, cairo_font_face_t*> mFaces;
  std::vector<Run> mRuns;
};

// A plot's line: 0.25 mm, the usual thinnest pen.
constexpr double kPaperLineMm = 0.25;

// Strokes go to cairo, or with `raster` (a picture, not a vector file) straight into the pixels:
// for a one-pixel line that is several times faster than cairo's general stroker, and a drawing
// is mostly such lines. Fills stay with cairo, in their turn. With `paper` the sheet is white,
// colour 7 is black, lines are a plot's pen width at their exact places, and texts are text.
void paint(cairo_t* cr, const Scene& scene, const View& view, LineRaster* raster = nullptr,
           PaperText* paper = nullptr) {
  auto ink = [paper](std::uint32_t rgb) { return paper != nullptr && rgb == 0xFFFFFF ? 0 : rgb; };
  setColor(cr, paper != nullptr ? 0xFFFFFF : kBackgroundRgb);
  cairo_paint(cr);
  cairo_set_line_width(cr, paper != nullptr ? kPaperLineMm / kMmPerPoint : 1.0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  auto px = [&](double x) { return (x - view.originX) * view.scale; };
  auto py = [&](double y) { return (view.originY - y) * view.scale; };
  // A one-pixel stroke centred on a pixel centre stays one crisp pixel wide in its own colour.
  auto snap = [crisp = paper == nullptr](double v) { return crisp ? std::floor(v) + 0.5 : v; };
  const double lo = -2, hiX = view.width + 2, hiY = view.height + 2;
  std::vector<double> pixels;
  int clip = -1;
  // Whether cairo may hold drawing of its own not yet in the pixels (and must hear of ours).
  bool cairoOwnsPixels = true;
  std::vector<PathOp> textOps;
  for (const render::SceneItem& item : scene.items) {
    if (item.clip != clip) {
      clip = item.clip;
      cairo_reset_clip(cr);
      if (clip >= 0 && static_cast<std::size_t>(clip) < scene.clips.size()) {
        const render::ClipRect& r = scene.clips[static_cast<std::size_t>(clip)];
        const double x0 = std::clamp(px(r.minX), -kPixelLimit, kPixelLimit);
        const double x1 = std::clamp(px(r.maxX), -kPixelLimit, kPixelLimit);
        const double y0 = std::clamp(py(r.maxY), -kPixelLimit, kPixelLimit);
        const double y1 = std::clamp(py(r.minY), -kPixelLimit, kPixelLimit);
        cairo_new_path(cr);
        cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
        cairo_clip(cr);
        if (raster != nullptr) raster->setClip(x0, y0, x1, y1);
      } else if (raster != nullptr) {
        raster->resetClip();
      }
    }
    const std::vector<PathOp>* itemOps = &item.ops;
    if (item.text >= 0) {
      const render::SceneText& text = scene.texts[static_cast<std::size_t>(item.text)];
      if (raster != nullptr && text.height() * view.scale < kTextDetailPixels) {
        // Too small to read: the line along its baseline is what the eye sees of it anyway.
        if (cairoOwnsPixels) {
          cairo_surface_flush(cairo_get_target(cr));
          cairoOwnsPixels = false;
        }
        double x0 = px(text.m[4]), y0 = py(text.m[5]);
        double x1 = px(text.m[0] * text.length + text.m[4]), y1 = py(text.m[2] * text.length + text.m[5]);
        raster->setColor(item.rgb);
        if (clipSegment(x0, y0, x1, y1, lo, hiX, hiY)) raster->line(x0, y0, x1, y1);
        continue;
      }
      render::textOps(text, textOps);
      itemOps = &textOps;
    }
    const std::vector<PathOp>& ops = *itemOps;
    // The item's pixel coordinates and their box: items off the picture are skipped whole.
    pixels.clear();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const PathOp& op : ops) {
      const int points = op.kind == PathOp::kCurve ? 3 : (op.kind == PathOp::kClose ? 0 : 1);
      for (int i = 0; i < points; ++i) {
        const double x = px(op.p[2 * i]), y = py(op.p[2 * i + 1]);
        pixels.push_back(x);
        pixels.push_back(y);
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
    }
    if (!(maxX >= lo && minX <= hiX && maxY >= lo && minY <= hiY)) continue;
    const bool huge = minX < -kPixelLimit || minY < -kPixelLimit || maxX > kPixelLimit || maxY > kPixelLimit;
    if (paper != nullptr && item.text >= 0 && !huge) {
      setColor(cr, ink(item.rgb));
      if (paper->show(cr, scene.texts[static_cast<std::size_t>(item.text)], view)) continue;
    }
    if (raster != nullptr && !item.filled) {
      if (cairoOwnsPixels) {
        cairo_surface_flush(cairo_get_target(cr));
        cairoOwnsPixels = false;
      }
      rasterStroke(*raster, item, ops, pixels, huge, lo, hiX, hiY);
      continue;
    }
    if (raster != nullptr && !cairoOwnsPixels) {
      cairo_surface_mark_dirty(cairo_get_target(cr));
      cairoOwnsPixels = true;
    }
    cairo_new_path(cr);
    std::size_t k = 0;
    if (huge && !item.filled) {
      // Only the part of each piece inside the picture; curves by their chords (a far-out piece
      // crossing the picture is all but straight there).
      double lastX = 0, lastY = 0, startX = 0, startY = 0;
      auto segment = [&](double x1, double y1) {
        double ax = lastX, ay = lastY, bx = x1, by = y1;
        if (clipSegment(ax, ay, bx, by, lo, hiX, hiY)) {
          cairo_move_to(cr, snap(ax), snap(ay));
          cairo_line_to(cr, snap(bx), snap(by));
        }
        lastX = x1;
        lastY = y1;
      };
      for (const PathOp& op : ops) {
        if (op.kind == PathOp::kMove) {
          lastX = startX = pixels[k];
          lastY = startY = pixels[k + 1];
          k += 2;
        } else if (op.kind == PathOp::kLine) {
          segment(pixels[k], pixels[k + 1]);
          k += 2;
        } else if (op.kind == PathOp::kCurve) {
          segment(pixels[k + 4], pixels[k + 5]);
          k += 6;
        } else {
          segment(startX, startY);
        }
      }
    } else {
      auto at = [&](std::size_t i) { return huge ? std::clamp(pixels[i], -kPixelLimit, kPixelLimit) : pixels[i]; };
      for (const PathOp& op : ops) {
        switch (op.kind) {
          case PathOp::kMove:
            if (item.filled)
              cairo_move_to(cr, at(k), at(k + 1));
            else
              cairo_move_to(cr, snap(at(k)), snap(at(k + 1)));
            k += 2;
            break;
          case PathOp::kLine:
            if (item.filled)
              cairo_line_to(cr, at(k), at(k + 1));
            else
              cairo_line_to(cr, snap(at(k)), snap(at(k + 1)));
            k += 2;
            break;
          case PathOp::kCurve:
            cairo_curve_to(cr, at(k), at(k + 1), at(k + 2), at(k + 3), at(k + 4), at(k + 5));
            k += 6;
            break;
          case PathOp::kClose:
            cairo_close_path(cr);
            break;
        }
      }
    }
    setColor(cr, ink(item.rgb));
    if (item.filled) {
      cairo_set_fill_rule(cr, item.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
      cairo_fill(cr);
    } else if (ops.size() == 1) {
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
  if (raster != nullptr && !cairoOwnsPixels) cairo_surface_mark_dirty(cairo_get_target(cr));
  cairo_reset_clip(cr);
  for (const render::SceneRay& ray : scene.rays) {
    // Far enough both ways to cross the whole picture, then cut to it.
    const double x0 = px(ray.x), y0 = py(ray.y), dx = ray.dx * view.scale, dy = -ray.dy * view.scale;
    const double len = std::hypot(dx, dy);
    if (!(len > 0) || !std::isfinite(x0) || !std::isfinite(y0)) continue;
    const double reach = (std::hypot(x0, y0) + view.width + view.height) / len * 2;
    double ax = ray.bothWays ? x0 - dx * reach : x0, ay = ray.bothWays ? y0 - dy * reach : y0;
    double bx = x0 + dx * reach, by = y0 + dy * reach;
    if (!clipSegment(ax, ay, bx, by, lo, hiX, hiY)) continue;
    cairo_new_path(cr);
    cairo_move_to(cr, snap(ax), snap(ay));
    cairo_line_to(cr, snap(bx), snap(by));
    setColor(cr, ink(ray.rgb));
    cairo_stroke(cr);
  }
}

// The scene of the drawing, and what it left out said to `options.warnings`.
bool buildSaying(ZcDbDatabase& db, const RenderOptions& options, Scene& scene, std::string& error) {
  if (!render::buildScene(db, scene, error)) return false;
  if (scene.nestedCut && options.warnings != nullptr) {
    options.warnings->push_back(textInLanguage(
        "blocks insert each other so many times over that an insert draws only the first {} entities of the "
        "blocks nested in its block",
        "块相互插入的次数过多：一个插入只绘制其块中嵌套块的前 {} 个实体", std::to_string(kMaxNestedVisits)));
  }
  return true;
}

bool prepare(ZcDbDatabase& db, const RenderOptions& options, Scene& scene, View& view, std::string& error) {
  return buildSaying(db, options, scene, error) && fitView(scene, options, view, error);
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
  error = textInLanguage("drawing failed: {}", "绘制失败：{}", cairo_status_to_string(status));
  return true;
}

// Paints the drawing on an image surface; null and `error` on failure.
SurfacePtr paintImage(ZcDbDatabase& db, const RenderOptions& options, View& view, std::string& error) {
  Scene scene;
  if (!prepare(db, options, scene, view, error)) return nullptr;
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.width, view.height));
  if (cairoFailed(cairo_surface_status(surface.get()), error)) return nullptr;
  ContextPtr cr(cairo_create(surface.get()));
  cairo_surface_flush(surface.get());
  LineRaster raster(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface.get())), view.width,
                    view.height, cairo_image_surface_get_stride(surface.get()) / 4);
  paint(cr.get(), scene, view, &raster);
  if (cairoFailed(cairo_status(cr.get()), error)) return nullptr;
  cr.reset();
  cairo_surface_flush(surface.get());
  return surface;
}

constexpr Paper kPapers[] = {
    {"A0", 841, 1189}, {"A1", 594, 841},         {"A2", 420, 594},        {"A3", 297, 420},          {"A4", 210, 297},
    {"A5", 148, 210},  {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6}, {"Tabloid", 279.4, 431.8},
};

}  // namespace

const Paper* paperNamed(std::string_view name) {
  for (const Paper& paper : kPapers) {
    const std::string_view known = paper.name;
    if (known.size() == name.size() && std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return &paper;
  }
  return nullptr;
}

std::string paperNames() {
  std::string names;
  for (const Paper& paper : kPapers) names += (names.empty() ? "" : ", ") + std::string(paper.name);
  return names;
}

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

bool renderPdf(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options) {
  Scene scene;
  View view;
  double pageWidth = 0, pageHeight = 0;
  if (!buildSaying(db, options, scene, error) || !fitPaper(scene, options, view, pageWidth, pageHeight, error))
    return false;
  std::string bytes;
  {
    PaperText paper;
    SurfacePtr surface(cairo_pdf_surface_create_for_stream(appendToString, &bytes, pageWidth, pageHeight));
    if (cairoFailed(cairo_surface_status(surface.get()), error)) return false;
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "zrxhost");
    ContextPtr cr(cairo_create(surface.get()));
    paint(cr.get(), scene, view, nullptr, &paper);
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
  const auto* pixels = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface.get()));
  if (!render::encodePng(pixels, view.width, view.height, cairo_image_surface_get_stride(surface.get()) / 4, bytes,
                         error)) {
    return false;
  }
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
