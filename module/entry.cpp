// The module's entry points: registration of the command and the preview class, and their removal.
#include "module/entry.h"

#include "command/increment_command.h"
#include "jig/text_array.h"

namespace {

constexpr const ZTCHAR* kGroupName = L"ZrxForTally";
constexpr const ZTCHAR* kCommandName = L"tally";

// Looked up afresh every time: nothing of the registry is kept between messages.
ZcRxObject* registryEntry(const ZTCHAR* key) {
  ZcRxDictionary* registry = zcrxSysRegistry();
  return registry != nullptr ? registry->at(key) : nullptr;
}

ZcRxDynamicLinker* dynamicLinker() {
  return ZcRxDynamicLinker::cast(registryEntry(L"DynamicLinker"));
}

ZcEdCommandStack* commandStack() {
  return ZcEdCommandStack::cast(registryEntry(L"ZCAD_REGISTERED_COMMANDS"));
}

}  // namespace

void moduleInit() {
  // A load starts from the initial settings, also when the library stayed mapped since the last one.
  resetIncrementSettings();
  if (ZcEdCommandStack* stack = commandStack()) {
    stack->addCommand(kGroupName, kCommandName, kCommandName, 0, incrementCommand, nullptr, -1, nullptr, nullptr);
  }
  TextArray::rxInit();
  ZcEdJig::rxInit();
  zcrxBuildClassHierarchy();
}

void moduleUnload() {
  // Deletes the descriptor and forgets the pointer the class keeps to it.
  TextArray::rxUninit();
  if (ZcRxClass* jigClass = ZcEdJig::desc()) deleteZcRxClass(jigClass);
  if (ZcEdCommandStack* stack = commandStack()) stack->removeGroup(kGroupName);
}

std::int32_t zcrxGetApiVersion() {
  return kTallyApiVersion;
}

std::int32_t zcrxEntryPoint(std::int32_t message, void* applicationHandle) {
  switch (message) {
    case ZcRx::kInitAppMsg:
      if (ZcRxDynamicLinker* linker = dynamicLinker()) linker->unlockApplication(applicationHandle);
      if (ZcRxDynamicLinker* linker = dynamicLinker()) linker->registerAppMDIAware(applicationHandle);
      moduleInit();
      break;
    case ZcRx::kUnloadAppMsg:
      moduleUnload();
      break;
    default:
      break;
  }
  return 0;
}
