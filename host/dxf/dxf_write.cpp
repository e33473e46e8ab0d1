// Writing a database back as DXF in the layout it was read from, with modelled values brought up to date.
#include "dxf/dxf_write.h"

#include <algorithm>
#include <set>

#include "dxf/dxf_binary.h"
#include "dxf/dxf_model.h"
#include "dxf/dxf_objects.h"
#include "dxf/dxf_record_values.h"
#include "dxf/dxf_text.h"
#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/messages.h"

namespace zrxhost::dxf {

namespace {

thread_local bool tCompareEveryValue = false;

constexpr const char* kNoLayout =
    "the drawing was not read from DXF nor made by newDrawing(); it has no DXF layout to write";

// An object of the drawing as it stands, looked at rather than opened: a save reads what a command
// still holds open for write too (a failed open would leave it out of the file). Null for a null or
// erased id and for an object of another class.
template <typename T>
T* look(ZcDbObjectId id) {
  return id.isErased() ? nullptr : zrxhost::peek<T>(id);
}

class Writer {
 public:
  Writer(ZcDbDatabase& db, DrawingLayout& layout, const std::function<void(double)>& progress)
      : mDb(db),
        mLayout(layout),
        mFile(*layout.file),
        mCodec(isUtf8Version(layout.version), layout.codePage),
        mOut(mBody, layout.file->crlf),
        mRecords(mOut, mCodec, layout.r12, layout.usesHandles, &db, tCompareEveryValue),
        mProgress(progress) {}

  void run(DxfPieces& out);
  // Streams the file to `sink`; false when the sink failed.
  bool run(DxfSink& sink);
  // After a run: false, with the reason, when a value written was not a finite number (what was
  // written must then not be kept).
  bool wroteOnlyFiniteValues(std::string& error) const;

 private:
  // Streamed writes hand the text on in pieces of about this size, at record boundaries: small
  // enough that saving a small drawing does not touch a megabyte of fresh memory (1 MB pieces cost
  // a 10,000-text save a tenth of its time in page faults), large enough to keep writes few.
  static constexpr std::size_t kFlushAt = std::size_t{1} << 18;
  void flush(bool all = false) {
    if (mSink == nullptr || (!all && mBody.size() < kFlushAt)) return;
    if (!mSinkFailed && !mSink->append(mBody)) mSinkFailed = true;
    mStreamed += mBody.size();
    mBody.clear();
  }
  // Writes every part of the layout; the header's place in the whole text and its item.
  std::size_t writeItems(const LayoutItem*& header);
  void note(ZcDbHandle h) { mMaxWritten = std::max(mMaxWritten, h); }
  // The record of an entity the reader left unbuilt; null once it is built.
  const PendingRecord* pendingRecord(ZcDbObjectId id) const {
    std::uint32_t index = 0;
    return zrxhost::pendingIndex(id, index) ? &mLayout.pending[index] : nullptr;
  }
  // Handles that reach the file count for the seed; those the reader gave to handle-less R12
  // records do not.
  // An object written as read carries the file's handle group, whatever it holds (an empty one
  // too): only a handle that is written moves the seed, or every save would move it again.
  void noteWritten(const TagFile& file, std::size_t begin, std::size_t end, bool original, ZcDbHandle h) {
    if (!original) {
      if (!mLayout.r12 || mLayout.usesHandles) note(h);
      return;
    }
    if (const ZcDbHandle written = file.recordHandle(begin, end); written != 0) note(written);
  }
  ZcDbHandle subHandle(ZcDbHandle owner, std::size_t j) {
    auto& v = mLayout.writerHandles[owner];
    while (v.size() <= j) {
      ZcDbHandle h = mDb.handseed();
      ZcDbObjectId probe;
      while (mDb.getZcDbObjectId(probe, false, h) == Zcad::eOk) ++h;
      v.push_back(h);
      zrxhost::setHandseed(mDb, h + 1);
    }
    note(v[j]);
    return v[j];
  }
  void writeHeader(const LayoutItem& item, std::string& out);
  void writeTable(const LayoutItem& item);
  bool writeRecord(ZcDbObjectId id, const RecordDescriptor& d);
  void writeBlocks(const LayoutItem& item);
  void writeBlock(ZcDbObjectId id);
  void writeEntities();
  void writeEntity(ZcDbObjectId id);
  // Notes the first entity written with a value that is not finite, to name it in the refusal.
  void noteNonFinite(ZcDbObjectId id) {
    if (mNonFiniteEntity == 0 && mOut.wroteNonFinite()) mNonFiniteEntity = id.handle();
  }
  void writeVertices(const ZcDb3dPolyline* poly, const ObjectRecord* fd, bool original);
  void writeSubEntities(const ObjectRecord& fd, ZcDbHandle owner);
  // An insert's ATTRIB records and their SEQEND, each value the insert changed written anew.
  void writeAttributes(const ZcDbBlockReference& ref, const ObjectRecord& fd);

  ZcDbDatabase& mDb;
  DrawingLayout& mLayout;
  const TagFile& mFile;  // the file the drawing was read from
  TextCodec mCodec;
  std::string mBody;
  TagWriter mOut;
  RecordWriter mRecords;  // compares every value when compareEveryValue() was on as the write began
  Slots mVertex;
  FieldScan mScan;
  ZcDbObjectId mModel, mPaper;
  ZcDbHandle mMaxWritten = 0;
  ZcDbHandle mNonFiniteEntity = 0;
  const std::function<void(double)>& mProgress;
  DxfSink* mSink = nullptr;
  std::size_t mStreamed = 0;  // bytes handed to the sink so far
  bool mSinkFailed = false;
  std::string mEarlyHeader;  // streamed: the header as written in its place
};

void Writer::writeHeader(const LayoutItem& item, std::string& out) {
  TagWriter w(out, mFile.crlf);
  ZcDbHandle seedRead = 0;
  std::string_view var;
  for (std::size_t k = item.begin; k < item.end; ++k)
    if (mFile.code(k) == 9)
      var = TagFile::trimmed(mFile.value(k));
    else if (var == "$HANDSEED" && mFile.code(k) == 5)
      parseHandle(mFile.value(k), seedRead);
  // Past every handle written; handles the reader gave to what it made up for an R12 file are
  // never written, so they do not move the seed (saving again gives the same file).
  ZcDbHandle seed = std::max({seedRead, mMaxWritten + 1, mLayout.maxFileHandle + 1});
  var = {};
  for (std::size_t k = item.begin; k < item.end; ++k) {
    int code = mFile.code(k);
    std::string_view v = mFile.value(k);
    if (code == 9) var = TagFile::trimmed(v);
    if (var == "$HANDSEED" && code == 5 && seed != seedRead) {
      w.tagHandle(5, seed);
    } else if (var == "$ACADVER" && code == 1 && TagFile::trimmed(v) != mLayout.version) {
      w.tag(code, mLayout.version);  // a version read as another (R10 as R12)
    } else if (var == "$TILEMODE" && code == 70) {
      long long t = 1;
      bool ok = parseInt(v, t);
      if (ok && (t != 0) == mDb.tileMode())
        w.raw(mFile, k, k + 1);
      else
        w.tagInt(code, mDb.tileMode() ? 1 : 0);
    } else {
      w.raw(mFile, k, k + 1);
    }
  }
}

bool Writer::writeRecord(ZcDbObjectId id, const RecordDescriptor& d) {
  ZcDbObject* obj = look<ZcDbObject>(id);
  if (!obj) return false;
  const ObjectRecord* fd = recordOf(*obj);
  if (fd && fd->synthetic) return false;
  bool fromFile = fd && fd->end > fd->begin && fd->file;
  std::shared_ptr<const TagFile> tmpl = fromFile ? fd->file : templateTags(d.dxfName, mLayout.r12);
  std::size_t begin = fromFile ? fd->begin : 0, end = fromFile ? fd->end : tmpl->tags.size();
  bool original = fromFile && fd->handle == obj->handle();
  noteWritten(*tmpl, begin, end, original, obj->handle());
  ZcDbHandle owner = obj->ownerId().handle();
  if (original && !zrxhost::changedSinceMarked(mDb, id) && owner == fd->owner) {
    mOut.raw(*tmpl, begin, end);
    return true;
  }
  WriteAs as;
  as.original = original;
  as.handle = obj->handle();
  as.owner = original && owner == fd->owner ? 0 : owner;
  as.builtFromRecord = fromFile;
  mRecords.write({*tmpl, begin, end, fromFile ? &fd->places : nullptr, &d}, *obj, as);
  return true;
}

void Writer::writeTable(const LayoutItem& item) {
  const RecordDescriptor& d = *item.records;
  ZcDbObjectId tableId = (mDb.*d.tableId)();
  std::vector<ZcDbObjectId> records;
  {
    ZcDbSymbolTable* table = look<ZcDbSymbolTable>(tableId);
    if (table) records = table->recordIds();
  }
  std::set<ZcDbObjectId> listed;
  for (const auto& e : item.entries)
    if (!e.id.isNull()) listed.insert(e.id);
  // The entry count of the TABLE head follows additions and erasures.
  std::size_t rawEntries = 0, live = 0;
  for (const auto& e : item.entries)
    if (e.id.isNull()) ++rawEntries;
  for (ZcDbObjectId id : records) {
    ZcDbObject* rec = look<ZcDbObject>(id);
    if (rec && (!recordOf(*rec) || !recordOf(*rec)->synthetic)) ++live;
  }
  bool countChanged = live != item.recordsRead;
  bool countDone = false;
  for (std::size_t k = item.begin; k < item.end; ++k) {
    if (countChanged && !countDone && mFile.code(k) == 70) {
      mOut.tagInt(70, static_cast<long long>(live + rawEntries));
      countDone = true;
      continue;
    }
    mOut.raw(mFile, k, k + 1);
  }
  for (const auto& e : item.entries) {
    if (e.id.isNull())
      mOut.raw(mFile, e.begin, e.end);
    else
      writeRecord(e.id, d);
  }
  for (ZcDbObjectId id : records)
    if (listed.count(id) == 0) writeRecord(id, d);
  mOut.raw(mFile, item.tailBegin, item.tailEnd);
}

void Writer::writeBlock(ZcDbObjectId id) {
  ZcDbBlockTableRecord* rec = look<ZcDbBlockTableRecord>(id);
  if (!rec) return;
  const ObjectRecord* fd = recordOf(*rec);
  if (fd && fd->synthetic) return;
  bool hasBlock = fd && fd->blockEnd > fd->blockBegin && fd->file;
  if (mLayout.r12 && !hasBlock && rec->isLayout()) return;  // R12 layouts need no BLOCK
  ZcDbHandle h = rec->handle();
  bool original = hasBlock && fd->handle == h;
  const RecordDescriptor& block = descriptor(RecordType::Block);
  auto blockTags = hasBlock ? fd->file : templateTags(block.dxfName, mLayout.r12);
  std::size_t b = hasBlock ? fd->blockBegin : 0, e = hasBlock ? fd->blockEnd : blockTags->tags.size();
  // Written from the block's values as they stand: a BLOCK holds nothing the block refuses.
  mRecords.write({*blockTags, b, e, nullptr, &block}, *rec,
                 {.original = original, .handle = original ? 0 : subHandle(h, 0), .owner = original ? 0 : h});
  bool inEntitiesSection = id == mModel || id == mPaper;
  if (!inEntitiesSection)
    for (ZcDbObjectId ent : rec->entityIds()) {
      writeEntity(ent);
      noteNonFinite(ent);
      flush();
    }
  bool hasEnd = fd && fd->endblkEnd > fd->endblkBegin && fd->file;
  auto endTags = hasEnd ? fd->file : templateTags("ENDBLK", mLayout.r12);
  const Record endblk{*endTags, hasEnd ? fd->endblkBegin : 0, hasEnd ? fd->endblkEnd : endTags->tags.size(), nullptr,
                      &descriptor(RecordType::Foreign)};
  std::string ignored;
  readFields(endblk.descriptor->fields, endblk, mCodec, mLayout.r12, mVertex, mScan, ignored);
  const bool keep = original && hasEnd;
  mRecords.write(endblk, mVertex, {.original = keep, .handle = keep ? 0 : subHandle(h, 1), .owner = keep ? 0 : h});
}

void Writer::writeBlocks(const LayoutItem& item) {
  std::set<ZcDbObjectId> listed;
  for (const auto& e : item.entries) {
    if (e.id.isNull()) {
      mOut.raw(mFile, e.begin, e.end);
      continue;
    }
    listed.insert(e.id);
    writeBlock(e.id);
    flush();
  }
  std::vector<ZcDbObjectId> records;
  {
    ZcDbBlockTable* table = look<ZcDbBlockTable>(mDb.blockTableId());
    if (table) records = table->recordIds();
  }
  for (ZcDbObjectId id : records)
    if (listed.count(id) == 0) writeBlock(id);
}

void Writer::writeSubEntities(const ObjectRecord& fd, ZcDbHandle owner) {
  const TagFile& file = *fd.file;
  const RecordDescriptor& d = descriptor(RecordType::Foreign);
  std::size_t j = 0;
  for (std::size_t q = fd.end; q < fd.subEnd; ++j) {
    std::size_t qe = q + 1;
    while (qe < fd.subEnd && file.code(qe) != 0) ++qe;
    const Record sub{file, q, qe, nullptr, &d};
    std::string ignored;
    readFields(d.fields, sub, mCodec, mLayout.r12, mVertex, mScan, ignored);
    mRecords.write(sub, mVertex, {.original = false, .handle = subHandle(owner, j), .owner = owner});
    q = qe;
  }
}

void Writer::writeAttributes(const ZcDbBlockReference& ref, const ObjectRecord& fd) {
  const TagFile& file = *fd.file;
  int index = 0;
  for (std::size_t q = fd.end; q < fd.subEnd;) {
    std::size_t qe = q + 1;
    while (qe < fd.subEnd && file.code(qe) != 0) ++qe;
    const bool attribute = TagFile::trimmed(file.value(q)) == "ATTRIB" && index < ref.attributeCount();
    const ZcString* value = attribute ? &ref.attribute(index++).value : nullptr;
    for (std::size_t r = q; r < qe; ++r) {
      // A value changed since the read replaces the record's; every other tag is copied as read.
      const int valueCode = attribute_values::kString.code;
      if (value != nullptr && file.code(r) == valueCode && !mCodec.equals(file.value(r), value->utf16())) {
        std::string encoded;
        mCodec.encode(value->utf16(), encoded);
        mOut.tag(valueCode, encoded);
      } else {
        mOut.raw(file, r, r + 1);
      }
    }
    q = qe;
  }
}

void Writer::writeVertices(const ZcDb3dPolyline* poly, const ObjectRecord* fd, bool original) {
  struct Range {
    std::size_t begin, end;
  };
  std::vector<Range> vertices;
  Range seqend{0, 0};
  bool fromFile = fd && fd->file && fd->subEnd > fd->end;
  if (fromFile) {
    const TagFile& file = *fd->file;
    for (std::size_t q = fd->end; q < fd->subEnd;) {
      std::size_t qe = q + 1;
      while (qe < fd->subEnd && file.code(qe) != 0) ++qe;
      std::string_view type = TagFile::trimmed(file.value(q));
      if (type == "VERTEX")
        vertices.push_back({q, qe});
      else if (type == "SEQEND")
        seqend = {q, qe};
      q = qe;
    }
  }
  const ZcDbHandle h = poly->handle();
  const RecordDescriptor& vertexDescriptor = descriptor(RecordType::Vertex);
  auto vertexTemplate = templateTags("VERTEX", mLayout.r12);
  const auto& points = poly->vertices();
  // New vertices and a new SEQEND take the polyline's layer.
  const std::u16string layer = poly->layerName().utf16();
  std::string ignored;
  std::size_t fresh = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    bool fromOrig = i < vertices.size();
    const Record vertex{fromOrig ? *fd->file : *vertexTemplate, fromOrig ? vertices[i].begin : 0,
                        fromOrig ? vertices[i].end : vertexTemplate->tags.size(), nullptr, &vertexDescriptor};
    readFields(vertexDescriptor.fields, vertex, mCodec, mLayout.r12, mVertex, mScan, ignored);
    if (!fromOrig) mVertex[kLayer].s = layer;
    mVertex[vertex_slot::kX].d = points[i].x;
    mVertex[vertex_slot::kY].d = points[i].y;
    mVertex[vertex_slot::kZ].d = points[i].z;
    bool keep = original && fromOrig;
    // Vertices read keep their owner (AutoCAD names the polyline, ezdxf the block).
    mRecords.write(vertex, mVertex,
                   {.original = keep, .handle = keep ? 0 : subHandle(h, fresh++), .owner = keep ? 0 : h});
  }
  bool origEnd = seqend.end > seqend.begin;
  auto endTemplate = templateTags("SEQEND", mLayout.r12);
  const Record end{origEnd ? *fd->file : *endTemplate, origEnd ? seqend.begin : 0,
                   origEnd ? seqend.end : endTemplate->tags.size(), nullptr, &descriptor(RecordType::Foreign)};
  readFields(end.descriptor->fields, end, mCodec, mLayout.r12, mVertex, mScan, ignored);
  if (!origEnd) mVertex[kLayer].s = layer;
  bool keep = original && origEnd;
  mRecords.write(end, mVertex, {.original = keep, .handle = keep ? 0 : subHandle(h, fresh++), .owner = keep ? 0 : h});
}

void Writer::writeEntity(ZcDbObjectId id) {
  if (id.isErased()) return;
  // Not built since the drawing was read, so unchanged: its record is written as it stands.
  if (const PendingRecord* p = pendingRecord(id); p != nullptr && !p->renumbered) {
    const std::size_t end = mFile.recordEnd(p->begin);
    noteWritten(mFile, p->begin, end, true, id.handle());
    mOut.raw(mFile, p->begin, end);
    return;
  }
  // Looked at rather than opened (see look); its descriptor says whether it is an entity.
  const ZcDbObject* obj = peekObject(id);
  if (obj == nullptr) return;
  const ObjectRecord* fd = recordOf(*obj);
  const RecordDescriptor* d = fd != nullptr && fd->descriptor != nullptr ? fd->descriptor : descriptorOf(*obj);
  if (d == nullptr || !d->describesEntities()) return;  // not an entity
  const auto& ent = static_cast<const ZcDbEntity&>(*obj);
  bool fromFile = fd && fd->file && fd->end > fd->begin;
  if (d->type == RecordType::Foreign && !fromFile) return;               // nothing known to write
  if (d->type == RecordType::MText && mLayout.r12 && !fromFile) return;  // R12 has no MTEXT
  std::shared_ptr<const TagFile> made = fromFile ? nullptr : templateTags(d->dxfName, mLayout.r12);
  const TagFile& tmpl = fromFile ? *fd->file : *made;
  std::size_t b = fromFile ? fd->begin : 0, e = fromFile ? fd->end : tmpl.tags.size();
  bool original = fromFile && fd->handle == id.handle();
  ZcDbObjectId owner = ent.ownerId();
  const bool keepsPlace = original && owner.handle() == fd->owner;
  noteWritten(tmpl, b, e, original, id.handle());
  // Not opened for write since the drawing was read: its record is the file's, as it stands.
  if (keepsPlace && !zrxhost::changedSinceMarked(mDb, id) && d->type != RecordType::Poly3d) {
    mOut.raw(tmpl, b, fd->subEnd > fd->end ? fd->subEnd : e);
    return;
  }
  bool paper = false;
  if (owner != mModel) {
    ZcDbBlockTableRecord* rec = look<ZcDbBlockTableRecord>(owner);
    paper = rec && rec->isLayout();
  }
  WriteAs as;
  as.original = original;
  as.handle = id.handle();
  as.owner = keepsPlace ? 0 : owner.handle();
  as.paperSpace = paper;
  as.builtFromRecord = fromFile;
  if (keepsPlace) {
    as.editsTold = true;
    as.edits = zrxhost::editsSinceMarked(mDb, id);
    as.namesAsRead = zrxhost::symbolTableChanges(mDb) == mLayout.namesGeneration;
  }
  mRecords.write({tmpl, b, e, fromFile ? &fd->places : nullptr, d}, ent, as);
  if (d->type == RecordType::Poly3d) {
    writeVertices(static_cast<const ZcDb3dPolyline*>(&ent), fromFile ? fd : nullptr, original);
  } else if (fromFile && fd->subEnd > fd->end) {
    if (original && d->type == RecordType::Insert)
      writeAttributes(static_cast<const ZcDbBlockReference&>(ent), *fd);
    else if (original)
      mOut.raw(*fd->file, fd->end, fd->subEnd);
    else
      writeSubEntities(*fd, id.handle());
  }
}

void Writer::writeEntities() {
  // Entities read from the file keep their place; new ones follow their predecessor. The place, the
  // list (model space first) and the position in the list make one key, so that sorting needs no
  // room beside the list, and a drawing whose entities are in order is not sorted at all.
  struct Item {
    std::uint64_t key;  // sequence (32 bits), list (1), position (31)
    ZcDbObjectId id;
  };
  std::vector<Item> items;
  std::uint64_t list = 0;
  for (ZcDbObjectId space : {mModel, mPaper}) {
    ZcDbBlockTableRecord* rec = look<ZcDbBlockTableRecord>(space);
    if (!rec) continue;
    const std::vector<ZcDbObjectId>& ids = rec->entityIds();
    items.reserve(items.size() + ids.size());
    std::uint64_t sequence = 0, pos = 0;
    for (ZcDbObjectId id : ids) {
      if (id.isErased()) continue;
      // An entity the reader listed has its place there, built since or not (which spares looking
      // at every built entity before writing).
      if (std::uint32_t index = 0; zrxhost::loaderIndex(id, index)) {
        if (const PendingRecord& p = mLayout.pending[index]; !p.renumbered && p.sequence > 0) sequence = p.sequence;
      } else if (const ZcDbObject* obj = peekObject(id)) {
        const ObjectRecord* fd = recordOf(*obj);
        if (fd && fd->sequence > 0 && fd->handle == id.handle()) sequence = fd->sequence;
      }
      items.push_back({sequence << 32 | list << 31 | pos++, id});
    }
    ++list;
  }
  auto byKey = [](const Item& a, const Item& b) { return a.key < b.key; };
  if (!std::is_sorted(items.begin(), items.end(), byKey)) std::sort(items.begin(), items.end(), byKey);
  // A changed entity is read from its object and its record, which lie apart in memory: a million of
  // them do not fit in the caches, and waiting for each in turn cost a third of writing them. They are
  // asked for ahead, objects first and, once those have arrived, their records.
  constexpr std::size_t kObjectsAhead = 32, kRecordsAhead = 16;
  constexpr std::size_t kObjectBytes = 320;  // an entity's own members, then a text's position and modes
  auto fetch = [](const void* at, std::size_t bytes) {
    for (std::size_t line = 0; line < bytes; line += 64) __builtin_prefetch(static_cast<const char*>(at) + line);
  };
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i + kObjectsAhead < items.size())
      if (const ZcDbObject* obj = builtObject(items[i + kObjectsAhead].id)) fetch(obj, kObjectBytes);
    if (i + kRecordsAhead < items.size())
      if (const ZcDbObject* obj = builtObject(items[i + kRecordsAhead].id))
        if (const ObjectRecord* record = recordOf(*obj)) fetch(record, sizeof(ObjectRecord));
    writeEntity(items[i].id);
    noteNonFinite(items[i].id);
    flush();
    if (mProgress && (i & 0xfff) == 0) mProgress(static_cast<double>(i) / static_cast<double>(items.size()));
  }
}

std::size_t Writer::writeItems(const LayoutItem*& header) {
  mModel = mDb.modelSpaceId();
  mPaper = mDb.paperSpaceId();
  std::size_t headerAt = std::string::npos;
  header = nullptr;
  for (const LayoutItem& item : mLayout.items) {
    switch (item.kind) {
      case LayoutItem::kRaw:
        if (item.newHandle != 0) {
          mOut.raw(mFile, item.begin, item.begin + 1);
          mOut.tagHandle(mFile.code(item.begin + 1), item.newHandle);
          mOut.raw(mFile, item.begin + 2, item.end);
          mMaxWritten = std::max(mMaxWritten, item.newHandle);
        } else {
          mOut.raw(mFile, item.begin, item.end);
        }
        break;
      case LayoutItem::kHeader:
        headerAt = mStreamed + mBody.size();
        header = &item;
        // A stream cannot leave a gap: the header goes in now, with the seed known so far.
        if (mSink != nullptr) {
          writeHeader(item, mEarlyHeader);
          mBody += mEarlyHeader;
        }
        break;
      case LayoutItem::kTable:
        writeTable(item);
        break;
      case LayoutItem::kBlocks:
        writeBlocks(item);
        break;
      case LayoutItem::kEntities:
        writeEntities();
        break;
    }
    flush();
  }
  return header == nullptr ? mStreamed + mBody.size() : headerAt;
}

void Writer::run(DxfPieces& out) {
  mBody.reserve(mFile.buffer.size() + mFile.buffer.size() / 8 + 4096);
  const LayoutItem* header = nullptr;
  out.headerAt = writeItems(header);
  // The header goes in last: only now is the handle seed known.
  out.header.clear();
  if (header != nullptr) writeHeader(*header, out.header);
  out.body = std::move(mBody);
}

bool Writer::run(DxfSink& sink) {
  mSink = &sink;
  mBody.reserve(kFlushAt + kFlushAt / 4);
  const LayoutItem* header = nullptr;
  const std::size_t headerAt = writeItems(header);
  flush(true);
  if (mSinkFailed || header == nullptr) return !mSinkFailed;
  std::string final;
  writeHeader(*header, final);
  return final == mEarlyHeader || sink.replace(headerAt, mEarlyHeader.size(), final);
}

bool Writer::wroteOnlyFiniteValues(std::string& error) const {
  if (!mOut.wroteNonFinite()) return true;
  if (mNonFiniteEntity != 0) {
    error = textInLanguage(
        "the entity with handle {} holds a number that is not finite (too large or undefined), which a DXF "
        "file cannot keep; nothing was written",
        "句柄为 {} 的对象含有非有限数值（过大或无定义），DXF 文件无法保存；未写入任何内容",
        formatHandle(mNonFiniteEntity));
  } else {
    error = textInLanguage(
        "the drawing holds a number that is not finite (too large or undefined), which a DXF file cannot keep; "
        "nothing was written",
        "图形含有非有限数值（过大或无定义），DXF 文件无法保存；未写入任何内容");
  }
  return false;
}

}  // namespace

void compareEveryValue(bool on) {
  tCompareEveryValue = on;
}

bool writeTags(ZcDbDatabase& db, std::string& out, std::string& error) {
  DxfPieces pieces;
  if (!writeTags(db, pieces, error)) return false;
  out = std::move(pieces.body);
  out.insert(pieces.headerAt, pieces.header);
  return true;
}

bool writeTags(ZcDbDatabase& db, DxfPieces& out, std::string& error, const std::function<void(double)>& progress) {
  DrawingLayout* layout = layoutOf(db);
  if (layout == nullptr || !layout->file) {
    error = kNoLayout;
    return false;
  }
  Writer writer(db, *layout, progress);
  writer.run(out);
  if (!writer.wroteOnlyFiniteValues(error)) return false;
  if (layout->binary) {
    // Written as ASCII first, like every drawing, then turned group by group into binary.
    std::string text = std::move(out.body);
    text.insert(out.headerAt, out.header);
    out.header.clear();
    out.headerAt = 0;
    if (!textToBinary(text, layout->r12, out.body, error)) return false;
  }
  return true;
}

bool writeTags(ZcDbDatabase& db, DxfSink& sink, std::string& error, const std::function<void(double)>& progress) {
  DrawingLayout* layout = layoutOf(db);
  if (layout != nullptr && layout->file && layout->binary) {
    // A binary file is made from the whole ASCII text.
    DxfPieces pieces;
    if (!writeTags(db, pieces, error, progress)) return false;
    return sink.append(pieces.body);
  }
  if (layout == nullptr || !layout->file) {
    error = kNoLayout;
    return false;
  }
  Writer writer(db, *layout, progress);
  return writer.run(sink) && writer.wroteOnlyFiniteValues(error);
}

}  // namespace zrxhost::dxf
