// Copies of the source Text appended to model space: every copy of a line or polar array at once, or
// the one copy of a free placement.
#include "jig/commit.h"

#include <algorithm>

#include "jig/tally_jig.h"

namespace {

// The working database's model space, open for write, with its block table open for read. Both
// stay null when either cannot be opened.
struct ModelSpace {
  ZcDbBlockTable* pBlockTable = nullptr;
  ZcDbBlockTableRecord* pBlockTableRecord = nullptr;

  ModelSpace() {
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
  ~ModelSpace() {
    if (pBlockTable != nullptr) pBlockTable->close();
    if (pBlockTableRecord != nullptr) pBlockTableRecord->close();
  }
  ModelSpace(const ModelSpace&) = delete;
  ModelSpace& operator=(const ModelSpace&) = delete;

  bool isOpen() const { return pBlockTableRecord != nullptr; }

  // Hands the copy to the drawing and closes it; a copy the drawing refuses is deleted.
  bool append(ZcDbText* pText) {
    if (pBlockTableRecord->appendZcDbEntity(pText) != Zcad::eOk) {
      delete pText;
      return false;
    }
    pText->close();
    return true;
  }
};

}  // namespace

ZcDbText* makeCopy(ZcDbObjectId textId, const ZcGePoint3d& point, const ZcString& string) {
  ZcDbText* pSource = nullptr;
  if (zcdbOpenObject(pSource, textId, ZcDb::kForRead) != Zcad::eOk || pSource == nullptr) return nullptr;
  ZcRxObject* pCopy = pSource->clone();
  pSource->close();
  if (pCopy == nullptr) return nullptr;
  if (pCopy->isA() == nullptr || !pCopy->isA()->isDerivedFrom(ZcDbText::desc())) {
    delete pCopy;
    return nullptr;
  }
  auto* pText = static_cast<ZcDbText*>(pCopy);
  pText->setTextString(string);
  const int h = pText->horizontalMode();
  const ZcGeVector3d vec = pText->alignmentPoint() - pText->position();
  if (pText->isDefaultAlignment()) {
    pText->setPosition(point);
  } else if (h == ZcDb::kTextFit || h == ZcDb::kTextAlign) {
    // Both ends move together, so the copy keeps the source's baseline direction and length.
    pText->setPosition(point);
    pText->setAlignmentPoint(point + vec);
  } else {
    pText->setAlignmentPoint(point);
  }
  return pText;
}

int commitAllCopies(const TallyJig& jig) {
  const ZcArray<ZcGePoint3d> PositionArray = jig.positionArray();
  const ZcArray<ZcString> StringArray = jig.stringArray();
  ModelSpace modelSpace;
  if (!modelSpace.isOpen()) return 0;
  const int count = std::min(PositionArray.length(), StringArray.length());
  int written = 0;
  for (int i = 0; i < count; ++i) {
    ZcDbText* pText = makeCopy(jig.textId, PositionArray[i], StringArray[i]);
    // The source is the same for every copy: once it cannot be copied, none of the rest can.
    if (pText == nullptr) break;
    if (!modelSpace.append(pText)) break;
    ++written;
  }
  return written;
}

bool commitOneCopy(const TallyJig& jig) {
  const ZcArray<ZcGePoint3d> PositionArray = jig.positionArray();
  const ZcArray<ZcString> StringArray = jig.stringArray();
  if (PositionArray.isEmpty() || StringArray.isEmpty()) return false;
  ZcDbText* pText = makeCopy(jig.textId, PositionArray[0], StringArray[0]);
  if (pText == nullptr) return false;
  ModelSpace modelSpace;
  if (!modelSpace.isOpen()) {
    delete pText;
    return false;
  }
  return modelSpace.append(pText);
}
