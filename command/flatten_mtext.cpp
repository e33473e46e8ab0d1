// flattenMText: an MText becomes one Text in model space holding all of its lines in one string.
#include "command/flatten_mtext.h"

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

}  // namespace

ZcDbObjectId flattenMText(ZcDbEntity* pEnt, ZcDbObjectId eId) {
  ZcArray<void*> entitySet;
  pEnt->explode(entitySet);
  pEnt->close();

  // Only Text pieces carry text; anything else the explode yields is dropped.
  ZcDbText* pFirst = nullptr;
  ZcString MTextString;
  for (void* piece : entitySet) {
    ZcDbText* pText = ZcDbText::cast(static_cast<ZcDbEntity*>(piece));
    if (pText == nullptr) continue;
    if (pFirst == nullptr) pFirst = pText;
    MTextString = MTextString.concat(pText->textZcString());
  }
  if (pFirst == nullptr) {
    deletePieces(entitySet, nullptr);
    return ZcDbObjectId::kNull;
  }
  pFirst->setTextString(MTextString);

  ZcDbObjectId textId;
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  ZcDbBlockTable* pBlockTable = nullptr;
  ZcDbBlockTableRecord* pBlockTableRecord = nullptr;
  if (db != nullptr && db->getSymbolTable(pBlockTable, ZcDb::kForRead) == Zcad::eOk && pBlockTable != nullptr) {
    if (pBlockTable->getAt(ZCDB_MODEL_SPACE, pBlockTableRecord, ZcDb::kForWrite) != Zcad::eOk) {
      pBlockTableRecord = nullptr;
    }
    if (pBlockTableRecord != nullptr && pBlockTableRecord->appendZcDbEntity(textId, pFirst) == Zcad::eOk) {
      pFirst->close();
    } else {
      textId = ZcDbObjectId::kNull;
    }
    pBlockTable->close();
    if (pBlockTableRecord != nullptr) pBlockTableRecord->close();
  }
  // A piece the drawing did not take is deleted along with the others.
  deletePieces(entitySet, textId.isNull() ? nullptr : pFirst);
  if (textId.isNull()) return textId;

  ZcDbObject* pMText = nullptr;
  if (zcdbOpenObject(pMText, eId, ZcDb::kForWrite) != Zcad::eOk || pMText == nullptr) {
    withdraw(textId);
    return ZcDbObjectId::kNull;
  }
  pMText->erase(true);
  pMText->close();
  return textId;
}
