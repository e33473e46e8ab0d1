// Run extraction and the copy strings: exact decimal arithmetic for digit runs, wrap-around for letters.
#include "text/run.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>

#include "command/message_catalogue.h"

namespace {

bool isRunDigit(ZTCHAR c) {
  return zcutIsDigit(static_cast<int>(c)) != 0;
}

// Everything about one run that does not depend on the copy number, worked out once per update.
struct RunParts {
  int prefixLength = 0;     // units before the run
  int suffixStart = 0;      // first unit after the run
  int width = 0;            // the run's width: the minimum width of every copy's number
  std::int64_t value = -1;  // the run's value when it fits in 63 bits, else -1
  std::string digits;       // the run's digits, for runs that do not fit
  char16_t letter = 0;
};

bool prepare(const ZcString& text, int kind, int runStart, int runEnd, RunParts& parts) {
  if (kind != kDigitRun && kind != kLetterRun) return false;
  if (runStart < 0 || runEnd < runStart || runEnd >= text.length()) return false;
  if (kind == kLetterRun && runStart != runEnd) return false;
  const std::u16string& units = text.utf16();
  parts.prefixLength = runStart;
  parts.suffixStart = runEnd + 1;
  parts.width = runEnd - runStart + 1;
  if (kind == kLetterRun) {
    parts.letter = units[static_cast<size_t>(runStart)];
    bool lower = parts.letter >= u'a' && parts.letter <= u'z';
    bool upper = parts.letter >= u'A' && parts.letter <= u'Z';
    return lower || upper;
  }
  parts.digits.resize(static_cast<size_t>(parts.width));
  for (int i = 0; i < parts.width; ++i) {
    char16_t c = units[static_cast<size_t>(runStart + i)];
    if (c < u'0' || c > u'9') return false;
    parts.digits[static_cast<size_t>(i)] = static_cast<char>(c);
  }
  parts.value = runValue(text.substr(runStart, parts.width));
  return true;
}

// Writes prefix + digits (padded with "0" to the run's width) + suffix into `result`, reusing its
// storage.
void writeNumber(const ZcString& text, const RunParts& parts, const char* digits, size_t digitCount, ZcString& result) {
  const std::u16string& src = text.utf16();
  size_t pad = digitCount < static_cast<size_t>(parts.width) ? static_cast<size_t>(parts.width) - digitCount : 0;
  size_t prefix = static_cast<size_t>(parts.prefixLength);
  size_t suffix = src.size() - static_cast<size_t>(parts.suffixStart);
  std::u16string& dst = result.utf16Mutable();
  dst.resize(prefix + pad + digitCount + suffix);
  char16_t* out = dst.data();
  out = std::copy_n(src.data(), prefix, out);
  out = std::fill_n(out, pad, u'0');
  for (size_t i = 0; i < digitCount; ++i) *out++ = static_cast<char16_t>(digits[i]);
  std::copy_n(src.data() + parts.suffixStart, suffix, out);
}

using Wide = __int128;

// Room in front of the run's digits for a carry from any 128-bit delta (at most 39 digits).
constexpr size_t kCarryRoom = 40;

// Adds (or subtracts) `magnitude` to the decimal digits of `digits` in place; returns the carry (or
// borrow) out of the first digit.
template <typename Unsigned>
int addDigits(std::string& digits, Unsigned magnitude, bool subtract) {
  int carry = 0;
  for (size_t i = digits.size(); i-- > 0 && (magnitude != 0 || carry != 0);) {
    int d = static_cast<int>(magnitude % 10);
    magnitude /= 10;
    int digit = digits[i] - '0' + (subtract ? -d - carry : d + carry);
    carry = subtract ? (digit < 0 ? 1 : 0) : (digit > 9 ? 1 : 0);
    digit = subtract ? (digit + 10) % 10 : digit % 10;
    digits[i] = static_cast<char>('0' + digit);
  }
  return carry;
}

// Copy k of a digit run: false when its value would be negative. `scratch` is reused between copies
// so that long runs cost no allocation per copy either.
bool digitCopy(const ZcString& text, const RunParts& parts, std::int64_t step, std::int64_t k, ZcString& result,
               std::string& scratch) {
  std::int64_t delta = 0;
  std::int64_t v = 0;
  if (parts.value >= 0 && !__builtin_mul_overflow(k, step, &delta) && !__builtin_add_overflow(parts.value, delta, &v)) {
    if (v < 0) return false;
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    (void)ec;
    writeNumber(text, parts, buffer, static_cast<size_t>(end - buffer), result);
    return true;
  }
  // Beyond 64 bits: decimal arithmetic on the run's digits, in place.
  Wide wideDelta = static_cast<Wide>(k) * static_cast<Wide>(step);
  bool subtract = wideDelta < 0;
  Wide magnitude = subtract ? -wideDelta : wideDelta;
  scratch.assign(kCarryRoom, '0');
  scratch.append(parts.digits);
  // 128-bit division is a library call; most deltas fit in 64 bits.
  int carry = magnitude <= static_cast<Wide>(UINT64_MAX)
                  ? addDigits(scratch, static_cast<std::uint64_t>(magnitude), subtract)
                  : addDigits(scratch, magnitude, subtract);
  if (carry != 0) return false;  // borrowed past the first digit: below zero
  size_t first = scratch.find_first_not_of('0');
  if (first == std::string::npos) first = scratch.size() - 1;
  writeNumber(text, parts, scratch.data() + first, scratch.size() - first, result);
  return true;
}

void letterCopy(const ZcString& text, const RunParts& parts, std::int64_t step, std::int64_t k, ZcString& result) {
  // Only the shift modulo 26 matters, so reduce both factors first: the product cannot overflow.
  int shift = static_cast<int>(((k % 26) * (step % 26)) % 26);
  char16_t base = parts.letter >= u'a' ? u'a' : u'A';
  int offset = ((parts.letter - base + shift) % 26 + 26) % 26;
  std::u16string& dst = result.utf16Mutable();
  dst = text.utf16();
  dst[static_cast<size_t>(parts.prefixLength)] = static_cast<char16_t>(base + offset);
}

}  // namespace

int extractRun(const ZcString& text, int index, int& runStart, int& runEnd) {
  if (index < 0 || index >= text.length()) {
    zcutPrintf(catalogueText(16));
    return kNotCountable;
  }
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
  zcutPrintf(catalogueText(16));
  return kNotCountable;
}

std::int64_t runValue(const ZcString& digitString) {
  const std::u16string& units = digitString.utf16();
  if (units.empty()) return -1;
  std::int64_t value = 0;
  for (char16_t c : units) {
    if (c < u'0' || c > u'9') return -1;
    if (__builtin_mul_overflow(value, 10, &value) || __builtin_add_overflow(value, c - u'0', &value)) return -1;
  }
  return value;
}

ZcString zeroPaddedString(std::uint64_t value, int width) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;
  size_t length = static_cast<size_t>(end - buffer);
  std::u16string units;
  if (width > 0 && length < static_cast<size_t>(width)) units.assign(static_cast<size_t>(width) - length, u'0');
  for (const char* p = buffer; p != end; ++p) units.push_back(static_cast<char16_t>(*p));
  return ZcString(std::move(units));
}

int makeCopyStrings(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, int count,
                    ZcArray<ZcString>& strings) {
  RunParts parts;
  if (count <= 0 || !prepare(text, kind, runStart, runEnd, parts)) {
    strings.setLogicalLength(0);
    return 0;
  }
  strings.setLogicalLength(count);
  std::string scratch;
  int made = 0;
  for (int i = 0; i < count; ++i) {
    std::int64_t k = i + 1;
    if (kind == kLetterRun) {
      letterCopy(text, parts, step, k, strings[i]);
    } else if (!digitCopy(text, parts, step, k, strings[i], scratch)) {
      break;
    }
    ++made;
  }
  strings.setLogicalLength(made);
  return made;
}

bool makeCopyString(const ZcString& text, int kind, int runStart, int runEnd, std::int64_t step, std::int64_t k,
                    ZcString& result) {
  RunParts parts;
  if (!prepare(text, kind, runStart, runEnd, parts)) return false;
  if (kind == kLetterRun) {
    letterCopy(text, parts, step, k, result);
    return true;
  }
  std::string scratch;
  return digitCopy(text, parts, step, k, result, scratch);
}
