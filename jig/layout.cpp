// TallyJig::update: lays the copies out along a line, around a centre or at the dragged point, with
// their strings, and hands both lists to the preview.
#include <cmath>

#include "jig/tally_jig.h"
#include "jig/text_array.h"

namespace {

// The number of copies a spacing or step angle fits into a length or sweep: the quotient truncated
// toward zero. A negative, infinite or undefined quotient fits none; any larger one than the array
// limit, however large, is laid out up to the limit and `cut` is set.
int copiesFromQuotient(double quotient, bool& cut) {
  if (!std::isfinite(quotient) || quotient < 0) return 0;
  const double whole = std::trunc(quotient);
  cut = whole > kMaxCopies;
  return cut ? kMaxCopies : static_cast<int>(whole);
}

int copiesFromCount(int count, bool& cut) {
  if (count <= 0) return 0;
  cut = count > kMaxCopies;
  return cut ? kMaxCopies : count;
}

}  // namespace

bool TallyJig::update() {
  const ZcGePoint3d reference = placedByPosition(horizontalMode, verticalMode) ? textPosition_ : alignmentPoint;
  // Every point is laid out about the base point, then moved with it onto the text's reference point.
  const ZcGeVector3d vec_TMpt2Apt = basePoint_ - reference;

  positionArray_.removeAll();
  layoutCut_ = false;
  if (incMethod == kLine) {
    const ZcGeVector3d vec_Apt2Ept = endPoint_ - basePoint_;
    const ZcGeVector3d vec_Apt2Ept_norm = vec_Apt2Ept.normal(ZcGeContext::gTol);
    const double length = vec_Apt2Ept.length();
    double spacing = objDist_;
    int n = 0;
    if (!objNumGiven) {
      n = copiesFromQuotient(length / spacing, layoutCut_);
      objNum_ = n;
    } else if (objNum_ > 0) {
      n = copiesFromCount(objNum_, layoutCut_);
      spacing = length / objNum_;
      objDist_ = spacing;
    }
    positionArray_.setPhysicalLength(n);
    for (int i = 1; i <= n; ++i) {
      const ZcGePoint3d pt = basePoint_ + vec_Apt2Ept_norm * spacing * i;
      positionArray_.append(pt - vec_TMpt2Apt);
    }
  } else if (incMethod == kPolar) {
    const ZcGeVector3d vec_CCpt2Apt = basePoint_ - objCenter_;
    const ZcGeVector3d vec_CCpt2Ept = endPoint_ - objCenter_;
    const ZcGeVector3d axis = isClockwise ? ZcGeVector3d(0, 0, -1) : ZcGeVector3d(0, 0, 1);
    const double sweep = vec_CCpt2Apt.angleTo(vec_CCpt2Ept, axis);
    double step = objAngle_;
    int n = 0;
    if (!objNumGiven) {
      n = copiesFromQuotient(sweep / step, layoutCut_);
      objNum_ = n;
    } else if (objNum_ > 0) {
      n = copiesFromCount(objNum_, layoutCut_);
      step = sweep / objNum_;
      objAngle_ = step;
    }
    positionArray_.setPhysicalLength(n);
    for (int i = 1; i <= n; ++i) {
      ZcGeVector3d vec = vec_CCpt2Apt;
      vec.rotateBy(step * i, axis);
      const ZcGePoint3d pt = objCenter_ + vec;
      positionArray_.append(pt - vec_TMpt2Apt);
    }
  } else if (incMethod == kFree) {
    setObjNum(1);
    positionArray_.append(endPoint_ - vec_TMpt2Apt);
  }

  const int made =
      copyStrings_.make(textString, incType, runStart, runEnd, incValue, positionArray_.length(), stringArray_);
  if (positionArray_.length() > made) positionArray_.setLogicalLength(made);
  // An array that a run falling below zero ended first was not cut by the limit.
  if (made < kMaxCopies) layoutCut_ = false;

  if (pTextArray != nullptr) {
    pTextArray->setPositionArray(positionArray_);
    pTextArray->setStringArray(stringArray_);
  }
  return true;
}
