// Fonts: FreeType faces found through fontconfig, scaled to the cap height, with cached metrics.
#include "zrxhost/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "zrxhost/services.h"

namespace zrxhost {
namespace {

constexpr const char* kDefaultSubstitute = "DejaVu Sans";

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool endsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The process's FreeType library and every face it opened. Kept for the life of the process (the
// fonts handed out by fontFor live that long), reachable from here so leak checkers stay quiet.
struct FaceStore {
  FT_Library library = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> faces;

  FaceStore() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
    FcInit();
  }

  FT_Face open(const std::string& path, int index) {
    auto key = std::make_pair(path, index);
    auto found = faces.find(key);
    if (found != faces.end()) return found->second;
    FT_Face face = nullptr;
    if (library == nullptr || FT_New_Face(library, path.c_str(), index, &face) != 0) face = nullptr;
    if (face != nullptr && !FT_IS_SCALABLE(face)) {
      FT_Done_Face(face);
      face = nullptr;
    }
    faces.emplace(key, face);
    return face;
  }
};

FaceStore& store() {
  static auto* s = new FaceStore;
  return *s;
}

struct FontFile {
  std::string path;
  int index = 0;
};

std::optional<FontFile> fileOf(FcPattern* pattern) {
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
  return FontFile{reinterpret_cast<const char*>(file), index};
}

// The best style of a family actually installed under that name (fontconfig would otherwise
// hand back its default font for any name).
std::optional<FontFile> matchFamily(const std::string& family) {
  if (family.empty()) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::optional<FontFile> found;
  if (match != nullptr) {
    const std::string wanted = lowerAscii(family);
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      if (lowerAscii(reinterpret_cast<const char*>(name)) == wanted) {
        found = fileOf(match);
        break;
      }
    }
    FcPatternDestroy(match);
  }
  return found;
}

// Installed scalable fonts by lower-case file name ("arial.ttf"), listed once.
const std::unordered_map<std::string, FontFile>& fontsByFileName() {
  static auto* byName = [] {
    auto* map = new std::unordered_map<std::string, FontFile>;
    store();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    if (set != nullptr) {
      for (int i = 0; i < set->nfont; ++i) {
        std::optional<FontFile> file = fileOf(set->fonts[i]);
        if (!file) continue;
        std::string base = file->path.substr(file->path.find_last_of('/') + 1);
        map->emplace(lowerAscii(base), *file);  // the first face of a collection wins
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return map;
  }();
  return *byName;
}

bool isTrueTypeName(const std::string& lower) {
  return endsWith(lower, ".ttf") || endsWith(lower, ".ttc") || endsWith(lower, ".otf");
}

// A style's font file as a TrueType font: by file name, else by family (the file name's stem or
// the name itself). SHX names and "txt" are not TrueType and give nothing.
std::optional<FontFile> resolveTrueType(std::string_view name) {
  std::string lower = lowerAscii(name);
  while (!lower.empty() && std::isspace(static_cast<unsigned char>(lower.back()))) lower.pop_back();
  if (lower.empty() || lower == "txt" || endsWith(lower, ".shx")) return std::nullopt;
  if (isTrueTypeName(lower)) {
    std::string base = lower.substr(lower.find_last_of("/\\") + 1);
    const auto& files = fontsByFileName();
    auto found = files.find(base);
    if (found != files.end()) return found->second;
    return matchFamily(std::string(name.substr(name.size() - base.size(), base.size() - 4)));
  }
  return matchFamily(std::string(name));
}

std::string substituteName() {
  std::optional<std::string> value = hostServices().sysVar("FONTALT");
  return value && !value->empty() ? *value : std::string(kDefaultSubstitute);
}

FT_Face substituteFace(const std::string& fontAlt) {
  if (std::optional<FontFile> file = resolveTrueType(fontAlt)) {
    if (FT_Face face = store().open(file->path, file->index)) return face;
  }
  if (std::optional<FontFile> file = matchFamily(kDefaultSubstitute)) {
    if (FT_Face face = store().open(file->path, file->index)) return face;
  }
  // Whatever fontconfig offers for sans-serif, so that text still measures on a sparse system.
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:scalable=true"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  FT_Face face = nullptr;
  if (match != nullptr) {
    if (std::optional<FontFile> file = fileOf(match)) face = store().open(file->path, file->index);
    FcPatternDestroy(match);
  }
  return face;
}

// Passes an outline to a sink, scaled and with quadratic pieces raised to cubics.
struct OutlineWalk {
  GlyphPathSink* sink;
  double scale;
  double xOffset;
  double lastX = 0, lastY = 0;
  bool open = false;

  static OutlineWalk& of(void* user) { return *static_cast<OutlineWalk*>(user); }
  static int moveTo(const FT_Vector* to, void* user) {
    OutlineWalk& w = of(user);
    if (w.open) w.sink->closePath();
    w.open = true;
    w.lastX = to->x * w.scale;
    w.lastY = to->y * w.scale;
    w.sink->moveTo(w.lastX, w.lastY);
    return 0;
  }
  static int lineTo(const FT_Vector* to, void* user) {
    OutlineWalk& w = of(user);
    w.lastX = to->x * w.scale;
    w.lastY = to->y * w.scale;
    w.sink->lineTo(w.lastX, w.lastY);
    return 0;
  }
  static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    OutlineWalk& w = of(user);
    const double qx = control->x * w.scale, qy = control->y * w.scale;
    const double x = to->x * w.scale, y = to->y * w.scale;
    w.sink->cubicTo(w.lastX + 2.0 / 3.0 * (qx - w.lastX), w.lastY + 2.0 / 3.0 * (qy - w.lastY),
                    x + 2.0 / 3.0 * (qx - x), y + 2.0 / 3.0 * (qy - y), x, y);
    w.lastX = x;
    w.lastY = y;
    return 0;
  }
  static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    OutlineWalk& w = of(user);
    w.lastX = to->x * w.scale;
    w.lastY = to->y * w.scale;
    w.sink->cubicTo(c1->x * w.scale, c1->y * w.scale, c2->x * w.scale, c2->y * w.scale, w.lastX, w.lastY);
    return 0;
  }
};

// The cap height of a face in its own units: the OS/2 figure where the font gives one, else the
// top of its capital H, else a typical proportion of the em.
double capHeightUnits(FT_Face face) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version >= 2 && os2->sCapHeight > 0) return os2->sCapHeight;
  FT_UInt h = FT_Get_Char_Index(face, 'H');
  if (h != 0 && FT_Load_Glyph(face, h, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) == 0 &&
      face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    if (box.yMax > 0) return static_cast<double>(box.yMax);
  }
  return 0.7 * face->units_per_EM;
}

class FreeTypeFont final : public Font {
 public:
  FreeTypeFont(FT_Face primary, std::vector<FT_Face> extras) : mPrimary(primary), mExtras(std::move(extras)) {
    mCapEm = capHeightUnits(primary) / primary->units_per_EM;
    const double scale = scaleOf(primary);
    mAscender = primary->ascender * scale;
    mDescender = primary->descender * scale;
    mBmp.assign(0x10000, kUnknown);
  }

  double advance(char32_t c) const override {
    if (c < 0x10000) {
      double a = mBmp[c];
      return a != kUnknown ? a : (mBmp[c] = computeAdvance(c));
    }
    auto found = mAstral.find(c);
    if (found != mAstral.end()) return found->second;
    return mAstral[c] = computeAdvance(c);
  }

  double ascender() const override { return mAscender; }
  double descender() const override { return mDescender; }

  double measure(std::u16string_view text) const override {
    double sum = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
      const char16_t u = text[i];
      if (u < 0xD800 || u > 0xDFFF) {
        const double a = mBmp[u];
        sum += a != kUnknown ? a : advance(u);
      } else if (u < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        sum += advance(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
        ++i;
      } else {
        sum += advance(0xFFFD);  // a lone surrogate shows as the replacement character
      }
    }
    return sum;
  }

  void outline(char32_t c, GlyphPathSink& sink) const override {
    auto [face, glyph] = glyphFor(c);
    // A painter that set text through the face (a PDF's) may have left a transform on it.
    FT_Set_Transform(face, nullptr, nullptr);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) return;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return;
    FT_Outline_Funcs funcs{};
    funcs.move_to = &OutlineWalk::moveTo;
    funcs.line_to = &OutlineWalk::lineTo;
    funcs.conic_to = &OutlineWalk::conicTo;
    funcs.cubic_to = &OutlineWalk::cubicTo;
    OutlineWalk walk{&sink, scaleOf(face), 0};
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &walk);
    if (walk.open) sink.closePath();
  }

  std::string familyName() const override { return mPrimary->family_name ? mPrimary->family_name : ""; }

  FaceGlyph faceGlyph(char32_t c) const override {
    auto [face, glyph] = glyphFor(c);
    return {face, glyph, face->units_per_EM * scaleOf(face)};
  }

 private:
  static constexpr double kUnknown = -1e300;

  // Font units of `face` to cap heights of the primary face; faces with another em size are
  // brought to the same em first, so fallback glyphs match the primary's size.
  double scaleOf(FT_Face face) const { return 1.0 / (mCapEm * face->units_per_EM); }

  double computeAdvance(char32_t c) const {
    auto [face, glyph] = glyphFor(c);
    FT_Set_Transform(face, nullptr, nullptr);
    FT_Fixed units = 0;
    if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &units) != 0) return 0;
    return static_cast<double>(units) * scaleOf(face);
  }

  // The face that has the character (the font, its extras, a fallback), else the font's .notdef.
  std::pair<FT_Face, FT_UInt> glyphFor(char32_t c) const {
    if (FT_UInt g = FT_Get_Char_Index(mPrimary, c)) return {mPrimary, g};
    for (FT_Face face : mExtras)
      if (FT_UInt g = FT_Get_Char_Index(face, c)) return {face, g};
    for (FT_Face face : mFallbacks)
      if (FT_UInt g = FT_Get_Char_Index(face, c)) return {face, g};
    if (FT_Face face = findFallback(c)) return {face, FT_Get_Char_Index(face, c)};
    return {mPrimary, 0};
  }

  // Asks fontconfig for installed fonts covering the character, best first.
  FT_Face findFallback(char32_t c) const {
    if (c < 0x20 || !mTriedFallback.emplace(c, true).second) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* chars = FcCharSetCreate();
    FcCharSetAddChar(chars, c);
    FcPatternAddCharSet(pattern, FC_CHARSET, chars);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FT_Face found = nullptr;
    for (int i = 0; set != nullptr && i < set->nfont && found == nullptr; ++i) {
      FcCharSet* has = nullptr;
      if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch || !FcCharSetHasChar(has, c))
        continue;
      std::optional<FontFile> file = fileOf(set->fonts[i]);
      if (!file) continue;
      FT_Face face = store().open(file->path, file->index);
      if (face != nullptr && FT_Get_Char_Index(face, c) != 0) found = face;
    }
    if (set != nullptr) FcFontSetDestroy(set);
    FcCharSetDestroy(chars);
    FcPatternDestroy(pattern);
    if (found != nullptr && std::find(mFallbacks.begin(), mFallbacks.end(), found) == mFallbacks.end())
      mFallbacks.push_back(found);
    return found;
  }

  FT_Face mPrimary;
  std::vector<FT_Face> mExtras;
  mutable std::vector<FT_Face> mFallbacks;
  mutable std::unordered_map<char32_t, bool> mTriedFallback;
  double mCapEm = 0.7;
  double mAscender = 0;
  double mDescender = 0;
  // Advances of the Basic Multilingual Plane by code unit: measuring is one load per character.
  mutable std::vector<double> mBmp;
  mutable std::unordered_map<char32_t, double> mAstral;
};

// Text on a machine without any usable font still measures (a fixed-pitch stand-in).
class NoFont final : public Font {
 public:
  double advance(char32_t) const override { return 0.9; }
  double ascender() const override { return 1.3; }
  double descender() const override { return -0.3; }
  double measure(std::u16string_view text) const override { return 0.9 * static_cast<double>(text.size()); }
  void outline(char32_t, GlyphPathSink&) const override {}
  std::string familyName() const override { return {}; }
};

// What a style's font names came to: a TrueType font, or the substitute (which follows FONTALT).
struct NameEntry {
  const Font* font = nullptr;
  FT_Face big = nullptr;
  bool substitute = false;
  std::string fontAlt;
};

struct FontCache {
  std::map<std::pair<FT_Face, FT_Face>, std::unique_ptr<Font>> byFaces;
  std::unordered_map<std::string, NameEntry> byName;
  std::unordered_map<std::string, FT_Face> substitutes;
  NoFont none;
};

FontCache& cache() {
  static auto* c = new FontCache;
  return *c;
}

const Font& fontOfFaces(FT_Face primary, FT_Face big) {
  if (primary == nullptr) return cache().none;
  auto& slot = cache().byFaces[{primary, big}];
  if (!slot) slot = std::make_unique<FreeTypeFont>(primary, big ? std::vector<FT_Face>{big} : std::vector<FT_Face>{});
  return *slot;
}

FT_Face cachedSubstitute(const std::string& fontAlt) {
  auto& substitutes = cache().substitutes;
  auto found = substitutes.find(fontAlt);
  if (found != substitutes.end()) return found->second;
  return substitutes[fontAlt] = substituteFace(fontAlt);
}

}  // namespace

const Font& fontFor(std::string_view fontFile, std::string_view bigFontFile) {
  // Measuring asks for the same style's font again and again: remember the last names asked.
  static std::string& lastFile = *new std::string;  // never destroyed, like the fonts themselves
  static std::string& lastBig = *new std::string;
  static NameEntry* last = nullptr;
  if (last == nullptr || fontFile != lastFile || bigFontFile != lastBig) {
    std::string key(fontFile);
    key.push_back('\0');
    key.append(bigFontFile);
    auto [entry, isNew] = cache().byName.try_emplace(key);
    if (isNew) {
      NameEntry& fresh = entry->second;
      // A big font only adds glyphs when it is a TrueType font; SHX big fonts are covered by fallbacks.
      if (std::optional<FontFile> big = resolveTrueType(bigFontFile)) fresh.big = store().open(big->path, big->index);
      FT_Face primary = nullptr;
      if (std::optional<FontFile> file = resolveTrueType(fontFile)) primary = store().open(file->path, file->index);
      if (primary != nullptr)
        fresh.font = &fontOfFaces(primary, fresh.big);
      else
        fresh.substitute = true;
    }
    last = &entry->second;
    lastFile.assign(fontFile);
    lastBig.assign(bigFontFile);
  }
  NameEntry& names = *last;
  if (names.substitute) {
    std::string fontAlt = substituteName();
    if (names.font == nullptr || fontAlt != names.fontAlt) {
      names.font = &fontOfFaces(cachedSubstitute(fontAlt), names.big);
      names.fontAlt = std::move(fontAlt);
    }
  }
  return *names.font;
}

}  // namespace zrxhost
