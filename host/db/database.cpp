// ZcDbDatabase: objects by handle, the default drawing, the tables; the host application services.
#include "zrx/db/database.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "db/stub.h"
#include "zrx/db/symtab.h"
#include "zrx/rx_define.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/undo.h"

namespace {

// Stubs are allocated in fixed chunks so that their addresses never move (ids point at them) and
// so that an entity name can be checked against the live chunks before it is trusted.
constexpr size_t kStubsPerChunk = 1024;

struct ChunkRange {
  const ZcDbDatabase* owner;
  ZcDbStub* begin;
};

// Never destroyed: a database owned by a static may be destroyed after this list would be.
std::vector<ChunkRange>& liveChunks() {
  static auto* chunks = new std::vector<ChunkRange>;
  return *chunks;
}

}  // namespace

namespace zrxdb {

ZcDbStub* liveStub(ZSoft::LongPtr value) {
  const auto address = static_cast<std::uintptr_t>(value);
  for (const ChunkRange& chunk : liveChunks()) {
    const auto begin = reinterpret_cast<std::uintptr_t>(chunk.begin);
    const std::uintptr_t end = begin + kStubsPerChunk * sizeof(ZcDbStub);
    if (address < begin || address >= end || (address - begin) % sizeof(ZcDbStub) != 0) continue;
    ZcDbStub* stub = reinterpret_cast<ZcDbStub*>(address);
    return stub->database != nullptr ? stub : nullptr;
  }
  return nullptr;
}

}  // namespace zrxdb

namespace {

// Handles to stubs, open addressing with linear probing. Entries are never removed (a stub lives
// as long as its database), so no tombstones are needed; one flat array instead of a node per
// handle keeps reading a large drawing free of per-object allocations.
class HandleTable {
 public:
  ZcDbStub* find(ZcDbHandle handle) const {
    if (mEntries.empty()) return nullptr;
    for (std::size_t i = slotOf(handle);; i = (i + 1) & mMask) {
      const Entry& e = mEntries[i];
      if (e.stub == nullptr) return nullptr;
      if (e.handle == handle) return e.stub;
    }
  }
  bool contains(ZcDbHandle handle) const { return find(handle) != nullptr; }
  void reserve(std::size_t count) {
    while (count * 4 > mEntries.size() * 3) grow();
  }
  // The handle must not be in the table yet.
  void insert(ZcDbHandle handle, ZcDbStub* stub) {
    if ((mCount + 1) * 4 > mEntries.size() * 3) grow();
    place(handle, stub);
    ++mCount;
  }
  std::size_t size() const { return mCount; }

 private:
  struct Entry {
    ZcDbHandle handle = 0;
    ZcDbStub* stub = nullptr;
  };
  std::size_t slotOf(ZcDbHandle handle) const {
    // A drawing's handles are mostly consecutive: kept in order they fill neighbouring slots, so
    // reading a drawing walks the table instead of missing the cache on every object. The high
    // bits folded in keep handles a multiple of the table size apart from piling up in one slot.
    return static_cast<std::size_t>(handle ^ (handle >> mBits)) & mMask;
  }
  void place(ZcDbHandle handle, ZcDbStub* stub) {
    std::size_t i = slotOf(handle);
    while (mEntries[i].stub != nullptr) i = (i + 1) & mMask;
    mEntries[i] = {handle, stub};
  }
  void grow() {
    std::vector<Entry> old = std::move(mEntries);
    std::size_t capacity = old.empty() ? 64 : old.size() * 2;
    mEntries.assign(capacity, Entry{});
    mMask = capacity - 1;
    mBits = static_cast<unsigned>(std::countr_zero(capacity));
    for (const Entry& e : old)
      if (e.stub != nullptr) place(e.handle, e.stub);
  }

  std::vector<Entry> mEntries;
  std::size_t mCount = 0;
  std::size_t mMask = 0;
  unsigned mBits = 0;
};

}  // namespace

struct ZcDbDatabase::Impl {
  std::vector<std::unique_ptr<ZcDbStub[]>> chunks;
  size_t usedInLastChunk = kStubsPerChunk;
  HandleTable byHandle;
  zrxhost::UndoHistory undo;
  std::unique_ptr<zrxhost::ObjectLoader> loader;
  std::size_t pendingCount = 0;

  ZcDbStub* newStub(ZcDbDatabase* db, ZcDbHandle handle) {
    if (usedInLastChunk == kStubsPerChunk) {
      chunks.push_back(std::make_unique<ZcDbStub[]>(kStubsPerChunk));
      liveChunks().push_back({db, chunks.back().get()});
      usedInLastChunk = 0;
    }
    ZcDbStub* stub = &chunks.back()[usedInLastChunk++];
    stub->database = db;
    stub->handle = handle;
    byHandle.insert(handle, stub);
    return stub;
  }

  // Every stub made so far, in the order they were made.
  template <typename F>
  void forEachStub(F&& f) const {
    for (std::size_t c = 0; c < chunks.size(); ++c) {
      const std::size_t used = c + 1 == chunks.size() ? usedInLastChunk : kStubsPerChunk;
      for (std::size_t i = 0; i < used; ++i) f(chunks[c][i]);
    }
  }
};

namespace zrxhost {
// The database's friend: the host-side functions below reach its private state only through here.
struct DatabaseAccess {
  static ZcDbDatabase::Impl& impl(const ZcDbDatabase& db) { return *db.mImpl; }
  static ZcDbHandle& handseed(ZcDbDatabase& db) { return db.mHandseed; }
  static std::uint64_t& symbolTableChanges(ZcDbDatabase& db) { return db.mSymbolTableChanges; }
  static std::uint64_t symbolTableChanges(const ZcDbDatabase& db) { return db.mSymbolTableChanges; }
  static ZcDbObjectId& blockTableId(ZcDbDatabase& db) { return db.mBlockTableId; }
  static ZcDbObjectId& layerTableId(ZcDbDatabase& db) { return db.mLayerTableId; }
  static ZcDbObjectId& textStyleTableId(ZcDbDatabase& db) { return db.mTextStyleTableId; }
  static void attach(ZcDbObject& object, ZcDbStub& stub) { object.mStub = &stub; }
};
}  // namespace zrxhost

using zrxhost::DatabaseAccess;

ZCRX_DEFINE_MEMBERS(ZcDbDatabase, ZcRxObject, L"AcDbDatabase", nullptr, nullptr);

ZcDbDatabase::ZcDbDatabase(bool buildDefaultDrawing) : mImpl(std::make_unique<Impl>()) {
  if (!buildDefaultDrawing) return;
  addDefaultTable<ZcDbBlockTable, ZcDbBlockTableRecord>(mBlockTableId, {ZCDB_MODEL_SPACE, ZCDB_PAPER_SPACE});
  addDefaultTable<ZcDbLayerTable, ZcDbLayerTableRecord>(mLayerTableId, {L"0"});
  addDefaultTable<ZcDbTextStyleTable, ZcDbTextStyleTableRecord>(mTextStyleTableId, {L"Standard"});
}

template <typename Table, typename Record>
void ZcDbDatabase::addDefaultTable(ZcDbObjectId& tableId, std::initializer_list<const ZTCHAR*> names) {
  auto* table = new Table;
  addZcDbObject(tableId, table);
  for (const ZTCHAR* name : names) {
    auto* record = new Record;
    record->setName(name);
    table->add(record);
    record->close();
  }
  table->close();
}

ZcDbDatabase::~ZcDbDatabase() {
  if (zcdbHostApplicationServices()->workingDatabase() == this)
    zcdbHostApplicationServices()->setWorkingDatabase(nullptr);
  // In the order the objects were made, which is close to their order in memory.
  mImpl->forEachStub([](ZcDbStub& stub) { delete stub.object; });  // its destructor clears stub.object
  auto& chunks = liveChunks();
  chunks.erase(std::remove_if(chunks.begin(), chunks.end(), [this](const ChunkRange& c) { return c.owner == this; }),
               chunks.end());
}

namespace {
template <typename Table>
Zcad::ErrorStatus openTable(ZcDbObjectId id, Table*& table, ZcDb::OpenMode mode) {
  table = nullptr;
  return zcdbOpenObject(table, id, mode);
}

}  // namespace

Zcad::ErrorStatus ZcDbDatabase::getSymbolTable(ZcDbBlockTable*& table, ZcDb::OpenMode mode) {
  return openTable(mBlockTableId, table, mode);
}
Zcad::ErrorStatus ZcDbDatabase::getSymbolTable(ZcDbLayerTable*& table, ZcDb::OpenMode mode) {
  return openTable(mLayerTableId, table, mode);
}
Zcad::ErrorStatus ZcDbDatabase::getSymbolTable(ZcDbTextStyleTable*& table, ZcDb::OpenMode mode) {
  return openTable(mTextStyleTableId, table, mode);
}

ZcDbObjectId ZcDbDatabase::modelSpaceId() const {
  ZcDbObjectId id;
  if (const auto* blocks = zrxdb::peek<ZcDbBlockTable>(mBlockTableId)) id = blocks->getIdAt(ZCDB_MODEL_SPACE);
  return id;
}

ZcDbObjectId ZcDbDatabase::paperSpaceId() const {
  ZcDbObjectId id;
  if (const auto* blocks = zrxdb::peek<ZcDbBlockTable>(mBlockTableId)) id = blocks->getIdAt(ZCDB_PAPER_SPACE);
  return id;
}

ZcDbObjectId ZcDbDatabase::currentSpaceId() const {
  if (!mTileMode) {
    ZcDbObjectId paper = paperSpaceId();
    if (!paper.isNull()) return paper;
  }
  return modelSpaceId();
}

ZcDbObjectId ZcDbDatabase::textStyleStandardId() const {
  return textStyleId(L"Standard");
}

ZcDbObjectId ZcDbDatabase::textStyleId(const ZcString& name) const {
  ZcDbObjectId id;
  if (const auto* styles = zrxdb::peek<ZcDbTextStyleTable>(mTextStyleTableId)) id = styles->getIdAt(name);
  return id;
}

ZcDbObjectId ZcDbDatabase::layerId(const ZcString& name) const {
  ZcDbObjectId id;
  if (const auto* layers = zrxdb::peek<ZcDbLayerTable>(mLayerTableId)) id = layers->getIdAt(name);
  return id;
}

Zcad::ErrorStatus ZcDbDatabase::addZcDbObject(ZcDbObjectId& id, ZcDbObject* object, ZcDbHandle handle) {
  id = ZcDbObjectId::kNull;
  if (object == nullptr) return Zcad::eNullObjectPointer;
  if (object->mStub != nullptr) return Zcad::eAlreadyInDb;
  auto& byHandle = mImpl->byHandle;
  ZcDbStub* stub = nullptr;
  if (handle == 0) {
    while (byHandle.contains(mHandseed)) ++mHandseed;
    handle = mHandseed++;
    stub = mImpl->newStub(this, handle);
  } else {
    if (ZcDbStub* found = byHandle.find(handle)) {
      if (found->object != nullptr || found->awaitsLoader()) return Zcad::eDuplicateKey;
      stub = found;       // a handle referred to before its object arrived, or one whose object was deleted
      stub->pending = 0;  // not the loader's any more
    } else {
      stub = mImpl->newStub(this, handle);
    }
    mHandseed = std::max(mHandseed, handle + 1);
  }
  stub->object = object;
  stub->erased = false;
  stub->readers = 0;
  stub->writer = true;
  stub->changed = true;
  object->mStub = stub;
  id = ZcDbObjectId(stub);
  mImpl->undo.added(*stub);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbDatabase::getZcDbObjectId(ZcDbObjectId& id, bool createIfNotFound, ZcDbHandle handle) const {
  id = ZcDbObjectId::kNull;
  if (handle == 0) return Zcad::eInvalidInput;
  if (ZcDbStub* found = mImpl->byHandle.find(handle)) {
    id = ZcDbObjectId(found);
    return Zcad::eOk;
  }
  if (!createIfNotFound) return Zcad::eKeyNotFound;
  // A forward reference: the stub waits for addZcDbObject with this handle.
  auto* self = const_cast<ZcDbDatabase*>(this);
  id = ZcDbObjectId(mImpl->newStub(self, handle));
  self->mHandseed = std::max(mHandseed, handle + 1);
  return Zcad::eOk;
}

namespace zrxhost {

Zcad::ErrorStatus addPendingObject(ZcDbDatabase& db, ZcDbObjectId& id, ZcDbHandle handle, std::uint32_t index) {
  id = ZcDbObjectId::kNull;
  auto& impl = DatabaseAccess::impl(db);
  if (handle == 0 || index >= ZcDbStub::kBuilt - 1 || !impl.loader) return Zcad::eInvalidInput;
  ZcDbStub* stub = impl.byHandle.find(handle);
  if (stub == nullptr)
    stub = impl.newStub(&db, handle);
  else if (stub->object != nullptr || stub->awaitsLoader())
    return Zcad::eDuplicateKey;
  ZcDbHandle& seed = DatabaseAccess::handseed(db);
  seed = std::max(seed, handle + 1);
  stub->pending = index + 1;
  stub->changed = false;
  ++impl.pendingCount;
  id = ZcDbObjectId(stub);
  return Zcad::eOk;
}

void setObjectLoader(ZcDbDatabase& db, std::unique_ptr<ObjectLoader> loader) {
  DatabaseAccess::impl(db).loader = std::move(loader);
}

bool pendingIndex(ZcDbObjectId id, std::uint32_t& index) {
  if (id.isNull() || !id.stub()->awaitsLoader()) return false;
  index = id.stub()->pending - 1;
  return true;
}

bool pendingBox(ZcDbObjectId id, double box[4]) {
  std::uint32_t index = 0;
  if (!pendingIndex(id, index) || id.database() == nullptr) return false;
  const auto& impl = DatabaseAccess::impl(*id.database());
  return impl.loader != nullptr && impl.loader->pendingBox(index, box);
}

bool loaderIndex(ZcDbObjectId id, std::uint32_t& index) {
  if (id.isNull() || id.stub()->pending == 0) return false;
  index = (id.stub()->pending & ~ZcDbStub::kBuilt) - 1;
  return true;
}

ZcDbObject* loadPending(ZcDbDatabase& db, ZcDbStub& stub) {
  auto& impl = DatabaseAccess::impl(db);
  const std::uint32_t index = stub.pending - 1;
  stub.pending |= ZcDbStub::kBuilt;
  --impl.pendingCount;
  ZcDbObject* object = impl.loader->load(ZcDbObjectId(&stub), index);
  stub.object = object;
  DatabaseAccess::attach(*object, stub);
  // Built as if added and closed, as a reader adds what it builds at once: a text settles the
  // position its alignment implies.
  stub.writer = true;
  object->close();
  stub.edits = 0;  // what the close settled is as read
  return object;
}

void loadPendingObjects(ZcDbDatabase& db) {
  auto& impl = DatabaseAccess::impl(db);
  if (impl.pendingCount == 0) return;
  impl.forEachStub([](ZcDbStub& stub) { zrxdb::objectOf(stub); });
}

UndoHistory& undoHistory(ZcDbDatabase& db) {
  return DatabaseAccess::impl(db).undo;
}

void markAllUnchanged(ZcDbDatabase& db) {
  DatabaseAccess::impl(db).forEachStub([](ZcDbStub& stub) {
    stub.changed = false;
    stub.edits = 0;
  });
}

bool changedSinceMarked(const ZcDbDatabase&, ZcDbObjectId id) {
  return id.isNull() || id.stub()->changed;
}

std::uint32_t editsSinceMarked(const ZcDbDatabase&, ZcDbObjectId id) {
  return id.isNull() ? 0 : id.stub()->edits;
}

std::uint64_t symbolTableChanges(const ZcDbDatabase& db) {
  return DatabaseAccess::symbolTableChanges(db);
}

void noteSymbolTableChange(ZcDbDatabase& db) {
  ++DatabaseAccess::symbolTableChanges(db);
}

void reserveObjects(ZcDbDatabase& db, std::size_t count) {
  DatabaseAccess::impl(db).byHandle.reserve(count);
}

void setHandseed(ZcDbDatabase& db, ZcDbHandle seed) {
  DatabaseAccess::handseed(db) = seed;
}

void setBlockTableId(ZcDbDatabase& db, ZcDbObjectId id) {
  DatabaseAccess::blockTableId(db) = id;
}

void setLayerTableId(ZcDbDatabase& db, ZcDbObjectId id) {
  DatabaseAccess::layerTableId(db) = id;
}

void setTextStyleTableId(ZcDbDatabase& db, ZcDbObjectId id) {
  DatabaseAccess::textStyleTableId(db) = id;
}

std::vector<ZcDbObjectId> allObjectIds(const ZcDbDatabase& db) {
  const auto& impl = DatabaseAccess::impl(db);
  std::vector<ZcDbObjectId> ids;
  ids.reserve(impl.byHandle.size());
  impl.forEachStub([&](ZcDbStub& stub) {
    if (stub.object != nullptr || stub.awaitsLoader()) ids.emplace_back(&stub);
  });
  std::sort(ids.begin(), ids.end(),
            [](const ZcDbObjectId& a, const ZcDbObjectId& b) { return a.stub()->handle < b.stub()->handle; });
  return ids;
}

}  // namespace zrxhost

int ZcDbDatabase::numObjects() const {
  int count = 0;
  mImpl->forEachStub([&](const ZcDbStub& stub) {
    if (stub.object != nullptr || stub.awaitsLoader()) ++count;
  });
  return count;
}

ZcDbHostApplicationServices* zcdbHostApplicationServices() {
  static ZcDbHostApplicationServices services;
  return &services;
}
