// ZcDbBlockReference: an insert of a block; its entities placed by position, scale and rotation.
#include "zrx/db/blockref.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "db/geom.h"
#include "db/stub.h"
#include "zrx/db/database.h"
#include "zrx/db/line.h"
#include "zrx/db/mtext.h"
#include "zrx/db/polyline3d.h"
#include "zrx/db/symtab.h"
#include "zrx/db/text.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"
#include "zrxhost/database_internals.h"

ZCRX_DEFINE_MEMBERS(ZcDbBlockReference, ZcDbEntity, L"AcDbBlockReference", L"INSERT",
                    &zrxdb::construct<ZcDbBlockReference>);

namespace {

// Block coordinates to world: scaled about the block's origin, turned, moved to the position.
// Inserts are taken in the XY plane.
struct InsertTransform {
  ZcGePoint3d origin;
  ZcGePoint3d position;
  ZcGeVector3d scale;
  double cosR, sinR;

  ZcGePoint3d apply(const ZcGePoint3d& p) const {
    const double x = (p.x - origin.x) * scale.x, y = (p.y - origin.y) * scale.y, z = (p.z - origin.z) * scale.z;
    return {position.x + x * cosR - y * sinR, position.y + x * sinR + y * cosR, position.z + z};
  }
  ZcGeVector3d applyVector(const ZcGeVector3d& v) const {
    const double x = v.x * scale.x, y = v.y * scale.y;
    return {x * cosR - y * sinR, x * sinR + y * cosR, v.z * scale.z};
  }
  ZcGePoint3d inverse(const ZcGePoint3d& p) const {
    const double dx = p.x - position.x, dy = p.y - position.y;
    const double x = dx * cosR + dy * sinR, y = -dx * sinR + dy * cosR;
    return {origin.x + x / scale.x, origin.y + y / scale.y, origin.z + (p.z - position.z) / scale.z};
  }
  double rotation() const { return std::atan2(sinR, cosR); }
};

using zrxhost::kMaxInsertNesting;
using zrxhost::kMaxNestedVisits;
int gNesting = 0;
long gVisitsLeft = kMaxNestedVisits;
// The boxes of the blocks met while the outermost insert is measured, each in its block's
// coordinates (invalid while it is being measured, so that a block inserting itself adds nothing).
std::unordered_map<const ZcDbBlockTableRecord*, ZcDbExtents> gBlockBoxes;

struct NestingGuard {
  bool ok;
  NestingGuard() : ok(gNesting < kMaxInsertNesting) { ++gNesting; }
  ~NestingGuard() {
    if (--gNesting > 0) return;
    gVisitsLeft = kMaxNestedVisits;
    gBlockBoxes.clear();
  }
};

// Draws what an entity of the block emits, placed by the insert.
class TransformedDraw : public ZcGiWorldDraw, private ZcGiWorldGeometry {
 public:
  TransformedDraw(ZcGiWorldDraw& inner, const InsertTransform& transform) : mInner(inner), mTransform(transform) {}
  ZcGiWorldGeometry& geometry() override { return *this; }
  ZcGiSubEntityTraits& subEntityTraits() override { return mInner.subEntityTraits(); }
  bool isDragging() const override { return mInner.isDragging(); }
  bool regenAbort() const override { return mInner.regenAbort(); }

 private:
  bool polyline(ZSoft::UInt32 count, const ZcGePoint3d* points, const ZcGeVector3d* normal,
                ZSoft::LongPtr marker) override {
    std::vector<ZcGePoint3d> placed(points, points + count);
    for (ZcGePoint3d& p : placed) p = mTransform.apply(p);
    return mInner.geometry().polyline(count, placed.data(), normal, marker);
  }
  bool text(const ZcGePoint3d& position, const ZcGeVector3d& normal, const ZcGeVector3d& direction,
            const ZcString& message, const ZcGiTextStyle& style) override {
    ZcGiTextStyle placed = style;
    const double sx = std::fabs(mTransform.scale.x), sy = std::fabs(mTransform.scale.y);
    placed.textSize *= sy;
    if (sy > 0) placed.xScale *= sx / sy;
    return mInner.geometry().text(mTransform.apply(position), normal, mTransform.applyVector(direction).normal(),
                                  message, placed);
  }

  ZcGiWorldDraw& mInner;
  const InsertTransform& mTransform;
};

// A copy of a block entity placed by the insert; null for kinds without known geometry.
ZcDbEntity* placedCopy(const ZcDbEntity* entity, const InsertTransform& t) {
  const double sx = std::fabs(t.scale.x), sy = std::fabs(t.scale.y);
  ZcDbEntity* copy = ZcDbEntity::cast(entity->clone());
  if (copy == nullptr) return nullptr;
  if (auto* line = ZcDbLine::cast(copy)) {
    line->setStartPoint(t.apply(line->startPoint()));
    line->setEndPoint(t.apply(line->endPoint()));
  } else if (auto* poly = ZcDb3dPolyline::cast(copy)) {
    std::vector<ZcGePoint3d> vertices = poly->vertices();
    for (ZcGePoint3d& p : vertices) p = t.apply(p);
    poly->setVertices(vertices);
  } else if (auto* text = ZcDbText::cast(copy)) {
    text->setPosition(t.apply(text->position()));
    text->setAlignmentPoint(t.apply(text->alignmentPoint()));
    text->setHeight(text->height() * sy);
    if (sy > 0) text->setWidthFactor(text->widthFactor() * sx / sy);
    text->setRotation(text->rotation() + t.rotation());
  } else if (auto* mtext = ZcDbMText::cast(copy)) {
    mtext->setLocation(t.apply(mtext->location()));
    mtext->setTextHeight(mtext->textHeight() * sy);
    mtext->setWidth(mtext->width() * sx);
    mtext->setRotation(mtext->rotation() + t.rotation());
  } else if (auto* insert = ZcDbBlockReference::cast(copy)) {
    insert->setPosition(t.apply(insert->position()));
    const ZcGeVector3d s = insert->scaleFactors();
    insert->setScaleFactors({s.x * t.scale.x, s.y * t.scale.y, s.z * t.scale.z});
    insert->setRotation(insert->rotation() + t.rotation());
  } else {
    delete copy;
    return nullptr;
  }
  return copy;
}

}  // namespace

ZcDbBlockReference::ZcDbBlockReference() = default;
ZcDbBlockReference::ZcDbBlockReference(const ZcGePoint3d& position, ZcDbObjectId blockTableRecord)
    : mBlock(blockTableRecord), mPosition(position) {
  if (const auto* record = zrxdb::peek<ZcDbBlockTableRecord>(blockTableRecord)) mBlockName = record->name();
}
ZcDbBlockReference::~ZcDbBlockReference() = default;

#define ZRX_REQUIRE_WRITE() \
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite

Zcad::ErrorStatus ZcDbBlockReference::setBlockTableRecord(ZcDbObjectId block) {
  ZRX_REQUIRE_WRITE();
  mBlock = block;
  if (const auto* record = zrxdb::peek<ZcDbBlockTableRecord>(block)) mBlockName = record->name();
  zrxdb::noteEdit(stub(), zrxhost::kEditBlock);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockReference::setBlockName(const ZcString& name) {
  ZRX_REQUIRE_WRITE();
  mBlockName = name;
  zrxdb::noteEdit(stub(), zrxhost::kEditBlock);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockReference::setPosition(const ZcGePoint3d& p) {
  ZRX_REQUIRE_WRITE();
  zrxdb::notePointEdit(stub(), zrxhost::kEditPositionX, mPosition, p);
  mPosition = p;
  return Zcad::eOk;
}

// A zero scale would make the insert vanish and its pick undefined.
Zcad::ErrorStatus ZcDbBlockReference::setScaleFactors(const ZcGeVector3d& s) {
  ZRX_REQUIRE_WRITE();
  if (s.x == 0 || s.y == 0 || s.z == 0 || !std::isfinite(s.x + s.y + s.z)) return Zcad::eInvalidInput;
  mScale = s;
  zrxdb::noteEdit(stub(), zrxhost::kEditScale);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockReference::setRotation(double radians) {
  ZRX_REQUIRE_WRITE();
  if (!std::isfinite(radians)) return Zcad::eInvalidInput;
  mRotation = radians;
  zrxdb::noteEdit(stub(), zrxhost::kEditRotation);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockReference::setAttributeValue(int index, const ZcString& value) {
  ZRX_REQUIRE_WRITE();
  if (index < 0 || index >= attributeCount()) return Zcad::eInvalidIndex;
  mAttributes[static_cast<size_t>(index)].value = value;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockReference::setNormal(const ZcGeVector3d& n) {
  ZRX_REQUIRE_WRITE();
  if (n.isZeroLength()) return Zcad::eInvalidInput;
  mNormal = n.normal();
  zrxdb::noteEdit(stub(), zrxhost::kEditNormal);
  return Zcad::eOk;
}

namespace {
// The record the insert refers to: by id, else by name in its drawing.
const ZcDbBlockTableRecord* blockOf(const ZcDbBlockReference& insert) {
  if (const auto* record = zrxdb::peek<ZcDbBlockTableRecord>(insert.blockTableRecord())) return record;
  const ZcDbDatabase* db = insert.database() ? insert.database() : zcdbHostApplicationServices()->workingDatabase();
  if (db == nullptr || insert.blockName().isEmpty()) return nullptr;
  const auto* blocks = zrxdb::peek<ZcDbBlockTable>(db->blockTableId());
  return blocks ? zrxdb::peek<ZcDbBlockTableRecord>(blocks->getIdAt(insert.blockName())) : nullptr;
}

InsertTransform transformOf(const ZcDbBlockReference& insert, const ZcDbBlockTableRecord& block) {
  return {block.origin(), insert.position(), insert.scaleFactors(), std::cos(insert.rotation()),
          std::sin(insert.rotation())};
}

// Calls `f` with each entity of the block; below the outermost insert, visits are counted against
// kMaxNestedVisits, and those past it are left out.
template <typename F>
void forEachEntity(const ZcDbBlockTableRecord& block, F&& f) {
  for (const ZcDbObjectId& id : block.entityIds()) {
    if (id.isErased()) continue;
    if (gNesting > 1 && gVisitsLeft-- <= 0) return;
    if (auto* entity = zrxdb::peek<ZcDbEntity>(id)) f(*entity);
  }
}

// The box of the block's entities in its own coordinates.
const ZcDbExtents& blockBox(const ZcDbBlockTableRecord& block) {
  if (auto found = gBlockBoxes.find(&block); found != gBlockBoxes.end()) return found->second;
  gBlockBoxes.emplace(&block, ZcDbExtents());
  ZcDbExtents box;
  for (const ZcDbObjectId& id : block.entityIds()) {
    const auto* entity = id.isErased() ? nullptr : zrxdb::peek<ZcDbEntity>(id);
    ZcDbExtents inner;
    if (entity == nullptr || entity->getGeomExtents(inner) != Zcad::eOk) continue;
    box.addPoint(inner.minPoint());
    box.addPoint(inner.maxPoint());
  }
  return gBlockBoxes[&block] = box;
}
}  // namespace

bool zrxhost::blockExtents(const ZcDbBlockTableRecord& block, ZcDbExtents& box) {
  NestingGuard guard;  // the boxes measured meanwhile are kept until it ends
  box = blockBox(block);
  return box.isValid();
}

// The box of its block placed: each block met is measured once, however many inserts lead to it.
Zcad::ErrorStatus ZcDbBlockReference::getGeomExtents(ZcDbExtents& extents) const {
  extents = ZcDbExtents();
  const ZcDbBlockTableRecord* block = blockOf(*this);
  NestingGuard guard;
  if (block == nullptr || !guard.ok) return Zcad::eInvalidExtents;
  const ZcDbExtents& box = blockBox(*block);
  if (!box.isValid()) return Zcad::eInvalidExtents;
  const InsertTransform t = transformOf(*this, *block);
  const ZcGePoint3d& a = box.minPoint();
  const ZcGePoint3d& b = box.maxPoint();
  for (int corner = 0; corner < 8; ++corner)
    extents.addPoint(t.apply({corner & 1 ? b.x : a.x, corner & 2 ? b.y : a.y, corner & 4 ? b.z : a.z}));
  return Zcad::eOk;
}

bool ZcDbBlockReference::hitTest(const ZcGePoint3d& point, double aperture) const {
  const ZcDbBlockTableRecord* block = blockOf(*this);
  NestingGuard guard;
  if (block == nullptr || !guard.ok) return false;
  const InsertTransform t = transformOf(*this, *block);
  const ZcGePoint3d local = t.inverse(point);
  const double smallest = std::min(std::fabs(mScale.x), std::fabs(mScale.y));
  const double localAperture = aperture / smallest;
  bool hit = false;
  forEachEntity(*block, [&](const ZcDbEntity& entity) {
    hit = hit || (entity.visibility() == ZcDb::kVisible && entity.hitTest(local, localAperture));
  });
  return hit;
}

// The insertion point, and the snaps of the block's entities where the insert places them.
Zcad::ErrorStatus ZcDbBlockReference::getOsnapPoints(ZcDb::OsnapMode mode, ZSoft::GsMarker marker,
                                                     const ZcGePoint3d& pick, const ZcGePoint3d& last,
                                                     ZcArray<ZcGePoint3d>& points) const {
  if (mode == ZcDb::kOsModeIns) points.append(mPosition);
  const ZcDbBlockTableRecord* block = blockOf(*this);
  NestingGuard guard;
  if (block == nullptr || !guard.ok) return Zcad::eOk;
  const InsertTransform t = transformOf(*this, *block);
  // Nearest and perpendicular are found in the block's coordinates, which a non-uniform scale
  // distorts; the candidates are placed back and the search keeps the nearest in the world.
  const ZcGePoint3d localPick = t.inverse(pick), localLast = t.inverse(last);
  forEachEntity(*block, [&](const ZcDbEntity& entity) {
    if (entity.visibility() != ZcDb::kVisible) return;
    ZcArray<ZcGePoint3d> inner;
    entity.getOsnapPoints(mode, marker, localPick, localLast, inner);
    for (int i = 0; i < inner.length(); ++i) points.append(t.apply(inner[i]));
  });
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbBlockReference::explode(ZcArray<void*>& entitySet) const {
  const ZcDbBlockTableRecord* block = blockOf(*this);
  if (block == nullptr) return Zcad::eInvalidInput;
  const InsertTransform t = transformOf(*this, *block);
  forEachEntity(*block, [&](const ZcDbEntity& entity) {
    if (ZcDbEntity* copy = placedCopy(&entity, t)) entitySet.append(copy);
  });
  return Zcad::eOk;
}

bool ZcDbBlockReference::subWorldDraw(ZcGiWorldDraw* mode) {
  const ZcDbBlockTableRecord* block = blockOf(*this);
  NestingGuard guard;
  if (block == nullptr || !guard.ok) return true;
  const InsertTransform t = transformOf(*this, *block);
  TransformedDraw placed(*mode, t);
  forEachEntity(*block, [&](const ZcDbEntity& entity) { const_cast<ZcDbEntity&>(entity).worldDraw(&placed); });
  return true;
}

void ZcDbBlockReference::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  auto* t = static_cast<ZcDbBlockReference*>(target);
  t->mBlock = mBlock;
  t->mBlockName = mBlockName;
  t->mPosition = mPosition;
  t->mScale = mScale;
  t->mRotation = mRotation;
  t->mNormal = mNormal;
  t->mAttributes = mAttributes;
}

bool ZcDbBlockReference::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbBlockReference&>(other);
  return ZcDbEntity::hasSameFieldsAs(other) && mBlock == o.mBlock && mBlockName == o.mBlockName &&
         zrxdb::sameCoordinates(mPosition, o.mPosition) && zrxdb::sameCoordinates(mScale, o.mScale) &&
         mRotation == o.mRotation && zrxdb::sameCoordinates(mNormal, o.mNormal) &&
         std::equal(mAttributes.begin(), mAttributes.end(), o.mAttributes.begin(), o.mAttributes.end(),
                    [](const Attribute& a, const Attribute& b) { return a.tag == b.tag && a.value == b.value; });
}
