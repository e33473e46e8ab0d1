// Fuzz target: the editor's readers of typed answers: numbers, integers, points (polar too), object
// snap names, keywords, selection words.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ed/drafting.h"
#include "ed/parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first line is a keyword list, the rest an answer to every kind of prompt.
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::size_t eol = all.find('\n');
  std::string_view list = eol == std::string_view::npos ? std::string_view() : all.substr(0, eol);
  std::string_view answer = eol == std::string_view::npos ? all : all.substr(eol + 1);

  double real = 0;
  if (zrxhost::ed::parseReal(answer, real) && real != real) __builtin_trap();  // NaN is never accepted
  int whole = 0;
  (void)zrxhost::ed::parseInt(answer, whole);
  ZcGePoint3d point;
  // A point read, cartesian or polar, is always finite.
  if (zrxhost::ed::parsePoint(answer, ZcGePoint3d(1, 2, 3), point) &&
      !(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.z)))
    __builtin_trap();
  const int snap = zrxhost::ed::snapBitNamed(answer);
  if (snap < -1 || snap > 512) __builtin_trap();
  std::wstring wide(list.begin(), list.end());
  std::vector<std::wstring> keywords = zrxhost::ed::splitKeywords(wide.c_str());
  int index = zrxhost::ed::matchKeyword(keywords, answer);
  if (index < -1 || index >= static_cast<int>(keywords.size())) __builtin_trap();
  // A selection word is never also a point: the select prompt tries points first.
  if (zrxhost::ed::parseSelectionWord(answer) != zrxhost::ed::SelectionWord::kNone &&
      zrxhost::ed::parsePoint(answer, ZcGePoint3d(1, 2, 3), point))
    __builtin_trap();
  return 0;
}
