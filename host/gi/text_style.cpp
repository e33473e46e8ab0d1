// ZcGiTextStyle: the font names and the serial that stands for them.
#include "zrx/gi.h"

namespace {
// Serials are never reused, so a serial stands for one pair of names for the whole session.
std::uint64_t gLastFontsSerial = 0;
}  // namespace

void ZcGiTextStyle::setFileName(const ZcString& name) {
  mFileName = name;
  mFontsSerial = ++gLastFontsSerial;
}

void ZcGiTextStyle::setBigFontFileName(const ZcString& name) {
  mBigFontFileName = name;
  mFontsSerial = ++gLastFontsSerial;
}
