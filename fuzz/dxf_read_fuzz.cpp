// Fuzz target: the DXF reader on any bytes, its scan in two stretches against one pass, and on what
// it accepts, write → read → write again, both as read and with every entity changed, and the
// changed drawing written as the writer writes it against the same written by comparing every
// value; the drawing as read is also indexed, which boxes the entities kept as records, and drawn,
// which reads their values.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "dxf/dxf_tags.h"
#include "dxf/dxf_write.h"
#include "ed/spatial_index.h"
#include "render/scene.h"
#include "zrx/db.h"
#include "zrxhost/dxf.h"

namespace {

// Every entity of both spaces changed as a command would change them, so that their records are
// written from the objects rather than copied: the kinds the host models moved by `step`, and with
// `recolour` every entity given another colour.
void changeEveryEntity(ZcDbDatabase& db, const ZcGeVector3d& step, bool recolour) {
  for (ZcDbObjectId space : {db.modelSpaceId(), db.paperSpaceId()}) {
    ZcDbBlockTableRecord* block = nullptr;
    if (zcdbOpenObject(block, space, ZcDb::kForRead) != Zcad::eOk) continue;
    for (ZcDbObjectId id : block->entityIds()) {
      ZcDbEntity* entity = nullptr;
      if (zcdbOpenObject(entity, id, ZcDb::kForWrite) != Zcad::eOk) continue;
      if (recolour) entity->setColorIndex(entity->colorIndex() == 1 ? 2 : 1);
      if (auto* text = ZcDbText::cast(entity))
        text->setPosition(text->position() + step);
      else if (auto* line = ZcDbLine::cast(entity))
        line->setStartPoint(line->startPoint() + step);
      else if (auto* mtext = ZcDbMText::cast(entity))
        mtext->setLocation(mtext->location() + step);
      else if (auto* insert = ZcDbBlockReference::cast(entity))
        insert->setPosition(insert->position() + step);
      entity->close();
    }
    block->close();
  }
}

// The drawing written as the writer writes it must be the drawing written by comparing every value.
void checkAgainstComparingEveryValue(ZcDbDatabase& db, const char* what) {
  const std::string written = zrxhost::writeDxfToString(db);
  zrxhost::dxf::compareEveryValue(true);
  const std::string compared = zrxhost::writeDxfToString(db);
  zrxhost::dxf::compareEveryValue(false);
  if (written != compared) {
    std::fprintf(stderr, "%s: the writer's output differs from comparing every value\n", what);
    std::abort();
  }
}

// The drawing written, read back and written again: the two writes must agree.
void checkRoundTrip(ZcDbDatabase& db, const char* what) {
  const std::string first = zrxhost::writeDxfToString(db);
  if (first.empty()) {
    std::fprintf(stderr, "%s: an accepted drawing could not be written\n", what);
    std::abort();
  }
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> again = zrxhost::readDxfFromString(first, error);
  if (!again) {
    std::fprintf(stderr, "%s: the written drawing is refused: %s\n", what, error.message.c_str());
    std::abort();
  }
  if (zrxhost::writeDxfToString(*again) != first) {
    std::fprintf(stderr, "%s: writing the drawing read back gives other bytes\n", what);
    std::abort();
  }
}

// The spatial index boxes entities still waiting as records from their records alone: each box must
// hold the extents of the entity built from that record.
void checkIndexBoxes(ZcDbDatabase& db) {
  auto* space = zrxhost::peek<ZcDbBlockTableRecord>(db.modelSpaceId());
  if (!space) return;
  zrxhost::ed::SpatialIndex index;
  index.build(db, *space);
  std::vector<zrxhost::ed::SpatialIndex::Found> all;
  const double inf = std::numeric_limits<double>::infinity();
  index.within(-inf, -inf, inf, inf, all);
  for (const zrxhost::ed::SpatialIndex::Entry* entry : all) {
    const zrxhost::ed::SpatialIndex::Entry& found = *entry;
    const auto* entity = zrxhost::peek<ZcDbEntity>(found.id);
    ZcDbExtents extents;
    if (!entity || !std::isfinite(found.box[0]) || entity->getGeomExtents(extents) != Zcad::eOk) continue;
    const ZcGePoint3d lo = extents.minPoint(), hi = extents.maxPoint();
    const double slack = 1e-6 * (1 + std::fabs(lo.x) + std::fabs(lo.y) + std::fabs(hi.x) + std::fabs(hi.y));
    if (lo.x < found.box[0] - slack || lo.y < found.box[1] - slack || hi.x > found.box[2] + slack ||
        hi.y > found.box[3] + slack) {
      std::fprintf(stderr, "the index's box (%g %g %g %g) does not hold the extents (%g %g %g %g)\n", found.box[0],
                   found.box[1], found.box[2], found.box[3], lo.x, lo.y, hi.x, hi.y);
      std::abort();
    }
  }
}

// A scan in two stretches, cut where a record begins past the middle, must give what one pass gives.
void checkScanInTwoStretches(const std::uint8_t* data, std::size_t size) {
  zrxhost::dxf::TagFile onePass, inTwo;
  onePass.buffer = std::string(reinterpret_cast<const char*>(data), size);
  inTwo.buffer = std::string(reinterpret_cast<const char*>(data), size);
  std::string onePassError, inTwoError;
  const bool read = zrxhost::dxf::scanTags(onePass, onePassError, {}, SIZE_MAX);
  const bool readInTwo = zrxhost::dxf::scanTags(inTwo, inTwoError, {}, 0);
  bool same = read == readInTwo && onePassError == inTwoError;
  if (same && read) {
    same = onePass.tags.size() == inTwo.tags.size() && onePass.crlf == inTwo.crlf &&
           onePass.dataAfterEofLine == inTwo.dataAfterEofLine;
    for (std::size_t i = 0; same && i < onePass.tags.size(); ++i)
      same = onePass.code(i) == inTwo.code(i) && onePass.value(i) == inTwo.value(i);
  }
  if (!same) {
    std::fprintf(stderr, "a scan in two stretches differs from one pass: '%s' / '%s'\n", onePassError.c_str(),
                 inTwoError.c_str());
    std::abort();
  }
}

}  // namespace

// A drawing the reader accepted must be written in a form it accepts again, and writing that second
// reading must give the same bytes: anything else is a finding, reported by aborting.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkScanInTwoStretches(data, size);
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db =
      zrxhost::readDxfFromString(std::string(reinterpret_cast<const char*>(data), size), error);
  if (!db) return 0;
  checkIndexBoxes(*db);
  zrxhost::render::Scene scene;
  std::string drawError;
  zrxhost::render::buildScene(*db, scene, drawError);
  checkRoundTrip(*db, "as read");
  const ZcGeVector3d step(0.5, -0.25, 0);
  changeEveryEntity(*db, step, false);
  checkAgainstComparingEveryValue(*db, "moved");
  checkRoundTrip(*db, "moved");
  // Moved back, most coordinates are the file's again, and must be written as the file has them.
  changeEveryEntity(*db, -step, false);
  checkAgainstComparingEveryValue(*db, "moved back");
  changeEveryEntity(*db, step, true);
  checkAgainstComparingEveryValue(*db, "recoloured");
  checkRoundTrip(*db, "recoloured");
  return 0;
}
