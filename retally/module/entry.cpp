// The entry points of ZrxForRetally.zrx: registration of "retally" and its preview class, and their removal.
#include "retally/module/entry.h"

#include "retally/command/retally_command.h"
#include "retally/plan/retally_settings.h"
#include "retally/preview/renumber_preview.h"

namespace {

constexpr const ZTCHAR* kGroupName = L"ZrxForRetally";
constexpr const ZTCHAR* kCommandName = L"retally";

ZcRxObject* registryEntry(const ZTCHAR* key) {
  ZcRxDictionary* registry = zcrxSysRegistry();
  return registry != nullptr ? registry->at(key) : nullptr;
}

void load(void* applicationHandle) {
  if (auto* linker = ZcRxDynamicLinker::cast(registryEntry(L"DynamicLinker"))) {
    linker->unlockApplication(applicationHandle);
    linker->registerAppMDIAware(applicationHandle);
  }
  resetRetallySettings();
  if (auto* stack = ZcEdCommandStack::cast(registryEntry(L"ZCAD_REGISTERED_COMMANDS")))
    stack->addCommand(kGroupName, kCommandName, kCommandName, 0, retallyCommand, nullptr, -1, nullptr, nullptr);
  RenumberPreview::rxInit();
  zcrxBuildClassHierarchy();
}

void unload() {
  RenumberPreview::rxUninit();
  if (auto* stack = ZcEdCommandStack::cast(registryEntry(L"ZCAD_REGISTERED_COMMANDS"))) stack->removeGroup(kGroupName);
}

}  // namespace

std::int32_t zcrxGetApiVersion() {
  return kRetallyApiVersion;
}

std::int32_t zcrxEntryPoint(std::int32_t message, void* applicationHandle) {
  if (message == ZcRx::kInitAppMsg) load(applicationHandle);
  if (message == ZcRx::kUnloadAppMsg) unload();
  return 0;
}
