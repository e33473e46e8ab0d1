// ZcDbForeignEntity: an entity kept as the drawing held it, without geometry of its own.
#include "zrx/db/foreign_entity.h"

#include "db/stub.h"
#include "zrx/rx_define.h"

ZCRX_DEFINE_MEMBERS(ZcDbForeignEntity, ZcDbEntity, L"AcDbForeignEntity", nullptr, &zrxdb::construct<ZcDbForeignEntity>);

ZcDbForeignEntity::ZcDbForeignEntity() = default;
ZcDbForeignEntity::~ZcDbForeignEntity() = default;

Zcad::ErrorStatus ZcDbForeignEntity::getGeomExtents(ZcDbExtents& extents) const {
  extents = ZcDbExtents();
  return Zcad::eInvalidExtents;
}

void ZcDbForeignEntity::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  static_cast<ZcDbForeignEntity*>(target)->mDxfType = mDxfType;
}

bool ZcDbForeignEntity::hasSameFieldsAs(const ZcDbObject& other) const {
  return ZcDbEntity::hasSameFieldsAs(other) && mDxfType == static_cast<const ZcDbForeignEntity&>(other).mDxfType;
}
