// The character under the pick point, its run, and the red mark drawn around it in model space.
#include <cmath>

#include "command/message_catalogue.h"
#include "jig/tally_jig.h"
#include "text/measure.h"
#include "text/run.h"

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

// Adds the closed red polyline through the four corners to model space; its id, or null when it
// could not be added (then the polyline is deleted).
ZcDbObjectId appendMark(const ZcGePoint3d& pt11, const ZcGePoint3d& pt12, const ZcGePoint3d& pt22,
                        const ZcGePoint3d& pt21) {
  ZcArray<ZcGePoint3d> edgePts(0, 8);
  edgePts.append(pt11);
  edgePts.append(pt12);
  edgePts.append(pt22);
  edgePts.append(pt21);
  auto* pEdge = new ZcDb3dPolyline(ZcDb::k3dSimplePoly, edgePts, true);
  pEdge->setColorIndex(1, true);

  ZcDbObjectId markId;
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  ZcDbBlockTable* pBlockTable = nullptr;
  if (db == nullptr || db->getSymbolTable(pBlockTable, ZcDb::kForRead) != Zcad::eOk || pBlockTable == nullptr) {
    delete pEdge;
    return markId;
  }
  ZcDbBlockTableRecord* pBlockTableRecord = nullptr;
  if (pBlockTable->getAt(ZCDB_MODEL_SPACE, pBlockTableRecord, ZcDb::kForWrite, false) != Zcad::eOk ||
      pBlockTableRecord == nullptr) {
    pBlockTable->close();
    delete pEdge;
    return markId;
  }
  const bool appended = pBlockTableRecord->appendZcDbEntity(markId, pEdge) == Zcad::eOk;
  pBlockTable->close();
  pBlockTableRecord->close();
  if (appended) {
    pEdge->close();
  } else {
    delete pEdge;
    markId = ZcDbObjectId::kNull;
  }
  return markId;
}

}  // namespace

int TallyJig::pickCharacterRun() {
  ZcDbText* pText = nullptr;
  if (zcdbOpenObject(pText, textId, ZcDb::kForRead) != Zcad::eOk || pText == nullptr) {
    // A text that has gone away has no character under any point.
    zcutPrintf(catalogueText(15));
    return kNothingPicked;
  }
  const ZcGePoint3d textPosition = pText->position();
  const double rotation = pText->rotation();
  ZcString pickedString;
  pText->textString(pickedString);
  const double height = pText->height();
  const double oblique = pText->oblique();

  ZcArray<double> textWidths;
  const bool measured = measureCharacters(pText, textWidths);
  pText->close();
  if (!measured) {
    zcutPrintf(catalogueText(15));
    return kNothingPicked;
  }

  const int count = textWidths.length();
  const int picked = characterAt(textWidths, pickOffset(textPosition, rotation, oblique, clickPoint).along);
  if (picked >= count) {
    zcutPrintf(catalogueText(15));
    return kNothingPicked;
  }

  const int kind = extractRun(pickedString, picked, runStart, runEnd);

  ZcGeVector3d vecX(1, 0, 0);
  vecX.rotateBy(rotation, kZAxis);
  ZcGeVector3d vecY(0, 1, 0);
  vecY.rotateBy(rotation, kZAxis);
  vecY.rotateBy(-oblique, kZAxis);

  const int first = kind == kDigitRun ? runStart : picked;
  const int last = kind == kDigitRun ? runEnd : picked;
  const double right = textWidths[last];
  const double width = first > 0 ? right - textWidths[first - 1] : right;

  const ZcGePoint3d pt11 = textPosition + vecX * right;
  const ZcGePoint3d pt12 = pt11 - vecX * width;
  const ZcGeVector3d up = (vecY * height) / std::cos(oblique);
  const ZcGePoint3d pt22 = pt12 + up;
  const ZcGePoint3d pt21 = pt11 + up;
  markId = appendMark(pt11, pt12, pt22, pt21);
  return kind;
}

void TallyJig::eraseMark() {
  ZcDb3dPolyline* pEdge = nullptr;
  if (zcdbOpenObject(pEdge, markId, ZcDb::kForWrite) != Zcad::eOk || pEdge == nullptr) return;
  pEdge->erase(true);
  pEdge->close();
}
