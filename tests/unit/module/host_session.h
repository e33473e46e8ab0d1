// Test fixture for module tests that talk to the host: a fresh drawing, scripted input, a transcript.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "command/settings.h"
#include "module/host.h"
#include "zrxhost/session.h"

class HostSession : public ::testing::Test {
 protected:
  void SetUp() override {
    zrxhost::initializeHost();
    auto& session = zrxhost::Session::instance();
    session.reset();
    session.setTranscript(&mOut);
    mPrevious = zcdbHostApplicationServices()->workingDatabase();
    mDb = std::make_unique<ZcDbDatabase>(true);
    zcdbHostApplicationServices()->setWorkingDatabase(mDb.get());
    zcDocManagerPtr()->curDocument()->setDatabase(mDb.get());
    resetIncrementSettings();
  }

  void TearDown() override {
    auto& session = zrxhost::Session::instance();
    session.setInput(nullptr);
    session.setTranscript(&std::cout);
    zcdbHostApplicationServices()->setWorkingDatabase(mPrevious);
    zcDocManagerPtr()->curDocument()->setDatabase(mPrevious);
  }

  void input(const std::string& script) {
    zrxhost::Session::instance().setInput(std::make_unique<zrxhost::ScriptInput>(script));
  }
  std::string transcript() const { return mOut.str(); }
  void clearTranscript() { mOut.str(""); }

  static size_t count(const std::string& haystack, const std::string& needle) {
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
  }

  // Appends an entity to model space (or the paper-space layout) and closes it.
  ZcDbObjectId append(ZcDbEntity* entity, bool paperSpace = false) {
    ZcDbBlockTable* table = nullptr;
    EXPECT_EQ(mDb->getSymbolTable(table, ZcDb::kForRead), Zcad::eOk);
    ZcDbBlockTableRecord* space = nullptr;
    EXPECT_EQ(table->getAt(paperSpace ? ZCDB_PAPER_SPACE : ZCDB_MODEL_SPACE, space, ZcDb::kForWrite), Zcad::eOk);
    table->close();
    ZcDbObjectId id;
    EXPECT_EQ(space->appendZcDbEntity(id, entity), Zcad::eOk);
    entity->close();
    space->close();
    return id;
  }

  ZcDbObjectId addText(const wchar_t* text, const ZcGePoint3d& at, bool paperSpace = false) {
    auto* pText = new ZcDbText(at, text, ZcDbObjectId::kNull, 2.5, 0);
    pText->setDatabaseDefaults(mDb.get());
    return append(pText, paperSpace);
  }

  // The ids of the live (not erased) entities of model space.
  std::vector<ZcDbObjectId> modelSpaceEntities() const {
    ZcDbBlockTable* table = nullptr;
    std::vector<ZcDbObjectId> ids;
    if (mDb->getSymbolTable(table, ZcDb::kForRead) != Zcad::eOk) return ids;
    ZcDbBlockTableRecord* space = nullptr;
    table->getAt(ZCDB_MODEL_SPACE, space, ZcDb::kForRead);
    table->close();
    if (space == nullptr) return ids;
    for (ZcDbObjectId id : space->entityIds())
      if (!id.isErased()) ids.push_back(id);
    space->close();
    return ids;
  }

  std::unique_ptr<ZcDbDatabase> mDb;

 private:
  std::ostringstream mOut;
  ZcDbDatabase* mPrevious = nullptr;
};
