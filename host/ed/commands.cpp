// Commands and the command stack; documents and their locks.
#include <cwctype>
#include <exception>
#include <map>

#include "zrx/ed.h"
#include "zrx/rx_define.h"
#include "zrxhost/messages.h"
#include "zrxhost/ownership.h"
#include "zrxhost/session.h"

ZCRX_DEFINE_MEMBERS(ZcEdCommand, ZcRxObject, L"AcEdCommand", nullptr, nullptr)
ZCRX_DEFINE_MEMBERS(ZcEdCommandStack, ZcRxObject, L"AcEdCommandStack", nullptr, nullptr)

namespace {

// The module that added each command (none for the host's own): a module removes only its own, even
// where another module added a group of the same name.
std::map<const ZcEdCommand*, const void*>& commandOwners() {
  static std::map<const ZcEdCommand*, const void*> owners;
  return owners;
}

bool removableHere(const ZcEdCommand& cmd) {
  const void* running = zrxhost::currentModule();
  auto it = commandOwners().find(&cmd);
  const void* owner = it == commandOwners().end() ? nullptr : it->second;
  if (running != nullptr && owner != running) return false;
  commandOwners().erase(&cmd);
  return true;
}

// Command names are ASCII in practice, but a localised name may not be: compare code point by
// code point without case.
bool sameName(const ZTCHAR* a, const ZTCHAR* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b) {
    if (*a != *b && std::towupper(static_cast<wint_t>(*a)) != std::towupper(static_cast<wint_t>(*b))) return false;
  }
  return *a == *b;
}

// The real host accepts "_NAME" (the global name whatever the language) and ".NAME" (the built-in
// even when redefined) on its command line; both prefixes name the same command here.
const ZTCHAR* stripPrefixes(const ZTCHAR* name) {
  while (name && (*name == L'_' || *name == L'.')) ++name;
  return name;
}

}  // namespace

ZcEdCommand::ZcEdCommand(const ZcString& group, const ZcString& globalName, const ZcString& localName, int flags,
                         ZcRxFunctionPtr function, ZcEdUIContext* uiContext, int functionCode, void* resourceHandle)
    : mGroup(group),
      mGlobalName(globalName),
      mLocalName(localName),
      mFlags(flags),
      mFunction(function),
      mUIContext(uiContext),
      mFunctionCode(functionCode),
      mResourceHandle(resourceHandle) {}

ZcEdCommandStack::~ZcEdCommandStack() = default;

Zcad::ErrorStatus ZcEdCommandStack::addCommand(const ZTCHAR* groupName, const ZTCHAR* globalName,
                                               const ZTCHAR* localName, int commandFlags, ZcRxFunctionPtr function,
                                               ZcEdUIContext* uiContext, int functionCode, void* resourceHandle,
                                               ZcEdCommand** commandCreated) {
  if (commandCreated) *commandCreated = nullptr;
  if (!groupName || !*groupName || !globalName || !*globalName || !function) return Zcad::eInvalidInput;
  for (const auto& cmd : mCommands) {
    if (sameName(cmd->groupName().kwszPtr(), groupName) && sameName(cmd->globalName(), globalName)) {
      zrxhost::noteNameClash("command \"" + ZcString(globalName).toUtf8() + "\"");
      return Zcad::eDuplicateKey;
    }
  }
  const ZTCHAR* local = localName && *localName ? localName : globalName;
  mCommands.push_back(std::make_unique<ZcEdCommand>(ZcString(groupName), ZcString(globalName), ZcString(local),
                                                    commandFlags, function, uiContext, functionCode, resourceHandle));
  if (zrxhost::currentModule() != nullptr)
    commandOwners()[mCommands.back().get()] = zrxhost::currentModule();
  else
    commandOwners().erase(mCommands.back().get());  // a stale entry of a command freed before
  if (commandCreated) *commandCreated = mCommands.back().get();
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcEdCommandStack::removeCmd(const ZTCHAR* groupName, const ZTCHAR* globalName) {
  for (auto it = mCommands.begin(); it != mCommands.end(); ++it) {
    if (sameName((*it)->groupName().kwszPtr(), groupName) && sameName((*it)->globalName(), globalName) &&
        removableHere(**it)) {
      mCommands.erase(it);
      return Zcad::eOk;
    }
  }
  return Zcad::eKeyNotFound;
}

Zcad::ErrorStatus ZcEdCommandStack::removeGroup(const ZTCHAR* groupName) {
  size_t before = mCommands.size();
  std::erase_if(mCommands, [&](const auto& cmd) {
    return sameName(cmd->groupName().kwszPtr(), groupName) && removableHere(*cmd);
  });
  return mCommands.size() == before ? Zcad::eKeyNotFound : Zcad::eOk;
}

// The group loaded last is searched first, so a later module's command hides an earlier one of the
// same name, as on the real host.
ZcEdCommand* ZcEdCommandStack::lookupGlobalCmd(const ZTCHAR* globalName) const {
  globalName = stripPrefixes(globalName);
  for (auto it = mCommands.rbegin(); it != mCommands.rend(); ++it) {
    if (sameName((*it)->globalName(), globalName)) return it->get();
  }
  return nullptr;
}

ZcEdCommand* ZcEdCommandStack::lookupLocalCmd(const ZTCHAR* localName) const {
  localName = stripPrefixes(localName);
  for (auto it = mCommands.rbegin(); it != mCommands.rend(); ++it) {
    if (sameName((*it)->localName(), localName)) return it->get();
  }
  return nullptr;
}

ZcEdCommand* ZcEdCommandStack::lookupCmd(const ZTCHAR* name) const {
  if (ZcEdCommand* cmd = lookupGlobalCmd(name)) return cmd;
  return lookupLocalCmd(name);
}

bool ZcEdCommandStack::run(const ZTCHAR* name) {
  ZcEdCommand* cmd = lookupCmd(name);
  if (!cmd || cmd->isUndefined() || !cmd->functionAddr()) return false;
  // The command may remove its own group (a module unloading itself); keep the function pointer.
  ZcRxFunctionPtr function = cmd->functionAddr();
  try {
    function();
  } catch (const std::exception& e) {
    // A command that throws must not take the host down with it: report it and go on.
    zrxhost::Session::instance().print("\n" +
                                       zrxhost::hostMessage(zrxhost::HostMessage::kCommandFailedBecause, e.what()));
  } catch (...) {
    zrxhost::Session::instance().print("\n" + zrxhost::hostMessage(zrxhost::HostMessage::kCommandFailed));
  }
  return true;
}

// ---- Documents

Zcad::ErrorStatus ZcApDocManager::lockDocument(ZcApDocument* doc, ZcDb::DocLockMode mode, const ZTCHAR* globalCmdName,
                                               const ZTCHAR* localCmdName, bool prompt) {
  (void)globalCmdName, (void)localCmdName, (void)prompt;
  if (doc != &mDocument) return Zcad::eInvalidInput;
  // Locks nest: the mode of the outermost lock stays until the last unlock.
  if (doc->mLockDepth == 0) doc->mLockMode = mode;
  ++doc->mLockDepth;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcApDocManager::unlockDocument(ZcApDocument* doc) {
  if (doc != &mDocument) return Zcad::eInvalidInput;
  if (doc->mLockDepth == 0) return Zcad::eNotApplicable;
  if (--doc->mLockDepth == 0) doc->mLockMode = ZcDb::kNotLocked;
  return Zcad::eOk;
}

ZcApDocManager* zcDocManagerPtr() {
  static ZcApDocManager manager;
  return &manager;
}
