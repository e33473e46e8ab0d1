// Run extraction and the copy strings: exact decimal arithmetic for digit runs, wrap-around for letters.
#include "text/run.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

bool isRunDigit(ZTCHAR c) {
  return zcutIsDigit(static_cast<int>(c)) != 0;
}

// Everything about one run that does not depend on the copy number, worked out once per update.
struct RunParts {
  int prefixLength = 0;  // units before the run
  int width = 0;         // the run's width: the minimum width of every copy's number
  char16_t letter = 0;
};

bool prepare(const ZcString& text, int kind, int runStart, int runEnd, RunParts& parts) {
  if (kind != kDigitRun && kind != kLetterRun) return false;
  if (runStart < 0 || runEnd < runStart || runEnd >= text.length()) return false;
  if (kind == kLetterRun && runStart != runEnd) return false;
  const std::u16string& units = hostfast::units(text);
  parts.prefixLength = runStart;
  parts.width = runEnd - runStart + 1;
  if (kind == kLetterRun) {
    parts.letter = units[static_cast<size_t>(runStart)];
    bool lower = parts.letter >= u'a' && parts.letter <= u'z';
    bool upper = parts.letter >= u'A' && parts.letter <= u'Z';
    return lower || upper;
  }
  for (int i = runStart; i <= runEnd; ++i) {
    char16_t c = units[static_cast<size_t>(i)];
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

using Wide = unsigned __int128;

// The magnitude of a signed 64-bit value, which may be one past the largest positive one.
std::uint64_t magnitudeOf(std::int64_t value) {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

// The text of a copy with its run's digits worked on in place, like an odometer: each advance adds
// (or subtracts) one fixed delta digit by digit, so successive copies cost a digit or two of work
// rather than a conversion of the whole number, and a run of any length is exact. The number keeps
// at least the run's width (leading zeros) and grows to the left when a carry needs more digits.
class DigitOdometer {
 public:
  // Each advance adds k × step to the number: k = 1 walks the copies one by one.
  DigitOdometer(const ZcString& text, const RunParts& parts, std::int64_t step, std::int64_t k)
      : mUnits(hostfast::units(text)),
        mStart(static_cast<size_t>(parts.prefixLength)),
        mLength(static_cast<size_t>(parts.width)) {
    setDelta(step, k);
  }

  // From now on each advance adds k × step: a jump to a far copy, then a walk from it.
  void setDelta(std::int64_t step, std::int64_t k) {
    mSubtract = (step < 0) != (k < 0);
    // The product of two 64-bit magnitudes fits in 128 bits. Its digits are taken once per
    // odometer, so the 128-bit division costs nothing per copy.
    mDeltaDigits = 0;
    for (Wide delta = static_cast<Wide>(magnitudeOf(step)) * magnitudeOf(k); delta != 0; delta /= 10)
      mDelta[mDeltaDigits++] = static_cast<unsigned char>(delta % 10);
  }

  // False when the number would fall below zero; the text is then no copy's and must not be used.
  bool advance() { return mSubtract ? subtractDelta() : addDelta(); }

  const std::u16string& units() const { return mUnits; }

 private:
  bool addDelta() {
    int carry = 0;
    size_t i = mLength;
    for (size_t s = 0; s < mDeltaDigits || carry != 0; ++s) {
      if (i == 0) {  // one more digit in front
        mUnits.insert(mStart, 1, u'0');
        ++mLength;
        ++i;
      }
      char16_t& unit = mUnits[mStart + --i];
      int digit = unit - u'0' + carry + (s < mDeltaDigits ? mDelta[s] : 0);
      carry = digit > 9 ? 1 : 0;
      unit = static_cast<char16_t>(u'0' + digit - 10 * carry);
    }
    return true;
  }

  // Below the run's value the number always fits the run's width, so it never shrinks.
  bool subtractDelta() {
    int borrow = 0;
    size_t i = mLength;
    for (size_t s = 0; s < mDeltaDigits || borrow != 0; ++s) {
      if (i == 0) return false;  // borrowed past the first digit: below zero
      char16_t& unit = mUnits[mStart + --i];
      int digit = unit - u'0' - borrow - (s < mDeltaDigits ? mDelta[s] : 0);
      borrow = digit < 0 ? 1 : 0;
      unit = static_cast<char16_t>(u'0' + digit + 10 * borrow);
    }
    return true;
  }

  std::u16string mUnits;
  size_t mStart;   // the number's first unit
  size_t mLength;  // the number's digits now
  bool mSubtract = false;
  unsigned char mDelta[40] = {};  // the delta's decimal digits, least significant first
  size_t mDeltaDigits = 0;
};

void letterCopy(const ZcString& text, const RunParts& parts, std::int64_t step, std::int64_t k, ZcString& result) {
  // Only the shift modulo 26 matters, so reduce both factors first: the product cannot overflow.
  int shift = static_cast<int>(((k % 26) * (step % 26)) % 26);
  char16_t base = parts.letter >= u'a' ? u'a' : u'A';
  int offset = ((parts.letter - base + shift) % 26 + 26) % 26;
  hostfast::setUnits(result, hostfast::units(text));
  hostfast::setUnitAt(result, static_cast<size_t>(parts.prefixLength), static_cast<char16_t>(base + offset));
}

}  // namespace

RunKind extractRun(const ZcString& text, int index, int& runStart, int& runEnd) {
  if (index < 0 || index >= text.length()) return kNotCountable;
  ZTCHAR c = text.getAt(index);
  if (isRunDigit(c)) {
    int start = index;
    while (start > 0 && isRunDigit(text.getAt(start - 1))) --start;
    int end = index;
    while (end + 1 < text.length() && isRunDigit(text.getAt(end + 1))) ++end;
    runStart = start;
    runEnd = end;
    return kDigitRun;
  }
  if (c < 128 && zcutIsAlpha(static_cast<int>(c))) {
    runStart = index;
    runEnd = index;
    return kLetterRun;
  }
  return kNotCountable;
}

int CopyStringList::make(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, int count,
                         ZcArray<ZcString>& strings) {
  RunParts parts;
  if (count <= 0 || !prepare(text, kind, runStart, runEnd, parts)) {
    strings.setLogicalLength(0);
    mMade = 0;
    mExhausted = false;
    return 0;
  }
  if (kind != mKind || runStart != mRunStart || runEnd != mRunEnd || step != mStep || text != mText) {
    mText = text;
    mKind = kind;
    mRunStart = runStart;
    mRunEnd = runEnd;
    mStep = step;
    mMade = 0;
    mExhausted = false;
  }
  mMade = std::min(mMade, strings.length());  // never trust more than the list holds
  if (count <= mMade) {
    if (count < mMade) mExhausted = false;  // copy count + 1 was made: it exists
    strings.setLogicalLength(count);
    mMade = count;
    return count;
  }
  if (mExhausted) {
    strings.setLogicalLength(mMade);
    return mMade;
  }

  strings.setLogicalLength(count);
  int made = mMade;
  if (kind == kLetterRun) {
    for (; made < count; ++made) letterCopy(text, parts, step, made + 1, strings[made]);
  } else {
    DigitOdometer odometer(text, parts, step, made + 1);  // straight to the first copy not made yet
    if (odometer.advance()) {
      hostfast::setUnits(strings[made++], odometer.units());
      odometer.setDelta(step, 1);
      while (made < count && odometer.advance()) hostfast::setUnits(strings[made++], odometer.units());
    }
  }
  mExhausted = made < count;
  strings.setLogicalLength(made);
  mMade = made;
  return made;
}
