// Unit tests of reading DXF into the database and writing it back: values, changes, handles, errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "dxf/dxf_tags.h"
#include "dxf/dxf_write.h"
#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"

namespace {

// A drawing from "code value" lines (the value may hold spaces), in the layout writers use.
std::string dxf(std::initializer_list<const char*> lines) {
  std::string out;
  for (std::string_view line : lines) {
    std::size_t space = line.find(' ');
    std::string code(line.substr(0, space));
    out += std::string(code.size() < 3 ? 3 - code.size() : 0, ' ') + code + "\n";
    out += std::string(space == std::string_view::npos ? "" : line.substr(space + 1)) + "\n";
  }
  return out;
}

// A small R2000 drawing in the layout writers use: header, tables, blocks, a text, an MText in a
// code page with a Unicode escape, a polyline with its vertices and a line.
const std::string& r2000Drawing() {
  static const std::string text = [] {
    std::ifstream in(TEST_DATA_DIR "/r2000_drawing.dxf", std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }();
  return text;
}

std::unique_ptr<ZcDbDatabase> read(const std::string& text) {
  zrxhost::DxfError error;
  auto db = zrxhost::readDxfFromString(text, error);
  EXPECT_TRUE(db) << error.message;
  return db;
}

// The entities of one space of the database (the id names it).
std::vector<ZcDbObjectId> entities(ZcDbDatabase&, ZcDbObjectId space) {
  ZcDbBlockTableRecord* rec = nullptr;
  EXPECT_EQ(zcdbOpenObject(rec, space, ZcDb::kForRead), Zcad::eOk);
  std::vector<ZcDbObjectId> ids = rec->entityIds();
  rec->close();
  return ids;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The lines that differ between two texts of the same length in lines.
std::vector<std::string> changedLines(const std::string& a, const std::string& b) {
  auto x = lines(a), y = lines(b);
  std::vector<std::string> out;
  EXPECT_EQ(x.size(), y.size());
  for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i)
    if (x[i] != y[i]) out.push_back(x[i] + " -> " + y[i]);
  return out;
}

// The drawing written, as the writer writes it or (`compareAll`) comparing every value of every
// changed record with its object, trusting neither setters' edits nor values kept as read.
std::string writtenComparingEveryValue(ZcDbDatabase& db, bool compareAll) {
  zrxhost::dxf::compareEveryValue(compareAll);
  std::string out = zrxhost::writeDxfToString(db);
  zrxhost::dxf::compareEveryValue(false);
  return out;
}

TEST(DxfDatabase, UnchangedDrawingIsWrittenByteForByte) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  std::string once = zrxhost::writeDxfToString(*db);
  EXPECT_EQ(once, r2000Drawing());
  EXPECT_EQ(zrxhost::writeDxfToString(*db), once);
}

TEST(DxfDatabase, ModelledValuesAreRead) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  EXPECT_EQ(zrxhost::dxfVersion(*db), "AC1015");
  EXPECT_TRUE(db->tileMode());
  auto model = entities(*db, db->modelSpaceId());
  ASSERT_EQ(model.size(), 4u);
  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, model[0], ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(t->textZcString(), ZcString(L"caf\u00e9 \u4e2d"));
  EXPECT_EQ(t->position().x, 1.1);
  EXPECT_DOUBLE_EQ(t->rotation(), ZcGe::kPi / 6);
  EXPECT_EQ(t->layerName(), ZcString(L"Hidden"));
  EXPECT_EQ(t->colorIndex(), 1);
  EXPECT_EQ(t->handle(), 0x20u);
  t->close();
  ZcDbMText* m = nullptr;
  ASSERT_EQ(zcdbOpenObject(m, model[1], ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(m->contentsString(), ZcString(L"first part second part"));
  EXPECT_DOUBLE_EQ(m->rotation(), ZcGe::kPi / 2);  // from the x axis (0, 1)
  m->close();
  ZcDb3dPolyline* p = nullptr;
  ASSERT_EQ(zcdbOpenObject(p, model[2], ZcDb::kForRead), Zcad::eOk);
  ASSERT_EQ(p->vertices().size(), 2u);
  EXPECT_EQ(p->vertices()[1].z, 3.0);
  p->close();
  ZcDbForeignEntity* c = nullptr;
  ASSERT_EQ(zcdbOpenObject(c, model[3], ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(c->dxfType(), ZcString(L"CIRCLE"));
  c->close();
  EXPECT_EQ(entities(*db, db->paperSpaceId()).size(), 1u);

  ZcDbLayerTableRecord* hidden = nullptr;
  ASSERT_EQ(zcdbOpenObject(hidden, db->layerId(ZcString(L"Hidden")), ZcDb::kForRead), Zcad::eOk);
  EXPECT_TRUE(hidden->isOff());
  EXPECT_EQ(hidden->colorIndex(), 3);
  EXPECT_FALSE(hidden->isFrozen());
  hidden->close();
  ZcDbTextStyleTableRecord* style = nullptr;
  ASSERT_EQ(zcdbOpenObject(style, db->textStyleStandardId(), ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(style->xScale(), 0.75);
  EXPECT_DOUBLE_EQ(style->obliquingAngle(), ZcGe::kPi / 12);
  EXPECT_EQ(style->fileName(), ZcString(L"txt.shx"));
  EXPECT_EQ(style->bigFontFileName(), ZcString(L"gbcbig.shx"));
  style->close();
}

// Standalone entities stay records of the file until first asked for; writing the drawing does not
// build them, and when built they are what reading would have made, whatever the tables went
// through since.
TEST(DxfDatabase, EntitiesAreBuiltWhenFirstAskedFor) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  auto model = entities(*db, db->modelSpaceId());
  ASSERT_EQ(model.size(), 4u);
  auto pending = [](ZcDbObjectId id) {
    std::uint32_t index = 0;
    return zrxhost::pendingIndex(id, index);
  };
  EXPECT_TRUE(pending(model[0]));   // TEXT
  EXPECT_TRUE(pending(model[1]));   // MTEXT
  EXPECT_FALSE(pending(model[2]));  // a polyline gathers its vertices as it is read
  EXPECT_TRUE(pending(model[3]));   // CIRCLE, kept as tags
  EXPECT_EQ(zrxhost::writeDxfToString(*db), r2000Drawing());
  EXPECT_TRUE(pending(model[0]));

  // Renaming the text's style must not cut the text off from it.
  const ZcDbObjectId standard = db->textStyleStandardId();
  ZcDbTextStyleTableRecord* style = nullptr;
  ASSERT_EQ(zcdbOpenObject(style, standard, ZcDb::kForWrite), Zcad::eOk);
  EXPECT_FALSE(pending(model[0]));
  EXPECT_FALSE(pending(model[1]));
  EXPECT_EQ(style->setName(L"Renamed"), Zcad::eOk);
  style->close();
  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, model[0], ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(t->textStyle(), standard);
  EXPECT_EQ(t->textZcString(), ZcString(L"caf\u00e9 \u4e2d"));
  t->close();
}

TEST(DxfDatabase, ChangedValuesReplaceOnlyTheirGroups) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  auto model = entities(*db, db->modelSpaceId());
  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, model[0], ZcDb::kForWrite), Zcad::eOk);
  t->setTextString(ZcString(L"\u00e9\u9762"));
  t->setHeight(4.0);
  t->close();
  ZcDbLayerTableRecord* hidden = nullptr;
  ASSERT_EQ(zcdbOpenObject(hidden, db->layerId(ZcString(L"Hidden")), ZcDb::kForWrite), Zcad::eOk);
  hidden->setIsFrozen(true);
  hidden->setIsOff(false);
  hidden->close();
  std::vector<std::string> changed = changedLines(r2000Drawing(), zrxhost::writeDxfToString(*db));
  std::vector<std::string> expected = {"4 -> 5", "-3 -> 3", "2.5 -> 4.0", "caf\xE9 \\U+4E2D -> \xE9\\U+9762"};
  EXPECT_EQ(changed, expected);
}

TEST(DxfDatabase, LongerMTextIsSplitIntoPieces) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  ZcDbMText* m = nullptr;
  ASSERT_EQ(zcdbOpenObject(m, entities(*db, db->modelSpaceId())[1], ZcDb::kForWrite), Zcad::eOk);
  std::wstring big(600, L'x');
  m->setContents(ZcString(big.c_str()));
  m->close();
  std::string out = zrxhost::writeDxfToString(*db);
  EXPECT_NE(out.find("  3\n" + std::string(250, 'x') + "\n  3\n" + std::string(250, 'x') + "\n  1\n" +
                     std::string(100, 'x') + "\n"),
            std::string::npos);
  EXPECT_EQ(out.find("first part"), std::string::npos);
  auto again = read(out);
  ASSERT_TRUE(again);
  ASSERT_EQ(zcdbOpenObject(m, entities(*again, again->modelSpaceId())[1], ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(m->contentsString().length(), 600);
  m->close();
}

TEST(DxfDatabase, ErasedLeaveNewGetHandlesAndOwners) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  auto model = entities(*db, db->modelSpaceId());
  ZcDbEntity* circle = nullptr;
  ASSERT_EQ(zcdbOpenObject(circle, model[3], ZcDb::kForWrite), Zcad::eOk);
  circle->erase();
  circle->close();
  ZcDbBlockTableRecord* ms = nullptr;
  ASSERT_EQ(zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  auto* line = new ZcDbLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(3, 4, 0));
  ZcDbObjectId id;
  ASSERT_EQ(ms->appendZcDbEntity(id, line), Zcad::eOk);
  line->close();
  ms->close();
  EXPECT_GE(id.handle(), 0x40u);
  std::string out = zrxhost::writeDxfToString(*db);
  EXPECT_EQ(out.find("CIRCLE"), std::string::npos);
  std::string h = zrxhost::dxf::formatHandle(id.handle());
  std::string expected = "  0\nLINE\n  5\n" + h +
                         "\n330\n13\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\n0.0\n"
                         " 20\n0.0\n 30\n0.0\n 11\n3.0\n 21\n4.0\n 31\n0.0\n";
  std::size_t at = out.find(expected);
  ASSERT_NE(at, std::string::npos) << out.substr(out.find("ENTITIES"));
  // The new line follows the last model-space entity, before the paper-space one.
  EXPECT_LT(out.find("POLYLINE"), at);
  EXPECT_GT(out.find("\n 67\n1\n100\nAcDbLine"), at);
  // The seed moves past the new handle.
  std::size_t seed = out.find("$HANDSEED\n  5\n") + 14;
  EXPECT_GT(std::stoull(out.substr(seed, out.find('\n', seed) - seed), nullptr, 16), id.handle());
}

// Opening for write makes the writer rebuild a record from the object instead of copying it; an
// object left as it was must still come out as read, values it refused (the oblique of 89 degrees)
// included, in every kind of record the host models.
TEST(DxfDatabase, ObjectsOpenedForWriteButLeftAsTheyWereAreWrittenAsRead) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  for (ZcDbObjectId id : zrxhost::allObjectIds(*db)) {
    ZcDbObject* obj = nullptr;
    if (zcdbOpenObject(obj, id, ZcDb::kForWrite) != Zcad::eOk) continue;
    obj->close();
  }
  EXPECT_EQ(zrxhost::writeDxfToString(*db), r2000Drawing());

  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, entities(*db, db->modelSpaceId())[0], ZcDb::kForWrite), Zcad::eOk);
  t->setPosition(ZcGePoint3d(4, 2, 0));
  t->close();
  const std::vector<std::string> changed = changedLines(r2000Drawing(), zrxhost::writeDxfToString(*db));
  EXPECT_EQ(changed, (std::vector<std::string>{"1.10000000000000001 -> 4.0"}));
}

// The writer rewrites only the groups of the properties an entity's setters said they changed and
// trusts them for the rest. Each setter is checked against a write that trusts nothing and compares
// every value of the record. A setter that did not tell its change would leave the first write as
// read.
TEST(DxfDatabase, EditsTheSettersTellAreWrittenAsAComparisonOfEveryValueWritesThem) {
  using Change = std::function<void(ZcDbDatabase&, ZcDbEntity*)>;
  auto onText = [](std::function<void(ZcDbText*)> f) -> Change {
    return [f](ZcDbDatabase&, ZcDbEntity* e) { f(static_cast<ZcDbText*>(e)); };
  };
  auto onLine = [](std::function<void(ZcDbLine*)> f) -> Change {
    return [f](ZcDbDatabase&, ZcDbEntity* e) { f(static_cast<ZcDbLine*>(e)); };
  };
  auto onEntity = [](std::function<void(ZcDbEntity*)> f) -> Change {
    return [f](ZcDbDatabase&, ZcDbEntity* e) { f(e); };
  };
  const std::vector<std::pair<std::string, Change>> textChanges = {
      {"position", onText([](ZcDbText* t) { t->setPosition(ZcGePoint3d(4, 2, 0)); })},
      {"position as read", onText([](ZcDbText* t) { t->setPosition(ZcGePoint3d(1.1, 2, 0)); })},
      {"position changed and put back", onText([](ZcDbText* t) {
         t->setPosition(ZcGePoint3d(4, 2, 0));
         t->setPosition(ZcGePoint3d(1.1, 2, 0));
       })},
      {"alignment point", onText([](ZcDbText* t) { t->setAlignmentPoint(ZcGePoint3d(5, 6, 0)); })},
      {"normal", onText([](ZcDbText* t) { t->setNormal(ZcGeVector3d(0, 1, 1)); })},
      {"thickness", onText([](ZcDbText* t) { t->setThickness(2); })},
      {"oblique", onText([](ZcDbText* t) { t->setOblique(0.2); })},
      {"rotation", onText([](ZcDbText* t) { t->setRotation(1); })},
      {"height", onText([](ZcDbText* t) { t->setHeight(4); })},
      {"width factor", onText([](ZcDbText* t) { t->setWidthFactor(0.8); })},
      {"mirror in x", onText([](ZcDbText* t) { t->mirrorInX(true); })},
      {"mirror in y", onText([](ZcDbText* t) { t->mirrorInY(true); })},
      {"horizontal mode", onText([](ZcDbText* t) { t->setHorizontalMode(ZcDb::kTextCenter); })},
      {"vertical mode", onText([](ZcDbText* t) { t->setVerticalMode(ZcDb::kTextTop); })},
      {"moved when centred", onText([](ZcDbText* t) {
         t->setHorizontalMode(ZcDb::kTextCenter);
         t->setAlignmentPoint(ZcGePoint3d(7, 7, 0));
       })},
      {"style name", onText([](ZcDbText* t) { t->setTextStyleName(ZcString(L"Other")); })},
      {"style",
       [](ZcDbDatabase& db, ZcDbEntity* e) {
         ZcDbTextStyleTable* styles = nullptr;
         ASSERT_EQ(db.getSymbolTable(styles, ZcDb::kForWrite), Zcad::eOk);
         auto* other = new ZcDbTextStyleTableRecord;
         other->setName(L"Other");
         ZcDbObjectId id;
         ASSERT_EQ(styles->add(id, other), Zcad::eOk);
         other->close();
         styles->close();
         static_cast<ZcDbText*>(e)->setTextStyle(id);
       }},
      {"string", onText([](ZcDbText* t) { t->setTextString(L"new"); })},
      {"string from ZcString", onText([](ZcDbText* t) { t->setTextString(ZcString(L"newer")); })},
      {"style renamed, text moved",
       [](ZcDbDatabase& db, ZcDbEntity* e) {
         ZcDbTextStyleTableRecord* style = nullptr;
         ASSERT_EQ(zcdbOpenObject(style, db.textStyleStandardId(), ZcDb::kForWrite), Zcad::eOk);
         style->setName(L"Renamed");
         style->close();
         static_cast<ZcDbText*>(e)->setPosition(ZcGePoint3d(4, 2, 0));
       }},
      {"layer", onEntity([](ZcDbEntity* e) { e->setLayer(L"0"); })},
      {"colour", onEntity([](ZcDbEntity* e) { e->setColorIndex(3); })},
      {"linetype", onEntity([](ZcDbEntity* e) { e->setLinetype(L"Dashed"); })},
      {"linetype scale", onEntity([](ZcDbEntity* e) { e->setLinetypeScale(2); })},
      {"database defaults", onEntity([](ZcDbEntity* e) { e->setDatabaseDefaults(); })},
  };
  const std::vector<std::pair<std::string, Change>> lineChanges = {
      {"start", onLine([](ZcDbLine* l) { l->setStartPoint(ZcGePoint3d(1, 2, 3)); })},
      {"end", onLine([](ZcDbLine* l) { l->setEndPoint(ZcGePoint3d(0.5, 9, 0)); })},
      {"thickness", onLine([](ZcDbLine* l) { l->setThickness(0.25); })},
      {"normal", onLine([](ZcDbLine* l) { l->setNormal(ZcGeVector3d(1, 0, 0)); })},
      {"layer", onEntity([](ZcDbEntity* e) { e->setLayer(L"Hidden"); })},
      {"colour, a group the record lacks", onEntity([](ZcDbEntity* e) { e->setColorIndex(3); })},
      {"linetype scale, a group the record lacks", onEntity([](ZcDbEntity* e) { e->setLinetypeScale(0.5); })},
      {"end and colour", onLine([](ZcDbLine* l) {
         l->setEndPoint(ZcGePoint3d(1, 1, 0));
         l->setColorIndex(0);
       })},
  };
  auto written = [](const Change& change, bool inPaperSpace, bool compareAll) {
    auto db = read(r2000Drawing());
    if (!db) return std::string();
    const ZcDbObjectId id = entities(*db, inPaperSpace ? db->paperSpaceId() : db->modelSpaceId())[0];
    ZcDbEntity* e = nullptr;
    EXPECT_EQ(zcdbOpenObject(e, id, ZcDb::kForWrite), Zcad::eOk);
    if (e == nullptr) return std::string();
    change(*db, e);
    e->close();
    return writtenComparingEveryValue(*db, compareAll);
  };
  for (const auto& [changes, inPaperSpace] : {std::pair(&textChanges, false), std::pair(&lineChanges, true)}) {
    for (const auto& [name, change] : *changes) {
      const std::string trusted = written(change, inPaperSpace, false);
      EXPECT_EQ(trusted, written(change, inPaperSpace, true)) << name;
      const bool leftAsRead = name == "position as read" || name == "position changed and put back";
      EXPECT_EQ(trusted == r2000Drawing(), leftAsRead) << name;
    }
  }
}

// The same on the drawings fuzzing once found faults with: every text and line moved, and recoloured,
// written as the writer writes it and by comparing every value.
TEST(DxfDatabase, FuzzedDrawingsMovedAreWrittenAsAComparisonOfEveryValueWritesThem) {
  auto moved = [](const std::string& text, bool recolour, bool compareAll) {
    zrxhost::DxfError error;
    auto db = zrxhost::readDxfFromString(text, error);
    if (!db) return std::string("refused: ") + error.message;
    for (ZcDbObjectId space : {db->modelSpaceId(), db->paperSpaceId()}) {
      for (ZcDbObjectId id : entities(*db, space)) {
        ZcDbEntity* e = nullptr;
        if (zcdbOpenObject(e, id, ZcDb::kForWrite) != Zcad::eOk) continue;
        if (auto* t = ZcDbText::cast(e)) t->setPosition(t->position() + ZcGeVector3d(0.5, 0, 0));
        if (auto* l = ZcDbLine::cast(e)) l->setEndPoint(l->endPoint() + ZcGeVector3d(0, 0.5, 0));
        if (recolour) e->setColorIndex(5);
        e->close();
      }
    }
    return writtenComparingEveryValue(*db, compareAll);
  };
  int drawings = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TEST_DATA_DIR "/fuzz-regressions")) {
    if (entry.path().filename().string().rfind("dxf_read-", 0) != 0) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    for (bool recolour : {false, true})
      EXPECT_EQ(moved(all.str(), recolour, false), moved(all.str(), recolour, true)) << entry.path() << recolour;
    ++drawings;
  }
  EXPECT_GE(drawings, 7);
  for (bool recolour : {false, true})
    EXPECT_EQ(moved(r2000Drawing(), recolour, false), moved(r2000Drawing(), recolour, true)) << recolour;
}

// A text whose file gives a horizontal mode the text refuses (70) is left-aligned, so moving it moves
// it: the file's mode stands, and the position must not stand with it as an aligned text's would.
TEST(DxfDatabase, ATextWhoseAlignmentWasRefusedIsSavedWhereItWasMoved) {
  for (bool compareAll : {false, true}) {
    auto db = read(dxf({"0 SECTION", "2 ENTITIES", "0 TEXT", "10 90", "20 0", "72 70", "0 ENDSEC", "0 EOF"}));
    ASSERT_TRUE(db);
    ZcDbText* t = nullptr;
    ASSERT_EQ(zcdbOpenObject(t, entities(*db, db->modelSpaceId())[0], ZcDb::kForWrite), Zcad::eOk);
    EXPECT_TRUE(t->isDefaultAlignment());
    t->setPosition(ZcGePoint3d(90.5, 0, 0));
    t->close();
    const std::string out = writtenComparingEveryValue(*db, compareAll);
    EXPECT_NE(out.find(" 10\n90.5\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" 72\n70\n"), std::string::npos) << out;
  }
}

// A coordinate put back where the file had it keeps the file's own text: after a second change, where
// the object held another value than the file's before its first change, and where an aligned text
// settles its position again.
TEST(DxfDatabase, ACoordinatePutBackWhereReadKeepsTheFilesText) {
  const std::string leftAligned =
      dxf({"0 SECTION", "2 ENTITIES", "0 TEXT", "10 1.50", "20 2", "40 2.5", "1 A1", "0 ENDSEC", "0 EOF"});
  const std::string rightAligned = dxf({"0 SECTION", "2 ENTITIES", "0 TEXT", "10 1.50", "20 2", "40 2.5", "1 A1",
                                        "72 2", "11 9", "21 2", "0 ENDSEC", "0 EOF"});
  struct Case {
    const char* name;
    const std::string& drawing;
    std::function<void(ZcDbText*)> change;
  };
  const std::vector<Case> cases = {
      {"moved and back", leftAligned,
       [](ZcDbText* t) {
         t->setPosition(ZcGePoint3d(4, 2, 0));
         t->setPosition(ZcGePoint3d(1.5, 2, 0));
       }},
      {"right-aligned, its position set: the alignment point places it", rightAligned,
       [](ZcDbText* t) { t->setPosition(ZcGePoint3d(4, 2, 0)); }},
      {"right-aligned, made left-aligned where read", rightAligned,
       [](ZcDbText* t) {
         t->setHorizontalMode(ZcDb::kTextLeft);
         t->setPosition(ZcGePoint3d(1.5, 2, 0));
       }},
  };
  for (const Case& c : cases) {
    std::string written[2];
    for (bool compareAll : {false, true}) {
      auto db = read(c.drawing);
      ASSERT_TRUE(db);
      ZcDbText* t = nullptr;
      ASSERT_EQ(zcdbOpenObject(t, entities(*db, db->modelSpaceId())[0], ZcDb::kForWrite), Zcad::eOk);
      c.change(t);
      t->close();
      written[compareAll] = writtenComparingEveryValue(*db, compareAll);
    }
    EXPECT_EQ(written[0], written[1]) << c.name;
    EXPECT_NE(written[0].find(" 10\n1.50\n"), std::string::npos) << c.name << "\n" << written[0];
  }
}

// Saving while a command still holds objects open for write writes them as they stand; they used to
// be left out of the file, as a failed open was taken for an object that was not there.
TEST(DxfDatabase, ObjectsOpenForWriteAreSavedAsTheyStand) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, entities(*db, db->modelSpaceId())[0], ZcDb::kForWrite), Zcad::eOk);
  t->setPosition(ZcGePoint3d(4, 2, 0));
  ZcDbLayerTableRecord* hidden = nullptr;
  ASSERT_EQ(zcdbOpenObject(hidden, db->layerId(ZcString(L"Hidden")), ZcDb::kForWrite), Zcad::eOk);
  hidden->setIsFrozen(true);
  const std::string out = zrxhost::writeDxfToString(*db);
  t->close();
  hidden->close();
  EXPECT_EQ(changedLines(r2000Drawing(), out), (std::vector<std::string>{"4 -> 5", "1.10000000000000001 -> 4.0"}));
}

// A colour the text refused when it was read (300) stands while the text keeps what it got instead
// (by layer), even when that is stored again; another colour replaces it. The same holds for an
// empty layer name and a linetype scale of 0, the other values every entity may refuse.
TEST(DxfDatabase, ARefusedValueStandsWhileTheObjectKeepsWhatItGotInstead) {
  struct Case {
    const char* group;
    std::function<void(ZcDbEntity*)> keep, change;
    const char* changed;
  };
  const std::vector<Case> cases = {
      {"62 300", [](ZcDbEntity* e) { e->setColorIndex(256); }, [](ZcDbEntity* e) { e->setColorIndex(3); }, " 62\n3\n"},
      {"62 -2", [](ZcDbEntity* e) { e->setColorIndex(256); }, [](ZcDbEntity* e) { e->setColorIndex(0); }, " 62\n0\n"},
      {"8 ", [](ZcDbEntity* e) { e->setLayer(L"0"); }, [](ZcDbEntity* e) { e->setLayer(L"L1"); }, "  8\nL1\n"},
      {"48 0", [](ZcDbEntity* e) { e->setLinetypeScale(1); }, [](ZcDbEntity* e) { e->setLinetypeScale(2); },
       " 48\n2.0\n"},
  };
  for (const Case& c : cases) {
    const std::string text = dxf(
        {"0 SECTION", "2 ENTITIES", "0 TEXT", "5 2A", c.group, "10 1", "20 2", "40 2.5", "1 A1", "0 ENDSEC", "0 EOF"});
    for (bool changeIt : {false, true}) {
      std::string written[2];
      for (bool compareAll : {false, true}) {
        auto db = read(text);
        ASSERT_TRUE(db);
        ZcDbEntity* e = nullptr;
        ASSERT_EQ(zcdbOpenObject(e, entities(*db, db->modelSpaceId())[0], ZcDb::kForWrite), Zcad::eOk);
        (changeIt ? c.change : c.keep)(e);
        static_cast<ZcDbText*>(e)->setPosition(ZcGePoint3d(4, 2, 0));
        e->close();
        written[compareAll] = writtenComparingEveryValue(*db, compareAll);
      }
      EXPECT_EQ(written[0], written[1]) << c.group << changeIt;
      const std::string expected = changeIt ? c.changed : dxf({c.group});
      EXPECT_NE(written[0].find(expected), std::string::npos) << c.group << changeIt << "\n" << written[0];
      EXPECT_NE(written[0].find(" 10\n4.0\n"), std::string::npos) << c.group;
    }
  }
}

TEST(DxfDatabase, CloneKeepsGroupsButNotHandleOwnerOrReactors) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, entities(*db, db->modelSpaceId())[0], ZcDb::kForRead), Zcad::eOk);
  auto* copy = static_cast<ZcDbText*>(t->clone());
  t->close();
  ASSERT_NE(copy, nullptr);
  copy->setPosition(ZcGePoint3d(7, 8, 0));
  ZcDbBlockTableRecord* ps = nullptr;
  ASSERT_EQ(zcdbOpenObject(ps, db->paperSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  ZcDbObjectId id;
  ASSERT_EQ(ps->appendZcDbEntity(id, copy), Zcad::eOk);
  copy->close();
  ps->close();
  std::string out = zrxhost::writeDxfToString(*db);
  std::string h = zrxhost::dxf::formatHandle(id.handle());
  std::size_t at = out.find("  0\nTEXT\n  5\n" + h + "\n");
  ASSERT_NE(at, std::string::npos);
  std::string clone = out.substr(at, out.find("  0\n", at + 4) - at);
  EXPECT_EQ(clone.find("ACAD_REACTORS"), std::string::npos);
  EXPECT_NE(clone.find("330\n14\n"), std::string::npos);  // owned by paper space
  EXPECT_NE(clone.find(" 67\n1\n"), std::string::npos);
  EXPECT_NE(clone.find("1000\nkept\n1040\n3.14159265358979\n"), std::string::npos);
  EXPECT_NE(clone.find(" 10\n7.0\n 20\n8.0\n"), std::string::npos);
  EXPECT_NE(clone.find(" 51\n89.0\n"), std::string::npos);  // kept though the text refused it
  // The original is still written exactly as read.
  EXPECT_NE(out.find("102\n{ACAD_REACTORS\n330\n30\n102\n}\n330\n13\n"), std::string::npos);
}

TEST(DxfDatabase, PolylineVerticesFollowTheObject) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  ZcDb3dPolyline* p = nullptr;
  ASSERT_EQ(zcdbOpenObject(p, entities(*db, db->modelSpaceId())[2], ZcDb::kForWrite), Zcad::eOk);
  p->setVertices({ZcGePoint3d(0, 0, 0), ZcGePoint3d(1, 2, 3), ZcGePoint3d(5, 5, 5)});
  p->makeClosed();
  p->close();
  std::string out = zrxhost::writeDxfToString(*db);
  EXPECT_NE(out.find("AcDb3dPolyline\n 66\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n9\n"), std::string::npos);
  EXPECT_NE(out.find("  5\n23\n"), std::string::npos);
  EXPECT_NE(out.find("  5\n24\n"), std::string::npos);
  EXPECT_NE(out.find(" 10\n5.0\n 20\n5.0\n 30\n5.0\n 70\n32\n  0\nSEQEND\n  5\n25\n"), std::string::npos);
  EXPECT_EQ(zrxhost::writeDxfToString(*db), out);  // the new vertex keeps its handle

  ASSERT_EQ(zcdbOpenObject(p, entities(*db, db->modelSpaceId())[2], ZcDb::kForWrite), Zcad::eOk);
  p->setVertices({ZcGePoint3d(9, 9, 9)});
  p->close();
  out = zrxhost::writeDxfToString(*db);
  EXPECT_EQ(out.find("  5\n24\n"), std::string::npos);
  EXPECT_NE(out.find(" 10\n9.0\n 20\n9.0\n 30\n9.0\n"), std::string::npos);
}

TEST(DxfDatabase, TileModeIsReadAndWritten) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  db->setTileMode(false);
  EXPECT_EQ(changedLines(r2000Drawing(), zrxhost::writeDxfToString(*db)), std::vector<std::string>{"1 -> 0"});
}

TEST(DxfDatabase, R12WithoutHandlesStaysWithoutHandles) {
  std::string r12 = dxf({"0 SECTION", "2 ENTITIES", "0 TEXT", "8 0", "10 1.0", "20 2.0", "30 0.0", "40 2.5", "1 hello",
                         "0 LINE", "8 0", "10 0.0", "20 0.0", "11 1.0", "21 1.0", "0 ENDSEC", "0 EOF"});
  auto db = read(r12);
  ASSERT_TRUE(db);
  EXPECT_EQ(zrxhost::dxfVersion(*db), "AC1009");
  auto model = entities(*db, db->modelSpaceId());
  ASSERT_EQ(model.size(), 2u);
  EXPECT_NE(model[0].handle(), model[1].handle());
  EXPECT_EQ(zrxhost::writeDxfToString(*db), r12);
  ZcDbText* t = nullptr;
  ASSERT_EQ(zcdbOpenObject(t, model[0], ZcDb::kForWrite), Zcad::eOk);
  t->setRotation(ZcGe::kPi / 2);
  t->close();
  std::string out = zrxhost::writeDxfToString(*db);
  EXPECT_NE(out.find("  1\nhello\n 50\n90.0\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("  5\n"), std::string::npos);
}

// A file of tens of megabytes is read in parts at once; the drawing it gives is the one its text
// gives when read in one piece.
TEST(DxfDatabase, ALargeFileReadsAsItsText) {
  const std::string& small = r2000Drawing();
  const std::size_t line = small.find("  0\nLINE\n"), end = small.find("  0\nENDSEC\n", line);
  ASSERT_NE(end, std::string::npos);
  const std::string record = small.substr(line, end - line), handle = "  5\n27\n";
  ASSERT_NE(record.find(handle), std::string::npos);
  std::string text = small.substr(0, line);
  char number[32];
  for (int i = 0; text.size() < (std::size_t{17} << 20); ++i) {
    std::snprintf(number, sizeof number, "  5\n%X\n", 0x10000 + i);
    std::string copy = record;
    copy.replace(copy.find(handle), handle.size(), number);
    text += copy;
  }
  text += small.substr(end);
  char dir[] = "/tmp/zrx_large_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/large.dxf";
  std::ofstream(path, std::ios::binary) << text;
  zrxhost::DxfError error;
  auto fromFile = zrxhost::readDxf(path, error);
  ASSERT_TRUE(fromFile) << error.message;
  auto fromText = read(text);
  ASSERT_TRUE(fromText);
  EXPECT_EQ(zrxhost::writeDxfToString(*fromFile), zrxhost::writeDxfToString(*fromText));
  std::filesystem::remove_all(dir);
}

TEST(DxfDatabase, NewDrawingIsComplete) {
  auto db = zrxhost::newDrawing();
  ASSERT_TRUE(db);
  EXPECT_EQ(zrxhost::dxfVersion(*db), "AC1032");
  EXPECT_FALSE(db->modelSpaceId().isNull());
  EXPECT_FALSE(db->paperSpaceId().isNull());
  EXPECT_FALSE(db->layerId(ZcString(L"0")).isNull());
  EXPECT_FALSE(db->textStyleStandardId().isNull());
  std::string out = zrxhost::writeDxfToString(*db);
  EXPECT_NE(out.find("AcDbLayout"), std::string::npos);
  EXPECT_EQ(zrxhost::writeDxfToString(*db), out);
}

TEST(DxfDatabase, BadInputNamesTheLine) {
  struct Case {
    std::string text;
    std::string where;
  };
  std::string good = r2000Drawing();
  std::string badNumber = good;
  badNumber.replace(badNumber.find("1.10000000000000001"), 19, "1.1.1");
  const Case cases[] = {
      {good.substr(0, good.size() - 8), "EOF"},
      {good.substr(0, good.find("  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS")), "not closed"},
      {"", "line 1: "},
      {"999\nonly a comment\n", "EOF"},
      {std::string(good).replace(good.find("AC1015"), 6, "AC2099"), "line 8: unsupported DXF version 'AC2099'"},
      {badNumber, "1.1.1"},
      {"  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n 10\n", "line 8:"},
  };
  for (const Case& c : cases) {
    zrxhost::DxfError error;
    EXPECT_FALSE(zrxhost::readDxfFromString(c.text, error));
    EXPECT_NE(error.message.find("line "), std::string::npos) << error.message;
    EXPECT_NE(error.message.find(c.where), std::string::npos) << error.message;
  }
}

// A save streams the file in pieces with the header written first: what lands on disk must be the
// text a write to memory gives, when it spans many pieces and when the handle seed gains digits
// during the write (the header then grows and everything after it moves).
TEST(DxfDatabase, SavedFileIsTheWrittenText) {
  auto db = read(r2000Drawing());
  ASSERT_TRUE(db);
  zrxhost::setHandseed(*db, 0xFFFFF0);
  ZcDbBlockTableRecord* ms = nullptr;
  ASSERT_EQ(zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  for (int i = 0; i < 20000; ++i) {
    auto* text = new ZcDbText(ZcGePoint3d(i, 0, 0), L"a text of the saved file", ZcDbObjectId::kNull, 1.0, 0.0);
    ZcDbObjectId id;
    ASSERT_EQ(ms->appendZcDbEntity(id, text), Zcad::eOk);
    text->close();
  }
  ms->close();
  char dir[] = "/tmp/zrx_saved_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/saved.dxf";
  zrxhost::DxfError error;
  ASSERT_TRUE(zrxhost::writeDxf(*db, path, error)) << error.message;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream saved;
  saved << in.rdbuf();
  const std::string expected = zrxhost::writeDxfToString(*db);
  EXPECT_GT(expected.size(), std::size_t{2} << 20);
  EXPECT_NE(expected.find("$HANDSEED\n  5\n100"), std::string::npos);  // more digits than the file's seed
  EXPECT_TRUE(saved.str() == expected) << "saved " << saved.str().size() << " bytes, written " << expected.size();
  // Nothing else is left beside the drawing, and a folder that is not there is a clear refusal.
  std::remove(path.c_str());
  EXPECT_EQ(::rmdir(dir), 0);
  EXPECT_FALSE(zrxhost::writeDxf(*db, path, error));
  EXPECT_NE(error.message.find(path + ": cannot write: "), std::string::npos) << error.message;
}

TEST(DxfDatabase, ANumberThatIsNotFiniteIsRefusedAndTheFileKept) {
  char dir[] = "/tmp/zrx_nonfinite_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/kept.dxf";
  {
    std::ofstream out(path, std::ios::binary);
    out << r2000Drawing();
  }
  // A text read and moved (written from its edits) and a new one (written from its template).
  for (bool added : {false, true}) {
    auto db = read(r2000Drawing());
    ASSERT_TRUE(db);
    ZcDbText* text = nullptr;
    if (added) {
      text = new ZcDbText(ZcGePoint3d(1, 2, 0), L"new", ZcDbObjectId::kNull, 1.0, 0.0);
      ZcDbBlockTableRecord* ms = nullptr;
      ASSERT_EQ(zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
      ZcDbObjectId id;
      ASSERT_EQ(ms->appendZcDbEntity(id, text), Zcad::eOk);
      ms->close();
    } else {
      ASSERT_EQ(zcdbOpenObject(text, entities(*db, db->modelSpaceId())[0], ZcDb::kForWrite), Zcad::eOk);
    }
    char handle[20];
    std::snprintf(handle, sizeof handle, "%llX", static_cast<unsigned long long>(text->handle()));
    text->setPosition(ZcGePoint3d(std::numeric_limits<double>::infinity(), std::nan(""), 0));
    text->close();
    zrxhost::DxfError error;
    EXPECT_FALSE(zrxhost::writeDxf(*db, path, error)) << added;
    EXPECT_NE(error.message.find("not finite"), std::string::npos) << error.message;
    EXPECT_NE(error.message.find(std::string("handle ") + handle + " "), std::string::npos) << error.message;
    EXPECT_TRUE(zrxhost::writeDxfToString(*db).empty());
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream kept;
  kept << in.rdbuf();
  EXPECT_TRUE(kept.str() == r2000Drawing());
  std::remove(path.c_str());
  EXPECT_EQ(::rmdir(dir), 0);  // no temporary left beside it
}

TEST(DxfDatabase, WritingWithoutALayoutIsRefused) {
  ZcDbDatabase plain;
  zrxhost::DxfError error;
  EXPECT_FALSE(zrxhost::writeDxf(plain, "/tmp/zrx_never_written.dxf", error));
  EXPECT_FALSE(error.message.empty());
  EXPECT_TRUE(zrxhost::writeDxfToString(plain).empty());
}

}  // namespace
