// Modelled groups and their slots: how a record type's groups are described, read and rewritten.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dxf/dxf_tags.h"

namespace zrxhost::dxf {

class TextCodec;
struct TypeDef;

// How a group's text maps to a slot value. Angles are degrees in the file and radians in slots.
// Dir* are the x axis of an MTEXT (they give its rotation); Pos* are a TEXT's position, which the
// host derives from the alignment point when the text is not left-aligned on its baseline.
enum class Kind : std::uint8_t { Real, Angle, Int, Flag, Text, Chunks, BlockName, DirX, DirY, DirZ, PosX, PosY, PosZ };

enum class RecordType { Text, MText, Line, Insert, Poly3d, Vertex, Foreign, Block, Layer, Style, BlockRecord };

struct FieldDef {
  const char* subclass;  // the subclass marker it follows (R2000 on); "Name#2" is the 2nd such marker
  short code;
  std::uint8_t slot;
  Kind kind;
  long long mask = 0;           // Flag: the bit of the group's integer
  std::uint8_t subclassId = 0;  // index of `subclass` in TypeDef::subclasses
  std::int16_t nextSameCode = -1;
};

struct SlotValue {
  double d = 0;
  long long i = 0;
  std::u16string s;
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

struct TypeDef {
  RecordType type;
  std::vector<FieldDef> fields;  // in the order a writer puts them
  std::vector<SlotValue> defaults;
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

// `t` with the lookups made once: subclass ids, the first field of each group code, the text slots.
TypeDef indexFields(TypeDef t);
// Sets `s` to the type's defaults, reusing its memory.
void resetSlots(Slots& s, const TypeDef& def);

// Slots every entity type starts with.
enum CommonSlot : std::uint8_t { kLayer, kLinetype, kColor, kLtScale, kPaperSpace, kFirstOwnSlot };
namespace text_slot {
enum : std::uint8_t {
  kThickness = 5,
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
  kPosX = 5,
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
enum : std::uint8_t { kThickness = 5, kStartX, kStartY, kStartZ, kEndX, kEndY, kEndZ, kNormX, kNormY, kNormZ, kCount };
}
namespace insert_slot {
enum : std::uint8_t {
  kName = 5,
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
enum : std::uint8_t { kClosed = 5, kCount };
}
namespace vertex_slot {
enum : std::uint8_t { kX = 5, kY, kZ, kCount };
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

// Reads the modelled groups of the record [begin, end) (its 0 group first) into `out` (which starts
// from the type's defaults). False with "line N: ..." on a value that is not a number.
bool readFields(const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end, const TextCodec& codec,
                bool r12, Slots& out, FieldScan& scan, std::string& error);

// Checks, as readFields would, that every modelled number of the entity record [begin, end) reads,
// and gives its paper-space flag; reads nothing else. False with readFields' message.
bool checkFields(const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end, bool r12,
                 long long& paperSpace, std::string& error);

struct WriteTarget {
  TagWriter& w;
  const TextCodec& codec;
  bool r12;
  bool usesHandles;
  std::string valueText{};  // where a value's text is made before it is written
};

// One bit per slot (a type has at most 64 of them).
using SlotMask = std::uint64_t;

// What compareFields found: the slots whose value in the record differs from the object's, and of
// those the ones whose value in the record is infinite.
struct SlotComparison {
  SlotMask differs = 0;
  SlotMask infinite = 0;
};

// Where the groups of a record stand, per slot: the offset from the record's 0 group of the tag that
// holds it (0: no group does). Kept with an object built from a record of a comparableInPlace type,
// so that writing it after a change needs neither a scan of the record nor a look at its other values.
struct GroupPlaces {
  static constexpr std::size_t kSlots = 24;
  std::array<std::uint8_t, kSlots> tagOf{};
  bool known = false;
  bool markers = false;  // the record has subclass markers, as readFields read it (FieldScan::markers)
};

// The places of the groups `scan` (of readFields) found in the record [begin, end); unknown for a type
// that is not comparableInPlace or has more slots than kSlots, for a record of 256 tags or more, for
// an R12 record with 100 groups (writeComparedFields adds a missing group after one, which the places
// do not say), and when `scan` is not of that record.
GroupPlaces placeGroups(const TypeDef& def, std::size_t begin, std::size_t end, const FieldScan& scan);

// For the writer: compares the modelled groups of the record [begin, end) with `now` without reading
// them into slots, and scans the record as readFields does. False when readFields must do it: the
// type is not comparableInPlace, or a value is not a number or is NaN.
bool compareFields(const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end, const TextCodec& codec,
                   bool r12, const Slots& now, FieldScan& scan, SlotComparison& out);

// Writes the record [begin, end) of `file` with the values of `now`: groups whose value has not
// changed keep their text, changed ones are written from `now`, missing ones that now differ from
// what the file implied are added where they belong. `original`: the tags are this object's own
// (else its handle, owner, reactors and extension dictionary are replaced or dropped).
void writeFields(WriteTarget& t, const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end,
                 bool original, std::uint64_t handle, std::uint64_t owner, const Slots& now,
                 const std::vector<std::pair<std::uint8_t, SlotValue>>* refused = nullptr);
// The same for a record whose groups the caller has read already (`was`, `scan`, by readFields).
void writeReadFields(WriteTarget& t, const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end,
                     bool original, std::uint64_t handle, std::uint64_t owner, const Slots& was, const FieldScan& scan,
                     const Slots& now, const std::vector<std::pair<std::uint8_t, SlotValue>>* refused = nullptr);
// The same for a record whose differing slots the caller knows (by compareFields). `objectValues`:
// the object's own values, where `now` holds file values the object refused in their place.
void writeComparedFields(WriteTarget& t, const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end,
                         bool original, std::uint64_t handle, std::uint64_t owner, const FieldScan& scan,
                         SlotMask differs, const Slots& now, const Slots* objectValues = nullptr);

// For the record of an object written with its own handle and owner, whose differing slots the
// caller knows (by compareFields): writes the record as it stands but for the groups of those slots,
// which are written from `now`. Does so, and says true, where that is what writeComparedFields would
// write: every differing slot has its group in the record and no aligned text moved. Else writes
// nothing and says false.
bool writeChangedGroupsInPlace(WriteTarget& t, const TypeDef& def, const TagFile& file, std::size_t begin,
                               std::size_t end, const FieldScan& scan, SlotMask differs, const Slots& now);

// Whether an object built from a record keeps `value` in `slot` as it was read: a value it does not
// refuse or settle otherwise (see RecordDescriptor::keepsAsRead).
using KeepsAsRead = bool (*)(std::uint8_t slot, const SlotValue& value);

// Of `slots`, those whose value in the record [begin, end) of a comparableInPlace type (its group's,
// else the type's default) an object keeps as read. `scan` is compareFields' of the record.
SlotMask slotsKeptAsRead(const TypeDef& def, const TagFile& file, std::size_t begin, const FieldScan& scan,
                         SlotMask slots, const TextCodec& codec, KeepsAsRead keeps);

// For the record of an object written with its own handle and owner, whose values can differ from the
// record's only in the slots `edited` (its setters said which they changed): compares those slots'
// groups with `now` and writes the record as it stands but for the groups that differ, written from
// `now`. Does so, and says true, where that is what writeComparedFields would write: no refused value
// can matter (every slot that differs is of `exact`, values the object keeps exactly, or has a value
// in the file that `keeps` says the object kept), every edited slot whose value left its default has a
// group, no group's value is infinite or unreadable, and no aligned text moved. Else writes nothing
// and says false. `now` needs only the `edited` slots and editedGroupsAlsoRead().
bool writeEditedGroups(WriteTarget& t, const TypeDef& def, const TagFile& file, std::size_t begin, std::size_t end,
                       const GroupPlaces& places, SlotMask edited, SlotMask exact, KeepsAsRead keeps, const Slots& now);
// The slots writeEditedGroups reads besides the `edited` ones of a record whose groups stand at
// `places`: a text's alignment modes, which say whether its position follows from the rest, unless
// the record has no group for them and they were not edited (they are then the defaults).
SlotMask editedGroupsAlsoRead(const TypeDef& def, const GroupPlaces& places, SlotMask edited);

// The R12 names of the layout blocks and back.
std::u16string blockNameFromFile(std::u16string name, bool r12);
std::u16string blockNameToFile(const std::u16string& name, bool r12);

}  // namespace zrxhost::dxf
