// incrementCommand: from the language choice to the erased mark, for one run of "tally".
#include "command/increment_command.h"

#include "command/dialogue.h"
#include "command/flatten_mtext.h"
#include "command/settings.h"
#include "jig/message_catalogue.h"
#include "jig/placement.h"
#include "jig/tally_jig.h"
#include "module/host.h"

namespace {

// Clears the active catalogue however the run ends.
class ActiveCatalogueScope {
 public:
  explicit ActiveCatalogueScope(MessageCatalogue& catalogue) { activeCatalogue = &catalogue; }
  ~ActiveCatalogueScope() { activeCatalogue = nullptr; }
  ActiveCatalogueScope(const ActiveCatalogueScope&) = delete;
  ActiveCatalogueScope& operator=(const ActiveCatalogueScope&) = delete;
};

MessageCatalogue languageCatalogue() {
  resbuf* verlan = zcutNewRb(RTSTR);
  if (verlan == nullptr) return MessageCatalogue(static_cast<const ZTCHAR*>(nullptr));
  zcedGetVar(L"VERLAN", verlan);
  MessageCatalogue catalogue(verlan);
  zcutRelRb(verlan);
  return catalogue;
}

void placeCopies(ZcDbObjectId textId, const ZcGePoint3d& clickPoint) {
  TallyJig test(textId, clickPoint);
  placeArray(test, incrementMethod, incrementValue);
  test.eraseMark();
}

void handlePick(const TextPick& pick) {
  ZcDbObjectId eId;
  if (zcdbGetObjectId(eId, pick.entName) != Zcad::eOk) return;
  ZcDbObject* pObj = nullptr;
  if (zcdbOpenObject(pObj, eId, ZcDb::kForRead) != Zcad::eOk || pObj == nullptr) return;
  auto* pEnt = ZcDbEntity::cast(pObj);

  // Exact class: a class derived from Text or MText is refused like any other entity.
  const ZcRxClass* kind = pObj->isA();
  ZcGePoint3d clickPoint = asPnt3d(pick.clickPt);
  if (pEnt != nullptr && kind == ZcDbText::desc()) {
    pEnt->close();
    placeCopies(eId, clickPoint);
  } else if (pEnt != nullptr && kind == ZcDbMText::desc()) {
    ZcDbObjectId textId = flattenMText(pEnt, eId, clickPoint);
    if (!textId.isNull()) placeCopies(textId, clickPoint);
  } else {
    zcutPrintf(catalogueText(kWrongEntity));
    pObj->close();
  }
}

}  // namespace

void incrementCommand() {
  MessageCatalogue catalogue = languageCatalogue();
  ActiveCatalogueScope scope(catalogue);
  TextPick pick = promptForText();
  if (pick.picked) handlePick(pick);
}
