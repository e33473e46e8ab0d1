// Runtime classes: ZcRxObject, ZcRxClass, the class registry, dictionaries and the system registry.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rx/wformat.h"
#include "zrx/rx_define.h"
#include "zrxhost/ownership.h"

namespace zrxhost {
unsigned gClassGeneration = 0;
}  // namespace zrxhost

namespace {

using zrxhost::gClassGeneration;

// A dictionary chain or a class tree built from user-given parent names could loop; walks stop here.
constexpr int kMaxDepth = 4096;

ZcRxClass* rxClassDesc();

ZcRxClass* findClass(const ZcString& name) {
  ZcRxObject* obj = zcrxClassDictionary()->at(name.kwszPtr());
  return static_cast<ZcRxClass*>(obj);  // the class dictionary holds nothing else
}

bool wouldLoop(const ZcRxClass* cls, const ZcRxClass* parent) {
  int depth = 0;
  for (const ZcRxClass* p = parent; p; p = p->myParent()) {
    if (p == cls || ++depth > kMaxDepth) return true;
  }
  return false;
}

const void* gCurrentModule = nullptr;
std::vector<std::string> gNameClashes;
// The module that registered each class; the host's own classes are not listed.
std::map<const ZcRxClass*, const void*>& classOwners() {
  static std::map<const ZcRxClass*, const void*> owners;
  return owners;
}

const void* ownerOf(const ZcRxClass* cls) {
  auto it = classOwners().find(cls);
  return it == classOwners().end() ? nullptr : it->second;
}

void linkParent(ZcRxClass* cls) {
  if (cls->parentName().isEmpty()) return;
  ZcRxClass* parent = findClass(cls->parentName());
  if (parent && !wouldLoop(cls, parent)) cls->setParent(parent);
}

}  // namespace

// ---- ZcRxObject

ZcRxObject::~ZcRxObject() = default;

ZcRxClass* ZcRxObject::desc() {
  static ZcRxClass* cache = nullptr;
  static unsigned generation = ~0u;
  return zrxhost::builtinClass(L"AcRxObject", nullptr, nullptr, nullptr, cache, generation);
}

ZcRxClass* ZcRxObject::isA() const {
  return ZcRxObject::desc();
}

bool ZcRxObject::isKindOf(const ZcRxClass* cls) const {
  ZcRxClass* mine = isA();
  return mine && cls && mine->isDerivedFrom(cls);
}

ZcRxObject* ZcRxObject::clone() const {
  return nullptr;
}

Zcad::ErrorStatus ZcRxObject::copyFrom(const ZcRxObject* other) {
  (void)other;
  return Zcad::eNotApplicable;
}

bool ZcRxObject::isEqualTo(const ZcRxObject* other) const {
  return other == this;
}

int ZcRxObject::comparedTo(const ZcRxObject* other) const {
  if (other == this) return 0;
  return std::less<const ZcRxObject*>()(this, other) ? -1 : 1;
}

ZcRxObject* ZcRxObject::subQueryX(const ZcRxClass* protocolClass) const {
  (void)protocolClass;
  return nullptr;
}

// ---- ZcRxClass

ZcRxClass::ZcRxClass(const ZcString& name, ZcRxClass* parent, int dwgVersion, int maintenanceVersion, int proxyFlags,
                     ZcRxPseudoConstructor constructor, const ZcString& dxfName, const ZcString& appName,
                     AppNameChangeFuncPtr appNameChange)
    : mName(name),
      mParentName(parent ? parent->nameString() : ZcString()),
      mParent(parent),
      mDwgVersion(dwgVersion),
      mMaintenanceVersion(maintenanceVersion),
      mProxyFlags(proxyFlags),
      mConstructor(constructor),
      mDxfName(dxfName),
      mAppName(appName),
      mAppNameChange(appNameChange) {}

ZcRxClass::~ZcRxClass() = default;

ZcRxClass* ZcRxClass::isA() const {
  return rxClassDesc();
}

ZcRxObject* ZcRxClass::create() const {
  return mConstructor ? mConstructor() : nullptr;
}

bool ZcRxClass::isDerivedFrom(const ZcRxClass* other) const {
  if (!other) return false;
  int depth = 0;
  for (const ZcRxClass* p = this; p && depth < kMaxDepth; p = p->myParent(), ++depth) {
    if (p == other) return true;
  }
  return false;
}

namespace {
ZcRxClass* rxClassDesc() {
  static ZcRxClass* cache = nullptr;
  static unsigned generation = ~0u;
  return zrxhost::builtinClass(L"AcRxClass", &ZcRxObject::desc, nullptr, nullptr, cache, generation);
}
}  // namespace

// ---- The registry

ZcRxClass* newZcRxClass(const ZTCHAR* className, const ZTCHAR* parentClassName, int dwgVer, int maintVer,
                        int proxyFlags, ZcRxPseudoConstructor pseudoConstructor, const ZTCHAR* dxfName,
                        const ZTCHAR* appName, AppNameChangeFuncPtr func) {
  if (!className || !*className) return nullptr;
  ZcString name(className);
  if (ZcRxClass* existing = findClass(name)) {
    if (gCurrentModule != nullptr && ownerOf(existing) != gCurrentModule)
      zrxhost::noteNameClash("class \"" + name.toUtf8() + "\"");
    return existing;
  }
  auto* cls = new ZcRxClass(name, nullptr, dwgVer, maintVer, proxyFlags, pseudoConstructor, ZcString(dxfName),
                            ZcString(appName), func);
  cls->setParentName(ZcString(parentClassName));
  linkParent(cls);
  zcrxClassDictionary()->atPut(className, cls);
  if (gCurrentModule != nullptr) classOwners()[cls] = gCurrentModule;
  return cls;
}

ZcRxClass* zcrxFindZcRxClass(const ZTCHAR* className) {
  if (!className) return nullptr;
  return findClass(ZcString(className));
}

void deleteZcRxClass(ZcRxClass* pClass) {
  if (!pClass) return;
  ZcRxDictionary* dict = zcrxClassDictionary();
  // Only a registered descriptor is freed: a stale pointer (deleted before) must not be freed twice.
  if (dict->at(pClass->name()) != pClass) return;
  // A module takes away only what it registered itself (or the host's own classes, which come back
  // on their next use): another module's class stays while that module is loaded.
  const void* owner = ownerOf(pClass);
  if (gCurrentModule != nullptr && owner != nullptr && owner != gCurrentModule) return;
  classOwners().erase(pClass);
  dict->remove(pClass->name());
  for (const auto& [key, obj] : dict->entries()) {
    auto* cls = static_cast<ZcRxClass*>(obj);
    if (cls->myParent() == pClass) cls->setParent(nullptr);
  }
  ++gClassGeneration;
  delete pClass;
}

void zcrxBuildClassHierarchy() {
  for (const auto& [key, obj] : zcrxClassDictionary()->entries()) {
    auto* cls = static_cast<ZcRxClass*>(obj);
    cls->setParent(nullptr);
  }
  for (const auto& [key, obj] : zcrxClassDictionary()->entries()) linkParent(static_cast<ZcRxClass*>(obj));
}

void zcrx_abort(const ZTCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring message = zrxhost::formatWide(format, args);
  va_end(args);
  std::string utf8 = zrxhost::utf16ToUtf8(zrxhost::wideToUtf16(message));
  std::fprintf(stderr, "%s\n", utf8.c_str());
  std::fflush(stderr);
  std::abort();
}

namespace zrxhost {

ModuleScope::ModuleScope(const void* module) : mPrevious(gCurrentModule) {
  gCurrentModule = module;
}

ModuleScope::~ModuleScope() {
  gCurrentModule = mPrevious;
}

const void* currentModule() {
  return gCurrentModule;
}

void noteNameClash(const std::string& what) {
  if (gCurrentModule != nullptr) gNameClashes.push_back(what);
}

std::vector<std::string> takeNameClashes() {
  return std::exchange(gNameClashes, {});
}

ZcRxClass* builtinClass(const ZTCHAR* name, ZcRxClass* (*parentDesc)(), ZcRxPseudoConstructor constructor,
                        const ZTCHAR* dxfName, ZcRxClass*& cache, unsigned& generation) {
  if (cache && generation == gClassGeneration) return cache;
  ZcRxClass* parent = parentDesc ? parentDesc() : nullptr;
  ZcRxClass* cls = findClass(ZcString(name));
  if (!cls) {
    cls = new ZcRxClass(ZcString(name), parent, 0, 0, 0, constructor, ZcString(dxfName), ZcString(), nullptr);
    zcrxClassDictionary()->atPut(name, cls);
  } else if (!cls->myParent() && parent && cls->parentName() == parent->nameString()) {
    // The parent was deleted and registered anew: this class was unlinked then, link it again.
    cls->setParent(parent);
  }
  cache = cls;
  generation = gClassGeneration;
  return cls;
}

}  // namespace zrxhost

// ---- Dictionaries

ZCRX_DEFINE_MEMBERS(ZcRxDictionary, ZcRxObject, L"AcRxDictionary", nullptr, nullptr)

ZcRxDictionary::~ZcRxDictionary() {
  for (auto& [key, obj] : mEntries) delete obj;
}

ZcRxObject* ZcRxDictionary::at(const ZTCHAR* key) const {
  if (!key) return nullptr;
  auto it = mEntries.find(ZcString(key));
  return it == mEntries.end() ? nullptr : it->second;
}

ZcRxObject* ZcRxDictionary::atPut(const ZTCHAR* key, ZcRxObject* object) {
  if (!key) return nullptr;
  ZcRxObject*& slot = mEntries[ZcString(key)];
  ZcRxObject* previous = slot;
  slot = object;
  return previous == object ? nullptr : previous;
}

ZcRxObject* ZcRxDictionary::remove(const ZTCHAR* key) {
  if (!key) return nullptr;
  auto it = mEntries.find(ZcString(key));
  if (it == mEntries.end()) return nullptr;
  ZcRxObject* obj = it->second;
  mEntries.erase(it);
  return obj;
}

namespace {
struct SystemRegistry {
  ZcRxDictionary* root;
  ZcRxDictionary* classes;
};

SystemRegistry& systemRegistry() {
  // Never destroyed: loaded modules and the static descriptor caches of every class refer to the
  // registry until the very end of the process, past any order static destruction could promise.
  static SystemRegistry reg = [] {
    SystemRegistry r{new ZcRxDictionary, new ZcRxDictionary};
    r.root->atPut(L"ClassDictionary", r.classes);
    r.root->atPut(L"DynamicLinker", new ZcRxDynamicLinker);
    return r;
  }();
  return reg;
}
}  // namespace

ZcRxDictionary* zcrxSysRegistry() {
  return systemRegistry().root;
}
ZcRxDictionary* zcrxClassDictionary() {
  return systemRegistry().classes;
}

// ---- Dynamic linker

ZCRX_DEFINE_MEMBERS(ZcRxDynamicLinker, ZcRxObject, L"AcRxDynamicLinker", nullptr, nullptr)

bool ZcRxDynamicLinker::unlockApplication(void* appId) const {
  if (!appId) return false;
  mUnlocked[appId] = true;
  return true;
}

bool ZcRxDynamicLinker::lockApplication(void* appId) const {
  if (!appId) return false;
  mUnlocked[appId] = false;
  return true;
}

bool ZcRxDynamicLinker::isApplicationLocked(const ZTCHAR* name) const {
  (void)name;
  return false;  // this host loads modules by path and keeps no names to lock by
}

bool ZcRxDynamicLinker::registerAppMDIAware(void* appId) const {
  if (!appId) return false;
  mMDIAware[appId] = true;
  return true;
}

bool ZcRxDynamicLinker::registerAppNotMDIAware(void* appId) const {
  if (!appId) return false;
  mMDIAware[appId] = false;
  return true;
}

bool ZcRxDynamicLinker::isUnlocked(void* appId) const {
  auto it = mUnlocked.find(appId);
  return it != mUnlocked.end() && it->second;
}

bool ZcRxDynamicLinker::isMDIAware(void* appId) const {
  auto it = mMDIAware.find(appId);
  return it != mMDIAware.end() && it->second;
}
