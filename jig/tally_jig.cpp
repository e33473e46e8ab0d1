// TallyJig: built from the picked text, its preview, the sampler of both drags, the layout of the copies.
#include "jig/tally_jig.h"

#include <algorithm>
#include <cmath>

#include "jig/commit.h"
#include "jig/message_catalogue.h"
#include "jig/text_array.h"
#include "text/pick.h"

TallyJig::TallyJig(ZcDbObjectId id, const ZcGePoint3d& pick) : textId_(id), clickPoint_(pick) {
  ZcDbText* pText = nullptr;
  if (zcdbOpenObject(pText, textId_, ZcDb::kForRead) == Zcad::eOk && pText != nullptr) {
    textPosition_ = pText->position();
    alignmentPoint_ = pText->alignmentPoint();
    isDefaultAlignment_ = pText->isDefaultAlignment();
    horizontalMode_ = pText->horizontalMode();
    verticalMode_ = pText->verticalMode();
    pText->textString(textString_);
    pText->close();
  }

  // Without the registered class there is no preview; the jig still lays out and commits.
  if (ZcRxClass* cls = TextArray::desc()) {
    ZcRxObject* created = cls->create();
    if (created != nullptr && created->isA() == cls) {
      textArray_ = static_cast<TextArray*>(created);
      textArray_->setDatabaseDefaults();
      textArray_->setTextId(textId_);
    } else {
      delete created;
    }
  }
}

// The preview belongs to no database, so the jig that made it deletes it once the drags are over.
TallyJig::~TallyJig() {
  delete textArray_;
}

ZcEdJig::DragStatus TallyJig::sampler() {
  setUserInputControls(kGovernedByOrthoMode);
  ZcGePoint3d point(0, 0, 0);
  const DragStatus status = acquirePoint(point);
  if (dragStage_ == 0) {
    setBasePoint(point);
    setEndPoint(point);
  } else if (dragStage_ == 1) {
    setEndPoint(point);
  }
  return status;
}

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

// The copies laid out over `extent` (a length or a sweep): as many as the step fits when no count was
// given (the count follows), else the count given with the step that shares the extent among them.
int copiesOver(double extent, double& step, int& count, bool countGiven, bool& cut) {
  if (!countGiven) {
    count = copiesFromQuotient(extent / step, cut);
    return count;
  }
  if (count <= 0) return 0;
  step = extent / count;
  return copiesFromCount(count, cut);
}

}  // namespace

bool TallyJig::update() {
  const ZcGePoint3d reference = placedByPosition(horizontalMode_, verticalMode_) ? textPosition_ : alignmentPoint_;
  // Every point is laid out about the base point, then moved with it onto the text's reference point.
  const ZcGeVector3d vec_TMpt2Apt = basePoint_ - reference;

  positionArray_.removeAll();
  layoutCut_ = false;
  if (incMethod_ == kLine) {
    const ZcGeVector3d vec_Apt2Ept = endPoint_ - basePoint_;
    const ZcGeVector3d vec_Apt2Ept_norm = vec_Apt2Ept.normal(ZcGeContext::gTol);
    const int n = copiesOver(vec_Apt2Ept.length(), objDist_, objNum_, objNumGiven_, layoutCut_);
    positionArray_.setPhysicalLength(n);
    for (int i = 1; i <= n; ++i) {
      const ZcGePoint3d pt = basePoint_ + vec_Apt2Ept_norm * objDist_ * i;
      positionArray_.append(pt - vec_TMpt2Apt);
    }
  } else if (incMethod_ == kPolar) {
    const ZcGeVector3d vec_CCpt2Apt = basePoint_ - objCenter_;
    const ZcGeVector3d vec_CCpt2Ept = endPoint_ - objCenter_;
    const ZcGeVector3d axis = isClockwise_ ? ZcGeVector3d(0, 0, -1) : ZcGeVector3d(0, 0, 1);
    const double sweep = vec_CCpt2Apt.angleTo(vec_CCpt2Ept, axis);
    const int n = copiesOver(sweep, objAngle_, objNum_, objNumGiven_, layoutCut_);
    positionArray_.setPhysicalLength(n);
    for (int i = 1; i <= n; ++i) {
      ZcGeVector3d vec = vec_CCpt2Apt;
      vec.rotateBy(objAngle_ * i, axis);
      const ZcGePoint3d pt = objCenter_ + vec;
      positionArray_.append(pt - vec_TMpt2Apt);
    }
  } else if (incMethod_ == kFree) {
    setObjNum(1);
    positionArray_.append(endPoint_ - vec_TMpt2Apt);
  }

  const int made =
      copyStrings_.make(textString_, incType_, runStart_, runEnd_, incValue_, positionArray_.length(), stringArray_);
  if (positionArray_.length() > made) positionArray_.setLogicalLength(made);
  // An array that a run falling below zero ended first was not cut by the limit.
  if (made < kMaxCopies) layoutCut_ = false;
  dropUnplaceableCopies();

  if (textArray_ != nullptr) {
    textArray_->setPositionArray(positionArray_);
    textArray_->setStringArray(stringArray_);
  }
  return true;
}

namespace {

bool isFinitePoint(const ZcGePoint3d& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

// Points far out enough overflow on the way (a spacing times a count past the largest double) and
// come out infinite or undefined; such a copy could be neither shown nor stored, so it is left out
// and counted, and the others keep their own numbers.
void TallyJig::dropUnplaceableCopies() {
  unplacedCopies_ = 0;
  const int count = std::min(positionArray_.length(), stringArray_.length());
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (!isFinitePoint(positionArray_[i])) {
      ++unplacedCopies_;
      continue;
    }
    if (kept != i) {
      positionArray_[kept] = positionArray_[i];
      stringArray_[kept] = stringArray_[i];
    }
    ++kept;
  }
  if (unplacedCopies_ == 0) return;
  positionArray_.setLogicalLength(kept);
  stringArray_.setLogicalLength(kept);
}

ZcDbEntity* TallyJig::entity() const {
  return textArray_;
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
  const PickedRun run = analysePick(textId_, clickPoint_);
  if (run.kind == kNothingPicked) {
    zcutPrintf(catalogueText(run.refused ? kTextNotMeasured : kNothingSelected));
    return run.kind;
  }
  if (run.kind == kNotCountable) {
    zcutPrintf(catalogueText(kWrongRunKind));
  } else {
    runStart_ = run.runStart;
    runEnd_ = run.runEnd;
  }
  // A character that cannot be counted is marked too, so that the user sees what was picked.
  markId_ = appendMark(run.corners);
  return run.kind;
}

void TallyJig::eraseMark() {
  ZcDb3dPolyline* pEdge = nullptr;
  if (zcdbOpenObject(pEdge, markId_, ZcDb::kForWrite) != Zcad::eOk || pEdge == nullptr) return;
  pEdge->erase(true);
  pEdge->close();
}
