// Fonts: text metrics and glyph outlines from FreeType, resolved through fontconfig.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zrxhost {

// Receives a glyph outline, in units of the cap height, origin at the pen position.
class GlyphPathSink {
 public:
  virtual ~GlyphPathSink() = default;
  virtual void moveTo(double x, double y) = 0;
  virtual void lineTo(double x, double y) = 0;
  virtual void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3) = 0;
  virtual void closePath() = 0;
};

// A style's font with its fallbacks. Every figure is for a text of height 1 (the cap height) and
// width factor 1.
class Font {
 public:
  virtual ~Font() = default;
  virtual double advance(char32_t c) const = 0;
  virtual double ascender() const = 0;   // above the baseline, positive
  virtual double descender() const = 0;  // below the baseline, negative
  // Sum of advances of the UTF-16 string (no kerning).
  virtual double measure(std::u16string_view text) const = 0;
  virtual void outline(char32_t c, GlyphPathSink& sink) const = 0;
  virtual std::string familyName() const = 0;
};

// The font for a style's font file (a TrueType name resolved by fontconfig, anything else the
// substitute font FONTALT) with fallbacks for missing characters. Cached; lives for the process.
const Font& fontFor(std::string_view fontFile, std::string_view bigFontFile = {});

}  // namespace zrxhost
