// The decoder of the geometry of entities kept as their DXF records, which a higher layer registers.
#pragma once

#include "zrx/db/foreign_entity.h"

namespace zrxhost {

// Reads an entity kept as records for picks and snaps: the database cannot decode DXF records
// itself, so the layer that can registers these at start-up (until then such entities have none).
struct ForeignGeometry {
  bool (*hitTest)(const ZcDbForeignEntity& entity, const ZcGePoint3d& point, double aperture) = nullptr;
  void (*osnapPoints)(const ZcDbForeignEntity& entity, ZcDb::OsnapMode mode, const ZcGePoint3d& pickPoint,
                      const ZcGePoint3d& lastPoint, ZcArray<ZcGePoint3d>& snapPoints) = nullptr;
};
void registerForeignGeometry(const ForeignGeometry& geometry);

}  // namespace zrxhost
