// A small module for scenario tests: the command HOLDOPEN keeps a picked entity open for read, as
// another application may, until the module is unloaded; nothing can open it for write meanwhile.
#include <cstdint>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrx/rx.h"

#define HOLDER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

ZcDbObject* held = nullptr;

ZcEdCommandStack* commandStack() {
  return ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
}

void holdOpen() {
  zds_name name;
  zds_point where;
  if (zcedEntSel(L"\nEntity to hold open: ", name, where) != RTNORM) return;
  ZcDbObjectId id;
  if (zcdbGetObjectId(id, name) != Zcad::eOk) return;
  if (held != nullptr) held->close();
  held = nullptr;
  if (zcdbOpenObject(held, id, ZcDb::kForRead) != Zcad::eOk) held = nullptr;
  zcutPrintf(held != nullptr ? L"\nHeld open." : L"\nCould not open it.");
}

}  // namespace

HOLDER_EXPORT std::int32_t zcrxGetApiVersion() {
  return 0x07E50046;
}

HOLDER_EXPORT std::int32_t zcrxEntryPoint(std::int32_t message, void* appHandle) {
  (void)appHandle;
  if (message == ZcRx::kInitAppMsg) {
    commandStack()->addCommand(L"ZRXHOLDER", L"HOLDOPEN", L"HOLDOPEN", ZcEdCommandFlags::kModal, &holdOpen);
  } else if (message == ZcRx::kUnloadAppMsg) {
    if (held != nullptr) held->close();
    held = nullptr;
    commandStack()->removeGroup(L"ZRXHOLDER");
  }
  return 0;
}
