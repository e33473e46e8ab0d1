// promptForText: the loop that lets the user change the settings until a text is picked.
#include "command/dialogue.h"

#include <cwchar>

#include "command/settings.h"
#include "jig/message_catalogue.h"

namespace {

constexpr size_t kKeywordLength = 20;

bool isKeyword(const ZTCHAR* answer, const ZTCHAR* keyword) {
  return std::wcscmp(answer, keyword) == 0;
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
