// The place of a label in a text: the last number it holds, the whole text, before or after it.
#include "retally/renumber/placement.h"

namespace {

bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool isLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

}  // namespace

bool placeLabel(std::u16string_view plain, Place place, const std::u16string& label, PlainEdit& edit) {
  switch (place) {
    case Place::kOverwrite:
      edit = {0, plain.size(), label};
      return true;
    case Place::kPrefix:
      edit = {0, 0, label + u" "};
      return true;
    case Place::kSuffix:
      edit = {plain.size(), plain.size(), u" " + label};
      return true;
    case Place::kRun:
      break;
  }
  const bool letterLabel = label.size() == 1 && isLetter(label[0]);
  for (size_t end = plain.size(); end > 0; --end) {
    const char16_t c = plain[end - 1];
    if (letterLabel) {
      const bool alone =
          isLetter(c) && (end < 2 || !isLetter(plain[end - 2])) && (end == plain.size() || !isLetter(plain[end]));
      if (!alone) continue;
      edit = {end - 1, end, label};
      return true;
    }
    if (!isDigit(c)) continue;
    size_t from = end - 1;
    while (from > 0 && isDigit(plain[from - 1])) --from;
    edit = {from, end, label};
    return true;
  }
  return false;
}

PlainEdit narrowed(std::u16string_view plain, PlainEdit edit) {
  size_t head = 0;
  while (edit.from + head < edit.to && head < edit.insert.size() && plain[edit.from + head] == edit.insert[head])
    ++head;
  edit.from += head;
  edit.insert.erase(0, head);
  size_t tail = 0;
  while (edit.to - tail > edit.from && tail < edit.insert.size() &&
         plain[edit.to - tail - 1] == edit.insert[edit.insert.size() - tail - 1])
    ++tail;
  edit.to -= tail;
  edit.insert.resize(edit.insert.size() - tail);
  return edit;
}
