// ZcGiDrawRecorder: keeps each primitive an entity draws, with the colour in effect at the time.
#include "zrx/gi.h"

bool ZcGiDrawRecorder::polyline(ZSoft::UInt32 count, const ZcGePoint3d* points, const ZcGeVector3d* normal,
                                ZSoft::LongPtr subEntityMarker) {
  (void)normal;
  (void)subEntityMarker;
  if (count > 0 && !points) return false;
  PolylinePrimitive prim;
  prim.points.assign(points, points + count);
  prim.color = mTraits.color();
  mPolylines.push_back(std::move(prim));
  // Geometry calls answer whether the draw should stop (a regen abort); recording never asks that.
  return false;
}

const ZcGiTextStyle* ZcGiDrawRecorder::fontsFor(const ZcGiTextStyle& style) {
  // Consecutive texts nearly always come in the same style: its serial answers without a look at
  // the names.
  if (mLastFonts != nullptr && style.fontsSerial() == mLastFontsSerial) [[likely]]
    return mLastFonts;
  return findFonts(style);
}

const ZcGiTextStyle* ZcGiDrawRecorder::findFonts(const ZcGiTextStyle& style) {
  mLastFontsSerial = style.fontsSerial();
  for (const ZcGiTextStyle& fonts : mFonts)
    if (fonts.fileName() == style.fileName() && fonts.bigFontFileName() == style.bigFontFileName())
      return mLastFonts = &fonts;
  return mLastFonts = &mFonts.emplace_back(style);
}

bool ZcGiDrawRecorder::text(const ZcGePoint3d& position, const ZcGeVector3d& normal, const ZcGeVector3d& direction,
                            const ZcString& message, const ZcGiTextStyle& style) {
  const RecordedStyle recorded{style.textSize, style.xScale, style.obliquingAngle, fontsFor(style)};
  if (mTextCount == mTexts.size()) {
    mTexts.push_back(
        TextPrimitive{position, normal, direction, message, recorded, mTraits.color(), mTraits.trueColor()});
  } else {
    TextPrimitive& reused = mTexts[mTextCount];
    reused.position = position;
    reused.normal = normal;
    reused.direction = direction;
    reused.message = message;  // into the record's own storage: no allocation once it is large enough
    reused.style = recorded;
    reused.color = mTraits.color();
    reused.trueColor = mTraits.trueColor();
  }
  ++mTextCount;
  return false;
}
