// Texts measured character by character; the character under a pick, its run, and the mark's box.
#include "text/pick.h"

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
  offset.lengthwise = vecAB.x - vecAB.y * std::tan(oblique);
  return offset;
}

int characterAt(const ZcArray<double>& textWidths, double along) {
  const int count = textWidths.length();
  int picked = 0;
  while (picked < count && textWidths[picked] < along) ++picked;
  return picked;
}

namespace {

const ZcGeVector3d kZAxis(0, 0, 1);

// Measures the picked text in place: the document is locked and the text opened for write around
// the measuring, which puts back everything it changes. False when the text cannot be written (then
// nothing was changed).
bool measureCharacters(ZcDbText* pText, ZcArray<double>& textWidths) {
  ZcApDocManager* docs = zcDocManagerPtr();
  ZcApDocument* doc = docs->curDocument();
  docs->lockDocument(doc, ZcDb::kWrite, nullptr, nullptr, true);
  if (pText->upgradeOpen() != Zcad::eOk) {
    docs->unlockDocument(doc);
    return false;
  }
  measureCharacterEdges(pText, textWidths);
  docs->unlockDocument(doc);
  return true;
}

}  // namespace

PickedRun analysePick(ZcDbObjectId textId, const ZcGePoint3d& clickPoint) {
  PickedRun result;
  ZcDbText* pText = nullptr;
  // A text that has gone away has no character under any point.
  if (zcdbOpenObject(pText, textId, ZcDb::kForRead) != Zcad::eOk || pText == nullptr) return result;
  const ZcGePoint3d textPosition = pText->position();
  const double rotation = pText->rotation();
  ZcString pickedString;
  pText->textString(pickedString);
  const double height = pText->height();
  const double oblique = pText->oblique();

  ZcArray<double> textWidths;
  result.refused = !measureCharacters(pText, textWidths);
  pText->close();
  if (result.refused) return result;

  const int count = textWidths.length();
  const int picked = characterAt(textWidths, pickOffset(textPosition, rotation, oblique, clickPoint).along);
  if (picked >= count) return result;

  result.kind = extractRun(pickedString, picked, result.runStart, result.runEnd);

  ZcGeVector3d vecX(1, 0, 0);
  vecX.rotateBy(rotation, kZAxis);
  ZcGeVector3d vecY(0, 1, 0);
  vecY.rotateBy(rotation, kZAxis);
  vecY.rotateBy(-oblique, kZAxis);

  const int first = result.kind == kDigitRun ? result.runStart : picked;
  const int last = result.kind == kDigitRun ? result.runEnd : picked;
  const double right = textWidths[last];
  const double width = first > 0 ? right - textWidths[first - 1] : right;

  const ZcGePoint3d pt11 = textPosition + vecX * right;
  const ZcGePoint3d pt12 = pt11 - vecX * width;
  const ZcGeVector3d up = (vecY * height) / std::cos(oblique);
  result.corners[0] = pt11;
  result.corners[1] = pt12;
  result.corners[2] = pt12 + up;
  result.corners[3] = pt11 + up;
  return result;
}
