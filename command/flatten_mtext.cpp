// flattenMText: an MText becomes one Text in model space holding all of its lines in one string.
#include "command/flatten_mtext.h"

#include <algorithm>
#include <cmath>
#include <utility>
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

// Where a point lies against a piece, as the pick analysis measures it on a Text.
PickOffset offsetOn(const ZcDbText& piece, const ZcGePoint3d& point) {
  return pickOffset(piece.position(), piece.rotation(), piece.oblique(), point);
}

// How far `value` lies outside the range from `low` to `high`; 0 within it.
double outside(double value, double low, double high) {
  return value < low ? low - value : (value > high ? value - high : 0);
}

// Consecutive pieces whose starts lie on one baseline, as the explode laid them out on one line. Lines
// lie at least 5/12 of the next one's height apart (the least spacing factor is 0.25), so a tenth of a
// piece's height tells them apart however far from the origin the MText stands.
struct Line {
  size_t first = 0, end = 0;  // the pieces [first, end)
  double height = 0;          // its tallest piece's
};

std::vector<Line> linesOf(const std::vector<ZcDbText*>& pieces) {
  std::vector<Line> lines;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const ZcDbText& piece = *pieces[i];
    if (lines.empty() ||
        std::fabs(offsetOn(*pieces[lines.back().first], piece.position()).across) > 0.1 * piece.height())
      lines.push_back({i, i, 0});
    lines.back().end = i + 1;
    lines.back().height = std::max(lines.back().height, piece.height());
  }
  return lines;
}

// The index in the joined string of the character picked on the MText. The line is the one whose
// band (from its baseline up to its tallest piece) lies nearest the point; on it, the piece whose
// extent along the line holds the point, else the nearest one; in that piece, the character the pick
// analysis would take on it alone. -1 when the point lies beside every character of that piece.
int pickedCharacter(const std::vector<ZcDbText*>& pieces, const ZcGePoint3d& point) {
  if (pieces.empty()) return -1;
  const std::vector<Line> lines = linesOf(pieces);
  auto bandDistance = [&](const Line& line) {
    return outside(offsetOn(*pieces[line.first], point).across, 0, line.height);
  };
  const Line* line = &lines.front();
  for (const Line& other : lines)
    if (bandDistance(other) < bandDistance(*line)) line = &other;

  size_t nearest = line->first;
  double nearestDistance = 0;
  ZcArray<double> edges;
  for (size_t i = line->first; i < line->end; ++i) {
    ZcArray<double> pieceEdges;
    measureCharacterEdges(pieces[i], pieceEdges);
    const double distance =
        outside(offsetOn(*pieces[i], point).lengthwise, 0, pieceEdges.isEmpty() ? 0 : pieceEdges.last());
    if (i == line->first || distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
      edges = std::move(pieceEdges);
    }
    if (distance == 0) break;
  }
  const ZcDbText* piece = pieces[nearest];
  const int inPiece = characterAt(edges, offsetOn(*piece, point).along);
  if (inPiece >= edges.length()) return -1;
  int before = 0;
  for (size_t i = 0; i < nearest; ++i) before += pieces[i]->textZcString().length();
  return before + inPiece;
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
  std::vector<ZcDbText*> pieces;
  ZcString MTextString;
  for (void* piece : entitySet) {
    ZcDbText* pText = ZcDbText::cast(static_cast<ZcDbEntity*>(piece));
    if (pText == nullptr) continue;
    pieces.push_back(pText);
    MTextString = MTextString.concat(pText->textZcString());
  }
  if (pieces.empty()) {
    deletePieces(entitySet, nullptr);
    zcutPrintf(catalogueText(kMTextWithoutText));
    return ZcDbObjectId::kNull;
  }
  // Found on the MText's own pieces, before they are run together into one.
  const int picked = pickPoint != nullptr ? pickedCharacter(pieces, *pickPoint) : -1;
  ZcDbText* pFirst = pieces.front();
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
