// The command end to end inside the host, MText flattening, and the module's entry points.
#include <gtest/gtest.h>

#include "command/flatten_mtext.h"
#include "command/increment_command.h"
#include "jig/message_catalogue.h"
#include "jig/tally_jig.h"
#include "jig/text_array.h"
#include "module/entry.h"
#include "module_fixture.h"
#include "text/pick.h"
#include "text/run.h"
#include "zrx/rx_define.h"

// Entities whose class derives from Text or MText without being one.
class NumberedText : public ZcDbText {
  ZCRX_DECLARE_MEMBERS(NumberedText);

 public:
  using ZcDbText::ZcDbText;
};
ZCRX_DEFINE_MEMBERS(NumberedText, ZcDbText, L"NumberedText", L"NUMBEREDTEXT", nullptr)

class NoteMText : public ZcDbMText {
  ZCRX_DECLARE_MEMBERS(NoteMText);
};
ZCRX_DEFINE_MEMBERS(NoteMText, ZcDbMText, L"NoteMText", L"NOTEMTEXT", nullptr)

// A line that counts its live instances, to see which exploded pieces are freed.
class CountedLine : public ZcDbLine {
 public:
  CountedLine() { ++alive; }
  ~CountedLine() override { --alive; }
  static inline int alive = 0;
};

// An entity that explodes into whatever pieces a test asks for.
class PieceSource : public ZcDbLine {
 public:
  std::vector<const wchar_t*> pieces;  // null: a non-Text piece
  Zcad::ErrorStatus explode(ZcArray<void*>& entitySet) const override {
    for (const wchar_t* piece : pieces) {
      if (piece == nullptr) {
        entitySet.append(static_cast<ZcDbEntity*>(new CountedLine));
      } else {
        entitySet.append(static_cast<ZcDbEntity*>(new ZcDbText(ZcGePoint3d(3, 4, 0), piece)));
      }
    }
    return Zcad::eOk;
  }
};

namespace {

class Command : public ModuleFixture {
 protected:
  ZcDbObjectId addMText(const wchar_t* contents, const ZcGePoint3d& at, bool paperSpace = false) {
    auto* pMText = new ZcDbMText;
    pMText->setDatabaseDefaults(database.get());
    pMText->setLocation(at);
    pMText->setTextHeight(2.5);
    pMText->setContents(contents);
    return append(pMText, paperSpace);
  }

  // Opens `id` for read as an entity and hands it to flattenMText, as the command does.
  ZcDbObjectId flatten(ZcDbObjectId id) {
    ZcDbEntity* pEnt = nullptr;
    EXPECT_EQ(zcdbOpenObject(pEnt, id, ZcDb::kForRead), Zcad::eOk);
    return flattenMText(pEnt, id);
  }

  static std::wstring textOf(ZcDbObjectId id) {
    ZcDbText* pText = nullptr;
    if (zcdbOpenObject(pText, id, ZcDb::kForRead) != Zcad::eOk) return L"<not a text>";
    std::wstring s = pText->textStringConst();
    pText->close();
    return s;
  }

  static bool isOpen(ZcDbObjectId id) {
    ZcDbObject* pObj = nullptr;
    if (zcdbOpenObject(pObj, id, ZcDb::kForWrite, true) != Zcad::eOk) return true;
    pObj->close();
    return false;
  }
};

TEST_F(Command, WrongEntityIsRefusedWithMessage7AndTheRunEnds) {
  auto* line = new ZcDbLine(ZcGePoint3d(0, 0, 0), ZcGePoint3d(10, 0, 0));
  ZcDbObjectId lineId = append(line);
  auto* derivedText = new NumberedText(ZcGePoint3d(0, 20, 0), L"N7");
  ZcDbObjectId derivedTextId = append(derivedText);
  auto* derivedMText = new NoteMText;
  derivedMText->setLocation(ZcGePoint3d(0, 40, 0));
  derivedMText->setContents(L"M8");
  ZcDbObjectId derivedMTextId = append(derivedMText);

  for (const char* pick : {"5,0", "1,21", "1,39"}) {
    clearTranscript();
    input(std::string(pick) + "\n");
    incrementCommand();
    std::string out = transcript();
    EXPECT_EQ(count(out, "\nPlease select Text or Mtext."), 1u) << pick << out;
    // Nothing is asked after the message.
    EXPECT_EQ(out.substr(out.size() - std::string("\nPlease select Text or Mtext.").size()),
              "\nPlease select Text or Mtext.")
        << out;
    EXPECT_EQ(activeCatalogue, nullptr);
  }
  EXPECT_EQ(entities().size(), 3u);
  for (ZcDbObjectId id : {lineId, derivedTextId, derivedMTextId}) EXPECT_FALSE(isOpen(id));
}

TEST_F(Command, CancelledDialogueDrawsNothing) {
  addText(L"A1", ZcGePoint3d(0, 0, 0));
  input("<esc>\n");
  incrementCommand();
  EXPECT_EQ(activeCatalogue, nullptr);
  EXPECT_EQ(entities().size(), 1u);
}

TEST_F(Command, TextIsClosedForTheJigAndNothingIsLeftAfterACancelledPlacement) {
  ZcDbObjectId id = addText(L"A12", ZcGePoint3d(0, 0, 0));
  incrementMethod = kLine;
  input("1,1\n<esc>\n");
  incrementCommand();
  std::string out = transcript();
  // The placement asked for the spacing, so the jig opened the text and drew the mark.
  EXPECT_NE(out.find("Specify the spacing betwwen items[Numbers (N)]:"), std::string::npos) << out;
  std::vector<ZcDbObjectId> left = entities();
  ASSERT_EQ(left.size(), 1u) << "the mark or a copy was left behind";
  EXPECT_EQ(left[0], id);
  EXPECT_FALSE(isOpen(id));
  EXPECT_EQ(activeCatalogue, nullptr);
}

TEST_F(Command, EntityThatCannotBeOpenedEndsTheRunQuietly) {
  ZcDbObjectId id = addText(L"A12", ZcGePoint3d(0, 0, 0));
  // Someone else holds the text open for write, so the command cannot open it for read.
  ZcDbObject* writer = nullptr;
  ASSERT_EQ(zcdbOpenObject(writer, id, ZcDb::kForWrite), Zcad::eOk);
  // The pick itself still finds the text.
  input("1,1\n");
  ASSERT_TRUE(promptForText().picked);
  clearTranscript();
  input("1,1\n10\n0,0\n25,0\n");
  incrementCommand();
  writer->close();
  std::string out = transcript();
  EXPECT_EQ(out.find("spacing"), std::string::npos) << out;
  EXPECT_EQ(out.find("Please select"), std::string::npos) << out;
  EXPECT_EQ(entities().size(), 1u);
  EXPECT_EQ(activeCatalogue, nullptr);
}

TEST_F(Command, MTextBecomesOneTextBeforeThePlacementAndStaysSo) {
  ZcDbObjectId mtextId = addMText(L"A1\\PB2", ZcGePoint3d(0, 10, 0));
  incrementMethod = kLine;
  input("0.5,9\n<esc>\n");
  incrementCommand();
  EXPECT_TRUE(mtextId.isErased());
  std::vector<ZcDbObjectId> left = entities();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(textOf(left[0]), L"A1B2");
  EXPECT_EQ(activeCatalogue, nullptr);
}

TEST_F(Command, FlattenJoinsThePiecesIntoTheFirstOne) {
  ZcDbObjectId mtextId = addMText(L"A1\\PB2\\PC3", ZcGePoint3d(5, 50, 0));
  // The first exploded line, for its placement and properties.
  ZcDbMText* pMText = nullptr;
  ASSERT_EQ(zcdbOpenObject(pMText, mtextId, ZcDb::kForRead), Zcad::eOk);
  ZcArray<void*> pieces;
  pMText->explode(pieces);
  pMText->close();
  ASSERT_EQ(pieces.length(), 3);
  auto* first = static_cast<ZcDbText*>(static_cast<ZcDbEntity*>(pieces[0]));
  ZcGePoint3d firstPosition = first->position();
  double firstHeight = first->height();
  for (void* p : pieces) delete static_cast<ZcDbEntity*>(p);

  ZcDbObjectId textId = flatten(mtextId);
  ASSERT_FALSE(textId.isNull());
  EXPECT_TRUE(mtextId.isErased());
  EXPECT_EQ(textOf(textId), L"A1B2C3");
  ZcDbText* pText = nullptr;
  ASSERT_EQ(zcdbOpenObject(pText, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_TRUE(pText->position().isEqualTo(firstPosition));
  EXPECT_DOUBLE_EQ(pText->height(), firstHeight);
  EXPECT_EQ(pText->ownerId(), database->modelSpaceId());
  pText->close();
}

TEST_F(Command, FlattenPutsAPaperSpaceMTextIntoModelSpace) {
  ZcDbObjectId mtextId = addMText(L"P7", ZcGePoint3d(0, 0, 0), true);
  ZcDbObjectId textId = flatten(mtextId);
  ASSERT_FALSE(textId.isNull());
  ZcDbText* pText = nullptr;
  ASSERT_EQ(zcdbOpenObject(pText, textId, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(pText->ownerId(), database->modelSpaceId());
  pText->close();
  EXPECT_TRUE(mtextId.isErased());
}

TEST_F(Command, FlattenSkipsPiecesThatAreNotTextAndFreesThem) {
  auto* source = new PieceSource;
  source->pieces = {nullptr, L"R1", nullptr, L"-2"};
  ZcDbObjectId sourceId = append(source);
  CountedLine::alive = 0;
  ZcDbObjectId textId = flatten(sourceId);
  EXPECT_EQ(CountedLine::alive, 0);
  ASSERT_FALSE(textId.isNull());
  EXPECT_EQ(textOf(textId), L"R1-2");
  EXPECT_TRUE(sourceId.isErased());
}

TEST_F(Command, FlattenWithoutATextPieceLeavesTheDrawingAlone) {
  for (std::vector<const wchar_t*> pieces : {std::vector<const wchar_t*>{}, std::vector<const wchar_t*>{nullptr}}) {
    auto* source = new PieceSource;
    source->pieces = pieces;
    ZcDbObjectId sourceId = append(source);
    size_t before = entities().size();
    CountedLine::alive = 0;
    clearTranscript();
    EXPECT_TRUE(flatten(sourceId).isNull());
    EXPECT_EQ(transcript(), "\nThe Mtext holds no text that can be counted, so it cannot be turned into a Text.");
    EXPECT_EQ(CountedLine::alive, 0);
    EXPECT_FALSE(sourceId.isErased());
    EXPECT_FALSE(isOpen(sourceId));
    EXPECT_EQ(entities().size(), before);
  }
}

TEST_F(Command, FlattenThatCannotEraseTheMTextWithdrawsTheNewText) {
  ZcDbObjectId mtextId = addMText(L"K9", ZcGePoint3d(0, 0, 0));
  // A second reader keeps the MText from being opened for write.
  ZcDbObject* reader = nullptr;
  ASSERT_EQ(zcdbOpenObject(reader, mtextId, ZcDb::kForRead), Zcad::eOk);
  clearTranscript();
  ZcDbObjectId textId = flatten(mtextId);
  reader->close();
  EXPECT_TRUE(textId.isNull());
  EXPECT_EQ(transcript(), "\nThe drawing refused the change: the Mtext cannot be replaced by a Text.");
  EXPECT_FALSE(mtextId.isErased());
  std::vector<ZcDbObjectId> left = entities();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0], mtextId);
}

TEST_F(Command, FlattenMovesThePickOntoTheSameCharacterOfTheJoinedText) {
  // The middle of character `index` of exploded piece `line`, a little above its baseline.
  auto onLine = [](ZcDbObjectId mtextId, int line, int index) {
    ZcDbMText* pMText = nullptr;
    EXPECT_EQ(zcdbOpenObject(pMText, mtextId, ZcDb::kForRead), Zcad::eOk);
    ZcArray<void*> pieces;
    pMText->explode(pieces);
    pMText->close();
    auto* piece = static_cast<ZcDbText*>(static_cast<ZcDbEntity*>(pieces[line]));
    ZcArray<double> edges;
    measureCharacterEdges(piece, edges);
    ZcGeVector3d along((index > 0 ? edges[index - 1] : 0) / 2 + edges[index] / 2, 0.5, 0);
    along.rotateBy(piece->rotation(), ZcGeVector3d(0, 0, 1));
    const ZcGePoint3d point = piece->position() + along;
    for (void* p : pieces) delete static_cast<ZcDbEntity*>(p);
    return point;
  };
  struct Case {
    const wchar_t* contents;
    int line, index;
    int kind, runStart, runEnd;  // what the pick analysis then finds on "A1B22C333"
  };
  // The second MText explodes into "A1", "B", a tall "22", "C" and a red "333".
  const wchar_t* lines = L"A1\\PB22\\PC333";
  const wchar_t* runs = L"A1\\PB{\\H2x;22}C{\\C1;333}";
  for (const Case& c :
       {Case{lines, 2, 2, kDigitRun, 6, 8}, Case{lines, 1, 0, kLetterRun, 2, 2}, Case{lines, 0, 1, kDigitRun, 1, 1},
        Case{runs, 4, 2, kDigitRun, 6, 8}, Case{runs, 3, 0, kLetterRun, 5, 5}, Case{runs, 2, 1, kDigitRun, 3, 4}}) {
    SCOPED_TRACE(c.line);
    ZcDbObjectId mtextId = addMText(c.contents, ZcGePoint3d(5, 50, 0));
    ZcGePoint3d pick = onLine(mtextId, c.line, c.index);
    ZcDbEntity* pEnt = nullptr;
    ASSERT_EQ(zcdbOpenObject(pEnt, mtextId, ZcDb::kForRead), Zcad::eOk);
    ZcDbObjectId textId = flattenMText(pEnt, mtextId, pick);
    ASSERT_FALSE(textId.isNull());
    TallyJig jig(textId, pick);
    EXPECT_EQ(jig.pickCharacterRun(), c.kind);
    EXPECT_EQ(jig.runStart(), c.runStart);
    EXPECT_EQ(jig.runEnd(), c.runEnd);
    jig.eraseMark();
  }

  // Beside the end of a short line, though within the joined text's length: nothing is picked.
  ZcDbObjectId mtextId = addMText(L"A1\\PB22\\PC333", ZcGePoint3d(5, 10, 0));
  ZcGePoint3d pick = onLine(mtextId, 0, 1) + ZcGeVector3d(3, 0, 0);
  ZcDbEntity* pEnt = nullptr;
  ASSERT_EQ(zcdbOpenObject(pEnt, mtextId, ZcDb::kForRead), Zcad::eOk);
  ZcDbObjectId textId = flattenMText(pEnt, mtextId, pick);
  TallyJig jig(textId, pick);
  EXPECT_EQ(jig.pickCharacterRun(), kNothingPicked);
}

using Entry = ModuleFixture;

ZcEdCommandStack* commandStack() {
  return ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
}

TEST_F(Entry, VersionAnswersWithoutAnyMessage) {
  EXPECT_EQ(zcrxGetApiVersion(), 0x07E50046);
}

TEST_F(Entry, LoadRegistersUnloadRemovesReloadStartsAfresh) {
  int handle = 0;
  ZcEdCommandStack* stack = commandStack();
  ASSERT_NE(stack, nullptr);
  ASSERT_EQ(zcrxEntryPoint(ZcRx::kInitAppMsg, &handle), 0);
  ZcEdCommand* global = stack->lookupGlobalCmd(L"tally");
  ZcEdCommand* local = stack->lookupLocalCmd(L"tally");
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(global, local);
  EXPECT_EQ(global->groupName(), ZcString(L"ZrxForTally"));
  EXPECT_EQ(global->commandFlags(), 0);
  EXPECT_EQ(global->functionAddr(), &incrementCommand);
  EXPECT_EQ(global->functionCode(), -1);
  EXPECT_NE(zcrxFindZcRxClass(L"TextArray"), nullptr);
  EXPECT_EQ(TextArray::desc(), zcrxFindZcRxClass(L"TextArray"));
  EXPECT_TRUE(TextArray::desc()->isDerivedFrom(ZcDbEntity::desc()));
  auto* linker = ZcRxDynamicLinker::cast(zcrxSysRegistry()->at(L"DynamicLinker"));
  ASSERT_NE(linker, nullptr);
  EXPECT_TRUE(linker->isUnlocked(&handle));
  EXPECT_TRUE(linker->isMDIAware(&handle));

  // A run changes the settings.
  input("O\nM\nP\nO\nD\n4\n<esc>\n");
  ASSERT_TRUE(stack->run(L"tally"));
  EXPECT_EQ(incrementMethod, kPolar);

  ASSERT_EQ(zcrxEntryPoint(ZcRx::kUnloadAppMsg, &handle), 0);
  EXPECT_EQ(stack->lookupCmd(L"tally"), nullptr);
  EXPECT_EQ(zcrxFindZcRxClass(L"TextArray"), nullptr);
  EXPECT_FALSE(stack->run(L"tally"));

  ASSERT_EQ(zcrxEntryPoint(ZcRx::kInitAppMsg, &handle), 0);
  EXPECT_NE(stack->lookupCmd(L"tally"), nullptr);
  EXPECT_NE(zcrxFindZcRxClass(L"TextArray"), nullptr);
  EXPECT_EQ(incrementMethod, kFree);
  EXPECT_EQ(incrementValue, 1);
  clearTranscript();
  input("<esc>\n");
  ASSERT_TRUE(stack->run(L"tally"));
  EXPECT_EQ(transcript().find("\nCurrent Mode: Increment method= free, increment = 1"), 0u) << transcript();
  zcrxEntryPoint(ZcRx::kUnloadAppMsg, &handle);
}

TEST_F(Entry, OtherMessagesDoNothing) {
  int handle = 0;
  ZcEdCommandStack* stack = commandStack();
  ASSERT_NE(stack, nullptr);
  for (int message : {0, 3, 7, -1, 1000}) {
    EXPECT_EQ(zcrxEntryPoint(message, &handle), 0);
    EXPECT_EQ(stack->lookupCmd(L"tally"), nullptr) << message;
  }
  ASSERT_EQ(zcrxEntryPoint(ZcRx::kInitAppMsg, &handle), 0);
  incrementValue = 6;
  for (int message : {0, 3, 7}) EXPECT_EQ(zcrxEntryPoint(message, &handle), 0);
  EXPECT_NE(stack->lookupCmd(L"tally"), nullptr);
  EXPECT_EQ(incrementValue, 6);
  zcrxEntryPoint(ZcRx::kUnloadAppMsg, &handle);
}

}  // namespace
