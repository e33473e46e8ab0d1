// The command "tally": the settings it keeps, the dialogue before the pick, and one run to the erased mark.
#include "command/increment_command.h"

#include <cwchar>

#include "command/flatten_mtext.h"
#include "jig/message_catalogue.h"
#include "jig/tally_jig.h"

int incrementValue = 1;
IncrementMethod incrementMethod = kFree;

void resetIncrementSettings() {
  incrementValue = 1;
  incrementMethod = kFree;
}

void printModeLine() {
  const CatalogueMessage message = incrementMethod == kLine    ? kModeLine
                                   : incrementMethod == kPolar ? kModePolar
                                                               : kModeFree;
  zcutPrintf(L"%s = %d", catalogueText(message), incrementValue);
}

namespace {

constexpr size_t kKeywordLength = 20;

bool isKeyword(const ZTCHAR* answer, const ZTCHAR* keyword) {
  return std::wcscmp(answer, keyword) == 0;
}

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
  TallyJig jig(textId, clickPoint);
  placeArray(jig, incrementMethod, incrementValue);
  jig.eraseMark();
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

TextPick promptForText() {
  TextPick pick;
  ZTCHAR keyword[kKeywordLength];
  for (;;) {
    printModeLine();
    zcedInitGet(RSG_NONULL, L"O");
    int result = zcedEntSel(catalogueText(kPickPrompt), pick.entName, pick.clickPt);
    if (result == RTNORM) {
      pick.picked = true;
      return pick;
    }
    if (result != RTKWORD) return TextPick{};

    // The host reported a keyword; anything but the option itself just shows the mode line again.
    keyword[0] = L'\0';
    if (zcedGetInput(keyword, kKeywordLength) != RTNORM || !isKeyword(keyword, L"O")) continue;

    // "D" is the letter scripts have always used for the step; "I" is the one the English prompt
    // shows, so both are taken in either language.
    zcedInitGet(RSG_NONULL, L"M D I");
    keyword[0] = L'\0';
    if (zcedGetKword(catalogueText(kModifyModePrompt), keyword, kKeywordLength) != RTNORM) return TextPick{};

    if (isKeyword(keyword, L"M")) {
      zcedInitGet(RSG_NONULL, L"L P F");
      keyword[0] = L'\0';
      if (zcedGetKword(catalogueText(kMethodPrompt), keyword, kKeywordLength) != RTNORM) return TextPick{};
      incrementMethod = isKeyword(keyword, L"L") ? kLine : isKeyword(keyword, L"P") ? kPolar : kFree;
      continue;
    }

    zcutPrintf(catalogueText(kStepPrompt));
    zcedInitGet(RSG_NONULL, nullptr);
    // Read into a local so that a cancelled answer cannot touch the setting.
    int value = incrementValue;
    if (zcedGetInt(nullptr, &value) != RTNORM) return TextPick{};
    incrementValue = value;
  }
}

void incrementCommand() {
  MessageCatalogue catalogue = languageCatalogue();
  ActiveCatalogueScope scope(catalogue);
  TextPick pick = promptForText();
  if (pick.picked) handlePick(pick);
}
