// Fonts: text metrics and glyph outlines from FreeType, resolved through fontconfig.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct FT_FaceRec_;  // FreeType's face, for painters that hand glyphs to a font engine

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

  // The face and glyph index that draw `c` (the font, its extras or a fallback), and that face's em
  // in cap heights of this font: what a painter needs to set the character as text rather than as
  // its outline (a PDF keeps it searchable). A null face when there is no font file behind it.
  struct FaceGlyph {
    FT_FaceRec_* face = nullptr;
    unsigned glyph = 0;
    double emInCaps = 0;
  };
  virtual FaceGlyph faceGlyph(char32_t) const { return {}; }
};

// The font for a style's font file (a TrueType name resolved by fontconfig, anything else the
// substitute font FONTALT) with fallbacks for missing characters. Cached; lives for the process.
const Font& fontFor(std::string_view fontFile, std::string_view bigFontFile = {});

}  // namespace zrxhost
