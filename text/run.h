// The run under a picked character (a digit run or one ASCII letter) and the strings of its copies.
#pragma once

#include <cstdint>

#include "module/host.h"

// Run kinds, as the jig stores them in incType.
enum RunKind { kDigitRun = 0, kLetterRun = 1, kNothingPicked = 2, kNotCountable = 3 };

// Finds the run that contains the character at `index` of `text`: the longest stretch of ASCII digits
// around it (kDigitRun), or that character alone when it is an ASCII letter (kLetterRun); sets
// runStart and runEnd (inclusive) for those two. Otherwise returns kNotCountable, leaving runStart
// and runEnd untouched; the caller tells the user.
RunKind extractRun(const ZcString& text, int index, int& runStart, int& runEnd);

// The strings of one list of copies, keeping what is still right from the last call: while the
// text, the run and the step stay the same (as they do through a drag, where only the number of
// copies changes), the strings already in the list stay and only those past them are made. Only this
// object may write the list it is given.
class CopyStringList {
 public:
  // Fills `strings` with the copy strings of copies 1..count: `text` with the run advanced by
  // k * step for copy k. A digit run stops before the first copy whose value would be negative, so
  // fewer than `count` strings may result; a letter run wraps within its case. Kinds other than digit
  // and letter give no strings. Returns the number of strings made. Existing entries of `strings` are
  // reused, so a drag allocates little.
  int make(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, int count,
           ZcArray<ZcString>& strings);

 private:
  ZcString mText;
  int mKind = -1;
  int mRunStart = 0;
  int mRunEnd = 0;
  std::int64_t mStep = 0;
  int mMade = 0;            // the list's first mMade entries are copies 1..mMade
  bool mExhausted = false;  // copy mMade + 1 falls below zero
};
