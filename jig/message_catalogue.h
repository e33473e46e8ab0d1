// The command's prompts and messages in Chinese and English, and the catalogue of the running command.
#pragma once

#include "module/host.h"

// The catalogue's texts by name, in the catalogue's order.
enum CatalogueMessage {
  kModeLine,  // the mode line of each method, in IncrementMethod's order
  kModePolar,
  kModeFree,
  kPickPrompt,
  kModifyModePrompt,
  kMethodPrompt,
  kStepPrompt,
  kWrongEntity,  // the picked entity is neither Text nor MText
  kSpacingPrompt,
  kCountPrompt,
  kCentrePrompt,
  kAnglePrompt,
  kDirectionPrompt,
  kBasePointPrompt,
  kSecondPointPrompt,
  kNothingSelected,   // no character lies under the pick
  kWrongRunKind,      // the picked character is neither a digit nor an ASCII letter
  kCountAboveLimit,   // a typed number of items above the array limit
  kArrayCut,          // a layout asked for more items than the limit and was cut
  kMTextWithoutText,  // the MText's explode gave no Text to carry its content
  kMTextNotReplaced,  // the drawing refused to take the Text or give up the MText
  kCopiesNotPlaced,   // %d copies whose coordinates overflowed were left out
  kTextNotMeasured,   // the drawing refused to open the picked Text for its measuring
  kCopiesRefused,     // %d of %d copies written: the drawing refused the rest
};

class MessageCatalogue {
 public:
  static constexpr int kCount = kCopiesRefused + 1;

  // Chinese when the buffer holds exactly "zh-CN", English for every other value (or no string).
  explicit MessageCatalogue(const resbuf* verlan);
  explicit MessageCatalogue(const ZTCHAR* language);

  // No range check: callers pass one of the fixed indices.
  const ZTCHAR* at(int index) const { return mTexts[index]; }
  bool isChinese() const { return mChinese; }

 private:
  const ZTCHAR* const* mTexts;
  bool mChinese;
};

// Set by the command for the length of one run, null between runs.
extern MessageCatalogue* activeCatalogue;

// The text from the active catalogue; English when no run is active, so that helpers called outside
// the command (tests, other tools) still speak.
const ZTCHAR* catalogueText(CatalogueMessage message);
