// The module tests' fixture: a fresh drawing, default settings, scripted input, the transcript, Texts.
#pragma once

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command/increment_command.h"
#include "jig/text_array.h"
#include "module/host.h"
#include "zrxhost/session.h"

// The properties of one test text; the defaults give a left, baseline text of height 2.5.
struct TextSpec {
  ZcGePoint3d position{100, 50, 0};
  std::wstring string = L"A1";
  double height = 2.5;
  double rotation = 0;
  double oblique = 0;
  double widthFactor = 1;
  int horizontalMode = ZcDb::kTextLeft;
  int verticalMode = ZcDb::kTextBase;
  ZcGePoint3d alignmentPoint{100, 50, 0};
  bool inPaperSpace = false;
};

class ModuleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    zrxhost::initializeHost();
    zrxhost::Session::instance().reset();
    zrxhost::Session::instance().recordDrags(true);
    zrxhost::Session::instance().setTranscript(&mTranscript);
    previousDatabase = zcdbHostApplicationServices()->workingDatabase();
    database = std::make_unique<ZcDbDatabase>(true);
    zcdbHostApplicationServices()->setWorkingDatabase(database.get());
    zcDocManagerPtr()->curDocument()->setDatabase(database.get());
    resetIncrementSettings();
    // As the module's load does; loading it again later finds the class and keeps it.
    TextArray::rxInit();
    zcrxBuildClassHierarchy();
  }

  void TearDown() override {
    zrxhost::Session::instance().setInput(nullptr);
    zrxhost::Session::instance().setTranscript(nullptr);
    zrxhost::Session::instance().clearDragLogs();
    zcdbHostApplicationServices()->setWorkingDatabase(previousDatabase);
    zcDocManagerPtr()->curDocument()->setDatabase(previousDatabase);
  }

  void input(const std::string& script) {
    zrxhost::Session::instance().setInput(std::make_unique<zrxhost::ScriptInput>(script));
  }
  std::string transcript() const { return mTranscript.str(); }
  void clearTranscript() { mTranscript.str(""); }

  static size_t count(const std::string& haystack, const std::string& needle) {
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
    return n;
  }

  ZcDbObjectId addText(const TextSpec& props) {
    auto* pText = new ZcDbText;
    pText->setDatabaseDefaults();
    pText->setTextString(props.string.c_str());
    pText->setHeight(props.height);
    pText->setRotation(props.rotation);
    pText->setOblique(props.oblique);
    pText->setWidthFactor(props.widthFactor);
    pText->setHorizontalMode(static_cast<ZcDb::TextHorzMode>(props.horizontalMode));
    pText->setVerticalMode(static_cast<ZcDb::TextVertMode>(props.verticalMode));
    pText->setPosition(props.position);
    if (props.horizontalMode != ZcDb::kTextLeft || props.verticalMode != ZcDb::kTextBase) {
      pText->setAlignmentPoint(props.alignmentPoint);
      pText->adjustAlignment(database.get());
    }
    return append(pText, props.inPaperSpace);
  }

  // A left, baseline Text of height 2.5.
  ZcDbObjectId addText(const wchar_t* text, const ZcGePoint3d& at, bool inPaperSpace = false) {
    TextSpec props;
    props.position = at;
    props.string = text;
    props.inPaperSpace = inPaperSpace;
    return addText(props);
  }

  // Appends an entity to model space (or the paper-space layout) and closes it.
  ZcDbObjectId append(ZcDbEntity* pEnt, bool inPaperSpace = false) {
    ZcDbBlockTable* pTable = nullptr;
    EXPECT_EQ(database->getSymbolTable(pTable, ZcDb::kForRead), Zcad::eOk);
    ZcDbBlockTableRecord* pRecord = nullptr;
    EXPECT_EQ(pTable->getAt(inPaperSpace ? ZCDB_PAPER_SPACE : ZCDB_MODEL_SPACE, pRecord, ZcDb::kForWrite), Zcad::eOk);
    ZcDbObjectId id;
    EXPECT_EQ(pRecord->appendZcDbEntity(id, pEnt), Zcad::eOk);
    pEnt->close();
    pRecord->close();
    pTable->close();
    return id;
  }

  // The live (not erased) entities of a space, in drawing order.
  std::vector<ZcDbObjectId> entities(bool inPaperSpace = false) {
    ZcDbObjectId spaceId = inPaperSpace ? database->paperSpaceId() : database->modelSpaceId();
    ZcDbBlockTableRecord* pRecord = nullptr;
    EXPECT_EQ(zcdbOpenObject(pRecord, spaceId, ZcDb::kForRead), Zcad::eOk);
    std::vector<ZcDbObjectId> live;
    for (ZcDbObjectId id : pRecord->entityIds())
      if (!id.isErased()) live.push_back(id);
    pRecord->close();
    return live;
  }

  // Opens a Text for read; the returned pointer closes it.
  struct TextCloser {
    void operator()(ZcDbText* p) const { p->close(); }
  };
  std::unique_ptr<ZcDbText, TextCloser> openText(ZcDbObjectId id) {
    ZcDbText* pText = nullptr;
    EXPECT_EQ(zcdbOpenObject(pText, id, ZcDb::kForRead), Zcad::eOk);
    return std::unique_ptr<ZcDbText, TextCloser>(pText);
  }

  // The string of every Text of model space except `source`, in drawing order.
  std::vector<std::string> copyStrings(ZcDbObjectId source) {
    std::vector<std::string> strings;
    for (ZcDbObjectId id : entities()) {
      if (id == source) continue;
      ZcDbText* pText = nullptr;
      Zcad::ErrorStatus es = zcdbOpenObject(pText, id, ZcDb::kForRead);
      EXPECT_TRUE(es == Zcad::eOk || es == Zcad::eNotThatKindOfClass) << "entity cannot be opened: " << es;
      if (es != Zcad::eOk) continue;
      strings.push_back(pText->textZcString().toUtf8());
      pText->close();
    }
    return strings;
  }

  std::unique_ptr<ZcDbDatabase> database;
  ZcDbDatabase* previousDatabase = nullptr;

 private:
  std::ostringstream mTranscript;
};

inline void expectNear(const ZcGePoint3d& actual, const ZcGePoint3d& expected, double tolerance = 1e-6) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}
