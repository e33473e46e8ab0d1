// The labels of a renumbering, counted by the text layer's exact run arithmetic.
#include "retally/renumber/labels.h"

#include "text/run.h"

bool parseStart(const std::u16string& typed, StartValue& start) {
  std::u16string text = typed;
  if (text.size() == 2 && text[0] == u'\'') text.erase(0, 1);
  if (text.empty()) return false;
  const bool letter =
      text.size() == 1 && ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'));
  if (!letter) {
    for (char16_t c : text)
      if (c < u'0' || c > u'9') return false;
  }
  start.text = text;
  return true;
}

int makeLabels(const StartValue& start, std::int64_t step, int digits, int count, std::vector<std::u16string>& labels) {
  labels.clear();
  if (count <= 0) return 0;
  labels.reserve(static_cast<size_t>(count));
  const ZcString startText(start.text);
  const int width = static_cast<int>(start.text.size());
  const bool letter = start.isLetter();
  auto padded = [&](const std::u16string& label) {
    if (letter || static_cast<int>(label.size()) >= digits) return label;
    return std::u16string(static_cast<size_t>(digits) - label.size(), u'0') + label;
  };
  labels.push_back(padded(start.text));
  // Labels 1..count-1 are the copies of the start as a one-run text, the run being the whole of it.
  ZcArray<ZcString> copies;
  CopyStringList list;
  const int made = list.make(startText, letter ? kLetterRun : kDigitRun, 0, width - 1, step, count - 1, copies);
  for (int i = 0; i < made; ++i) labels.push_back(padded(hostfast::units(copies[i])));
  return count - 1 - made;
}
