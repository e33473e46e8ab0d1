// Character edges of a Text measured one character at a time, and the character at a distance.
#include "text/measure.h"

#include <cmath>

void measureCharacterEdges(ZcDbText* pText, ZcArray<double>& textWidths) {
  ZcDbExtents textGeomExtents;
  const double rotation = pText->rotation();
  const double oblique = pText->oblique();
  const ZcString textString = pText->textZcString();  // a copy: the text's own string changes below
  pText->setRotation(0);
  pText->setOblique(0);
  // An aligned or fit text would stretch each lone character over the whole baseline; measured as a
  // left text it keeps the height and width factor its full string gives it.
  const ZcDb::TextHorzMode horizontalMode = pText->horizontalMode();
  const bool spansTwoPoints = horizontalMode == ZcDb::kTextAlign || horizontalMode == ZcDb::kTextFit;
  if (spansTwoPoints) pText->setHorizontalMode(ZcDb::kTextLeft);
  textWidths.setLogicalLength(0);
  for (int i = 0; i < textString.length(); ++i) {
    pText->setTextString(textString.substr(i, 1));
    // A character the font cannot measure leaves the record as the previous one left it.
    pText->getGeomExtents(textGeomExtents);
    double charwidth = std::fabs(textGeomExtents.maxPoint().x - textGeomExtents.minPoint().x);
    if (i > 0) charwidth += textWidths[i - 1];
    textWidths.append(charwidth);
  }
  if (spansTwoPoints) pText->setHorizontalMode(horizontalMode);
  pText->setRotation(rotation);
  pText->setOblique(oblique);
  pText->setTextString(textString);
}

PickOffset pickOffset(const ZcGePoint3d& textPosition, double rotation, double oblique, const ZcGePoint3d& point) {
  // The pick in the text's own axes: x along the baseline, y across it.
  ZcGeVector3d vecAB = point - textPosition;
  vecAB.rotateBy(-rotation, ZcGeVector3d(0, 0, 1));
  PickOffset offset;
  offset.along = std::fabs(vecAB.x) - std::fabs(vecAB.y) * std::tan(oblique);
  offset.across = vecAB.y;
  return offset;
}

int characterAt(const ZcArray<double>& textWidths, double along) {
  const int count = textWidths.length();
  int picked = 0;
  while (picked < count && textWidths[picked] < along) ++picked;
  return picked;
}
