// World draw: what an entity emits when it is displayed, and a recorder that keeps it.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "zrx/core.h"
#include "zrx/ge.h"
#include "zrx/string.h"

// The look of a text primitive: its fonts and the shape parameters of the text. The font names are
// set through functions so that each pair carries a serial: two styles with the same serial have
// the same names, which lets a back end drawing a hundred thousand texts in one style skip
// comparing names for every text.
class ZcGiTextStyle {
 public:
  // The style's font file ("" or an SHX name: the substitute font).
  const ZcString& fileName() const { return mFileName; }
  void setFileName(const ZcString& name);
  const ZcString& bigFontFileName() const { return mBigFontFileName; }
  void setBigFontFileName(const ZcString& name);
  // 0 for the empty names of a new style; a new value at every change of either name.
  std::uint64_t fontsSerial() const { return mFontsSerial; }

  double textSize = 1;  // cap height
  double xScale = 1;    // width factor
  double obliquingAngle = 0;

 private:
  ZcString mFileName;
  ZcString mBigFontFileName;
  std::uint64_t mFontsSerial = 0;
};

class ZcGiSubEntityTraits {
 public:
  virtual ~ZcGiSubEntityTraits() = default;
  void setColor(ZSoft::UInt16 colorIndex) { mColor = colorIndex; }
  ZSoft::UInt16 color() const { return mColor; }
  // A 24-bit RGB colour that stands instead of the index (an MText's inline "\c"), or -1.
  void setTrueColor(std::int32_t rgb) { mTrueColor = rgb; }
  std::int32_t trueColor() const { return mTrueColor; }
  void setLayer(const ZcString& layer) { mLayer = layer; }
  const ZcString& layer() const { return mLayer; }

 private:
  ZSoft::UInt16 mColor = 7;
  std::int32_t mTrueColor = -1;
  ZcString mLayer;
};

class ZcGiWorldGeometry {
 public:
  virtual ~ZcGiWorldGeometry() = default;
  virtual bool polyline(ZSoft::UInt32 count, const ZcGePoint3d* points, const ZcGeVector3d* normal = nullptr,
                        ZSoft::LongPtr subEntityMarker = -1) = 0;
  // A line of text with its left baseline end at `position`, its baseline along `direction`.
  virtual bool text(const ZcGePoint3d& position, const ZcGeVector3d& normal, const ZcGeVector3d& direction,
                    const ZcString& message, const ZcGiTextStyle& style) = 0;
};

class ZcGiWorldDraw {
 public:
  virtual ~ZcGiWorldDraw() = default;
  virtual ZcGiWorldGeometry& geometry() = 0;
  virtual ZcGiSubEntityTraits& subEntityTraits() = 0;
  virtual bool isDragging() const { return false; }
  virtual bool regenAbort() const { return false; }
};

class ZcGiViewportDraw : public ZcGiWorldDraw {};

// Keeps every primitive drawn into it, with the traits in effect when it was drawn.
class ZcGiDrawRecorder : public ZcGiWorldDraw, private ZcGiWorldGeometry {
 public:
  // A text's style as recorded: its own shape values, and its font names kept once per recorder
  // (a preview's hundred thousand copies share one pair of names).
  struct RecordedStyle {
    double textSize = 1;
    double xScale = 1;
    double obliquingAngle = 0;
    const ZcGiTextStyle* fonts = nullptr;
    const ZcString& fileName() const { return fonts->fileName(); }
    const ZcString& bigFontFileName() const { return fonts->bigFontFileName(); }
  };
  struct TextPrimitive {
    ZcGePoint3d position;
    ZcGeVector3d normal;
    ZcGeVector3d direction;
    ZcString message;
    RecordedStyle style;
    ZSoft::UInt16 color;
    std::int32_t trueColor = -1;  // 24-bit RGB, or -1: the colour index holds
  };
  struct PolylinePrimitive {
    std::vector<ZcGePoint3d> points;
    ZSoft::UInt16 color;
  };

  explicit ZcGiDrawRecorder(bool dragging = false) : mDragging(dragging) {}
  ZcGiWorldGeometry& geometry() override { return *this; }
  ZcGiSubEntityTraits& subEntityTraits() override { return mTraits; }
  bool isDragging() const override { return mDragging; }

  std::span<const TextPrimitive> texts() const { return {mTexts.data(), mTextCount}; }
  const std::vector<PolylinePrimitive>& polylines() const { return mPolylines; }
  // Forgets what was drawn but keeps the text records' storage: a jig's preview redraws as many
  // texts on every cursor move, and reusing their strings spares an allocation per text.
  void clear() {
    mTextCount = 0;
    mPolylines.clear();
  }

 private:
  bool polyline(ZSoft::UInt32 count, const ZcGePoint3d* points, const ZcGeVector3d* normal,
                ZSoft::LongPtr subEntityMarker) override;
  bool text(const ZcGePoint3d& position, const ZcGeVector3d& normal, const ZcGeVector3d& direction,
            const ZcString& message, const ZcGiTextStyle& style) override;

  bool mDragging;
  ZcGiSubEntityTraits mTraits;
  // The font names seen so far, each pair once; a deque, so that the records' pointers stay valid.
  const ZcGiTextStyle* fontsFor(const ZcGiTextStyle& style);
  const ZcGiTextStyle* findFonts(const ZcGiTextStyle& style);

  std::vector<TextPrimitive> mTexts;  // the first mTextCount are this frame's
  size_t mTextCount = 0;
  std::deque<ZcGiTextStyle> mFonts;
  const ZcGiTextStyle* mLastFonts = nullptr;
  std::uint64_t mLastFontsSerial = 0;  // of the style that last matched mLastFonts
  std::vector<PolylinePrimitive> mPolylines;
};
