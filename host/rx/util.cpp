// Utility calls of the runtime: result buffers, character classes, printing, the host heap.
#include <locale.h>

#include <clocale>
#include <cwctype>
#include <new>

#include "rx/wformat.h"
#include "zrx/rx.h"
#include "zrxhost/services.h"

resbuf* zcutNewRb(int type) {
  auto* rb = new (std::nothrow) resbuf;
  if (rb) rb->restype = static_cast<short>(type);
  return rb;
}

int zcutRelRb(resbuf* rb) {
  while (rb) {
    resbuf* next = rb->rbnext;
    // Only strings own memory; they are allocated with new[] by whoever filled the buffer here.
    if (rb->restype == RTSTR) delete[] rb->resval.rstring;
    delete rb;
    rb = next;
  }
  return RTNORM;
}

int zcutIsDigit(int c) {
  return c >= '0' && c <= '9' ? 1 : 0;
}

namespace {

locale_t utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

// Used only where the C library has no Unicode locale: the scripts a drawing is likely to hold.
bool isLetterByTable(int c) {
  struct Range {
    int lo, hi;
  };
  static constexpr Range kLetters[] = {
      {'A', 'Z'},       {'a', 'z'},       {0x00AA, 0x00AA},   {0x00B5, 0x00B5}, {0x00BA, 0x00BA}, {0x00C0, 0x00D6},
      {0x00D8, 0x00F6}, {0x00F8, 0x02C1}, {0x0370, 0x0373},   {0x0376, 0x0377}, {0x037B, 0x037D}, {0x0386, 0x0386},
      {0x0388, 0x03FF}, {0x0400, 0x0481}, {0x048A, 0x052F},   {0x0531, 0x0556}, {0x0561, 0x0587}, {0x05D0, 0x05EA},
      {0x0620, 0x064A}, {0x0E01, 0x0E30}, {0x1E00, 0x1FFF},   {0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x3105, 0x312F},
      {0x3131, 0x318E}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},   {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFF21, 0xFF3A},
      {0xFF41, 0xFF5A}, {0xFF66, 0xFFDC}, {0x20000, 0x3134F},
  };
  for (const Range& r : kLetters) {
    if (c >= r.lo && c <= r.hi) return true;
  }
  return false;
}

}  // namespace

int zcutIsAlpha(int c) {
  if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  if (c < 0x80) return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') ? 1 : 0;
  if (locale_t loc = utf8Locale()) return iswalpha_l(static_cast<wint_t>(c), loc) ? 1 : 0;
  return isLetterByTable(c) ? 1 : 0;
}

int zcutPrintf(const ZTCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = zrxhost::formatWide(format, args);
  va_end(args);
  zrxhost::hostServices().print(zrxhost::utf16ToUtf8(zrxhost::wideToUtf16(text)));
  return static_cast<int>(text.size());
}

void* zcutNew(size_t bytes) {
  return ::operator new(bytes, std::nothrow);
}

void zcutDelete(void* p) {
  ::operator delete(p);
}
