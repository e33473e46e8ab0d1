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

bool ZcGiDrawRecorder::text(const ZcGePoint3d& position, const ZcGeVector3d& normal, const ZcGeVector3d& direction,
                            const ZcString& message, const ZcGiTextStyle& style) {
  if (mTextCount == mTexts.size()) {
    mTexts.push_back(TextPrimitive{position, normal, direction, message, style, mTraits.color()});
  } else {
    TextPrimitive& reused = mTexts[mTextCount];
    reused.position = position;
    reused.normal = normal;
    reused.direction = direction;
    reused.message = message;
    if (reused.style.fileName != style.fileName) reused.style.fileName = style.fileName;
    if (reused.style.bigFontFileName != style.bigFontFileName) reused.style.bigFontFileName = style.bigFontFileName;
    reused.style.textSize = style.textSize;
    reused.style.xScale = style.xScale;
    reused.style.obliquingAngle = style.obliquingAngle;
    reused.color = mTraits.color();
  }
  ++mTextCount;
  return false;
}
