// TallyJig: construction from the picked text, the preview it owns, and the sampler of both drags.
#include "jig/tally_jig.h"

#include <cmath>

#include "jig/text_array.h"

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
