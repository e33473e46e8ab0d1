// Reading an MText's inline codes to find its plain characters, and editing those in place.
#include "retally/renumber/mtext_plain.h"

#include <algorithm>

namespace {

bool isHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int hexValue(char16_t c) {
  return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
}

// The codes whose argument runs to the next ';'.
bool takesArgument(char16_t code) {
  return std::u16string_view(u"fFHCcAWQTp").find(code) != std::u16string_view::npos;
}

}  // namespace

std::vector<PlainCharacter> plainCharacters(std::u16string_view s) {
  std::vector<PlainCharacter> out;
  const auto n = static_cast<std::uint32_t>(std::min<size_t>(s.size(), UINT32_MAX - 1));
  auto put = [&](char16_t c, std::uint32_t begin, std::uint32_t end) { out.push_back({c, begin, end}); };
  for (std::uint32_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (c == u'\\' && i + 1 < n) {
      const std::uint32_t at = i;
      const char16_t code = s[++i];
      if (code == u'P' || code == u'N' || code == u'X') {
        put(u'\n', at, i + 1);
      } else if (code == u'\\' || code == u'{' || code == u'}') {
        put(code, at, i + 1);
      } else if (code == u'~') {
        put(u'\u00A0', at, i + 1);
      } else if (std::u16string_view(u"LlOoKk").find(code) != std::u16string_view::npos) {
        // line styles: no character
      } else if (takesArgument(code) || code == u'S') {
        size_t semicolon = s.find(u';', i + 1);
        const std::uint32_t end = semicolon == std::u16string_view::npos ? n : static_cast<std::uint32_t>(semicolon);
        if (code == u'S') {
          // A stack reads as "top/bottom" (a lone "top^" as its top), and is one piece: its
          // characters cannot be edited one by one.
          const std::u16string_view stack = s.substr(i + 1, end - i - 1);
          const size_t split = stack.find_first_of(u"^/#");
          std::u16string_view top = stack.substr(0, split), bottom;
          if (split != std::u16string_view::npos) bottom = stack.substr(split + 1);
          while (split != std::u16string_view::npos && !top.empty() && top.front() == u' ') top.remove_prefix(1);
          while (!bottom.empty() && bottom.front() == u' ') bottom.remove_prefix(1);
          const std::uint32_t stackEnd = std::min(end + 1, n);
          for (char16_t t : top) put(t, at, stackEnd);
          if (!bottom.empty()) put(u'/', at, stackEnd);
          for (char16_t b : bottom) put(b, at, stackEnd);
        }
        i = end == n ? n : end;
      } else if (code == u'U' && i + 5 < n && s[i + 1] == u'+' && isHex(s[i + 2]) && isHex(s[i + 3]) &&
                 isHex(s[i + 4]) && isHex(s[i + 5])) {
        const int value =
            hexValue(s[i + 2]) << 12 | hexValue(s[i + 3]) << 8 | hexValue(s[i + 4]) << 4 | hexValue(s[i + 5]);
        put(static_cast<char16_t>(value), at, i + 6);
        i += 5;
      } else {
        put(u'\\', at, at + 1);  // not a code: shown as typed
        put(code, i, i + 1);
      }
    } else if (c == u'{' || c == u'}' || c == u'\r') {
      // grouping and line ends: no character
    } else if (c == u'%' && i + 2 < n && s[i + 1] == u'%') {
      const char16_t kind = s[i + 2] | 0x20;
      const char16_t decoded = kind == u'd' ? u'\u00B0' : kind == u'p' ? u'\u00B1' : kind == u'c' ? u'\u2300' : 0;
      if (decoded != 0 || s[i + 2] == u'%') {
        put(decoded != 0 ? decoded : u'%', i, i + 3);
        i += 2;
      } else if (kind == u'u' || kind == u'o' || kind == u'k') {
        i += 2;
      } else {
        put(c, i, i + 1);
      }
    } else {
      put(c == u'\t' ? u' ' : c, i, i + 1);
    }
  }
  return out;
}

std::u16string plainTextOf(const std::vector<PlainCharacter>& characters) {
  std::u16string text;
  text.reserve(characters.size());
  for (const PlainCharacter& p : characters) text.push_back(p.character);
  return text;
}

std::u16string editContents(std::u16string_view contents, const std::vector<PlainCharacter>& characters,
                            const PlainEdit& edit) {
  const size_t from = std::min(edit.from, characters.size());
  const size_t to = std::clamp(edit.to, from, characters.size());
  size_t insertAt = contents.size();
  if (from < characters.size()) {
    insertAt = characters[from].begin;
  } else if (!characters.empty()) {
    insertAt = characters.back().end;
  }
  std::u16string escaped;
  for (char16_t c : edit.insert) {
    if (c == u'\\' || c == u'{' || c == u'}') escaped.push_back(u'\\');
    escaped.push_back(c);
  }
  // The spans to take out, each once (the characters of a stack share one), in order.
  std::vector<std::pair<size_t, size_t>> removed;
  for (size_t k = from; k < to; ++k) {
    if (removed.empty() || removed.back().first != characters[k].begin)
      removed.emplace_back(characters[k].begin, characters[k].end);
  }
  std::u16string result;
  result.reserve(contents.size() + escaped.size());
  size_t at = 0;
  bool inserted = false;
  for (const auto& [begin, end] : removed) {
    result.append(contents.substr(at, begin - at));
    if (!inserted && begin >= insertAt) {
      result.append(escaped);
      inserted = true;
    }
    at = end;
  }
  if (!inserted) {
    result.append(contents.substr(at, insertAt - std::min(at, insertAt)));
    result.append(escaped);
    at = std::max(at, insertAt);
  }
  result.append(contents.substr(std::min(at, contents.size())));
  return result;
}
