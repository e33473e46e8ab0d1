// Strings in DXF files: UTF-8 from R2007 on, before that the drawing's code page with \U+XXXX escapes.
#pragma once

#include <string>
#include <string_view>

namespace zrxhost::dxf {

// How the strings of one file are encoded.
class TextCodec {
 public:
  // `utf8` for R2007 and later; else `codePage` is the $DWGCODEPAGE value ("ANSI_1252", "ANSI_936").
  TextCodec(bool utf8, std::string_view codePage);
  ~TextCodec();
  TextCodec(const TextCodec&) = delete;
  TextCodec& operator=(const TextCodec&) = delete;

  // File bytes to UTF-16; before R2007 \U+XXXX (and \M+NXXXX) escapes are decoded too.
  void decode(std::string_view bytes, std::u16string& out) const;
  // UTF-16 to file bytes; before R2007 characters the code page lacks become \U+XXXX.
  void encode(std::u16string_view text, std::string& out) const;
  // Whether `bytes` decodes to exactly `text` (cheap for ASCII, the common case).
  bool equals(std::string_view bytes, std::u16string_view text) const;

 private:
  bool mUtf8;
  std::string mCharset;  // iconv name; empty: Latin-1 like bytes (unknown code page)
  struct Impl;
  Impl* mImpl = nullptr;
};

void utf8Decode(std::string_view bytes, std::u16string& out);
void utf8Encode(std::u16string_view text, std::string& out);

}  // namespace zrxhost::dxf
