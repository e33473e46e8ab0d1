// The command's prompts and messages in Chinese and English, and the catalogue of the running command.
#pragma once

#include "module/host.h"

// The texts added after the first seventeen, which callers name rather than number.
enum CatalogueMessage {
  kCountAboveLimit = 17,   // a typed number of items above the array limit
  kArrayCut = 18,          // a layout asked for more items than the limit and was cut
  kMTextWithoutText = 19,  // the MText's explode gave no Text to carry its content
  kMTextNotReplaced = 20,  // the drawing refused to take the Text or give up the MText
};

class MessageCatalogue {
 public:
  static constexpr int kCount = 21;

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

// The text of `index` from the active catalogue; English when no run is active, so that helpers
// called outside the command (tests, other tools) still speak.
const ZTCHAR* catalogueText(int index);
