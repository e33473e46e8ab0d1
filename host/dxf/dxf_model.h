// What a read drawing keeps beside the database: the file's tags per object and the file's layout.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dxf/dxf_fields.h"
#include "dxf/dxf_tags.h"
#include "zrx/db/database.h"
#include "zrx/db/ids.h"
#include "zrx/db/object.h"

namespace zrxhost::dxf {

struct RecordDescriptor;

// The tags an object had in the file, kept as the object's extension. Shared by an object and its
// clones: a clone is recognised by its handle differing from `handle`.
struct ObjectRecord : ObjectExtension {
  std::shared_ptr<const TagFile> file;
  std::uint32_t begin = 0, end = 0;  // the object's own tags, from its 0 group
  std::uint32_t subEnd = 0;          // entities: [end, subEnd) holds following VERTEX/ATTRIB/SEQEND
  // Block records: the BLOCK and ENDBLK entities of the BLOCKS section (empty ranges when absent).
  std::uint32_t blockBegin = 0, blockEnd = 0, endblkBegin = 0, endblkEnd = 0;
  ZcDbHandle handle = 0;       // the handle the object got when read
  ZcDbHandle owner = 0;        // its owner's handle then (a file's odd 330 stays while it stays)
  std::uint32_t sequence = 0;  // 1 + its place in the ENTITIES section; 0: elsewhere
  GroupPlaces places;          // where the groups of its modelled values stand in [begin, end)
  // Entities: the descriptor the reader built the object from, which stays that of its class (a copy
  // of the object is of the same class). Null where the writer must find it (descriptorOf).
  const RecordDescriptor* descriptor = nullptr;
  bool synthetic = false;  // made by the reader for a file that lacked it: never written
};

// An entity of the file the database has not built yet (see EntityLoader): its record starts at tag
// `begin` and ends at the next 0 group. Sixteen bytes, as a large drawing holds millions.
struct PendingRecord {
  std::uint32_t begin = 0;
  std::uint32_t sequence : 31 = 0;   // 1 + its place in the ENTITIES section; 0: in a block
  std::uint32_t renumbered : 1 = 0;  // it was given a handle other than the file's
  ZcDbObjectId owner;
  // A box in XY around what it draws, noted from the values the reader checked (the loader's
  // pendingBox); NaN where the reader noted none.
  float box[4] = {NAN, NAN, NAN, NAN};
};

// One piece of the file in order: tags written as read, the header, or a part the database models.
struct LayoutItem {
  enum Kind { kRaw, kHeader, kTable, kBlocks, kEntities };
  Kind kind = kRaw;
  const RecordDescriptor* records = nullptr;  // tables: what their records are
  std::uint32_t begin = 0, end = 0;           // raw and header: the tags; tables: the TABLE head
  std::uint32_t tailBegin = 0, tailEnd = 0;   // tables: the ENDTAB group
  // Tables and blocks: the entries in file order, each a record or (null id) raw tags kept as read.
  struct Entry {
    ZcDbObjectId id;
    std::uint32_t begin = 0, end = 0;
  };
  std::vector<Entry> entries;
  std::size_t recordsRead = 0;  // tables: how many records the file listed
  // Raw: one record written as read but for its handle (group 5 or 105 after its 0 group), which
  // the reader gave it anew; 0: none.
  ZcDbHandle newHandle = 0;
};

// The file's layout, kept as the database's extension.
struct DrawingLayout : ObjectExtension {
  std::shared_ptr<const TagFile> file;
  std::vector<LayoutItem> items;
  std::string version = "AC1032";  // $ACADVER
  std::string codePage = "ANSI_1252";
  bool r12 = false;              // AC1009 and older: no subclass markers, no owners
  bool usesHandles = true;       // R12 files may go without handles
  bool binary = false;           // read from a binary DXF file, and so written as one
  ZcDbHandle maxFileHandle = 0;  // the largest handle the file used
  // Handles the writer gave to pieces that are not database objects (vertices and the SEQEND of a
  // new polyline, BLOCK/ENDBLK of a new block), by the owning object's handle, so that saving
  // again writes the same handles.
  std::map<ZcDbHandle, std::vector<ZcDbHandle>> writerHandles;
  // The entities the reader left to be built when first asked for, by the index their stubs hold.
  std::vector<PendingRecord> pending;
  // The drawing's symbolTableChanges when it was read: while it stands, every name an object finds
  // through an id (a text's style) is the one it found when it was built.
  std::uint64_t namesGeneration = 0;
};

// The DXF layer is the only one that gives objects and databases an extension, so what it finds
// there is its own.
inline const ObjectRecord* recordOf(const ZcDbObject& object) {
  return static_cast<const ObjectRecord*>(object.extension().get());
}
inline ObjectRecord* recordOf(ZcDbObject& object) {
  return static_cast<ObjectRecord*>(object.extension().get());
}
inline DrawingLayout* layoutOf(const ZcDbDatabase& db) {
  return static_cast<DrawingLayout*>(db.extension().get());
}

bool isUtf8Version(const std::string& version);
bool isKnownVersion(const std::string& version);

// The tags new objects start from.
std::shared_ptr<const TagFile> templateTags(const char* name, bool r12);
// A new, empty drawing of `version` as DXF text; canMakeDrawing says which versions it can be.
bool canMakeDrawing(const std::string& version);
std::string newDrawingText(const std::string& version);

}  // namespace zrxhost::dxf
