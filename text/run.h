// The run under a picked character (a digit run or one ASCII letter) and the strings of its copies.
#pragma once

#include <cstdint>

#include "module/host.h"

// Run kinds, as the jig stores them in incType.
enum RunKind { kDigitRun = 0, kLetterRun = 1, kNothingPicked = 2, kNotCountable = 3 };

// Finds the run that contains the character at `index` of `text`: the longest stretch of ASCII digits
// around it (kDigitRun), or that character alone when it is an ASCII letter (kLetterRun); sets
// runStart and runEnd (inclusive) for those two. Otherwise prints message 16 and returns
// kNotCountable, leaving runStart and runEnd untouched.
int extractRun(const ZcString& text, int index, int& runStart, int& runEnd);

// The value of a string of ASCII digits (leading zeros allowed). -1 when it does not fit in 63 bits
// or holds a non-digit; such runs are advanced by decimal addition instead.
std::int64_t runValue(const ZcString& digitString);

// `value` in decimal, padded on the left with "0" to at least `width` characters (never cut).
ZcString zeroPaddedString(std::uint64_t value, int width);

// Fills `strings` with the copy strings of copies 1..count: `text` with the run advanced by k * step
// for copy k. A digit run stops before the first copy whose value would be negative, so fewer than
// `count` strings may result; a letter run wraps within its case. Kinds other than digit and letter
// give no strings. Returns the number of strings made. Existing entries of `strings` are reused, so
// calling it again on the same array allocates little.
int makeCopyStrings(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, int count,
                    ZcArray<ZcString>& strings);

// The string of copy k alone; false when a digit run would fall below zero there.
bool makeCopyString(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, std::int64_t k,
                    ZcString& result);
