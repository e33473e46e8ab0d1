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

namespace {

// Copies into the record's own storage (no new allocation once it is large enough); the
// string's inline members are used so that the copy is not a call into another library unit.
inline void copyInto(ZcString& to, const ZcString& from) {
  to.utf16Mutable() = from.utf16();
}

// A preview's copies share one style: its names are compared, and copied only when they differ.
inline void copyIfDifferent(ZcString& to, const ZcString& from) {
  const std::u16string& a = to.utf16();
  const std::u16string& b = from.utf16();
  if (a.size() != b.size() || std::char_traits<char16_t>::compare(a.data(), b.data(), a.size()) != 0)
    copyInto(to, from);
}

}  // namespace

bool ZcGiDrawRecorder::text(const ZcGePoint3d& position, const ZcGeVector3d& normal, const ZcGeVector3d& direction,
                            const ZcString& message, const ZcGiTextStyle& style) {
  if (mTextCount == mTexts.size()) {
    mTexts.push_back(TextPrimitive{position, normal, direction, message, style, mTraits.color()});
  } else {
    TextPrimitive& reused = mTexts[mTextCount];
    reused.position = position;
    reused.normal = normal;
    reused.direction = direction;
    copyInto(reused.message, message);
    copyIfDifferent(reused.style.fileName, style.fileName);
    copyIfDifferent(reused.style.bigFontFileName, style.bigFontFileName);
    reused.style.textSize = style.textSize;
    reused.style.xScale = style.xScale;
    reused.style.obliquingAngle = style.obliquingAngle;
    reused.color = mTraits.color();
  }
  ++mTextCount;
  return false;
}
