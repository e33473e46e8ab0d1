// Runtime: classes and their registry, the system registry, the dynamic linker, utility calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "zrx/array.h"
#include "zrx/core.h"
#include "zrx/string.h"

class ZcRxClass;
class ZcRxObject;

using ZcRxPseudoConstructor = ZcRxObject* (*)();
using AppNameChangeFuncPtr = void (*)(const ZcRxClass* classObj, ZTCHAR*& newAppName, int saveVer);

// Declares the runtime-class members of a host class (desc, isA, cast) and its registration.
#define ZCRX_DECLARE_MEMBERS(CLASS_NAME)                  \
 public:                                                  \
  static ZcRxClass* desc();                               \
  ZcRxClass* isA() const override;                        \
  static CLASS_NAME* cast(const ZcRxObject* inPtr);       \
  static void rxInit()

class ZcRxObject {
 public:
  virtual ~ZcRxObject();
  static ZcRxClass* desc();
  static ZcRxObject* cast(const ZcRxObject* p) { return const_cast<ZcRxObject*>(p); }
  virtual ZcRxClass* isA() const;
  bool isKindOf(const ZcRxClass* cls) const;
  // A new object of the same class with the same contents; null where copying is not supported.
  virtual ZcRxObject* clone() const;
  virtual Zcad::ErrorStatus copyFrom(const ZcRxObject* other);
  virtual bool isEqualTo(const ZcRxObject* other) const;
  virtual int comparedTo(const ZcRxObject* other) const;
  virtual ZcRxObject* subQueryX(const ZcRxClass* protocolClass) const;
};

class ZcRxClass : public ZcRxObject {
 public:
  ZcRxClass(const ZcString& name, ZcRxClass* parent, int dwgVersion, int maintenanceVersion, int proxyFlags,
            ZcRxPseudoConstructor constructor, const ZcString& dxfName, const ZcString& appName,
            AppNameChangeFuncPtr appNameChange);
  ~ZcRxClass() override;
  ZcRxClass* isA() const override;

  const ZTCHAR* name() const { return mName.kwszPtr(); }
  const ZcString& nameString() const { return mName; }
  const ZTCHAR* dxfName() const { return mDxfName.kwszPtr(); }
  const ZTCHAR* appName() const { return mAppName.kwszPtr(); }
  ZcRxClass* myParent() const { return mParent; }
  void setParent(ZcRxClass* parent) { mParent = parent; }
  const ZcString& parentName() const { return mParentName; }
  void setParentName(const ZcString& name) { mParentName = name; }
  int dwgVersion() const { return mDwgVersion; }
  int maintenanceVersion() const { return mMaintenanceVersion; }
  int proxyFlags() const { return mProxyFlags; }
  ZcRxPseudoConstructor constructor() const { return mConstructor; }
  AppNameChangeFuncPtr appNameCallbackPtr() const { return mAppNameChange; }
  // Runs the pseudo-constructor; null when the class has none.
  ZcRxObject* create() const;
  bool isDerivedFrom(const ZcRxClass* other) const;

 private:
  ZcString mName;
  ZcString mParentName;
  ZcRxClass* mParent = nullptr;
  int mDwgVersion = 0;
  int mMaintenanceVersion = 0;
  int mProxyFlags = 0;
  ZcRxPseudoConstructor mConstructor = nullptr;
  ZcString mDxfName;
  ZcString mAppName;
  AppNameChangeFuncPtr mAppNameChange = nullptr;
};

// Registers a class under its name. An existing class of that name is returned unchanged.
ZcRxClass* newZcRxClass(const ZTCHAR* className, const ZTCHAR* parentClassName, int dwgVer, int maintVer,
                        int proxyFlags = 0, ZcRxPseudoConstructor pseudoConstructor = nullptr,
                        const ZTCHAR* dxfName = nullptr, const ZTCHAR* appName = nullptr,
                        AppNameChangeFuncPtr func = nullptr);
ZcRxClass* zcrxFindZcRxClass(const ZTCHAR* className);
// Removes a class from the registry and frees its descriptor; classes derived from it are unlinked.
void deleteZcRxClass(ZcRxClass* pClass);
// Links every registered class to its parent by the parent's name.
void zcrxBuildClassHierarchy();
// Prints the message on standard error and aborts the process.
[[noreturn]] void zcrx_abort(const ZTCHAR* format, ...);

// A string-keyed dictionary of runtime objects (the system registry is one).
class ZcRxDictionary : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcRxDictionary);

 public:
  ~ZcRxDictionary() override;
  ZcRxObject* at(const ZTCHAR* key) const;
  // Stores `object` under `key`, returning what it replaced (the caller owns that).
  ZcRxObject* atPut(const ZTCHAR* key, ZcRxObject* object);
  ZcRxObject* remove(const ZTCHAR* key);
  bool has(const ZTCHAR* key) const { return at(key) != nullptr; }
  int numEntries() const { return static_cast<int>(mEntries.size()); }
  const std::map<ZcString, ZcRxObject*>& entries() const { return mEntries; }

 private:
  std::map<ZcString, ZcRxObject*> mEntries;
};

ZcRxDictionary* zcrxSysRegistry();
ZcRxDictionary* zcrxClassDictionary();

// The service that loads applications; the host records what applications declare through it.
class ZcRxDynamicLinker : public ZcRxObject {
  ZCRX_DECLARE_MEMBERS(ZcRxDynamicLinker);

 public:
  virtual bool unlockApplication(void* appId) const;
  virtual bool lockApplication(void* appId) const;
  virtual bool isApplicationLocked(const ZTCHAR* name) const;
  virtual bool registerAppMDIAware(void* appId) const;
  virtual bool registerAppNotMDIAware(void* appId) const;

  // Host side: what the applications declared.
  bool isUnlocked(void* appId) const;
  bool isMDIAware(void* appId) const;

 private:
  mutable std::map<void*, bool> mUnlocked;
  mutable std::map<void*, bool> mMDIAware;
};

namespace ZcRx {
enum AppMsgCode { kNullMsg = 0, kInitAppMsg = 1, kUnloadAppMsg = 2 };
}

// Result buffers.
resbuf* zcutNewRb(int type);
int zcutRelRb(resbuf* rb);

// Character classes: the ten ASCII digits; letters of any script.
int zcutIsDigit(int c);
int zcutIsAlpha(int c);

// Formats like wprintf, except that %s takes a wide string as on the real host, and writes to the
// command line in UTF-8. Returns the number of characters written.
int zcutPrintf(const ZTCHAR* format, ...);

// Host-heap allocation as used by the runtime's pseudo-constructors.
void* zcutNew(size_t bytes);
void zcutDelete(void* p);
