// The jig: what it takes from the picked text, its accessors, the sampler in both drags, and the
// preview the host records while the user drags.
#include "jig/tally_jig.h"
#include "module_fixture.h"

namespace {

using JigTest = ModuleFixture;

TEST_F(JigTest, ConstructionTakesTheTextAndStartsFromTheDefaults) {
  TextSpec props;
  props.string = L"Pos 12";
  props.horizontalMode = ZcDb::kTextRight;
  props.verticalMode = ZcDb::kTextTop;
  props.alignmentPoint = ZcGePoint3d(20, 30, 0);
  ZcDbObjectId textId = addText(props);
  ZcGePoint3d position = openText(textId)->position();

  TallyJig jig(textId, ZcGePoint3d(18, 29, 0));
  EXPECT_EQ(jig.textId(), textId);
  expectNear(jig.clickPoint(), {18, 29, 0}, 0);
  expectNear(jig.textPosition(), position, 0);
  expectNear(jig.alignmentPoint(), {20, 30, 0}, 0);
  EXPECT_FALSE(jig.isDefaultAlignment());
  EXPECT_EQ(jig.horizontalMode(), ZcDb::kTextRight);
  EXPECT_EQ(jig.verticalMode(), ZcDb::kTextTop);
  EXPECT_EQ(jig.textString(), ZcString(L"Pos 12"));

  EXPECT_EQ(jig.objDist(), 10.0);
  EXPECT_EQ(jig.objAngle(), 0.5235987755982988);
  EXPECT_EQ(jig.incValue(), 1);
  EXPECT_FALSE(jig.objNumGiven());
  expectNear(jig.basePoint(), {0, 0, 0}, 0);
  expectNear(jig.endPoint(), {30, 0, 0}, 0);
  expectNear(jig.objCenter(), {0, 0, 0}, 0);
  EXPECT_TRUE(jig.markId().isNull());
  EXPECT_EQ(jig.positionArray().length(), 0);
  EXPECT_EQ(jig.stringArray().length(), 0);

  // The preview is a fresh TextArray on the picked text, outside any database.
  ASSERT_NE(jig.textArray(), nullptr);
  EXPECT_EQ(jig.entity(), jig.textArray());
  EXPECT_EQ(jig.textArray()->isA(), TextArray::desc());
  EXPECT_FALSE(jig.textArray()->isDatabaseResident());
  EXPECT_EQ(jig.isA(), ZcEdJig::desc());
}

TEST_F(JigTest, CountAndSpacingSettersDecideWhatIsGiven) {
  TallyJig jig(addText({}), ZcGePoint3d(100, 50, 0));
  jig.setObjNum(5);
  jig.setObjDist(2.5);
  EXPECT_FALSE(jig.objNumGiven());
  EXPECT_EQ(jig.objNum(), 5);
  jig.setObjDist(2.5);
  jig.setObjNum(5);
  EXPECT_TRUE(jig.objNumGiven());
  EXPECT_EQ(jig.objDist(), 2.5);
  jig.setObjAngle(0.25);
  EXPECT_FALSE(jig.objNumGiven());
  EXPECT_EQ(jig.objAngle(), 0.25);
}

TEST_F(JigTest, ListsAreHandedOutAsCopies) {
  TextSpec props;
  props.string = L"A";
  TallyJig jig(addText(props), props.position);
  jig.setIncType(kLetterRun);
  jig.setRunStart(0);
  jig.setRunEnd(0);
  jig.setIncMethod(kFree);
  jig.setEndPoint(ZcGePoint3d(5, 0, 0));
  jig.update();
  ZcArray<ZcGePoint3d> points = jig.positionArray();
  ZcArray<ZcString> strings = jig.stringArray();
  ASSERT_EQ(points.length(), 1);
  points[0] = ZcGePoint3d(-1, -1, -1);
  points.append(ZcGePoint3d(1, 2, 3));
  strings[0] = ZcString(L"changed");
  expectNear(jig.positionArray()[0], {105, 50, 0}, 1e-9);
  EXPECT_EQ(jig.positionArray().length(), 1);
  EXPECT_EQ(jig.stringArray()[0], ZcString(L"B"));
}

TEST_F(JigTest, SamplerMovesBothPointsFirstThenOnlyTheEnd) {
  TextSpec props;
  props.string = L"N7";
  ZcDbObjectId textId = addText(props);
  TallyJig jig(textId, props.position);
  jig.setIncMethod(kLine);
  jig.setIncType(kDigitRun);
  jig.setRunStart(1);
  jig.setRunEnd(1);
  jig.setObjDist(10);
  auto& logs = zrxhost::Session::instance().dragLogs();
  logs.clear();

  input("<move 3,4>\n5,6\n<move 20,6>\n<move 45,6>\n35,6\n");
  jig.setDragStage(0);
  jig.textArray()->setDragStage(0);
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  expectNear(jig.basePoint(), {5, 6, 0}, 0);
  expectNear(jig.endPoint(), {5, 6, 0}, 0);

  jig.setDragStage(1);
  jig.textArray()->setDragStage(1);
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  expectNear(jig.basePoint(), {5, 6, 0}, 0);
  expectNear(jig.endPoint(), {35, 6, 0}, 0);
  EXPECT_EQ(jig.userInputControls(), ZcEdJig::kGovernedByOrthoMode);

  // The first drag previews nothing; the second shows every copy of its last update.
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].samples, 2);
  EXPECT_TRUE(logs[0].lastFrame.texts().empty());
  EXPECT_EQ(logs[1].samples, 3);
  const auto& frame = logs[1].lastFrame.texts();
  ASSERT_EQ(frame.size(), 3u);
  const char* expected[] = {"N8", "N9", "N10"};
  for (size_t i = 0; i < frame.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(frame[i].message.toUtf8(), expected[i]);
    expectNear(frame[i].position, {100 + 10.0 * static_cast<double>(i + 1), 50, 0});
  }
  EXPECT_EQ(jig.positionArray().length(), 3);
}

TEST_F(JigTest, DragEndsOnEscAndEnter) {
  TallyJig jig(addText({}), ZcGePoint3d(100, 50, 0));
  jig.setDragStage(0);
  input("<move 1,1>\n<esc>\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kCancel);
  input("\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kNull);
}

}  // namespace
