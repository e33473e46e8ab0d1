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

#include <cstddef>
#include <string>
#include <string_view>

// Fast paths of this host's string and array classes that the real host's API does not offer. The
// module reaches them only through these names, so that a port changes this file alone. Built with
// TALLY_PORTABLE_HOST (CMake: ZRX_MODULE_PORTABLE) they take the public API only, as on another host.
namespace hostfast {

#ifndef TALLY_PORTABLE_HOST

// The string's UTF-16 units, without a copy.
inline const std::u16string& units(const ZcString& text) {
  return text.utf16();
}
// Replaces the string's units in place, reusing its storage.
inline void setUnits(ZcString& text, std::u16string_view units) {
  text.setUnits(units);
}
// Replaces one unit of the string.
inline void setUnitAt(ZcString& text, std::size_t index, char16_t unit) {
  text.utf16Mutable()[index] = unit;
}
// Copies one array's elements over another's, reusing its storage.
template <typename T>
void assignItems(ZcArray<T>& target, const ZcArray<T>& source) {
  target.items() = source.items();
}

#else

// Unit by unit: a host's characters (ZTCHAR) are UTF-16 units, as its string indices count them.
inline std::u16string units(const ZcString& text) {
  std::u16string out(static_cast<std::size_t>(text.length()), u'\0');
  for (int i = 0; i < text.length(); ++i) out[static_cast<std::size_t>(i)] = static_cast<char16_t>(text.getAt(i));
  return out;
}
// Through a wide string: where wchar_t holds 32 bits, a surrogate pair becomes its one character.
inline void setUnits(ZcString& text, std::u16string_view units) {
  std::wstring wide;
  wide.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (sizeof(wchar_t) > 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00u);
    wide.push_back(static_cast<wchar_t>(c));
  }
  text = ZcString(wide.c_str());
}
inline void setUnitAt(ZcString& text, std::size_t index, char16_t unit) {
  std::u16string all = units(text);
  all[index] = unit;
  setUnits(text, all);
}
template <typename T>
void assignItems(ZcArray<T>& target, const ZcArray<T>& source) {
  target = source;
}

#endif

}  // namespace hostfast
