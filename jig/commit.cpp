// Writing into model space: the copies of a line or polar array at once, or the one copy of a free
// placement; the shared model-space door and placement rule.
#include "jig/commit.h"

#include <algorithm>

#include "jig/tally_jig.h"
#include "jig/text_array.h"

ModelSpace::ModelSpace() {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  if (db == nullptr || db->getSymbolTable(pBlockTable, ZcDb::kForRead) != Zcad::eOk || pBlockTable == nullptr) {
    pBlockTable = nullptr;
    return;
  }
  if (pBlockTable->getAt(ZCDB_MODEL_SPACE, pBlockTableRecord, ZcDb::kForWrite, false) != Zcad::eOk ||
      pBlockTableRecord == nullptr) {
    pBlockTableRecord = nullptr;
    pBlockTable->close();
    pBlockTable = nullptr;
  }
}

ModelSpace::~ModelSpace() {
  if (pBlockTable != nullptr) pBlockTable->close();
  if (pBlockTableRecord != nullptr) pBlockTableRecord->close();
}

bool ModelSpace::append(ZcDbEntity* pEnt, ZcDbObjectId& id) {
  if (!isOpen() || pBlockTableRecord->appendZcDbEntity(id, pEnt) != Zcad::eOk) {
    delete pEnt;
    id = ZcDbObjectId::kNull;
    return false;
  }
  return true;
}

void placeCopy(ZcDbText* pText, const ZcGePoint3d& point) {
  const int h = pText->horizontalMode();
  if (!placedByPosition(h, pText->verticalMode())) {
    pText->setAlignmentPoint(point);
    return;
  }
  const ZcGeVector3d baseline = pText->alignmentPoint() - pText->position();
  pText->setPosition(point);
  // Both ends move together, so the copy keeps the source's baseline direction and length.
  if (h == ZcDb::kTextFit || h == ZcDb::kTextAlign) pText->setAlignmentPoint(point + baseline);
}

ZcDbText* cloneText(ZcDbObjectId textId) {
  ZcDbText* pSource = nullptr;
  if (zcdbOpenObject(pSource, textId, ZcDb::kForRead) != Zcad::eOk || pSource == nullptr) return nullptr;
  ZcRxObject* pCopy = pSource->clone();
  pSource->close();
  if (pCopy == nullptr) return nullptr;
  if (pCopy->isA() == nullptr || !pCopy->isA()->isDerivedFrom(ZcDbText::desc())) {
    delete pCopy;
    return nullptr;
  }
  return static_cast<ZcDbText*>(pCopy);
}

ZcDbText* makeCopy(ZcDbObjectId textId, const ZcGePoint3d& point, const ZcString& string) {
  ZcDbText* pText = cloneText(textId);
  if (pText == nullptr) return nullptr;
  pText->setTextString(string);
  placeCopy(pText, point);
  return pText;
}

namespace {

// Hands the copy to the drawing and closes it.
bool appendCopy(ModelSpace& modelSpace, ZcDbText* pText) {
  ZcDbObjectId id;
  if (!modelSpace.append(pText, id)) return false;
  pText->close();
  return true;
}

}  // namespace

int commitAllCopies(const TallyJig& jig) {
  const ZcArray<ZcGePoint3d> PositionArray = jig.positionArray();
  const ZcArray<ZcString> StringArray = jig.stringArray();
  ModelSpace modelSpace;
  if (!modelSpace.isOpen()) return 0;
  const int count = std::min(PositionArray.length(), StringArray.length());
  int written = 0;
  for (int i = 0; i < count; ++i) {
    ZcDbText* pText = makeCopy(jig.textId(), PositionArray[i], StringArray[i]);
    // The source is the same for every copy: once it cannot be copied, none of the rest can.
    if (pText == nullptr) break;
    if (!appendCopy(modelSpace, pText)) break;
    ++written;
  }
  return written;
}

bool commitOneCopy(const TallyJig& jig) {
  const ZcArray<ZcGePoint3d> PositionArray = jig.positionArray();
  const ZcArray<ZcString> StringArray = jig.stringArray();
  if (PositionArray.isEmpty() || StringArray.isEmpty()) return false;
  ZcDbText* pText = makeCopy(jig.textId(), PositionArray[0], StringArray[0]);
  if (pText == nullptr) return false;
  ModelSpace modelSpace;
  return appendCopy(modelSpace, pText);
}
