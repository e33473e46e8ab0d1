// An MText's contents read as plain characters, each tied to the span of contents it comes from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "retally/renumber/placement.h"

// One character of the plain text and the contents [begin, end) that write it: one unit for a
// character written as itself, more for an escape ("\{", "%%d", "\U+00B0"); the characters of a
// stacked fraction share the span of the whole stack.
struct PlainCharacter {
  char16_t character;
  std::uint32_t begin;
  std::uint32_t end;
};

// The plain characters of `contents` in order: formatting codes ("\H2x;", "{", "\L") write none,
// a paragraph break writes "\n".
std::vector<PlainCharacter> plainCharacters(std::u16string_view contents);

std::u16string plainTextOf(const std::vector<PlainCharacter>& characters);

// The contents with the plain characters [edit.from, edit.to) taken out and `edit.insert` written
// where the first of them stood (past the last character for an edit at the end); every code stays.
// Braces and backslashes in the inserted text are escaped.
std::u16string editContents(std::u16string_view contents, const std::vector<PlainCharacter>& characters,
                            const PlainEdit& edit);
