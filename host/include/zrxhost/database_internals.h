// The drawing database's host side: lazy loading, change marks, undo and setup, which modules never see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "zrx/db/database.h"

class ZcDbBlockTableRecord;
class ZcDbExtents;
struct ZcDbStub;

namespace zrxhost {
class UndoHistory;

// How far inserts are followed into their blocks, alike where they are drawn, snapped at, picked
// and measured. Nested inserts are followed this deep: a block that contains itself stops there.
constexpr int kMaxInsertNesting = 16;
// Entities of the blocks nested in its block that one insert visits at most (arrays counted):
// blocks that insert each other many times over would cost without end, while a block's own
// entities, however many, cost what the file holds.
constexpr long kMaxNestedVisits = 1L << 19;

// The oblique a text keeps of `radians`, within a turn, in `kept`; false where it refuses it: beyond
// 85 degrees either way the text box degenerates (the real host refuses such angles too).
bool textObliqueKept(double radians, double& kept);

// Builds the objects a database holds only as places in their source (a drawing file's records)
// until they are first asked for: reading a large drawing then costs what its records need, not
// what its objects would.
class ObjectLoader {
 public:
  virtual ~ObjectLoader() = default;
  // The object of `id`, which the loader listed as `index`: not in a database yet, with its owner
  // set. Never null: a record the loader cannot model becomes an object that keeps it as it stands.
  virtual ZcDbObject* load(ZcDbObjectId id, std::uint32_t index) = 0;
  // A box in XY (x0, y0, x1, y1) certain to hold what the object `index` would draw and where it
  // snaps, read without building it; false when only building it tells.
  virtual bool pendingBox(std::uint32_t index, double box[4]) const {
    (void)index, (void)box;
    return false;
  }
};

// An object the loader (set first) builds when first opened or looked at (`index` is the loader's);
// the handle must be new, or one referred to so far. The object counts as unchanged.
Zcad::ErrorStatus addPendingObject(ZcDbDatabase& db, ZcDbObjectId& id, ZcDbHandle handle, std::uint32_t index);
void setObjectLoader(ZcDbDatabase& db, std::unique_ptr<ObjectLoader> loader);
// True, with the loader's index, for an object not built yet.
bool pendingIndex(ZcDbObjectId id, std::uint32_t& index);
// True, with the loader's index, for an object the loader listed, built since or not.
bool loaderIndex(ZcDbObjectId id, std::uint32_t& index);
// For an object not built yet, the loader's box around it (see ObjectLoader::pendingBox).
bool pendingBox(ZcDbObjectId id, double box[4]);
// The box of the block's entities in its own coordinates, as an insert of it measures it (each
// nested block measured once); false when it holds nothing with extents.
bool blockExtents(const ZcDbBlockTableRecord& block, ZcDbExtents& box);
// Builds every object not built yet.
void loadPendingObjects(ZcDbDatabase& db);
// Builds the object of a pending stub (through its id's open or peek).
ZcDbObject* loadPending(ZcDbDatabase& db, ZcDbStub& stub);
// Makes room for `count` objects in all, so that a reader that knows the size of a drawing does
// not grow the handle index step by step.
void reserveObjects(ZcDbDatabase& db, std::size_t count);

// Marks every object as unchanged (a reader calls it when the drawing is complete); opening an
// object for write marks it changed again.
void markAllUnchanged(ZcDbDatabase& db);
// Whether the object was opened for write, or added, since markAllUnchanged (true for a null id).
bool changedSinceMarked(const ZcDbDatabase& db, ZcDbObjectId id);
// The properties (zrxhost::Edit bits) the setters of an object changed since markAllUnchanged.
// Only the entity classes that tell their changes set them (see zrxhost/edits.h); for those, an
// object changed with no bit set has had nothing stored by a setter.
std::uint32_t editsSinceMarked(const ZcDbDatabase& db, ZcDbObjectId id);
// A count of the changes to this drawing's symbol tables that can change a name found through an
// id (a record added, renamed, replaced or destroyed). A writer that kept such names trusts them
// while it stands; other drawings do not move it.
std::uint64_t symbolTableChanges(const ZcDbDatabase& db);
void noteSymbolTableChange(ZcDbDatabase& db);

// What the commands did to this drawing, for U, UNDO and REDO.
UndoHistory& undoHistory(ZcDbDatabase& db);

// What a reader sets while it reads a drawing: the handle seed, and the tables the database's own.
void setHandseed(ZcDbDatabase& db, ZcDbHandle seed);
void setBlockTableId(ZcDbDatabase& db, ZcDbObjectId id);
void setLayerTableId(ZcDbDatabase& db, ZcDbObjectId id);
void setTextStyleTableId(ZcDbDatabase& db, ZcDbObjectId id);

// Every object id of the database in handle order (erased ones included).
std::vector<ZcDbObjectId> allObjectIds(const ZcDbDatabase& db);

}  // namespace zrxhost
