// Scanning a DXF buffer into tags, group-code types, number parsing and the tag writer.
#include "dxf/dxf_tags.h"

#include <sys/mman.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "rx/in_parallel.h"
#include "zrxhost/messages.h"

namespace zrxhost::dxf {

namespace {

constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string quoted(std::string_view s) {
  return "'" + printable(s) + "'";
}

// The '\n' bytes of `text`, eight bytes at a time: a byte-by-byte count was a large part of scanning.
std::size_t countLineBreaks(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7F7F7F7F7F7F7F7Full;
  std::size_t count = 0, i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const std::uint64_t x = word ^ (kOnes * '\n');  // zero bytes where the line breaks are
    // The high bit set in each byte of x that is zero, and in no other (no carries between bytes).
    const std::uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);
    // One in the low bit of each such byte; the multiplication sums the bytes into the top one.
    count += static_cast<std::size_t>(((zeros >> 7) * kOnes) >> 56);
  }
  for (; i < text.size(); ++i) count += text[i] == '\n' ? 1 : 0;
  return count;
}

}  // namespace

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    unmap();
    mText = std::move(other.mText);
    mMapped = std::exchange(other.mMapped, nullptr);
    mMappedSize = std::exchange(other.mMappedSize, 0);
  }
  return *this;
}

FileBytes::~FileBytes() {
  unmap();
}

void FileBytes::unmap() {
  if (mMapped) ::munmap(mMapped, std::max<std::size_t>(mMappedSize, 1));
  mMapped = nullptr;
  mMappedSize = 0;
}

char* FileBytes::allocate(std::size_t size) {
  unmap();
  mText.clear();
  void* at =
      ::mmap(nullptr, std::max<std::size_t>(size, 1), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at == MAP_FAILED) return nullptr;
  mMapped = static_cast<char*>(at);
  mMappedSize = size;
  return mMapped;
}

std::string_view TagFile::trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::uint64_t TagFile::recordHandle(std::size_t begin, std::size_t end) const {
  std::uint64_t h = 0;
  if (begin + 1 < end && tags[begin + 1].code == 5 && parseHandle(value(begin + 1), h)) return h;
  return 0;
}

std::size_t TagFile::linesEnd(std::size_t i) const {
  std::size_t at = tags[i].offset + value(i).size();
  while (at < buffer.size() && buffer[at] == '\r') ++at;
  return at < buffer.size() && buffer[at] == '\n' ? at + 1 : at;
}

std::size_t TagFile::longValueLength(const Tag& t) const {
  const char* begin = buffer.data() + t.offset;
  const std::size_t rest = buffer.size() - t.offset;
  const void* nl = std::memchr(begin, '\n', rest);
  std::size_t end = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - begin) : rest;
  while (end > 0 && begin[end - 1] == '\r') --end;
  return end;
}

std::string printable(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out;
  std::size_t i = 0;
  for (; i < text.size() && i < kMax; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  if (i < text.size()) out += "...";
  return out;
}

std::string fileTooLarge() {
  return textInLanguage("line 1: the file is too large (4 GB at most)", "第 1 行：文件太大（最大 4 GB）");
}

namespace {

// One stretch of a scan: the tags of the lines from `pos` on, written into the file's tag list from
// `count` on, until a tag ends at or past `stop`, the input ends, an EOF tag is read or a line is wrong.
struct Stretch {
  std::size_t pos, stop;
  std::size_t line;   // of the line at `pos`
  std::size_t count;  // tags written so far, from the start of the file
  bool first;         // `pos` is the file's first line
  enum Outcome { kStopped, kEnded, kBad } outcome = kStopped;
  std::size_t dataAfterEofLine = 0;
  std::string error;
};

void scanStretch(TagFile& file, Stretch& s, const std::function<void(double)>& progress) {
  const std::string_view b = file.buffer;
  const char* data = b.data();
  const std::size_t n = b.size();
  std::size_t& pos = s.pos;
  auto nextLine = [&](std::size_t& begin, std::size_t& len) -> bool {
    if (pos >= n) return false;
    begin = pos;
    const void* nl = std::memchr(data + pos, '\n', n - pos);
    std::size_t end = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - data) : n;
    pos = nl ? end + 1 : n;
    // Every CR at the end goes with the line break: a value ending in CR would come back from a
    // save as a line ending of its own.
    while (end > begin && data[end - 1] == '\r') --end;
    len = end - begin;
    return true;
  };
  // A group-code line of any form: kCode, kEnd at the end of the input, or kBad for a line that holds
  // no valid group code (with `error` saying so).
  enum { kCode, kEnd, kBad };
  auto slowCode = [&](int& code) -> int {
    std::size_t cb, cl;
    if (!nextLine(cb, cl)) return kEnd;
    std::string_view codeText = TagFile::trimmed({data + cb, cl});
    if (codeText.empty() && pos >= n) return kEnd;  // trailing blank line
    auto [ptr, ec] = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
    if (codeText.empty() || ec != std::errc() || ptr != codeText.data() + codeText.size()) {
      s.error = s.line == 1
                    ? textInLanguage("line 1: a group code was expected, found {} (this is not a DXF file)",
                                     "第 1 行：此处应为组码，却是 {}（这不是 DXF 文件）", quoted(codeText))
                    : textInLanguage("line {}: a group code was expected, found {}", "第 {} 行：此处应为组码，却是 {}",
                                     {std::to_string(s.line), quoted(codeText)});
      return kBad;
    }
    return kCode;
  };
  // The usual group-code line, "  10" and a line break, read without the general path: blanks, an
  // optional minus and at most four digits. Anything else takes the general path, which also says
  // what is wrong.
  const bool crlf = file.crlf;
  auto quickCode = [&](int& code) -> bool {
    std::size_t p = pos;
    while (p < n && data[p] == ' ') ++p;
    const bool negative = p < n && data[p] == '-';
    if (negative) ++p;
    const std::size_t digits = p;
    int value = 0;
    while (p < n && p - digits < 4 && data[p] >= '0' && data[p] <= '9') value = value * 10 + (data[p++] - '0');
    if (p == digits) return false;
    if (p < n && data[p] == '\r' && crlf) ++p;
    if (p >= n || data[p] != '\n') return false;
    code = negative ? -value : value;
    pos = p + 1;
    return true;
  };
  auto bad = [&](std::string message) {
    s.error = std::move(message);
    s.outcome = Stretch::kBad;
  };
  Tag* tags = file.tags.data();
  while (pos < s.stop) {
    int code = 0;
    if (std::exchange(s.first, false) || !quickCode(code)) {
      const int read = slowCode(code);
      if (read == kEnd) return void(s.outcome = Stretch::kEnded);
      if (read == kBad) return void(s.outcome = Stretch::kBad);
    }
    if (code < -5 || code > 1071)
      return bad(textInLanguage("line {}: invalid group code {}", "第 {} 行：无效的组码 {}",
                                {std::to_string(s.line), std::to_string(code)}));
    std::size_t vb, vl;
    if (!nextLine(vb, vl))
      return bad(textInLanguage("line {}: group code {} has no value (the file is truncated)",
                                "第 {} 行：组码 {} 没有值（文件被截断）",
                                {std::to_string(s.line + 1), std::to_string(code)}));
    tags[s.count++] =
        Tag{static_cast<std::uint32_t>(vb), static_cast<std::uint16_t>(std::min<std::size_t>(vl, Tag::kLongValue)),
            static_cast<std::int16_t>(code)};
    s.line += 2;
    if (progress && (s.count & 0xffff) == 0) progress(kScanShare * static_cast<double>(pos) / static_cast<double>(n));
    if (code == 0 && TagFile::trimmed({data + vb, vl}) == "EOF") {
      // The drawing ends here. Some programs leave more behind (padding, another copy, junk): it is
      // not read, and said when it is more than blanks.
      auto padding = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == '\x1A'; };
      std::size_t rest = pos;
      while (rest < n && padding(data[rest])) ++rest;
      if (rest < n) s.dataAfterEofLine = s.line;
      s.outcome = Stretch::kEnded;
      return;
    }
  }
  if (pos >= n) s.outcome = Stretch::kEnded;
}

// Where the scan of a large file may be cut in two: the start of a line "0" at or after `from` that
// is followed by an entity's or a section's name. In a well-formed file such a line is a group code,
// since a name is no group code; in any other, the first stretch runs past the cut, and the scan
// goes on from there alone. npos when no such line is near.
std::size_t cutPoint(std::string_view b, std::size_t from) {
  const std::size_t limit = std::min(b.size(), from + (std::size_t{1} << 20));
  std::size_t at = b.find('\n', from);
  auto lineAt = [&](std::size_t begin) {
    const std::size_t end = b.find('\n', begin);
    return end == std::string_view::npos ? std::string_view() : TagFile::trimmed(b.substr(begin, end - begin));
  };
  while (at != std::string_view::npos && at < limit) {
    const std::size_t begin = at + 1;
    if (lineAt(begin) == "0") {
      const std::string_view name = lineAt(b.find('\n', begin) + 1);
      if (!name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_") == std::string_view::npos)
        return begin;
    }
    at = b.find('\n', begin);
  }
  return std::string_view::npos;
}

}  // namespace

bool scanTags(TagFile& file, std::string& error, const std::function<void(double)>& progress,
              std::size_t twoStretchesFrom) {
  const std::string_view b = file.buffer;
  if (b.size() >= std::numeric_limits<std::uint32_t>::max()) {
    error = fileTooLarge();
    return false;
  }
  std::size_t pos = 0;
  if (b.size() >= 3 && std::memcmp(b.data(), "\xEF\xBB\xBF", 3) == 0) pos = 3;
  if (b.compare(pos, kBinarySentinel.size(), kBinarySentinel) == 0) {
    error = textInLanguage("line 1: this is a binary DXF file; only ASCII DXF can be read (save it as ASCII DXF)",
                           "第 1 行：这是二进制 DXF 文件；只能读取 ASCII DXF（请另存为 ASCII DXF）");
    return false;
  }
  // The first line's break is the file's.
  const std::size_t firstBreak = std::min(b.find('\n', pos), b.size());
  file.crlf = firstBreak > pos && b[firstBreak - 1] == '\r';
  // A large file is scanned in two stretches at once, cut at a line that begins a record.
  const std::size_t cut =
      b.size() - pos >= twoStretchesFrom ? cutPoint(b, pos + (b.size() - pos) / 2) : std::string_view::npos;
  const bool split = cut != std::string_view::npos;
  // Two lines a tag: counting them first sizes the tag list once.
  std::size_t linesBefore = 0, linesAfter = 0;
  inParallel(
      split, [&] { linesBefore = countLineBreaks(b.substr(pos, split ? cut - pos : b.npos)); },
      [&] { linesAfter = split ? countLineBreaks(b.substr(cut)) : 0; });
  file.tags.clear();
  file.tags.resize(linesBefore / 2 + linesAfter / 2 + 2);
  Stretch first{pos, split ? cut : b.size(), 1, 0, true, Stretch::kStopped, 0, {}};
  Stretch second{cut, b.size(), 1 + linesBefore, linesBefore / 2, false, Stretch::kStopped, 0, {}};
  inParallel(
      split, [&] { scanStretch(file, first, progress); },
      [&] {
        if (split) scanStretch(file, second, {});
      });
  Stretch* last = &first;
  if (first.outcome == Stretch::kStopped) {
    if (first.pos == cut && first.count == linesBefore / 2) {
      last = &second;
    } else {
      // The cut fell inside a tag: the rest is scanned from where the first stretch got to.
      first.stop = b.size();
      scanStretch(file, first, progress);
    }
  }
  file.tags.resize(last->count);
  file.dataAfterEofLine = last->dataAfterEofLine;
  if (last->outcome == Stretch::kBad) {
    error = std::move(last->error);
    return false;
  }
  return true;
}

bool parseDouble(std::string_view text, double& out) {
  text = TagFile::trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool parseInt(std::string_view text, long long& out) {
  text = TagFile::trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool parseHandle(std::string_view text, std::uint64_t& out) {
  text = TagFile::trimmed(text);
  if (text.empty() || text.size() > 16) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out, 16);
  return ec == std::errc() && ptr == text.data() + text.size();
}

namespace {

// Writes the text of a value with at most four decimals and a magnitude from 0.001 to 1e11 (most
// coordinates) so that it ends at `end`, and gives where it starts; null, with nothing written, for
// other values and for integers ending in five zeros or more, whose exponent form may be shorter
// ("1e+05" for 100000; with fewer zeros it is never shorter, and a tie goes to the plain form).
// The text is made from the value's digits as an integer: there the doubles lie closer together
// than 0.0001, so the fewest decimals that read back as the value give the one shortest text, and
// it is never longer than the exponent form. At most 17 characters.
char* writeFewDecimals(char* end, double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude >= 1e-3 && magnitude < 1e11)) return nullptr;
  // Rounds to the nearest integer as nearbyint does, without its library call: below 2^52, adding
  // 2^52 leaves no fraction, and taking it away again leaves the rounded value.
  constexpr double kTwoTo52 = 4503599627370496.0;
  for (int decimals = 0; decimals <= 4; ++decimals) {
    const double scaled = (magnitude * kExactTens[decimals] + kTwoTo52) - kTwoTo52;
    if ((decimals == 0 ? scaled : scaled / kExactTens[decimals]) != magnitude) continue;  // no division by 1
    auto digits = static_cast<std::uint64_t>(scaled);
    if (decimals == 0 && digits % 100000 == 0) return nullptr;
    // From the last digit back: the decimals (a "0" if none), ".", the whole part (a "0" if none),
    // "-". Pieces copied in place cost more than the digits themselves.
    char* at = end;
    if (decimals == 0) *--at = '0';
    for (int i = 0; i < decimals; ++i, digits /= 10) *--at = static_cast<char>('0' + digits % 10);
    *--at = '.';
    do {
      *--at = static_cast<char>('0' + digits % 10);
      digits /= 10;
    } while (digits != 0);
    if (value < 0) *--at = '-';
    return at;
  }
  return nullptr;
}

// The shortest text that reads back as the value, as to_chars writes it, integers with ".0".
void appendShortest(std::string& out, double value) {
  char buf[32];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  std::string_view s(buf, static_cast<std::size_t>(ptr - buf));
  out.append(s);
  // Integral values keep a decimal point as other writers do ("1.0", not "1").
  if (s.find_first_of(".eEn") == std::string_view::npos) out.append(".0");
}

}  // namespace

void appendDouble(std::string& out, double value) {
  if (value == 0) {
    out.append("0.0");  // no "-0.0"
    return;
  }
  char text[24];
  if (const char* start = writeFewDecimals(text + sizeof text, value))
    out.append(start, static_cast<std::size_t>(text + sizeof text - start));
  else
    appendShortest(out, value);
}

std::string formatHandle(std::uint64_t handle) {
  char buf[20];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, handle, 16);
  (void)ec;
  std::string s(buf, ptr);
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 'a' + 'A' : c);
  return s;
}

namespace {

// Every valid group code as written, right-aligned in three columns and with its line break (LF or
// CR LF): looked up, not formatted, and added in one piece, for the million or so tags of a large
// drawing.
struct CodeLines {
  static constexpr int kFirst = -5, kLast = 1071;
  char text[2][kLast - kFirst + 1][8];
  std::uint8_t length[2][kLast - kFirst + 1];
  CodeLines() {
    for (int crlf = 0; crlf < 2; ++crlf)
      for (int c = kFirst; c <= kLast; ++c) {
        char buf[8];
        std::size_t len = static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, c).ptr - buf);
        std::size_t pad = len < 3 ? 3 - len : 0;
        char* out = text[crlf][c - kFirst];
        std::memset(out, ' ', pad);
        std::memcpy(out + pad, buf, len);
        len += pad;
        if (crlf) out[len++] = '\r';
        out[len++] = '\n';
        length[crlf][c - kFirst] = static_cast<std::uint8_t>(len);
      }
  }
};

const CodeLines& codeLines() {
  static const CodeLines lines;
  return lines;
}

}  // namespace

TagWriter::TagWriter(std::string& out, bool crlf)
    : mOut(out),
      mEol(crlf ? "\r\n" : "\n"),
      mCrlf(crlf),
      mCodeText(codeLines().text[crlf ? 1 : 0]),
      mCodeLength(codeLines().length[crlf ? 1 : 0]) {}

void TagWriter::code(int c) {
  if (c >= CodeLines::kFirst && c <= CodeLines::kLast) {
    const auto at = static_cast<std::size_t>(c - CodeLines::kFirst);
    mOut.append(mCodeText[at], mCodeLength[at]);
    return;
  }
  char buf[16];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, c);
  (void)ec;
  std::size_t len = static_cast<std::size_t>(ptr - buf);
  if (len < 3) mOut.append(3 - len, ' ');
  mOut.append(buf, len);
  mOut.append(mEol);
}

void TagWriter::tag(int c, std::string_view value) {
  code(c);
  mOut.append(value);
  mOut.append(mEol);
}

void TagWriter::tag(int c, double value) {
  // Most values: the code line, the text and the line break made in one piece and added at once.
  if (c >= CodeLines::kFirst && c <= CodeLines::kLast) {
    const auto at = static_cast<std::size_t>(c - CodeLines::kFirst);
    char line[40];
    char* const textEnd = line + sizeof line - 2;
    if (char* start = writeFewDecimals(textEnd, value)) {
      std::memcpy(textEnd, mEol.data(), mEol.size());
      start -= mCodeLength[at];
      std::memcpy(start, mCodeText[at], mCodeLength[at]);
      mOut.append(start, static_cast<std::size_t>(textEnd + mEol.size() - start));
      return;
    }
  }
  if (!std::isfinite(value)) mWroteNonFinite = true;  // the fast path above takes finite values only
  code(c);
  appendDouble(mOut, value);
  mOut.append(mEol);
}

void TagWriter::tagInt(int c, long long value) {
  code(c);
  char buf[24];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  mOut.append(buf, static_cast<std::size_t>(ptr - buf));
  mOut.append(mEol);
}

void TagWriter::tagHandle(int c, std::uint64_t handle) {
  tag(c, formatHandle(handle));
}

void TagWriter::raw(const TagFile& file, std::size_t begin, std::size_t end) {
  if (begin >= end) return;
  if (file.crlf == mCrlf) {
    const std::size_t from = file.linesBegin(begin);
    mOut.append(file.buffer.data() + from, file.linesEnd(end - 1) - from);
    return;
  }
  for (std::size_t i = begin; i < end; ++i) tag(file.tags[i].code, file.value(i));
}

}  // namespace zrxhost::dxf
