// Decoding and encoding DXF strings: UTF-8, Windows code pages through iconv, \U+XXXX escapes.
#include "dxf/dxf_text.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>

namespace zrxhost::dxf {

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

bool isAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Replaces \U+XXXX by the character it names.
void unescapeUnicode(std::u16string& s) {
  if (s.find(u"\\U+") == std::u16string::npos && s.find(u"\\u+") == std::u16string::npos) return;
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\\' && i + 6 < s.size() && (s[i + 1] == u'U' || s[i + 1] == u'u') && s[i + 2] == u'+') {
      int v = 0;
      bool ok = true;
      for (std::size_t k = 3; k < 7; ++k) {
        char16_t c = s[i + k];
        int h = c < 128 ? hexValue(static_cast<char>(c)) : -1;
        if (h < 0) {
          ok = false;
          break;
        }
        v = v * 16 + h;
      }
      if (ok) {
        out.push_back(static_cast<char16_t>(v));
        i += 6;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  s.swap(out);
}

std::string charsetOf(std::string_view codePage) {
  std::string cp;
  for (char c : codePage) cp.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
  if (cp.rfind("ANSI_", 0) != 0) return {};
  std::string num = cp.substr(5);
  if (num == "936") return "GBK";
  if (num.empty() || num.find_first_not_of("0123456789") != std::string::npos) return {};
  return "CP" + num;
}

}  // namespace

struct TextCodec::Impl {
  iconv_t toUtf16 = kNoIconv;
  iconv_t fromUtf16 = kNoIconv;
};

void utf8Decode(std::string_view b, std::u16string& out) {
  out.clear();
  out.reserve(b.size());
  const auto* p = reinterpret_cast<const unsigned char*>(b.data());
  std::size_t n = b.size();
  for (std::size_t i = 0; i < n;) {
    unsigned c = p[i];
    if (c < 0x80) {
      out.push_back(static_cast<char16_t>(c));
      ++i;
      continue;
    }
    int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (extra < 0) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    unsigned cp = c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + static_cast<std::size_t>(k) >= n || (p[i + k] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (!ok || (extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
}

void utf8Encode(std::u16string_view t, std::string& out) {
  out.clear();
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    unsigned cp = t[i];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

TextCodec::TextCodec(bool utf8, std::string_view codePage) : mUtf8(utf8) {
  if (utf8) return;
  mCharset = charsetOf(codePage);
  if (mCharset.empty()) return;
  mImpl = new Impl;
  mImpl->toUtf16 = iconv_open("UTF-16LE", mCharset.c_str());
  mImpl->fromUtf16 = iconv_open(mCharset.c_str(), "UTF-16LE");
  if (mImpl->toUtf16 == kNoIconv || mImpl->fromUtf16 == kNoIconv) mCharset.clear();
}

TextCodec::~TextCodec() {
  if (!mImpl) return;
  if (mImpl->toUtf16 != kNoIconv) iconv_close(mImpl->toUtf16);
  if (mImpl->fromUtf16 != kNoIconv) iconv_close(mImpl->fromUtf16);
  delete mImpl;
}

void TextCodec::decode(std::string_view bytes, std::u16string& out) const {
  if (mUtf8) {
    utf8Decode(bytes, out);
    return;
  }
  out.clear();
  if (isAscii(bytes) || mCharset.empty()) {
    // Unknown code pages read as Latin-1: every byte survives and is written back the same way.
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  } else {
    iconv(mImpl->toUtf16, nullptr, nullptr, nullptr, nullptr);
    std::string buf(bytes.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* o = buf.data();
    std::size_t oLeft = buf.size();
    while (inLeft > 0) {
      if (iconv(mImpl->toUtf16, &in, &inLeft, &o, &oLeft) != static_cast<std::size_t>(-1)) break;
      if (oLeft < 2) break;
      // A byte the code page does not define: keep it as the Latin-1 character of that value.
      char16_t c = static_cast<unsigned char>(*in);
      std::memcpy(o, &c, 2);
      o += 2;
      oLeft -= 2;
      ++in;
      --inLeft;
    }
    std::size_t units = (buf.size() - oLeft) / 2;
    out.resize(units);
    std::memcpy(out.data(), buf.data(), units * 2);
  }
  unescapeUnicode(out);
}

void TextCodec::encode(std::u16string_view text, std::string& out) const {
  if (mUtf8) {
    utf8Encode(text, out);
    return;
  }
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (!mCharset.empty()) {
      iconv(mImpl->fromUtf16, nullptr, nullptr, nullptr, nullptr);
      std::size_t units = (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) ? 2 : 1;
      char16_t src[2] = {c, units == 2 ? text[i + 1] : u'\0'};
      char* in = reinterpret_cast<char*>(src);
      std::size_t inLeft = units * 2;
      char dst[8];
      char* o = dst;
      std::size_t oLeft = sizeof dst;
      if (iconv(mImpl->fromUtf16, &in, &inLeft, &o, &oLeft) != static_cast<std::size_t>(-1) && inLeft == 0) {
        out.append(dst, static_cast<std::size_t>(o - dst));
        i += units - 1;
        continue;
      }
    } else if (c < 0x100) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char esc[10];
    std::snprintf(esc, sizeof esc, "\\U+%04X", static_cast<unsigned>(c));
    out.append(esc);
  }
}

bool TextCodec::equals(std::string_view bytes, std::u16string_view text) const {
  if (bytes.size() == text.size()) {
    bool plain = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      auto b = static_cast<unsigned char>(bytes[i]);
      if (b >= 0x80 || b == '\\') {
        plain = false;
        break;
      }
      if (b != text[i]) return false;
    }
    if (plain) return true;
  }
  std::u16string decoded;
  decode(bytes, decoded);
  return decoded == text;
}

}  // namespace zrxhost::dxf
