// The module's one door to the host: every host API header the module uses, included here only.
#pragma once

#include "zrx/array.h"
#include "zrx/core.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrx/ge.h"
#include "zrx/gi.h"
#include "zrx/rx.h"
#include "zrx/string.h"

// Exported by the module (everything else is hidden).
#define TALLY_EXPORT extern "C" __attribute__((visibility("default")))

#include <string>
#include <string_view>

// Fast paths of this host's string and array classes that the real host's API does not offer. The
// module reaches them only through these names, so that a port changes this file alone (there:
// element by element through the public API).
namespace hostfast {

// The string's UTF-16 units, without a copy.
inline const std::u16string& units(const ZcString& text) {
  return text.utf16();
}
inline std::u16string& mutableUnits(ZcString& text) {
  return text.utf16Mutable();
}
// Replaces the string's units in place, reusing its storage.
inline void setUnits(ZcString& text, std::u16string_view units) {
  text.setUnits(units);
}
// Copies one array's elements over another's, reusing its storage.
template <typename T>
void assignItems(ZcArray<T>& target, const ZcArray<T>& source) {
  target.items() = source.items();
}

}  // namespace hostfast
