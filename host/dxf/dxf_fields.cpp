// The engine that reads a record's modelled groups into slots and rewrites them in place.
#include "dxf/dxf_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dxf/dxf_objects.h"
#include "dxf/dxf_text.h"
#include "zrxhost/messages.h"

namespace zrxhost::dxf {

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

// The shortest degree value that reads back as exactly `radians` (30 rather than 29.999999999999996).
double degreesFor(double radians) {
  const double deg = radians / kDegToRad;
  if (!std::isfinite(deg)) return deg;
  for (int digits = 1; digits <= 17; ++digits) {
    char buf[40];
    const auto printed = std::to_chars(buf, buf + sizeof buf, deg, std::chars_format::general, digits);
    double candidate = 0;
    std::from_chars(buf, printed.ptr, candidate);
    if (candidate * kDegToRad == radians) return candidate;
  }
  return deg;
}

// parseInt with a direct path for plain integers of up to 18 digits.
bool parseInteger(std::string_view text, long long& out) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  if (p == end || end - p > 18) return parseInt(text, out);
  long long value = 0;
  for (; p != end; ++p) {
    if (*p < '0' || *p > '9') return parseInt(text, out);
    value = value * 10 + (*p - '0');
  }
  out = negative ? -value : value;
  return true;
}

bool sameDouble(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

bool isAngleLike(Kind k) {
  return k == Kind::Angle;
}

bool isReal(Kind k) {
  return k == Kind::Real || k == Kind::Angle || k == Kind::DirX || k == Kind::DirY || k == Kind::DirZ ||
         k == Kind::PosX || k == Kind::PosY || k == Kind::PosZ;
}

// Appends "#n" (the n-th marker of a name, n < 1000) at `len` in `key`, which has room for it;
// the new length. Called for every marker of every record, hence no printf.
std::size_t appendOrdinal(char* key, std::size_t len, int n) {
  key[len++] = '#';
  const auto end = std::to_chars(key + len, key + len + 3, n % 1000).ptr;
  return static_cast<std::size_t>(end - key);
}

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i] < 128 && a[i] >= 'a' && a[i] <= 'z' ? a[i] - 32 : a[i];
    char16_t y = b[i] < 128 && b[i] >= 'a' && b[i] <= 'z' ? b[i] - 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

// Walks a record's groups, telling which ones belong to a modelled field.
class FieldMatcher {
 public:
  FieldMatcher(const TypeDef& def, bool byCodeOnly) : mDef(def), mByCode(byCodeOnly) { mSubclass[0] = '\0'; }

  // The field index of the group or -1; updates the subclass state.
  int match(int code, std::string_view value) {
    if (code == 102) {
      mIn102 = !value.empty() && value.front() == '{';
      return -1;
    }
    if (mIn102) return -1;
    if (code >= 1000) mInXdata = true;
    if (mInXdata) return -1;
    if (code == 101) mInEmbedded = true;
    if (mInEmbedded) return -1;
    if (code == 100) {
      std::string_view name = TagFile::trimmed(value);
      if (name.size() > 48) name = name.substr(0, 48);
      int count = 1;
      std::size_t i = 0;
      for (; i < mSeenCount; ++i)
        if (mSeen[i].first == name) {
          count = ++mSeen[i].second;
          break;
        }
      if (i == mSeenCount && mSeenCount < mSeen.size()) mSeen[mSeenCount++] = {name, 1};
      std::memcpy(mSubclass, name.data(), name.size());
      std::size_t len = name.size();
      if (count > 1) len = appendOrdinal(mSubclass, len, count);
      mSubclass[len] = '\0';
      mSubclassId = mDef.subclassIdOf(std::string_view(mSubclass, len));
      return -1;
    }
    if (code < 0 || code >= 1072) return -1;
    for (int g = mDef.firstByCode[static_cast<std::size_t>(code)]; g >= 0;
         g = mDef.fields[static_cast<std::size_t>(g)].nextSameCode) {
      const auto f = static_cast<std::size_t>(g);
      const FieldDef& fd = mDef.fields[f];
      if (!mByCode && fd.subclassId != mSubclassId) continue;
      if (f < 64 && (mUsed >> f & 1) != 0 && fd.kind != Kind::Chunks) continue;
      if (f < 64) mUsed |= std::uint64_t{1} << f;
      return static_cast<int>(f);
    }
    return -1;
  }

 private:
  const TypeDef& mDef;
  bool mByCode;
  bool mIn102 = false, mInXdata = false, mInEmbedded = false;
  std::uint64_t mUsed = 0;
  char mSubclass[64];
  int mSubclassId = -1;
  std::array<std::pair<std::string_view, int>, 8> mSeen{};
  std::size_t mSeenCount = 0;
};

bool hasMarkers(const TagFile& file, std::size_t begin, std::size_t end) {
  for (std::size_t k = begin; k < end; ++k)
    if (file.tags[k].code == 100) return true;
  return false;
}

}  // namespace

bool sameSlot(const SlotValue& a, const SlotValue& b) {
  return sameDouble(a.d, b.d) && a.i == b.i && a.s == b.s;
}

// parseDouble with a direct path for the plain decimals most groups hold ("1.25", "-30.0"): with at
// most 15 digits the digits make an exact integer, and one division by an exact power of ten rounds
// it as a full parse would. Anything else (blanks, exponents, long values) takes parseDouble.
bool parseDecimal(std::string_view text, double& out) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  std::uint64_t digits = 0;
  int count = 0, fraction = 0;
  const char* const intStart = p;
  for (; p != end && *p >= '0' && *p <= '9'; ++p, ++count) digits = digits * 10 + static_cast<unsigned>(*p - '0');
  bool plain = p != intStart;
  if (plain && p != end && *p == '.') {
    const char* const fracStart = ++p;
    for (; p != end && *p >= '0' && *p <= '9'; ++p, ++count, ++fraction)
      digits = digits * 10 + static_cast<unsigned>(*p - '0');
    plain = p != fracStart;
  }
  if (!plain || p != end || count > 15) return parseDouble(text, out);
  const double magnitude = static_cast<double>(digits) / kExactTens[fraction];
  out = negative ? -magnitude : magnitude;
  return true;
}

TypeDef indexFields(TypeDef t) {
  std::size_t slots = 0;
  for (const FieldDef& fd : t.fields) slots = std::max<std::size_t>(slots, fd.slot + 1u);
  t.defaults.assign(slots, SlotValue{});
  t.keeps.assign(slots, nullptr);
  std::vector<bool> declared(slots, false);
  t.loaderOfSlot.assign(slots, -1);
  for (std::size_t f = 0; f < t.fields.size(); ++f)
    if (const FieldDef& fd = t.fields[f]; fd.load != nullptr)
      for (std::size_t k = 0; k < fd.width; ++k) {
        t.loaderOfSlot[fd.slot + k] = static_cast<std::int8_t>(f);
        t.loadableSlots |= SlotMask{1} << (fd.slot + k);
      }
  for (const FieldDef& fd : t.fields) {
    const SlotMask bit = SlotMask{1} << (fd.slot & 63);
    if (!declared[fd.slot]) t.defaults[fd.slot] = fd.byDefault;
    declared[fd.slot] = true;
    if (fd.exact) t.exactSlots |= bit;
    if (fd.reference) t.referenceSlots |= bit;
    if (std::string_view(fd.subclass) == "AcDbEntity") t.entitySlots |= bit;
    if (fd.keeps != nullptr) t.keeps[fd.slot] = fd.keeps;
    for (std::uint32_t bits = fd.edit; bits != 0; bits &= bits - 1)
      t.slotsOfEdit[static_cast<std::size_t>(std::countr_zero(bits))] |= bit;
  }
  t.firstByCode.assign(1072, -1);
  t.textSlot.assign(t.defaults.size(), false);
  for (std::size_t f = t.fields.size(); f-- > 0;) {
    FieldDef& fd = t.fields[f];
    int id = t.subclassIdOf(fd.subclass);
    if (id < 0) {
      t.subclasses.emplace_back(fd.subclass);
      id = static_cast<int>(t.subclasses.size() - 1);
    }
    fd.subclassId = static_cast<std::uint8_t>(id);
    if (fd.code >= 0 && fd.code < 1072) {
      fd.nextSameCode = t.firstByCode[static_cast<std::size_t>(fd.code)];
      t.firstByCode[static_cast<std::size_t>(fd.code)] = static_cast<std::int16_t>(f);
    }
    if (fd.kind == Kind::Text || fd.kind == Kind::Chunks || fd.kind == Kind::BlockName) t.textSlot[fd.slot] = true;
  }
  for (std::size_t i = 0; i < t.defaults.size(); ++i)
    if (!t.defaults[i].s.empty()) t.textSlot[i] = true;
  for (std::size_t i = 0; i < t.defaults.size(); ++i)
    if (t.textSlot[i]) t.textSlots.push_back(static_cast<std::uint8_t>(i));
  std::vector<int> groupsOfSlot(t.defaults.size(), 0);
  t.comparableInPlace = t.defaults.size() <= 64 && t.fields.size() <= 64;
  for (const SlotValue& v : t.defaults)
    if (!std::isfinite(v.d)) t.comparableInPlace = false;
  for (const FieldDef& fd : t.fields) {
    const bool single = fd.kind == Kind::Real || fd.kind == Kind::Angle || fd.kind == Kind::Int ||
                        fd.kind == Kind::Flag || fd.kind == Kind::Text || fd.kind == Kind::PosX ||
                        fd.kind == Kind::PosY || fd.kind == Kind::PosZ;
    if (!single || fd.slot >= groupsOfSlot.size() || ++groupsOfSlot[fd.slot] > 1) t.comparableInPlace = false;
  }
  if (t.comparableInPlace) {
    t.fieldOfSlot.assign(t.defaults.size(), -1);
    for (std::size_t f = 0; f < t.fields.size(); ++f) t.fieldOfSlot[t.fields[f].slot] = static_cast<std::int8_t>(f);
  }
  return t;
}

GroupPlaces placeGroups(const TypeDef& def, const Record& record, const FieldScan& scan) {
  const std::size_t begin = record.begin, end = record.end;
  GroupPlaces places;
  if (!def.comparableInPlace || def.defaults.size() > GroupPlaces::kSlots || end - begin > 0xFF ||
      scan.fieldOf.size() != end - begin || scan.unreadMarkers)
    return places;
  for (std::size_t k = 1; k < end - begin; ++k)
    if (const int f = scan.fieldOf[k]; f >= 0)
      places.tagOf[def.fields[static_cast<std::size_t>(f)].slot] = static_cast<std::uint8_t>(k);
  places.known = true;
  places.markers = scan.markers;
  return places;
}

void resetSlots(Slots& s, const TypeDef& def) {
  if (s.v.size() != def.defaults.size()) s.v.resize(def.defaults.size());
  // Slots are reused across types: a slot that held another type's text is emptied.
  for (std::size_t i = 0; i < def.defaults.size(); ++i) {
    s.v[i].d = def.defaults[i].d;
    s.v[i].i = def.defaults[i].i;
    if (!s.v[i].s.empty()) s.v[i].s.clear();
  }
  for (std::uint8_t i : def.textSlots) s.v[i].s.assign(def.defaults[i].s);
  s.filledAs = nullptr;
  s.hasDir = false;
  s.dirX = s.dirY = 0;
}

std::u16string blockNameFromFile(std::u16string name, bool r12) {
  if (!r12) return name;
  if (equalsIgnoreCase(name, u"$MODEL_SPACE")) return u"*Model_Space";
  if (equalsIgnoreCase(name, u"$PAPER_SPACE")) return u"*Paper_Space";
  return name;
}

std::u16string blockNameToFile(const std::u16string& name, bool r12) {
  if (!r12) return name;
  if (equalsIgnoreCase(name, u"*Model_Space")) return u"$MODEL_SPACE";
  if (equalsIgnoreCase(name, u"*Paper_Space")) return u"$PAPER_SPACE";
  return name;
}

namespace {

// Clears `scan` for the record [begin, end).
void startScan(FieldScan& scan, const TagFile& file, std::size_t begin, std::size_t end, bool r12) {
  scan.present = 0;
  const bool markerGroups = hasMarkers(file, begin, end);
  scan.markers = !r12 && markerGroups;
  scan.unreadMarkers = r12 && markerGroups;
  scan.fieldOf.assign(end - begin, -1);
}

// An Int or Flag group's value; a real number is cut to its integer part, as some writers put "1.0".
bool parseIntegerGroup(std::string_view value, long long& out) {
  if (parseInteger(value, out)) return true;
  double d = 0;
  if (!parseDouble(value, d) || !std::isfinite(d) || std::fabs(d) > 9e15) return false;
  out = static_cast<long long>(d);
  return true;
}

// A modelled group's value as a number of its kind, or the reader's message about it.
bool parseNumber(const FieldDef& fd, std::string_view value, std::size_t k, int code, double& real, long long& integer,
                 std::string& error) {
  auto bad = [&](const char* english, const char* chinese) {
    error = textInLanguage(
        english, chinese,
        {std::to_string(TagFile::lineOf(k) + 1), std::to_string(code), printable(TagFile::trimmed(value))});
    return false;
  };
  if (isReal(fd.kind)) {
    return parseDecimal(value, real) ||
           bad("line {}: group code {} needs a number, found '{}'", "第 {} 行：组码 {} 需要一个数，却是“{}”");
  }
  return parseIntegerGroup(value, integer) ||
         bad("line {}: group code {} needs an integer, found '{}'", "第 {} 行：组码 {} 需要一个整数，却是“{}”");
}

bool isNumeric(Kind kind) {
  return isReal(kind) || kind == Kind::Int || kind == Kind::Flag;
}

}  // namespace

bool readFields(const TypeDef& def, const Record& record, const TextCodec& codec, bool r12, Slots& out, FieldScan& scan,
                std::string& error) {
  const TagFile& file = record.file;
  const std::size_t begin = record.begin, end = record.end;
  resetSlots(out, def);
  startScan(scan, file, begin, end, r12);
  FieldMatcher matcher(def, !scan.markers);
  bool contentsStarted = false;
  std::u16string piece;
  for (std::size_t k = begin + 1; k < end; ++k) {
    const Tag& tag = file.tags[k];
    std::string_view value = file.value(tag);
    int f = matcher.match(tag.code, value);
    if (f < 0) continue;
    scan.fieldOf[k - begin] = static_cast<std::int16_t>(f);
    if (f < 64) scan.present |= std::uint64_t{1} << f;
    const FieldDef& fd = def.fields[static_cast<std::size_t>(f)];
    SlotValue& slot = out.v[fd.slot];
    if (isNumeric(fd.kind)) {
      double d = 0;
      long long i = 0;
      if (!parseNumber(fd, value, k, tag.code, d, i, error)) return false;
      if (fd.kind == Kind::DirX) {
        out.dirX = d;
        out.hasDir = true;
      } else if (fd.kind == Kind::DirY) {
        out.dirY = d;
        out.hasDir = true;
      } else if (fd.kind == Kind::Int) {
        slot.i = i;
      } else if (fd.kind == Kind::Flag) {
        slot.i = (i & fd.mask) != 0 ? 1 : 0;
      } else if (fd.kind != Kind::DirZ) {
        slot.d = isAngleLike(fd.kind) ? d * kDegToRad : d;
      }
    } else if (fd.kind == Kind::Chunks) {
      if (!contentsStarted) slot.s.clear();
      contentsStarted = true;
      codec.decode(value, piece);
      slot.s += piece;
    } else {
      codec.decode(value, slot.s);
      if (fd.kind == Kind::BlockName) slot.s = blockNameFromFile(std::move(slot.s), r12);
    }
  }
  // An MTEXT's x axis, when given, wins over its rotation angle.
  if (out.hasDir && def.type == RecordType::MText && (out.dirX != 0 || out.dirY != 0))
    out.v[mtext_slot::kRotation].d = std::atan2(out.dirY, out.dirX);
  return true;
}

bool checkFields(const TypeDef& def, const Record& record, bool r12, long long& paperSpace, std::string& error,
                 CheckedValues* values) {
  const TagFile& file = record.file;
  const std::size_t begin = record.begin, end = record.end;
  paperSpace = def.defaults.size() > kPaperSpace ? def.defaults[kPaperSpace].i : 0;
  if (values != nullptr) values->given = 0;
  FieldMatcher matcher(def, r12 || !hasMarkers(file, begin, end));
  for (std::size_t k = begin + 1; k < end; ++k) {
    const Tag& tag = file.tags[k];
    std::string_view value = file.value(tag);
    int f = matcher.match(tag.code, value);
    if (f < 0) continue;
    const FieldDef& fd = def.fields[static_cast<std::size_t>(f)];
    const bool noted = values != nullptr && fd.slot < 64;
    if (!isNumeric(fd.kind)) {
      if (noted) values->value[fd.slot] = static_cast<double>(value.size()), values->given |= SlotMask{1} << fd.slot;
      continue;
    }
    double d = 0;
    long long i = 0;
    if (!parseNumber(fd, value, k, tag.code, d, i, error)) return false;
    if (fd.kind == Kind::Flag) i = (i & fd.mask) != 0 ? 1 : 0;
    if (fd.slot == kPaperSpace) paperSpace = i;
    if (noted) {
      values->value[fd.slot] = isReal(fd.kind) ? d : static_cast<double>(i);
      values->given |= SlotMask{1} << fd.slot;
    }
  }
  return true;
}

namespace {

enum class GroupValue { Same, Differs, Infinite, Unusable };

// How the value of a group of field `fd` compares with its slot in `now`, for a comparableInPlace type:
// each slot has one group at most, so the value readFields would leave in the slot is the type's
// default with the group's value in place of one member, and the other members are compared as
// defaults. Infinite: it differs and the file's value is infinite (the defaults are finite, as
// comparableInPlace says). Unusable: the value is not a number, or is NaN.
GroupValue compareGroup(const TypeDef& def, const FieldDef& fd, std::string_view value, const Slots& now,
                        const TextCodec& codec) {
  const SlotValue& base = def.defaults[fd.slot];
  const SlotValue& cur = now.v[fd.slot];
  if (fd.kind == Kind::Int || fd.kind == Kind::Flag) {
    long long i = 0;
    if (!parseIntegerGroup(value, i)) return GroupValue::Unusable;
    if (fd.kind == Kind::Flag) i = (i & fd.mask) != 0 ? 1 : 0;
    return i == cur.i && sameDouble(base.d, cur.d) && base.s == cur.s ? GroupValue::Same : GroupValue::Differs;
  }
  if (fd.kind == Kind::Text)
    return sameDouble(base.d, cur.d) && base.i == cur.i && codec.equals(value, cur.s) ? GroupValue::Same
                                                                                      : GroupValue::Differs;
  double d = 0;
  if (!parseDecimal(value, d) || std::isnan(d)) return GroupValue::Unusable;
  if (isAngleLike(fd.kind)) d *= kDegToRad;
  if (sameDouble(d, cur.d) && base.i == cur.i && base.s == cur.s) return GroupValue::Same;
  return std::isfinite(d) ? GroupValue::Differs : GroupValue::Infinite;
}

// The value readFields would leave in the slot of field `fd` from the group `value`, for a
// comparableInPlace type (the type's default with the group's value in place of one member); false
// when the group does not read.
bool groupSlotValue(const TypeDef& def, const FieldDef& fd, std::string_view value, const TextCodec& codec,
                    SlotValue& out) {
  out = def.defaults[fd.slot];
  if (fd.kind == Kind::Int || fd.kind == Kind::Flag) {
    if (!parseIntegerGroup(value, out.i)) return false;
    if (fd.kind == Kind::Flag) out.i = (out.i & fd.mask) != 0 ? 1 : 0;
    return true;
  }
  if (fd.kind == Kind::Text) {
    codec.decode(value, out.s);
    return true;
  }
  if (!parseDecimal(value, out.d)) return false;
  if (isAngleLike(fd.kind)) out.d *= kDegToRad;
  return true;
}

// Whether an object keeps the value of the group `value` of field `fd` as it was read.
bool groupKeptAsRead(const TypeDef& def, const FieldDef& fd, std::string_view value, const TextCodec& codec) {
  const Validity keeps = def.keeps[fd.slot];
  SlotValue read;
  return keeps != nullptr && groupSlotValue(def, fd, value, codec, read) && keeps(read);
}

// Whether an object keeps the type's default of slot `s`, which a record without its group implies,
// as it was read.
bool defaultKeptAsRead(const TypeDef& def, std::size_t s) {
  return s < def.keeps.size() && def.keeps[s] != nullptr && def.keeps[s](def.defaults[s]);
}

// The slots outside `read` (no group of the record holds them) whose value in `now` is not the type's
// default.
SlotMask unreadSlotsChanged(const TypeDef& def, const Slots& now, SlotMask read) {
  SlotMask changed = 0;
  for (std::size_t s = 0; s < def.defaults.size(); ++s) {
    const SlotMask bit = SlotMask{1} << s;
    if ((read & bit) == 0 && !sameSlot(def.defaults[s], now.v[s])) changed |= bit;
  }
  return changed;
}

// What compareFields found: the slots whose value in the record differs from the object's, and of
// those the ones whose value in the record is infinite.
struct SlotComparison {
  SlotMask differs = 0;
  SlotMask infinite = 0;
};

// Compares the modelled groups of `record` with `now` without reading them into slots, and scans the
// record as readFields does. False when readFields must do it: the type is not comparableInPlace, or
// a value is not a number or is NaN.
bool compareFields(const TypeDef& def, const Record& record, const TextCodec& codec, bool r12, const Slots& now,
                   FieldScan& scan, SlotComparison& out) {
  const TagFile& file = record.file;
  const std::size_t begin = record.begin, end = record.end;
  if (!def.comparableInPlace || now.v.size() != def.defaults.size()) return false;
  startScan(scan, file, begin, end, r12);
  FieldMatcher matcher(def, !scan.markers);
  out = {};
  SlotMask read = 0;
  for (std::size_t k = begin + 1; k < end; ++k) {
    const Tag& tag = file.tags[k];
    std::string_view value = file.value(tag);
    const int f = matcher.match(tag.code, value);
    if (f < 0) continue;
    scan.fieldOf[k - begin] = static_cast<std::int16_t>(f);
    scan.present |= std::uint64_t{1} << f;
    const FieldDef& fd = def.fields[static_cast<std::size_t>(f)];
    const SlotMask bit = SlotMask{1} << fd.slot;
    read |= bit;
    switch (compareGroup(def, fd, value, now, codec)) {
      case GroupValue::Same:
        break;
      case GroupValue::Infinite:
        out.infinite |= bit;
        [[fallthrough]];
      case GroupValue::Differs:
        out.differs |= bit;
        break;
      case GroupValue::Unusable:
        return false;
    }
  }
  out.differs |= unreadSlotsChanged(def, now, read);
  return true;
}

// Of `slots`, those whose value in `record` of a comparableInPlace type (its group's, else the type's
// default) an object keeps as read. `scan` is compareFields' of the record.
SlotMask slotsKeptAsRead(const TypeDef& def, const Record& record, const FieldScan& scan, SlotMask slots,
                         const TextCodec& codec) {
  const TagFile& file = record.file;
  const std::size_t begin = record.begin;
  if (!def.comparableInPlace) return 0;
  SlotMask kept = 0, found = 0;
  for (std::size_t k = 1; k < scan.fieldOf.size(); ++k) {
    const int f = scan.fieldOf[k];
    if (f < 0) continue;
    const FieldDef& fd = def.fields[static_cast<std::size_t>(f)];
    const SlotMask bit = SlotMask{1} << fd.slot;
    if ((slots & bit) == 0) continue;
    found |= bit;
    if (groupKeptAsRead(def, fd, file.value(begin + k), codec)) kept |= bit;
  }
  for (SlotMask left = slots & ~found; left != 0; left &= left - 1) {
    const auto s = static_cast<std::size_t>(std::countr_zero(left));
    if (defaultKeptAsRead(def, s)) kept |= SlotMask{1} << s;
  }
  return kept;
}

class FieldWriter {
 public:
  FieldWriter(WriteTarget& t, const TypeDef& def, const TagFile& file, std::size_t begin, SlotMask differs,
              const Slots& now, const FieldScan& scan)
      : t(t), def(def), file(file), begin(begin), differs(differs), now(now), scan(scan) {}

  bool present(std::size_t f) const { return f < 64 && (scan.present >> f & 1) != 0; }
  bool emitted(std::size_t f) const { return f < 64 && (mEmitted >> f & 1) != 0; }

  bool same(std::size_t f) const {
    const FieldDef& fd = def.fields[f];
    if ((differs >> fd.slot & 1) == 0) return true;
    if (fd.kind == Kind::PosX || fd.kind == Kind::PosY || fd.kind == Kind::PosZ) {
      using namespace text_slot;
      const Slots& object = objectValues != nullptr ? *objectValues : now;
      if (object[kHMode].i == 0 && object[kVMode].i == 0) return false;
      // The position of an aligned text follows from the rest: with the rest unchanged the file's
      // position stands, whatever this host's fonts make of it.
      constexpr SlotMask kPosition = SlotMask{7} << kPosX;
      return (differs & ~kPosition) == 0;
    }
    return false;
  }

  void writeValue(std::size_t f, const Tag* orig) {
    const FieldDef& fd = def.fields[f];
    const SlotValue& v = now[fd.slot];
    switch (fd.kind) {
      case Kind::Real:
      case Kind::PosX:
      case Kind::PosY:
      case Kind::PosZ:
        t.w.tag(fd.code, v.d);
        break;
      case Kind::Angle:
        t.w.tag(fd.code, degreesFor(v.d));
        break;
      case Kind::DirX:
        t.w.tag(fd.code, std::cos(v.d));
        break;
      case Kind::DirY:
        t.w.tag(fd.code, std::sin(v.d));
        break;
      case Kind::DirZ:
        t.w.tag(fd.code, 0.0);
        break;
      case Kind::Int:
        t.w.tagInt(fd.code, v.i);
        break;
      case Kind::Flag: {
        long long old = 0;
        if (orig && !parseInt(file.value(*orig), old)) old = 0;
        t.w.tagInt(fd.code, (old & ~fd.mask) | (v.i ? fd.mask : 0));
        break;
      }
      case Kind::Text:
        t.codec.encode(v.s, t.valueText);
        t.w.tag(fd.code, t.valueText);
        break;
      case Kind::BlockName:
        t.codec.encode(blockNameToFile(v.s, t.r12), t.valueText);
        t.w.tag(fd.code, t.valueText);
        break;
      case Kind::Chunks:
        writeChunks(v.s);
        break;
    }
  }

  // MTEXT contents: pieces of 250 characters in groups 3, the last one in group 1.
  void writeChunks(const std::u16string& s) {
    constexpr std::size_t kPiece = 250;
    std::size_t pos = 0;
    while (s.size() - pos > kPiece) {
      std::size_t len = kPiece;
      if (s[pos + len - 1] >= 0xD800 && s[pos + len - 1] < 0xDC00) --len;  // keep surrogate pairs whole
      t.codec.encode(std::u16string_view(s).substr(pos, len), t.valueText);
      t.w.tag(3, t.valueText);
      pos += len;
    }
    t.codec.encode(std::u16string_view(s).substr(pos), t.valueText);
    t.w.tag(1, t.valueText);
  }

  void emit(std::size_t f, const Tag* orig) {
    if (f < 64) mEmitted |= std::uint64_t{1} << f;
    const FieldDef& fd = def.fields[f];
    if (same(f)) {
      if (orig) t.w.raw(file, *orig);
      return;
    }
    if (fd.kind == Kind::Chunks) {
      if (mChunksDone || (!orig && fd.code != 1)) return;
      mChunksDone = true;
    }
    writeValue(f, orig);
  }

  // Emits the missing fields from `g` on, up to the next field the record has.
  void emitMissingFrom(std::size_t g, int subclassId) {
    for (; g < def.fields.size(); ++g) {
      if (scan.markers && def.fields[g].subclassId != subclassId) break;
      if (present(g)) break;
      if (!emitted(g)) emit(g, nullptr);
    }
  }

  void emitAtSubclassStart(int subclassId) {
    if (subclassId < 0) return;
    for (std::size_t g = 0; g < def.fields.size(); ++g)
      if (def.fields[g].subclassId == subclassId) {
        emitMissingFrom(g, subclassId);
        return;
      }
  }

  // Fields still missing at the end, with their subclass marker where the record lacked it.
  void emitRest() {
    std::string lastMarker;
    for (std::size_t g = 0; g < def.fields.size(); ++g) {
      if (emitted(g) || present(g) || same(g)) continue;
      if (def.fields[g].kind == Kind::Chunks && def.fields[g].code != 1) continue;
      if (scan.markers) {
        std::string_view sub = def.fields[g].subclass;
        std::string_view base = sub.substr(0, sub.find('#'));
        if (!markerSeen(def.fields[g].subclass) && lastMarker != sub) {
          t.w.tag(100, base);
          lastMarker = sub;
        }
      }
      emit(g, nullptr);
    }
  }

  // Whether the record had the marker `key` ("AcDbText", or "AcDbText#2" for the second one).
  bool markerSeen(std::string_view key) const {
    std::size_t hash = key.find('#');
    std::string_view base = key.substr(0, hash);
    int nth = hash == std::string_view::npos ? 1 : std::atoi(std::string(key.substr(hash + 1)).c_str());
    for (const auto& [name, count] : *markers)
      if (name == base && count >= nth) return true;
    return false;
  }

  WriteTarget& t;
  const TypeDef& def;
  const TagFile& file;
  std::size_t begin;
  SlotMask differs;
  const Slots& now;
  const FieldScan& scan;
  const std::vector<std::pair<std::string_view, int>>* markers = nullptr;
  // The object's own values where `now` holds file values it refused in their place: its modes say
  // whether a text is aligned (a mode the file gave and the object refused does not make it so).
  const Slots* objectValues = nullptr;

 private:
  std::uint64_t mEmitted = 0;
  bool mChunksDone = false;
};

}  // namespace

// Whether a 102 group opened before `from` is closed by "}" before `end`. One that is not is written as
// it stands: skipping to its end would drop the rest of the record.
static bool closes102(const TagFile& file, std::size_t from, std::size_t end) {
  for (std::size_t k = from; k < end; ++k)
    if (file.tags[k].code == 102 && TagFile::trimmed(file.value(k)) == "}") return true;
  return false;
}

void RecordWriter::writeDiffering(const Record& record, const WriteAs& as, SlotMask differs, const Slots& now,
                                  const Slots* objectValues) {
  WriteTarget& t = mTarget;
  const TypeDef& def = record.descriptor->fields;
  const TagFile& file = record.file;
  const std::size_t begin = record.begin, end = record.end;
  const bool original = as.original;
  const FieldScan& scan = mScan;
  FieldWriter fw(t, def, file, begin, differs, now, scan);
  fw.objectValues = objectValues;
  const bool wantHandle = !t.r12 || t.usesHandles;
  bool handleDone = false, ownerDone = false, seenMarker = false, startDone = false;
  bool skipping102 = false, in102 = false, inXdata = false;
  char subclass[64] = "";
  auto& markerCounts = mMarkerCounts;
  markerCounts.clear();
  fw.markers = &markerCounts;

  auto writeHandle = [&](const Tag* orig) {
    handleDone = true;
    if (original && orig) {
      t.w.raw(file, *orig);
    } else if (wantHandle) {
      t.w.tagHandle(5, as.handle);
    }
  };
  auto writeOwner = [&](const Tag* orig) {
    ownerDone = true;
    std::uint64_t was = 0;
    if (orig && (as.owner == 0 || (parseHandle(file.value(*orig), was) && was == as.owner))) {
      t.w.raw(file, *orig);
    } else if (as.owner != 0) {
      t.w.tagHandle(330, as.owner);
    }
  };

  t.w.raw(file, begin, begin + 1);
  if (begin + 1 >= end || file.tags[begin + 1].code != 5) {
    if (!original && wantHandle) writeHandle(nullptr);
    handleDone = true;
  }
  for (std::size_t k = begin + 1; k < end; ++k) {
    const Tag& tag = file.tags[k];
    std::string_view value = file.value(tag);
    if (skipping102) {
      if (tag.code == 102 && TagFile::trimmed(value) == "}") skipping102 = false;
      continue;
    }
    if (!handleDone && tag.code == 5) {
      writeHandle(&tag);
      continue;
    }
    if (!scan.markers && !startDone) {
      startDone = true;
      fw.emitMissingFrom(0, -1);
    }
    if (tag.code == 102) {
      std::string_view name = TagFile::trimmed(value);
      if (!original && (name == "{ACAD_REACTORS" || name == "{ACAD_XDICTIONARY") && closes102(file, k + 1, end)) {
        skipping102 = true;
        continue;
      }
      in102 = !name.empty() && name.front() == '{';
      t.w.raw(file, tag);
      continue;
    }
    if (in102) {
      t.w.raw(file, tag);
      continue;
    }
    if (tag.code >= 1000) inXdata = true;
    if (!inXdata && !seenMarker && !ownerDone && tag.code == 330) {
      writeOwner(&tag);
      continue;
    }
    if (!inXdata && tag.code == 100) {
      if (!ownerDone && !t.r12 && !original) writeOwner(nullptr);
      ownerDone = true;
      seenMarker = true;
      std::string_view name = TagFile::trimmed(value).substr(0, 48);
      int count = 1;
      for (auto& [seen, n] : markerCounts)
        if (seen == name) count = ++n;
      if (count == 1) markerCounts.emplace_back(name, 1);
      std::memcpy(subclass, name.data(), name.size());
      std::size_t len = name.size();
      if (count > 1) len = appendOrdinal(subclass, len, count);
      subclass[len] = '\0';
      t.w.raw(file, tag);
      fw.emitAtSubclassStart(def.subclassIdOf(std::string_view(subclass, len)));
      continue;
    }
    int f = scan.fieldOf[k - begin];
    if (f >= 0) {
      fw.emit(static_cast<std::size_t>(f), &tag);
      const FieldDef& fd = def.fields[static_cast<std::size_t>(f)];
      if (fd.kind != Kind::Chunks || tag.code == 1) fw.emitMissingFrom(static_cast<std::size_t>(f) + 1, fd.subclassId);
      continue;
    }
    t.w.raw(file, tag);
  }
  if (!scan.markers && !startDone) fw.emitMissingFrom(0, -1);
  fw.emitRest();
}

namespace {

// A group to be written anew: in place of tag `tag`, or (`added`) as a new group after it. Without
// member initialisers: a writer makes an array of them for every changed record and sets those it uses.
struct Replaced {
  std::size_t tag;
  std::size_t field;
  bool added;
};

// The offset from the record's 0 group of the tag after which writeDiffering puts the missing
// group of field `missing`: that of the last field before it, in the type's order, that the record
// has (of the same subclass where the record has markers). 0 where there is none: the group would go
// at the start of its subclass, which `places` does not say.
std::size_t placeOfMissingGroup(const TypeDef& def, const GroupPlaces& places, std::size_t missing) {
  for (std::size_t f = missing; f-- > 0;) {
    if (places.markers && def.fields[f].subclassId != def.fields[missing].subclassId) return 0;
    if (const std::size_t k = places.tagOf[def.fields[f].slot]; k != 0) return k;
  }
  return 0;
}

// Whether changing the `differs` slots moves the position of a text that is not left-aligned on its
// baseline: its position then follows from the rest, which writeDiffering works out.
bool alignedTextMoved(const TypeDef& def, SlotMask differs, const Slots& now) {
  constexpr SlotMask kTextPosition = SlotMask{7} << text_slot::kPosX;
  return def.type == RecordType::Text && (differs & kTextPosition) != 0 &&
         (now[text_slot::kHMode].i != 0 || now[text_slot::kVMode].i != 0);
}

// Writes the record [begin, end) as it stands but for the groups of `replaced` (in the order they are
// written), which are written from `now`. The groups between them are copied as they stand (in runs,
// where the file's lines are laid out as this writer lays them).
void writeReplacingGroups(WriteTarget& t, const TypeDef& def, const Record& record, const Replaced* replaced,
                          std::size_t count, SlotMask differs, const Slots& now) {
  static const FieldScan kNoScan;
  const TagFile& file = record.file;
  FieldWriter fw(t, def, file, record.begin, differs, now, kNoScan);
  std::size_t keptFrom = record.begin;
  for (std::size_t i = 0; i < count; ++i) {
    const Replaced& r = replaced[i];
    t.w.raw(file, keptFrom, r.added ? r.tag + 1 : r.tag);
    fw.writeValue(r.field, r.added ? nullptr : &file.tags[r.tag]);
    keptFrom = r.tag + 1;
  }
  t.w.raw(file, keptFrom, record.end);
}

}  // namespace

bool RecordWriter::replaceDiffering(const Record& record, SlotMask differs, const Slots& now) {
  const TypeDef& def = record.descriptor->fields;
  const FieldScan& scan = mScan;
  if (!def.comparableInPlace) return false;  // a slot of several groups, or groups that are not one value
  SlotMask withGroup = 0;
  for (std::size_t f = 0; f < def.fields.size() && f < 64; ++f)
    if ((scan.present >> f & 1) != 0) withGroup |= SlotMask{1} << def.fields[f].slot;
  // A changed slot the record has no group for needs its group added: writeDiffering does that.
  if ((differs & ~withGroup) != 0 || alignedTextMoved(def, differs, now)) return false;
  // One group per slot: at most 64 to replace.
  std::array<Replaced, 64> replaced;
  std::size_t count = 0;
  for (std::size_t k = record.begin + 1; k < record.end; ++k) {
    const int f = scan.fieldOf[k - record.begin];
    if (f >= 0 && (differs >> def.fields[static_cast<std::size_t>(f)].slot & 1) != 0)
      replaced[count++] = {k, static_cast<std::size_t>(f), false};
  }
  writeReplacingGroups(mTarget, def, record, replaced.data(), count, differs, now);
  return true;
}

namespace {

// Whether a text's alignment modes are known to be the defaults without asking the object: its record
// has no group for them and no setter changed them.
bool textModesAsDefault(const GroupPlaces& places, SlotMask edited) {
  using namespace text_slot;
  constexpr SlotMask kModes = SlotMask{1} << kHMode | SlotMask{1} << kVMode;
  return (edited & kModes) == 0 && places.tagOf[kHMode] == 0 && places.tagOf[kVMode] == 0;
}

// The slots replaceEdited reads besides the `edited` ones of a record whose groups stand at `places`:
// a text's alignment modes, which say whether its position follows from the rest, unless the record
// has no group for them and they were not edited (they are then the defaults).
SlotMask editedGroupsAlsoRead(const TypeDef& def, const GroupPlaces& places, SlotMask edited) {
  using namespace text_slot;
  if (def.type != RecordType::Text || textModesAsDefault(places, edited)) return 0;
  return SlotMask{1} << kHMode | SlotMask{1} << kVMode;
}

}  // namespace

bool RecordWriter::replaceEdited(const Record& record, const RecordDescriptor& d, SlotMask edited, const Slots& now) {
  const TypeDef& def = d.fields;
  const GroupPlaces& places = *record.places;
  const SlotMask exact = def.exactSlots;
  const TagFile& file = record.file;
  const std::size_t begin = record.begin;
  if (!places.known || now.v.size() != def.defaults.size()) return false;
  std::array<Replaced, GroupPlaces::kSlots> replaced;
  std::size_t count = 0;
  SlotMask differs = 0;
  const SlotMask ofType = (SlotMask{1} << def.defaults.size()) - 1;  // at most kSlots, as places are known
  for (SlotMask left = edited & ofType; left != 0; left &= left - 1) {
    const auto s = static_cast<std::size_t>(std::countr_zero(left));
    const std::size_t k = places.tagOf[s];
    const auto f = static_cast<std::size_t>(def.fieldOfSlot[s]);
    if (k == 0) {
      // No group: the record implies the default. A value that leaves it needs its group, which goes
      // where writeDiffering puts a missing group: after the nearest field before it (of its
      // subclass) that the record has.
      if (sameSlot(def.defaults[s], now[s])) continue;
      if ((exact >> s & 1) == 0 && !defaultKeptAsRead(def, s)) return false;
      const std::size_t after = placeOfMissingGroup(def, places, f);
      if (after == 0) return false;
      differs |= SlotMask{1} << s;
      replaced[count++] = {begin + after, f, true};
      continue;
    }
    const std::string_view value = file.value(begin + k);
    switch (compareGroup(def, def.fields[f], value, now, mTarget.codec)) {
      case GroupValue::Same:
        continue;
      case GroupValue::Differs:
        // A value the object refused could matter, unless the file's is one the object kept.
        if ((exact >> s & 1) == 0 && !groupKeptAsRead(def, def.fields[f], value, mTarget.codec)) return false;
        differs |= SlotMask{1} << s;
        replaced[count++] = {begin + k, f, false};
        continue;
      case GroupValue::Infinite:
      case GroupValue::Unusable:
        return false;
    }
  }
  if (def.type == RecordType::Text && !textModesAsDefault(places, edited) && alignedTextMoved(def, differs, now))
    return false;
  // A few groups, mostly in order already: by tag, a group replaced before those added after it, and
  // groups added after one tag in the order of their fields.
  auto before = [](const Replaced& a, const Replaced& b) {
    return a.tag != b.tag ? a.tag < b.tag : a.added != b.added ? !a.added : a.field < b.field;
  };
  for (std::size_t i = 1; i < count; ++i)
    for (std::size_t j = i; j > 0 && before(replaced[j], replaced[j - 1]); --j) std::swap(replaced[j], replaced[j - 1]);
  writeReplacingGroups(mTarget, def, record, replaced.data(), count, differs, now);
  return true;
}

RecordWriter::RecordWriter(TagWriter& out, const TextCodec& codec, bool r12, bool usesHandles, ZcDbDatabase* db,
                           bool compareEveryValue)
    : mTarget{out, codec, r12, usesHandles}, mDb(db), mCompareEveryValue(compareEveryValue) {}

void RecordWriter::write(const Record& record, const Slots& values, const WriteAs& as) {
  std::string ignored;
  readFields(record.descriptor->fields, record, mTarget.codec, mTarget.r12, mRead, mScan, ignored);
  writeFromRead(record, as, mRead, values, nullptr);
}

void RecordWriter::write(const Record& record, const ZcDbObject& object, const WriteAs& as) {
  const RecordDescriptor& d = *record.descriptor;
  if (as.builtFromRecord && writeEdited(record, d, object, as)) return;
  objectToSlots(d, object, mNow, mNames, as.paperSpace);
  if (as.builtFromRecord) {
    writeCompared(record, d, as);
    return;
  }
  write(record, mNow, as);
}

bool RecordWriter::writeEdited(const Record& record, const RecordDescriptor& d, const ZcDbObject& object,
                               const WriteAs& as) {
  // Only for the record of an object that keeps its handle and owner, of a class whose setters tell,
  // with the places of its groups kept.
  if (!as.editsTold || !as.original || as.owner != 0 || record.places == nullptr || !record.places->known ||
      !d.tellsEdits || mCompareEveryValue)
    return false;
  const SlotMask edited = editedSlots(d, as.edits, as.namesAsRead);
  // Whether the entity is in paper space follows from its owner, not from a setter, and the file's
  // flag may say otherwise even as read: it is compared too, unless neither says paper space.
  const bool paperSpaceMayDiffer = as.paperSpace || record.places->tagOf[kPaperSpace] != 0;
  const SlotMask compared = edited | (paperSpaceMayDiffer ? SlotMask{1} << kPaperSpace : 0);
  objectToSlots(d, object, mNow, mNames, as.paperSpace,
                compared | editedGroupsAlsoRead(d.fields, *record.places, compared));
  return replaceEdited(record, d, compared, mNow);
}

void RecordWriter::writeCompared(const Record& record, const RecordDescriptor& d, const WriteAs& as) {
  // Where every slot that changed is one the object keeps exactly, or holds a value in the file the
  // object kept as read, no value it refused can matter and the record's values need not be read into
  // slots: comparing them where they stand is enough. The record of an object that keeps its handle
  // and owner then usually needs only those groups replaced.
  SlotComparison compared;
  if (compareFields(d.fields, record, mTarget.codec, mTarget.r12, mNow, mScan, compared)) {
    SlotMask mayMeetRefusal = compared.differs & ~d.fields.exactSlots;
    if (mayMeetRefusal != 0 && !mCompareEveryValue)
      mayMeetRefusal &= ~slotsKeptAsRead(d.fields, record, mScan, mayMeetRefusal, mTarget.codec);
    if (mayMeetRefusal == 0 && (compared.differs & compared.infinite) == 0) {
      if (as.original && as.owner == 0 && replaceDiffering(record, compared.differs, mNow)) return;
      writeDiffering(record, as, compared.differs, mNow, nullptr);
      return;
    }
  }
  std::string ignored;
  readFields(d.fields, record, mTarget.codec, mTarget.r12, mRead, mScan, ignored);
  refusedValues(d, mRead, mDb, mNames, mRefused);
  writeFromRead(record, as, mRead, mNow, &mRefused);
}

void RecordWriter::writeFromRead(const Record& record, const WriteAs& as, const Slots& was, const Slots& nowIn,
                                 const RefusedValues* refused) {
  // While the object keeps its own value in place of one of the record's it refused, the record's
  // value stands.
  const Slots* nowPtr = &nowIn;
  if (refused && !refused->empty()) {
    mAdjusted = nowIn;
    for (const auto& [slot, kept] : *refused)
      if (slot < mAdjusted.v.size() && sameSlot(mAdjusted[slot], kept)) mAdjusted[slot] = was[slot];
    nowPtr = &mAdjusted;
  }
  const Slots& now = *nowPtr;
  SlotMask differs = 0;
  for (std::size_t s = 0; s < now.v.size() && s < was.v.size() && s < 64; ++s)
    if (!sameSlot(was[s], now[s])) differs |= SlotMask{1} << s;
  writeDiffering(record, as, differs, now, &nowIn);
}

}  // namespace zrxhost::dxf
