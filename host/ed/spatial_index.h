// The spatial index of the current space's entities by their extents, for snaps and picks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "zrx/db.h"

namespace zrxhost::ed {

// A grid over the extents of the entities of one space, built the first time a snap or a pick asks
// and kept up to date from the drawing's undo history, which hands over every object changed,
// added, undone or redone since (an entity changed is looked at again, a new one added). Many
// changes at once (a command that wrote a million copies), or a change to a block, make it build
// afresh, keeping the boxes of the entities that cannot have changed (still records, or untouched
// since the read and not inserts, whose boxes follow their blocks).
class SpatialIndex {
 public:
  // The index of the working drawing's current space, brought up to date; null without a drawing.
  static SpatialIndex* current();

  // The entities whose extents come within `radius` of `point` (in XY), and those whose extents
  // are unknown, topmost (last added) first. Erased ones are left out; visibility is the caller's.
  void near(const ZcGePoint3d& point, double radius, std::vector<ZcDbObjectId>& out);

  // An entity's place in the index: its box and a serial number no other entry has had, kept by
  // the entry while its entity stays as it was (through builds too), so that what a painter kept of
  // an entry stands until the entity changes (then it is a new entry).
  struct Entry {
    ZcDbObjectId id;
    float box[4];              // x0, y0, x1, y1, widened to cover the double extents
    std::uint32_t order : 31;  // the place in the space's list: higher is drawn later, on top
    std::uint32_t live : 1;
    std::uint32_t serial = 0;  // given by add
  };
  // An entry found, as it stands until the index next changes (see version()).
  using Found = const Entry*;
  // The live entries whose boxes meet the rectangle (x0, y0)-(x1, y1), and those without extents,
  // bottom first (in the order they are drawn).
  void within(double x0, double y0, double x1, double y1, std::vector<Found>& out);
  // The entries added since the first serial of `added` (none changed or erased since, see
  // removals()) whose boxes meet the rectangle, bottom first: what to draw over a picture of the
  // entries before them, all of which lie under the new ones.
  void addedWithin(std::uint32_t added, double x0, double y0, double x1, double y1, std::vector<Found>& out);
  // Counts the changes that took entries away (an entity changed or erased, a build): while it
  // stands, entries were only added, each with a serial above those before it.
  std::uint64_t removals() const { return mRemovals; }
  // The box around every entry with extents; false when there is none.
  bool extents(double box[4]) const;
  // Counts the builds.
  std::uint64_t builds() const { return mBuilds; }
  // One above the highest serial given out so far.
  std::uint32_t serialEnd() const { return mNextSerial; }
  // Grows with every change of the entries (a build, an entry added or taken away): what was found
  // stands while it stays.
  std::uint64_t version() const { return mBuilds + mRemovals + mNextSerial; }

  std::size_t size() const { return mEntries.size() + mExtra.size(); }
  // The bytes it holds, for the benchmark.
  std::size_t memoryBytes() const;

  // Builds the index of `space` (exposed for the benchmark; current() does it when needed).
  void build(ZcDbDatabase& db, const ZcDbBlockTableRecord& space);

 private:
  void update(ZcDbDatabase& db);
  // Whether the object changed is a block an insert can show, or one of its entities.
  bool changesABlock(const ZcDbObjectId& id) const;
  // The most changes kept beside the entries as built.
  std::size_t maxExtra() const;
  // Whether the object is an entity of the indexed space (an erased one too).
  bool ofSpace(const ZcDbObjectId& id) const;
  // The entry as built of an entity, if it has one.
  Entry* builtEntry(const ZcDbObjectId& id);
  void add(std::vector<Entry>& to, const ZcDbObjectId& id, std::uint32_t order, const float* recordBox = nullptr);
  bool insertBox(const ZcDbBlockReference& insert, double box[4]);
  void collect(const Entry& e, const ZcGePoint3d& point, double radius, std::vector<const Entry*>& found);
  static double typicalSize(const std::vector<Entry>& entries);
  template <typename Visit>
  bool visitCells(double x0, double y0, double x1, double y1, double maxCells, Visit&& visit);

  ZcDbDatabase* mDb = nullptr;
  ZcDbObjectId mSpace;
  std::vector<Entry> mEntries;         // as built
  std::vector<Entry> mExtra;           // added or changed since, and those without extents, in order
  std::vector<std::uint32_t> mByStub;  // entries sorted by their stub, to find a changed one (at the first change)
  // The grid: the entries of cell c are mCellItems[mCellStart[c] .. mCellStart[c + 1]).
  double mX0 = 0, mY0 = 0, mCell = 1;
  std::uint32_t mColumns = 0, mRows = 0;
  std::vector<std::uint32_t> mCellStart, mCellItems;
  std::vector<std::uint32_t> mLarge;  // entries spanning too many cells to list in each
  std::uint32_t mNextOrder = 0;
  std::vector<std::uint32_t> mSeen;  // per entry, the query that last found it
  std::uint32_t mQuery = 0;
  // While a build runs: the box of each block inserted, in the block's coordinates.
  struct BlockBox {
    ZcGePoint3d min, max;
    bool valid = false;
  };
  std::map<ZcDbObjectId, BlockBox> mBlockBoxes;
  bool mBuilding = false;
  std::uint32_t mNextSerial = 0;
  std::uint64_t mBuilds = 0;
  std::uint64_t mRemovals = 0;
  bool mHasBox = false;
  double mBox[4] = {0, 0, 0, 0};  // around mEntries
};

}  // namespace zrxhost::ed
