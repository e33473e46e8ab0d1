// Reads declared values from a record's tags: the first group of a code, or a list of items.
#include "dxf/dxf_record_values.h"

#include <cmath>

#include "dxf/dxf_tags.h"

namespace zrxhost::dxf {

bool finiteNumber(std::string_view text, double& out) {
  double v = 0;
  if (!parseDouble(text, v) || !std::isfinite(v)) return false;
  out = v;
  return true;
}

std::size_t RecordValues::find(int code, std::size_t at) const {
  for (std::size_t i = at; i < mEnd; ++i)
    if (mFile.code(i) == code) return i;
  return mEnd;
}

double RecordValues::number(const ValueDef& v) const {
  double d = v.byDefault[0];
  if (const std::size_t i = find(v.code); i < mEnd) finiteNumber(mFile.value(i), d);
  return v.kind == ValueKind::Angle ? d * M_PI / 180 : d;
}

long long RecordValues::integer(const ValueDef& v) const {
  long long n = static_cast<long long>(v.byDefault[0]);
  if (const std::size_t i = find(v.code); i < mEnd) parseInt(mFile.value(i), n);
  return n;
}

Point3 RecordValues::point(const ValueDef& v) const {
  if (!has(v)) return v.byDefault;
  Point3 p{};
  for (std::size_t k = 0; k < 3; ++k)
    if (const std::size_t i = find(v.code + static_cast<int>(10 * k)); i < mEnd) finiteNumber(mFile.value(i), p[k]);
  return p;
}

std::string_view RecordValues::text(const ValueDef& v) const {
  const std::size_t i = find(v.code);
  return i < mEnd ? mFile.value(i) : std::string_view{};
}

std::string_view RecordValues::name(const ValueDef& v) const {
  return TagFile::trimmed(text(v));
}

std::vector<Item> RecordValues::items(const ItemsDef& list) const {
  std::vector<Item> out;
  for (std::size_t i = mBegin; i < mEnd; ++i) {
    const int code = mFile.code(i);
    double value = 0;
    if (code == list.first) {
      out.emplace_back();
      finiteNumber(mFile.value(i), out.back().values[0]);
      continue;
    }
    if (out.empty()) continue;
    for (std::size_t m = 0; m < list.members.size() && list.members[m] != 0; ++m) {
      if (code != list.members[m]) continue;
      out.back().values[1 + m] = finiteNumber(mFile.value(i), value) ? value : 0;
      out.back().given |= static_cast<std::uint8_t>(1u << m);
      break;
    }
  }
  return out;
}

bool RecordValues::hasSubclass(std::string_view name) const {
  for (std::size_t i = mBegin; i < mEnd; ++i)
    if (mFile.code(i) == 100 && TagFile::trimmed(mFile.value(i)) == name) return true;
  return false;
}

}  // namespace zrxhost::dxf
