// ZcDbDatabase: objects by handle, the default drawing, the tables; the host application services.
#include "zrx/db/database.h"

#include <algorithm>
#include <unordered_map>

#include "db/stub.h"
#include "zrx/db/symtab.h"
#include "zrx/rx_define.h"

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

struct ZcDbDatabase::Impl {
  std::vector<std::unique_ptr<ZcDbStub[]>> chunks;
  size_t usedInLastChunk = kStubsPerChunk;
  // Hashed: a drawing of a hundred thousand objects is looked up by handle on every reference.
  std::unordered_map<ZcDbHandle, ZcDbStub*> byHandle;

  ZcDbStub* newStub(ZcDbDatabase* db, ZcDbHandle handle) {
    if (usedInLastChunk == kStubsPerChunk) {
      chunks.push_back(std::make_unique<ZcDbStub[]>(kStubsPerChunk));
      liveChunks().push_back({db, chunks.back().get()});
      usedInLastChunk = 0;
    }
    ZcDbStub* stub = &chunks.back()[usedInLastChunk++];
    stub->database = db;
    stub->handle = handle;
    byHandle.emplace(handle, stub);
    return stub;
  }
};

ZCRX_DEFINE_MEMBERS(ZcDbDatabase, ZcRxObject, L"AcDbDatabase", nullptr, nullptr);

ZcDbDatabase::ZcDbDatabase(bool buildDefaultDrawing) : mImpl(std::make_unique<Impl>()) {
  if (!buildDefaultDrawing) return;
  auto* blocks = new ZcDbBlockTable;
  addZcDbObject(mBlockTableId, blocks);
  for (const ZTCHAR* name : {ZCDB_MODEL_SPACE, ZCDB_PAPER_SPACE}) {
    auto* record = new ZcDbBlockTableRecord;
    record->setName(name);
    blocks->add(record);
    record->close();
  }
  blocks->close();

  auto* layers = new ZcDbLayerTable;
  addZcDbObject(mLayerTableId, layers);
  auto* layer0 = new ZcDbLayerTableRecord;
  layer0->setName(L"0");
  layers->add(layer0);
  layer0->close();
  layers->close();

  auto* styles = new ZcDbTextStyleTable;
  addZcDbObject(mTextStyleTableId, styles);
  auto* standard = new ZcDbTextStyleTableRecord;
  standard->setName(L"Standard");
  styles->add(standard);
  standard->close();
  styles->close();
}

ZcDbDatabase::~ZcDbDatabase() {
  if (zcdbHostApplicationServices()->workingDatabase() == this)
    zcdbHostApplicationServices()->setWorkingDatabase(nullptr);
  for (auto& [handle, stub] : mImpl->byHandle) {
    (void)handle;
    delete stub->object;  // its destructor clears stub->object
  }
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
    while (byHandle.count(mHandseed) != 0) ++mHandseed;
    handle = mHandseed++;
    stub = mImpl->newStub(this, handle);
  } else {
    auto found = byHandle.find(handle);
    if (found != byHandle.end()) {
      if (found->second->object != nullptr) return Zcad::eDuplicateKey;
      stub = found->second;  // a handle referred to before its object arrived
    } else {
      stub = mImpl->newStub(this, handle);
    }
    mHandseed = std::max(mHandseed, handle + 1);
  }
  stub->object = object;
  stub->erased = false;
  stub->readers = 0;
  stub->writer = true;
  object->mStub = stub;
  id = ZcDbObjectId(stub);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbDatabase::getZcDbObjectId(ZcDbObjectId& id, bool createIfNotFound, ZcDbHandle handle) const {
  id = ZcDbObjectId::kNull;
  if (handle == 0) return Zcad::eInvalidInput;
  auto found = mImpl->byHandle.find(handle);
  if (found != mImpl->byHandle.end()) {
    id = ZcDbObjectId(found->second);
    return Zcad::eOk;
  }
  if (!createIfNotFound) return Zcad::eKeyNotFound;
  // A forward reference: the stub waits for addZcDbObject with this handle.
  auto* self = const_cast<ZcDbDatabase*>(this);
  id = ZcDbObjectId(mImpl->newStub(self, handle));
  self->mHandseed = std::max(mHandseed, handle + 1);
  return Zcad::eOk;
}

std::vector<ZcDbObjectId> ZcDbDatabase::allObjectIds() const {
  std::vector<ZcDbObjectId> ids;
  ids.reserve(mImpl->byHandle.size());
  for (const auto& [handle, stub] : mImpl->byHandle) {
    (void)handle;
    if (stub->object != nullptr) ids.emplace_back(stub);
  }
  std::sort(ids.begin(), ids.end(),
            [](const ZcDbObjectId& a, const ZcDbObjectId& b) { return a.stub()->handle < b.stub()->handle; });
  return ids;
}

int ZcDbDatabase::numObjects() const {
  int count = 0;
  for (const auto& [handle, stub] : mImpl->byHandle) {
    (void)handle;
    if (stub->object != nullptr) ++count;
  }
  return count;
}

ZcDbHostApplicationServices* zcdbHostApplicationServices() {
  static ZcDbHostApplicationServices services;
  return &services;
}
