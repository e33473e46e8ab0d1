// The placement dialogue with scripted input, and the commit of the copies by the source's alignment.
#include "jig/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "jig/commit.h"
#include "jig/tally_jig.h"
#include "module_fixture.h"

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

class PlacementTest : public ModuleFixture {
 protected:
  // A text at (100, 50) whose first character is picked.
  ZcDbObjectId source(const std::wstring& string, TextSpec props = {}) {
    props.string = string;
    return addText(props);
  }
  static ZcGePoint3d firstCharacter() { return {100.3, 51, 0}; }

  // Positions (or, for texts placed by alignment, alignment points) of every copy, in drawing order.
  std::vector<ZcGePoint3d> copyPoints(ZcDbObjectId sourceId, bool byAlignment = false) {
    std::vector<ZcGePoint3d> points;
    for (ZcDbObjectId id : entities()) {
      if (id == sourceId) continue;
      ZcDbText* pText = nullptr;
      if (zcdbOpenObject(pText, id, ZcDb::kForRead) != Zcad::eOk) continue;
      points.push_back(byAlignment ? pText->alignmentPoint() : pText->position());
      pText->close();
    }
    return points;
  }

  static void expectPoints(const std::vector<ZcGePoint3d>& actual, const std::vector<ZcGePoint3d>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
      SCOPED_TRACE(i);
      expectNear(actual[i], expected[i]);
    }
  }

  static std::string point(double x, double y) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.12f,%.12f", x, y);
    return buffer;
  }

  // Runs the dialogue and the mark's removal as the command does, picking the first character.
  void place(ZcDbObjectId textId, IncrementMethod method, int increment, const std::string& answers) {
    ZcGePoint3d pick = firstCharacter();
    {
      auto pText = openText(textId);
      ZcGeVector3d offset = firstCharacter() - ZcGePoint3d(100, 50, 0);
      offset.rotateBy(pText->rotation(), ZcGeVector3d(0, 0, 1));
      pick = pText->position() + offset;
    }
    input(answers);
    TallyJig jig(textId, pick);
    placeArray(jig, method, increment);
    jig.eraseMark();
  }

  bool printed(const std::string& text) const { return transcript().find(text) != std::string::npos; }
};

TEST_F(PlacementTest, LineWithSpacing) {
  ZcDbObjectId textId = source(L"7");
  // An empty answer at the spacing prompt is refused and asked again.
  place(textId, kLine, 1, "\n10\n0,0\n35,0\n");
  EXPECT_EQ(copyStrings(textId), (std::vector<std::string>{"8", "9", "10"})) << transcript();
  expectPoints(copyPoints(textId), {{110, 50, 0}, {120, 50, 0}, {130, 50, 0}});
  EXPECT_TRUE(printed("Specify the spacing betwwen items[Numbers (N)]:"));
  EXPECT_TRUE(printed("Specify the base point:"));
  EXPECT_TRUE(printed("Specify the second point:"));
  EXPECT_FALSE(printed("Enter the number of items:"));
}

TEST_F(PlacementTest, LineWithCount) {
  ZcDbObjectId textId = source(L"7");
  place(textId, kLine, 5, "N\n4\n0,0\n0,20\n");
  EXPECT_EQ(copyStrings(textId), (std::vector<std::string>{"12", "17", "22", "27"}));
  expectPoints(copyPoints(textId), {{100, 55, 0}, {100, 60, 0}, {100, 65, 0}, {100, 70, 0}});
  EXPECT_TRUE(printed("Enter the number of items:"));
}

TEST_F(PlacementTest, CountRefusesZeroAndNegativeSpacingDoesNot) {
  ZcDbObjectId textId = source(L"7");
  place(textId, kLine, 1, "N\n0\n-2\n3\n0,0\n30,0\n");
  EXPECT_EQ(copyStrings(textId).size(), 3u);

  // Past the limit a count is refused with its own message and asked again; the limit itself is taken.
  ZcDbObjectId many = source(L"5");
  const size_t before = entities().size();
  const std::string refusal = "\nThe number of items cannot exceed 100000. Enter it again.\nEnter the number of items:";
  place(many, kLine, 1, "N\n100001\n100000\n0,0\n0,1\n");
  EXPECT_EQ(entities().size(), before + 100000);
  const std::string out = transcript();
  EXPECT_NE(out.find(refusal), std::string::npos) << out.substr(0, 2000);
  EXPECT_EQ(out.find(refusal), out.rfind(refusal));
  EXPECT_FALSE(printed("cut"));

  // Zero and negative spacings reach the jig and lay out nothing; accepting writes nothing.
  for (const char* spacing : {"0", "-5"}) {
    ZcDbObjectId other = source(L"3");
    size_t before = entities().size();
    input(std::string(spacing) + "\n0,0\n35,0\n");
    TallyJig jig(other, firstCharacter());
    placeArray(jig, kLine, 1);
    EXPECT_EQ(jig.objDist(), std::atof(spacing));
    EXPECT_FALSE(jig.objNumGiven());
    jig.eraseMark();
    EXPECT_EQ(entities().size(), before);
  }
}

TEST_F(PlacementTest, PolarBothDirections) {
  const std::string e = point(7 * std::cos(100 * kDeg), 7 * std::sin(100 * kDeg));
  ZcDbObjectId ccw = source(L"A");
  place(ccw, kPolar, 1, "0,0\n30\nCW\n10,0\n" + e + "\n");
  EXPECT_EQ(copyStrings(ccw), (std::vector<std::string>{"B", "C", "D"}));
  expectPoints(copyPoints(ccw), {{98.660254, 55, 0}, {95, 58.660254, 0}, {90, 60, 0}});
  EXPECT_TRUE(printed("Specify the centre point of items:"));
  EXPECT_TRUE(printed("Enter the angle of items [Number(N)]:"));
  EXPECT_TRUE(printed("Specify the direction[Clockwise(C)/Counterclockwise(A)]:"));

  for (ZcDbObjectId id : entities()) {
    if (id == ccw) continue;
    ZcDbText* pText = nullptr;
    zcdbOpenObject(pText, id, ZcDb::kForWrite);
    pText->erase(true);
    pText->close();
  }
  ZcDbObjectId cw = source(L"A");
  place(cw, kPolar, 1, "0,0\n30\nC\n10,0\n" + e + "\n");
  std::vector<std::string> strings = copyStrings(cw);
  strings.erase(std::remove(strings.begin(), strings.end(), "A"), strings.end());  // the first source
  EXPECT_EQ(strings, (std::vector<std::string>{"B", "C", "D", "E", "F", "G", "H", "I"}));
}

TEST_F(PlacementTest, PolarWithCount) {
  ZcDbObjectId textId = source(L"A");
  place(textId, kPolar, 1, "0,0\nN\n4\nCW\n10,0\n0,3\n");
  expectPoints(copyPoints(textId),
               {{99.238795, 53.826834, 0}, {97.071068, 57.071068, 0}, {93.826834, 59.238795, 0}, {90, 60, 0}});
}

TEST_F(PlacementTest, FreeAdvancesEachCopyByTheStep) {
  ZcDbObjectId textId = source(L"7");
  place(textId, kFree, 2, "0,0\n10,0\n20,0\n30,-1\n\n");
  EXPECT_EQ(copyStrings(textId), (std::vector<std::string>{"9", "11", "13"}));
  expectPoints(copyPoints(textId), {{110, 50, 0}, {120, 50, 0}, {130, 49, 0}});
  // The free method asks for nothing but the points.
  EXPECT_FALSE(printed("Specify the spacing"));
  EXPECT_FALSE(printed("Specify the centre point"));
  EXPECT_FALSE(printed("Enter the number of items"));
  EXPECT_FALSE(printed("Specify the direction"));

  ZcDbObjectId same = source(L"Q7", TextSpec{{0, 0, 0}});
  input("0,0\n1,1\n2,2\n<esc>\n");
  TallyJig jig(same, ZcGePoint3d(0.3, 1, 0));
  placeArray(jig, kFree, 0);
  jig.eraseMark();
  EXPECT_EQ(copyStrings(textId).size(), 3u + 1u + 2u);
  std::vector<std::string> all = copyStrings(textId);
  EXPECT_EQ(std::count(all.begin(), all.end(), "Q7"), 3);  // the source and two unchanged copies
}

TEST_F(PlacementTest, FreeEndsWhenTheRunWouldFallBelowZero) {
  ZcDbObjectId textId = source(L"3");
  place(textId, kFree, -2, "0,0\n10,0\n20,0\n30,0\n");
  EXPECT_EQ(copyStrings(textId), (std::vector<std::string>{"1"}));
}

TEST_F(PlacementTest, EscAtAnyStepLeavesTheDrawingUnchanged) {
  const char* scripts[] = {
      "<esc>\n",                        // spacing
      "N\n<esc>\n",                     // count after N
      "10\n<esc>\n",                    // first drag
      "10\n0,0\n<move 30,0>\n<esc>\n",  // second drag
      "10\n0,0\n\n",                    // Enter instead of the second point
  };
  for (const char* input : scripts) {
    SCOPED_TRACE(input);
    ZcDbObjectId textId = source(L"5");
    std::vector<ZcDbObjectId> before = entities();
    place(textId, kLine, 1, input);
    EXPECT_EQ(entities(), before);
  }
  const char* polarScripts[] = {
      "<esc>\n",                    // centre
      "0,0\n<esc>\n",               // angle
      "0,0\nN\n<esc>\n",            // count
      "0,0\n30\n<esc>\n",           // direction
      "0,0\n30\nC\n<esc>\n",        // first drag
      "0,0\n30\nC\n10,0\n<esc>\n",  // second drag
  };
  for (const char* input : polarScripts) {
    SCOPED_TRACE(input);
    ZcDbObjectId textId = source(L"5");
    std::vector<ZcDbObjectId> before = entities();
    place(textId, kPolar, 1, input);
    EXPECT_EQ(entities(), before);
  }
  ZcDbObjectId textId = source(L"5");
  std::vector<ZcDbObjectId> before = entities();
  place(textId, kFree, 1, "<esc>\n");
  EXPECT_EQ(entities(), before);
}

TEST_F(PlacementTest, UncountablePickAsksNothing) {
  ZcDbObjectId textId = source(L"-5");
  std::vector<ZcDbObjectId> before = entities();
  place(textId, kLine, 1, "10\n0,0\n35,0\n");
  EXPECT_TRUE(printed("Increment type error!"));
  EXPECT_FALSE(printed("Specify the spacing"));
  EXPECT_EQ(entities(), before);
}

class CommitTest : public PlacementTest {
 protected:
  ZcDbObjectId styled(int h, int v, ZcGePoint3d alignment) {
    TextSpec props;
    props.string = L"1R";
    props.horizontalMode = h;
    props.verticalMode = v;
    props.alignmentPoint = alignment;
    props.height = 3;
    props.widthFactor = 0.7;
    props.oblique = 12 * kDeg;
    if (h != ZcDb::kTextAlign && h != ZcDb::kTextFit) props.rotation = 20 * kDeg;
    ZcDbObjectId id = addText(props);
    ZcDbText* pText = nullptr;
    zcdbOpenObject(pText, id, ZcDb::kForWrite);
    pText->setColorIndex(5);
    pText->setLayer(L"0");
    pText->close();
    return id;
  }
};

TEST_F(CommitTest, CopyIsACloneWithItsStringAndPoint) {
  ZcDbObjectId id = styled(ZcDb::kTextLeft, ZcDb::kTextBase, {});
  std::unique_ptr<ZcDbText> copy(makeCopy(id, ZcGePoint3d(7, 8, 0), ZcString(L"2R")));
  ASSERT_NE(copy, nullptr);
  EXPECT_FALSE(copy->isDatabaseResident());
  EXPECT_EQ(copy->textZcString(), ZcString(L"2R"));
  expectNear(copy->position(), {7, 8, 0}, 0);
  auto pSource = openText(id);
  EXPECT_EQ(copy->height(), pSource->height());
  EXPECT_EQ(copy->rotation(), pSource->rotation());
  EXPECT_EQ(copy->oblique(), pSource->oblique());
  EXPECT_EQ(copy->widthFactor(), pSource->widthFactor());
  EXPECT_EQ(copy->colorIndex(), 5);
  EXPECT_EQ(copy->textStyle(), pSource->textStyle());
  EXPECT_EQ(pSource->textZcString(), ZcString(L"1R"));
}

TEST_F(CommitTest, PlacedByAlignment) {
  for (auto [h, v] : {std::pair{1, 0}, std::pair{2, 0}, std::pair{4, 0}, std::pair{0, 3}, std::pair{2, 1}}) {
    SCOPED_TRACE(::testing::Message() << "h " << h << " v " << v);
    ZcDbObjectId id = styled(h, v, {120, 60, 0});
    std::unique_ptr<ZcDbText> copy(makeCopy(id, ZcGePoint3d(-4, 9, 0), ZcString(L"R5")));
    ASSERT_NE(copy, nullptr);
    expectNear(copy->alignmentPoint(), {-4, 9, 0}, 0);
    EXPECT_EQ(copy->horizontalMode(), h);
    EXPECT_EQ(copy->verticalMode(), v);
  }
}

TEST_F(CommitTest, AlignedAndFitKeepTheSourcesBaseline) {
  for (int h : {ZcDb::kTextAlign, ZcDb::kTextFit}) {
    SCOPED_TRACE(h);
    ZcDbObjectId id = styled(h, ZcDb::kTextBase, {124, 57, 0});
    std::unique_ptr<ZcDbText> copy(makeCopy(id, ZcGePoint3d(10, 10, 0), ZcString(L"R22")));
    ASSERT_NE(copy, nullptr);
    expectNear(copy->position(), {10, 10, 0});
    expectNear(copy->alignmentPoint(), {34, 17, 0});
  }
}

TEST_F(CommitTest, ErasedSourceGivesNoCopy) {
  ZcDbObjectId id = styled(0, 0, {});
  ZcDbText* pText = nullptr;
  zcdbOpenObject(pText, id, ZcDb::kForWrite);
  pText->erase(true);
  pText->close();
  EXPECT_EQ(makeCopy(id, ZcGePoint3d(1, 1, 0), ZcString(L"x")), nullptr);
}

TEST_F(CommitTest, WholeDialogueOnACentredText) {
  ZcDbObjectId id = styled(ZcDb::kTextCenter, ZcDb::kTextBase, {120, 60, 0});
  place(id, kLine, 1, "10\n0,0\n0,25\n");
  EXPECT_EQ(copyStrings(id), (std::vector<std::string>{"2R", "3R"}));
  expectPoints(copyPoints(id, true), {{120, 70, 0}, {120, 80, 0}});
}

TEST_F(CommitTest, PaperSpaceSourceGivesModelSpaceCopies) {
  TextSpec props;
  props.inPaperSpace = true;
  props.string = L"P1";
  ZcDbObjectId id = addText(props);
  size_t paperBefore = entities(true).size();
  TallyJig jig(id, firstCharacter());
  jig.setIncType(kDigitRun);
  jig.setRunStart(1);
  jig.setRunEnd(1);
  jig.setIncMethod(kLine);
  jig.setObjDist(5);
  jig.setEndPoint(ZcGePoint3d(0, 11, 0));
  jig.update();
  EXPECT_EQ(commitAllCopies(jig), 2);
  EXPECT_EQ(entities(true).size(), paperBefore);
  EXPECT_EQ(copyStrings(id), (std::vector<std::string>{"P2", "P3"}));
  EXPECT_EQ(openText(id)->ownerId(), database->paperSpaceId());
}

TEST_F(CommitTest, CopiesTheDrawingRefusesAreReported) {
  // Model space is held open for write (as by another application): nothing can be added to it.
  ZcDbObjectId textId = source(L"7");
  ZcDbBlockTableRecord* held = nullptr;
  ASSERT_EQ(zcdbOpenObject(held, database->modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
  place(textId, kLine, 1, "N\n2\n0,0\n20,0\n");
  EXPECT_TRUE(printed("The drawing refused the copies: 0 of 2 were written.")) << transcript();
  clearTranscript();
  place(textId, kFree, 1, "0,0\n10,0\n20,0\n");
  EXPECT_TRUE(printed("The drawing refused the copies: 0 of 1 were written.")) << transcript();
  held->close();
  EXPECT_TRUE(copyStrings(textId).empty());
}

TEST_F(CommitTest, OneCopyOfAnEmptyJigEndsTheFreePlacement) {
  TallyJig jig(source(L"1"), firstCharacter());
  EXPECT_FALSE(commitOneCopy(jig));
  EXPECT_EQ(commitAllCopies(jig), 0);
}

}  // namespace
