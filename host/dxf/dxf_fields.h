// Modelled groups and their slots: how a record type's groups are described, read and rewritten.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dxf/dxf_tags.h"
#include "zrx/db/ids.h"

class ZcDbObject;
class ZcDbDatabase;

namespace zrxhost::dxf {

class TextCodec;
struct TypeDef;
struct RecordDescriptor;
struct Slots;
class NameCache;

// How a group's text maps to a slot value. Angles are degrees in the file and radians in slots.
// Dir* are the x axis of an MTEXT (they give its rotation); Pos* are a TEXT's position, which the
// host derives from the alignment point when the text is not left-aligned on its baseline.
enum class Kind : std::uint8_t { Real, Angle, Int, Flag, Text, Chunks, BlockName, DirX, DirY, DirZ, PosX, PosY, PosZ };

enum class RecordType { Text, MText, Line, Insert, Poly3d, Vertex, Foreign, Block, Layer, Style, BlockRecord };

struct SlotValue {
  double d = 0;
  long long i = 0;
  std::u16string s;
};

// Whether an object keeps a value of a field as it was read: a value its setter does not refuse or
// settle otherwise.
using Validity = bool (*)(const SlotValue& value);
// What an object keeps of a value given to a field whose setter settles values (a normal scaled to
// unit length) or refuses some depending on each other: `value` holds the field's slots as read and
// gets what the object keeps; `fresh`, a new object's values of the same slots, is what it keeps
// where it refuses them.
using Settle = void (*)(SlotValue* value, const SlotValue* fresh, ZcDbDatabase* db, NameCache& names);
// How an object gives a field's value to its slots, and takes it from them (see FieldDef).
using LoadField = void (*)(const ZcDbObject& object, Slots& s, std::uint8_t slot, NameCache& names);
using StoreField = void (*)(ZcDbObject& object, const Slots& s, std::uint8_t slot, ZcDbDatabase* db, NameCache& names);

// One DXF field of a record type, declared once: its group, how its text maps to its slot, the value
// a record without the group implies, and what the object that holds it does with it. Everything
// else the reader and the writer know of the field is derived from this (indexFields).
struct FieldDef {
  const char* subclass;  // the subclass marker it follows (R2000 on); "Name#2" is the 2nd such marker
  short code;
  std::uint8_t slot;
  Kind kind;
  SlotValue byDefault{};  // of a slot set by several groups, the first field's counts
  long long mask = 0;     // Flag: the bit of the group's integer
  // The zrxhost::Edit bit its object's setter notes when it stores the value (0: none).
  std::uint32_t edit = 0;
  // The object keeps every finite value exactly as given (a point, an angle): a change cannot meet
  // a value it refused.
  bool exact = false;
  // The values the object keeps as read; it refuses the others and keeps its own (null: it keeps any,
  // unless `settle` says otherwise).
  Validity keeps = nullptr;
  // Of a field whose values the object settles (see Settle): what it keeps of a value (null: what
  // `keeps` says).
  Settle settle = nullptr;
  // The object finds the value through an id (a text's style): no setter of its own tells its change.
  bool reference = false;
  // How the object holds the value, declared on the field that names it (a point's x, for all three
  // coordinates; null on the others): `load` sets the slots from the object's getter, `store` gives
  // them to its setter, which may refuse them.
  LoadField load = nullptr;
  StoreField store = nullptr;
  std::uint8_t width = 1;       // the slots from `slot` that load and store handle (3 for a point)
  std::uint8_t subclassId = 0;  // derived: index of `subclass` in TypeDef::subclasses
  std::int16_t nextSameCode = -1;

  // For declaring: the field with its setter's Edit bit, kept exactly, kept as read where `valid`
  // says so (else refused), settled by `rule`, found through an id.
  FieldDef& noting(std::uint32_t bit) { return edit = bit, *this; }
  FieldDef& keptExactly() { return exact = true, *this; }
  FieldDef& keptWhen(Validity valid) { return keeps = valid, *this; }
  FieldDef& settledBy(Settle rule) { return settle = rule, *this; }
  FieldDef& throughId() { return reference = true, *this; }
};

struct Slots {
  std::vector<SlotValue> v;
  double dirX = 0, dirY = 0;
  bool hasDir = false;
  // Set by objectToSlots: the type whose defaults the members it does not write still hold, so that
  // filling the slots from another object of that type need not reset them first. Whoever else
  // writes to the slots resets them (resetSlots clears it).
  const TypeDef* filledAs = nullptr;
  SlotValue& operator[](std::size_t i) { return v[i]; }
  const SlotValue& operator[](std::size_t i) const { return v[i]; }
};

// One slot bit per zrxhost::Edit bit.
using SlotsOfEdit = std::array<std::uint64_t, 32>;

struct TypeDef {
  RecordType type;
  std::vector<FieldDef> fields;  // in the order a writer puts them
  // Derived from the fields by indexFields.
  std::vector<SlotValue> defaults;
  // A new object's values (none where the type makes no object): what it keeps of a value it refuses.
  std::vector<SlotValue> fresh;
  std::uint64_t exactSlots = 0;           // the slots of `exact` fields
  std::uint64_t referenceSlots = 0;       // the slots of `reference` fields
  std::vector<Validity> keeps;            // per slot: its field's `keeps`
  std::uint64_t entitySlots = 0;          // the slots of the fields every entity has (subclass AcDbEntity)
  std::uint64_t loadableSlots = 0;        // the slots some field's `load` sets
  std::vector<std::int8_t> loaderOfSlot;  // per slot: the field whose `load` sets it (-1: none)
  SlotsOfEdit slotsOfEdit{};              // per Edit bit: the slots of the fields that note it
  // Lookups made once: the distinct subclass keys, the first field of each group code (-1: none)
  // and which slots hold text.
  std::vector<std::string> subclasses;
  std::vector<std::int16_t> firstByCode;
  std::vector<bool> textSlot;
  std::vector<std::uint8_t> textSlots;  // the same as a list, for resetting slots without testing each
  // Every slot is set by one group at most, from one number or one text: the record's values can be
  // compared with an object's where they stand (compareFields), without reading them into slots.
  bool comparableInPlace = false;
  // Of a comparableInPlace type: the one field that sets each slot (-1: none).
  std::vector<std::int8_t> fieldOfSlot;
  int subclassIdOf(std::string_view key) const {
    for (std::size_t i = 0; i < subclasses.size(); ++i)
      if (subclasses[i] == key) return static_cast<int>(i);
    return -1;
  }
};

// Whether two slot values are the same (NaN the same as NaN).
bool sameSlot(const SlotValue& a, const SlotValue& b);

// A group's number, with a direct path for the plain decimals most groups hold ("-12.5").
bool parseDecimal(std::string_view text, double& out);

// `t` with the lookups made once: subclass ids, the first field of each group code, the text slots.
TypeDef indexFields(TypeDef t);
// Sets `s` to the type's defaults, reusing its memory.
void resetSlots(Slots& s, const TypeDef& def);

// Slots every entity type starts with.
enum CommonSlot : std::uint8_t { kLayer, kLinetype, kColor, kLtScale, kPaperSpace, kVisibility, kFirstOwnSlot };
namespace text_slot {
enum : std::uint8_t {
  kThickness = kFirstOwnSlot,
  kPosX,
  kPosY,
  kPosZ,
  kHeight,
  kString,
  kRotation,
  kWidth,
  kOblique,
  kStyle,
  kGenFlags,
  kHMode,
  kAlignX,
  kAlignY,
  kAlignZ,
  kNormX,
  kNormY,
  kNormZ,
  kVMode,
  kCount
};
}
namespace mtext_slot {
enum : std::uint8_t {
  kPosX = kFirstOwnSlot,
  kPosY,
  kPosZ,
  kHeight,
  kWidth,
  kAttach,
  kContents,
  kStyle,
  kNormX,
  kNormY,
  kNormZ,
  kRotation,
  kSpacingStyle,
  kSpacingFactor,
  kCount
};
}
namespace line_slot {
enum : std::uint8_t {
  kThickness = kFirstOwnSlot,
  kStartX,
  kStartY,
  kStartZ,
  kEndX,
  kEndY,
  kEndZ,
  kNormX,
  kNormY,
  kNormZ,
  kCount
};
}
namespace insert_slot {
enum : std::uint8_t {
  kName = kFirstOwnSlot,
  kPosX,
  kPosY,
  kPosZ,
  kScaleX,
  kScaleY,
  kScaleZ,
  kRotation,
  kNormX,
  kNormY,
  kNormZ,
  kCount
};
}
namespace poly_slot {
enum : std::uint8_t { kClosed = kFirstOwnSlot, kCount };
}
namespace vertex_slot {
enum : std::uint8_t { kX = kFirstOwnSlot, kY, kZ, kCount };
}
namespace block_slot {
enum : std::uint8_t { kName, kOriginX, kOriginY, kOriginZ, kCount };
}
namespace layer_slot {
enum : std::uint8_t { kName, kFrozen, kSignedColor, kCount };
}
namespace style_slot {
enum : std::uint8_t { kName, kSize, kXScale, kOblique, kFont, kBigFont, kCount };
}
namespace record_slot {
enum : std::uint8_t { kName, kCount };
}

struct FieldScan {
  std::uint64_t present = 0;          // bit per field index
  std::vector<std::int16_t> fieldOf;  // per tag of the record: its field index or -1
  bool markers = false;               // the record has subclass markers
  bool unreadMarkers = false;         // an R12 record with 100 groups, which it does not read as markers
};

// One bit per slot (a type has at most 64 of them).
using SlotMask = std::uint64_t;

// Where the groups of a record stand, per slot: the offset from the record's 0 group of the tag that
// holds it (0: no group does). Kept with an object built from a record of a comparableInPlace type,
// so that writing it after a change needs neither a scan of the record nor a look at its other values.
struct GroupPlaces {
  static constexpr std::size_t kSlots = 30;
  std::array<std::uint8_t, kSlots> tagOf{};
  bool known = false;
  bool markers = false;  // the record has subclass markers, as readFields read it (FieldScan::markers)
};

// One record of a file: the tags [begin, end) of `file`, from its 0 group, and for writing it what is
// known of them: where its modelled groups stand (kept by the object built from it; null: the writer
// scans the record) and the descriptor of the object or piece it holds.
struct Record {
  const TagFile& file;
  std::size_t begin = 0, end = 0;
  const GroupPlaces* places = nullptr;
  const RecordDescriptor* descriptor = nullptr;
};

// Reads the modelled groups of `record` into `out` (which starts from the type's defaults). False
// with "line N: ..." on a value that is not a number.
bool readFields(const TypeDef& def, const Record& record, const TextCodec& codec, bool r12, Slots& out, FieldScan& scan,
                std::string& error);

// What checkFields read of a record, by slot (of the first 64): the numbers as the groups give
// them (angles in degrees, an integer as a number), and of a text slot the size of its value in
// the file; `given` has a bit per slot a group set. Where a group is given twice, the last counts,
// as in readFields.
struct CheckedValues {
  std::array<double, 64> value;
  SlotMask given = 0;
};

// Checks, as readFields would, that every modelled number of the entity record reads, and gives its
// paper-space flag and, where asked, the values it read. False with readFields' message.
bool checkFields(const TypeDef& def, const Record& record, bool r12, long long& paperSpace, std::string& error,
                 CheckedValues* values = nullptr);

// The places of the groups `scan` (of readFields) found in `record`; unknown for a type that is not
// comparableInPlace or has more slots than kSlots, for a record of 256 tags or more, for an R12 record
// with 100 groups (the writer adds a missing group after one, which the places do not say), and when
// `scan` is not of that record.
GroupPlaces placeGroups(const TypeDef& def, const Record& record, const FieldScan& scan);

// Names of symbol table records by id, looked up once per save or load.
class NameCache {
 public:
  // The record's name; empty for a null or unknown id.
  const std::u16string& nameOf(ZcDbObjectId id);
  // A text style's id by name in `db` (null when the drawing has no such style).
  ZcDbObjectId styleId(ZcDbDatabase* db, const std::u16string& name);

 private:
  std::unordered_map<ZcDbStub*, std::u16string> mNames;
  std::unordered_map<std::u16string, ZcDbObjectId> mStyles;
};

// Where and how records are written: the output, the file's text encoding and version.
struct WriteTarget {
  TagWriter& w;
  const TextCodec& codec;
  bool r12;
  bool usesHandles;
  std::string valueText{};  // where a value's text is made before it is written
};

// How a record is written for an object.
struct WriteAs {
  // The tags are the object's own: its handle and owner groups, reactors and extension dictionary
  // stay as the record has them. Else (a copy's tags, a template) `handle` is written in place of the
  // record's, and its reactors and extension dictionary are dropped.
  bool original = false;
  std::uint64_t handle = 0;
  // The owner written in place of the record's; 0: the record's stays (a template's has none).
  std::uint64_t owner = 0;
  // The entity lives in a paper-space layout.
  bool paperSpace = false;
  // The object was built from this record: where it refused one of the record's values (a colour of
  // 300), the record's value stands while the object keeps its own. False: the object's values are
  // written as they are (a template, a BLOCK).
  bool builtFromRecord = false;
  // What the object's setters said they changed since the drawing was read (zrxhost::Edit bits),
  // where they tell (`editsTold`); `namesAsRead`: no symbol table changed since, so neither did a
  // name the object finds through an id.
  bool editsTold = false;
  std::uint32_t edits = 0;
  bool namesAsRead = false;
};

// Values of a record an object refused when it was built, by slot, with what the object holds instead.
using RefusedValues = std::vector<std::pair<std::uint8_t, SlotValue>>;

// Writes modelled records brought up to date with the values of their objects: a group whose value
// did not change keeps its text, a changed one is written anew, a missing one that now differs from
// what the record implied is added where it belongs, and what the host does not model is copied.
class RecordWriter {
 public:
  // `db`: the drawing the objects live in (the text styles of values an object might refuse).
  // `compareEveryValue`: compare the whole record with the object, trusting neither the edits setters
  // told nor which values an object keeps as read (the writer's check: both ways write the same).
  RecordWriter(TagWriter& out, const TextCodec& codec, bool r12, bool usesHandles, ZcDbDatabase* db,
               bool compareEveryValue);

  // Writes `record`, whose descriptor is the object's, with the values of `object`. Of the ways that
  // write what comparing every value writes it takes the quickest: with the edits told and the
  // group places known, only the edited groups are looked at; else the record is compared with the
  // object where its values stand, and only where a value the object refused may matter is the
  // record read into slots and the refused values worked out.
  void write(const Record& record, const ZcDbObject& object, const WriteAs& as);
  // Writes `record` with `values`, for pieces that are not objects of their own (a VERTEX, an ENDBLK).
  void write(const Record& record, const Slots& values, const WriteAs& as);

 private:
  // The ways, quickest first. With the edits told: compares only the edited groups and replaces those
  // that differ; false, with nothing written, where that cannot be sure to write what comparing
  // every value writes.
  bool writeEdited(const Record& record, const RecordDescriptor& d, const ZcDbObject& object, const WriteAs& as);
  // With the object's values in mNow: compares the record's values where they stand, else reads them.
  void writeCompared(const Record& record, const RecordDescriptor& d, const WriteAs& as);
  // With the record read (`was`, mScan): the file's values the object refused stand in `now`.
  void writeFromRead(const Record& record, const WriteAs& as, const Slots& was, const Slots& now,
                     const RefusedValues* refused);
  // The record group by group, the `differs` slots written from `now` and missing groups added.
  // `objectValues`: the object's own values, where `now` holds file values the object refused.
  void writeDiffering(const Record& record, const WriteAs& as, SlotMask differs, const Slots& now,
                      const Slots* objectValues);
  // The record as it stands but for the groups of the `differs` slots (mScan's), where each has its
  // group and no aligned text moved; false, with nothing written, elsewhere.
  bool replaceDiffering(const Record& record, SlotMask differs, const Slots& now);
  // The same for the `edited` slots at the record's group places, each compared with `now` first.
  bool replaceEdited(const Record& record, const RecordDescriptor& d, SlotMask edited, const Slots& now);

  WriteTarget mTarget;
  ZcDbDatabase* mDb;
  const bool mCompareEveryValue;
  NameCache mNames;
  Slots mNow, mRead, mAdjusted;
  FieldScan mScan;
  RefusedValues mRefused;
  std::vector<std::pair<std::string_view, int>> mMarkerCounts;  // subclass markers met, with their count
};

// The R12 names of the layout blocks and back.
std::u16string blockNameFromFile(std::u16string name, bool r12);
std::u16string blockNameToFile(const std::u16string& name, bool r12);

}  // namespace zrxhost::dxf
