// Moving modelled values between slots and the database's objects.
#pragma once

#include <string>
#include <unordered_map>

#include "dxf/dxf_fields.h"
#include "zrx/db/ids.h"

class ZcDbObject;
class ZcDbDatabase;

namespace zrxhost::dxf {

// Names of symbol table records by id, looked up once per save or load.
class NameCache {
 public:
  // The record's name; empty for a null or unknown id.
  const std::u16string& nameOf(ZcDbObjectId id);
  // A text style's id by name in `db` (null when the drawing has no such style).
  ZcDbObjectId styleId(ZcDbDatabase* db, const std::u16string& name);

 private:
  std::unordered_map<ZcDbStub*, std::u16string> mNames;
  std::unordered_map<std::u16string, ZcDbObjectId> mStyles;
};

// Sets the object's properties from slots read from a file. Values the object refuses keep its
// defaults (the caller notices them by reading the slots back).
void slotsToObject(RecordType type, const Slots& s, ZcDbObject* obj, ZcDbDatabase* db, NameCache& names);
// The object's current values as slots. `paperSpace`: the entity lives in a paper-space layout.
void objectToSlots(RecordType type, const ZcDbObject* obj, Slots& s, NameCache& names, bool paperSpace);
// The record type that models `obj` (Foreign for entities the host keeps as tags).
bool recordTypeOf(const ZcDbObject* obj, RecordType& type);

}  // namespace zrxhost::dxf
