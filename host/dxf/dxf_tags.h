// The DXF tag layer: a scanned file as (group code, exact value text) pairs, and a tag writer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zrxhost::dxf {

// One group: its code and where its value text lies in the file buffer. The value is kept as the
// file wrote it (no trimming, no re-rounding) so that data the host does not model is written back
// byte for byte. Eight bytes, as a large drawing holds tens of millions of them: a value of
// kLongValue bytes or more is measured again from the buffer when asked for.
struct Tag {
  static constexpr std::uint16_t kLongValue = 0xFFFF;
  std::uint32_t offset;
  std::uint16_t length;  // kLongValue: that long or longer
  std::int16_t code;
};

// Leaves the elements it makes uninitialized: a scan sizes its list of tags at once and fills it in
// two stretches, on two threads; a list zeroed first would take one more pass over fresh memory.
template <typename T>
struct Uninitialized : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = Uninitialized<U>;
  };
  Uninitialized() = default;
  template <typename U>
  Uninitialized(const Uninitialized<U>&) noexcept {}
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
};

// A file's bytes as read, or a text made in memory. A large file's are held in memory mapped for
// them alone, which the reader fills without writing it over first.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(std::string text) : mText(std::move(text)) {}  // NOLINT: a text stands for its bytes
  FileBytes(FileBytes&& other) noexcept { *this = std::move(other); }
  FileBytes& operator=(FileBytes&& other) noexcept;
  ~FileBytes();
  // Room for `size` bytes, to be filled; null when the memory cannot be had.
  char* allocate(std::size_t size);
  const char* data() const { return mMapped ? mMapped : mText.data(); }
  std::size_t size() const { return mMapped ? mMappedSize : mText.size(); }
  std::string_view view() const { return {data(), size()}; }
  char operator[](std::size_t i) const { return data()[i]; }
  operator std::string_view() const { return view(); }  // NOLINT: read wherever bytes are read

 private:
  void unmap();
  std::string mText;
  char* mMapped = nullptr;
  std::size_t mMappedSize = 0;
};

// A whole file held in memory: its bytes and its tags, in order. Tag i sits on lines 2i+1 and 2i+2
// (counting from the first line after a byte-order mark), which is how errors name lines.
struct TagFile {
  FileBytes buffer;
  std::vector<Tag, Uninitialized<Tag>> tags;
  bool crlf = false;                 // the file ended its lines with CR LF
  std::size_t dataAfterEofLine = 0;  // the first line of what followed EOF and was not read; 0: none
  bool binary = false;               // read from a binary DXF file (`buffer` holds its ASCII form)

  std::string_view value(const Tag& t) const {
    return {buffer.data() + t.offset, t.length != Tag::kLongValue ? t.length : longValueLength(t)};
  }
  std::string_view value(std::size_t i) const { return value(tags[i]); }
  int code(std::size_t i) const { return tags[i].code; }
  bool is(std::size_t i, int code, std::string_view text) const {
    return tags[i].code == code && trimmed(value(i)) == text;
  }
  static std::size_t lineOf(std::size_t tagIndex) { return 2 * tagIndex + 1; }
  // Where the record that starts at tag `begin` ends: its next 0 group, or the end of the tags.
  std::size_t recordEnd(std::size_t begin) const {
    std::size_t end = begin + 1;
    while (end < tags.size() && tags[end].code != 0) ++end;
    return end;
  }
  // The handle the record [begin, end) gives itself (its 5 group right after the 0 group); 0: none.
  std::uint64_t recordHandle(std::size_t begin, std::size_t end) const;
  // Where the lines of tag i begin in the buffer (tag 0's at the buffer's start, a byte-order mark
  // and all), and where they end: just past the line break of its value, or at the buffer's end.
  std::size_t linesBegin(std::size_t i) const { return i == 0 ? 0 : linesEnd(i - 1); }
  std::size_t linesEnd(std::size_t i) const;
  static std::string_view trimmed(std::string_view s);

 private:
  // The value's line up to its line break, without the CRs before it (as the scanner measured it).
  std::size_t longValueLength(const Tag& t) const;
};

// The refusal of a file past the 4 GB that tags can address.
std::string fileTooLarge();

// Splits `file.buffer` into tags. False with "line N: ..." in `error` on a missing value, a group
// code that is not an integer in the valid range, a binary file or an oversized file.
// The part of a read's progress that scanning the tags stands for; building the objects is the rest.
inline constexpr double kScanShare = 0.4;

// Files from this size on are scanned in two stretches at once, each on a core of its own.
inline constexpr std::size_t kTwoStretchesFrom = std::size_t{1} << 22;

// `progress` (may be empty) hears the fraction of the read done, up to kScanShare. What the scan
// gives does not depend on `twoStretchesFrom` (tests and fuzzing set it low to show that).
bool scanTags(TagFile& file, std::string& error, const std::function<void(double)>& progress = {},
              std::size_t twoStretchesFrom = kTwoStretchesFrom);

// A value for an error message: at most 40 bytes, control and non-UTF-8 bytes as \xNN.
std::string printable(std::string_view text);

// Number parsing of value texts (surrounding blanks allowed, nothing else).
bool parseDouble(std::string_view text, double& out);
bool parseInt(std::string_view text, long long& out);
bool parseHandle(std::string_view text, std::uint64_t& out);
// Shortest text that reads back as the same double ("1.5", "0.0", "1e-12").
void appendDouble(std::string& out, double value);
// Powers of ten (all held exactly by a double), up to the 15 digits a plain decimal may have here.
inline constexpr double kExactTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
std::string formatHandle(std::uint64_t handle);

// Appends tags in the layout AutoCAD and ezdxf use: the code right-aligned in three columns.
class TagWriter {
 public:
  explicit TagWriter(std::string& out, bool crlf = false);
  void tag(int code, std::string_view value);
  void tag(int code, double value);
  void tagInt(int code, long long value);
  void tagHandle(int code, std::uint64_t handle);
  // Tags [begin, end) as read, byte for byte (the padding of their group codes, their line breaks,
  // the file's end); written anew in this writer's layout where the file breaks its lines otherwise.
  void raw(const TagFile& file, std::size_t begin, std::size_t end);
  void raw(const TagFile& file, const Tag& tag) {
    const auto at = static_cast<std::size_t>(&tag - file.tags.data());
    raw(file, at, at + 1);
  }
  std::string& out() { return mOut; }
  // Whether a value given was infinite or not a number: no reader takes such a value back, so the
  // writer's caller must not keep what was written.
  bool wroteNonFinite() const { return mWroteNonFinite; }

 private:
  void code(int c);
  std::string& mOut;
  bool mWroteNonFinite = false;
  std::string_view mEol;
  bool mCrlf;
  const char (*mCodeText)[8];  // the code lines with this line break, from code -5 on
  const std::uint8_t* mCodeLength;
};

}  // namespace zrxhost::dxf
