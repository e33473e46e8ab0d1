// TallyJig::update: lays the copies out along a line, around a centre or at the dragged point, with
// their strings, and hands both lists to the preview.
#include <cmath>

#include "jig/tally_jig.h"
#include "jig/text_array.h"

namespace {

// The number of copies a spacing or step angle fits into a length or sweep: the quotient truncated
// toward zero. A negative, infinite or undefined quotient, or one past the 32-bit range, fits none;
// one past the array limit is laid out up to the limit.
int copiesFromQuotient(double quotient) {
  if (!std::isfinite(quotient) || quotient < 0 || quotient >= 2147483648.0) return 0;
  const double whole = std::trunc(quotient);
  return whole > kMaxCopies ? kMaxCopies : static_cast<int>(whole);
}

int copiesFromCount(int count) {
  if (count <= 0) return 0;
  return count > kMaxCopies ? kMaxCopies : count;
}

}  // namespace

bool TallyJig::update() {
  const ZcGePoint3d reference = placedByPosition(horizontalMode, verticalMode) ? textPosition_ : alignmentPoint;
  // Every point is laid out about the base point, then moved with it onto the text's reference point.
  const ZcGeVector3d vec_TMpt2Apt = basePoint_ - reference;

  positionArray_.removeAll();
  if (incMethod == 0) {
    const ZcGeVector3d vec_Apt2Ept = endPoint_ - basePoint_;
    const ZcGeVector3d vec_Apt2Ept_norm = vec_Apt2Ept.normal(ZcGeContext::gTol);
    const double length = vec_Apt2Ept.length();
    double spacing = objDist_;
    int n = 0;
    if (!objNumGiven) {
      n = copiesFromQuotient(length / spacing);
      objNum_ = n;
    } else if (objNum_ > 0) {
      n = copiesFromCount(objNum_);
      spacing = length / objNum_;
      objDist_ = spacing;
    }
    positionArray_.setPhysicalLength(n);
    for (int i = 1; i <= n; ++i) {
      const ZcGePoint3d pt = basePoint_ + vec_Apt2Ept_norm * spacing * i;
      positionArray_.append(pt - vec_TMpt2Apt);
    }
  } else if (incMethod == 1) {
    const ZcGeVector3d vec_CCpt2Apt = basePoint_ - objCenter_;
    const ZcGeVector3d vec_CCpt2Ept = endPoint_ - objCenter_;
    const ZcGeVector3d axis = isClockwise ? ZcGeVector3d(0, 0, -1) : ZcGeVector3d(0, 0, 1);
    const double sweep = vec_CCpt2Apt.angleTo(vec_CCpt2Ept, axis);
    double step = objAngle_;
    int n = 0;
    if (!objNumGiven) {
      n = copiesFromQuotient(sweep / step);
      objNum_ = n;
    } else if (objNum_ > 0) {
      n = copiesFromCount(objNum_);
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
  } else if (incMethod == 2) {
    setObjNum(1);
    positionArray_.append(endPoint_ - vec_TMpt2Apt);
  }

  const int made =
      copyStrings_.make(textString, incType, runStart, runEnd, incValue, positionArray_.length(), stringArray_);
  if (positionArray_.length() > made) positionArray_.setLogicalLength(made);

  if (pTextArray != nullptr) {
    pTextArray->setPositionArray(positionArray_);
    pTextArray->setStringArray(stringArray_);
  }
  return true;
}
