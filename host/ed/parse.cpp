// Reading answers typed at the command line: numbers, points (cartesian and polar), keywords.
#include "ed/parse.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>

#include "zrx/string.h"
#include "zrxhost/session.h"

namespace zrxhost::ed {

std::string_view trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the shape strictly before strtod sees it: strtod would also take "inf", "nan", hex floats
// and leading blanks, none of which a user means as a distance.
bool isDecimal(std::string_view s) {
  size_t i = 0, n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < n && isDigit(s[i])) ++i, ++intDigits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && isDigit(s[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < n && isDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  return i == n;
}

}  // namespace

bool parseReal(std::string_view text, double& value) {
  text = trim(text);
  if (text.empty() || text.size() > 400 || !isDecimal(text)) return false;
  std::string s(text);
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
  if (errno == ERANGE && v != 0) return false;  // overflow; an underflow to 0 is fine
  value = v;
  return true;
}

bool parseInt(std::string_view text, int& value) {
  text = trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (!isDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

bool isWholeNumber(std::string_view text) {
  text = trim(text);
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (!isDigit(c)) return false;
  }
  return true;
}

bool parsePoint(std::string_view text, const ZcGePoint3d& last, ZcGePoint3d& point) {
  text = trim(text);
  bool relative = !text.empty() && text[0] == '@';
  if (relative) {
    text = trim(text.substr(1));
    if (text.empty()) {
      point = last;
      return true;
    }
  }
  double c[3] = {0, 0, 0};
  if (const size_t less = text.find('<'); less != std::string_view::npos) {
    // Polar: a distance and an angle in degrees counter-clockwise from +X.
    double distance = 0, degrees = 0;
    if (!parseReal(text.substr(0, less), distance) || !parseReal(text.substr(less + 1), degrees)) return false;
    const double turn = std::fmod(degrees, 360.0);
    if (std::fmod(turn, 90.0) == 0) {
      // The four axes exactly, where cos and sin of a rounded pi would leave a trace of the other axis.
      const int quarter = (static_cast<int>(turn / 90) + 4) % 4;
      c[0] = quarter == 0 ? distance : (quarter == 2 ? -distance : 0);
      c[1] = quarter == 1 ? distance : (quarter == 3 ? -distance : 0);
    } else {
      c[0] = distance * std::cos(turn * ZcGe::kPi / 180);
      c[1] = distance * std::sin(turn * ZcGe::kPi / 180);
    }
  } else {
    int count = 0;
    while (true) {
      size_t comma = text.find(',');
      std::string_view part = comma == std::string_view::npos ? text : text.substr(0, comma);
      if (count == 3 || !parseReal(part, c[count])) return false;
      ++count;
      if (comma == std::string_view::npos) break;
      text = text.substr(comma + 1);
    }
    if (count < 2) return false;
  }
  ZcGePoint3d p(c[0], c[1], c[2]);
  if (relative) p = last + p.asVector();
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
  point = p;
  return true;
}

std::vector<std::wstring> splitKeywords(const wchar_t* list) {
  std::vector<std::wstring> out;
  if (!list) return out;
  std::wstring current;
  for (const wchar_t* p = list;; ++p) {
    if (*p == 0 || *p == L' ' || *p == L'\t' || *p == L',') {
      if (!current.empty()) out.push_back(current);
      current.clear();
      if (*p == 0) break;
    } else {
      current.push_back(*p);
    }
  }
  return out;
}

namespace {
std::wstring upper(std::wstring_view s) {
  std::wstring out(s);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return out;
}
}  // namespace

int matchKeyword(const std::vector<std::wstring>& keywords, std::string_view text) {
  text = trim(text);
  if (text.empty()) return -1;
  std::wstring typed = upper(zrxhost::utf16ToWide(zrxhost::utf8ToUtf16(text)));
  for (size_t i = 0; i < keywords.size(); ++i) {
    if (upper(keywords[i]) == typed) return static_cast<int>(i);
  }
  int found = -1;
  for (size_t i = 0; i < keywords.size(); ++i) {
    std::wstring kw = upper(keywords[i]);
    if (kw.size() > typed.size() && kw.compare(0, typed.size(), typed) == 0) {
      if (found >= 0) return -1;  // ambiguous
      found = static_cast<int>(i);
    }
  }
  return found;
}

SelectionWord parseSelectionWord(std::string_view text) {
  struct Word {
    const char* letter;
    const char* name;
    SelectionWord word;
  };
  static constexpr Word kWords[] = {
      {"W", "WINDOW", SelectionWord::kWindow},     {"C", "CROSSING", SelectionWord::kCrossing},
      {"F", "FENCE", SelectionWord::kFence},       {"ALL", "ALL", SelectionWord::kAll},
      {"P", "PREVIOUS", SelectionWord::kPrevious}, {"R", "REMOVE", SelectionWord::kRemove},
      {"A", "ADD", SelectionWord::kAdd},
  };
  text = trim(text);
  if (text.empty() || text.size() > 8) return SelectionWord::kNone;
  std::string typed(text);
  for (char& c : typed) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (const Word& w : kWords) {
    if (typed == w.letter || typed == w.name) return w.word;
  }
  return SelectionWord::kNone;
}

ZcGePoint3d lastPoint() {
  ZcGePoint3d p;
  std::optional<std::string> text = Session::instance().sysVar("LASTPOINT");
  if (!text || !parsePoint(*text, ZcGePoint3d::kOrigin, p)) return ZcGePoint3d::kOrigin;
  return p;
}

void setLastPoint(const ZcGePoint3d& p) {
  Session::instance().setSysVar("LASTPOINT", formatPoint(p));
}

std::string formatPoint(const ZcGePoint3d& p) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.17g,%.17g,%.17g", p.x, p.y, p.z);
  return buf;
}

}  // namespace zrxhost::ed
