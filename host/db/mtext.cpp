// ZcDbMText: contents with inline codes, their plain text, and the Texts it is laid out, drawn and exploded as.
#include "zrx/db/mtext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/geom.h"
#include "db/stub.h"
#include "zrx/db/database.h"
#include "zrx/db/symtab.h"
#include "zrx/db/text.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"
#include "zrxhost/fonts.h"

ZCRX_DEFINE_MEMBERS(ZcDbMText, ZcDbEntity, L"AcDbMText", L"MTEXT", &zrxdb::construct<ZcDbMText>);

namespace {

// A non-breaking space (from "\~") stays one while lines are wrapped and becomes a space after.
constexpr char16_t kNoBreakSpace = 0x00A0;

bool isHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// How a run of an MText's characters is drawn, as its inline codes set it.
struct RunFormat {
  int colorIndex = -1;          // "\C": 0 by block, 256 by layer, else an index; -1 the MText's own
  std::int32_t trueColor = -1;  // "\c": 24-bit RGB, or -1
  double height = 0;            // "\H": the cap height in drawing units
  double widthFactor = 1;       // "\W"
  double oblique = 0;           // "\Q", in radians
  std::u16string font;          // "\F" / "\f": a font file or family name; empty for the style's
  bool operator==(const RunFormat&) const = default;
};

struct Run {
  std::u16string text;
  RunFormat format;
};
using Paragraph = std::vector<Run>;

// A number as the codes write it ("2.5"); false when there is none.
bool parseNumber(std::u16string_view text, double& value) {
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return false;
    ascii.push_back(static_cast<char>(c));
  }
  if (ascii.empty()) return false;
  char* end = nullptr;
  value = std::strtod(ascii.c_str(), &end);
  return end == ascii.c_str() + ascii.size() && std::isfinite(value);
}

// "\H2;" sets the value, "\H0.5x;" scales the one in effect; nothing changes on a bad value.
void setScalable(std::u16string_view argument, double& value) {
  const bool relative = !argument.empty() && (argument.back() == u'x' || argument.back() == u'X');
  double number = 0;
  if (!parseNumber(relative ? argument.substr(0, argument.size() - 1) : argument, number) || !(number > 0)) return;
  value = relative ? value * number : number;
}

// An inline code's argument changes the format in effect.
void applyCode(char16_t code, std::u16string_view argument, RunFormat& format) {
  double number = 0;
  switch (code) {
    case u'C':
      if (parseNumber(argument, number) && number >= 0 && number <= 256) {
        format.colorIndex = static_cast<int>(number);
        format.trueColor = -1;
      }
      break;
    case u'c':
      if (parseNumber(argument, number) && number >= 0 && number <= 0xFFFFFF) {
        // Written blue, green, red from the high byte down.
        const auto bgr = static_cast<std::uint32_t>(number);
        format.trueColor = static_cast<std::int32_t>(((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF));
      }
      break;
    case u'H':
      setScalable(argument, format.height);
      break;
    case u'W':
      setScalable(argument, format.widthFactor);
      break;
    case u'Q':
      if (parseNumber(argument, number) && std::fabs(number) < 85) format.oblique = number * M_PI / 180;
      break;
    case u'F':
    case u'f':
      format.font = std::u16string(argument.substr(0, argument.find(u'|')));
      break;
    default:
      break;  // alignment, tracking, paragraph layout: the plain layout stands
  }
}

// The contents as paragraphs of runs, each run with the format its codes set: without the codes,
// the runs of a paragraph joined are its plain text. `height` is the MText's own.
std::vector<Paragraph> paragraphRunsOf(const std::u16string& s, double height) {
  std::vector<Paragraph> paragraphs(1);
  RunFormat format;
  format.height = height;
  std::vector<RunFormat> groups;  // the formats "{" kept, for "}" to bring back
  auto out = [&](char16_t c) {
    Paragraph& paragraph = paragraphs.back();
    if (paragraph.empty() || !(paragraph.back().format == format)) paragraph.push_back({{}, format});
    paragraph.back().text.push_back(c);
  };
  auto outString = [&](const std::u16string& text) {
    for (char16_t c : text) out(c);
  };
  const size_t n = s.size();
  // Codes whose argument runs to the next ';' ("\fArial|b1;", "\H2x;", "\C1;" ...).
  static const std::u16string withArgument = u"fFHCcAWQTp";
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (c == u'\\' && i + 1 < n) {
      const char16_t code = s[++i];
      if (code == u'P' || code == u'N' || code == u'X') {
        paragraphs.emplace_back();
      } else if (code == u'\\' || code == u'{' || code == u'}') {
        out(code);
      } else if (code == u'~') {
        out(kNoBreakSpace);
      } else if (std::u16string_view(u"LlOoKk").find(code) != std::u16string_view::npos) {
        // underline, overline, strike-through: no trace in plain text
      } else if (withArgument.find(code) != std::u16string::npos) {
        size_t end = s.find(u';', i + 1);
        applyCode(code, std::u16string_view(s).substr(i + 1, (end == std::u16string::npos ? n : end) - i - 1), format);
        i = end == std::u16string::npos ? n : end;
      } else if (code == u'S') {
        // A stacked fraction "\Sa^b;" (also a/b, a#b) reads as "a/b"; "a^" alone is a superscript.
        size_t end = s.find(u';', i + 1);
        std::u16string stack = s.substr(i + 1, end == std::u16string::npos ? std::u16string::npos : end - i - 1);
        i = end == std::u16string::npos ? n : end;
        size_t split = stack.find_first_of(u"^/#");
        if (split == std::u16string::npos) {
          outString(stack);
        } else {
          std::u16string top = stack.substr(0, split), bottom = stack.substr(split + 1);
          while (!top.empty() && top.front() == u' ') top.erase(0, 1);
          while (!bottom.empty() && bottom.front() == u' ') bottom.erase(0, 1);
          outString(top);
          if (!bottom.empty()) outString(u'/' + bottom);
        }
      } else if (code == u'U' && i + 5 < n && s[i + 1] == u'+' && isHex(s[i + 2]) && isHex(s[i + 3]) &&
                 isHex(s[i + 4]) && isHex(s[i + 5])) {
        out(static_cast<char16_t>(std::stoi(std::string(s.begin() + i + 2, s.begin() + i + 6), nullptr, 16)));
        i += 5;
      } else {
        out(u'\\');  // not a code: shown as typed
        out(code);
      }
    } else if (c == u'{') {
      groups.push_back(format);
    } else if (c == u'}') {
      if (!groups.empty()) {
        format = groups.back();
        groups.pop_back();
      }
    } else if (c == u'%' && i + 2 < n && s[i + 1] == u'%') {
      // %%d, %%p, %%c and %%% stand for a character; %%u, %%o and %%k only switch a line style.
      switch (std::towlower(s[i + 2])) {
        case u'd':
          out(0x00B0);
          i += 2;
          break;  // degree
        case u'p':
          out(0x00B1);
          i += 2;
          break;  // plus-minus
        case u'c':
          out(0x2300);
          i += 2;
          break;  // diameter
        case u'%':
          out(u'%');
          i += 2;
          break;
        case u'u':
        case u'o':
        case u'k':
          i += 2;
          break;
        default:
          out(c);
          break;
      }
    } else if (c == u'\n') {
      paragraphs.emplace_back();
    } else if (c == u'\r') {
      // part of a line end
    } else if (c == u'\t') {
      out(u' ');
    } else {
      out(c);
    }
  }
  return paragraphs;
}

std::u16string plainText(const Paragraph& paragraph) {
  std::u16string text;
  for (const Run& run : paragraph) text += run.text;
  return text;
}

// The contents without their codes, one string per paragraph.
std::vector<std::u16string> paragraphsOf(const std::u16string& s) {
  std::vector<std::u16string> paragraphs;
  for (const Paragraph& paragraph : paragraphRunsOf(s, 1)) paragraphs.push_back(plainText(paragraph));
  return paragraphs;
}

bool breaksAround(char16_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFFEF);
}

std::u16string trimmedRight(std::u16string s) {
  while (!s.empty() && s.back() == u' ') s.pop_back();
  return s;
}

// Greedy word wrap: a line takes characters while it fits the width; it breaks after a space or
// around an ideograph (CJK text has no spaces). A word longer than the width keeps its own line.
// The spaces at a wrap stay at the end of the line they end, so that the lines joined again give
// the paragraph back; only the paragraph's own trailing spaces are dropped.
std::vector<std::u16string> wrapped(const std::u16string& paragraph, double width, const zrxhost::Font& font,
                                    double scale) {
  if (!(width > 0)) return {paragraph};
  std::vector<std::u16string> lines;
  size_t start = 0;
  const size_t n = paragraph.size();
  while (start < n) {
    double used = 0;
    size_t breakAt = std::u16string::npos;
    size_t j = start;
    for (; j < n; ++j) {
      const char16_t c = paragraph[j];
      const char16_t before = j > start ? paragraph[j - 1] : 0;
      if (j > start && ((before == u' ' && c != u' ') || breaksAround(c) || breaksAround(before))) breakAt = j;
      if (c >= 0xDC00 && c <= 0xDFFF && j > start) continue;  // second half of a pair: measured with the first
      char32_t cp = c;
      if (c >= 0xD800 && c < 0xDC00 && j + 1 < n)
        cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (paragraph[j + 1] - 0xDC00);
      used += font.advance(cp) * scale;
      if (used > width && c != u' ' && breakAt != std::u16string::npos) break;
    }
    if (j >= n) {
      lines.push_back(trimmedRight(paragraph.substr(start)));
      break;
    }
    lines.push_back(paragraph.substr(start, breakAt - start));
    start = breakAt;
  }
  if (lines.empty()) lines.emplace_back();
  return lines;
}

size_t trailingSpaces(const std::u16string& s) {
  size_t n = 0;
  while (n < s.size() && s[s.size() - 1 - n] == u' ') ++n;
  return n;
}

std::u16string withPlainSpaces(std::u16string s) {
  for (char16_t& c : s)
    if (c == kNoBreakSpace) c = u' ';
  return s;
}

}  // namespace

ZcDbMText::ZcDbMText() = default;
ZcDbMText::~ZcDbMText() = default;

#define ZRX_REQUIRE_WRITE() \
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite

Zcad::ErrorStatus ZcDbMText::setLocation(const ZcGePoint3d& p) {
  ZRX_REQUIRE_WRITE();
  zrxdb::notePointEdit(stub(), zrxhost::kEditPositionX, mLocation, p);
  mLocation = p;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setNormal(const ZcGeVector3d& n) {
  ZRX_REQUIRE_WRITE();
  if (n.isZeroLength()) return Zcad::eInvalidInput;
  mNormal = n.normal();
  zrxdb::noteEdit(stub(), zrxhost::kEditNormal);
  return Zcad::eOk;
}

ZcGeVector3d ZcDbMText::direction() const {
  return zrxdb::planeAxes(mNormal, mRotation).x;
}

Zcad::ErrorStatus ZcDbMText::setRotation(double radians) {
  ZRX_REQUIRE_WRITE();
  if (!std::isfinite(radians)) return Zcad::eInvalidInput;
  mRotation = radians;
  zrxdb::noteEdit(stub(), zrxhost::kEditRotation);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setTextHeight(double h) {
  ZRX_REQUIRE_WRITE();
  if (!(h > 0) || !std::isfinite(h)) return Zcad::eInvalidInput;
  mTextHeight = h;
  zrxdb::noteEdit(stub(), zrxhost::kEditHeight);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setWidth(double w) {
  ZRX_REQUIRE_WRITE();
  if (!(w >= 0) || !std::isfinite(w)) return Zcad::eInvalidInput;
  mWidth = w;
  zrxdb::noteEdit(stub(), zrxhost::kEditWidth);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setAttachment(AttachmentPoint a) {
  ZRX_REQUIRE_WRITE();
  if (a < kTopLeft || a > kBottomRight) return Zcad::eInvalidInput;
  mAttachment = a;
  zrxdb::noteEdit(stub(), zrxhost::kEditJustification);
  return Zcad::eOk;
}

// The real host keeps the factor within 0.25..4.
Zcad::ErrorStatus ZcDbMText::setLineSpacingFactor(double f) {
  ZRX_REQUIRE_WRITE();
  if (!(f >= 0.25 && f <= 4.0)) return Zcad::eInvalidInput;
  mLineSpacingFactor = f;
  zrxdb::noteEdit(stub(), zrxhost::kEditLineSpacing);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setLineSpacingStyle(LineSpacingStyle s) {
  ZRX_REQUIRE_WRITE();
  if (s != kAtLeast && s != kExactly) return Zcad::eInvalidInput;
  mLineSpacingStyle = s;
  zrxdb::noteEdit(stub(), zrxhost::kEditLineSpacing);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setTextStyle(ZcDbObjectId style) {
  ZRX_REQUIRE_WRITE();
  mTextStyle = style;
  if (const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(style)) mTextStyleName = record->name();
  zrxdb::noteEdit(stub(), zrxhost::kEditStyle);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setTextStyleName(const ZcString& name) {
  ZRX_REQUIRE_WRITE();
  mTextStyleName = name;
  mTextStyle = ZcDbObjectId::kNull;
  zrxdb::noteEdit(stub(), zrxhost::kEditStyle);
  return Zcad::eOk;
}

ZTCHAR* ZcDbMText::contents() const {
  const ZTCHAR* wide = mContents.kwszPtr();
  const size_t n = std::wcslen(wide);
  auto* copy = new ZTCHAR[n + 1];
  std::wmemcpy(copy, wide, n + 1);
  return copy;
}

Zcad::ErrorStatus ZcDbMText::setContents(const ZTCHAR* text) {
  ZRX_REQUIRE_WRITE();
  if (text == nullptr) return Zcad::eInvalidInput;
  mContents = text;
  zrxdb::noteEdit(stub(), zrxhost::kEditContents);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::setContents(const ZcString& text) {
  ZRX_REQUIRE_WRITE();
  mContents = text;
  zrxdb::noteEdit(stub(), zrxhost::kEditContents);
  return Zcad::eOk;
}

ZcString ZcDbMText::text() const {
  std::u16string joined;
  std::vector<std::u16string> paragraphs = paragraphsOf(mContents.utf16());
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    if (i > 0) joined.push_back(u'\n');
    joined += withPlainSpaces(paragraphs[i]);
  }
  return ZcString(std::move(joined));
}

namespace {

// A font as a style or an inline code names it, so that "Arial", "arial.ttf" and "C:\Fonts\ARIAL.TTF"
// compare equal: no folder, no extension, no spaces, lower case.
std::u16string fontKey(std::u16string_view name) {
  const size_t slash = name.find_last_of(u"/\\");
  if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
  const size_t dot = name.rfind(u'.');
  if (dot != std::u16string_view::npos && dot > 0) name = name.substr(0, dot);
  std::u16string key;
  for (char16_t c : name)
    if (c != u' ') key.push_back(c < 0x80 ? static_cast<char16_t>(std::towlower(c)) : c);
  return key;
}

// The first text style of `db` whose font is `font`; null when none is.
ZcDbObjectId styleUsingFont(const ZcDbDatabase* db, const std::u16string& font) {
  const auto* styles = db != nullptr ? zrxdb::peek<ZcDbTextStyleTable>(db->textStyleTableId()) : nullptr;
  if (styles == nullptr) return ZcDbObjectId::kNull;
  const std::u16string wanted = fontKey(font);
  for (ZcDbObjectId id : styles->recordIds()) {
    const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(id);
    if (record != nullptr && !id.stub()->erased && fontKey(record->fileName().utf16()) == wanted) return id;
  }
  return ZcDbObjectId::kNull;
}

// A piece of a laid-out line: characters of one format, where they start along the line.
struct Segment {
  std::u16string text;
  const RunFormat* format;
  double offset;
};

// The MText as Texts: one per line when no run has a format of its own, else one per run of each
// line. A Text cannot carry a true colour, nor a font no text style of the drawing uses: `format`
// keeps the run's own for drawing.
struct Piece {
  std::unique_ptr<ZcDbText> text;
  RunFormat format;
};
struct Layout {
  std::vector<Piece> pieces;
  bool formatted = false;
  const ZcDbTextStyleTableRecord* style = nullptr;  // the MText's, as its pieces resolve it
};

// Lines in reading order, each cut into segments of one format. The first baseline lies the
// line's height (its tallest run's) below the top of the block and each next one 5/3 of its own
// line's height (times the spacing factor) lower; the attachment's row moves the block so that its
// top, middle or bottom is at the location, its column aligns the lines.
Layout layOut(const ZcDbMText& mtext) {
  const double h = mtext.textHeight();
  const std::vector<Paragraph> paragraphs = paragraphRunsOf(mtext.contentsString().utf16(), h);
  Layout layout;
  RunFormat plain;
  plain.height = h;
  for (const Paragraph& paragraph : paragraphs)
    for (const Run& run : paragraph) layout.formatted = layout.formatted || !(run.format == plain);

  ZcDbText probe;  // resolves the style as the pieces will
  probe.setTextStyleName(mtext.textStyleName());
  probe.setTextStyle(mtext.textStyle());
  const zrxhost::Font& styleFont = probe.font(mtext.database());
  layout.style = probe.effectiveStyle(mtext.database());
  auto fontOf = [&](const RunFormat& format) -> const zrxhost::Font& {
    return format.font.empty() ? styleFont : zrxhost::fontFor(zrxhost::utf16ToUtf8(format.font));
  };

  // Each line's segments, wrapped as the plain text wraps.
  std::vector<std::vector<Segment>> lines;
  std::vector<double> lineWidths, wrapSpaceWidths;
  for (const Paragraph& paragraph : paragraphs) {
    size_t lineStart = 0;
    for (const std::u16string& lineText : wrapped(plainText(paragraph), mtext.width(), styleFont, h)) {
      const size_t lineEnd = lineStart + lineText.size();
      std::vector<Segment> segments;
      double pen = 0;
      size_t runStart = 0;
      for (const Run& run : paragraph) {
        const size_t runEnd = runStart + run.text.size();
        const size_t from = std::max(runStart, lineStart), to = std::min(runEnd, lineEnd);
        if (from < to) {
          std::u16string piece = withPlainSpaces(run.text.substr(from - runStart, to - from));
          const double width = fontOf(run.format).measure(piece) * run.format.height * run.format.widthFactor;
          segments.push_back({std::move(piece), &run.format, pen});
          pen += width;
        }
        runStart = runEnd;
      }
      // The spaces a wrap left at the line's end reach past an alignment point.
      const RunFormat& last = segments.empty() ? plain : *segments.back().format;
      wrapSpaceWidths.push_back(static_cast<double>(trailingSpaces(lineText)) * fontOf(last).advance(U' ') *
                                last.height * last.widthFactor);
      lineWidths.push_back(pen);
      lines.push_back(std::move(segments));
      lineStart = lineEnd;
    }
  }

  std::vector<double> baselines;
  double below = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    double height = lines[i].empty() ? h : 0;
    for (const Segment& segment : lines[i]) height = std::max(height, segment.format->height);
    below += i == 0 ? height : 5.0 / 3.0 * height * mtext.lineSpacingFactor();
    baselines.push_back(below);
  }
  // Lines of one height stand at whole steps of the spacing, computed as such.
  const double spacing = 5.0 / 3.0 * h * mtext.lineSpacingFactor();
  const double blockHeight = layout.formatted ? baselines.back() : h + static_cast<double>(lines.size() - 1) * spacing;
  const int row = (mtext.attachment() - 1) / 3, column = (mtext.attachment() - 1) % 3;
  const double top = row == 0 ? 0 : (row == 1 ? blockHeight / 2 : blockHeight);
  const zrxdb::PlaneAxes axes = zrxdb::planeAxes(mtext.normal(), mtext.rotation());
  const ZcDbDatabase* styleDatabase = layout.style != nullptr ? layout.style->database() : mtext.database();
  // A font's style, looked up once per layout however many runs and lines use the font.
  std::map<std::u16string, ZcDbObjectId> stylesByFont;

  auto newPiece = [&](const std::u16string& text, const RunFormat& format) {
    auto piece = std::make_unique<ZcDbText>();
    piece->setTextString(ZcString(std::u16string(text)));
    piece->setHeight(format.height);
    piece->setRotation(mtext.rotation());
    piece->setNormal(mtext.normal());
    piece->setTextStyleName(mtext.textStyleName());
    if (!mtext.textStyle().isNull()) piece->setTextStyle(mtext.textStyle());
    piece->setLayer(mtext.layerName());
    piece->setColorIndex(mtext.colorIndex());
    piece->setLinetype(mtext.linetypeName());
    piece->setLinetypeScale(mtext.linetypeScale());
    layout.pieces.push_back({std::move(piece), format});
    return layout.pieces.back().text.get();
  };

  const ZcDb::TextHorzMode modes[3] = {ZcDb::kTextLeft, ZcDb::kTextCenter, ZcDb::kTextRight};
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!layout.formatted) {
      if (lines[i].empty()) continue;  // an empty line only takes its space
      const ZcGePoint3d anchor = mtext.location() + axes.y * (top - h - static_cast<double>(i) * spacing);
      ZcDbText* piece = newPiece(lines[i].front().text, plain);
      piece->setPosition(anchor);
      piece->setAlignmentPoint(anchor);
      if (column != 0) {
        // A centred or right line is aligned by its visible characters: the spaces kept at its wrap
        // reach past the alignment point instead of pushing the words aside.
        const double spaces = wrapSpaceWidths[i];
        piece->setAlignmentPoint(anchor + axes.x * (column == 1 ? spaces / 2 : spaces));
        piece->setHorizontalMode(modes[column]);
        piece->adjustAlignment(mtext.database());
      }
      continue;
    }
    // Each run starts where the one before it ends; a centred or right line is aligned as a whole.
    const ZcGePoint3d anchor = mtext.location() + axes.y * (top - baselines[i]);
    const double visible = lineWidths[i] - wrapSpaceWidths[i];
    const double start = column == 0 ? 0 : (column == 1 ? -visible / 2 : -visible);
    for (const Segment& segment : lines[i]) {
      const RunFormat& format = *segment.format;
      ZcDbText* piece = newPiece(segment.text, format);
      piece->setPosition(anchor + axes.x * (start + segment.offset));
      piece->setAlignmentPoint(piece->position());
      piece->setWidthFactor(format.widthFactor);
      piece->setOblique(format.oblique);
      // A true colour leaves the piece the MText's own colour.
      if (format.colorIndex >= 0) piece->setColorIndex(static_cast<ZSoft::UInt16>(format.colorIndex));
      if (!format.font.empty()) {
        auto [found, added] = stylesByFont.try_emplace(format.font);
        if (added) found->second = styleUsingFont(styleDatabase, format.font);
        if (!found->second.isNull()) piece->setTextStyle(found->second);
      }
    }
  }
  return layout;
}

}  // namespace

// The pieces of the layout, handed over to the caller.
Zcad::ErrorStatus ZcDbMText::explode(ZcArray<void*>& entitySet) const {
  for (Piece& piece : layOut(*this).pieces) entitySet.append(static_cast<ZcDbEntity*>(piece.text.release()));
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbMText::getGeomExtents(ZcDbExtents& extents) const {
  extents = ZcDbExtents();
  bool any = false;
  for (const Piece& piece : layOut(*this).pieces) {
    ZcDbExtents pieceExtents;
    if (piece.text->getGeomExtents(pieceExtents) != Zcad::eOk) continue;
    extents.addExt(pieceExtents);
    any = true;
  }
  return any ? Zcad::eOk : Zcad::eInvalidExtents;
}

Zcad::ErrorStatus ZcDbMText::getOsnapPoints(ZcDb::OsnapMode mode, ZSoft::GsMarker, const ZcGePoint3d&,
                                            const ZcGePoint3d&, ZcArray<ZcGePoint3d>& points) const {
  if (mode == ZcDb::kOsModeIns) points.append(mLocation);
  return Zcad::eOk;
}

bool ZcDbMText::hitTest(const ZcGePoint3d& point, double aperture) const {
  for (const Piece& piece : layOut(*this).pieces)
    if (piece.text->hitTest(point, aperture)) return true;
  return false;
}

// A plain MText draws its lines as Texts. The pieces of a formatted one are drawn with their run's
// own colour, true colour and font, which a Text may not carry.
bool ZcDbMText::subWorldDraw(ZcGiWorldDraw* mode) {
  const Layout layout = layOut(*this);
  if (!layout.formatted) {
    for (const Piece& piece : layout.pieces) piece.text->worldDraw(mode);
    return true;
  }
  const ZcGiTextStyle styleFonts = layout.style != nullptr ? layout.style->fonts() : ZcGiTextStyle();
  const ZcGeVector3d direction = zrxdb::planeAxes(mNormal, mRotation).x;
  ZcGiSubEntityTraits& traits = mode->subEntityTraits();
  const ZSoft::UInt16 ownColor = traits.color();
  ZcGiTextStyle style = styleFonts;
  for (const Piece& piece : layout.pieces) {
    const RunFormat& format = piece.format;
    traits.setColor(format.colorIndex >= 0 ? static_cast<ZSoft::UInt16>(format.colorIndex) : ownColor);
    traits.setTrueColor(format.trueColor);
    if (format.font.empty()) {
      if (style.fontsSerial() != styleFonts.fontsSerial()) style = styleFonts;
    } else if (style.fileName() != ZcString(format.font)) {
      style.setFileName(ZcString(format.font));
      style.setBigFontFileName(ZcString());
    }
    style.textSize = format.height;
    style.xScale = format.widthFactor;
    style.obliquingAngle = format.oblique;
    mode->geometry().text(piece.text->position(), mNormal, direction, piece.text->textZcString(), style);
  }
  traits.setColor(ownColor);
  traits.setTrueColor(-1);
  return true;
}

void ZcDbMText::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  auto* t = static_cast<ZcDbMText*>(target);
  t->mLocation = mLocation;
  t->mNormal = mNormal;
  t->mRotation = mRotation;
  t->mTextHeight = mTextHeight;
  t->mWidth = mWidth;
  t->mAttachment = mAttachment;
  t->mLineSpacingFactor = mLineSpacingFactor;
  t->mLineSpacingStyle = mLineSpacingStyle;
  t->mTextStyle = mTextStyle;
  t->mTextStyleName = mTextStyleName;
  t->mContents = mContents;
}

bool ZcDbMText::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbMText&>(other);
  return ZcDbEntity::hasSameFieldsAs(other) && zrxdb::sameCoordinates(mLocation, o.mLocation) &&
         zrxdb::sameCoordinates(mNormal, o.mNormal) && mRotation == o.mRotation && mTextHeight == o.mTextHeight &&
         mWidth == o.mWidth && mAttachment == o.mAttachment && mLineSpacingFactor == o.mLineSpacingFactor &&
         mLineSpacingStyle == o.mLineSpacingStyle && mTextStyle == o.mTextStyle && mTextStyleName == o.mTextStyleName &&
         mContents == o.mContents;
}
