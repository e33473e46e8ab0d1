// What a read drawing keeps beside the database: the file's tags per object and the file's layout.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dxf/dxf_fields.h"
#include "dxf/dxf_tags.h"
#include "zrx/db/ids.h"

namespace zrxhost::dxf {
struct DrawingLayout;
}

// The tags an object had in the file. Shared by an object and its clones: a clone is recognised by
// its handle differing from `handle`.
struct ZcDbForeignData {
  std::shared_ptr<const zrxhost::dxf::TagFile> file;
  std::uint32_t begin = 0, end = 0;  // the object's own tags, from its 0 group
  std::uint32_t subEnd = 0;          // entities: [end, subEnd) holds following VERTEX/ATTRIB/SEQEND
  // Block records: the BLOCK and ENDBLK entities of the BLOCKS section (empty ranges when absent).
  std::uint32_t blockBegin = 0, blockEnd = 0, endblkBegin = 0, endblkEnd = 0;
  ZcDbHandle handle = 0;       // the handle the object got when read
  ZcDbHandle owner = 0;        // its owner's handle then (a file's odd 330 stays while it stays)
  std::uint32_t sequence = 0;  // 1 + its place in the ENTITIES section; 0: elsewhere
  bool synthetic = false;      // made by the reader for a file that lacked it: never written
  // Values the file held that the object refused (an oblique of 89 degrees, colour 300), with
  // the value the object kept instead: while the object still has that value, the file's stands.
  std::vector<std::pair<std::uint8_t, zrxhost::dxf::SlotValue>> refused;
  std::unique_ptr<zrxhost::dxf::DrawingLayout> layout;  // the database's own data
};

namespace zrxhost::dxf {

// One piece of the file in order: tags written as read, the header, or a part the database models.
struct LayoutItem {
  enum Kind { kRaw, kHeader, kLayerTable, kStyleTable, kBlockRecordTable, kBlocks, kEntities };
  Kind kind = kRaw;
  std::uint32_t begin = 0, end = 0;          // raw and header: the tags; tables: the TABLE head
  std::uint32_t tailBegin = 0, tailEnd = 0;  // tables: the ENDTAB group
  // Tables and blocks: the entries in file order, each a record or (null id) raw tags kept as read.
  struct Entry {
    ZcDbObjectId id;
    std::uint32_t begin = 0, end = 0;
  };
  std::vector<Entry> entries;
  std::size_t recordsRead = 0;  // tables: how many records the file listed
};

struct DrawingLayout {
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
};

bool isUtf8Version(const std::string& version);
bool isKnownVersion(const std::string& version);

// The tags new objects start from.
std::shared_ptr<const TagFile> templateTags(const char* name, bool r12);
// A new, empty drawing of `version` as DXF text; canMakeDrawing says which versions it can be.
bool canMakeDrawing(const std::string& version);
std::string newDrawingText(const std::string& version);

}  // namespace zrxhost::dxf
