// The spatial index of the current space's entities by their extents, for snaps and picks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zrx/db.h"

namespace zrxhost::ed {

// A grid over the extents of the entities of one space, built the first time a snap or a pick asks
// and kept up to date from the drawing's undo history, which hands over every object changed,
// added, undone or redone since (an entity changed is looked at again, a new one added). Many
// changes at once (a command that wrote a million copies), or a change to a block, make it build
// afresh.
class SpatialIndex {
 public:
  // The index of the working drawing's current space, brought up to date; null without a drawing.
  static SpatialIndex* current();

  // The entities whose extents come within `radius` of `point` (in XY), and those whose extents
  // are unknown, topmost (last added) first. Erased ones are left out; visibility is the caller's.
  void near(const ZcGePoint3d& point, double radius, std::vector<ZcDbObjectId>& out);

  std::size_t size() const { return mEntries.size() + mExtra.size(); }
  // The bytes it holds, for the benchmark.
  std::size_t memoryBytes() const;

  // Builds the index of `space` (exposed for the benchmark; current() does it when needed).
  void build(ZcDbDatabase& db, const ZcDbBlockTableRecord& space);

 private:
  struct Entry {
    ZcDbObjectId id;
    float box[4];         // x0, y0, x1, y1, widened to cover the double extents
    std::uint32_t order;  // the place in the space's list: higher is drawn later, on top
    bool live;
  };
  void update(ZcDbDatabase& db);
  // Whether the object changed is a block an insert can show, or one of its entities.
  bool changesABlock(const ZcDbObjectId& id) const;
  void add(std::vector<Entry>& to, const ZcDbObjectId& id, std::uint32_t order);
  void collect(const Entry& e, const ZcGePoint3d& point, double radius, std::vector<const Entry*>& found);

  ZcDbDatabase* mDb = nullptr;
  ZcDbObjectId mSpace;
  std::vector<Entry> mEntries;         // as built
  std::vector<Entry> mExtra;           // added or changed since, and those without extents
  std::vector<std::uint32_t> mByStub;  // entries sorted by their stub, to find a changed one (at the first change)
  // The grid: the entries of cell c are mCellItems[mCellStart[c] .. mCellStart[c + 1]).
  double mX0 = 0, mY0 = 0, mCell = 1;
  std::uint32_t mColumns = 0, mRows = 0;
  std::vector<std::uint32_t> mCellStart, mCellItems;
  std::vector<std::uint32_t> mLarge;  // entries spanning too many cells to list in each
  std::uint32_t mNextOrder = 0;
  std::vector<std::uint32_t> mSeen;  // per entry, the query that last found it
  std::uint32_t mQuery = 0;
};

}  // namespace zrxhost::ed
