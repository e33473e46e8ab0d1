// The placement dialogue: the pick, the method's parameters, the two drags and the commit.
#include "jig/placement.h"

#include <cstdint>
#include <cwchar>

#include "jig/commit.h"
#include "jig/message_catalogue.h"
#include "jig/tally_jig.h"
#include "jig/text_array.h"
#include "text/run.h"

namespace {

constexpr size_t kKeywordLength = 20;

// After the keyword answer "N": the count of copies, refused when empty, zero or negative.
bool askNumber(TallyJig& jig) {
  ZTCHAR keyword[kKeywordLength] = {};
  if (zcedGetInput(keyword, kKeywordLength) != RTNORM || std::wcscmp(keyword, L"N") != 0) return false;
  for (;;) {
    int objNum = 0;
    zcedInitGet(RSG_NONULL | RSG_NOZERO | RSG_NONEG, nullptr);
    if (zcedGetInt(catalogueText(kCountPrompt), &objNum) != RTNORM) return false;
    // A count past the limit would be laid out as fewer copies spread over the same drag, so it is
    // refused like a count of 0 and asked for again.
    if (objNum <= kMaxCopies) {
      jig.setObjNum(objNum);
      return true;
    }
    zcutPrintf(catalogueText(kCountAboveLimit));
  }
}

bool askLine(TallyJig& jig) {
  double objDist = 0;
  zcedInitGet(RSG_NONULL, L"N");
  const int rc = zcedGetDist(nullptr, catalogueText(kSpacingPrompt), &objDist);
  if (rc == RTNORM) {
    jig.setObjDist(objDist);
    return true;
  }
  return rc == RTKWORD && askNumber(jig);
}

bool askPolar(TallyJig& jig) {
  zds_point objCenter = {0, 0, 0};
  zcedInitGet(RSG_NONULL, nullptr);
  if (zcedGetPoint(nullptr, catalogueText(kCentrePrompt), objCenter) != RTNORM) return false;
  jig.setObjCenter(asPnt3d(objCenter));

  double objAngle = 0;
  zcedInitGet(RSG_NONULL, L"N");
  const int rc = zcedGetAngle(objCenter, catalogueText(kAnglePrompt), &objAngle);
  if (rc == RTNORM) {
    jig.setObjAngle(objAngle);
  } else if (rc != RTKWORD || !askNumber(jig)) {
    return false;
  }

  ZTCHAR keyword[kKeywordLength] = {};
  // "CW" is the counterclockwise letter scripts have always used; "A" is the one the English prompt
  // shows. Every answer but "C" turns counterclockwise.
  zcedInitGet(RSG_NONULL, L"C CW A");
  if (zcedGetKword(catalogueText(kDirectionPrompt), keyword, kKeywordLength) != RTNORM) return false;
  jig.setClockwise(std::wcscmp(keyword, L"C") == 0);
  return true;
}

// One drag of the jig: 0 for the base point (no copies shown), 1 for the second point.
bool runDrag(TallyJig& jig, int stage) {
  jig.setDispPrompt(catalogueText(stage == 0 ? kBasePointPrompt : kSecondPointPrompt));
  jig.setDragStage(stage);
  if (jig.textArray() != nullptr) jig.textArray()->setDragStage(stage);
  return jig.drag() == ZcEdJig::kNormal;
}

bool pickRun(TallyJig& jig) {
  jig.setIncType(jig.pickCharacterRun());
  return jig.incType() == kDigitRun || jig.incType() == kLetterRun;
}

void placeFree(TallyJig& jig, int increment) {
  jig.setIncMethod(kFree);
  jig.setIncValue(increment);
  if (!pickRun(jig)) return;
  if (!runDrag(jig, 0)) return;
  // Copy k carries the run advanced by k steps. The product is kept in 64 bits, which a 32-bit step
  // times any number of copies a user can place never leaves.
  const std::int64_t step = increment;
  for (std::int64_t k = 1;;) {
    jig.setIncValue(step * k);
    if (!runDrag(jig, 1)) return;
    // A point too far out to hold the copy is refused; the next point takes the same number.
    if (jig.unplacedCopies() > 0) {
      zcutPrintf(catalogueText(kCopiesNotPlaced), jig.unplacedCopies());
      continue;
    }
    // No copy: the run would fall below zero, and the series ends there.
    if (jig.copyCount() == 0) return;
    if (!commitOneCopy(jig)) {
      zcutPrintf(catalogueText(kCopiesRefused), 0, 1);
      return;
    }
    ++k;
  }
}

}  // namespace

void placeArray(TallyJig& jig, IncrementMethod method, int increment) {
  if (method == kFree) {
    placeFree(jig, increment);
    return;
  }
  jig.setIncMethod(method);
  jig.setIncValue(increment);
  if (!pickRun(jig)) return;
  if (method == kLine && !askLine(jig)) return;
  if (method == kPolar && !askPolar(jig)) return;
  if (!runDrag(jig, 0)) return;
  if (!runDrag(jig, 1)) return;
  const int written = commitAllCopies(jig);
  if (written < jig.copyCount()) zcutPrintf(catalogueText(kCopiesRefused), written, jig.copyCount());
  if (jig.layoutCut()) zcutPrintf(catalogueText(kArrayCut));
  if (jig.unplacedCopies() > 0) zcutPrintf(catalogueText(kCopiesNotPlaced), jig.unplacedCopies());
}
