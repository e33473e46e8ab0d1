// TallyJig: construction from the picked text, the preview it owns, and the sampler of both drags.
#include "jig/tally_jig.h"

#include <cmath>

#include "jig/commit.h"
#include "jig/message_catalogue.h"
#include "jig/text_array.h"
#include "text/pick.h"

namespace {
// Taken once when the module loads, as the default step angle's source.
const double kPi = std::acos(-1.0);
}  // namespace

TallyJig::TallyJig(ZcDbObjectId id, const ZcGePoint3d& pick) {
  clickPoint = pick;
  textId = id;
  ZcDbText* pText = nullptr;
  if (zcdbOpenObject(pText, textId, ZcDb::kForRead) == Zcad::eOk && pText != nullptr) {
    textPosition_ = pText->position();
    alignmentPoint = pText->alignmentPoint();
    isDefaultAlignment = pText->isDefaultAlignment();
    horizontalMode = pText->horizontalMode();
    verticalMode = pText->verticalMode();
    pText->textString(textString);
    pText->close();
  }

  // Without the registered class there is no preview; the jig still lays out and commits.
  if (ZcRxClass* cls = TextArray::desc()) {
    ZcRxObject* created = cls->create();
    if (created != nullptr && created->isA() == cls) {
      pTextArray = static_cast<TextArray*>(created);
      pTextArray->setDatabaseDefaults();
      pTextArray->setTextId(textId);
    } else {
      delete created;
    }
  }

  objNumGiven = false;
  objDist_ = 10.0;
  objAngle_ = kPi / 6;
  basePoint_ = ZcGePoint3d(0, 0, 0);
  endPoint_ = ZcGePoint3d(30, 0, 0);
  markId = ZcDbObjectId::kNull;
  incValue = 1;
}

// The preview belongs to no database, so the jig that made it deletes it once the drags are over.
TallyJig::~TallyJig() {
  delete pTextArray;
}

ZcEdJig::DragStatus TallyJig::sampler() {
  setUserInputControls(kGovernedByOrthoMode);
  ZcGePoint3d point(0, 0, 0);
  const DragStatus status = acquirePoint(point);
  if (dragStage == 0) {
    setBasePoint(point);
    setEndPoint(point);
  } else if (dragStage == 1) {
    setEndPoint(point);
  }
  return status;
}

ZcDbEntity* TallyJig::entity() const {
  return pTextArray;
}

namespace {

// Adds the closed red polyline through the four corners to model space; its id, or null when it
// could not be added.
ZcDbObjectId appendMark(const ZcGePoint3d (&corners)[4]) {
  ZcArray<ZcGePoint3d> edgePts(0, 8);
  for (const ZcGePoint3d& corner : corners) edgePts.append(corner);
  auto* pEdge = new ZcDb3dPolyline(ZcDb::k3dSimplePoly, edgePts, true);
  pEdge->setColorIndex(1, true);
  ZcDbObjectId markId;
  ModelSpace modelSpace;
  if (modelSpace.append(pEdge, markId)) pEdge->close();
  return markId;
}

}  // namespace

RunKind TallyJig::pickCharacterRun() {
  const PickedRun run = analysePick(textId, clickPoint);
  if (run.kind == kNothingPicked) {
    zcutPrintf(catalogueText(kNothingSelected));
    return run.kind;
  }
  if (run.kind == kNotCountable) {
    zcutPrintf(catalogueText(kWrongRunKind));
  } else {
    runStart = run.runStart;
    runEnd = run.runEnd;
  }
  // A character that cannot be counted is marked too, so that the user sees what was picked.
  markId = appendMark(run.corners);
  return run.kind;
}

void TallyJig::eraseMark() {
  ZcDb3dPolyline* pEdge = nullptr;
  if (zcdbOpenObject(pEdge, markId, ZcDb::kForWrite) != Zcad::eOk || pEdge == nullptr) return;
  pEdge->erase(true);
  pEdge->close();
}
