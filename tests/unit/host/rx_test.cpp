// Runtime: class registry and tree, system registry, command stack, utility calls.
#include "zrx/rx.h"

#include <gtest/gtest.h>

#include <sstream>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/session.h"

namespace {

int gConstructed = 0;
ZcRxObject* makeDictionary() {
  ++gConstructed;
  return new ZcRxDictionary;
}
void renameApp(const ZcRxClass*, ZTCHAR*&, int) {}

// The host's classes exist from start-up on, as in the real host; every test here relies on them.
class HostStarted : public ::testing::Environment {
 public:
  void SetUp() override { zrxhost::initializeHost(); }
};
const auto* const gHostStarted = ::testing::AddGlobalTestEnvironment(new HostStarted);

TEST(RxRegistry, NewClassKeepsEveryValueAndIsFoundByName) {
  ZcRxClass* cls =
      newZcRxClass(L"RtKeepAll", L"AcDbEntity", 33, 55, 0xBFF, &makeDictionary, L"RTKEEPALL", L"\"\"", &renameApp);
  ASSERT_NE(cls, nullptr);
  EXPECT_STREQ(cls->name(), L"RtKeepAll");
  EXPECT_TRUE(cls->parentName() == L"AcDbEntity");
  EXPECT_EQ(cls->dwgVersion(), 33);
  EXPECT_EQ(cls->maintenanceVersion(), 55);
  EXPECT_EQ(cls->proxyFlags(), 0xBFF);
  EXPECT_EQ(cls->constructor(), &makeDictionary);
  EXPECT_STREQ(cls->dxfName(), L"RTKEEPALL");
  EXPECT_STREQ(cls->appName(), L"\"\"");
  EXPECT_EQ(cls->appNameCallbackPtr(), &renameApp);
  EXPECT_EQ(zcrxFindZcRxClass(L"RtKeepAll"), cls);
  EXPECT_EQ(zcrxFindZcRxClass(L"rtkeepall"), nullptr);  // class names are exact
  EXPECT_EQ(zcrxFindZcRxClass(nullptr), nullptr);

  // The parent is a host class that existed already: linked at once, and the tree reaches the root.
  ASSERT_EQ(cls->myParent(), ZcDbEntity::desc());
  EXPECT_TRUE(cls->isDerivedFrom(ZcDbObject::desc()));
  EXPECT_TRUE(cls->isDerivedFrom(ZcRxObject::desc()));
  EXPECT_FALSE(cls->isDerivedFrom(ZcDbText::desc()));
  EXPECT_FALSE(ZcDbEntity::desc()->isDerivedFrom(cls));

  // A second registration under the name gives back the first, unchanged.
  ZcRxClass* again = newZcRxClass(L"RtKeepAll", L"AcRxObject", 1, 2, 0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(again, cls);
  EXPECT_EQ(cls->dwgVersion(), 33);
  EXPECT_EQ(cls->myParent(), ZcDbEntity::desc());

  int before = gConstructed;
  ZcRxObject* made = cls->create();
  EXPECT_EQ(gConstructed, before + 1);
  EXPECT_NE(ZcRxDictionary::cast(made), nullptr);
  delete made;
  deleteZcRxClass(cls);
}

TEST(RxRegistry, HostClassesUseTheHostFamilyNames) {
  EXPECT_STREQ(ZcRxObject::desc()->name(), L"AcRxObject");
  EXPECT_EQ(ZcRxObject::desc()->myParent(), nullptr);
  EXPECT_STREQ(ZcDbEntity::desc()->name(), L"AcDbEntity");
  EXPECT_EQ(ZcDbEntity::desc()->myParent(), ZcDbObject::desc());
  EXPECT_STREQ(ZcDbText::desc()->name(), L"AcDbText");
  EXPECT_STREQ(ZcDbMText::desc()->name(), L"AcDbMText");
  EXPECT_STREQ(ZcDb3dPolyline::desc()->name(), L"AcDb3dPolyline");
  EXPECT_STREQ(ZcEdJig::desc()->name(), L"AcEdJig");
  EXPECT_EQ(ZcEdJig::desc()->myParent(), ZcRxObject::desc());
  EXPECT_EQ(zcrxFindZcRxClass(L"AcDbText"), ZcDbText::desc());
  EXPECT_TRUE(ZcDbText::desc()->isDerivedFrom(ZcDbEntity::desc()));
  EXPECT_FALSE(ZcDbText::desc()->isDerivedFrom(ZcDbMText::desc()));
}

TEST(RxRegistry, UnknownParentIsLinkedByTheRebuild) {
  ZcRxClass* child = newZcRxClass(L"RtChild", L"RtLateParent", 0, 0);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->myParent(), nullptr);
  zcrxBuildClassHierarchy();
  EXPECT_EQ(child->myParent(), nullptr);  // still unknown

  ZcRxClass* parent = newZcRxClass(L"RtLateParent", L"AcRxObject", 0, 0);
  zcrxBuildClassHierarchy();
  EXPECT_EQ(child->myParent(), parent);
  EXPECT_TRUE(child->isDerivedFrom(ZcRxObject::desc()));

  // Deleting the parent unlinks the child; the child stays registered.
  deleteZcRxClass(parent);
  EXPECT_EQ(zcrxFindZcRxClass(L"RtLateParent"), nullptr);
  EXPECT_EQ(zcrxFindZcRxClass(L"RtChild"), child);
  EXPECT_EQ(child->myParent(), nullptr);
  EXPECT_FALSE(child->isDerivedFrom(ZcRxObject::desc()));

  ZcRxClass* reborn = newZcRxClass(L"RtLateParent", L"AcRxObject", 0, 0);
  zcrxBuildClassHierarchy();
  EXPECT_EQ(child->myParent(), reborn);
  deleteZcRxClass(child);
  deleteZcRxClass(reborn);
  deleteZcRxClass(nullptr);  // nothing to do, no crash
}

TEST(RxRegistry, ParentCycleFromNamesIsNotLinked) {
  ZcRxClass* a = newZcRxClass(L"RtCycleA", L"RtCycleB", 0, 0);
  ZcRxClass* b = newZcRxClass(L"RtCycleB", L"RtCycleA", 0, 0);
  zcrxBuildClassHierarchy();
  // One link is refused, so walks up the tree end.
  EXPECT_TRUE(a->myParent() == nullptr || b->myParent() == nullptr);
  EXPECT_FALSE(a->isDerivedFrom(ZcRxObject::desc()));
  deleteZcRxClass(a);
  deleteZcRxClass(b);
}

class RtJig : public ZcEdJig {
 public:
  DragStatus sampler() override { return kNormal; }
  bool update() override { return true; }
  ZcDbEntity* entity() const override { return nullptr; }
};

TEST(RxRegistry, BuiltinClassRegistersAgainAfterDelete) {
  ZcRxClass* first = ZcEdJig::desc();
  RtJig jig;
  EXPECT_EQ(jig.isA(), first);
  deleteZcRxClass(first);
  EXPECT_EQ(zcrxFindZcRxClass(L"AcEdJig"), nullptr);

  ZcRxClass* second = ZcEdJig::desc();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(zcrxFindZcRxClass(L"AcEdJig"), second);
  EXPECT_EQ(jig.isA(), second);
  EXPECT_EQ(second->myParent(), ZcRxObject::desc());
  EXPECT_TRUE(jig.isKindOf(ZcRxObject::desc()));
  EXPECT_EQ(ZcEdJig::cast(&jig), &jig);
  ZcEdJig::rxInit();
  EXPECT_EQ(ZcEdJig::desc(), second);

  // A host class whose parent was deleted is linked again when both are asked for.
  ZcRxClass* entity = ZcDbEntity::desc();
  ZcRxClass* text = ZcDbText::desc();
  deleteZcRxClass(entity);
  EXPECT_EQ(text->myParent(), nullptr);
  EXPECT_TRUE(ZcDbText::desc()->isDerivedFrom(ZcDbEntity::desc()));
  EXPECT_NE(ZcDbEntity::desc(), nullptr);
  EXPECT_EQ(ZcDbText::desc()->myParent(), ZcDbEntity::desc());
}

TEST(RxSysRegistry, LinkerAndCommandStackAreThere) {
  zrxhost::initializeHost();
  ZcRxDictionary* reg = zcrxSysRegistry();
  auto* linker = ZcRxDynamicLinker::cast(reg->at(L"DynamicLinker"));
  ASSERT_NE(linker, nullptr);
  ASSERT_NE(ZcEdCommandStack::cast(reg->at(L"ZCAD_REGISTERED_COMMANDS")), nullptr);
  // A type-tested cast refuses the wrong object.
  EXPECT_EQ(ZcRxDynamicLinker::cast(reg->at(L"ZCAD_REGISTERED_COMMANDS")), nullptr);
  EXPECT_EQ(ZcEdCommandStack::cast(nullptr), nullptr);

  int appA = 0, appB = 0;
  EXPECT_FALSE(linker->isUnlocked(&appA));
  EXPECT_TRUE(linker->unlockApplication(&appA));
  EXPECT_TRUE(linker->registerAppMDIAware(&appA));
  EXPECT_TRUE(linker->isUnlocked(&appA));
  EXPECT_TRUE(linker->isMDIAware(&appA));
  EXPECT_FALSE(linker->isUnlocked(&appB));
  EXPECT_FALSE(linker->isMDIAware(&appB));
  linker->registerAppNotMDIAware(&appA);
  EXPECT_FALSE(linker->isMDIAware(&appA));
}

TEST(RxDictionary, PutReplaceRemove) {
  ZcRxDictionary dict;
  auto* a = new ZcRxDictionary;
  auto* b = new ZcRxDictionary;
  EXPECT_EQ(dict.atPut(L"k", a), nullptr);
  EXPECT_EQ(dict.at(L"k"), a);
  EXPECT_EQ(dict.atPut(L"k", b), a);  // the caller owns what was replaced
  delete a;
  EXPECT_EQ(dict.numEntries(), 1);
  EXPECT_EQ(dict.remove(L"k"), b);
  EXPECT_FALSE(dict.has(L"k"));
  EXPECT_EQ(dict.remove(L"k"), nullptr);
  delete b;
  dict.atPut(L"owned", new ZcRxDictionary);  // freed with the dictionary
}

int gRuns = 0;
void countRun() {
  ++gRuns;
}
void otherRun() {
  gRuns += 100;
}

TEST(RxCommands, LookupByGlobalAndLocalNameInAnyCase) {
  ZcEdCommandStack stack;
  ZcEdCommand* created = nullptr;
  int marker = 0;
  ASSERT_EQ(stack.addCommand(L"RtGroup", L"tally", L"zaehlen", 0, &countRun, nullptr, -1, &marker, &created),
            Zcad::eOk);
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(created->groupName() == L"RtGroup");
  EXPECT_EQ(created->commandFlags(), 0);
  EXPECT_EQ(created->functionAddr(), &countRun);
  EXPECT_EQ(created->UIContext(), nullptr);
  EXPECT_EQ(created->functionCode(), -1);
  EXPECT_EQ(created->resourceHandle(), &marker);

  EXPECT_EQ(stack.lookupGlobalCmd(L"TALLY"), created);
  EXPECT_EQ(stack.lookupGlobalCmd(L"zaehlen"), nullptr);
  EXPECT_EQ(stack.lookupLocalCmd(L"ZaEhLeN"), created);
  EXPECT_EQ(stack.lookupLocalCmd(L"tally"), nullptr);
  EXPECT_EQ(stack.lookupCmd(L"Tally"), created);
  EXPECT_EQ(stack.lookupCmd(L"ZAEHLEN"), created);
  EXPECT_EQ(stack.lookupCmd(L"_tally"), created);
  EXPECT_EQ(stack.lookupCmd(L"tall"), nullptr);
  EXPECT_EQ(stack.lookupCmd(nullptr), nullptr);

  gRuns = 0;
  EXPECT_TRUE(stack.run(L"TALLY"));
  EXPECT_TRUE(stack.run(L"zaehlen"));
  EXPECT_FALSE(stack.run(L"nothing"));
  EXPECT_EQ(gRuns, 2);
}

TEST(RxCommands, DuplicatesRefusedAndGroupsRemoved) {
  ZcEdCommandStack stack;
  EXPECT_EQ(stack.addCommand(L"G1", L"one", L"one", 0, &countRun), Zcad::eOk);
  EXPECT_EQ(stack.addCommand(L"G1", L"ONE", L"uno", 0, &otherRun), Zcad::eDuplicateKey);
  EXPECT_EQ(stack.addCommand(L"G1", L"two", nullptr, 0, &countRun), Zcad::eOk);
  EXPECT_EQ(stack.addCommand(L"G2", L"one", L"eins", 0, &otherRun), Zcad::eOk);
  EXPECT_EQ(stack.addCommand(nullptr, L"x", L"x", 0, &countRun), Zcad::eInvalidInput);
  EXPECT_EQ(stack.addCommand(L"G3", L"x", L"x", 0, nullptr), Zcad::eInvalidInput);
  EXPECT_STREQ(stack.lookupCmd(L"two")->localName(), L"two");  // no local name: the global one

  // The group added last wins the name; removing it uncovers the earlier one.
  gRuns = 0;
  stack.run(L"one");
  EXPECT_EQ(gRuns, 100);
  EXPECT_EQ(stack.removeGroup(L"g2"), Zcad::eOk);
  EXPECT_EQ(stack.lookupCmd(L"eins"), nullptr);
  gRuns = 0;
  stack.run(L"one");
  EXPECT_EQ(gRuns, 1);

  EXPECT_EQ(stack.removeGroup(L"G1"), Zcad::eOk);
  EXPECT_EQ(stack.lookupCmd(L"one"), nullptr);
  EXPECT_EQ(stack.lookupCmd(L"two"), nullptr);
  EXPECT_EQ(stack.removeGroup(L"G1"), Zcad::eKeyNotFound);
  EXPECT_EQ(stack.addCommand(L"G1", L"one", L"one", 0, &countRun), Zcad::eOk);  // free again
  EXPECT_EQ(stack.removeCmd(L"G1", L"ONE"), Zcad::eOk);
  EXPECT_EQ(stack.removeCmd(L"G1", L"ONE"), Zcad::eKeyNotFound);
}

TEST(RxUtil, CharacterClasses) {
  for (int c = '0'; c <= '9'; ++c) EXPECT_TRUE(zcutIsDigit(c));
  EXPECT_FALSE(zcutIsDigit('a'));
  EXPECT_FALSE(zcutIsDigit('/'));
  EXPECT_FALSE(zcutIsDigit(':'));
  EXPECT_FALSE(zcutIsDigit(0x0663));  // ARABIC-INDIC DIGIT THREE is a digit, but not one of the ten
  EXPECT_FALSE(zcutIsDigit(0xFF11));  // FULLWIDTH DIGIT ONE

  EXPECT_TRUE(zcutIsAlpha('a'));
  EXPECT_TRUE(zcutIsAlpha('Z'));
  EXPECT_TRUE(zcutIsAlpha(0x00E9));  // é
  EXPECT_TRUE(zcutIsAlpha(0x0436));  // ж
  EXPECT_TRUE(zcutIsAlpha(0x4E2D));  // 中
  EXPECT_FALSE(zcutIsAlpha('5'));
  EXPECT_FALSE(zcutIsAlpha(' '));
  EXPECT_FALSE(zcutIsAlpha('_'));
  EXPECT_FALSE(zcutIsAlpha(0x3002));  // 。
  EXPECT_FALSE(zcutIsAlpha(0xD83D));  // half of a surrogate pair
  EXPECT_FALSE(zcutIsAlpha(-1));
  EXPECT_FALSE(zcutIsAlpha(0x110000));
}

TEST(RxUtil, PrintfTakesWideStringsAndWritesUtf8) {
  zrxhost::Session& session = zrxhost::Session::instance();
  std::ostringstream out;
  session.setTranscript(&out);
  int n = zcutPrintf(L"%s = %d", L"\n\u589E\u91CF", 12);
  EXPECT_EQ(out.str(), "\n\xE5\xA2\x9E\xE9\x87\x8F = 12");
  EXPECT_EQ(n, 8);
  out.str("");
  zcutPrintf(L"[%5s|%-3ls|%hs|%c|%%|%.2f]", L"ab", L"x", "narrow", L'\u4E2D', 1.005);
  EXPECT_EQ(out.str(), "[   ab|x  |narrow|\xE4\xB8\xAD|%|1.00]");
  out.str("");
  zcutPrintf(L"\nNo characters are selected!");
  EXPECT_EQ(out.str(), "\nNo characters are selected!");
  std::wstring longText(5000, L'x');
  out.str("");
  EXPECT_EQ(zcutPrintf(L"%s", longText.c_str()), 5000);
  EXPECT_EQ(out.str().size(), 5000u);
  session.setTranscript(nullptr);
}

TEST(RxUtil, ResultBuffersAndHeap) {
  resbuf* head = zcutNewRb(RTSTR);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->restype, RTSTR);
  EXPECT_EQ(head->resval.rstring, nullptr);
  EXPECT_EQ(head->rbnext, nullptr);
  head->resval.rstring = new ZTCHAR[4]{L'a', L'b', L'c', 0};
  head->rbnext = zcutNewRb(RTREAL);
  head->rbnext->rbnext = zcutNewRb(RTSTR);  // a string slot never filled
  // The whole chain and its strings go back; under the sanitizer a leak or double free would show.
  EXPECT_EQ(zcutRelRb(head), RTNORM);
  EXPECT_EQ(zcutRelRb(nullptr), RTNORM);
  void* p = zcutNew(64);
  ASSERT_NE(p, nullptr);
  zcutDelete(p);
}

TEST(RxAbortDeathTest, MessageOnStandardErrorThenAbort) {
  EXPECT_DEATH(zcrx_abort(L"Class %s", L"mismatch"), "Class mismatch");
}

}  // namespace
