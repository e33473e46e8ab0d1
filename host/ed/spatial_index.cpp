// The grid of entity extents that snaps and picks search, kept by the drawing's changes.
#include "ed/spatial_index.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "zrxhost/database_internals.h"
#include "zrxhost/undo.h"

namespace zrxhost::ed {
namespace {

constexpr float kEverywhere = std::numeric_limits<float>::infinity();
// An entry listed in more cells than this is searched with every query instead.
constexpr double kMaxCellsPerEntry = 16;
// Past this many changes since the build, building afresh is the cheaper way.
constexpr std::size_t kMaxExtra = 4096;

// The entity's box in XY, with the points it snaps at beyond what it draws (an insert's insertion
// point may lie away from its block's lines); false when it has none (then it is looked at
// everywhere). An entity kept as records has the extents of its outline: none for an XLINE or a RAY,
// which run without end, nor for a DIMENSION, which draws its block.
bool boxOf(const ZcDbEntity& entity, double box[4]) {
  ZcDbExtents extents;
  if (entity.getGeomExtents(extents) != Zcad::eOk) return false;
  ZcArray<ZcGePoint3d> insertion;
  entity.getOsnapPoints(ZcDb::kOsModeIns, 0, ZcGePoint3d::kOrigin, ZcGePoint3d::kOrigin, insertion);
  for (int i = 0; i < insertion.length(); ++i) extents.addPoint(insertion[i]);
  box[0] = extents.minPoint().x, box[1] = extents.minPoint().y;
  box[2] = extents.maxPoint().x, box[3] = extents.maxPoint().y;
  return std::isfinite(box[0]) && std::isfinite(box[1]) && std::isfinite(box[2]) && std::isfinite(box[3]);
}

// Floats rounded outward, so that the box still holds the extents.
float down(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) <= v ? f : std::nextafter(f, -kEverywhere);
}
float up(double v) {
  const float f = static_cast<float>(v);
  return static_cast<double>(f) >= v ? f : std::nextafter(f, kEverywhere);
}

}  // namespace

SpatialIndex* SpatialIndex::current() {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  if (!db) return nullptr;
  static std::unique_ptr<SpatialIndex> index;
  if (!index) index = std::make_unique<SpatialIndex>();
  auto* space = zrxhost::peek<ZcDbBlockTableRecord>(db->currentSpaceId());
  if (!space) return nullptr;
  // A drawing whose history has never handed its changes over is new to the index, even at the
  // address of one it indexed before (a drawing closed and another opened).
  if (index->mDb != db || index->mSpace != db->currentSpaceId() || !zrxhost::undoHistory(*db).tracksTouched()) {
    index->build(*db, *space);
  } else {
    index->update(*db);
  }
  return index.get();
}

void SpatialIndex::add(std::vector<Entry>& to, const ZcDbObjectId& id, std::uint32_t order) {
  double box[4];
  // An entity still waiting as its record is boxed from the record, and built only when a search
  // comes near it: indexing a drawing just read does not build it all.
  if (zrxhost::pendingBox(id, box)) {
    to.push_back({id, {down(box[0]), down(box[1]), up(box[2]), up(box[3])}, order, true});
    return;
  }
  const ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(id);
  if (!entity) return;
  if (boxOf(*entity, box)) {
    to.push_back({id, {down(box[0]), down(box[1]), up(box[2]), up(box[3])}, order, true});
  } else {
    mExtra.push_back({id, {-kEverywhere, -kEverywhere, kEverywhere, kEverywhere}, order, true});
  }
}

void SpatialIndex::build(ZcDbDatabase& db, const ZcDbBlockTableRecord& space) {
  mDb = &db;
  mSpace = space.objectId();
  mEntries.clear();
  mExtra.clear();
  (void)zrxhost::undoHistory(db).takeTouched();  // from here on the history keeps what changes
  const std::vector<ZcDbObjectId>& ids = space.entityIds();
  mEntries.reserve(ids.size());
  for (std::uint32_t i = 0; i < ids.size(); ++i) {
    if (!ids[i].isNull() && !ids[i].isErased()) add(mEntries, ids[i], i);
  }
  mNextOrder = static_cast<std::uint32_t>(ids.size());

  // A grid of about one cell per two entries over their common box.
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
  for (const Entry& e : mEntries) {
    x0 = std::min<double>(x0, e.box[0]), y0 = std::min<double>(y0, e.box[1]);
    x1 = std::max<double>(x1, e.box[2]), y1 = std::max<double>(y1, e.box[3]);
  }
  if (mEntries.empty()) x0 = y0 = x1 = y1 = 0;
  const double width = std::max(x1 - x0, 1e-9), height = std::max(y1 - y0, 1e-9);
  mCell = std::sqrt(width * height / std::max<double>(1, mEntries.size() / 2.0));
  mCell = std::max({mCell, width / 4096, height / 4096});
  mX0 = x0, mY0 = y0;
  mColumns = static_cast<std::uint32_t>(std::floor(width / mCell)) + 1;
  mRows = static_cast<std::uint32_t>(std::floor(height / mCell)) + 1;
  const std::size_t cells = static_cast<std::size_t>(mColumns) * mRows;

  // Two passes: count each cell's entries, then place them (a compact list per cell).
  mCellStart.assign(cells + 1, 0);
  mLarge.clear();
  auto span = [&](const Entry& e, std::uint32_t& c0, std::uint32_t& r0, std::uint32_t& c1, std::uint32_t& r1) {
    c0 = static_cast<std::uint32_t>((e.box[0] - mX0) / mCell),
    r0 = static_cast<std::uint32_t>((e.box[1] - mY0) / mCell);
    c1 = std::min(mColumns - 1, static_cast<std::uint32_t>((e.box[2] - mX0) / mCell));
    r1 = std::min(mRows - 1, static_cast<std::uint32_t>((e.box[3] - mY0) / mCell));
    return double(c1 - c0 + 1) * (r1 - r0 + 1) <= kMaxCellsPerEntry;
  };
  for (std::uint32_t k = 0; k < mEntries.size(); ++k) {
    std::uint32_t c0, r0, c1, r1;
    if (!span(mEntries[k], c0, r0, c1, r1)) continue;
    for (std::uint32_t r = r0; r <= r1; ++r)
      for (std::uint32_t c = c0; c <= c1; ++c) ++mCellStart[std::size_t(r) * mColumns + c + 1];
  }
  for (std::size_t c = 0; c < cells; ++c) mCellStart[c + 1] += mCellStart[c];
  mCellItems.assign(mCellStart[cells], 0);
  std::vector<std::uint32_t> fill(mCellStart.begin(), mCellStart.end() - 1);
  for (std::uint32_t k = 0; k < mEntries.size(); ++k) {
    std::uint32_t c0, r0, c1, r1;
    if (!span(mEntries[k], c0, r0, c1, r1)) {
      mLarge.push_back(k);
      continue;
    }
    for (std::uint32_t r = r0; r <= r1; ++r)
      for (std::uint32_t c = c0; c <= c1; ++c) mCellItems[fill[std::size_t(r) * mColumns + c]++] = k;
  }
  mByStub.clear();  // sorted at the first change, which needs it: a drawing only looked at never does
  mSeen.assign(mEntries.size(), 0);
  mQuery = 0;
}

bool SpatialIndex::changesABlock(const ZcDbObjectId& id) const {
  const ZcDbObject* object = zrxhost::peekObject(id);
  ZcDbObjectId block;
  if (auto* record = ZcDbBlockTableRecord::cast(object)) {
    block = record->objectId();
  } else if (auto* entity = ZcDbEntity::cast(object)) {
    block = entity->blockId();
  }
  if (block.isNull() || block == mSpace) return false;
  // The entities of a layout (the other space) are in no insert.
  const auto* record = zrxhost::peek<ZcDbBlockTableRecord>(block);
  return record != nullptr && !record->isLayout();
}

void SpatialIndex::update(ZcDbDatabase& db) {
  std::vector<ZcDbStub*> touched = zrxhost::undoHistory(db).takeTouched();
  if (touched.empty()) return;
  if (mExtra.size() + touched.size() > kMaxExtra) {
    if (auto* space = zrxhost::peek<ZcDbBlockTableRecord>(mSpace)) build(db, *space);
    return;
  }
  // An insert draws and snaps at its block's contents: a change to a block (its base point, an
  // entity in it, added or erased) moves the boxes of the inserts that show it, nested ones too.
  // Such edits are rare, so the index is built afresh rather than made to know which entry is an
  // insert of what.
  if (std::any_of(touched.begin(), touched.end(), [&](ZcDbStub* stub) { return changesABlock(ZcDbObjectId(stub)); })) {
    if (auto* space = zrxhost::peek<ZcDbBlockTableRecord>(mSpace)) build(db, *space);
    return;
  }
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  if (mByStub.size() != mEntries.size()) {
    mByStub.resize(mEntries.size());
    for (std::uint32_t k = 0; k < mEntries.size(); ++k) mByStub[k] = k;
    std::sort(mByStub.begin(), mByStub.end(),
              [&](std::uint32_t a, std::uint32_t b) { return mEntries[a].id < mEntries[b].id; });
  }
  for (ZcDbStub* stub : touched) {
    const ZcDbObjectId id(stub);
    // Its place as built, or as added since: it is found again where it now lies.
    std::uint32_t order = mNextOrder;
    auto built = std::lower_bound(mByStub.begin(), mByStub.end(), id,
                                  [&](std::uint32_t k, const ZcDbObjectId& v) { return mEntries[k].id < v; });
    if (built != mByStub.end() && mEntries[*built].id == id) {
      order = mEntries[*built].order;
      mEntries[*built].live = false;
    }
    bool known = false;
    for (Entry& e : mExtra) {
      if (e.id == id && e.live) order = e.order, e.live = false, known = true;
    }
    const bool inSpace = (built != mByStub.end() && mEntries[*built].id == id) || known;
    const ZcDbEntity* entity = id.isErased() ? nullptr : zrxhost::peek<ZcDbEntity>(id);
    // Only entities of this space: a new object elsewhere (a table record, a block's entity) is none.
    if (!entity || (!inSpace && entity->blockId() != mSpace)) continue;
    if (!inSpace) order = mNextOrder++;
    add(mExtra, id, order);
  }
  std::erase_if(mExtra, [](const Entry& e) { return !e.live; });
}

void SpatialIndex::collect(const Entry& e, const ZcGePoint3d& point, double radius, std::vector<const Entry*>& found) {
  if (!e.live || point.x < e.box[0] - radius || point.x > e.box[2] + radius || point.y < e.box[1] - radius ||
      point.y > e.box[3] + radius)
    return;
  found.push_back(&e);
}

void SpatialIndex::near(const ZcGePoint3d& point, double radius, std::vector<ZcDbObjectId>& out) {
  std::vector<const Entry*> found;
  if (++mQuery == 0) std::fill(mSeen.begin(), mSeen.end(), 0), mQuery = 1;
  const double cx0 = std::floor((point.x - radius - mX0) / mCell), cx1 = std::floor((point.x + radius - mX0) / mCell);
  const double cy0 = std::floor((point.y - radius - mY0) / mCell), cy1 = std::floor((point.y + radius - mY0) / mCell);
  if (cx1 >= 0 && cy1 >= 0 && cx0 < mColumns && cy0 < mRows && !mEntries.empty()) {
    const auto c0 = static_cast<std::uint32_t>(std::max(0.0, cx0)), r0 = static_cast<std::uint32_t>(std::max(0.0, cy0));
    const auto c1 = static_cast<std::uint32_t>(std::min<double>(mColumns - 1, cx1));
    const auto r1 = static_cast<std::uint32_t>(std::min<double>(mRows - 1, cy1));
    // A query as wide as the drawing looks at every entry once rather than at every cell.
    if (double(c1 - c0 + 1) * (r1 - r0 + 1) > double(mEntries.size())) {
      for (const Entry& e : mEntries) collect(e, point, radius, found);
    } else {
      for (std::uint32_t r = r0; r <= r1; ++r) {
        for (std::uint32_t c = c0; c <= c1; ++c) {
          const std::size_t cell = std::size_t(r) * mColumns + c;
          for (std::uint32_t i = mCellStart[cell]; i < mCellStart[cell + 1]; ++i) {
            const std::uint32_t k = mCellItems[i];
            if (mSeen[k] == mQuery) continue;
            mSeen[k] = mQuery;
            collect(mEntries[k], point, radius, found);
          }
        }
      }
      for (std::uint32_t k : mLarge) collect(mEntries[k], point, radius, found);
    }
  }
  for (const Entry& e : mExtra) collect(e, point, radius, found);
  std::sort(found.begin(), found.end(), [](const Entry* a, const Entry* b) { return a->order > b->order; });
  out.clear();
  for (const Entry* e : found) {
    if (!e->id.isErased()) out.push_back(e->id);
  }
}

std::size_t SpatialIndex::memoryBytes() const {
  return mEntries.capacity() * sizeof(Entry) + mExtra.capacity() * sizeof(Entry) +
         (mByStub.capacity() + mCellStart.capacity() + mCellItems.capacity() + mLarge.capacity() + mSeen.capacity()) *
             sizeof(std::uint32_t);
}

}  // namespace zrxhost::ed
