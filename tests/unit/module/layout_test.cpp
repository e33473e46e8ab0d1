// The jig's layout on real texts: line, polar and free arrays, the quotient rule, the reference
// point by alignment, strings cutting the array short, and the lists handed to the preview.
#include <cmath>
#include <optional>

#include "jig/tally_jig.h"
#include "module_fixture.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

struct LayoutCase {
  const char* name;
  IncrementMethod method;
  std::optional<int> count;  // the number of copies given; otherwise `step` is the spacing or angle
  double step;
  bool clockwise;
  ZcGePoint3d center;
  ZcGePoint3d base;
  ZcGePoint3d end;
  std::vector<ZcGePoint3d> expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.name;
}

class LayoutTest : public ModuleFixture {
 protected:
  // A jig on a one-letter text whose run never ends the array early, so the points alone count.
  std::unique_ptr<TallyJig> letterJig(TextSpec props = {}) {
    props.string = L"A";
    auto jig = std::make_unique<TallyJig>(addText(props), props.position);
    jig->setIncType(kLetterRun);
    jig->setRunStart(0);
    jig->setRunEnd(0);
    return jig;
  }

  static void layOut(TallyJig& jig, const LayoutCase& c) {
    jig.setIncMethod(c.method);
    if (c.count) {
      jig.setObjNum(*c.count);
    } else if (c.method == kLine) {
      jig.setObjDist(c.step);
    } else {
      jig.setObjAngle(c.step);
    }
    jig.setObjCenter(c.center);
    jig.setClockwise(c.clockwise);
    jig.setBasePoint(c.base);
    jig.setEndPoint(c.end);
    EXPECT_TRUE(jig.update());
  }

  static void expectPoints(const ZcArray<ZcGePoint3d>& actual, const std::vector<ZcGePoint3d>& expected) {
    ASSERT_EQ(actual.length(), static_cast<int>(expected.size()));
    for (int i = 0; i < actual.length(); ++i) {
      SCOPED_TRACE(i);
      expectNear(actual[i], expected[static_cast<size_t>(i)]);
    }
  }
};

class LayoutTable : public LayoutTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTable, PlacesTheCopiesFromTheTextsReferencePoint) {
  const LayoutCase& c = GetParam();
  auto jig = letterJig();
  layOut(*jig, c);
  expectPoints(jig->positionArray(), c.expected);
  EXPECT_EQ(jig->stringArray().length(), jig->positionArray().length());
}

const ZcGePoint3d kO(0, 0, 0);
const ZcGePoint3d kA(10, 0, 0);
const ZcGePoint3d kAt100(std::cos(100 * kDeg) * 7, std::sin(100 * kDeg) * 7, 0);

INSTANTIATE_TEST_SUITE_P(
    Methods, LayoutTable,
    ::testing::Values(
        LayoutCase{"lineSpacing", kLine, {}, 10, false, kO, kO, {35, 0, 0}, {{110, 50, 0}, {120, 50, 0}, {130, 50, 0}}},
        LayoutCase{"lineShorterThanSpacing", kLine, {}, 10, false, kO, kO, {9.99, 0, 0}, {}},
        LayoutCase{
            "lineQuotientTruncated", kLine, {}, 0.1, false, kO, kO, {0.3, 0, 0}, {{100.1, 50, 0}, {100.2, 50, 0}}},
        LayoutCase{"lineCount",
                   kLine,
                   4,
                   0,
                   false,
                   kO,
                   kO,
                   {0, 20, 0},
                   {{100, 55, 0}, {100, 60, 0}, {100, 65, 0}, {100, 70, 0}}},
        LayoutCase{"lineCountNoLength",
                   kLine,
                   3,
                   0,
                   false,
                   kO,
                   {5, 5, 0},
                   {5, 5, 0},
                   {{100, 50, 0}, {100, 50, 0}, {100, 50, 0}}},
        LayoutCase{"lineZeroSpacing", kLine, {}, 0, false, kO, kO, {35, 0, 0}, {}},
        LayoutCase{"lineNegativeSpacing", kLine, {}, -5, false, kO, kO, {35, 0, 0}, {}},
        LayoutCase{"polarCounterClockwise",
                   kPolar,
                   {},
                   30 * kDeg,
                   false,
                   kO,
                   kA,
                   kAt100,
                   {{98.660254, 55, 0}, {95, 58.660254, 0}, {90, 60, 0}}},
        LayoutCase{"polarClockwise",
                   kPolar,
                   {},
                   30 * kDeg,
                   true,
                   kO,
                   kA,
                   kAt100,
                   {{98.660254, 45, 0},
                    {95, 41.339746, 0},
                    {90, 40, 0},
                    {85, 41.339746, 0},
                    {81.339746, 45, 0},
                    {80, 50, 0},
                    {81.339746, 55, 0},
                    {85, 58.660254, 0}}},
        LayoutCase{"polarCount",
                   kPolar,
                   4,
                   0,
                   false,
                   kO,
                   kA,
                   {0, 3, 0},
                   {{99.238795, 53.826834, 0}, {97.071068, 57.071068, 0}, {93.826834, 59.238795, 0}, {90, 60, 0}}},
        LayoutCase{"polarOnTheRayThroughA", kPolar, {}, 30 * kDeg, false, kO, kA, {25, 0, 0}, {}},
        LayoutCase{"polarZeroAngle", kPolar, {}, 0, false, kO, kA, kAt100, {}},
        LayoutCase{"free", kFree, {}, 0, false, kO, kO, {7, -2, 0}, {{107, 48, 0}}},
        LayoutCase{"freeFromAMovedBase", kFree, {}, 0, false, kO, {-3, 4, 0}, {7, -2, 0}, {{110, 44, 0}}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST_F(LayoutTest, DerivedValuesAreWrittenBack) {
  auto jig = letterJig();
  layOut(*jig, {"", kLine, {}, 10, false, kO, kO, {35, 0, 0}, {}});
  EXPECT_EQ(jig->objNum(), 3);
  EXPECT_FALSE(jig->objNumGiven());

  layOut(*jig, {"", kLine, 4, 0, false, kO, kO, {0, 20, 0}, {}});
  EXPECT_DOUBLE_EQ(jig->objDist(), 5);
  EXPECT_TRUE(jig->objNumGiven());

  layOut(*jig, {"", kPolar, 4, 0, false, kO, kA, {0, 3, 0}, {}});
  EXPECT_NEAR(jig->objAngle(), 22.5 * kDeg, 1e-12);

  layOut(*jig, {"", kFree, {}, 0, false, kO, kO, {1, 1, 0}, {}});
  EXPECT_EQ(jig->objNum(), 1);
  EXPECT_TRUE(jig->objNumGiven());
}

TEST_F(LayoutTest, ReferencePointFollowsTheAlignment) {
  struct Alignment {
    int h, v;
    bool byPosition;
  };
  for (Alignment a : {Alignment{1, 0, false}, Alignment{2, 0, false}, Alignment{4, 0, false}, Alignment{0, 3, false},
                      Alignment{1, 2, false}, Alignment{3, 0, true}, Alignment{5, 0, true}}) {
    SCOPED_TRACE(::testing::Message() << "h " << a.h << " v " << a.v);
    TextSpec props;
    props.horizontalMode = a.h;
    props.verticalMode = a.v;
    props.alignmentPoint = ZcGePoint3d(140, 70, 0);
    auto jig = letterJig(props);
    ZcGePoint3d reference = a.byPosition ? jig->textPosition() : ZcGePoint3d(140, 70, 0);
    if (a.byPosition) {
      EXPECT_FALSE(jig->textPosition().isEqualTo(ZcGePoint3d(140, 70, 0)));
    }
    layOut(*jig, {"", kLine, {}, 10, false, kO, {1, 1, 0}, {1, 26, 0}, {}});
    expectPoints(jig->positionArray(), {reference + ZcGeVector3d(0, 10, 0), reference + ZcGeVector3d(0, 20, 0)});
  }
}

TEST_F(LayoutTest, NegativeDigitRunCutsTheArray) {
  TextSpec props;
  props.string = L"3";
  auto jig = std::make_unique<TallyJig>(addText(props), props.position);
  jig->setIncType(kDigitRun);
  jig->setRunStart(0);
  jig->setRunEnd(0);
  jig->setIncValue(-1);
  layOut(*jig, {"", kLine, 5, 0, false, kO, kO, {50, 0, 0}, {}});
  expectPoints(jig->positionArray(), {{110, 50, 0}, {120, 50, 0}, {130, 50, 0}});
  ZcArray<ZcString> strings = jig->stringArray();
  ASSERT_EQ(strings.length(), 3);
  EXPECT_EQ(strings[0], ZcString(L"2"));
  EXPECT_EQ(strings[1], ZcString(L"1"));
  EXPECT_EQ(strings[2], ZcString(L"0"));

  // A free copy whose run would fall below zero: no point and no string.
  TextSpec one;
  one.string = L"1";
  TallyJig free(addText(one), one.position);
  free.setIncType(kDigitRun);
  free.setRunStart(0);
  free.setRunEnd(0);
  free.setIncValue(-2);
  layOut(free, {"", kFree, {}, 0, false, kO, kO, {7, -2, 0}, {}});
  EXPECT_EQ(free.positionArray().length(), 0);
  EXPECT_EQ(free.stringArray().length(), 0);
}

TEST_F(LayoutTest, ArraysStopAtTheLimitAndSaySo) {
  auto jig = letterJig();
  layOut(*jig, {"", kLine, {}, 1e-4, false, kO, kO, {100, 0, 0}, {}});
  ZcArray<ZcGePoint3d> points = jig->positionArray();
  ASSERT_EQ(points.length(), kMaxCopies);
  expectNear(points[kMaxCopies - 1], {110, 50, 0});
  EXPECT_TRUE(jig->layoutCut());

  // A spacing that fits more often than 32 bits count is cut the same way, not dropped.
  layOut(*jig, {"", kLine, {}, 1e-9, false, kO, kO, {35, 0, 0}, {}});
  ASSERT_EQ(jig->positionArray().length(), kMaxCopies);
  expectNear(jig->positionArray()[kMaxCopies - 1], {100.0001, 50, 0});
  EXPECT_TRUE(jig->layoutCut());
  layOut(*jig, {"", kPolar, {}, 1e-12, false, kO, kA, kAt100, {}});
  EXPECT_EQ(jig->positionArray().length(), kMaxCopies);
  EXPECT_TRUE(jig->layoutCut());

  // Exactly the limit is no cut; the next update forgets an earlier one.
  layOut(*jig, {"", kLine, {}, 0.5, false, kO, kO, {50000, 0, 0}, {}});
  EXPECT_EQ(jig->positionArray().length(), kMaxCopies);
  EXPECT_FALSE(jig->layoutCut());

  // With the count given the spacing still follows from it: the first copies of the longer array.
  layOut(*jig, {"", kLine, 2 * kMaxCopies, 0, false, kO, kO, {100, 0, 0}, {}});
  points = jig->positionArray();
  ASSERT_EQ(points.length(), kMaxCopies);
  expectNear(points[kMaxCopies - 1], {150, 50, 0});
  EXPECT_EQ(jig->stringArray().length(), kMaxCopies);
  EXPECT_TRUE(jig->layoutCut());

  // A run that falls below zero ends the array before the limit does: that is no cut.
  TextSpec three;
  three.string = L"3";
  TallyJig down(addText(three), three.position);
  down.setIncType(kDigitRun);
  down.setIncValue(-1);
  layOut(down, {"", kLine, {}, 1e-6, false, kO, kO, {100, 0, 0}, {}});
  EXPECT_EQ(down.positionArray().length(), 3);
  EXPECT_FALSE(down.layoutCut());
}

TEST_F(LayoutTest, PreviewGetsBothLists) {
  TextSpec props;
  props.string = L"K9";
  auto jig = std::make_unique<TallyJig>(addText(props), props.position);
  jig->setIncType(kDigitRun);
  jig->setRunStart(1);
  jig->setRunEnd(1);
  jig->setIncValue(3);
  layOut(*jig, {"", kLine, {}, 10, false, kO, kO, {0, 25, 0}, {}});
  ASSERT_NE(jig->textArray(), nullptr);
  jig->textArray()->setDragStage(1);
  ZcGiDrawRecorder recorder;
  EXPECT_TRUE(jig->entity()->worldDraw(&recorder));
  ASSERT_EQ(recorder.texts().size(), 2u);
  EXPECT_EQ(recorder.texts()[0].message, ZcString(L"K12"));
  EXPECT_EQ(recorder.texts()[1].message, ZcString(L"K15"));
  expectNear(recorder.texts()[0].position, {100, 60, 0});
  expectNear(recorder.texts()[1].position, {100, 70, 0});

  // The next layout replaces what the preview holds.
  layOut(*jig, {"", kLine, {}, 10, false, kO, kO, {0, 5, 0}, {}});
  recorder.clear();
  EXPECT_FALSE(jig->entity()->worldDraw(&recorder));
  EXPECT_TRUE(recorder.texts().empty());
}

}  // namespace
