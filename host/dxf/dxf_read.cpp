// Reading a DXF file into a database: sections, tables, blocks and entities, the rest kept as tags.
#include "dxf/dxf_read.h"

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <unordered_set>

#include "dxf/dxf_binary.h"
#include "dxf/dxf_model.h"
#include "dxf/dxf_objects.h"
#include "dxf/dxf_record_values.h"
#include "dxf/dxf_text.h"
#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/messages.h"

namespace zrxhost::dxf {

namespace {

struct Section {
  std::string_view name;
  std::size_t begin, end;  // 0 SECTION .. 0 ENDSEC (inclusive)
};

// Names are looked up as C strings: one with a NUL in it would name another entry.
bool usableName(std::u16string_view name) {
  return !name.empty() && name.find(u'\0') == std::u16string_view::npos;
}

// "line N: why", in the user's language.
std::string atLine(std::size_t line, const std::string& why) {
  return textInLanguage("line {}: {}", "第 {} 行：{}", {std::to_string(line), why});
}

bool equalsAscii(std::string_view a, std::string_view b) {
  return TagFile::trimmed(a) == b;
}

// Builds the entity of the record [begin, end) whose 0 group says `type`: the class `modelled`
// describes, or (null) a foreign entity that keeps the record as tags. Null, with the reason in
// `error`, when a modelled value does not read.
ZcDbEntity* makeEntity(const RecordDescriptor* modelled, std::string_view type, const TagFile& f, std::size_t begin,
                       std::size_t end, const TextCodec& codec, bool r12, ZcDbDatabase* db, NameCache& names,
                       Slots& slots, FieldScan& scan, std::string& error) {
  ZcDbEntity* ent = nullptr;
  if (modelled != nullptr) {
    ent = static_cast<ZcDbEntity*>(modelled->make());
  } else {
    modelled = &descriptor(RecordType::Foreign);
    auto* foreignEntity = new ZcDbForeignEntity;
    foreignEntity->setDxfType(ZcString(std::u16string(type.begin(), type.end())));
    ent = foreignEntity;
  }
  std::unique_ptr<ZcDbEntity> holder(ent);
  if (!readFields(modelled->fields, {f, begin, end}, codec, r12, slots, scan, error)) return nullptr;
  slotsToObject(*modelled, slots, *ent, db, names);
  return holder.release();
}

// A finite number, read as the reader's check reads it.
bool quickNumber(std::string_view text, double& out) {
  return parseDecimal(text, out) && std::isfinite(out);
}

// Floats a little outside the double, so that a box of them holds the doubles' box: a float rounds
// to within half its step, a relative 2^-23 or the smallest normal float.
float floatDown(double v) {
  return static_cast<float>(v - std::fabs(v) * 0x1p-22 - 0x1p-126);
}
float floatUp(double v) {
  return static_cast<float>(v + std::fabs(v) * 0x1p-22 + 0x1p-126);
}

// Curves are drawn as cubic pieces, which stray outside a circle by up to 0.03 % of its radius.
constexpr double kCurveBulge = 1.0003;

// How far the arcs of bulges up to `bulge` stray from their chords, for chords up to `chord` long:
// the sagitta of an arc up to a half circle, the diameter of a larger one.
double bulgeReach(double bulge, double chord) {
  bulge = std::fabs(bulge);
  return bulge <= 1 ? bulge * chord / 2 : chord * (1 + bulge * bulge) / (2 * bulge);
}

// How far a text's ink may reach from its insertion or alignment point: one and a half heights a byte
// of its string (no font's advances exceed that), more for a wide width factor, and two heights.
double textReach(double height, double bytes, double widthFactor) {
  return height * (1.5 * bytes * widthFactor + 2);
}

// `box` (x0, y0, x1, y1) as floats a little outside it; false where it is not finite.
bool floatBox(double x0, double y0, double x1, double y1, float out[4]) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
  out[0] = floatDown(x0), out[1] = floatDown(y0), out[2] = floatUp(x1), out[3] = floatUp(y1);
  return std::isfinite(out[0]) && std::isfinite(out[1]) && std::isfinite(out[2]) && std::isfinite(out[3]);
}

// A box in XY (x0, y0, x1, y1) certain to hold what the entity of the record [begin, end) draws and
// where it snaps, from its record alone: circles, arcs, ellipses, light polylines and hatches bounded
// by lines, arcs and polylines in the drawing's plane. False for anything else, or anything unusual
// (another plane). Texts and lines are boxed as they are read (checkedBox).
bool recordBox(const TagFile& f, std::size_t begin, std::size_t end, float out[4]) {
  enum Kind { kCircle, kEllipse, kPolyline, kHatch, kNone };
  const std::string_view type = TagFile::trimmed(f.value(begin));
  const Kind kind = type == "CIRCLE"       ? kCircle
                    : type == "ARC"        ? kCircle
                    : type == "LWPOLYLINE" ? kPolyline
                    : type == "HATCH"      ? kHatch
                    : type == "ELLIPSE"    ? kEllipse
                                           : kNone;
  if (kind == kNone) return false;
  // The subclass markers of that kind: a record with another one (a damaged file) is read otherwise
  // by the reader, and is boxed by the entity built from it.
  static constexpr std::string_view kOwnMarker[] = {"AcDbCircle", "AcDbEllipse", "AcDbPolyline", "AcDbHatch"};
  const std::string_view own = kOwnMarker[kind];
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
  auto add = [&](double x, double y) {
    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  };
  double first[2] = {0, 0}, second[2] = {0, 0};  // 10/20 and 11/21 (the last read)
  bool hasFirst = false, hasSecond = false, pendingX = false;
  double radius = 0, width = 0, bulge = 0;
  bool skipElevation = kind == kHatch;
  // The reader takes the first of a group given twice where the entity has one value: such a record,
  // which only a damaged file holds, is boxed by the entity built from it.
  const bool single = kind != kPolyline && kind != kHatch;
  std::bitset<240> seen;
  // Where a record has markers the reader takes the kind's groups after its own marker only: a
  // group before it (and before any marker, when one follows) is one the reader leaves out.
  bool markers = false, inOwn = false, readAny = false;
  for (std::size_t k = begin + 1; k < end; ++k) {
    const int code = f.code(k);
    if (code == 101) return false;  // an embedded object follows, whose groups are not the entity's
    const bool read = code == 10 || code == 11 || code == 20 || code == 21 || (code >= 40 && code <= 43) ||
                      code == 51 || code == 72 || code == 73 || code == 210 || code == 220 || code == 230;
    if (read && markers && !inOwn) return false;
    readAny = readAny || read;
    if (single && read) {
      if (seen[static_cast<std::size_t>(code)]) return false;
      seen[static_cast<std::size_t>(code)] = true;
    }
    double v = 0;
    switch (code) {
      case 10:
      case 11:
        // A coordinate without its y is a point the reader completes otherwise: built instead.
        if (pendingX || !quickNumber(f.value(k), v)) return false;
        (code == 10 ? first : second)[0] = v;
        pendingX = true;
        break;
      case 20:
      case 21: {
        if (!pendingX || !quickNumber(f.value(k), v)) return false;
        pendingX = false;
        double* p = code == 20 ? first : second;
        p[1] = v;
        if (code == 20) {
          hasFirst = true;
          // A hatch's first point is its elevation, not a point of its boundary.
          if (skipElevation) {
            skipElevation = false;
            break;
          }
          if (kind == kPolyline || kind == kHatch) add(p[0], p[1]);
        } else {
          hasSecond = true;
          if (kind == kHatch) add(p[0], p[1]);
        }
        break;
      }
      case 40:
        if (!quickNumber(f.value(k), v)) return false;
        if (kind == kCircle || kind == kHatch) radius = std::max(radius, std::fabs(v));
        if (kind == kPolyline) width = std::max(width, std::fabs(v));
        break;
      case 41:
      case 43:
        if (!quickNumber(f.value(k), v)) return false;
        if (kind == kPolyline) width = std::max(width, std::fabs(v));
        break;
      case 42:
        if (!quickNumber(f.value(k), v)) return false;
        bulge = std::max(bulge, std::fabs(v));
        break;
      case 72:
        // Hatch ellipse and spline edges curve beyond their points.
        if (kind == kHatch) {
          const std::string_view t = TagFile::trimmed(f.value(k));
          if (t == "3" || t == "4") return false;
        }
        break;
      case 100: {
        const std::string_view marker = TagFile::trimmed(f.value(k));
        if (marker != "AcDbEntity" && marker != own && !(type == "ARC" && marker == "AcDbArc")) return false;
        if (readAny && !inOwn) return false;
        markers = true;
        inOwn = inOwn || marker == own;
        break;
      }
      case 210:
      case 220:
      case 230:
        // A plane other than the drawing's: its coordinates are not world ones.
        if (!quickNumber(f.value(k), v) || (code == 230 ? !(v > 0) : v != 0)) return false;
        break;
      default:
        break;
    }
  }
  if (!hasFirst || pendingX) return false;
  switch (kind) {
    case kCircle:
      add(first[0] - radius * kCurveBulge, first[1] - radius * kCurveBulge);
      add(first[0] + radius * kCurveBulge, first[1] + radius * kCurveBulge);
      break;
    case kEllipse: {
      if (!hasSecond) return false;
      const double r = std::hypot(second[0], second[1]) * kCurveBulge;
      add(first[0] - r, first[1] - r);
      add(first[0] + r, first[1] + r);
      break;
    }
    case kPolyline:
    case kHatch: {
      if (!(x1 >= x0)) return false;
      // Arcs (an arc edge's radius, a bulge's bow) and widths reach beyond the points.
      const double reach =
          bulgeReach(bulge, std::hypot(x1 - x0, y1 - y0)) * kCurveBulge + width / 2 + 2 * radius * kCurveBulge;
      x0 -= reach, y0 -= reach, x1 += reach, y1 += reach;
      break;
    }
    case kNone:
      return false;
  }
  return floatBox(x0, y0, x1, y1, out);
}

// A box as recordBox's, from the values the reader checked of a TEXT or LINE record (a text within
// textReach of its points), read as the entity built from it will read them: the numbers the record
// gives, the type's defaults for the others, and where the object refuses a value (a height of 0),
// its own. False for other types, or for one out of the drawing's plane or an oblique or fitted text.
bool checkedBox(const RecordDescriptor& d, const CheckedValues& values, float out[4]) {
  const TypeDef& def = d.fields;
  auto given = [&](std::uint8_t slot) { return (values.given >> slot & 1) != 0; };
  auto number = [&](std::uint8_t slot) { return given(slot) ? values.value[slot] : def.defaults[slot].d; };
  auto integer = [&](std::uint8_t slot) {
    return given(slot) ? values.value[slot] : static_cast<double>(def.defaults[slot].i);
  };
  if (d.type == RecordType::Line) {
    using namespace line_slot;
    if (number(kNormX) != 0 || number(kNormY) != 0 || !(number(kNormZ) > 0)) return false;
    return floatBox(std::min(number(kStartX), number(kEndX)), std::min(number(kStartY), number(kEndY)),
                    std::max(number(kStartX), number(kEndX)), std::max(number(kStartY), number(kEndY)), out);
  }
  if (d.type != RecordType::Text) return false;
  using namespace text_slot;
  if (number(kNormX) != 0 || number(kNormY) != 0 || !(number(kNormZ) > 0) || number(kOblique) != 0) return false;
  const double hMode = integer(kHMode), vMode = integer(kVMode);
  if (hMode == 3 || hMode == 5) return false;  // aligned and fit texts take their height from their baseline
  double height = number(kHeight);
  if (!def.keeps[kHeight](SlotValue{height, 0, {}})) height = def.fresh[kHeight].d;
  const double bytes = given(kString) ? values.value[kString] : static_cast<double>(def.defaults[kString].s.size());
  const double reach = textReach(height, bytes, std::max(1.0, std::fabs(number(kWidth))));
  double x0 = number(kPosX) - reach, y0 = number(kPosY) - reach, x1 = number(kPosX) + reach, y1 = number(kPosY) + reach;
  // A text set off its baseline's start stands at its alignment point.
  if (hMode != 0 || vMode != 0 || given(kAlignX)) {
    x0 = std::min(x0, number(kAlignX) - reach), y0 = std::min(y0, number(kAlignY) - reach);
    x1 = std::max(x1, number(kAlignX) + reach), y1 = std::max(y1, number(kAlignY) + reach);
  }
  return floatBox(x0, y0, x1, y1, out);
}

// Builds the entities a reader left as records (PendingRecord) when they are first asked for. The
// reader checked their numbers, so each builds as it would have when the drawing was read.
class EntityLoader : public ObjectLoader {
 public:
  EntityLoader(ZcDbDatabase& db, std::shared_ptr<const TagFile> file, const DrawingLayout& layout)
      : mDb(db), mFile(std::move(file)), L(layout), mCodec(isUtf8Version(L.version), L.codePage) {}

  ZcDbObject* load(ZcDbObjectId id, std::uint32_t index) override {
    const PendingRecord& p = L.pending[index];
    const TagFile& f = *mFile;
    const std::size_t end = f.recordEnd(p.begin);
    const std::string_view type = TagFile::trimmed(f.value(p.begin));
    const RecordDescriptor* modelled = entityDescriptor(type);
    ZcDbEntity* ent = makeEntity(modelled, type, f, p.begin, end, mCodec, L.r12, &mDb, mNames, mSlots, mScan, mError);
    auto record = std::make_shared<ObjectRecord>();
    if (ent != nullptr && modelled != nullptr) {
      record->places = placeGroups(modelled->fields, {f, p.begin, end}, mScan);
      record->descriptor = modelled;
    }
    if (ent == nullptr)
      ent = makeEntity(nullptr, type, f, p.begin, p.begin + 1, mCodec, L.r12, &mDb, mNames, mSlots, mScan,
                       mError);  // its record is still written as read
    if (record->descriptor == nullptr) record->descriptor = &descriptor(RecordType::Foreign);
    record->file = mFile;
    record->begin = p.begin;
    record->end = record->subEnd = static_cast<std::uint32_t>(end);
    record->handle = p.renumbered ? f.recordHandle(p.begin, end) : id.handle();
    record->sequence = p.sequence;
    record->owner = p.owner.handle();
    ent->setOwnerId(p.owner);
    ent->setExtension(std::move(record));
    return ent;
  }

  bool pendingBox(std::uint32_t index, double box[4]) const override {
    const PendingRecord& p = L.pending[index];
    float b[4];
    const float* found = p.box;
    if (std::isnan(p.box[0])) {
      if (!recordBox(*mFile, p.begin, mFile->recordEnd(p.begin), b)) return false;
      found = b;
    }
    for (int i = 0; i < 4; ++i) box[i] = found[i];
    return true;
  }

 private:
  ZcDbDatabase& mDb;
  std::shared_ptr<const TagFile> mFile;
  const DrawingLayout& L;
  TextCodec mCodec;
  NameCache mNames;
  Slots mSlots;
  FieldScan mScan;
  std::string mError;
};

class Reader {
 public:
  Reader(std::shared_ptr<TagFile> file, std::string& error, std::vector<std::string>& warnings,
         const std::function<void(double)>& progress)
      : mFile(std::move(file)), f(*mFile), mError(error), mProgress(progress), mWarnings(warnings) {}

  std::unique_ptr<ZcDbDatabase> run();

 private:
  // The messages are in the user's language: `english` and `chinese` with `args` in their "{}".
  bool fail(std::size_t tag, const char* english, const char* chinese,
            std::initializer_list<std::string_view> args = {}) {
    mError = atLine(TagFile::lineOf(tag), textInLanguage(english, chinese, args));
    return false;
  }
  // Errors about a value name the value's line.
  bool failValue(std::size_t tag, const char* english, const char* chinese,
                 std::initializer_list<std::string_view> args = {}) {
    mError = atLine(TagFile::lineOf(tag) + 1, textInLanguage(english, chinese, args));
    return false;
  }
  std::size_t count() const { return f.tags.size(); }
  bool isZero(std::size_t k, std::string_view v) const { return f.code(k) == 0 && equalsAscii(f.value(k), v); }
  std::size_t nextZero(std::size_t k, std::size_t limit) const {
    for (++k; k < limit; ++k)
      if (f.tags[k].code == 0) return k;
    return limit;
  }
  void raw(std::size_t begin, std::size_t end) {
    if (begin >= end) return;
    auto& items = mLayout->items;
    if (!items.empty() && items.back().kind == LayoutItem::kRaw && items.back().newHandle == 0 &&
        items.back().end == begin) {
      items.back().end = static_cast<std::uint32_t>(end);
      return;
    }
    LayoutItem item;
    item.begin = static_cast<std::uint32_t>(begin);
    item.end = static_cast<std::uint32_t>(end);
    items.push_back(std::move(item));
  }
  // A handle no object (nor a reference read so far) has. The file's own handles all lie below the
  // first one given out, so later objects of the file keep theirs.
  ZcDbHandle freshHandle() {
    ZcDbObjectId taken;
    while (mDb->getZcDbObjectId(taken, false, mNextFresh) == Zcad::eOk) ++mNextFresh;
    return mNextFresh++;
  }
  // What the reader mended, one line each for the user: the file is read, but not as it stood. Past
  // kRepairsListed of a kind, the rest are counted and summed up at the end (sayRepairsNotListed).
  void repaired(std::size_t tag, const char* english, const char* chinese,
                std::initializer_list<std::string_view> args) {
    RepairsOfAKind& kind = mRepairs[english];
    if (++kind.count <= kRepairsListed)
      mWarnings.push_back(atLine(TagFile::lineOf(tag), textInLanguage(english, chinese, args)));
    kind.lastTag = tag;
  }
  void sayRepairsNotListed() {
    for (const auto& [english, kind] : mRepairs)
      if (kind.count > kRepairsListed)
        mWarnings.push_back(
            atLine(TagFile::lineOf(kind.lastTag),
                   textInLanguage("and {} more repairs of the same kind up to this line",
                                  "另有 {} 处同类修复，直至此行", std::to_string(kind.count - kRepairsListed))));
  }
  // Says that an object of the file was added under a fresh handle instead of its own, and gives the
  // handle its record is written with: a renumbered one no longer matches the object's, so the writer
  // writes the object's handle instead of the file's group. R12 files may leave any handle out.
  ZcDbHandle renumbered(std::size_t k, ZcDbHandle own, ZcDbHandle fresh) {
    if (own == fresh || (own == 0 && mR12)) return fresh;
    std::string what = printable(TagFile::trimmed(f.value(k)));
    if (own != 0)
      repaired(k, "{} has handle {}, which an earlier object has; it gets handle {}",
               "{} 的句柄 {} 已被之前的对象使用；它改用句柄 {}", {what, formatHandle(own), formatHandle(fresh)});
    else
      repaired(k, "{} has no handle; it gets handle {}", "{} 没有句柄；它得到句柄 {}", {what, formatHandle(fresh)});
    return own;
  }
  std::shared_ptr<ObjectRecord> foreign(std::size_t begin, std::size_t end, ZcDbHandle handle) {
    auto fd = std::make_shared<ObjectRecord>();
    fd->file = mFile;
    fd->begin = static_cast<std::uint32_t>(begin);
    fd->end = static_cast<std::uint32_t>(end);
    fd->subEnd = fd->end;
    fd->handle = handle;
    return fd;
  }
  bool readSections();
  bool readHeader(const Section& s);
  void findMaxHandle();
  bool readTables(const Section& s);
  bool readTable(std::size_t begin, std::size_t endtab, const RecordDescriptor& records);
  // A table the host does not model, kept as read; a record whose handle is 0 or an earlier
  // record's is given one of its own.
  void keepTable(std::size_t begin, std::size_t endtab);
  // Says which block records of the file the writer gives the BLOCK and ENDBLK they lack.
  void sayBlocksAdded();
  bool readBlocks(const Section& s);
  bool readEntities(const Section& s);
  bool readEntity(std::size_t k, std::size_t limit, ZcDbObjectId owner, bool ownerByFlag, std::uint32_t sequence,
                  std::size_t& next);
  // The ATTRIB records among [begin, end): each one's tag, value and place, as an insert keeps them.
  std::vector<ZcDbBlockReference::Attribute> attributesOf(std::size_t begin, std::size_t end) const;
  bool addPendingEntity(std::size_t k, std::size_t end, const RecordDescriptor* modelled, ZcDbObjectId owner,
                        bool ownerByFlag, std::uint32_t sequence);
  ZcDbObjectId ensureBlockTable();
  ZcDbObjectId ensureBlock(const std::u16string& name);
  bool ensureDefaults();
  template <class Table, class Record>
  bool ensureTable(ZcDbObjectId current, void (*setId)(ZcDbDatabase&, ZcDbObjectId), const ZTCHAR* recordName);
  template <class Table, class Record>
  bool addSynthetic(Table& table, Record* rec, ZcDbObjectId& id);
  ZcDbBlockTableRecord* openRecord(ZcDbObjectId id);
  void closeRecord();
  // The block an entity goes to, open for write: `owner`, or paper space when the entity says so
  // and `ownerByFlag` (the ENTITIES section); null when it cannot be opened.
  ZcDbBlockTableRecord* openEntityBlock(ZcDbObjectId& owner, bool ownerByFlag, bool paperSpace) {
    if (ownerByFlag && paperSpace) owner = ensureBlock(u"*Paper_Space");
    return openRecord(owner);
  }
  // Adds the entity of the record at tag k under its own handle, or under a fresh one when the file
  // gives none or an earlier object has it; `h` is the handle it got. `add(handle)` adds it.
  template <typename Add>
  bool addUnderHandle(std::size_t k, ZcDbHandle own, ZcDbHandle& h, Add&& add) {
    h = own;
    if (h != 0 && add(h) == Zcad::eOk) return true;
    h = freshHandle();
    return add(h) == Zcad::eOk || fail(k, "the entity cannot be added to the drawing", "无法将实体添加到图形中");
  }

  std::shared_ptr<TagFile> mFile;
  const TagFile& f;
  std::string& mError;
  const std::function<void(double)>& mProgress;
  std::unique_ptr<ZcDbDatabase> mDb;
  std::unique_ptr<DrawingLayout> mLayout;
  std::unique_ptr<TextCodec> mCodec;
  CheckedValues mChecked;  // what the check of the last entity record read
  std::vector<Section> mSections;
  std::size_t mEof = 0;
  std::size_t mRecords = 0;  // 0 groups past the header: about the number of objects to come
  bool mR12 = false;
  ZcDbHandle mSeedRead = 0, mNextFresh = 1;
  bool mTileMode = true;
  NameCache mNames;
  Slots mSlots, mVertex;
  FieldScan mScan;
  std::vector<ZcDbObjectId> mInserts;
  std::unordered_set<ZcDbHandle> mKeptHandles;  // of the records of tables kept as read
  std::vector<std::string>& mWarnings;
  static constexpr std::size_t kRepairsListed = 20;
  struct RepairsOfAKind {
    std::size_t count = 0, lastTag = 0;
  };
  std::map<const char*, RepairsOfAKind> mRepairs;  // by the English text: one per place that repairs
  std::size_t mSeedTag = 0;                        // the $HANDSEED group, 0: none
  ZcDbBlockTableRecord* mOpenRecord = nullptr;
  ZcDbObjectId mOpenRecordId;
};

bool Reader::readSections() {
  if (count() == 0) return fail(0, "the file is empty; it is not a DXF drawing", "文件为空；它不是 DXF 图形");
  std::size_t i = 0;
  while (true) {
    if (i >= count())
      return fail(count(), "the file ends without EOF (it is truncated)", "文件没有以 EOF 结束（文件被截断）");
    if (isZero(i, "EOF")) {
      mEof = i;
      if (f.dataAfterEofLine != 0)
        mWarnings.push_back(
            atLine(f.dataAfterEofLine, textInLanguage("what follows EOF is ignored", "EOF 之后的内容被忽略")));
      return true;
    }
    if (f.code(i) == 999) {  // comments between sections are kept where they are
      mSections.push_back({"", i, i});
      ++i;
      continue;
    }
    if (!isZero(i, "SECTION"))
      return fail(i, "expected '0 SECTION', found group {} '{}'", "此处应为“0 SECTION”，却是组 {}“{}”",
                  {std::to_string(f.code(i)), printable(TagFile::trimmed(f.value(i)))});
    if (i + 1 >= count() || f.code(i + 1) != 2)
      return fail(i + 1, "a section name (group 2) was expected", "此处应为段名（组 2）");
    std::string_view name = TagFile::trimmed(f.value(i + 1));
    std::size_t j = i + 2;
    for (; j < count(); ++j) {
      if (f.tags[j].code != 0) continue;
      std::string_view v = TagFile::trimmed(f.value(j));
      if (v == "ENDSEC") break;
      if (v == "SECTION" || v == "EOF")
        return fail(j, "section {} is not closed by ENDSEC", "段 {} 没有以 ENDSEC 结束", {name});
    }
    if (j >= count())
      return fail(count(), "section {} is not closed (the file is truncated)", "段 {} 没有结束（文件被截断）", {name});
    // The sections the database models hold the whole drawing's tables, blocks or entities: a second
    // one cannot be written back as it was read, and which one holds is anybody's guess.
    if (name == "HEADER" || name == "TABLES" || name == "BLOCKS" || name == "ENTITIES") {
      for (const Section& earlier : mSections)
        if (earlier.name == name)
          return fail(i, "a second {} section (the first is at line {}); a drawing has one",
                      "第二个 {} 段（第一个在第 {} 行）；一个图形只有一个",
                      {name, std::to_string(TagFile::lineOf(earlier.begin))});
    }
    mSections.push_back({name, i, j});
    i = j + 1;
  }
}

namespace {

// The release that wrote a drawing of a version before R12 ("AC1004": "R9"); null for any other.
const char* olderRelease(std::string_view version) {
  static constexpr std::pair<std::string_view, const char*> kReleases[] = {
      {"AC1006", "R10"},   {"AC1004", "R9"},    {"AC1003", "R2.6"},  {"AC1002", "R2.5"},
      {"AC2.22", "R2.22"}, {"AC2.21", "R2.21"}, {"AC2.10", "R2.10"}, {"AC1.50", "R2.05"},
      {"AC1.40", "R1.40"}, {"AC1.2", "R1.2"},   {"MC0.0", "R1.0"}};
  for (const auto& [name, release] : kReleases)
    if (version == name) return release;
  return nullptr;
}

}  // namespace

bool Reader::readHeader(const Section& s) {
  std::string_view var;
  for (std::size_t k = s.begin + 2; k < s.end; ++k) {
    int code = f.code(k);
    std::string_view v = f.value(k);
    if (code == 9) {
      var = TagFile::trimmed(v);
      continue;
    }
    if (var == "$ACADVER" && code == 1) {
      mLayout->version = std::string(TagFile::trimmed(v));
      if (const char* release = olderRelease(mLayout->version)) {
        // The releases before R12 differ from it in nothing this host writes.
        mWarnings.push_back(
            atLine(TagFile::lineOf(k) + 1,
                   textInLanguage("an {} drawing ({}) is read as R12 and will be saved as R12 (AC1009)",
                                  "{} 图形（{}）按 R12 读取，并将保存为 R12（AC1009）", {release, mLayout->version})));
        mLayout->version = "AC1009";
      }
      if (!isKnownVersion(mLayout->version))
        return failValue(k, "unsupported DXF version '{}' (versions R1.0 to R2018, up to AC1032, can be read)",
                         "不支持的 DXF 版本“{}”（可读取 R1.0 至 R2018，即至 AC1032 的版本）",
                         {printable(mLayout->version)});
    } else if (var == "$DWGCODEPAGE" && code == 3) {
      mLayout->codePage = std::string(TagFile::trimmed(v));
    } else if (var == "$HANDSEED" && code == 5) {
      parseHandle(v, mSeedRead);
      mSeedTag = k;
    } else if (var == "$TILEMODE" && code == 70) {
      long long t = 1;
      if (parseInt(v, t)) mTileMode = t != 0;
    } else if (var == "$HANDLING" && code == 70) {
      long long h = 1;
      if (parseInt(v, h)) mLayout->usesHandles = h != 0;
    }
  }
  return true;
}

void Reader::findMaxHandle() {
  ZcDbHandle max = 0;
  std::size_t headerEnd = 0;
  for (const Section& s : mSections)
    if (s.name == "HEADER") headerEnd = s.end;
  bool any = false;
  mRecords = 0;
  for (std::size_t k = headerEnd + 1; k < count(); ++k) {
    int code = f.tags[k].code;
    if (code == 0) ++mRecords;
    if ((code == 5 && f.tags[k - 1].code == 0) || code == 105) {
      ZcDbHandle h = 0;
      if (parseHandle(f.value(k), h)) {
        max = std::max(max, h);
        any = true;
      }
    }
  }
  if (mR12 && !any) mLayout->usesHandles = false;
  mLayout->maxFileHandle = max;
  // The writer keeps the seed above every handle (Writer::writeHeader).
  if (mSeedTag != 0 && mSeedRead <= max)
    repaired(mSeedTag,
             "the handle seed $HANDSEED '{}' is not above the drawing's largest handle {}; it is saved above every "
             "handle",
             "句柄种子 $HANDSEED“{}”不大于图形中最大的句柄 {}；保存时提高到所有句柄之上",
             {printable(TagFile::trimmed(f.value(mSeedTag))), formatHandle(max)});
  mNextFresh = std::max(max + 1, mSeedRead);
  if (mNextFresh == 0) mNextFresh = 1;
}

ZcDbBlockTableRecord* Reader::openRecord(ZcDbObjectId id) {
  if (mOpenRecord != nullptr && mOpenRecordId == id) return mOpenRecord;
  closeRecord();
  ZcDbBlockTableRecord* rec = nullptr;
  if (zcdbOpenObject(rec, id, ZcDb::kForWrite) != Zcad::eOk) return nullptr;
  mOpenRecord = rec;
  mOpenRecordId = id;
  return rec;
}

void Reader::closeRecord() {
  if (mOpenRecord) mOpenRecord->close();
  mOpenRecord = nullptr;
  mOpenRecordId = ZcDbObjectId::kNull;
}

ZcDbObjectId Reader::ensureBlockTable() {
  if (!mDb->blockTableId().isNull()) return mDb->blockTableId();
  ZcDbObjectId id;
  auto* table = new ZcDbBlockTable;
  if (mDb->addZcDbObject(id, table, freshHandle()) != Zcad::eOk) {
    delete table;
    return ZcDbObjectId::kNull;
  }
  table->close();
  zrxhost::setBlockTableId(*mDb, id);
  return id;
}

// The record of that name, made (synthetic, never written) when the file has none.
ZcDbObjectId Reader::ensureBlock(const std::u16string& name) {
  closeRecord();
  ZcDbObjectId tableId = ensureBlockTable();
  ZcDbBlockTable* table = nullptr;
  if (tableId.isNull() || zcdbOpenObject(table, tableId, ZcDb::kForWrite) != Zcad::eOk) return ZcDbObjectId::kNull;
  ZcDbObjectId id;
  std::wstring wide(name.begin(), name.end());
  if (table->getAt(wide.c_str(), id) != Zcad::eOk) {
    auto* rec = new ZcDbBlockTableRecord;
    rec->setName(ZcString(name));
    if (!addSynthetic(*table, rec, id)) id = ZcDbObjectId::kNull;
  }
  table->close();
  return id;
}

// A table the file lacks, with its one record every drawing has (synthetic, never written).
template <class Table, class Record>
bool Reader::ensureTable(ZcDbObjectId current, void (*setId)(ZcDbDatabase&, ZcDbObjectId), const ZTCHAR* recordName) {
  if (!current.isNull()) return true;
  ZcDbObjectId tableId;
  auto* table = new Table;
  if (mDb->addZcDbObject(tableId, table, freshHandle()) != Zcad::eOk) {
    delete table;
    return false;
  }
  setId(*mDb, tableId);
  auto* rec = new Record;
  rec->setName(recordName);
  ZcDbObjectId id;
  const bool added = addSynthetic(*table, rec, id);
  table->close();
  return added;
}

// Adds `rec` to `table` under a fresh handle, marked as made by the reader (never written); deletes
// it when the table refuses it.
template <class Table, class Record>
bool Reader::addSynthetic(Table& table, Record* rec, ZcDbObjectId& id) {
  const ZcDbHandle h = freshHandle();
  if (table.add(id, rec, h) != Zcad::eOk) {
    delete rec;
    return false;
  }
  auto fd = std::make_shared<ObjectRecord>();
  fd->file = mFile;
  fd->handle = h;
  fd->synthetic = true;
  rec->setExtension(fd);
  rec->close();
  return true;
}

bool Reader::ensureDefaults() {
  return !ensureBlock(u"*Model_Space").isNull() && !ensureBlock(u"*Paper_Space").isNull() &&
         ensureTable<ZcDbLayerTable, ZcDbLayerTableRecord>(mDb->layerTableId(), &zrxhost::setLayerTableId, L"0") &&
         ensureTable<ZcDbTextStyleTable, ZcDbTextStyleTableRecord>(mDb->textStyleTableId(),
                                                                   &zrxhost::setTextStyleTableId, L"Standard");
}

bool Reader::readTables(const Section& s) {
  raw(s.begin, s.begin + 2);
  std::size_t k = s.begin + 2;
  while (k < s.end) {
    if (!isZero(k, "TABLE")) {
      std::size_t n = nextZero(k, s.end);
      raw(k, n);
      k = n;
      continue;
    }
    std::size_t m = k + 1;
    while (m < s.end && !isZero(m, "ENDTAB")) ++m;
    if (m >= s.end) return fail(k, "table is not closed by ENDTAB", "表没有以 ENDTAB 结束");
    std::string_view name = k + 1 < m && f.code(k + 1) == 2 ? TagFile::trimmed(f.value(k + 1)) : std::string_view();
    if (const RecordDescriptor* records = tableDescriptor(name)) {
      if (!readTable(k, m, *records)) return false;
    } else {
      keepTable(k, m);
    }
    k = m + 1;
  }
  raw(s.end, s.end + 1);
  return true;
}

void Reader::sayBlocksAdded() {
  if (mR12 || mDb->blockTableId().isNull()) return;
  closeRecord();
  auto* table = zrxhost::peek<ZcDbBlockTable>(mDb->blockTableId());
  for (ZcDbObjectId id : table != nullptr ? table->recordIds() : std::vector<ZcDbObjectId>{}) {
    const auto* rec = zrxhost::peek<ZcDbBlockTableRecord>(id);
    const ObjectRecord* fd = rec != nullptr ? recordOf(*rec) : nullptr;
    if (fd != nullptr && !fd->synthetic && fd->end > fd->begin && fd->blockEnd == 0)
      repaired(fd->begin, "block \"{}\" has a BLOCK_RECORD entry but no BLOCK; a BLOCK and an ENDBLK are added",
               "块“{}”有 BLOCK_RECORD 条目但没有 BLOCK；已补上 BLOCK 和 ENDBLK", {printable(rec->name().toUtf8())});
  }
}

void Reader::keepTable(std::size_t begin, std::size_t endtab) {
  std::size_t k = nextZero(begin, endtab);
  raw(begin, k);
  for (std::size_t n = k; k < endtab; k = n) {
    n = nextZero(k, endtab);
    ZcDbHandle own = 0;
    const bool handled =
        !mR12 && k + 1 < n && (f.code(k + 1) == 5 || f.code(k + 1) == 105) && parseHandle(f.value(k + 1), own);
    ZcDbObjectId taken;
    if (!handled ||
        (own != 0 && mKeptHandles.insert(own).second && mDb->getZcDbObjectId(taken, false, own) != Zcad::eOk)) {
      raw(k, n);
      continue;
    }
    LayoutItem item;
    item.begin = static_cast<std::uint32_t>(k);
    item.end = static_cast<std::uint32_t>(n);
    item.newHandle = freshHandle();
    renumbered(k, own, item.newHandle);
    mLayout->items.push_back(std::move(item));
  }
  raw(endtab, endtab + 1);
}

bool Reader::readTable(std::size_t begin, std::size_t endtab, const RecordDescriptor& records) {
  LayoutItem item;
  item.kind = LayoutItem::kTable;
  item.records = &records;
  std::size_t first = nextZero(begin, endtab);
  item.begin = static_cast<std::uint32_t>(begin);
  item.end = static_cast<std::uint32_t>(first);
  item.tailBegin = static_cast<std::uint32_t>(endtab);
  item.tailEnd = static_cast<std::uint32_t>(endtab + 1);

  ZcDbHandle tableHandle = 0;
  for (std::size_t k = begin + 1; k < first; ++k)
    if (f.code(k) == 5 && parseHandle(f.value(k), tableHandle)) break;
  if (!(mDb.get()->*records.tableId)().isNull()) {  // a second table of the kind is kept as read
    raw(begin, endtab + 1);
    return true;
  }
  ZcDbSymbolTable* table = records.makeTable();
  ZcDbObjectId tableId;
  // The TABLE group is written back as read, so a handle it lacks (R12 files often do) or shares is
  // the database's business only and not said.
  if (tableHandle == 0 || mDb->addZcDbObject(tableId, table, tableHandle) != Zcad::eOk) {
    if (mDb->addZcDbObject(tableId, table, freshHandle()) != Zcad::eOk) {
      delete table;
      return fail(begin, "the table cannot be added to the drawing", "无法将表添加到图形中");
    }
  }
  records.setTableId(*mDb, tableId);

  const TypeDef& def = records.fields;
  for (std::size_t k = first; k < endtab;) {
    std::size_t n = nextZero(k, endtab);
    LayoutItem::Entry entry;
    entry.begin = static_cast<std::uint32_t>(k);
    entry.end = static_cast<std::uint32_t>(n);
    if (!readFields(def, {f, k, n}, *mCodec, mR12, mSlots, mScan, mError)) {
      table->close();
      return false;
    }
    auto* rec = static_cast<ZcDbSymbolTableRecord*>(records.make());
    slotsToObject(records, mSlots, *rec, mDb.get(), mNames);
    const ZcDbHandle own = f.recordHandle(k, n);
    ZcDbHandle h = own != 0 ? own : freshHandle();
    ZcDbObjectId id;
    Zcad::ErrorStatus es = !usableName(rec->name().utf16()) ? Zcad::eInvalidInput : table->add(id, rec, h);
    if (es == Zcad::eDuplicateKey && own != 0 && !table->has(rec->getName())) {
      // The name is new, so the handle is the one taken.
      h = freshHandle();
      es = table->add(id, rec, h);
    }
    if (es == Zcad::eOk) {
      auto fd = foreign(k, n, renumbered(k, own, h));
      fd->owner = tableId.handle();
      rec->setExtension(std::move(fd));
      rec->close();
      entry.id = id;
      ++item.recordsRead;
    } else {
      // A nameless or repeated entry (shape files in STYLE, a broken file): kept as read.
      delete rec;
    }
    item.entries.push_back(entry);
    k = n;
  }
  table->close();
  mLayout->items.push_back(std::move(item));
  return true;
}

bool Reader::readBlocks(const Section& s) {
  raw(s.begin, s.begin + 2);
  LayoutItem item;
  item.kind = LayoutItem::kBlocks;
  if (ensureBlockTable().isNull()) return fail(s.begin, "the block table cannot be made", "无法建立块表");
  const RecordDescriptor& block = descriptor(RecordType::Block);
  std::size_t k = s.begin + 2;
  while (k < s.end) {
    std::size_t n = nextZero(k, s.end);
    if (!isZero(k, "BLOCK")) {
      LayoutItem::Entry entry;
      entry.begin = static_cast<std::uint32_t>(k);
      entry.end = static_cast<std::uint32_t>(n);
      item.entries.push_back(entry);
      k = n;
      continue;
    }
    if (!readFields(block.fields, {f, k, n}, *mCodec, mR12, mSlots, mScan, mError)) return false;
    std::u16string name = mSlots[block_slot::kName].s;
    if (name.empty()) return fail(k, "BLOCK without a name", "BLOCK 没有名称");
    if (!usableName(name)) return fail(k, "the BLOCK's name holds a NUL character", "BLOCK 的名称含有 NUL 字符");
    ZcDbObjectId recId = ensureBlock(name);
    if (recId.isNull()) return fail(k, "BLOCK cannot be defined", "无法定义 BLOCK");
    ZcDbBlockTableRecord* rec = openRecord(recId);
    if (rec == nullptr) return fail(k, "BLOCK is defined twice", "BLOCK 被定义了两次");
    auto fd = std::static_pointer_cast<ObjectRecord>(rec->extension());
    if (!fd || fd->synthetic) {
      // A block the BLOCK_RECORD table did not list (always so in R12).
      if (!mR12)
        repaired(k, "block \"{}\" has no BLOCK_RECORD entry; one is added", "块“{}”没有 BLOCK_RECORD 条目；已补上一个",
                 {printable(ZcString(name).toUtf8())});
      auto made = std::make_shared<ObjectRecord>();
      made->file = mFile;
      made->handle = rec->handle();
      rec->setExtension(made);
      fd = made;
    } else if (fd->blockEnd != 0) {
      return fail(k, "BLOCK is defined twice", "BLOCK 被定义了两次");
    }
    fd->blockBegin = static_cast<std::uint32_t>(k);
    fd->blockEnd = static_cast<std::uint32_t>(n);
    slotsToObject(block, mSlots, *rec, mDb.get(), mNames);
    std::size_t e = n;
    while (e < s.end && !isZero(e, "ENDBLK")) {
      std::size_t next = e;
      if (!readEntity(e, s.end, recId, false, 0, next)) return false;
      e = next;
    }
    if (e >= s.end) return fail(k, "BLOCK has no ENDBLK", "BLOCK 没有 ENDBLK");
    std::size_t endblkEnd = nextZero(e, s.end);
    if (openRecord(recId)) fd = std::static_pointer_cast<ObjectRecord>(mOpenRecord->extension());
    fd->endblkBegin = static_cast<std::uint32_t>(e);
    fd->endblkEnd = static_cast<std::uint32_t>(endblkEnd);
    LayoutItem::Entry entry;
    entry.id = recId;
    item.entries.push_back(entry);
    k = endblkEnd;
  }
  closeRecord();
  mLayout->items.push_back(std::move(item));
  raw(s.end, s.end + 1);
  return true;
}

bool Reader::readEntities(const Section& s) {
  raw(s.begin, s.begin + 2);
  if (!ensureDefaults()) return fail(s.begin, "the drawing's tables cannot be made", "无法建立图形的表");
  LayoutItem item;
  item.kind = LayoutItem::kEntities;
  mLayout->items.push_back(std::move(item));
  ZcDbObjectId model = ensureBlock(u"*Model_Space");
  std::uint32_t sequence = 0;
  for (std::size_t k = s.begin + 2; k < s.end;) {
    std::size_t next = k;
    if (!readEntity(k, s.end, model, true, ++sequence, next)) return false;
    k = next;
    if (mProgress && (sequence & 0xfff) == 0) {
      // Scanning the tags was the first part of the work; the entities are most of the rest.
      mProgress(kScanShare +
                (1 - kScanShare) * static_cast<double>(k - s.begin) / static_cast<double>(s.end - s.begin));
    }
  }
  closeRecord();
  raw(s.end, s.end + 1);
  return true;
}

namespace {

// An entity type is a name: letters, digits and underscores, a letter among them ("3DFACE"). A
// number there is what a damaged file leaves where a line went missing.
bool isTypeName(std::string_view type) {
  bool letter = false;
  for (char c : type) {
    const bool isLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!isLetter && !(c >= '0' && c <= '9') && c != '_') return false;
    letter = letter || isLetter;
  }
  return letter;
}

}  // namespace

bool Reader::readEntity(std::size_t k, std::size_t limit, ZcDbObjectId owner, bool ownerByFlag, std::uint32_t sequence,
                        std::size_t& next) {
  if (f.code(k) != 0) return fail(k, "an entity (group 0) was expected", "此处应为实体（组 0）");
  std::string_view type = TagFile::trimmed(f.value(k));
  if (!isTypeName(type))
    return failValue(k, "'{}' stands where an entity's type belongs; a type is a name (the file is damaged)",
                     "实体类型处是“{}”；类型应为名称（文件已损坏）", {printable(type)});
  std::size_t mainEnd = nextZero(k, limit);
  std::size_t subEnd = mainEnd;
  bool poly = type == "POLYLINE";
  bool insert = type == "INSERT";
  bool simple3d = false;
  if (poly || insert) {
    const char* child = poly ? "VERTEX" : "ATTRIB";
    while (subEnd < limit && isZero(subEnd, child)) subEnd = nextZero(subEnd, limit);
    if (subEnd < limit && isZero(subEnd, "SEQEND")) subEnd = nextZero(subEnd, limit);
  }
  if (poly) {
    long long flags = 0;
    for (std::size_t q = k + 1; q < mainEnd; ++q)
      if (f.code(q) == 70 && parseInt(f.value(q), flags)) break;
    simple3d = (flags & 8) != 0 && (flags & (4 | 16 | 64)) == 0;
    for (std::size_t q = mainEnd; simple3d && q < subEnd; q = nextZero(q, subEnd)) {
      if (!isZero(q, "VERTEX")) continue;
      std::size_t qe = nextZero(q, subEnd);
      for (std::size_t r = q + 1; r < qe; ++r) {
        long long vf = 0;
        if (f.code(r) == 70 && parseInt(f.value(r), vf) && (vf & (8 | 16)) != 0) simple3d = false;
      }
    }
  }
  const RecordDescriptor* modelled = entityDescriptor(type);
  if (modelled != nullptr && modelled->type == RecordType::Poly3d && !simple3d) modelled = nullptr;
  // An entity that stands alone is built when it is first asked for; polylines and inserts, which
  // gather their vertices and attributes and find their block, are built now.
  if (!poly && !insert && subEnd == mainEnd) {
    next = mainEnd;
    return addPendingEntity(k, mainEnd, modelled, owner, ownerByFlag, sequence);
  }
  ZcDbEntity* ent = makeEntity(modelled, type, f, k, mainEnd, *mCodec, mR12, mDb.get(), mNames, mSlots, mScan, mError);
  if (ent == nullptr) return false;
  std::unique_ptr<ZcDbEntity> holder(ent);
  const RecordDescriptor& d = modelled != nullptr ? *modelled : descriptor(RecordType::Foreign);
  const GroupPlaces places = placeGroups(d.fields, {f, k, mainEnd}, mScan);
  if (d.type == RecordType::Poly3d) {
    std::vector<ZcGePoint3d> points;
    const TypeDef& vdef = typeDef(RecordType::Vertex);
    for (std::size_t q = mainEnd; q < subEnd;) {
      std::size_t qe = nextZero(q, subEnd);
      if (isZero(q, "VERTEX")) {
        if (!readFields(vdef, {f, q, qe}, *mCodec, mR12, mVertex, mScan, mError)) return false;
        points.emplace_back(mVertex[vertex_slot::kX].d, mVertex[vertex_slot::kY].d, mVertex[vertex_slot::kZ].d);
      }
      q = qe;
    }
    static_cast<ZcDb3dPolyline*>(ent)->setVertices(points);
  }
  if (d.type == RecordType::Insert && subEnd > mainEnd)
    static_cast<ZcDbBlockReference*>(ent)->setAttributesAsRead(attributesOf(mainEnd, subEnd));
  ZcDbBlockTableRecord* rec = openEntityBlock(owner, ownerByFlag, mSlots[kPaperSpace].i != 0);
  if (rec == nullptr) return fail(k, "the entity's block cannot be opened", "无法打开实体所在的块");
  const ZcDbHandle own = f.recordHandle(k, mainEnd);
  ZcDbHandle h = 0;
  ZcDbObjectId id;
  if (!addUnderHandle(k, own, h, [&](ZcDbHandle handle) { return rec->appendZcDbEntity(id, ent, handle); }))
    return false;
  holder.release();
  auto fd = foreign(k, mainEnd, renumbered(k, own, h));
  fd->subEnd = static_cast<std::uint32_t>(subEnd);
  fd->sequence = sequence;
  fd->owner = owner.handle();
  fd->places = places;
  fd->descriptor = &d;
  ent->setExtension(std::move(fd));
  ent->close();
  if (d.type == RecordType::Insert) mInserts.push_back(id);
  next = subEnd;
  return true;
}

std::vector<ZcDbBlockReference::Attribute> Reader::attributesOf(std::size_t begin, std::size_t end) const {
  using namespace attribute_values;
  std::vector<ZcDbBlockReference::Attribute> attributes;
  std::u16string text;
  for (std::size_t q = begin; q < end;) {
    const std::size_t qe = nextZero(q, end);
    if (isZero(q, "ATTRIB")) {
      const RecordValues values(f, q + 1, qe);
      ZcDbBlockReference::Attribute a;
      mCodec->decode(values.text(kString), text);
      a.value = ZcString(text);
      mCodec->decode(values.name(kTag), text);
      a.tag = ZcString(text);
      const auto position = values.point(kPosition);
      a.position = ZcGePoint3d(position[0], position[1], position[2]);
      a.height = values.number(kHeight);
      a.rotation = values.number(kRotation);
      attributes.push_back(std::move(a));
    }
    q = qe;
  }
  return attributes;
}

bool Reader::addPendingEntity(std::size_t k, std::size_t end, const RecordDescriptor* modelled, ZcDbObjectId owner,
                              bool ownerByFlag, std::uint32_t sequence) {
  long long paper = 0;
  const TypeDef& def = modelled != nullptr ? modelled->fields : typeDef(RecordType::Foreign);
  if (!checkFields(def, {f, k, end}, mR12, paper, mError, &mChecked)) return false;
  ZcDbBlockTableRecord* rec = openEntityBlock(owner, ownerByFlag, paper != 0);
  if (rec == nullptr) return fail(k, "the entity's block cannot be opened", "无法打开实体所在的块");
  const auto index = static_cast<std::uint32_t>(mLayout->pending.size());
  const ZcDbHandle own = f.recordHandle(k, end);
  ZcDbHandle h = 0;
  ZcDbObjectId id;
  if (!addUnderHandle(k, own, h, [&](ZcDbHandle handle) { return zrxhost::addPendingObject(*mDb, id, handle, index); }))
    return false;
  if (rec->appendPendingEntity(id) != Zcad::eOk)
    return fail(k, "the entity cannot be added to its block", "无法将实体添加到其块中");
  PendingRecord pending;
  pending.begin = static_cast<std::uint32_t>(k);
  pending.sequence = sequence;
  pending.renumbered = renumbered(k, own, h) != h;
  pending.owner = owner;
  if (modelled != nullptr && !checkedBox(*modelled, mChecked, pending.box)) pending.box[0] = NAN;
  mLayout->pending.push_back(pending);
  return true;
}

std::unique_ptr<ZcDbDatabase> Reader::run() {
  mLayout = std::make_unique<DrawingLayout>();
  mLayout->file = mFile;
  mLayout->version = "AC1009";
  if (!readSections()) return nullptr;
  for (const Section& s : mSections)
    if (s.name == "HEADER" && !readHeader(s)) return nullptr;
  mR12 = mLayout->version <= "AC1009";
  mLayout->r12 = mR12;
  mLayout->binary = f.binary;
  mCodec = std::make_unique<TextCodec>(isUtf8Version(mLayout->version), mLayout->codePage);
  findMaxHandle();
  mDb = std::make_unique<ZcDbDatabase>(false);
  zrxhost::reserveObjects(*mDb, mRecords);  // at most one object per record, a few made up beside them
  mLayout->pending.reserve(mRecords);
  zrxhost::setObjectLoader(*mDb, std::make_unique<EntityLoader>(*mDb, mFile, *mLayout));
  for (const Section& s : mSections) {
    bool ok = true;
    if (s.name == "HEADER") {
      LayoutItem item;
      item.kind = LayoutItem::kHeader;
      item.begin = static_cast<std::uint32_t>(s.begin);
      item.end = static_cast<std::uint32_t>(s.end + 1);
      mLayout->items.push_back(std::move(item));
    } else if (s.name == "TABLES") {
      ok = readTables(s);
    } else if (s.name == "BLOCKS") {
      ok = readBlocks(s);
    } else if (s.name == "ENTITIES") {
      ok = readEntities(s);
    } else {
      raw(s.begin, s.end + 1);
    }
    if (!ok) {
      closeRecord();
      return nullptr;
    }
  }
  raw(mEof, mEof + 1);
  sayBlocksAdded();
  if (!ensureDefaults()) {
    closeRecord();
    fail(mEof, "the drawing's tables cannot be made", "无法建立图形的表");
    return nullptr;
  }
  closeRecord();
  // Inserts find their blocks once every block is known.
  ZcDbBlockTable* blocks = nullptr;
  if (zcdbOpenObject(blocks, mDb->blockTableId(), ZcDb::kForRead) == Zcad::eOk) {
    for (ZcDbObjectId id : mInserts) {
      ZcDbBlockReference* ref = nullptr;
      if (zcdbOpenObject(ref, id, ZcDb::kForWrite) != Zcad::eOk) continue;
      ZcDbObjectId block;
      if (blocks->getAt(ref->blockName().kwszPtr(), block) == Zcad::eOk) ref->setBlockTableRecord(block);
      ref->close();
    }
    blocks->close();
  }
  zrxhost::setHandseed(*mDb, std::max({mNextFresh, mSeedRead, mDb->handseed()}));
  sayRepairsNotListed();
  mDb->setTileMode(mTileMode);
  mLayout->namesGeneration = zrxhost::symbolTableChanges(*mDb);
  mDb->setExtension(std::shared_ptr<DrawingLayout>(std::move(mLayout)));
  zrxhost::markAllUnchanged(*mDb);
  return std::move(mDb);
}

}  // namespace

bool isUtf8Version(const std::string& version) {
  return version >= "AC1021";
}

bool isKnownVersion(const std::string& v) {
  static const char* const known[] = {"AC1009", "AC1012", "AC1014", "AC1015", "AC1018",
                                      "AC1021", "AC1024", "AC1027", "AC1032"};
  for (const char* k : known)
    if (v == k) return true;
  return false;
}

namespace {

// Messages about a binary file name its groups ("group 12"), not lines of the ASCII form it is read in.
void nameGroups(std::string& message) {
  // The message was made in the language of this read: atLine's "line N" or "第 N 行".
  const bool chinese = hostSpeaksChinese();
  const std::string_view before = chinese ? "第 " : "line ", after = chinese ? " 行" : "";
  if (!message.starts_with(before)) return;
  const char* end = message.data() + message.size();
  std::size_t line = 0;
  auto [ptr, ec] = std::from_chars(message.data() + before.size(), end, line);
  if (ec != std::errc() || !std::string_view(ptr, end).starts_with(after)) return;
  message = textInLanguage("group {} of the binary file", "二进制文件的第 {} 组", std::to_string((line + 1) / 2)) +
            std::string(ptr + after.size(), end);
}

}  // namespace

std::unique_ptr<ZcDbDatabase> readTags(std::shared_ptr<TagFile> file, std::string& error,
                                       std::vector<std::string>& warnings,
                                       const std::function<void(double)>& progress) {
  if (isBinaryDxf(file->buffer)) {
    std::string text;
    if (!binaryToText(file->buffer, text, error)) return nullptr;
    file->buffer = std::move(text);
    file->binary = true;
  }
  const bool binary = file->binary;
  const std::size_t warned = warnings.size();
  std::unique_ptr<ZcDbDatabase> db;
  if (scanTags(*file, error, progress)) {
    Reader reader(std::move(file), error, warnings, progress);
    db = reader.run();
  }
  if (binary) {
    if (!db) nameGroups(error);
    for (std::size_t i = warned; i < warnings.size(); ++i) nameGroups(warnings[i]);
  }
  return db;
}

}  // namespace zrxhost::dxf
