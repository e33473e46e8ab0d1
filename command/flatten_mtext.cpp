// flattenMText: an MText becomes one Text in model space holding all of its lines in one string.
#include "command/flatten_mtext.h"

#include <vector>

#include "jig/commit.h"
#include "jig/message_catalogue.h"
#include "text/pick.h"

namespace {

void deletePieces(ZcArray<void*>& pieces, const ZcDbEntity* keep) {
  for (void* piece : pieces) {
    auto* entity = static_cast<ZcDbEntity*>(piece);
    if (entity != keep) delete entity;
  }
  pieces.removeAll();
}

// Takes the text back out of the drawing when the MText could not be erased, so that the drawing
// never holds the content twice.
void withdraw(ZcDbObjectId textId) {
  ZcDbObject* pText = nullptr;
  if (zcdbOpenObject(pText, textId, ZcDb::kForWrite) != Zcad::eOk || pText == nullptr) return;
  pText->erase(true);
  pText->close();
}

// How far a point lies from the band between a line's baseline and its text height, across the line.
double distanceFromLine(const ZcDbText& line, const ZcGePoint3d& point) {
  const double across = pickOffset(line.position(), line.rotation(), line.oblique(), point).across;
  if (across < 0) return -across;
  return across > line.height() ? across - line.height() : 0;
}

// The index in the joined string of the character picked on the MText: the line is the one whose
// band lies nearest the point, the character the one the pick analysis would take on that line
// alone. -1 when the point lies beside every character of its line.
int pickedCharacter(const std::vector<ZcDbText*>& lines, const ZcGePoint3d& point) {
  if (lines.empty()) return -1;
  size_t nearest = 0;
  for (size_t i = 1; i < lines.size(); ++i)
    if (distanceFromLine(*lines[i], point) < distanceFromLine(*lines[nearest], point)) nearest = i;
  ZcDbText* line = lines[nearest];
  ZcArray<double> edges;
  measureCharacterEdges(line, edges);
  const int inLine = characterAt(edges, pickOffset(line->position(), line->rotation(), line->oblique(), point).along);
  if (inLine >= edges.length()) return -1;
  int before = 0;
  for (size_t i = 0; i < nearest; ++i) before += lines[i]->textZcString().length();
  return before + inLine;
}

// The distance along the baseline of the joined Text at which the pick analysis takes `index`: the
// middle of that character, or past the end when nothing was picked.
double distanceOfCharacter(ZcDbText* pText, int index) {
  ZcArray<double> edges;
  measureCharacterEdges(pText, edges);
  if (edges.isEmpty()) return 0;
  if (index < 0 || index >= edges.length()) return edges.last() + pText->height();
  const double left = index > 0 ? edges[index - 1] : 0;
  return (left + edges[index]) / 2;
}

// The point at `distance` along the baseline of the Text `textId`, as it stands in the drawing.
ZcGePoint3d pointAlongBaseline(ZcDbObjectId textId, double distance, const ZcGePoint3d& fallback) {
  ZcDbText* pText = nullptr;
  if (zcdbOpenObject(pText, textId, ZcDb::kForRead) != Zcad::eOk || pText == nullptr) return fallback;
  ZcGeVector3d along(distance, 0, 0);
  along.rotateBy(pText->rotation(), ZcGeVector3d(0, 0, 1));
  const ZcGePoint3d point = pText->position() + along;
  pText->close();
  return point;
}

ZcDbObjectId replaceMText(ZcDbEntity* pEnt, ZcDbObjectId eId, ZcGePoint3d* pickPoint) {
  ZcArray<void*> entitySet;
  pEnt->explode(entitySet);
  pEnt->close();

  // Only Text pieces carry text; anything else the explode yields is dropped.
  std::vector<ZcDbText*> lines;
  ZcString MTextString;
  for (void* piece : entitySet) {
    ZcDbText* pText = ZcDbText::cast(static_cast<ZcDbEntity*>(piece));
    if (pText == nullptr) continue;
    lines.push_back(pText);
    MTextString = MTextString.concat(pText->textZcString());
  }
  if (lines.empty()) {
    deletePieces(entitySet, nullptr);
    zcutPrintf(catalogueText(kMTextWithoutText));
    return ZcDbObjectId::kNull;
  }
  // Found on the MText's own lines, before they are run together into one.
  const int picked = pickPoint != nullptr ? pickedCharacter(lines, *pickPoint) : -1;
  ZcDbText* pFirst = lines.front();
  pFirst->setTextString(MTextString);

  ZcDbObjectId textId;
  double pickedDistance = 0;
  // The other pieces go now; a Text the drawing refuses is deleted by the append.
  deletePieces(entitySet, pFirst);
  {
    ModelSpace modelSpace;
    if (modelSpace.append(pFirst, textId)) {
      // Measured as the drawing holds it, with the fonts its database gives it, as the pick will be.
      if (pickPoint != nullptr) pickedDistance = distanceOfCharacter(pFirst, picked);
      pFirst->close();
    }
  }
  if (textId.isNull()) {
    zcutPrintf(catalogueText(kMTextNotReplaced));
    return textId;
  }

  ZcDbObject* pMText = nullptr;
  if (zcdbOpenObject(pMText, eId, ZcDb::kForWrite) != Zcad::eOk || pMText == nullptr) {
    withdraw(textId);
    zcutPrintf(catalogueText(kMTextNotReplaced));
    return ZcDbObjectId::kNull;
  }
  pMText->erase(true);
  pMText->close();
  if (pickPoint != nullptr) *pickPoint = pointAlongBaseline(textId, pickedDistance, *pickPoint);
  return textId;
}

}  // namespace

ZcDbObjectId flattenMText(ZcDbEntity* pEnt, ZcDbObjectId eId) {
  return replaceMText(pEnt, eId, nullptr);
}

ZcDbObjectId flattenMText(ZcDbEntity* pEnt, ZcDbObjectId eId, ZcGePoint3d& pickPoint) {
  return replaceMText(pEnt, eId, &pickPoint);
}
