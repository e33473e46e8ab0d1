// Where a label goes in a text's plain characters, for each place the user can choose.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class Place { kRun, kOverwrite, kPrefix, kSuffix };

// One change of plain text: the characters [from, to) give way to `insert`.
struct PlainEdit {
  size_t from = 0;
  size_t to = 0;
  std::u16string insert;
};

// The edit that writes `label` into `plain`: Run replaces the last run of ASCII digits (a letter
// label: the last ASCII letter that stands alone), Overwrite the whole text, Prefix puts the label
// and a space before it, Suffix a space and the label after it. False when Run finds nothing.
bool placeLabel(std::u16string_view plain, Place place, const std::u16string& label, PlainEdit& edit);

// The edit narrowed to the characters that change: what `insert` shares with the start and the end
// of [from, to) stays in place.
PlainEdit narrowed(std::u16string_view plain, PlainEdit edit);
