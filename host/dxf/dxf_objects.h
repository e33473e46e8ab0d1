// One descriptor per DXF record type the host models: its name, class, groups and how it is built.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "dxf/dxf_fields.h"
#include "zrx/db/ids.h"

class ZcDbObject;
class ZcDbDatabase;
class ZcDbSymbolTable;
class ZcRxClass;

namespace zrxhost::dxf {

// Everything the reader and the writer know of one record type. Entities and table records have a
// class and are made by `make`; the parts of other records (VERTEX, BLOCK, the groups every entity
// has) have groups only.
struct RecordDescriptor {
  RecordType type;
  // The 0 group of the record ("TEXT"), or for a table record the table's name ("LAYER").
  const char* dxfName;
  ZcRxClass* (*rxClass)();
  ZcDbObject* (*make)();
  // The fields, each declared once (FieldDef), in the order a writer puts them, with what is derived
  // from them.
  TypeDef fields;
  // Table records: the table, and where the database keeps its id.
  ZcDbSymbolTable* (*makeTable)() = nullptr;
  ZcDbObjectId (ZcDbDatabase::*tableId)() const = nullptr;
  void (*setTableId)(ZcDbDatabase&, ZcDbObjectId) = nullptr;
  // The class tells which properties its setters changed (zrxhost/edits.h), as its fields' `edit`
  // say: a writer need look only at the groups of those. Else the writer compares its records.
  bool tellsEdits = false;
  // The class whose objects the fields load and store, where it is not rxClass (a BLOCK's values are
  // its block record's).
  ZcRxClass* (*objectClass)() = nullptr;

  bool describesEntities() const { return rxClass != nullptr && makeTable == nullptr; }
};

const RecordDescriptor& descriptor(RecordType type);
const TypeDef& typeDef(RecordType type);
// The descriptor of the entity type named by a 0 group; null for one the host keeps as tags.
const RecordDescriptor* entityDescriptor(std::string_view dxfName);
// The descriptor of the table a TABLE's group 2 names; null for tables kept as tags.
const RecordDescriptor* tableDescriptor(std::string_view tableName);
// The descriptor that models `obj`, an entity or a table record (null for other objects).
const RecordDescriptor* descriptorOf(const ZcDbObject& obj);

// Sets the object's properties from slots, field by field (FieldDef::store), in the fields' order.
// Values the object refuses keep its own (what refusedValues tells).
void slotsToObject(const RecordDescriptor& d, const Slots& s, ZcDbObject& obj, ZcDbDatabase* db, NameCache& names);
// The object's values as slots; `paperSpace`: the entity lives in a paper-space layout. Only the slots
// of `wanted` are sure to be set: the others may keep what an earlier call left in `s`.
void objectToSlots(const RecordDescriptor& d, const ZcDbObject& obj, Slots& s, NameCache& names,
                   bool paperSpace = false, SlotMask wanted = ~SlotMask{0});
// The slots an object of `d` (which tellsEdits) may have changed since it was read, given the
// edits its setters told (zrxhost::editsSinceMarked): theirs, and the reference slots unless
// `namesAsRead` (no symbol table changed since, so no name found through an id did).
SlotMask editedSlots(const RecordDescriptor& d, std::uint32_t edits, bool namesAsRead);
// The values an object made from `read` would hold where they differ from `read`: values the object
// refuses or settles otherwise (an oblique of 89 degrees, colour 300), as its fields declare
// (FieldDef::keeps, FieldDef::settle). While an object still has such a value, the file's value stands.
void refusedValues(const RecordDescriptor& d, const Slots& read, ZcDbDatabase* db, NameCache& names,
                   RefusedValues& refused);

}  // namespace zrxhost::dxf
