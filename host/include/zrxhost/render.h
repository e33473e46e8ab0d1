// Pictures of a drawing: SVG, PNG and PDF with cairo.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ZcDbDatabase;

namespace zrxhost {

struct RenderOptions {
  int widthPixels = 1600;  // PNG size; the height follows the drawing's aspect
  double marginFraction = 0.05;
  // A window of the drawing (minX, minY, maxX, maxY) to show exactly, without margin, instead of
  // the drawing's extents; the height then follows the window's aspect.
  bool hasView = false;
  double view[4] = {0, 0, 0, 0};
  // A PDF's paper, short side and long side in millimetres; it is turned to the view's shape.
  double paperMm[2] = {210, 297};
  // Where a picture says what it had to leave out (blocks nested past the bound), when given.
  std::vector<std::string>* warnings = nullptr;
};

// A paper size by its name.
struct Paper {
  const char* name;
  double shortMm, longMm;
};
// The paper of that name (A0 … A5, Letter, Legal, Tabloid; any case); null when there is none.
const Paper* paperNamed(std::string_view name);
// Every paper's name, for messages: "A0, A1, …".
std::string paperNames();

// The current space fitted to its extents (of the part near the origin when copies lie far out) with a margin, on a
// dark background, colours by the standard colour index, texts from their glyph outlines. False and `error` on failure.
bool renderSvg(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options = {});
bool renderPng(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options = {});
// The same on paper, as a plot: a white sheet of options.paperMm, landscape when the view is wider
// than tall, the drawing fitted inside a margin, colour 7 in black, vector paths, and texts set as
// text in their font (so a PDF viewer finds them) wherever the font is a file cairo can embed.
bool renderPdf(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options = {});

// A rendered picture in memory with the view that placed the drawing in it.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xRRGGBB per pixel, rows from the top
  // Drawing XY to pixels: px = (x - originX) * scale, py = (originY - y) * scale (y grows downward).
  double scale = 1;
  double originX = 0;
  double originY = 0;

  std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  double pixelX(double x) const { return (x - originX) * scale; }
  double pixelY(double y) const { return (originY - y) * scale; }
};

// What renderPng draws, kept in memory.
bool renderPicture(ZcDbDatabase& db, Picture& picture, std::string& error, const RenderOptions& options = {});

// The background of every picture (RGB 33, 40, 48).
constexpr std::uint32_t kBackgroundRgb = 0x212830;
// The standard 256-colour index as 0xRRGGBB; 7 is white. Indices outside 1..255 give white.
std::uint32_t aciToRgb(int colorIndex);

}  // namespace zrxhost
