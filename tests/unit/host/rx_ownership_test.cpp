// Names owned by modules: a clash is noted, and a module removes only the classes and commands it made.
#include <gtest/gtest.h>

#include "zrx/ed.h"
#include "zrx/rx.h"
#include "zrxhost/ownership.h"

namespace {

int gRuns = 0;
void run() {
  ++gRuns;
}

const int kFirst = 1, kSecond = 2;  // stand-ins for two modules' handles

TEST(ModuleOwnership, ASecondModuleCannotTakeOrRemoveAClass) {
  zrxhost::takeNameClashes();
  ZcRxClass* mine = nullptr;
  {
    zrxhost::ModuleScope first(&kFirst);
    mine = newZcRxClass(L"OwnedByFirst", L"AcRxObject", 0, 0);
    ASSERT_NE(mine, nullptr);
  }
  EXPECT_TRUE(zrxhost::takeNameClashes().empty());
  {
    zrxhost::ModuleScope second(&kSecond);
    EXPECT_EQ(newZcRxClass(L"OwnedByFirst", L"AcRxObject", 0, 0), mine);  // the API returns the existing one
    deleteZcRxClass(mine);
  }
  EXPECT_EQ(zrxhost::takeNameClashes(), std::vector<std::string>{"class \"OwnedByFirst\""});
  EXPECT_EQ(zcrxFindZcRxClass(L"OwnedByFirst"), mine);  // the second module's delete left it alone
  {
    zrxhost::ModuleScope first(&kFirst);
    newZcRxClass(L"OwnedByFirst", L"AcRxObject", 0, 0);  // registering its own again is no clash
    deleteZcRxClass(mine);
  }
  EXPECT_TRUE(zrxhost::takeNameClashes().empty());
  EXPECT_EQ(zcrxFindZcRxClass(L"OwnedByFirst"), nullptr);
}

TEST(ModuleOwnership, ASecondModuleRemovesOnlyItsOwnCommands) {
  zrxhost::takeNameClashes();
  ZcEdCommandStack stack;
  {
    zrxhost::ModuleScope first(&kFirst);
    ASSERT_EQ(stack.addCommand(L"SHARED", L"ONE", L"ONE", 0, &run), Zcad::eOk);
  }
  {
    zrxhost::ModuleScope second(&kSecond);
    EXPECT_EQ(stack.addCommand(L"SHARED", L"ONE", L"ONE", 0, &run), Zcad::eDuplicateKey);
    ASSERT_EQ(stack.addCommand(L"SHARED", L"TWO", L"TWO", 0, &run), Zcad::eOk);
    EXPECT_EQ(stack.removeGroup(L"SHARED"), Zcad::eOk);  // its TWO
    EXPECT_EQ(stack.removeCmd(L"SHARED", L"ONE"), Zcad::eKeyNotFound);
  }
  EXPECT_EQ(zrxhost::takeNameClashes(), std::vector<std::string>{"command \"ONE\""});
  EXPECT_NE(stack.lookupGlobalCmd(L"ONE"), nullptr);
  EXPECT_EQ(stack.lookupGlobalCmd(L"TWO"), nullptr);
  // The host's own code (no module running) may remove any command.
  EXPECT_EQ(stack.removeGroup(L"SHARED"), Zcad::eOk);
  EXPECT_EQ(stack.lookupGlobalCmd(L"ONE"), nullptr);
}

}  // namespace
