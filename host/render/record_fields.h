// Reading numbers, points and texts out of one DXF record's tags, by group code.
#pragma once

#include <cstdint>
#include <string_view>

#include "dxf/dxf_tags.h"
#include "render/shapes.h"

namespace zrxhost::render {

// The tags [begin, end) of one record; lookups take the first tag of a code.
struct Fields {
  const dxf::TagFile& file;
  std::uint32_t begin, end;

  Fields(const dxf::TagFile& f, std::uint32_t b, std::uint32_t e) : file(f), begin(b), end(e) {}

  int code(std::uint32_t i) const { return file.code(i); }
  // The tag's number; 0 when it is not one (a damaged value draws as if absent, never fails).
  double value(std::uint32_t i) const {
    double v = 0;
    return dxf::parseDouble(file.value(i), v) && std::isfinite(v) ? v : 0;
  }
  bool has(int c) const {
    for (std::uint32_t i = begin; i < end; ++i)
      if (file.code(i) == c) return true;
    return false;
  }
  double number(int c, double fallback) const {
    for (std::uint32_t i = begin; i < end; ++i) {
      double v = 0;
      if (file.code(i) == c) return dxf::parseDouble(file.value(i), v) && std::isfinite(v) ? v : fallback;
    }
    return fallback;
  }
  int integer(int c, int fallback) const {
    for (std::uint32_t i = begin; i < end; ++i) {
      long long v = 0;
      if (file.code(i) == c) return dxf::parseInt(file.value(i), v) ? static_cast<int>(v) : fallback;
    }
    return fallback;
  }
  // The point of codes c, c+10, c+20 (x, y, z).
  V3 point(int c, V3 fallback = {}) const {
    if (!has(c)) return fallback;
    return {number(c, 0), number(c + 10, 0), number(c + 20, 0)};
  }
  std::string_view text(int c) const {
    for (std::uint32_t i = begin; i < end; ++i)
      if (file.code(i) == c) return file.value(i);
    return {};
  }
};

}  // namespace zrxhost::render
