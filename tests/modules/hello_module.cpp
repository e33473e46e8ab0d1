// A small module for the host's loading tests: one command that asks for a point and a text and
// writes the text there. Built three ways: as it should be, for another interface version, and
// without its exports.
#include <cstdint>

#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrx/rx.h"

#ifndef HELLO_API_VERSION
#define HELLO_API_VERSION 0x07E50046
#endif

#ifdef HELLO_NO_EXPORTS
#define HELLO_EXPORT extern "C"
#else
#define HELLO_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

ZcEdCommandStack* commandStack() {
  return ZcEdCommandStack::cast(zcrxSysRegistry()->at(L"ZCAD_REGISTERED_COMMANDS"));
}

void appendToModelSpace(ZcDbEntity* entity) {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  ZcDbBlockTable* table = nullptr;
  if (!db || db->getBlockTable(table, ZcDb::kForRead) != Zcad::eOk) {
    delete entity;
    return;
  }
  ZcDbBlockTableRecord* space = nullptr;
  Zcad::ErrorStatus es = table->getAt(ZCDB_MODEL_SPACE, space, ZcDb::kForWrite);
  table->close();
  if (es != Zcad::eOk) {
    delete entity;
    return;
  }
  if (space->appendZcDbEntity(entity) == Zcad::eOk) {
    entity->close();
  } else {
    delete entity;
  }
  space->close();
}

void hello() {
  zcutPrintf(L"\nHello from the test module.");
  zds_point where;
  if (zcedGetPoint(nullptr, L"\nText position: ", where) != RTNORM) return;
  ZTCHAR words[256];
  if (zcedGetString(1, L"\nText: ", words, 256) != RTNORM) return;
  auto* text = new ZcDbText(asPnt3d(where), words, ZcDbObjectId::kNull, 2.5, 0);
  text->setColorIndex(1);
  appendToModelSpace(text);
  zcutPrintf(L"\nWrote \"%s\".", words);
}

// Prints a system variable as the host holds it, so tests can see what --set did.
void showVar() {
  ZTCHAR name[64];
  if (zcedGetString(0, L"\nVariable name: ", name, 64) != RTNORM) return;
  resbuf value;
  if (zcedGetVar(name, &value) != RTNORM) {
    zcutPrintf(L"\n%s is not a system variable.", name);
    return;
  }
  switch (value.restype) {
    case RTSTR:
      zcutPrintf(L"\n%s = %s", name, value.resval.rstring);
      delete[] value.resval.rstring;
      break;
    case RTSHORT:
      zcutPrintf(L"\n%s = %d", name, static_cast<int>(value.resval.rint));
      break;
    case RTREAL:
      zcutPrintf(L"\n%s = %g", name, value.resval.rreal);
      break;
    default:
      zcutPrintf(L"\n%s has a value of type %d", name, static_cast<int>(value.restype));
  }
}

}  // namespace

HELLO_EXPORT std::int32_t zcrxGetApiVersion() {
  return HELLO_API_VERSION;
}

HELLO_EXPORT std::int32_t zcrxEntryPoint(std::int32_t message, void* appHandle) {
  (void)appHandle;
  if (message == ZcRx::kInitAppMsg) {
    commandStack()->addCommand(L"ZRXTEST", L"HELLO", L"BONJOUR", ZcEdCommandFlags::kModal, &hello);
    commandStack()->addCommand(L"ZRXTEST", L"SHOWVAR", L"SHOWVAR", ZcEdCommandFlags::kModal, &showVar);
    zcutPrintf(L"\ntest module loaded");
  } else if (message == ZcRx::kUnloadAppMsg) {
    commandStack()->removeGroup(L"ZRXTEST");
    zcutPrintf(L"\ntest module unloaded\n");
  }
  return 0;
}
