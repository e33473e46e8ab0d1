// The decoder of the geometry of entities kept as their DXF records, which a higher layer registers.
#pragma once

#include <vector>

#include "zrx/db/foreign_entity.h"

namespace zrxhost {

// Reads an entity kept as records for picks and snaps: the database cannot decode DXF records
// itself, so the layer that can registers these at start-up (until then such entities have none).
struct ForeignGeometry {
  bool (*hitTest)(const ZcDbForeignEntity& entity, const ZcGePoint3d& point, double aperture) = nullptr;
  void (*osnapPoints)(const ZcDbForeignEntity& entity, ZcDb::OsnapMode mode, const ZcGePoint3d& pickPoint,
                      const ZcGePoint3d& lastPoint, ZcArray<ZcGePoint3d>& snapPoints) = nullptr;
  // The strokes it draws, each as a run of points (curves flattened), in world coordinates.
  void (*outline)(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& strokes) = nullptr;
};
void registerForeignGeometry(const ForeignGeometry& geometry);
// The strokes of `entity` through the registered decoder (none before one is registered).
void foreignOutline(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& strokes);

}  // namespace zrxhost
