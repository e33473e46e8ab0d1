// Printf-style formatting of wide strings with the real host's meaning of %s.
#include "rx/wformat.h"

#include <cwchar>
#include <vector>

namespace zrxhost {

std::wstring hostFormatToLibc(const wchar_t* format) {
  std::wstring out;
  if (!format) return out;
  for (const wchar_t* p = format; *p;) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    out.push_back(*p++);
    if (*p == L'%') {
      out.push_back(*p++);
      continue;
    }
    // Flags, width, precision (each may be '*').
    while (*p && std::wcschr(L"-+ #0'", *p)) out.push_back(*p++);
    while (*p == L'*' || (*p >= L'0' && *p <= L'9')) out.push_back(*p++);
    if (*p == L'.') {
      out.push_back(*p++);
      while (*p == L'*' || (*p >= L'0' && *p <= L'9')) out.push_back(*p++);
    }
    std::wstring length;
    while (*p && std::wcschr(L"hlLqjztw", *p)) length.push_back(*p++);
    if (!*p) {
      out += length;
      break;
    }
    wchar_t conv = *p++;
    if (conv == L's' || conv == L'c' || conv == L'S' || conv == L'C') {
      // The host follows the Windows wide printf: %s and %ls are wide strings, %hs and %S narrow ones
      // (likewise for %c). glibc's wide printf reads %s as narrow, so the wide forms become %ls.
      bool upper = conv == L'S' || conv == L'C';
      bool wide = !upper && (length.empty() || length == L"l" || length == L"w");
      bool narrow = upper || length == L"h";
      if (wide)
        out += L'l';
      else if (!narrow)
        out += length;  // anything else is left to the C library to judge
      out.push_back(upper ? static_cast<wchar_t>(conv + (L's' - L'S')) : conv);
    } else {
      if (length != L"w") out += length;
      out.push_back(conv);
    }
  }
  return out;
}

std::wstring formatWide(const wchar_t* format, va_list args) {
  if (!format) return {};
  std::wstring fmt = hostFormatToLibc(format);
  std::vector<wchar_t> buffer(256);
  // vswprintf reports -1 both for a buffer that is too small and for a conversion error, so grow up
  // to a bound and then give up with the format itself rather than loop or exhaust memory.
  while (buffer.size() <= (size_t{1} << 22)) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
    va_end(copy);
    if (n >= 0) return std::wstring(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 4);
  }
  return fmt;
}

}  // namespace zrxhost
