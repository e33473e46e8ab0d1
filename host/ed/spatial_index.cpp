// The grid of entity extents that snaps and picks search, kept by the drawing's changes.
#include "ed/spatial_index.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <unordered_map>

#include "rx/in_parallel.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/undo.h"

namespace zrxhost::ed {
namespace {

constexpr float kEverywhere = std::numeric_limits<float>::infinity();
// An entry listed in more cells than this is searched with every query instead.
constexpr double kMaxCellsPerEntry = 16;
// Changes since the build the index always takes one by one (see update).
constexpr std::size_t kMinExtra = 4096;

// The entity's box in XY, with the points it snaps at beyond what it draws (an insert's insertion
// point may lie away from its block's lines); false when it has none (then it is looked at
// everywhere). An entity kept as records has the extents of its outline: none for an XLINE or a RAY,
// which run without end, nor for a DIMENSION, which draws its block.
bool boxOf(const ZcDbEntity& entity, double box[4]) {
  // A text in the drawing's plane is boxed as its record would be (see the DXF reader's
  // pendingBox): within one and a half heights a character of its insertion and alignment points (a
  // full-width glyph is under 1.4 heights of capitals), more for a
  // wide width factor, which no font's advances exceed. Measuring its glyphs costs a hundred
  // times more, and a command that writes a hundred thousand copies has them all boxed.
  if (entity.isA() == ZcDbText::desc()) {
    const auto& text = static_cast<const ZcDbText&>(entity);
    const ZcGeVector3d n = text.normal();
    const bool fitted = text.horizontalMode() == ZcDb::kTextAlign || text.horizontalMode() == ZcDb::kTextFit;
    if (!fitted && text.oblique() == 0 && n.x == 0 && n.y == 0 && n.z > 0 && text.height() >= 0) {
      const double length = static_cast<double>(text.textZcString().length());
      const double reach = text.height() * (1.5 * length * std::max(1.0, std::fabs(text.widthFactor())) + 2);
      const ZcGePoint3d a = text.position(), b = text.alignmentPoint();
      box[0] = std::min(a.x, b.x) - reach, box[1] = std::min(a.y, b.y) - reach;
      box[2] = std::max(a.x, b.x) + reach, box[3] = std::max(a.y, b.y) + reach;
      if (std::isfinite(box[0]) && std::isfinite(box[1]) && std::isfinite(box[2]) && std::isfinite(box[3])) return true;
    }
  }
  ZcDbExtents extents;
  if (entity.getGeomExtents(extents) != Zcad::eOk) return false;
  ZcArray<ZcGePoint3d> insertion;
  entity.getOsnapPoints(ZcDb::kOsModeIns, 0, ZcGePoint3d::kOrigin, ZcGePoint3d::kOrigin, insertion);
  for (int i = 0; i < insertion.length(); ++i) extents.addPoint(insertion[i]);
  box[0] = extents.minPoint().x, box[1] = extents.minPoint().y;
  box[2] = extents.maxPoint().x, box[3] = extents.maxPoint().y;
  return std::isfinite(box[0]) && std::isfinite(box[1]) && std::isfinite(box[2]) && std::isfinite(box[3]);
}

}  // namespace

// An insert's box from the box of its block's entities (in the block's coordinates), which a build
// measures once per block: the corners placed as the insert places its block hold every corner of
// every entity's box placed so. False where that does not serve (no block found, nothing in it).
bool SpatialIndex::insertBox(const ZcDbBlockReference& insert, double box[4]) {
  const auto* block = zrxhost::peek<ZcDbBlockTableRecord>(insert.blockTableRecord());
  if (!block) return false;
  auto [found, added] = mBlockBoxes.try_emplace(insert.blockTableRecord());
  BlockBox& b = found->second;
  if (added) {
    ZcDbExtents all;
    b.valid = zrxhost::blockExtents(*block, all);
    b.min = all.minPoint(), b.max = all.maxPoint();
  }
  if (!b.valid) return false;
  const ZcGePoint3d origin = block->origin(), at = insert.position();
  const ZcGeVector3d scale = insert.scaleFactors();
  const double c = std::cos(insert.rotation()), s = std::sin(insert.rotation());
  box[0] = box[2] = at.x, box[1] = box[3] = at.y;  // the insertion point is a snap point
  for (int corner = 0; corner < 4; ++corner) {
    const double x = ((corner & 1 ? b.max.x : b.min.x) - origin.x) * scale.x;
    const double y = ((corner & 2 ? b.max.y : b.min.y) - origin.y) * scale.y;
    const double wx = at.x + c * x - s * y, wy = at.y + s * x + c * y;
    box[0] = std::min(box[0], wx), box[1] = std::min(box[1], wy);
    box[2] = std::max(box[2], wx), box[3] = std::max(box[3], wy);
  }
  return std::isfinite(box[0]) && std::isfinite(box[1]) && std::isfinite(box[2]) && std::isfinite(box[3]);
}

namespace {

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

namespace {

// Runs work(from, to, part) over [0, n) in two halves (part 0 and 1), the second on a thread of its
// own where the halves are large enough to pay for it.
template <typename Work>
void inTwoHalves(std::size_t n, const Work& work) {
  const std::size_t half = n / 2;
  inParallel(
      half >= 10000, [&] { work(0, half, 0); }, [&] { work(half, n, 1); });
}

// The boxes of the entities still waiting as records (four floats each, NaN where there is none),
// found on two threads: just after a drawing is read this is most of a build, and boxing a record
// only reads the file.
std::vector<float> boxesOfRecords(const std::vector<ZcDbObjectId>& ids) {
  std::vector<float> boxes(4 * ids.size(), std::numeric_limits<float>::quiet_NaN());
  inTwoHalves(ids.size(), [&](std::size_t from, std::size_t to, int) {
    double box[4];
    for (std::size_t i = from; i < to; ++i)
      if (!ids[i].isNull() && !ids[i].isErased() && zrxhost::pendingBox(ids[i], box))
        std::copy_n(box, 4, &boxes[4 * i]);
  });
  return boxes;
}

}  // namespace

// The median of the larger side of the boxes of up to 1,024 entries spread over the list.
double SpatialIndex::typicalSize(const std::vector<Entry>& entries) {
  std::vector<double> sizes;
  const std::size_t step = std::max<std::size_t>(1, entries.size() / 1024);
  for (std::size_t k = 0; k < entries.size(); k += step)
    sizes.push_back(std::max<double>(entries[k].box[2] - entries[k].box[0], entries[k].box[3] - entries[k].box[1]));
  if (sizes.empty()) return 0;
  std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
  return sizes[sizes.size() / 2];
}

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

void SpatialIndex::add(std::vector<Entry>& to, const ZcDbObjectId& id, std::uint32_t order, const float* recordBox) {
  double box[4] = {0, 0, 0, 0};
  // An entity still waiting as its record is boxed from the record, and built only when a search
  // comes near it: indexing a drawing just read does not build it all. A first build boxes the records
  // beforehand (NaN where a record gives none).
  bool boxed = false;
  if (recordBox == nullptr) {
    boxed = zrxhost::pendingBox(id, box);
  } else if (!std::isnan(recordBox[0])) {
    std::copy_n(recordBox, 4, box);
    boxed = true;
  }
  if (!boxed) {
    const ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(id);
    if (!entity) return;
    // Inserts of the blocks measured during a build (after it, a block may change under them).
    const auto* insert = mBuilding ? ZcDbBlockReference::cast(entity) : nullptr;
    const bool plain = insert && insert->attributeCount() == 0 && insert->normal() == ZcGeVector3d::kZAxis;
    boxed = (plain && insertBox(*insert, box)) || boxOf(*entity, box);
  }
  const float corners[4] = {down(box[0]), down(box[1]), up(box[2]), up(box[3])};
  // A box beyond what a float holds is as good as none, and so is one of no extent (min above max,
  // as the extents of an entity whose coordinates are not numbers stay): it is looked at everywhere.
  if (boxed && std::isfinite(corners[0]) && std::isfinite(corners[1]) && std::isfinite(corners[2]) &&
      std::isfinite(corners[3]) && corners[0] <= corners[2] && corners[1] <= corners[3]) {
    to.push_back({id, {corners[0], corners[1], corners[2], corners[3]}, order, true, mNextSerial++});
  } else {
    mExtra.push_back({id, {-kEverywhere, -kEverywhere, kEverywhere, kEverywhere}, order, true, mNextSerial++});
  }
}

void SpatialIndex::build(ZcDbDatabase& db, const ZcDbBlockTableRecord& space) {
  // Building again over the same space (many changes at once, a block's change), an entry whose
  // entity is still a record, or was never changed since the drawing was read and is no insert
  // (whose box follows its block), keeps its box and its serial: only what may have changed is
  // boxed again, and what a painter kept of the rest stands.
  std::vector<Entry> before;
  if (mDb == &db && mSpace == space.objectId() && zrxhost::undoHistory(db).tracksTouched()) before.swap(mEntries);
  mDb = &db;
  mSpace = space.objectId();
  mEntries.clear();
  mExtra.clear();
  ++mBuilds;
  ++mRemovals;
  (void)zrxhost::undoHistory(db).takeTouched();  // from here on the history keeps what changes
  const std::vector<ZcDbObjectId>& ids = space.entityIds();
  mEntries.reserve(ids.size());
  // A first build boxes every record beforehand; a build again keeps most entries' boxes.
  const std::vector<float> recordBoxes = before.empty() ? boxesOfRecords(ids) : std::vector<float>();
  mBuilding = true;
  std::size_t old = 0;
  std::uint32_t unused = 0;
  for (std::uint32_t i = 0; i < ids.size(); ++i) {
    if (ids[i].isNull() || ids[i].isErased()) continue;
    while (old < before.size() && before[old].order < i) ++old;
    if (old < before.size() && before[old].order == i && before[old].id == ids[i] && before[old].live &&
        (zrxhost::pendingIndex(ids[i], unused) ||
         (!zrxhost::changedSinceMarked(db, ids[i]) && !ZcDbBlockReference::cast(zrxhost::peekObject(ids[i]))))) {
      mEntries.push_back(before[old]);
      continue;
    }
    add(mEntries, ids[i], i, recordBoxes.empty() ? nullptr : &recordBoxes[4 * std::size_t(i)]);
  }
  mBuilding = false;
  mBlockBoxes.clear();
  mNextOrder = static_cast<std::uint32_t>(ids.size());

  // A grid of about one cell per two entries over their common box, its cells no smaller than a
  // typical entry (the median size of a sample): boxes wider than a few cells would be looked at
  // with every query (a text's box is generous, several times its ink).
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
  for (const Entry& e : mEntries) {
    x0 = std::min<double>(x0, e.box[0]), y0 = std::min<double>(y0, e.box[1]);
    x1 = std::max<double>(x1, e.box[2]), y1 = std::max<double>(y1, e.box[3]);
  }
  mHasBox = !mEntries.empty();
  if (mEntries.empty()) x0 = y0 = x1 = y1 = 0;
  mBox[0] = x0, mBox[1] = y0, mBox[2] = x1, mBox[3] = y1;
  const double width = std::max(x1 - x0, 1e-9), height = std::max(y1 - y0, 1e-9);
  mCell = std::sqrt(width * height / std::max<double>(1, mEntries.size() / 2.0));
  mCell = std::max({mCell, typicalSize(mEntries), width / 4096, height / 4096});
  mX0 = x0, mY0 = y0;
  mColumns = static_cast<std::uint32_t>(std::floor(width / mCell)) + 1;
  mRows = static_cast<std::uint32_t>(std::floor(height / mCell)) + 1;
  const std::size_t cells = static_cast<std::size_t>(mColumns) * mRows;

  // Two passes, each over the two halves of the entries at once: count each cell's entries, then
  // place them (a compact list per cell, the first half's entries before the second's, so that
  // each list is in the entries' order).
  auto span = [&](const Entry& e, std::uint32_t& c0, std::uint32_t& r0, std::uint32_t& c1, std::uint32_t& r1) {
    c0 = static_cast<std::uint32_t>((e.box[0] - mX0) / mCell),
    r0 = static_cast<std::uint32_t>((e.box[1] - mY0) / mCell);
    c1 = std::min(mColumns - 1, static_cast<std::uint32_t>((e.box[2] - mX0) / mCell));
    r1 = std::min(mRows - 1, static_cast<std::uint32_t>((e.box[3] - mY0) / mCell));
    return double(c1 - c0 + 1) * (r1 - r0 + 1) <= kMaxCellsPerEntry;
  };
  std::vector<std::uint32_t> fill[2] = {std::vector<std::uint32_t>(cells, 0), std::vector<std::uint32_t>(cells, 0)};
  inTwoHalves(mEntries.size(), [&](std::size_t from, std::size_t to, int part) {
    std::vector<std::uint32_t>& count = fill[part];
    for (std::size_t k = from; k < to; ++k) {
      std::uint32_t c0, r0, c1, r1;
      if (!span(mEntries[k], c0, r0, c1, r1)) continue;
      for (std::uint32_t r = r0; r <= r1; ++r)
        for (std::uint32_t c = c0; c <= c1; ++c) ++count[std::size_t(r) * mColumns + c];
    }
  });
  mCellStart.assign(cells + 1, 0);
  for (std::size_t c = 0; c < cells; ++c) {
    const std::uint32_t first = fill[0][c], second = fill[1][c];
    fill[0][c] = mCellStart[c];
    fill[1][c] = mCellStart[c] + first;
    mCellStart[c + 1] = mCellStart[c] + first + second;
  }
  mCellItems.assign(mCellStart[cells], 0);
  std::vector<std::uint32_t> large[2];
  inTwoHalves(mEntries.size(), [&](std::size_t from, std::size_t to, int part) {
    std::vector<std::uint32_t>& next = fill[part];
    for (auto k = static_cast<std::uint32_t>(from); k < to; ++k) {
      std::uint32_t c0, r0, c1, r1;
      if (!span(mEntries[k], c0, r0, c1, r1)) {
        large[part].push_back(k);
        continue;
      }
      for (std::uint32_t r = r0; r <= r1; ++r)
        for (std::uint32_t c = c0; c <= c1; ++c) mCellItems[next[std::size_t(r) * mColumns + c]++] = k;
    }
  });
  mLarge = std::move(large[0]);
  mLarge.insert(mLarge.end(), large[1].begin(), large[1].end());
  mByStub.clear();  // sorted at the first change, which needs it: a drawing only looked at never does
  mSeen.assign(mEntries.size(), 0);
  mQuery = 0;
  // Room for the changes taken one by one until the next build, touched now: a command that adds
  // thousands of entities finds it ready, rather than waiting on fresh memory in the frame that
  // shows them. (The entries without extents are kept there already.)
  const std::size_t withoutExtents = mExtra.size();
  mExtra.resize(std::max(withoutExtents, maxExtra()));
  mExtra.resize(withoutExtents);
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
  auto* space = zrxhost::peek<ZcDbBlockTableRecord>(mSpace);
  if (!space) return;
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  // An insert draws and snaps at its block's contents: a change to a block (its base point, an
  // entity in it, added or erased) moves the boxes of the inserts that show it, nested ones too.
  // Such edits are rare, so the index is built afresh rather than made to know which entry is an
  // insert of what; so it is after more changes at once than it keeps one by one (see below).
  if (touched.size() > maxExtra() ||
      std::any_of(touched.begin(), touched.end(), [&](ZcDbStub* stub) { return changesABlock(ZcDbObjectId(stub)); })) {
    build(db, *space);
    return;
  }
  // The space's list only grows: what lies past the place the index reached is new, and its place
  // in the list is its order. New entries are added in that order, after the changed ones. The
  // lookups below are made only when a touched entity of the space needs them: a command that only
  // added touched none (its additions are found at the list's end).
  const std::vector<ZcDbObjectId>& ids = space->entityIds();
  const std::uint32_t firstNew = mNextOrder;
  mNextOrder = static_cast<std::uint32_t>(ids.size());
  std::vector<const ZcDbStub*> added;
  std::unordered_map<const ZcDbStub*, std::uint32_t> changed;
  bool looked = false;
  for (ZcDbStub* stub : touched) {
    const ZcDbObjectId id(stub);
    // Objects of no entry (a table record, an entity of a block or of the other space) are none of
    // the index's.
    if (!ofSpace(id)) continue;
    if (!looked) {
      looked = true;
      for (auto i = firstNew; i < ids.size(); ++i) added.push_back(ids[i].stub());
      std::sort(added.begin(), added.end());
      for (std::uint32_t k = 0; k < mExtra.size(); ++k) changed.emplace(mExtra[k].id.stub(), k);
    }
    if (std::binary_search(added.begin(), added.end(), stub)) continue;
    // Its place as built, or as added since: it is found again where it now lies.
    std::uint32_t order = 0;
    if (auto c = changed.find(stub); c != changed.end()) {
      order = mExtra[c->second].order;
      mExtra[c->second].live = false;
    } else if (Entry* built = builtEntry(id)) {
      order = built->order;
      built->live = false;
    } else {
      continue;
    }
    ++mRemovals;
    if (!id.isErased() && zrxhost::peek<ZcDbEntity>(id)) add(mExtra, id, order);
  }
  // Grown once: large vectors grown step by step cost their pages again at every step.
  mExtra.reserve(mExtra.size() + (ids.size() - firstNew));
  for (auto i = firstNew; i < ids.size(); ++i) {
    if (!ids[i].isErased() && zrxhost::peek<ZcDbEntity>(ids[i])) add(mExtra, ids[i], i);
  }
  std::erase_if(mExtra, [](const Entry& e) { return !e.live; });
  // Every query looks at each change one by one: past a share of the entries as built, building
  // afresh is the cheaper way.
  if (mExtra.size() > maxExtra()) {
    build(db, *space);
    return;
  }
  // In drawing order, as within() hands them out.
  const auto byOrder = [](const Entry& a, const Entry& b) { return a.order < b.order; };
  if (!std::is_sorted(mExtra.begin(), mExtra.end(), byOrder)) std::stable_sort(mExtra.begin(), mExtra.end(), byOrder);
}

std::size_t SpatialIndex::maxExtra() const {
  return std::max(kMinExtra, mEntries.size() / 8);
}

bool SpatialIndex::ofSpace(const ZcDbObjectId& id) const {
  const auto* entity = ZcDbEntity::cast(zrxhost::peekObject(id));
  return entity != nullptr && entity->blockId() == mSpace;
}

SpatialIndex::Entry* SpatialIndex::builtEntry(const ZcDbObjectId& id) {
  // Sorted at the first change of a built entity: a drawing only looked at, or only added to,
  // never needs it.
  if (mByStub.size() != mEntries.size()) {
    mByStub.resize(mEntries.size());
    for (std::uint32_t k = 0; k < mEntries.size(); ++k) mByStub[k] = k;
    std::sort(mByStub.begin(), mByStub.end(),
              [&](std::uint32_t a, std::uint32_t b) { return mEntries[a].id < mEntries[b].id; });
  }
  auto found = std::lower_bound(mByStub.begin(), mByStub.end(), id,
                                [&](std::uint32_t k, const ZcDbObjectId& v) { return mEntries[k].id < v; });
  return found != mByStub.end() && mEntries[*found].id == id ? &mEntries[*found] : nullptr;
}

void SpatialIndex::collect(const Entry& e, const ZcGePoint3d& point, double radius, std::vector<const Entry*>& found) {
  if (!e.live || point.x < e.box[0] - radius || point.x > e.box[2] + radius || point.y < e.box[1] - radius ||
      point.y > e.box[3] + radius)
    return;
  found.push_back(&e);
}

// Hands each built entry listed in the cells that [x0, x1] x [y0, y1] meets, and each one too large
// for the cells, once to `visit`; where the box spans more than `maxCells` cells, every built entry
// instead, in order (then it returns true).
template <typename Visit>
bool SpatialIndex::visitCells(double x0, double y0, double x1, double y1, double maxCells, Visit&& visit) {
  const double cx0 = std::floor((x0 - mX0) / mCell), cx1 = std::floor((x1 - mX0) / mCell);
  const double cy0 = std::floor((y0 - mY0) / mCell), cy1 = std::floor((y1 - mY0) / mCell);
  if (cx1 < 0 || cy1 < 0 || cx0 >= mColumns || cy0 >= mRows || mEntries.empty()) return false;
  const auto c0 = static_cast<std::uint32_t>(std::max(0.0, cx0)), r0 = static_cast<std::uint32_t>(std::max(0.0, cy0));
  const auto c1 = static_cast<std::uint32_t>(std::min<double>(mColumns - 1, cx1));
  const auto r1 = static_cast<std::uint32_t>(std::min<double>(mRows - 1, cy1));
  if (double(c1 - c0 + 1) * (r1 - r0 + 1) > maxCells) {
    for (std::uint32_t k = 0; k < mEntries.size(); ++k) visit(k);
    return true;
  }
  if (++mQuery == 0) std::fill(mSeen.begin(), mSeen.end(), 0), mQuery = 1;
  for (std::uint32_t r = r0; r <= r1; ++r) {
    for (std::uint32_t c = c0; c <= c1; ++c) {
      const std::size_t cell = std::size_t(r) * mColumns + c;
      for (std::uint32_t i = mCellStart[cell]; i < mCellStart[cell + 1]; ++i) {
        const std::uint32_t k = mCellItems[i];
        if (mSeen[k] == mQuery) continue;
        mSeen[k] = mQuery;
        visit(k);
      }
    }
  }
  for (std::uint32_t k : mLarge) visit(k);
  return false;
}

void SpatialIndex::near(const ZcGePoint3d& point, double radius, std::vector<ZcDbObjectId>& out) {
  std::vector<const Entry*> found;
  // A query as wide as the drawing looks at every entry once rather than at every cell.
  visitCells(point.x - radius, point.y - radius, point.x + radius, point.y + radius, double(mEntries.size()),
             [&](std::uint32_t k) { collect(mEntries[k], point, radius, found); });
  for (const Entry& e : mExtra) collect(e, point, radius, found);
  std::sort(found.begin(), found.end(), [](const Entry* a, const Entry* b) { return a->order > b->order; });
  out.clear();
  for (const Entry* e : found) {
    if (!e->id.isErased()) out.push_back(e->id);
  }
}

void SpatialIndex::within(double x0, double y0, double x1, double y1, std::vector<Found>& out) {
  out.clear();
  auto meets = [&](const Entry& e) {
    return e.live && !(x0 > e.box[2] || x1 < e.box[0] || y0 > e.box[3] || y1 < e.box[1]);
  };
  // Over a quarter of the drawing, every entry is looked at once, already in order; less is found
  // cell by cell and put in order after (the built entries lie in the order they are drawn).
  if (!visitCells(x0, y0, x1, y1, double(mColumns) * mRows / 4, [&](std::uint32_t k) {
        if (meets(mEntries[k])) out.push_back(&mEntries[k]);
      }))
    std::sort(out.begin(), out.end(), std::less<Found>());
  // The entries added or changed since the build go between the others by their order; those added
  // come after them all.
  const std::size_t built = out.size();
  for (const Entry& e : mExtra)
    if (meets(e)) out.push_back(&e);
  if (built > 0 && built < out.size() && out[built]->order < out[built - 1]->order)
    std::inplace_merge(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(built), out.end(),
                       [](Found a, Found b) { return a->order < b->order; });
}

void SpatialIndex::addedWithin(std::uint32_t added, double x0, double y0, double x1, double y1,
                               std::vector<Found>& out) {
  out.clear();
  out.reserve(mExtra.size());
  // New entries are all kept beside the built ones, in order, until the next build.
  for (const Entry& e : mExtra) {
    if (e.live && e.serial >= added && !(x0 > e.box[2] || x1 < e.box[0] || y0 > e.box[3] || y1 < e.box[1]))
      out.push_back(&e);
  }
}

bool SpatialIndex::extents(double box[4]) const {
  bool any = mHasBox;
  for (int i = 0; i < 4; ++i) box[i] = mBox[i];
  for (const Entry& e : mExtra) {
    if (!e.live || !std::isfinite(e.box[0])) continue;
    if (!any) {
      for (int i = 0; i < 4; ++i) box[i] = e.box[i];
      any = true;
      continue;
    }
    box[0] = std::min<double>(box[0], e.box[0]), box[1] = std::min<double>(box[1], e.box[1]);
    box[2] = std::max<double>(box[2], e.box[2]), box[3] = std::max<double>(box[3], e.box[3]);
  }
  return any;
}

std::size_t SpatialIndex::memoryBytes() const {
  return mEntries.capacity() * sizeof(Entry) + mExtra.capacity() * sizeof(Entry) +
         (mByStub.capacity() + mCellStart.capacity() + mCellItems.capacity() + mLarge.capacity() + mSeen.capacity()) *
             sizeof(std::uint32_t);
}

}  // namespace zrxhost::ed
