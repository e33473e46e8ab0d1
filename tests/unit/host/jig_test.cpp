// The jig's drag loop: samples and updates per cursor move, the accepted point, Enter, Esc, keywords,
// the recorded preview, and ortho mode.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <vector>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/session.h"

namespace {

using zrxhost::Session;

// Drags the end of a line from a fixed start; counts its calls.
class LineJig : public ZcEdJig {
 public:
  LineJig() : mLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(1, 0, 0)) {}

  DragStatus sampler() override {
    ++samplerCalls;
    ZcGePoint3d p;
    DragStatus status = acquirePoint(p);
    if (noChange && p == mCursor) return kNoChange;
    mCursor = p;
    return status;
  }
  bool update() override {
    ++updateCalls;
    mLine.setEndPoint(mCursor);
    return true;
  }
  ZcDbEntity* entity() const override { return const_cast<ZcDbLine*>(&mLine); }

  ZcGePoint3d cursor() const { return mCursor; }
  ZcGePoint3d lineEnd() const { return mLine.endPoint(); }

  int samplerCalls = 0;
  int updateCalls = 0;
  bool noChange = false;

 private:
  ZcDbLine mLine;
  ZcGePoint3d mCursor;
};

class JigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zrxhost::initializeHost();
    Session::instance().reset();
    Session::instance().recordDrags(true);
    Session::instance().setTranscript(&mOut);
  }
  void TearDown() override {
    Session::instance().reset();
    Session::instance().setTranscript(nullptr);
  }
  void feed(const std::string& script) {
    Session::instance().setInput(std::make_unique<zrxhost::ScriptInput>(script));
    mOut.str("");
  }
  std::ostringstream mOut;
};

TEST_F(JigTest, MovesSampleUpdateAndDrawThenATypedPointEndsTheDrag) {
  LineJig jig;
  jig.setDispPrompt(L"\nSecond point of %d: ", 2);
  EXPECT_STREQ(jig.dispPrompt(), L"\nSecond point of 2: ");
  feed("<move 1,0>\n<move 2,5>\n3,4\nleft over\n");
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  EXPECT_EQ(jig.samplerCalls, 3);
  EXPECT_EQ(jig.updateCalls, 3);
  // The accepted point went through sampler and update before the drag returned.
  EXPECT_EQ(jig.cursor(), ZcGePoint3d(3, 4, 0));
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(3, 4, 0));
  EXPECT_EQ(Session::instance().sysVar("LASTPOINT"), "3,4,0");
  EXPECT_EQ(mOut.str(), "\nSecond point of 2: 3,4");

  ASSERT_EQ(Session::instance().dragLogs().size(), 1u);
  const zrxhost::DragLog& log = Session::instance().dragLogs().back();
  EXPECT_EQ(log.prompt, "\nSecond point of 2: ");
  EXPECT_EQ(log.samples, 3);
  EXPECT_EQ(log.status, ZcEdJig::kNormal);
  // Only the last frame is kept: one line, ending at the accepted point.
  ASSERT_EQ(log.lastFrame.polylines().size(), 1u);
  const auto& points = log.lastFrame.polylines()[0].points;
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], ZcGePoint3d(0, 0, 0));
  EXPECT_EQ(points[1], ZcGePoint3d(3, 4, 0));
  EXPECT_TRUE(log.lastFrame.isDragging());

  // The next prompt reads on after the accepted point.
  ZTCHAR rest[20];
  EXPECT_EQ(zcedGetString(1, L"", rest, 20), RTNORM);
  EXPECT_STREQ(rest, L"left over");
}

TEST_F(JigTest, NoChangeFromTheSamplerSkipsTheUpdate) {
  LineJig jig;
  jig.noChange = true;
  feed("<move 2,0>\n<move 2,0>\n<move 2,0>\n@1,1\n");
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  EXPECT_EQ(jig.samplerCalls, 4);
  EXPECT_EQ(jig.updateCalls, 2);
  // "@" is relative to the last point before the drag, the origin here.
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(1, 1, 0));
}

TEST_F(JigTest, EnterEscExhaustionKeywordsAndBadText) {
  LineJig jig;
  jig.setDispPrompt(L"\nPoint: ");
  feed("<move 1,1>\n\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kNull);
  feed("<esc>\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kCancel);
  EXPECT_EQ(mOut.str(), "\nPoint: *Cancel*");
  feed("<move 1,1>\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kCancel);  // the input ran out: Esc

  jig.setKeywordList(L"Exit Undo");
  feed("abc\nu\n");
  EXPECT_EQ(jig.drag(), static_cast<ZcEdJig::DragStatus>(ZcEdJig::kKW1 + 1));
  EXPECT_EQ(mOut.str(), "\nPoint: abc\nInvalid point.\nPoint: u");
  feed("EXIT\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kKW1);

  const auto& logs = Session::instance().dragLogs();
  ASSERT_EQ(logs.size(), 5u);
  EXPECT_EQ(logs[0].status, ZcEdJig::kNull);
  EXPECT_EQ(logs[0].samples, 1);
  EXPECT_EQ(logs[1].status, ZcEdJig::kCancel);
  EXPECT_EQ(logs[1].samples, 0);
  // Cancelled before any move: the frame is the jig as it stood when the drag began.
  EXPECT_EQ(logs[1].lastFrame.polylines().size(), 1u);
  EXPECT_EQ(logs[3].status, ZcEdJig::kKW1 + 1);
}

TEST_F(JigTest, OrthoModeConstrainsTheAcquiredPointWhenTheJigAsks) {
  ASSERT_TRUE(Session::instance().setSysVar("LASTPOINT", "10,10,0"));
  ASSERT_TRUE(Session::instance().setSysVar("ORTHOMODE", "1"));
  LineJig jig;
  ZcGePoint3d p;
  // Before any sample the cursor rests at the last point.
  jig.acquirePoint(p);
  EXPECT_EQ(p, ZcGePoint3d(10, 10, 0));

  jig.setUserInputControls(ZcEdJig::kGovernedByOrthoMode);
  feed("<move 15,12>\n<move 11,4>\n");
  EXPECT_EQ(jig.drag(), ZcEdJig::kCancel);
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(10, 4, 0));
  // Ortho governs the cursor, never a typed point: 17,13 is taken as typed, and is the last point.
  feed("<move 11,4>\n17,13\n");
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(17, 13, 0));
  EXPECT_EQ(Session::instance().sysVar("LASTPOINT"), "17,13,0");
  feed("<move 20,11>\n");
  jig.drag();
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(20, 13, 0));

  // From an explicit base point instead of the last point.
  feed("<move 3,1>\n");
  jig.drag();
  jig.acquirePoint(p, ZcGePoint3d(0, 0, 0));
  EXPECT_EQ(p, ZcGePoint3d(3, 0, 0));

  // Ortho off, or a jig that does not ask for it: the cursor as it is.
  ASSERT_TRUE(Session::instance().setSysVar("ORTHOMODE", "0"));
  feed("18,14\n");
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(18, 14, 0));
  ASSERT_TRUE(Session::instance().setSysVar("ORTHOMODE", "1"));
  jig.setUserInputControls(static_cast<ZcEdJig::UserInputControls>(0));
  feed("<move 20,25>\n");
  jig.drag();
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(20, 25, 0));
}

// A window clicks where the cursor is: ortho bends a click as it bends a move, and the click is
// echoed and accepted as the point it became.
TEST_F(JigTest, AClickIsACursorPositionThatOrthoBendsAndEndsTheDrag) {
  ASSERT_TRUE(Session::instance().setSysVar("LASTPOINT", "10,10,0"));
  ASSERT_TRUE(Session::instance().setSysVar("ORTHOMODE", "1"));
  LineJig jig;
  jig.setDispPrompt(L"\nPoint: ");
  jig.setUserInputControls(ZcEdJig::kGovernedByOrthoMode);
  feed(zrxhost::moveLine(14, 11) + "\n" + zrxhost::clickLine(15, 12) + "\n");
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(15, 10, 0));
  EXPECT_EQ(Session::instance().sysVar("LASTPOINT"), "15,10,0");
  EXPECT_EQ(mOut.str(), "\nPoint: 15,12,0");
  EXPECT_EQ(jig.samplerCalls, 2);

  // Without ortho, the click lands where it was made.
  ASSERT_TRUE(Session::instance().setSysVar("ORTHOMODE", "0"));
  feed("<click 3.5,-2>\n");
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  EXPECT_EQ(jig.lineEnd(), ZcGePoint3d(3.5, -2, 0));
}

// While the drag runs, the session shows its frame so far; afterwards there is none.
class FrameWatcher : public zrxhost::InputSource {
 public:
  std::optional<std::string> nextLine(const std::string&) override {
    const zrxhost::DragLog* drag = Session::instance().activeDrag();
    segmentsSeen.push_back(drag ? static_cast<int>(drag->lastFrame.polylines().size()) : -1);
    if (lines.empty()) return std::nullopt;
    std::string line = lines.front();
    lines.erase(lines.begin());
    return line;
  }
  std::vector<std::string> lines;
  std::vector<int> segmentsSeen;
};

TEST_F(JigTest, TheDragInProgressShowsItsLatestFrame) {
  auto watcher = std::make_unique<FrameWatcher>();
  watcher->lines = {"<move 1,1>", "<move 2,2>", "2,3"};
  FrameWatcher* seen = watcher.get();
  Session::instance().setInput(std::move(watcher));
  EXPECT_EQ(Session::instance().activeDrag(), nullptr);
  LineJig jig;
  ASSERT_EQ(jig.drag(), ZcEdJig::kNormal);
  // The preview shows from the start, as the jig stands, and again after each move.
  EXPECT_EQ(seen->segmentsSeen, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Session::instance().activeDrag(), nullptr);
}

TEST(DrawRecorderTest, KeepsPrimitivesWithTheColourInEffect) {
  ZcGiDrawRecorder rec;
  EXPECT_FALSE(rec.isDragging());
  ZcGePoint3d pts[3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
  rec.subEntityTraits().setColor(1);
  rec.geometry().polyline(3, pts);
  rec.subEntityTraits().setColor(3);
  ZcGiTextStyle style;
  style.textSize = 2.5;
  rec.geometry().text(ZcGePoint3d(5, 5, 0), ZcGeVector3d::kZAxis, ZcGeVector3d::kXAxis, ZcString("A12"), style);
  EXPECT_FALSE(rec.geometry().polyline(2, nullptr));  // refused, nothing kept
  ASSERT_EQ(rec.polylines().size(), 1u);
  EXPECT_EQ(rec.polylines()[0].color, 1);
  EXPECT_EQ(rec.polylines()[0].points.size(), 3u);
  ASSERT_EQ(rec.texts().size(), 1u);
  EXPECT_EQ(rec.texts()[0].color, 3);
  EXPECT_TRUE(rec.texts()[0].message == L"A12");
  EXPECT_EQ(rec.texts()[0].style.textSize, 2.5);
  rec.clear();
  EXPECT_TRUE(rec.texts().empty());
  EXPECT_TRUE(rec.polylines().empty());
}

// Each record keeps the font names its text was drawn with, however the style object changes or
// is replaced between texts.
TEST(DrawRecorderTest, KeepsTheFontNamesOfEachText) {
  ZcGiDrawRecorder rec;
  ZcGiTextStyle style;
  auto draw = [&](const ZcGiTextStyle& s) {
    rec.geometry().text(ZcGePoint3d(), ZcGeVector3d::kZAxis, ZcGeVector3d::kXAxis, ZcString("A"), s);
  };
  draw(style);
  style.setFileName(ZcString("romans"));
  draw(style);
  style.setBigFontFileName(ZcString("big"));
  draw(style);
  ZcGiTextStyle same;  // the same names in another object
  same.setFileName(ZcString("romans"));
  same.setBigFontFileName(ZcString("big"));
  draw(same);
  draw(ZcGiTextStyle());
  const std::pair<const char*, const char*> expected[] = {
      {"", ""}, {"romans", ""}, {"romans", "big"}, {"romans", "big"}, {"", ""}};
  ASSERT_EQ(rec.texts().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(rec.texts()[i].style.fileName().toUtf8(), expected[i].first) << i;
    EXPECT_EQ(rec.texts()[i].style.bigFontFileName().toUtf8(), expected[i].second) << i;
  }
  EXPECT_EQ(&rec.texts()[2].style.fileName(), &rec.texts()[3].style.fileName());  // one pair kept once
}

}  // namespace
