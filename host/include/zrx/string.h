// ZcString: the host's string, stored as UTF-16 code units.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "zrx/core.h"

// Indices and lengths count UTF-16 code units, as on the real host. Wide (`ZTCHAR`, 32-bit on this
// platform) and narrow (UTF-8) forms are converted at the boundary; the wide form handed out by
// `kwszPtr` is cached until the string changes. The cache lives apart from the string so that a
// string is small and cheap to copy (copies do not take the cache): the module keeps and copies
// a hundred thousand of them on every cursor move.
class ZcString {
 public:
  ZcString() = default;
  ZcString(const ZTCHAR* wide);        // NOLINT: implicit like the host's
  ZcString(const char* narrow);        // NOLINT: UTF-8
  explicit ZcString(char narrowChar);  // one character
  explicit ZcString(ZTCHAR wideChar);  // one character (two units outside the BMP)
  explicit ZcString(std::u16string units) : mUnits(std::move(units)) {}
  ZcString(const ZcString& other) : mUnits(other.mUnits) {}
  ZcString(ZcString&& other) noexcept : mUnits(std::move(other.mUnits)) { other.invalidate(); }
  // Inline: copying into a string that already has the room is the module's commonest operation.
  ZcString& operator=(const ZcString& other) {
    if (this != &other) setUnits(other.mUnits);
    return *this;
  }
  ZcString& operator=(ZcString&& other) noexcept;
  ZcString& operator=(const ZTCHAR* wide);
  ~ZcString() = default;

  int length() const { return static_cast<int>(mUnits.size()); }
  bool isEmpty() const { return mUnits.empty(); }
  // The code unit at `index`; 0 when out of range.
  ZTCHAR getAt(int index) const;
  // `count` units from `start`, clamped to the string; count -1 means to the end.
  ZcString substr(int start, int count = -1) const;
  // Removes `count` units at `index` (clamped); returns *this.
  ZcString& deleteAtIndex(int index, int count = 1);
  // Inserts at `index` (clamped to [0, length]); returns *this.
  ZcString& insert(int index, const ZTCHAR* wide);
  ZcString& insert(int index, const ZcString& other);
  ZcString concat(const ZcString& other) const;
  ZcString& append(const ZcString& other);
  ZcString& operator+=(const ZcString& other) { return append(other); }
  int find(ZTCHAR ch) const;
  int compare(const ZcString& other) const { return mUnits.compare(other.mUnits); }
  // Unit by unit, inline: a draw compares a layer name per entity.
  bool operator==(const ZcString& other) const {
    const size_t count = mUnits.size();
    if (count != other.mUnits.size()) return false;
    const char16_t* a = mUnits.data();
    const char16_t* b = other.mUnits.data();
    for (size_t i = 0; i < count; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  bool operator!=(const ZcString& other) const { return !(*this == other); }
  bool operator==(const ZTCHAR* wide) const;
  bool operator<(const ZcString& other) const { return mUnits < other.mUnits; }

  // Wide, null-terminated form (UTF-32 on this platform); valid until the string changes.
  const ZTCHAR* kwszPtr() const;
  const ZTCHAR* constPtr() const { return kwszPtr(); }
  // Narrow form: UTF-8; valid until the string changes.
  const char* ansiPtr() const;
  const char* utf8Ptr() const { return ansiPtr(); }
  std::string toUtf8() const;

  const std::u16string& utf16() const { return mUnits; }
  std::u16string& utf16Mutable() {
    invalidate();
    return mUnits;
  }
  // Replaces the units. A short string of the length this one already has (a jig's preview copies
  // a hundred thousand such strings several times over on every cursor move) is moved in with two
  // overlapping fixed-size copies; anything else goes through the library, out of line.
  [[gnu::always_inline]] void setUnits(std::u16string_view units) {
    invalidate();
    const size_t count = units.size();
    if (count <= kShortUnits && count == mUnits.size()) [[likely]]
      copyShort(mUnits.data(), units.data(), count);
    else
      assignUnits(units);
  }

 private:
  static constexpr size_t kShortUnits = 16;
  void assignUnits(std::u16string_view units);
  // Copies `count` (at most kShortUnits) units; both pieces are read before either is written, so
  // the buffers may be the same.
  [[gnu::always_inline]] static void copyShort(char16_t* to, const char16_t* from, size_t count) {
    auto* t = reinterpret_cast<unsigned char*>(to);
    const auto* f = reinterpret_cast<const unsigned char*>(from);
    const size_t bytes = count * sizeof(char16_t);
    auto two = [&](auto chunk) {  // the first and the last `chunk`-sized pieces cover it all
      constexpr size_t size = sizeof(chunk);
      decltype(chunk) head, tail;
      __builtin_memcpy(&head, f, size);
      __builtin_memcpy(&tail, f + bytes - size, size);
      __builtin_memcpy(t, &head, size);
      __builtin_memcpy(t + bytes - size, &tail, size);
    };
    struct Block16 {
      unsigned char b[16];
    };
    if (bytes > 16)
      two(Block16{});
    else if (bytes > 8)
      two(std::uint64_t{});
    else if (bytes > 4)
      two(std::uint32_t{});
    else if (bytes > 0)
      two(std::uint16_t{});
  }
  struct Forms {
    std::wstring wide;
    std::string narrow;
    bool wideValid = false;
    bool narrowValid = false;
  };
  void invalidate() {
    if (mForms) mForms->wideValid = mForms->narrowValid = false;
  }
  Forms& forms() const {
    if (!mForms) mForms = std::make_unique<Forms>();
    return *mForms;
  }
  std::u16string mUnits;
  mutable std::unique_ptr<Forms> mForms;
};

namespace zrxhost {
// Conversions used at the host's boundaries (files, terminal, fonts).
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
std::u16string wideToUtf16(std::wstring_view wide);
std::wstring utf16ToWide(std::u16string_view utf16);
std::u32string utf16ToUtf32(std::u16string_view utf16);
std::string utf32ToUtf8(std::u32string_view utf32);
}  // namespace zrxhost
