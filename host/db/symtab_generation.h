// A count of the changes that can make a symbol-table lookup by name answer differently.
#pragma once

#include <cstdint>

#include "zrx/db/database.h"
#include "zrxhost/database_internals.h"

namespace zrxdb {

// Bumped when a record is added to a table, renamed, overwritten by a copy or destroyed, and when
// a table is destroyed (a database going away destroys both). Drawing code keeps the record a
// name led to and trusts it while this count is unchanged; erasing is not counted, so such a
// cache also tests its record's erased flag. Never zero, so a zeroed cache never matches.
extern std::uint64_t symbolTableGeneration __attribute__((visibility("hidden")));

// Also counts the change in the drawing `db` (zrxhost::symbolTableChanges), where there is one.
inline void symbolTablesChanged(ZcDbDatabase* db) {
  ++symbolTableGeneration;
  if (db != nullptr) zrxhost::noteSymbolTableChange(*db);
}

}  // namespace zrxdb
