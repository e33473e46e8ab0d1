// The outline of curves the host keeps only as their drawing's records (circle, arc, ellipse,
// lightweight and 2D polyline, spline), worked out by the layer that reads those records.
#pragma once

#include <vector>

#include "zrx/ge.h"

class ZcDbForeignEntity;

namespace zrxhost {

class ForeignOutlines {
 public:
  virtual ~ForeignOutlines() = default;
  // The entity's outline as polylines in the coordinates of the block it lives in; false (nothing
  // added) for an entity that is no such curve or whose record holds none.
  virtual bool outline(const ZcDbForeignEntity& entity, std::vector<std::vector<ZcGePoint3d>>& polylines) const = 0;
};

// What draws, measures and picks those curves: installed by the host library as it loads; null in
// a database layer built on its own, where they have no geometry.
const ForeignOutlines* foreignOutlines();
void setForeignOutlines(const ForeignOutlines* outlines);

}  // namespace zrxhost
