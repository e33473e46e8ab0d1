// Printf-style formatting of wide strings with the real host's meaning of %s (a wide string).
#pragma once

#include <cstdarg>
#include <string>

namespace zrxhost {
// Rewrites a host format for the C library's wide printf: %s and %c (and %ls, %lc) take wide
// arguments on the real host and become %ls and %lc; %hs, %S, %hc and %C are narrow.
std::wstring hostFormatToLibc(const wchar_t* format);
// Formats with the host's conventions; a null format gives an empty string.
std::wstring formatWide(const wchar_t* format, va_list args);
}  // namespace zrxhost
