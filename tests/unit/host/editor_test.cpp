// Editor: the input functions (keywords, numbers, points, refusals, Enter and Esc), picking, system
// variables, scripts, the command line and document locks.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/host_commands.h"
#include "zrxhost/session.h"

namespace {

using zrxhost::ScriptInput;
using zrxhost::Session;

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zrxhost::initializeHost(&mDb);
    Session::instance().reset();
    Session::instance().setTranscript(&mOut);
  }
  void TearDown() override {
    Session::instance().reset();
    Session::instance().setTranscript(nullptr);
    zcdbHostApplicationServices()->setWorkingDatabase(nullptr);
  }
  void feed(const std::string& script) {
    Session::instance().setInput(std::make_unique<ScriptInput>(script));
    mOut.str("");
  }
  ZcDbObjectId addLine(const ZcGePoint3d& a, const ZcGePoint3d& b, const ZTCHAR* space = ZCDB_MODEL_SPACE) {
    ZcDbBlockTable* table = nullptr;
    EXPECT_EQ(mDb.getBlockTable(table, ZcDb::kForRead), Zcad::eOk);
    ZcDbBlockTableRecord* record = nullptr;
    EXPECT_EQ(table->getAt(space, record, ZcDb::kForWrite), Zcad::eOk);
    table->close();
    ZcDbObjectId id;
    auto* line = new ZcDbLine(a, b);
    EXPECT_EQ(record->appendZcDbEntity(id, line), Zcad::eOk);
    line->close();
    record->close();
    return id;
  }

  ZcDbDatabase mDb{true};
  std::ostringstream mOut;
};

TEST_F(EditorTest, KeywordsMatchWholeFirstThenUniquePrefixSpelledAsListed) {
  ZTCHAR kw[20];
  feed("c\ncw\nCw\n");
  for (const wchar_t* expected : {L"C", L"CW", L"CW"}) {
    zcedInitGet(1, L"C CW");
    ASSERT_EQ(zcedGetKword(L"\nDirection [C/CW]:", kw, 20), RTNORM);
    EXPECT_STREQ(kw, expected);
  }

  feed("l\nle\n");
  zcedInitGet(1, L"Line Left Polar");
  ASSERT_EQ(zcedGetKword(L"\nMethod:", kw, 20), RTNORM);
  EXPECT_STREQ(kw, L"Left");
  // The prompt, the echoed answer, the refusal of the ambiguous "l", the prompt again.
  EXPECT_EQ(mOut.str(), "\nMethod:l\nInvalid option keyword.\nMethod:le");

  feed("x\npOL\n");
  zcedInitGet(1, L"Line Left Polar");
  ASSERT_EQ(zcedGetKword(L"\nMethod:", kw, 20), RTNORM);
  EXPECT_STREQ(kw, L"Polar");
  EXPECT_NE(mOut.str().find("x\nInvalid option keyword."), std::string::npos);

  ZTCHAR got[20];
  EXPECT_EQ(zcedGetInput(got, 20), RTNORM);
  EXPECT_STREQ(got, L"Polar");
}

TEST_F(EditorTest, KeywordAnswersAtValuePromptsComeBackAsRtkword) {
  ZTCHAR kw[20];
  double d = -1;
  feed("n\n");
  zcedInitGet(1, L"N");
  EXPECT_EQ(zcedGetDist(nullptr, L"\nSpacing [N]:", &d), RTKWORD);
  EXPECT_EQ(d, -1);
  ASSERT_EQ(zcedGetInput(kw, 20), RTNORM);
  EXPECT_STREQ(kw, L"N");

  zds_name ent;
  zds_point pt;
  feed("O\n");
  zcedInitGet(1, L"O");
  EXPECT_EQ(zcedEntSel(L"\nSelect:", ent, pt), RTKWORD);
  int n = 0;
  feed("3\n");
  EXPECT_EQ(zcedGetInt(L"\nCount:", &n), RTNORM);
  EXPECT_EQ(n, 3);
  // A numeric answer leaves no keyword to fetch.
  EXPECT_EQ(zcedGetInput(kw, 20), RTERROR);
  EXPECT_STREQ(kw, L"");
}

TEST_F(EditorTest, InitGetAppliesToTheNextCallOnly) {
  int n = 0;
  feed("N\n\nN\n8\n");
  zcedInitGet(1, L"N");
  EXPECT_EQ(zcedGetInt(L"\nA:", &n), RTKWORD);
  EXPECT_EQ(zcedGetInt(L"\nB:", &n), RTNONE);  // no bit 1 any more: Enter is allowed
  EXPECT_EQ(zcedGetInt(L"\nC:", &n), RTNORM);  // and "N" is no keyword: refused, then 8
  EXPECT_EQ(n, 8);
  EXPECT_NE(mOut.str().find("\nC:N\nRequires an integer value.\nC:8"), std::string::npos) << mOut.str();
}

TEST_F(EditorTest, IntegerPromptRefusesTextFractionsOverflowAndRanges) {
  int n = 0;
  // A caller that printed its prompt itself and asks with none: each retry repeats that line, so
  // the next answer never sticks to the refusal.
  Session::instance().print("\nHow many:");
  mOut.str("");
  feed("abc\n2.5\n99999999999\n-2147483649\n-7\n");
  ASSERT_EQ(zcedGetInt(nullptr, &n), RTNORM);
  EXPECT_EQ(n, -7);
  EXPECT_EQ(mOut.str(),
            "abc\nRequires an integer value.\nHow many:2.5\nRequires an integer value.\nHow many:99999999999"
            "\nValue out of range.\nHow many:-2147483649\nValue out of range.\nHow many:-7");
  // A prompt of its own without a leading line break is shown again on a line of its own too.
  mOut.str("");
  feed("x\n3\n");
  ASSERT_EQ(zcedGetInt(L"Count: ", &n), RTNORM);
  EXPECT_EQ(mOut.str(), "Count: x\nRequires an integer value.\nCount: 3");

  feed("0\n-3\n4\n");
  zcedInitGet(7, nullptr);
  ASSERT_EQ(zcedGetInt(L"\nN:", &n), RTNORM);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(mOut.str(), "\nN:0\nValue must be positive and nonzero.\nN:-3\nValue must be positive and nonzero.\nN:4");

  feed("0\n-2\n");
  zcedInitGet(2, nullptr);
  ASSERT_EQ(zcedGetInt(L"", &n), RTNORM);
  EXPECT_EQ(n, -2);
  EXPECT_NE(mOut.str().find("\nValue must be nonzero."), std::string::npos);

  feed("-1\n0\n");
  zcedInitGet(4, nullptr);
  ASSERT_EQ(zcedGetInt(L"", &n), RTNORM);
  EXPECT_EQ(n, 0);
  EXPECT_NE(mOut.str().find("\nValue must be positive."), std::string::npos);

  feed("2147483647\n-2147483648\n");
  ASSERT_EQ(zcedGetInt(L"", &n), RTNORM);
  EXPECT_EQ(n, 2147483647);
  ASSERT_EQ(zcedGetInt(L"", &n), RTNORM);
  EXPECT_EQ(n, -2147483647 - 1);
}

TEST_F(EditorTest, NumbersRefuseInfinityNanAndOverflow) {
  double d = 0;
  feed("1e999\nnan\ninf\n-inf\n0x10\n1e\n2.5\n");
  ASSERT_EQ(zcedGetDist(nullptr, L"\nD:", &d), RTNORM);
  EXPECT_EQ(d, 2.5);
  size_t refusals = 0;
  for (size_t pos = 0; (pos = mOut.str().find("\nRequires numeric distance or two points.", pos)) != std::string::npos;
       ++pos) {
    ++refusals;
  }
  EXPECT_EQ(refusals, 6u);

  feed("1e999\n-0.5\n");
  ASSERT_EQ(zcedGetReal(L"\nR:", &d), RTNORM);
  EXPECT_EQ(d, -0.5);
  EXPECT_NE(mOut.str().find("\nRequires a numeric value."), std::string::npos);

  feed("1e999,0\n1,2\n");
  zds_point p;
  ASSERT_EQ(zcedGetPoint(nullptr, L"\nP:", p), RTNORM);
  EXPECT_NE(mOut.str().find("1e999,0\nInvalid point."), std::string::npos);
}

TEST_F(EditorTest, EmptyAnswerIsRtnoneUnlessBitOneRefusesIt) {
  double d = 7;
  ZTCHAR kw[8] = L"zz";
  feed("\n\n");
  zcedInitGet(0, L"A B");
  EXPECT_EQ(zcedGetKword(L"\nK:", kw, 8), RTNONE);
  EXPECT_STREQ(kw, L"");
  EXPECT_EQ(zcedGetDist(nullptr, L"\nD:", &d), RTNONE);
  EXPECT_EQ(d, 7);

  feed("\n  \n5\n");
  zcedInitGet(1, nullptr);
  ASSERT_EQ(zcedGetDist(nullptr, L"\nD:", &d), RTNORM);
  EXPECT_EQ(d, 5);
  EXPECT_EQ(mOut.str(), "\nD:\nA value is required.\nD:  \nA value is required.\nD:5");
}

TEST_F(EditorTest, EscAndExhaustedInputCancel) {
  int n = 1;
  feed("<esc>\n");
  EXPECT_EQ(zcedGetInt(L"\nN:", &n), RTCAN);
  EXPECT_EQ(mOut.str(), "\nN:*Cancel*");
  // The script has run out: every further prompt is answered with Esc.
  zds_point p;
  EXPECT_EQ(zcedGetPoint(nullptr, L"\nP:", p), RTCAN);
  ZTCHAR kw[4];
  zcedInitGet(1, L"A");
  EXPECT_EQ(zcedGetKword(L"\nK:", kw, 4), RTCAN);
  zds_name ent;
  EXPECT_EQ(zcedEntSel(L"\nE:", ent, p), RTCAN);
  EXPECT_EQ(n, 1);

  // Esc in the middle of a two-point distance cancels the whole question.
  double d = 0;
  feed("0,0\n<esc>\n");
  EXPECT_EQ(zcedGetDist(nullptr, L"\nD:", &d), RTCAN);
  EXPECT_EQ(mOut.str(), "\nD:0,0\nSpecify second point: *Cancel*");
}

TEST_F(EditorTest, CallerBuffersAreNeverOverrun) {
  ZTCHAR buf[8];
  for (ZTCHAR& c : buf) c = L'#';
  feed("polar\n");
  zcedInitGet(1, L"Polar Line");
  ASSERT_EQ(zcedGetKword(L"", buf, 4), RTNORM);
  EXPECT_STREQ(buf, L"Pol");
  for (int i = 4; i < 8; ++i) EXPECT_EQ(buf[i], L'#') << i;

  for (ZTCHAR& c : buf) c = L'#';
  ASSERT_EQ(zcedGetInput(buf, 4), RTNORM);
  EXPECT_STREQ(buf, L"Pol");
  EXPECT_EQ(buf[4], L'#');
  EXPECT_EQ(zcedGetInput(buf, 0), RTNORM);  // nothing may be written at all
  EXPECT_EQ(buf[0], L'P');

  for (ZTCHAR& c : buf) c = L'#';
  feed("a long answer\n");
  ASSERT_EQ(zcedGetString(1, L"", buf, 4), RTNORM);
  EXPECT_STREQ(buf, L"a l");
  EXPECT_EQ(buf[4], L'#');
  feed("first second\n");
  ASSERT_EQ(zcedGetString(0, L"", buf, 8), RTNORM);
  EXPECT_STREQ(buf, L"first");
}

TEST_F(EditorTest, PointsAbsoluteRelativeAndLastPoint) {
  zds_point p;
  feed("1,2\n@3,4\n@\n5,6,7\n@1,1,1\n1,2,3,4\n1,,2\n,\n@x,1\n9,9\n");
  ASSERT_EQ(zcedGetPoint(nullptr, L"", p), RTNORM);
  EXPECT_EQ(ZcGePoint3d(p[0], p[1], p[2]), ZcGePoint3d(1, 2, 0));
  ASSERT_EQ(zcedGetPoint(nullptr, L"", p), RTNORM);
  EXPECT_EQ(ZcGePoint3d(p[0], p[1], p[2]), ZcGePoint3d(4, 6, 0));
  ASSERT_EQ(zcedGetPoint(nullptr, L"", p), RTNORM);
  EXPECT_EQ(ZcGePoint3d(p[0], p[1], p[2]), ZcGePoint3d(4, 6, 0));
  ASSERT_EQ(zcedGetPoint(nullptr, L"", p), RTNORM);
  EXPECT_EQ(ZcGePoint3d(p[0], p[1], p[2]), ZcGePoint3d(5, 6, 7));
  ASSERT_EQ(zcedGetPoint(nullptr, L"", p), RTNORM);
  EXPECT_EQ(ZcGePoint3d(p[0], p[1], p[2]), ZcGePoint3d(6, 7, 8));
  ASSERT_EQ(zcedGetPoint(nullptr, L"", p), RTNORM);
  EXPECT_EQ(ZcGePoint3d(p[0], p[1], p[2]), ZcGePoint3d(9, 9, 0));
  size_t refusals = 0;
  for (size_t pos = 0; (pos = mOut.str().find("\nInvalid point.", pos)) != std::string::npos; ++pos) ++refusals;
  EXPECT_EQ(refusals, 4u);

  resbuf rb;
  ASSERT_EQ(zcedGetVar(L"LASTPOINT", &rb), RTNORM);
  EXPECT_EQ(rb.restype, RT3DPOINT);
  EXPECT_EQ(ZcGePoint3d(rb.resval.rpoint[0], rb.resval.rpoint[1], rb.resval.rpoint[2]), ZcGePoint3d(9, 9, 0));
}

TEST_F(EditorTest, DistanceFromNumberBasePointOrTwoPoints) {
  double d = 0;
  feed("0,0\n3,4\n");
  ASSERT_EQ(zcedGetDist(nullptr, L"\nD:", &d), RTNORM);
  EXPECT_DOUBLE_EQ(d, 5);
  EXPECT_EQ(mOut.str(), "\nD:0,0\nSpecify second point: 3,4");

  zds_point base = {1, 1, 0};
  feed("4,5\n");
  ASSERT_EQ(zcedGetDist(base, L"", &d), RTNORM);
  EXPECT_DOUBLE_EQ(d, 5);

  // Two equal points measure zero, which bit 2 refuses like a typed zero.
  Session::instance().print("\nSpacing:");
  mOut.str("");
  feed("2,2\n2,2\n0\n1.5\n");
  zcedInitGet(3, nullptr);
  ASSERT_EQ(zcedGetDist(nullptr, L"", &d), RTNORM);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(mOut.str(),
            "2,2\nSpecify second point: 2,2\nValue must be nonzero.\nSpacing:0\nValue must be nonzero.\nSpacing:1.5");

  feed("5,5\nabc\n5,6\n");
  ASSERT_EQ(zcedGetDist(nullptr, L"", &d), RTNORM);
  EXPECT_DOUBLE_EQ(d, 1);
  EXPECT_NE(mOut.str().find("abc\nInvalid point."), std::string::npos);
}

TEST_F(EditorTest, AngleInDegreesOrFromPoints) {
  double a = 0;
  const double pi = ZcGe::kPi;
  feed("90\n-90\n450\n");
  ASSERT_EQ(zcedGetAngle(nullptr, L"", &a), RTNORM);
  EXPECT_NEAR(a, pi / 2, 1e-15);
  ASSERT_EQ(zcedGetAngle(nullptr, L"", &a), RTNORM);
  EXPECT_NEAR(a, 1.5 * pi, 1e-15);
  ASSERT_EQ(zcedGetAngle(nullptr, L"", &a), RTNORM);
  EXPECT_NEAR(a, pi / 2, 1e-15);

  zds_point centre = {10, 10, 0};
  feed("10,15\n5,10\n");
  ASSERT_EQ(zcedGetAngle(centre, L"", &a), RTNORM);
  EXPECT_NEAR(a, pi / 2, 1e-15);
  ASSERT_EQ(zcedGetAngle(centre, L"", &a), RTNORM);
  EXPECT_NEAR(a, pi, 1e-15);

  feed("1,1\n1,0\n");
  ASSERT_EQ(zcedGetAngle(nullptr, L"", &a), RTNORM);
  EXPECT_NEAR(a, 1.5 * pi, 1e-15);

  feed("east\n0\n360\n30\n");
  zcedInitGet(2, nullptr);
  ASSERT_EQ(zcedGetAngle(nullptr, L"\nA:", &a), RTNORM);
  EXPECT_NEAR(a, pi / 6, 1e-15);
  EXPECT_EQ(mOut.str(),
            "\nA:east\nRequires numeric angle or two points.\nA:0\nValue must be nonzero.\nA:360\nValue must be "
            "nonzero.\nA:30");
}

TEST_F(EditorTest, MovesAtOrdinaryPromptsAreSkippedSilently) {
  int n = 0;
  feed("<move 1,2>\n<move 3,4,5>\n6\n");
  ASSERT_EQ(zcedGetInt(L"\nN:", &n), RTNORM);
  EXPECT_EQ(n, 6);
  EXPECT_EQ(mOut.str(), "\nN:6");
}

TEST_F(EditorTest, EntSelPicksTheTopmostLiveEntityOfTheCurrentSpace) {
  ZcDbObjectId bottom = addLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(10, 0, 0));
  ZcDbObjectId top = addLine(ZcGePoint3d(5, -5, 0), ZcGePoint3d(5, 5, 0));
  addLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(0, 10, 0), ZCDB_PAPER_SPACE);

  zds_name ent;
  zds_point pt;
  ZcDbObjectId id;
  feed("5,0.2\n1,0.3\n50,50\n");
  ASSERT_EQ(zcedEntSel(L"\nSelect:", ent, pt), RTNORM);
  ASSERT_EQ(zcdbGetObjectId(id, ent), Zcad::eOk);
  EXPECT_EQ(id, top);
  EXPECT_EQ(ZcGePoint3d(pt[0], pt[1], pt[2]), ZcGePoint3d(5, 0.2, 0));
  ASSERT_EQ(zcedEntSel(L"\nSelect:", ent, pt), RTNORM);
  ASSERT_EQ(zcdbGetObjectId(id, ent), Zcad::eOk);
  EXPECT_EQ(id, bottom);
  // Nothing there: RTERROR and no message.
  EXPECT_EQ(zcedEntSel(L"\nSelect:", ent, pt), RTERROR);
  EXPECT_EQ(mOut.str(), "\nSelect:5,0.2\nSelect:1,0.3\nSelect:50,50");

  // An erased entity is not picked: the one beneath it is.
  ZcDbObject* obj = nullptr;
  ASSERT_EQ(zcdbOpenObject(obj, top, ZcDb::kForWrite), Zcad::eOk);
  obj->erase();
  obj->close();
  feed("5,0.2\n");
  ASSERT_EQ(zcedEntSel(L"", ent, pt), RTNORM);
  ASSERT_EQ(zcdbGetObjectId(id, ent), Zcad::eOk);
  EXPECT_EQ(id, bottom);

  // The pick box is PICKBOX drawing units around the point.
  feed("3,0.4\n3,0.4\n");
  ASSERT_TRUE(Session::instance().setSysVar("PICKBOX", "0.3"));
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTERROR);
  ASSERT_TRUE(Session::instance().setSysVar("PICKBOX", "0.5"));
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTNORM);
  // A window counts PICKBOX in pixels: 3 pixels of 0.1 units reach 0.3, too short; of 0.2, enough.
  ASSERT_TRUE(Session::instance().setSysVar("PICKBOX", "3"));
  Session::instance().setPixelSize(0.1);
  feed("3,0.4\n<click 3,0.4>\n");
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTERROR);
  Session::instance().setPixelSize(0.2);
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTNORM);
  Session::instance().setPixelSize(0);
  ASSERT_TRUE(Session::instance().setSysVar("PICKBOX", "0.5"));

  // In paper space only the paper-space line is there to pick.
  mDb.setTileMode(false);
  feed("5,0\n0,5\n");
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTERROR);
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTNORM);
  mDb.setTileMode(true);

  feed("here\n<esc>\n");
  zcedInitGet(1, L"O");
  EXPECT_EQ(zcedEntSel(L"\nSelect:", ent, pt), RTCAN);
  EXPECT_EQ(mOut.str(), "\nSelect:here\n*Invalid selection*\nSelect:*Cancel*");
}

// An insert is picked where its block's contents now lie, after a program changed them.
TEST_F(EditorTest, PicksFollowAnEditedBlockIntoItsInserts) {
  auto* block = new ZcDbBlockTableRecord();
  block->setName(L"B");
  ZcDbBlockTable* table = nullptr;
  ASSERT_EQ(mDb.getBlockTable(table, ZcDb::kForWrite), Zcad::eOk);
  ZcDbObjectId blockId;
  ASSERT_EQ(table->add(blockId, block), Zcad::eOk);
  table->close();
  block->close();
  const ZcDbObjectId line = addLine({0, 0, 0}, {1, 0, 0}, L"B");
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(zcdbOpenObject(model, mDb.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  ZcDbObjectId insert;
  auto* ref = new ZcDbBlockReference(ZcGePoint3d(10, 0, 0), blockId);
  ASSERT_EQ(model->appendZcDbEntity(insert, ref), Zcad::eOk);
  ref->close();
  model->close();

  zds_name ent;
  zds_point pt;
  ZcDbObjectId id;
  feed("10.5,0\n10.5,5\n10.5,0\n");
  ASSERT_EQ(zcedEntSel(L"", ent, pt), RTNORM);
  ASSERT_EQ(zcdbGetObjectId(id, ent), Zcad::eOk);
  EXPECT_EQ(id, insert);
  ZcDbLine* moved = nullptr;
  ASSERT_EQ(zcdbOpenObject(moved, line, ZcDb::kForWrite), Zcad::eOk);
  moved->setStartPoint({0, 5, 0});
  moved->setEndPoint({1, 5, 0});
  moved->close();
  ASSERT_EQ(zcedEntSel(L"", ent, pt), RTNORM);
  ASSERT_EQ(zcdbGetObjectId(id, ent), Zcad::eOk);
  EXPECT_EQ(id, insert);
  EXPECT_EQ(zcedEntSel(L"", ent, pt), RTERROR);
}

// A program's selection without a prompt: every entity, a window, a crossing, the previous set,
// a type filter; the set's entities in drawing order, and a freed set no longer named.
TEST_F(EditorTest, SelectionSetsByModeAndFilter) {
  const ZcDbObjectId inside = addLine({1, 1, 0}, {2, 2, 0});
  const ZcDbObjectId across = addLine({5, 5, 0}, {20, 5, 0});
  auto* text = new ZcDbText(ZcGePoint3d(30, 30, 0), L"T1");
  ZcDbBlockTable* table = nullptr;
  ASSERT_EQ(mDb.getBlockTable(table, ZcDb::kForRead), Zcad::eOk);
  ZcDbBlockTableRecord* model = nullptr;
  ASSERT_EQ(table->getAt(ZCDB_MODEL_SPACE, model, ZcDb::kForWrite), Zcad::eOk);
  table->close();
  ZcDbObjectId textId;
  ASSERT_EQ(model->appendZcDbEntity(textId, text), Zcad::eOk);
  text->close();
  model->close();

  auto members = [](const zds_name set) {
    std::vector<ZcDbObjectId> ids;
    ZSoft::Int32 length = 0;
    if (zcedSSLength(set, &length) != RTNORM) return ids;
    for (ZSoft::Int32 i = 0; i < length; ++i) {
      zds_name entity;
      ZcDbObjectId id;
      EXPECT_EQ(zcedSSName(set, i, entity), RTNORM);
      EXPECT_EQ(zcdbGetObjectId(id, entity), Zcad::eOk);
      ids.push_back(id);
    }
    return ids;
  };
  zds_name set;
  ASSERT_EQ(zcedSSGet(L"X", nullptr, nullptr, nullptr, set), RTNORM);
  EXPECT_EQ(members(set), (std::vector<ZcDbObjectId>{inside, across, textId}));
  ASSERT_EQ(zcedSSFree(set), RTNORM);
  ZSoft::Int32 length = 0;
  EXPECT_EQ(zcedSSLength(set, &length), RTERROR);

  const zds_point low = {0, 0, 0}, high = {10, 10, 0};
  ASSERT_EQ(zcedSSGet(L"W", low, high, nullptr, set), RTNORM);
  EXPECT_EQ(members(set), (std::vector<ZcDbObjectId>{inside}));
  ASSERT_EQ(zcedSSGet(L"C", high, low, nullptr, set), RTNORM);
  EXPECT_EQ(members(set), (std::vector<ZcDbObjectId>{inside, across}));
  ASSERT_EQ(zcedSSGet(L"P", nullptr, nullptr, nullptr, set), RTNORM);
  EXPECT_EQ(members(set), (std::vector<ZcDbObjectId>{inside, across}));

  resbuf filter;
  ZTCHAR types[] = L"text,MTEXT";
  filter.restype = RTDXF0;
  filter.resval.rstring = types;
  ASSERT_EQ(zcedSSGet(L"X", nullptr, nullptr, &filter, set), RTNORM);
  EXPECT_EQ(members(set), (std::vector<ZcDbObjectId>{textId}));
  EXPECT_EQ(zcedSSGet(L"W", low, high, &filter, set), RTERROR);  // nothing left: no set
}

TEST_F(EditorTest, SystemVariables) {
  resbuf* rb = zcutNewRb(RTSTR);
  ASSERT_EQ(zcedGetVar(L"verlan", rb), RTNORM);
  EXPECT_EQ(rb->restype, RTSTR);
  EXPECT_STREQ(rb->resval.rstring, L"en-US");
  zcutRelRb(rb);

  resbuf v;
  ASSERT_EQ(zcedGetVar(L"ORTHOMODE", &v), RTNORM);
  EXPECT_EQ(v.restype, RTSHORT);
  EXPECT_EQ(v.resval.rint, 0);
  ASSERT_EQ(zcedGetVar(L"PICKBOX", &v), RTNORM);
  EXPECT_EQ(v.restype, RTREAL);
  EXPECT_EQ(v.resval.rreal, 0.5);
  ASSERT_EQ(zcedGetVar(L"FONTALT", &v), RTNORM);
  EXPECT_STREQ(v.resval.rstring, L"DejaVu Sans");
  delete[] v.resval.rstring;
  EXPECT_EQ(zcedGetVar(L"NOSUCHVAR", &v), RTERROR);
  EXPECT_EQ(zcedGetVar(nullptr, &v), RTERROR);

  // TILEMODE is the working drawing's own flag, both ways.
  ASSERT_EQ(zcedGetVar(L"TILEMODE", &v), RTNORM);
  EXPECT_EQ(v.resval.rint, 1);
  mDb.setTileMode(false);
  ASSERT_EQ(zcedGetVar(L"TILEMODE", &v), RTNORM);
  EXPECT_EQ(v.resval.rint, 0);
  v.restype = RTSHORT;
  v.resval.rint = 1;
  ASSERT_EQ(zcedSetVar(L"TILEMODE", &v), RTNORM);
  EXPECT_TRUE(mDb.tileMode());
  EXPECT_EQ(mDb.currentSpaceId(), mDb.modelSpaceId());

  v.resval.rint = 2;
  EXPECT_EQ(zcedSetVar(L"ORTHOMODE", &v), RTERROR);
  v.resval.rint = 1;
  EXPECT_EQ(zcedSetVar(L"ORTHOMODE", &v), RTNORM);
  EXPECT_EQ(Session::instance().sysVar("ORTHOMODE"), "1");
  EXPECT_EQ(zcedSetVar(L"VERLAN", &v), RTERROR);  // a number for a string variable
  resbuf s;
  s.restype = RTSTR;
  std::wstring zh = L"zh-CN";
  s.resval.rstring = zh.data();
  ASSERT_EQ(zcedSetVar(L"VERLAN", &s), RTNORM);
  EXPECT_EQ(Session::instance().sysVar("VERLAN"), "zh-CN");
  EXPECT_EQ(zcedSetVar(L"ORTHOMODE", &s), RTERROR);
  EXPECT_FALSE(Session::instance().setSysVar("PICKBOX", "-1"));
  EXPECT_FALSE(Session::instance().setSysVar("PICKBOX", "nan"));
  EXPECT_FALSE(Session::instance().setSysVar("NOSUCHVAR", "1"));
  EXPECT_FALSE(Session::instance().sysVar("NOSUCHVAR").has_value());

  Session::instance().reset();
  EXPECT_EQ(Session::instance().sysVar("VERLAN"), "en-US");
  EXPECT_EQ(Session::instance().sysVar("ORTHOMODE"), "0");
  EXPECT_EQ(Session::instance().sysVar("lastpoint"), "0,0,0");
}

TEST(ScriptInputTest, CommentsSkippedLineEndsTolerated) {
  ScriptInput in("\xEF\xBB\xBFtally\r\n# a comment\r\n  # indented comment\n\r\n<esc>\nlast");
  std::vector<std::string> lines;
  while (auto line = in.nextLine("")) lines.push_back(*line);
  EXPECT_EQ(lines, (std::vector<std::string>{"tally", "", "<esc>", "last"}));
  EXPECT_FALSE(in.nextLine("").has_value());

  std::string error;
  EXPECT_EQ(ScriptInput::fromFile("/nonexistent/dir/script.txt", error), nullptr);
  EXPECT_EQ(error, "no such file");
  // A folder opens as a stream on Linux and reads as empty: it must be refused, not run as nothing.
  EXPECT_EQ(ScriptInput::fromFile(::testing::TempDir(), error), nullptr);
  EXPECT_EQ(error, "is a folder, not a script");
  std::string path = ::testing::TempDir() + "editor_script.txt";
  std::ofstream(path) << "a\n\nb\n";
  auto fromFile = ScriptInput::fromFile(path, error);
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(fromFile->nextLine(""), "a");
  EXPECT_EQ(fromFile->nextLine(""), "");
  EXPECT_EQ(fromFile->nextLine(""), "b");
  EXPECT_FALSE(fromFile->nextLine("").has_value());
}

int gHello = 0;
void helloCommand() {
  ++gHello;
  int n = 0;
  zcedGetInt(L"\nNumber: ", &n);
  zcutPrintf(L"\nGot %d", n);
}

TEST_F(EditorTest, CommandLineRunsCommandsAndRefusesUnknownOnes) {
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  ASSERT_NE(stack, nullptr);
  ASSERT_EQ(stack->addCommand(L"RtCmdLine", L"hello", L"hallo", 0, &helloCommand), Zcad::eOk);
  gHello = 0;
  feed("HELLO\n4\nfrob\n<esc>\nHallo\n<esc>\n\n6\n<ctrl-c>\n_hello 5\n");
  Session::instance().runCommandLine();
  stack->removeGroup(L"RtCmdLine");
  EXPECT_EQ(gHello, 4);
  // Enter repeats the last command that ran (not the unknown one); Ctrl-C at the command prompt
  // only shows it again; an answer may follow the command's name on its line.
  EXPECT_EQ(mOut.str(),
            "\nCommand: HELLO\nNumber: 4\nGot 4"
            "\nCommand: frob\nUnknown command \"FROB\".  Press F1 for help."
            "\nCommand: *Cancel*"
            "\nCommand: Hallo\nNumber: *Cancel*\nGot 0"
            "\nCommand: Hallo\nNumber: 6\nGot 6"
            "\nCommand: "
            "\nCommand: _hello 5\nNumber: 5\nGot 5"
            "\nCommand: \n");
}

TEST_F(EditorTest, HelpListsEveryCommandOfTheHostGroupTheWindowsToo) {
  auto* stack = ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
  ASSERT_NE(stack, nullptr);
  // zrxcad adds ZOOM and OPEN to the host's group; a host command HELP has no words for is named bare.
  zrxhost::addHostCommand(L"ZOOM", &helloCommand, "show the whole drawing", "显示整个图形");
  ASSERT_EQ(stack->addCommand(zrxhost::kHostCommandGroup, L"UNTOLD", L"UNTOLD", 0, &helloCommand), Zcad::eOk);
  feed("HELP\n");
  Session::instance().runCommandLine();
  stack->removeCmd(zrxhost::kHostCommandGroup, L"ZOOM");
  stack->removeCmd(zrxhost::kHostCommandGroup, L"UNTOLD");
  EXPECT_NE(mOut.str().find("\n  ZOOM              show the whole drawing\n"), std::string::npos) << mOut.str();
  EXPECT_NE(mOut.str().find("\n  UNTOLD\n"), std::string::npos) << mOut.str();
}

TEST_F(EditorTest, DocumentLocksNestAndTheDocumentHoldsTheWorkingDatabase) {
  ZcApDocument* doc = zcDocManagerPtr()->curDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->database(), &mDb);
  EXPECT_EQ(zcdbHostApplicationServices()->workingDatabase(), &mDb);
  EXPECT_EQ(doc->myLockMode(), ZcDb::kNotLocked);
  EXPECT_EQ(zcDocManagerPtr()->lockDocument(doc, ZcDb::kWrite), Zcad::eOk);
  EXPECT_EQ(zcDocManagerPtr()->lockDocument(doc, ZcDb::kRead), Zcad::eOk);
  EXPECT_EQ(doc->lockDepth(), 2);
  EXPECT_EQ(doc->myLockMode(), ZcDb::kWrite);
  EXPECT_EQ(zcDocManagerPtr()->unlockDocument(doc), Zcad::eOk);
  EXPECT_EQ(zcDocManagerPtr()->unlockDocument(doc), Zcad::eOk);
  EXPECT_EQ(doc->myLockMode(), ZcDb::kNotLocked);
  EXPECT_NE(zcDocManagerPtr()->unlockDocument(doc), Zcad::eOk);
  EXPECT_NE(zcDocManagerPtr()->lockDocument(nullptr), Zcad::eOk);
  EXPECT_EQ(doc->lockDepth(), 0);
}

}  // namespace
