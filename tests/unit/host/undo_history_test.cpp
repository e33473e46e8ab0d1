// The undo history: what a group records, what undo and redo restore, and when a drawing is modified.
#include <gtest/gtest.h>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/edits.h"
#include "zrxhost/undo.h"

namespace {

class UndoHistoryTest : public ::testing::Test {
 protected:
  // Appends a text to model space, inside whatever group is open.
  ZcDbObjectId addText(const ZTCHAR* contents) {
    ZcDbBlockTableRecord* model = nullptr;
    EXPECT_EQ(zcdbOpenObject(model, db.modelSpaceId(), ZcDb::kForWrite), Zcad::eOk);
    auto* text = new ZcDbText(ZcGePoint3d(1, 2, 0), contents);
    ZcDbObjectId id;
    EXPECT_EQ(model->appendZcDbEntity(id, text), Zcad::eOk);
    text->close();
    model->close();
    return id;
  }
  std::wstring contents(ZcDbObjectId id, bool openErased = false) {
    ZcDbText* text = nullptr;
    if (zcdbOpenObject(text, id, ZcDb::kForRead, openErased) != Zcad::eOk) return L"<cannot open>";
    ZcString result;
    text->textString(result);
    text->close();
    return result.kwszPtr();
  }
  void change(ZcDbObjectId id, const ZTCHAR* to, bool erase = false) {
    ZcDbText* text = nullptr;
    ASSERT_EQ(zcdbOpenObject(text, id, ZcDb::kForWrite), Zcad::eOk);
    text->setTextString(to);
    text->setPosition(ZcGePoint3d(9, 9, 0));
    if (erase) text->erase();
    text->close();
  }

  ZcDbDatabase db;
  zrxhost::UndoHistory& history = zrxhost::undoHistory(db);
};

TEST_F(UndoHistoryTest, UndoRestoresChangedErasedAndAddedObjectsAndRedoSwapsThemBack) {
  ZcDbObjectId kept = addText(L"A1");  // outside any group: part of the drawing as read
  ZcDbObjectId gone = addText(L"B1");
  zrxhost::markAllUnchanged(db);
  EXPECT_FALSE(history.modifiedSinceSave());

  history.beginGroup("TALLY");
  change(kept, L"A2");
  change(kept, L"A3");  // a second change in the same group is not a second record
  change(gone, L"B2", /*erase=*/true);
  ZcDbObjectId added = addText(L"C1");
  history.endGroup();
  EXPECT_TRUE(history.modifiedSinceSave());

  EXPECT_EQ(history.undo(1), std::vector<std::string>{"TALLY"});
  EXPECT_EQ(contents(kept), L"A1");
  EXPECT_FALSE(gone.isErased());
  EXPECT_EQ(contents(gone), L"B1");
  EXPECT_TRUE(added.isErased());
  ZcDbText* text = nullptr;
  ASSERT_EQ(zcdbOpenObject(text, kept, ZcDb::kForRead), Zcad::eOk);
  EXPECT_EQ(text->position(), ZcGePoint3d(1, 2, 0));
  text->close();
  EXPECT_FALSE(history.modifiedSinceSave());

  // The edits go back with the fields: a writer that trusts them writes what the object holds.
  EXPECT_FALSE(zrxhost::changedSinceMarked(db, kept));
  EXPECT_EQ(zrxhost::editsSinceMarked(db, kept), 0u);

  EXPECT_EQ(history.redo(), std::vector<std::string>{"TALLY"});
  EXPECT_EQ(zrxhost::editsSinceMarked(db, kept),
            zrxhost::kEditContents | zrxhost::kEditPositionX | zrxhost::kEditPositionY);
  EXPECT_EQ(contents(kept), L"A3");
  EXPECT_TRUE(gone.isErased());
  EXPECT_FALSE(added.isErased());
  EXPECT_EQ(contents(added), L"C1");
  EXPECT_TRUE(history.redo().empty());
}

TEST_F(UndoHistoryTest, GroupsStackAndOnlyGroupsThatChangedSomethingCount) {
  ZcDbObjectId id = addText(L"1");
  for (const ZTCHAR* to : {L"2", L"3", L"4"}) {
    history.beginGroup(std::string("SET"));
    change(id, to);
    history.endGroup();
    history.beginGroup("LOOK");  // reads only: dropped
    ZcDbText* text = nullptr;
    ASSERT_EQ(zcdbOpenObject(text, id, ZcDb::kForRead), Zcad::eOk);
    text->close();
    history.endGroup();
  }
  EXPECT_EQ(history.undoableGroups(), 3u);
  EXPECT_EQ(history.undo(2).size(), 2u);
  EXPECT_EQ(contents(id), L"2");
  // A new change after an undo: what was undone can no longer be redone.
  history.beginGroup("SET");
  change(id, L"9");
  history.endGroup();
  EXPECT_TRUE(history.redo().empty());
  EXPECT_EQ(history.undo(10).size(), 2u);
  EXPECT_EQ(contents(id), L"1");
  EXPECT_TRUE(history.undo(1).empty());
}

TEST_F(UndoHistoryTest, SavedStateIsWhereTheHistoryStoodWhenSaved) {
  ZcDbObjectId id = addText(L"1");
  history.beginGroup("SET");
  change(id, L"2");
  history.endGroup();
  history.markSaved();
  EXPECT_FALSE(history.modifiedSinceSave());
  history.undo(1);
  EXPECT_TRUE(history.modifiedSinceSave());  // the file holds "2", the drawing "1"
  history.redo();
  EXPECT_FALSE(history.modifiedSinceSave());
}

}  // namespace
