// ZcDbStub, the database's record of one object, and helpers shared by the database sources.
#pragma once

#include <bit>
#include <cstdint>
#include <cwctype>
#include <string>
#include <typeinfo>

#include "zrx/db/database.h"
#include "zrx/db/ids.h"
#include "zrx/db/object.h"
#include "zrx/string.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/edits.h"
#include "zrxhost/undo.h"

class ZcDbObject;
class ZcDbDatabase;

// An id points at its stub, so the stub (not the object) carries what must stay valid while the
// database lives: the handle, the erased flag and the open state of the object.
struct ZcDbStub {
  ZcDbObject* object = nullptr;  // null for a handle known only by reference so far
  ZcDbDatabase* database = nullptr;
  ZcDbHandle handle = 0;
  int readers = 0;
  // 1 + the database loader's index of an object it listed, with kBuilt added once the loader built
  // it (0: an object the loader did not list, or a handle known only by reference).
  std::uint32_t pending = 0;
  static constexpr std::uint32_t kBuilt = 0x80000000u;
  // Listed by the loader and not built yet.
  bool awaitsLoader() const { return pending != 0 && (pending & kBuilt) == 0; }
  bool writer = false;
  bool erased = false;
  // Opened for write (or made) since markAllUnchanged: a writer may copy an unchanged object's
  // record from the file it came from as it stands.
  bool changed = true;
  // The properties the object's setters changed since markAllUnchanged (zrxhost::Edit bits).
  std::uint32_t edits = 0;
  // The undo group that last recorded this object, so that a group records it once.
  std::uint64_t undoSerial = 0;
};

namespace zrxdb {

// Notes on the stub of a database's object that a setter changed `edit` (nothing for a new object).
inline void noteEdit(ZcDbStub* stub, std::uint32_t edit) {
  if (stub != nullptr) stub->edits |= edit;
}

// Notes on the stub the coordinates of a point property a setter changed from `before` to `after`:
// `xEdit` is the Edit bit of its x, the next two those of y and z. A coordinate counts as changed
// unless its bits are the same (so -0 for 0 counts, and a NaN stored again does not).
template <typename Point>
inline void notePointEdit(ZcDbStub* stub, std::uint32_t xEdit, const Point& before, const Point& after) {
  if (stub == nullptr) return;
  const auto differs = [](double a, double b) {
    return std::bit_cast<std::uint64_t>(a) != std::bit_cast<std::uint64_t>(b);
  };
  stub->edits |= (differs(before.x, after.x) ? xEdit : 0) | (differs(before.y, after.y) ? xEdit << 1 : 0) |
                 (differs(before.z, after.z) ? xEdit << 2 : 0);
}

// Lets the database's undo history copy the object before it is opened for write.
inline void willOpenForWrite(ZcDbStub& stub) {
  if (stub.database) {
    zrxhost::UndoHistory& history = zrxhost::undoHistory(*stub.database);
    history.willModify(stub);
  }
}

// The object behind a stub, built by the database's loader the first time it is asked for; null for
// a handle known only by reference.
inline ZcDbObject* objectOf(ZcDbStub& stub) {
  if (stub.awaitsLoader()) [[unlikely]]
    return zrxhost::loadPending(*stub.database, stub);
  return stub.object;
}

// The stub behind an entity name, or null when the value is no stub of a live database.
ZcDbStub* liveStub(ZSoft::LongPtr value);

// Symbol names compare without case, as the real host's tables do.
inline bool sameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

// The object behind an id, of class T, without opening it (for the host's own lookups).
// The exact class is tested first: it is the usual case and cheaper than walking the class tree.
template <typename T>
T* peek(ZcDbObjectId id) {
  if (id.isNull()) return nullptr;
  ZcDbObject* object = objectOf(*id.stub());
  if (object == nullptr) return nullptr;
  if (typeid(*object) == typeid(T)) return static_cast<T*>(object);
  return T::cast(object);
}

// Pseudo-constructor for the class registrations.
template <typename T>
ZcRxObject* construct() {
  return new T;
}

}  // namespace zrxdb
