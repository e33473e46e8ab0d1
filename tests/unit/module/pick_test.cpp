// The character pick on real texts: which character a point falls on, the run, the messages, the
// mark's corners, and the text left as it was.
#include <cmath>

#include "jig/message_catalogue.h"
#include "jig/tally_jig.h"
#include "module_fixture.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

class PickTest : public ModuleFixture {
 protected:
  // Cumulative right edges of the characters, each measured alone with the text's height, style
  // and width factor, upright: what the pick compares the point with.
  std::vector<double> edges(const TextSpec& props) {
    std::vector<double> result;
    double sum = 0;
    for (wchar_t c : props.string) {
      TextSpec probe = props;
      probe.string = std::wstring(1, c);
      probe.rotation = 0;
      probe.oblique = 0;
      probe.horizontalMode = ZcDb::kTextLeft;
      probe.verticalMode = ZcDb::kTextBase;
      ZcDbObjectId id = addText(probe);
      ZcDbExtents extents;
      {
        auto pText = openText(id);
        EXPECT_EQ(pText->getGeomExtents(extents), Zcad::eOk);
      }
      ZcDbText* pText = nullptr;
      zcdbOpenObject(pText, id, ZcDb::kForWrite);
      pText->erase(true);
      pText->close();
      sum += std::fabs(extents.maxPoint().x - extents.minPoint().x);
      result.push_back(sum);
    }
    return result;
  }

  // A point at `along` from the text's position along its baseline and `across` above it.
  static ZcGePoint3d at(const TextSpec& props, double along, double across) {
    ZcGeVector3d x(1, 0, 0), y(0, 1, 0);
    x.rotateBy(props.rotation, ZcGeVector3d(0, 0, 1));
    y.rotateBy(props.rotation, ZcGeVector3d(0, 0, 1));
    return props.position + x * along + y * across;
  }

  // The middle of character i, half a text height above the baseline.
  ZcGePoint3d middleOf(const TextSpec& props, int i) {
    std::vector<double> e = edges(props);
    double left = i > 0 ? e[i - 1] : 0;
    return at(props, (left + e[i]) / 2, 0);
  }

  std::vector<ZcGePoint3d> markCorners(ZcDbObjectId markId) {
    ZcDb3dPolyline* pEdge = nullptr;
    EXPECT_EQ(zcdbOpenObject(pEdge, markId, ZcDb::kForRead), Zcad::eOk);
    if (pEdge == nullptr) return {};
    EXPECT_TRUE(pEdge->isClosed());
    EXPECT_EQ(pEdge->colorIndex(), 1);
    EXPECT_EQ(pEdge->polyType(), ZcDb::k3dSimplePoly);
    EXPECT_EQ(pEdge->ownerId(), database->modelSpaceId());
    std::vector<ZcGePoint3d> corners = pEdge->vertices();
    pEdge->close();
    return corners;
  }
};

struct PickCase {
  const char* name;
  std::wstring string;
  int pickedIndex;
  int kind;
  int runStart;
  int runEnd;
  int framedFirst;
  int framedLast;
  const char* message;
};

void PrintTo(const PickCase& c, std::ostream* os) {
  *os << c.name;
}

class PickTable : public PickTest, public ::testing::WithParamInterface<PickCase> {};

TEST_P(PickTable, FindsTheRunAndFramesIt) {
  const PickCase& c = GetParam();
  TextSpec props;
  props.string = c.string;
  ZcDbObjectId textId = addText(props);
  std::vector<double> e = edges(props);
  TallyJig jig(textId, middleOf(props, c.pickedIndex));
  jig.setRunStart(-7);
  jig.setRunEnd(-7);

  EXPECT_EQ(jig.pickCharacterRun(), c.kind);
  EXPECT_EQ(jig.runStart(), c.runStart);
  EXPECT_EQ(jig.runEnd(), c.runEnd);
  if (c.message != nullptr) {
    EXPECT_NE(transcript().find(c.message), std::string::npos) << transcript();
  } else {
    EXPECT_EQ(transcript().find("Increment type error!"), std::string::npos) << transcript();
  }
  EXPECT_EQ(transcript().find("No characters are selected!"), std::string::npos) << transcript();

  std::vector<ZcGePoint3d> corners = markCorners(jig.markId());
  ASSERT_EQ(corners.size(), 4u);
  double right = e[c.framedLast];
  double left = c.framedFirst > 0 ? e[c.framedFirst - 1] : 0;
  expectNear(corners[0], at(props, right, 0));
  expectNear(corners[1], at(props, left, 0));
  expectNear(corners[2], at(props, left, props.height));
  expectNear(corners[3], at(props, right, props.height));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, PickTable,
    ::testing::Values(PickCase{"digitInsideLetters", L"A123B", 2, 0, 1, 3, 1, 3, nullptr},
                      PickCase{"digitRunFromStart", L"123", 0, 0, 0, 2, 0, 2, nullptr},
                      PickCase{"letterAloneNotNeighbours", L"AB12", 1, 1, 1, 1, 1, 1, nullptr},
                      PickCase{"space", L"A 1", 1, 3, -7, -7, 1, 1, "Increment type error!"},
                      PickCase{"hyphen", L"A-1", 1, 3, -7, -7, 1, 1, "Increment type error!"},
                      PickCase{"accentedLetter", L"\u00e91", 0, 3, -7, -7, 0, 0, "Increment type error!"},
                      PickCase{"chineseCharacter", L"1\u53f72", 1, 3, -7, -7, 1, 1, "Increment type error!"}),
    [](const ::testing::TestParamInfo<PickCase>& info) { return std::string(info.param.name); });

TEST_F(PickTest, NothingUnderThePickLeavesNoMark) {
  for (const std::wstring& string : {std::wstring(L"A12"), std::wstring()}) {
    TextSpec props;
    props.string = string;
    ZcDbObjectId textId = addText(props);
    std::vector<double> e = edges(props);
    double beyond = (e.empty() ? 0 : e.back()) + 0.01;
    size_t before = entities().size();
    clearTranscript();
    TallyJig jig(textId, at(props, beyond, 1));
    jig.setRunStart(4);
    jig.setRunEnd(5);

    EXPECT_EQ(jig.pickCharacterRun(), 2);
    EXPECT_TRUE(jig.markId().isNull());
    EXPECT_EQ(jig.runStart(), 4);
    EXPECT_EQ(jig.runEnd(), 5);
    EXPECT_EQ(entities().size(), before);
    EXPECT_NE(transcript().find("No characters are selected!"), std::string::npos) << transcript();
    jig.eraseMark();
    EXPECT_EQ(entities().size(), before);
  }
}

TEST_F(PickTest, SaysWhyInTheLanguageOfTheRun) {
  TextSpec props;
  props.string = L"A#1";
  ZcDbObjectId textId = addText(props);
  MessageCatalogue chinese(L"zh-CN");
  activeCatalogue = &chinese;
  clearTranscript();
  TallyJig uncountable(textId, middleOf(props, 1));
  EXPECT_EQ(uncountable.pickCharacterRun(), kNotCountable);
  TallyJig beside(textId, at(props, edges(props).back() + 1, 1));
  EXPECT_EQ(beside.pickCharacterRun(), kNothingPicked);
  activeCatalogue = nullptr;
  uncountable.eraseMark();
  EXPECT_NE(transcript().find("\n\u9012\u589e\u7c7b\u578b\u9519\u8bef!"), std::string::npos) << transcript();
  EXPECT_NE(transcript().find("\n\u672a\u9009\u4e2d\u4efb\u4f55\u5b57\u7b26!"), std::string::npos) << transcript();
}

TEST_F(PickTest, BoundariesAndLeftOfStart) {
  TextSpec props;
  props.string = L"12AB";
  ZcDbObjectId textId = addText(props);
  std::vector<double> e = edges(props);
  // Exactly on the right edge of the 2: still the 2, which belongs to the digit run.
  {
    TallyJig jig(textId, at(props, e[1], 0.5));
    EXPECT_EQ(jig.pickCharacterRun(), 0);
    EXPECT_EQ(jig.runEnd(), 1);
    jig.eraseMark();
  }
  // Just past it: the A.
  {
    TallyJig jig(textId, at(props, e[1] + 1e-6, 0.5));
    EXPECT_EQ(jig.pickCharacterRun(), 1);
    EXPECT_EQ(jig.runStart(), 2);
    jig.eraseMark();
  }
  // Left of the start by the A's middle distance counts as that distance to the right.
  {
    double d = (e[2] + e[3]) / 2;
    TallyJig jig(textId, at(props, -d, 0.5));
    EXPECT_EQ(jig.pickCharacterRun(), 1);
    EXPECT_EQ(jig.runStart(), 3);
    jig.eraseMark();
  }
}

TEST_F(PickTest, RotatedTextPicksInItsOwnAxes) {
  TextSpec upright;
  upright.string = L"AB3CD";
  TextSpec turned = upright;
  turned.rotation = 90 * kDeg;
  std::vector<double> e = edges(upright);
  double along = (e[1] + e[2]) / 2;

  ZcDbObjectId uprightId = addText(upright);
  TallyJig first(uprightId, at(upright, along, 1));
  EXPECT_EQ(first.pickCharacterRun(), 0);

  ZcDbObjectId turnedId = addText(turned);
  TallyJig second(turnedId, at(turned, along, 1));
  EXPECT_EQ(second.pickCharacterRun(), 0);
  EXPECT_EQ(second.runStart(), first.runStart());
  EXPECT_EQ(second.runStart(), 2);

  // The mark stands turned with the text: its baseline runs along +Y.
  std::vector<ZcGePoint3d> corners = markCorners(second.markId());
  ASSERT_EQ(corners.size(), 4u);
  expectNear(corners[0], turned.position + ZcGeVector3d(0, e[2], 0));
  expectNear(corners[1], turned.position + ZcGeVector3d(0, e[1], 0));
  expectNear(corners[2], turned.position + ZcGeVector3d(-turned.height, e[1], 0));
}

TEST_F(PickTest, ObliqueTextMovesHighPicksBackAlongTheSlant) {
  TextSpec props;
  props.string = L"1A2B";
  props.oblique = 30 * kDeg;
  props.height = 10;
  ZcDbObjectId textId = addText(props);
  std::vector<double> e = edges(props);
  // High on the slanted 2: the stem has moved right by height * tan(oblique) up there.
  double high = 9;
  double shift = high * std::tan(props.oblique);
  double along = (e[1] + e[2]) / 2 + shift;
  ASSERT_GT(along, e[2]) << "the test needs a pick that would hit the next character unslanted";
  TallyJig jig(textId, at(props, along, high));
  EXPECT_EQ(jig.pickCharacterRun(), 0);
  EXPECT_EQ(jig.runStart(), 2);

  // The sides lean with the stems and the top lies one text height above the baseline.
  std::vector<ZcGePoint3d> corners = markCorners(jig.markId());
  ASSERT_EQ(corners.size(), 4u);
  double lean = props.height * std::tan(props.oblique);
  expectNear(corners[1], at(props, e[1], 0));
  expectNear(corners[2], at(props, e[1] + lean, props.height));
  expectNear(corners[3], at(props, e[2] + lean, props.height));
}

TEST_F(PickTest, AlignedAndFitTextsAreMeasuredAtTheirOwnScale) {
  for (int h : {ZcDb::kTextAlign, ZcDb::kTextFit}) {
    SCOPED_TRACE(h);
    TextSpec props;
    props.string = L"AB12";
    props.horizontalMode = h;
    props.alignmentPoint = ZcGePoint3d(140, 50, 0);
    ZcDbObjectId textId = addText(props);
    // Near the end of the 40-unit baseline lies the 2, near its start the A.
    TallyJig end(textId, ZcGePoint3d(139, 51, 0));
    EXPECT_EQ(end.pickCharacterRun(), 0);
    EXPECT_EQ(end.runStart(), 2);
    EXPECT_EQ(end.runEnd(), 3);
    std::vector<ZcGePoint3d> corners = markCorners(end.markId());
    ASSERT_EQ(corners.size(), 4u);
    EXPECT_NEAR(corners[0].x, 140, 1e-6);
    TallyJig start(textId, ZcGePoint3d(101, 51, 0));
    EXPECT_EQ(start.pickCharacterRun(), 1);
    EXPECT_EQ(start.runStart(), 0);

    auto pText = openText(textId);
    EXPECT_EQ(pText->horizontalMode(), h);
    expectNear(pText->position(), {100, 50, 0}, 1e-9);
    expectNear(pText->alignmentPoint(), {140, 50, 0}, 1e-9);
  }
}

TEST_F(PickTest, TextIsLeftAsItWas) {
  TextSpec props;
  props.string = L"Nr. 042-b";
  props.rotation = 25 * kDeg;
  props.oblique = 15 * kDeg;
  props.horizontalMode = ZcDb::kTextCenter;
  props.alignmentPoint = ZcGePoint3d(40, 30, 0);
  ZcDbObjectId textId = addText(props);
  ZcGePoint3d position, alignment;
  ZcDbExtents before;
  {
    auto pText = openText(textId);
    position = pText->position();
    alignment = pText->alignmentPoint();
    pText->getGeomExtents(before);
  }
  TextSpec local = props;
  local.position = position;
  std::vector<double> e = edges(local);
  TallyJig jig(textId, at(local, (e[4] + e[5]) / 2, 1));
  EXPECT_EQ(jig.pickCharacterRun(), 0);
  EXPECT_EQ(jig.runStart(), 4);
  EXPECT_EQ(jig.runEnd(), 6);

  auto pText = openText(textId);
  EXPECT_EQ(pText->textZcString(), ZcString(L"Nr. 042-b"));
  EXPECT_DOUBLE_EQ(pText->rotation(), props.rotation);
  EXPECT_DOUBLE_EQ(pText->oblique(), props.oblique);
  expectNear(pText->position(), position, 1e-9);
  expectNear(pText->alignmentPoint(), alignment, 1e-9);
  ZcDbExtents after;
  pText->getGeomExtents(after);
  expectNear(after.minPoint(), before.minPoint(), 1e-9);
  expectNear(after.maxPoint(), before.maxPoint(), 1e-9);
  EXPECT_EQ(zcDocManagerPtr()->curDocument()->lockDepth(), 0);
}

TEST_F(PickTest, EraseMarkRemovesOnlyTheMark) {
  TextSpec props;
  props.string = L"B7";
  ZcDbObjectId textId = addText(props);
  size_t before = entities().size();
  TallyJig jig(textId, middleOf(props, 1));
  ASSERT_EQ(jig.pickCharacterRun(), 0);
  EXPECT_EQ(entities().size(), before + 1);
  jig.eraseMark();
  EXPECT_EQ(entities().size(), before);
  EXPECT_TRUE(jig.markId().isErased());
  EXPECT_FALSE(textId.isErased());
  jig.eraseMark();  // a second call finds nothing to erase
  EXPECT_EQ(entities().size(), before);
}

TEST_F(PickTest, ErasedTextPicksNothing) {
  TextSpec props;
  props.string = L"9";
  ZcDbObjectId textId = addText(props);
  TallyJig jig(textId, middleOf(props, 0));
  ZcDbText* pText = nullptr;
  ASSERT_EQ(zcdbOpenObject(pText, textId, ZcDb::kForWrite), Zcad::eOk);
  pText->erase(true);
  pText->close();
  EXPECT_EQ(jig.pickCharacterRun(), 2);
  EXPECT_TRUE(jig.markId().isNull());
}

}  // namespace
