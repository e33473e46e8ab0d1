// Binary DXF to ASCII DXF text and back, group by group, with the value types of the DXF reference.
#include "dxf/dxf_binary.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dxf/dxf_tags.h"
#include "zrxhost/messages.h"

namespace zrxhost::dxf {

namespace {

constexpr std::string_view kSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

enum class Binary { String, Double, Int16, Int32, Int64, Byte, Chunk };

bool in(int code, int lo, int hi) {
  return code >= lo && code <= hi;
}

// How a group's value is stored in a binary file, by the code ranges of the DXF reference. Handles,
// names and colour names (430-439) are strings there, as is every code the reference leaves undefined.
Binary binaryType(int code) {
  if (in(code, 310, 319) || code == 1004) return Binary::Chunk;
  if (in(code, 290, 299)) return Binary::Byte;
  if (in(code, 10, 59) || in(code, 110, 149) || in(code, 210, 239) || in(code, 460, 469) || in(code, 1010, 1059))
    return Binary::Double;
  if (in(code, 60, 79) || in(code, 170, 179) || in(code, 270, 289) || in(code, 370, 389) || in(code, 400, 409) ||
      in(code, 1060, 1070))
    return Binary::Int16;
  if (in(code, 90, 99) || in(code, 420, 429) || in(code, 440, 459) || code == 1071) return Binary::Int32;
  if (in(code, 160, 169)) return Binary::Int64;
  return Binary::String;
}

// A binary file's string holds any byte but NUL; its ASCII form holds no line break. The ASCII form
// uses the format's caret escapes: a line feed is ^J, a carriage return ^M, a caret itself "^ ".
void appendEscaped(std::string& text, std::string_view value) {
  for (char c : value) {
    if (c == '^') {
      text += "^ ";
    } else if (c == '\n' || c == '\r') {
      text += '^';
      text += static_cast<char>(c + 64);
    } else {
      text += c;
    }
  }
}

// The string an ASCII value stands for in a binary file: the caret escapes undone.
void appendUnescaped(std::string& out, std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char next = i + 1 < value.size() ? value[i + 1] : '\0';
    if (value[i] == '^' && next == ' ') {
      out += '^';
      ++i;
    } else if (value[i] == '^' && next > '@' && next <= '_') {  // ^@ would be NUL, which ends a string
      out += static_cast<char>(next - 64);
      ++i;
    } else {
      out += value[i];
    }
  }
}

template <class T>
T load(const char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);  // binary DXF is little-endian, as is every host this builds on
  return value;
}

template <class T>
void store(std::string& out, T value) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  out.append(bytes, sizeof value);
}

template <class T>
void appendNumber(std::string& out, T value) {
  char buf[32];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  out.append(buf, ptr);
}

constexpr char kHex[] = "0123456789ABCDEF";

}  // namespace

bool isBinaryDxf(std::string_view bytes) {
  return bytes.starts_with(kSentinel.substr(0, 18));
}

bool binaryToText(std::string_view bytes, std::string& text, std::string& error) {
  std::size_t group = 0;
  auto fail = [&](const char* english, const char* chinese, std::string_view arg = {}) {
    error = textInLanguage("group {} of the binary file: {}", "二进制文件的第 {} 组：{}",
                           {std::to_string(group), textInLanguage(english, chinese, arg)});
    return false;
  };
  if (!bytes.starts_with(kSentinel)) return fail("the binary DXF sentinel is damaged", "二进制 DXF 的标记已损坏");
  std::size_t at = kSentinel.size();
  const std::size_t n = bytes.size();
  // The first group is "0 SECTION": its code is one byte (R12 and before) or two.
  const bool oneByteCodes = at + 1 < n && bytes[at] == 0 && bytes[at + 1] != 0;
  text.clear();
  text.reserve(n * 2);
  while (at < n) {
    ++group;
    int code = 0;
    if (oneByteCodes) {
      code = static_cast<unsigned char>(bytes[at++]);
      if (code == 255) {
        if (at + 2 > n)
          return fail("the file ends inside a group code (it is truncated)", "文件在组码中间结束（文件被截断）");
        code = load<std::int16_t>(bytes.data() + at);
        at += 2;
      }
    } else {
      if (at + 2 > n)
        return fail("the file ends inside a group code (it is truncated)", "文件在组码中间结束（文件被截断）");
      code = load<std::int16_t>(bytes.data() + at);
      at += 2;
    }
    if (code < -5 || code > 1071) return fail("invalid group code {}", "无效的组码 {}", std::to_string(code));
    appendNumber(text, code);
    text.push_back('\n');
    const Binary type = binaryType(code);
    auto need = [&](std::size_t size) { return at + size <= n; };
    switch (type) {
      case Binary::String: {
        const void* end = std::memchr(bytes.data() + at, '\0', n - at);
        if (end == nullptr)
          return fail("a string is not ended (the file is truncated)", "字符串没有结束（文件被截断）");
        std::string_view value(bytes.data() + at, static_cast<const char*>(end) - (bytes.data() + at));
        appendEscaped(text, value);
        at += value.size() + 1;
        break;
      }
      case Binary::Double: {
        if (!need(8))
          return fail("the file ends inside a number (it is truncated)", "文件在数值中间结束（文件被截断）");
        double v = load<double>(bytes.data() + at);
        at += 8;
        if (v == 0 && std::signbit(v))
          text += "-0.0";
        else
          appendNumber(text, v);
        break;
      }
      case Binary::Int16:
        if (!need(2))
          return fail("the file ends inside a number (it is truncated)", "文件在数值中间结束（文件被截断）");
        appendNumber(text, load<std::int16_t>(bytes.data() + at));
        at += 2;
        break;
      case Binary::Int32:
        if (!need(4))
          return fail("the file ends inside a number (it is truncated)", "文件在数值中间结束（文件被截断）");
        appendNumber(text, load<std::int32_t>(bytes.data() + at));
        at += 4;
        break;
      case Binary::Int64:
        if (!need(8))
          return fail("the file ends inside a number (it is truncated)", "文件在数值中间结束（文件被截断）");
        appendNumber(text, load<std::int64_t>(bytes.data() + at));
        at += 8;
        break;
      case Binary::Byte:
        if (!need(1))
          return fail("the file ends inside a number (it is truncated)", "文件在数值中间结束（文件被截断）");
        appendNumber(text, static_cast<unsigned char>(bytes[at++]));
        break;
      case Binary::Chunk: {
        if (!need(1))
          return fail("the file ends inside binary data (it is truncated)", "文件在二进制数据中间结束（文件被截断）");
        std::size_t size = static_cast<unsigned char>(bytes[at++]);
        if (!need(size))
          return fail("the file ends inside binary data (it is truncated)", "文件在二进制数据中间结束（文件被截断）");
        for (std::size_t i = 0; i < size; ++i) {
          auto b = static_cast<unsigned char>(bytes[at + i]);
          text.push_back(kHex[b >> 4]);
          text.push_back(kHex[b & 15]);
        }
        at += size;
        break;
      }
    }
    text.push_back('\n');
    // What follows EOF is no part of the drawing; the reader is told as for an ASCII file.
    if (code == 0 && text.ends_with("\nEOF\n")) {
      if (at < n) text += "\n(data after EOF)\n";
      break;
    }
  }
  return true;
}

bool textToBinary(std::string_view text, bool r12, std::string& out, std::string& error) {
  out.clear();
  out.reserve(text.size());
  out += kSentinel;
  std::size_t pos = 0, line = 1;
  auto nextLine = [&](std::string_view& l) {
    if (pos >= text.size()) return false;
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    l = text.substr(pos, eol - pos);
    if (l.ends_with('\r')) l.remove_suffix(1);
    pos = eol + 1;
    return true;
  };
  auto fail = [&](const char* english, const char* chinese, std::initializer_list<std::string_view> args = {}) {
    error = textInLanguage("line {}: {} (in a binary file)", "第 {} 行：{}（在二进制文件中）",
                           {std::to_string(line), textInLanguage(english, chinese, args)});
    return false;
  };
  std::string_view codeLine, value;
  while (nextLine(codeLine)) {
    long long code = 0;
    if (!parseInt(codeLine, code) || code < -5 || code > 1071) return fail("a group code was expected", "此处应为组码");
    if (!nextLine(value)) return fail("a value was expected", "此处应为值");
    if (r12 && code >= 0 && code < 255) {
      out.push_back(static_cast<char>(code));
    } else {
      if (r12) out.push_back(static_cast<char>(255));
      store(out, static_cast<std::int16_t>(code));
    }
    const Binary type = binaryType(static_cast<int>(code));
    long long whole = 0;
    double real = 0;
    bool ok = true;
    switch (type) {
      case Binary::String:
        appendUnescaped(out, value);
        out.push_back('\0');
        break;
      case Binary::Double:
        ok = parseDouble(value, real);
        if (ok) store(out, real);
        break;
      case Binary::Int16:
        ok = parseInt(value, whole) && whole >= std::numeric_limits<std::int16_t>::min() &&
             whole <= std::numeric_limits<std::uint16_t>::max();
        if (ok) store(out, static_cast<std::int16_t>(whole));
        break;
      case Binary::Int32:
        ok = parseInt(value, whole) && whole >= std::numeric_limits<std::int32_t>::min() &&
             whole <= std::numeric_limits<std::uint32_t>::max();
        if (ok) store(out, static_cast<std::int32_t>(whole));
        break;
      case Binary::Int64:
        ok = parseInt(value, whole);
        if (ok) store(out, static_cast<std::int64_t>(whole));
        break;
      case Binary::Byte:
        ok = parseInt(value, whole) && whole >= -128 && whole <= 255;
        if (ok) out.push_back(static_cast<char>(whole));
        break;
      case Binary::Chunk: {
        std::string_view hex = TagFile::trimmed(value);
        ok = hex.size() % 2 == 0 && hex.size() <= 2 * 255;
        out.push_back(static_cast<char>(hex.size() / 2));
        for (std::size_t i = 0; ok && i < hex.size(); i += 2) {
          unsigned byte = 0;
          auto [ptr, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
          ok = ec == std::errc() && ptr == hex.data() + i + 2;
          out.push_back(static_cast<char>(byte));
        }
        break;
      }
    }
    if (!ok) {
      ++line;
      return fail("the value '{}' does not fit group {}", "值“{}”不适合组 {}",
                  {printable(value), std::to_string(code)});
    }
    line += 2;
  }
  return true;
}

}  // namespace zrxhost::dxf
