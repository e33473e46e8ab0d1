// ZcString and the UTF-8 / UTF-16 / UTF-32 conversions used at the host's boundaries.
#include "zrx/string.h"

#include <algorithm>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}
bool isScalar(char32_t c) {
  return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

void appendUtf16(std::u16string& out, char32_t c) {
  if (!isScalar(c)) c = kReplacement;
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Walks UTF-16 code points; a surrogate without its partner decodes as U+FFFD, so that a string cut
// in the middle of a pair (indices count units) still converts to valid text.
template <typename F>
void forEachCodePoint(std::u16string_view s, F&& f) {
  size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    char32_t u = s[i];
    if (u < 0xD800 || u > 0xDFFF) {
      f(u);
    } else if (isHighSurrogate(u) && i + 1 < n && isLowSurrogate(s[i + 1])) {
      f(0x10000 + ((u - 0xD800) << 10) + (static_cast<char32_t>(s[i + 1]) - 0xDC00));
      ++i;
    } else {
      f(kReplacement);
    }
  }
}

}  // namespace

namespace zrxhost {

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (p[j] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (p[j] & 0x3F);
    }
    // Overlong forms and encoded surrogates are malformed; the bad lead byte alone is replaced so
    // that the bytes after it get their own chance to decode.
    if (!ok || c < minimum || !isScalar(c)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    appendUtf16(out, c);
    i = j;
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  forEachCodePoint(utf16, [&](char32_t c) { appendUtf8(out, c); });
  return out;
}

std::u16string wideToUtf16(std::wstring_view wide) {
  std::u16string out;
  out.reserve(wide.size());
  for (wchar_t w : wide) appendUtf16(out, static_cast<char32_t>(w));
  return out;
}

std::wstring utf16ToWide(std::u16string_view utf16) {
  std::wstring out;
  out.reserve(utf16.size());
  forEachCodePoint(utf16, [&](char32_t c) { out.push_back(static_cast<wchar_t>(c)); });
  return out;
}

std::u32string utf16ToUtf32(std::u16string_view utf16) {
  std::u32string out;
  out.reserve(utf16.size());
  forEachCodePoint(utf16, [&](char32_t c) { out.push_back(c); });
  return out;
}

std::string utf32ToUtf8(std::u32string_view utf32) {
  std::string out;
  for (char32_t c : utf32) appendUtf8(out, isScalar(c) ? c : kReplacement);
  return out;
}

}  // namespace zrxhost

ZcString::ZcString(const ZTCHAR* wide) {
  if (!wide) return;
  const ZTCHAR* p = wide;
  // Text from the module is nearly always in the BMP: copy unit for unit until the first character
  // that needs a surrogate pair or is invalid.
  while (*p && (static_cast<char32_t>(*p) < 0xD800 || (*p >= 0xE000 && *p <= 0xFFFF))) ++p;
  mUnits.assign(wide, p);
  for (; *p; ++p) appendUtf16(mUnits, static_cast<char32_t>(*p));
}

ZcString::ZcString(const char* narrow) {
  if (!narrow) return;
  // Module code builds many short ASCII strings per cursor move: copy those byte by byte and only
  // fall back to the decoder at the first byte that is not ASCII.
  const char* p = narrow;
  while (*p && static_cast<unsigned char>(*p) < 0x80) ++p;
  mUnits.assign(narrow, p);
  if (*p) mUnits += zrxhost::utf8ToUtf16(std::string_view(p));
}

ZcString::ZcString(char narrowChar) {
  // A lone byte cannot be a UTF-8 sequence of its own; bytes above 0x7F are taken as Latin-1.
  mUnits.push_back(static_cast<unsigned char>(narrowChar));
}

ZcString::ZcString(ZTCHAR wideChar) {
  appendUtf16(mUnits, static_cast<char32_t>(wideChar));
}

void ZcString::assignUnits(std::u16string_view units) {
  mUnits.assign(units);  // the library copes with units that are part of this string
}

ZcString& ZcString::operator=(ZcString&& other) noexcept {
  if (this != &other) {
    mUnits = std::move(other.mUnits);
    other.mUnits.clear();
    other.invalidate();
    invalidate();
  }
  return *this;
}

ZcString& ZcString::operator=(const ZTCHAR* wide) {
  // Build first: `wide` may point into this string's own cached wide form.
  ZcString tmp(wide);
  mUnits = std::move(tmp.mUnits);
  invalidate();
  return *this;
}

ZTCHAR ZcString::getAt(int index) const {
  if (index < 0 || index >= length()) return 0;
  return static_cast<ZTCHAR>(mUnits[static_cast<size_t>(index)]);
}

ZcString ZcString::substr(int start, int count) const {
  int n = length();
  start = std::clamp(start, 0, n);
  int avail = n - start;
  if (count < 0 || count > avail) count = avail;
  return ZcString(mUnits.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

ZcString& ZcString::deleteAtIndex(int index, int count) {
  int n = length();
  if (index < 0 || index >= n || count <= 0) return *this;
  count = std::min(count, n - index);
  mUnits.erase(static_cast<size_t>(index), static_cast<size_t>(count));
  invalidate();
  return *this;
}

ZcString& ZcString::insert(int index, const ZTCHAR* wide) {
  return insert(index, ZcString(wide));
}

ZcString& ZcString::insert(int index, const ZcString& other) {
  index = std::clamp(index, 0, length());
  if (&other == this) {
    std::u16string units = other.mUnits;
    mUnits.insert(static_cast<size_t>(index), units);
  } else {
    mUnits.insert(static_cast<size_t>(index), other.mUnits);
  }
  invalidate();
  return *this;
}

ZcString ZcString::concat(const ZcString& other) const {
  std::u16string units;
  units.reserve(mUnits.size() + other.mUnits.size());
  units += mUnits;
  units += other.mUnits;
  return ZcString(std::move(units));
}

ZcString& ZcString::append(const ZcString& other) {
  if (&other == this) {
    std::u16string copy = mUnits;
    mUnits += copy;
  } else {
    mUnits += other.mUnits;
  }
  invalidate();
  return *this;
}

int ZcString::find(ZTCHAR ch) const {
  std::u16string needle;
  appendUtf16(needle, static_cast<char32_t>(ch));
  size_t pos = mUnits.find(needle);
  return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

bool ZcString::operator==(const ZTCHAR* wide) const {
  if (!wide) return mUnits.empty();
  size_t i = 0;
  size_t n = mUnits.size();
  for (const ZTCHAR* p = wide; *p; ++p) {
    char32_t c = static_cast<char32_t>(*p);
    if (c < 0x10000) {
      if (i >= n || mUnits[i] != c) return false;
      ++i;
    } else {
      std::u16string pair;
      appendUtf16(pair, c);
      if (mUnits.compare(i, pair.size(), pair) != 0) return false;
      i += pair.size();
    }
  }
  return i == n;
}

const ZTCHAR* ZcString::kwszPtr() const {
  Forms& f = forms();
  if (!f.wideValid) {
    f.wide.clear();
    f.wide.reserve(mUnits.size());
    forEachCodePoint(mUnits, [&](char32_t c) { f.wide.push_back(static_cast<wchar_t>(c)); });
    f.wideValid = true;
  }
  return f.wide.c_str();
}

const char* ZcString::ansiPtr() const {
  Forms& f = forms();
  if (!f.narrowValid) {
    f.narrow.clear();
    f.narrow.reserve(mUnits.size());
    forEachCodePoint(mUnits, [&](char32_t c) { appendUtf8(f.narrow, c); });
    f.narrowValid = true;
  }
  return f.narrow.c_str();
}

std::string ZcString::toUtf8() const {
  return zrxhost::utf16ToUtf8(mUnits);
}
