// The preview entity: its class registration, and what its draw shows for each state and alignment.
#include "jig/text_array.h"

#include <cmath>
#include <cwchar>

#include "module_fixture.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

class TextArrayTest : public ModuleFixture {
 protected:
  // A preview on `source` holding `points` with the strings "s0", "s1", …, in its second stage.
  std::unique_ptr<TextArray> preview(ZcDbObjectId source, const std::vector<ZcGePoint3d>& points, int stage = 1) {
    std::unique_ptr<TextArray> p(static_cast<TextArray*>(TextArray::desc()->create()));
    p->setDatabaseDefaults();
    p->setTextId(source);
    ZcArray<ZcGePoint3d> positions;
    ZcArray<ZcString> strings;
    for (size_t i = 0; i < points.size(); ++i) {
      positions.append(points[i]);
      strings.append(ZcString(("s" + std::to_string(i)).c_str()));
    }
    p->setPositionArray(positions);
    p->setStringArray(strings);
    p->setDragStage(stage);
    return p;
  }

  // Where the source Text itself would stand with its alignment point moved to `point`.
  ZcGePoint3d positionWithAlignmentAt(ZcDbObjectId source, const ZcGePoint3d& point, const ZcString& string) {
    ZcDbText* pClone = nullptr;
    {
      auto pText = openText(source);
      pClone = static_cast<ZcDbText*>(pText->clone());
    }
    pClone->setTextString(string);
    pClone->setAlignmentPoint(point);
    pClone->adjustAlignment(nullptr);
    ZcGePoint3d position = pClone->position();
    delete pClone;
    return position;
  }
};

TEST_F(TextArrayTest, RegistrationRecord) {
  ZcRxClass* cls = TextArray::desc();
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(zcrxFindZcRxClass(L"TextArray"), cls);
  EXPECT_STREQ(cls->name(), L"TextArray");
  EXPECT_EQ(cls->parentName(), ZcString(L"AcDbEntity"));
  EXPECT_EQ(cls->myParent(), ZcDbEntity::desc());
  EXPECT_TRUE(cls->isDerivedFrom(ZcDbEntity::desc()));
  EXPECT_EQ(cls->dwgVersion(), 33);
  EXPECT_EQ(cls->maintenanceVersion(), 55);
  EXPECT_EQ(cls->proxyFlags(), 0xBFF);
  EXPECT_STREQ(cls->dxfName(), L"TextArray");
  EXPECT_STREQ(cls->appName(), L"\"\"");
  EXPECT_EQ(cls->appNameCallbackPtr(), nullptr);

  std::unique_ptr<ZcRxObject> created(cls->create());
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->isA(), cls);
}

TEST_F(TextArrayTest, RegisteringTwiceKeepsOneClass) {
  ZcRxClass* first = TextArray::desc();
  TextArray::rxInit();
  TextArray::rxInit();
  EXPECT_EQ(TextArray::desc(), first);
  EXPECT_EQ(zcrxFindZcRxClass(L"TextArray"), first);
}

TEST_F(TextArrayTest, RemovalAndRegistrationAgain) {
  TextArray::rxUninit();
  EXPECT_EQ(zcrxFindZcRxClass(L"TextArray"), nullptr);
  EXPECT_EQ(TextArray::desc(), nullptr);
  TextArray::rxInit();
  zcrxBuildClassHierarchy();
  ASSERT_NE(TextArray::desc(), nullptr);
  EXPECT_EQ(zcrxFindZcRxClass(L"TextArray"), TextArray::desc());
}

TEST_F(TextArrayTest, AnotherClassOfTheSameNameStopsTheHost) {
  EXPECT_DEATH(
      {
        deleteZcRxClass(TextArray::desc());
        // Keep the freed descriptor's memory taken, so that the other class cannot come back at the
        // same address and pass for the held one.
        std::vector<std::unique_ptr<char[]>> taken;
        for (int i = 0; i < 16; ++i) taken.emplace_back(new char[sizeof(ZcRxClass)]);
        newZcRxClass(L"TextArray", L"AcDbEntity", 1, 1);
        TextArray::rxInit();
      },
      "Class mismatch");
}

TEST_F(TextArrayTest, DrawsNothingWithoutSourcePointsOrSecondStage) {
  ZcDbObjectId source = addText({});
  ZcGiDrawRecorder recorder;

  std::unique_ptr<TextArray> empty(static_cast<TextArray*>(TextArray::desc()->create()));
  ZcArray<ZcGePoint3d> points;
  points.append(ZcGePoint3d(1, 1, 0));
  empty->setPositionArray(points);
  empty->setDragStage(1);
  EXPECT_FALSE(empty->worldDraw(&recorder));

  EXPECT_FALSE(preview(source, {})->worldDraw(&recorder));
  EXPECT_TRUE(preview(source, {{1, 1, 0}, {2, 2, 0}, {3, 3, 0}}, 0)->worldDraw(&recorder));
  EXPECT_TRUE(recorder.texts().empty());
  EXPECT_TRUE(recorder.polylines().empty());
}

TEST_F(TextArrayTest, LeftBaselineCopiesStandOnTheirPoints) {
  TextSpec props;
  props.rotation = 30 * kDeg;
  props.oblique = 10 * kDeg;
  props.height = 4;
  props.widthFactor = 0.8;
  ZcDbObjectId source = addText(props);
  {
    ZcDbText* pText = nullptr;
    ASSERT_EQ(zcdbOpenObject(pText, source, ZcDb::kForWrite), Zcad::eOk);
    pText->setColorIndex(3);
    pText->close();
  }
  ZcGiDrawRecorder recorder;
  EXPECT_TRUE(preview(source, {{0, 0, 0}, {10, 5, 0}})->worldDraw(&recorder));
  ASSERT_EQ(recorder.texts().size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const auto& t = recorder.texts()[i];
    EXPECT_EQ(t.message.toUtf8(), "s" + std::to_string(i));
    EXPECT_DOUBLE_EQ(t.style.textSize, 4);
    EXPECT_DOUBLE_EQ(t.style.xScale, 0.8);
    EXPECT_NEAR(t.style.obliquingAngle, 10 * kDeg, 1e-12);
    EXPECT_NEAR(std::atan2(t.direction.y, t.direction.x), 30 * kDeg, 1e-9);
    EXPECT_EQ(t.color, 3);
  }
  expectNear(recorder.texts()[0].position, {0, 0, 0});
  expectNear(recorder.texts()[1].position, {10, 5, 0});
  // The source itself is untouched by the draw.
  auto pText = openText(source);
  EXPECT_EQ(pText->textZcString(), ZcString(L"A1"));
  expectNear(pText->position(), props.position, 0);
}

TEST_F(TextArrayTest, OtherAlignmentsArePlacedByTheirAlignmentPoint) {
  struct Modes {
    int h, v;
  };
  for (Modes m : {Modes{1, 0}, Modes{2, 0}, Modes{4, 0}, Modes{0, 1}, Modes{0, 2}, Modes{2, 3}, Modes{1, 3}}) {
    SCOPED_TRACE(::testing::Message() << "h " << m.h << " v " << m.v);
    TextSpec props;
    props.horizontalMode = m.h;
    props.verticalMode = m.v;
    props.alignmentPoint = ZcGePoint3d(60, 60, 0);
    ZcDbObjectId source = addText(props);
    ZcGiDrawRecorder recorder;
    EXPECT_TRUE(preview(source, {{0, 0, 0}, {-20, 7, 0}})->worldDraw(&recorder));
    ASSERT_EQ(recorder.texts().size(), 2u);
    expectNear(recorder.texts()[0].position, positionWithAlignmentAt(source, {0, 0, 0}, ZcString(L"s0")));
    expectNear(recorder.texts()[1].position, positionWithAlignmentAt(source, {-20, 7, 0}, ZcString(L"s1")));
    // Not simply at the point: the modes moved the insertion point.
    EXPECT_FALSE(recorder.texts()[0].position.isEqualTo({0, 0, 0}, ZcGeTol(1e-6, 1e-6)));
  }
}

TEST_F(TextArrayTest, AlignedAndFitCopiesKeepTheSourcesBaseline) {
  // Whatever vertical mode a drawing gives them: they span their two points all the same.
  for (auto [h, v] : {std::pair{ZcDb::kTextAlign, ZcDb::kTextBase},
                      {ZcDb::kTextFit, ZcDb::kTextBase},
                      {ZcDb::kTextAlign, ZcDb::kTextBottom},
                      {ZcDb::kTextFit, ZcDb::kTextTop}}) {
    SCOPED_TRACE(testing::Message() << h << " " << v);
    TextSpec props;
    props.horizontalMode = h;
    props.verticalMode = v;
    props.alignmentPoint = ZcGePoint3d(130, 57, 0);
    ZcDbObjectId source = addText(props);
    ZcGiDrawRecorder original;
    openText(source)->worldDraw(&original);
    ASSERT_EQ(original.texts().size(), 1u);

    auto p = preview(source, {{110, 50, 0}, {-100, 40, 0}});
    ZcArray<ZcString> strings;
    strings.append(ZcString(L"A1"));
    strings.append(ZcString(L"A1"));
    p->setStringArray(strings);
    ZcGiDrawRecorder recorder;
    EXPECT_TRUE(p->worldDraw(&recorder));
    ASSERT_EQ(recorder.texts().size(), 2u);
    expectNear(recorder.texts()[0].position, {110, 50, 0});
    expectNear(recorder.texts()[1].position, {-100, 40, 0});
    // With the source's own string each copy spans the source's baseline exactly: same slope, height
    // and width factor, as the commit will write it, not stretched back to the source's second point.
    for (const auto& t : recorder.texts()) {
      EXPECT_NEAR(std::atan2(t.direction.y, t.direction.x), std::atan2(7.0, 30.0), 1e-9);
      EXPECT_NEAR(t.style.textSize, original.texts()[0].style.textSize, 1e-9);
      EXPECT_NEAR(t.style.xScale, original.texts()[0].style.xScale, 1e-9);
    }
  }
}

TEST_F(TextArrayTest, ErasedSourceDrawsNothing) {
  ZcDbObjectId source = addText({});
  auto p = preview(source, {{1, 1, 0}});
  ZcDbText* pText = nullptr;
  ASSERT_EQ(zcdbOpenObject(pText, source, ZcDb::kForWrite), Zcad::eOk);
  pText->erase(true);
  pText->close();
  ZcGiDrawRecorder recorder;
  EXPECT_FALSE(p->worldDraw(&recorder));
  EXPECT_TRUE(recorder.texts().empty());
}

TEST_F(TextArrayTest, ListsOfDifferentLengthsDrawOnlyWhatPairsUp) {
  ZcDbObjectId source = addText({});
  auto p = preview(source, {{1, 1, 0}, {2, 2, 0}, {3, 3, 0}});
  ZcArray<ZcString> strings;
  strings.append(ZcString(L"only"));
  p->setStringArray(strings);
  ZcGiDrawRecorder recorder;
  EXPECT_TRUE(p->worldDraw(&recorder));
  ASSERT_EQ(recorder.texts().size(), 1u);
  EXPECT_EQ(recorder.texts()[0].message, ZcString(L"only"));
}

}  // namespace
