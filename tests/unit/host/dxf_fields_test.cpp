// Unit tests of rewriting a changed record: the quicker ways must write what reading it into slots writes.
#include "dxf/dxf_fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

#include "dxf/dxf_objects.h"
#include "dxf/dxf_text.h"
#include "zrx/db.h"
#include "zrxhost/dxf.h"
#include "zrxhost/edits.h"

using namespace zrxhost::dxf;

namespace {

// A record from "code value" lines (the value may hold blanks) in the layout writers use, scanned as
// the reader scans a file.
TagFile record(std::initializer_list<const char*> lines) {
  TagFile f;
  std::string text;
  for (std::string_view line : lines) {
    std::size_t space = line.find(' ');
    std::string code(line.substr(0, space));
    text += std::string(code.size() < 3 ? 3 - code.size() : 0, ' ') + code + "\n";
    text += std::string(space == std::string_view::npos ? "" : line.substr(space + 1)) + "\n";
  }
  f.buffer = std::move(text);
  std::string error;
  EXPECT_TRUE(scanTags(f, error)) << error;
  return f;
}

struct Case {
  const char* name;
  RecordType type;
  bool r12;
  const char* codePage;  // empty: UTF-8
  TagFile file;
};

std::vector<Case> cases() {
  std::vector<Case> all;
  all.push_back({"plain text", RecordType::Text, false, "",
                 record({"0 TEXT", "5 1D", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbText", "10 1.5", "20 0.0",
                         "30 0.0", "40 1.25", "1 Text 1", "50 30.0", "100 AcDbText"})});
  all.push_back({"numbers written other ways", RecordType::Text, false, "",
                 record({"0 TEXT", "5 2A", "330 1F", "100 AcDbEntity", "8 0", "62 1.0", "100 AcDbText", "10  1.50",
                         "20 +2", "30 -0.0", "40 1.25e0", "1 Text", "50 30", "100 AcDbText"})});
  all.push_back(
      {"aligned text", RecordType::Text, false, "",
       record({"0 TEXT", "5 2B", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbText", "10 1.0", "20 2.0", "30 0.0",
               "40 2.5", "1 Middle", "72 1", "11 3.0", "21 2.0", "31 0.0", "100 AcDbText", "73 2"})});
  all.push_back({"R12 text without markers", RecordType::Text, true, "ANSI_1252",
                 record({"0 TEXT", "8 WALLS", "10 4.0", "20 5.0", "30 0.0", "40 0.5", "1 R12"})});
  all.push_back({"reactors, duplicates and extended data", RecordType::Text, false, "",
                 record({"0 TEXT",         "5 2C",     "102 {ACAD_REACTORS",
                         "330 1F",         "102 }",    "330 1F",
                         "100 AcDbEntity", "8 0",      "100 AcDbText",
                         "10 1.0",         "20 1.0",   "30 0.0",
                         "40 1.0",         "40 9.0",   "1 Twice",
                         "100 AcDbText",   "1001 APP", "1000 kept",
                         "1010 1.0",       "1020 2.0", "1030 3.0"})});
  all.push_back({"code page text with an escape", RecordType::Text, false, "ANSI_1252",
                 record({"0 TEXT", "5 2D", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbText", "10 0.0", "20 0.0",
                         "30 0.0", "40 1.0", "1 Caf\xE9 \\U+4E2D", "100 AcDbText"})});
  all.push_back({"not a number", RecordType::Text, false, "",
                 record({"0 TEXT", "5 2E", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbText", "10 1.0", "20 1.0",
                         "30 0.0", "40 abc", "1 Bad", "100 AcDbText"})});
  all.push_back({"not a number that reads as one", RecordType::Text, false, "",
                 record({"0 TEXT", "5 2F", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbText", "10 nan", "20 inf",
                         "30 0.0", "40 1.0", "1 NaN", "100 AcDbText"})});
  all.push_back({"line", RecordType::Line, false, "",
                 record({"0 LINE", "5 30", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbLine", "10 0.0", "20 0.0",
                         "30 0.0", "11 10.0", "21 5.0", "31 0.0"})});
  all.push_back({"insert", RecordType::Insert, false, "",
                 record({"0 INSERT", "5 31", "330 1F", "100 AcDbEntity", "8 0", "100 AcDbBlockReference", "2 DOOR",
                         "10 1.0", "20 1.0", "30 0.0", "41 2.0", "50 90.0"})});
  return all;
}

struct Change {
  const char* name;
  std::function<void(Slots&, RecordType)> apply;
};

std::vector<Change> changes() {
  // Slot numbers differ by type: each change uses the type's own.
  auto posX = [](RecordType t) -> std::uint8_t {
    if (t == RecordType::Line) return line_slot::kStartX;
    if (t == RecordType::Insert) return insert_slot::kPosX;
    return text_slot::kPosX;
  };
  return {
      {"nothing", [](Slots&, RecordType) {}},
      {"moved", [=](Slots& s, RecordType t) { s[posX(t)].d += 0.5; }},
      {"moved to -0", [=](Slots& s, RecordType t) { s[posX(t)].d = -0.0; }},
      {"turned",
       [](Slots& s, RecordType t) {
         if (t == RecordType::Text) s[text_slot::kRotation].d = 0.25;
       }},
      {"taller (a value the object may refuse)",
       [](Slots& s, RecordType t) {
         if (t == RecordType::Text) s[text_slot::kHeight].d *= 2;
       }},
      {"thicker (a group the record may lack)",
       [](Slots& s, RecordType t) {
         if (t == RecordType::Text) s[text_slot::kThickness].d = 1;
       }},
      {"other layer", [](Slots& s, RecordType) { s[kLayer].s = u"Walls \u4E2D"; }},
      {"aligned differently",
       [](Slots& s, RecordType t) {
         if (t == RecordType::Text) s[text_slot::kHMode].i = 2;
       }},
  };
}

// The object a command would leave with the values `now`: built from them as the reader builds one.
std::unique_ptr<ZcDbObject> objectWith(const RecordDescriptor& d, const Slots& now) {
  std::unique_ptr<ZcDbObject> object(d.make());
  NameCache names;
  slotsToObject(d, now, *object, nullptr, names);
  return object;
}

// The record `file` written for `object` as `as` says, by a writer that compares every value or not.
std::string written(const RecordDescriptor& d, const TagFile& file, const TextCodec& codec, bool r12,
                    const ZcDbObject& object, const WriteAs& as, bool compareEveryValue,
                    const GroupPlaces* places = nullptr) {
  std::string out;
  TagWriter writer(out);
  RecordWriter records(writer, codec, r12, true, nullptr, compareEveryValue);
  records.write({file, 0, file.tags.size(), places, &d}, object, as);
  return out;
}

// Every record, changed in every way, and its object written back: with the group places and every
// edit told, or compared where the values stand, the writer writes what comparing every value writes;
// and an object left as read is written as the record stands, whatever the object refused.
TEST(DxfFields, EveryWayWritesWhatComparingEveryValueWrites) {
  for (const Case& c : cases()) {
    const RecordDescriptor& d = descriptor(c.type);
    ASSERT_LE(d.fields.defaults.size(), 64u) << "a slot mask holds 64 slots";
    ASSERT_LE(d.fields.fields.size(), 64u) << "a field mask holds 64 fields";
    TextCodec codec(*c.codePage == '\0', c.codePage);
    const Record record{c.file, 0, c.file.tags.size()};
    for (const Change& change : changes()) {
      SCOPED_TRACE(std::string(c.name) + ", " + change.name);
      Slots now;
      FieldScan scan;
      std::string error;
      const bool readable = readFields(d.fields, record, codec, c.r12, now, scan, error);
      const GroupPlaces places = placeGroups(d.fields, record, scan);
      change.apply(now, c.type);
      const std::unique_ptr<ZcDbObject> object = objectWith(d, now);

      WriteAs as;
      as.original = true;
      as.builtFromRecord = true;
      const std::string expected = written(d, c.file, codec, c.r12, *object, as, true);
      EXPECT_EQ(written(d, c.file, codec, c.r12, *object, as, false), expected);
      as.editsTold = true;
      as.edits = ~std::uint32_t{0};
      EXPECT_EQ(written(d, c.file, codec, c.r12, *object, as, false, &places), expected);
      if (readable && std::string_view(change.name) == "nothing") {
        EXPECT_EQ(expected, c.file.buffer.view());
      }
    }
  }
}

// A moved text is written with only the lines of its position changed, whichever way the writer takes.
TEST(DxfFields, AMovedTextChangesOnlyItsPosition) {
  const RecordDescriptor& d = descriptor(RecordType::Text);
  TextCodec codec(true, "");
  const std::vector<Case> all = cases();
  const TagFile& plain = all[0].file;
  const Record record{plain, 0, plain.tags.size()};
  Slots now;
  FieldScan scan;
  std::string error;
  ASSERT_TRUE(readFields(d.fields, record, codec, false, now, scan, error)) << error;
  const GroupPlaces places = placeGroups(d.fields, record, scan);
  now[text_slot::kPosX].d = 2.0;
  const std::unique_ptr<ZcDbObject> object = objectWith(d, now);
  WriteAs as;
  as.original = true;
  as.builtFromRecord = true;
  for (bool told : {false, true}) {
    as.editsTold = told;
    as.edits = zrxhost::kEditPositionX;
    const std::string moved = written(d, plain, codec, false, *object, as, false, &places);
    std::string expected(plain.buffer.view());
    const std::string_view read = " 10\n1.5\n";
    expected.replace(expected.find(read), read.size(), " 10\n2.0\n");
    EXPECT_EQ(moved, expected) << told;
  }
}

// Plain decimals are parsed by a direct path: it must give the same double as a full parse, to the
// last bit, for every length of digits and place of the point, and leave other forms to the full one.
TEST(DxfFields, DecimalsReadAsAFullParseReadsThem) {
  const TypeDef& def = typeDef(RecordType::Line);
  TextCodec codec(true, "");
  std::mt19937_64 random(17);
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "0.0",
                                    "-0.0",
                                    "1.",
                                    ".5",
                                    "+1.5",
                                    " 2.5",
                                    "2.5 ",
                                    "1e3",
                                    "-1E-3",
                                    "0.1",
                                    "0.3",
                                    "123456789012345",
                                    "-1234567890123456",
                                    "0.000000000000001",
                                    "9007199254740993",
                                    "99999999999999999999",
                                    "1.7976931348623157e308",
                                    "4.9e-324",
                                    "00012.50"};
  for (int i = 0; i < 3000; ++i) {
    const int digits = 1 + static_cast<int>(random() % 18);
    std::string s = random() % 2 ? "-" : "";
    const int point = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
    for (int k = 0; k < digits; ++k) {
      if (k == point && k > 0) s += '.';
      s += static_cast<char>('0' + random() % 10);
    }
    texts.push_back(s);
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    TagFile file = record({"0 LINE", "8 0", ("10 " + text).c_str()});
    Slots slots;
    FieldScan scan;
    std::string error;
    std::string_view trimmed = TagFile::trimmed(text);
    if (!trimmed.empty() && trimmed.front() == '+') trimmed.remove_prefix(1);
    double expected = 0;
    auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), expected);
    const bool parses = ec == std::errc() && end == trimmed.data() + trimmed.size();
    ASSERT_EQ(readFields(def, {file, 0, file.tags.size()}, codec, true, slots, scan, error), parses) << error;
    if (parses) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(slots[line_slot::kStartX].d), std::bit_cast<std::uint64_t>(expected));
    }
  }
}

// A changed number is written in the shortest text that reads back as the value, whichever way the
// writer makes that text: checked on decimals of every length, sums that do not land on a short
// decimal, integers ending in zeros and the edges of every range.
TEST(DxfFields, ChangedNumbersAreWrittenInTheirShortestForm) {
  const RecordDescriptor& d = descriptor(RecordType::Line);
  TextCodec codec(true, "");
  const TagFile file = record({"0 LINE", "8 0", "10 0.25", "20 0.0", "30 0.0"});
  std::vector<double> values = {
      0.0,           -0.0,  1.0,    10.0,      10000.0,   100000.0, 120000.0,          1200000.0,        12000000.0,
      990.0,         0.001, 0.0012, 0.00123,   0.1 + 0.2, 1e11,     1e11 - 0.5,        99999999999.9999, 1e-3 - 1e-12,
      123456789.125, -2.5,  7e-4,   1.0 / 3.0, 2.675,     1e15,     4503599627370497.0};
  std::mt19937_64 random(29);
  for (int i = 0; i < 20000; ++i) {
    const double whole = static_cast<double>(random() % 100000000000ull);
    const double places = std::pow(10.0, static_cast<double>(random() % 6));
    const double decimals = static_cast<double>(random() % static_cast<std::uint64_t>(places)) / places;
    const double scale[] = {1, 1e-3, 1e-6, 1e3};
    double v = (whole / std::pow(10.0, static_cast<double>(random() % 12)) + decimals) * scale[random() % 4];
    if (random() % 2) v = -v;
    values.push_back(v);
    values.push_back(v + 0.5);
  }
  // The shortest text that reads back as the value, integers with ".0" and no "-0.0".
  auto shortest = [](double v) {
    char text[32];
    const auto printed = std::to_chars(text, text + sizeof text, v == 0 ? 0.0 : v);
    std::string s(text, printed.ptr);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
  };
  WriteAs as;
  as.original = true;
  as.builtFromRecord = true;
  for (double v : values) {
    const std::string expected = shortest(v);
    Slots now;
    FieldScan scan;
    std::string error;
    ASSERT_TRUE(readFields(d.fields, {file, 0, file.tags.size()}, codec, true, now, scan, error));
    now[line_slot::kStartX].d = v;
    const std::string out = written(d, file, codec, true, *objectWith(d, now), as, false);
    const std::size_t at = out.find(" 10\n");
    ASSERT_NE(at, std::string::npos);
    const std::size_t from = at + 4;
    EXPECT_EQ(out.substr(from, out.find('\n', from) - from), expected) << v;
  }
}

// Through the whole writer: every entity of a drawing moved (a text with a value its object refuses,
// a line in paper space, a polyline, an MTEXT) changes the lines of their coordinates and no other.
TEST(DxfFields, MovingEveryEntityChangesOnlyTheirCoordinates) {
  std::ifstream in(TEST_DATA_DIR "/r2000_drawing.dxf", std::ios::binary);
  std::ostringstream whole;
  whole << in.rdbuf();
  const std::string text = whole.str();
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(text, error);
  ASSERT_TRUE(db) << error.message;
  for (ZcDbObjectId space : {db->modelSpaceId(), db->paperSpaceId()}) {
    ZcDbBlockTableRecord* rec = nullptr;
    ASSERT_EQ(zcdbOpenObject(rec, space, ZcDb::kForRead), Zcad::eOk);
    const std::vector<ZcDbObjectId> ids = rec->entityIds();
    rec->close();
    for (ZcDbObjectId id : ids) {
      ZcDbEntity* ent = nullptr;
      ASSERT_EQ(zcdbOpenObject(ent, id, ZcDb::kForWrite), Zcad::eOk);
      if (auto* t = ZcDbText::cast(ent)) t->setPosition(t->position() + ZcGeVector3d(0.5, 0, 0));
      if (auto* l = ZcDbLine::cast(ent)) l->setEndPoint(l->endPoint() + ZcGeVector3d(1, 0, 0));
      if (auto* m = ZcDbMText::cast(ent)) m->setLocation(m->location() + ZcGeVector3d(0, 0.25, 0));
      ent->close();
    }
  }
  std::istringstream before(text), after(zrxhost::writeDxfToString(*db));
  std::vector<std::string> changed;
  std::size_t lineCount = 0;
  for (std::string a, b; std::getline(before, a) && std::getline(after, b); ++lineCount)
    if (a != b) changed.push_back(a + " -> " + b);
  EXPECT_EQ(lineCount, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  const std::vector<std::string> expected = {"1.10000000000000001 -> 1.6", "5.0 -> 5.25", "9.0 -> 10.0"};
  EXPECT_EQ(changed, expected);
}

}  // namespace

// The probes for the values of `slot`: texts, integers, flags or numbers, as its first field reads it.
const std::vector<SlotValue>& probesOf(const TypeDef& def, std::size_t slot, const std::vector<SlotValue>& reals,
                                       const std::vector<SlotValue>& integers, const std::vector<SlotValue>& texts) {
  static const std::vector<SlotValue> none, flags = {{0, 0, {}}, {0, 1, {}}};
  for (const FieldDef& f : def.fields)
    if (f.slot == slot) {
      if ((def.entitySlots >> slot & 1) != 0 && slot == kPaperSpace) return none;  // the writer's: its owner's
      if (f.kind == Kind::Flag) return flags;
      if (f.kind == Kind::Int) return integers;
      if (f.kind == Kind::Text || f.kind == Kind::Chunks || f.kind == Kind::BlockName) return texts;
      return reals;
    }
  return reals;
}

// What each field declares its object keeps of a value (kept, refused, settled) must be what an
// object made from that value holds: tried at the edges of what the setters take, slot by slot.
TEST(DxfFields, DeclaredRefusalsAreWhatAnObjectMadeFromTheValuesHolds) {
  const double inf = std::numeric_limits<double>::infinity(), degree = M_PI / 180;
  std::vector<SlotValue> reals, integers, texts;
  for (double d : {0.0, -1.0, 1e-300, 0.25, 2.5, 4.5, 85 * degree, 85.001 * degree, 359 * degree, inf, -inf})
    reals.push_back({d, 0, {}});
  for (long long i : {-300LL, -7LL, 0LL, 1LL, 3LL, 6LL, 9LL, 10LL, 257LL, 70000LL}) integers.push_back({0, i, {}});
  for (std::u16string s : {std::u16string(), std::u16string(u"standard"), std::u16string(u"A\0B", 3)})
    texts.push_back({0, 0, s});

  auto db = std::make_unique<ZcDbDatabase>();
  NameCache names;
  RefusedValues declared;
  Slots kept;
  for (RecordType type : {RecordType::Text, RecordType::MText, RecordType::Line, RecordType::Insert, RecordType::Poly3d,
                          RecordType::Layer, RecordType::Style, RecordType::BlockRecord}) {
    const RecordDescriptor& d = descriptor(type);
    for (std::size_t slot = 0; slot < d.fields.defaults.size(); ++slot)
      for (const SlotValue& probe : probesOf(d.fields, slot, reals, integers, texts)) {
        Slots read;
        read.v = d.fields.defaults;
        read[slot] = probe;
        refusedValues(d, read, db.get(), names, declared);
        std::unique_ptr<ZcDbObject> made(d.make());
        slotsToObject(d, read, *made, db.get(), names);
        objectToSlots(d, *made, kept, names, d.describesEntities() && read[kPaperSpace].i != 0);
        RefusedValues expected;
        for (std::size_t s = 0; s < read.v.size(); ++s)
          if (!sameSlot(read[s], kept[s])) expected.emplace_back(static_cast<std::uint8_t>(s), kept[s]);
        EXPECT_EQ(declared.size(), expected.size())
            << d.dxfName << " slot " << slot << " probe " << probe.d << "/" << probe.i << "/" << probe.s.size();
        if (declared.size() != expected.size()) continue;
        for (std::size_t k = 0; k < expected.size(); ++k) {
          EXPECT_EQ(declared[k].first, expected[k].first) << d.dxfName << " slot " << slot;
          EXPECT_TRUE(sameSlot(declared[k].second, expected[k].second)) << d.dxfName << " slot " << slot;
        }
      }
  }
}
