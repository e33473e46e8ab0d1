// Pictures of a drawing: SVG and PNG with cairo.
#pragma once

#include <string>

class ZcDbDatabase;

namespace zrxhost {

struct RenderOptions {
  int widthPixels = 1600;   // PNG size; the height follows the drawing's aspect
  double marginFraction = 0.05;
};

// The current space fitted to its extents with a margin, on a dark background, colours by the
// standard colour index, texts from their glyph outlines. False and `error` on failure.
bool renderSvg(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options = {});
bool renderPng(ZcDbDatabase& db, const std::string& path, std::string& error, const RenderOptions& options = {});

}  // namespace zrxhost
