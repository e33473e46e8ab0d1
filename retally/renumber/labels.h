// The labels of a renumbering: from a start (a number of any length, or a letter) by a step, padded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "module/host.h"

// What the user typed as the start: digits (not negative, any length) or one ASCII letter.
struct StartValue {
  std::u16string text = u"1";
  bool isLetter() const { return text.size() == 1 && !(text[0] >= u'0' && text[0] <= u'9'); }
};

// A start of more digits is refused: every label is as long, and a hundred thousand of them must fit
// in memory.
constexpr size_t kMostStartDigits = 1000;

// Reads a typed start: digits only, or a single ASCII letter (an apostrophe before it is dropped, so
// that the letters the options use can be typed as starts: 'O). False for anything else.
bool parseStart(const std::u16string& typed, StartValue& start);

// The labels of `count` texts: label k is the start advanced by k × step (exactly, at any length;
// a letter wraps within its case), at least `digits` digits wide, and at least as wide as the start
// was typed. A number that would fall below zero has no label: from there on `labels` ends, and
// the count of those left out is returned.
int makeLabels(const StartValue& start, std::int64_t step, int digits, int count, std::vector<std::u16string>& labels);
