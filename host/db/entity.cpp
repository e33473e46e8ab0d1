// ZcDbEntity: layer, colour, linetype, drawing traits and the defaults of the entity protocol.
#include "zrx/db/entity.h"

#include "db/stub.h"
#include "db/symtab_generation.h"
#include "zrx/db/database.h"
#include "zrx/db/symtab.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"

ZCRX_DEFINE_MEMBERS(ZcDbEntity, ZcDbObject, L"AcDbEntity", nullptr, nullptr);

ZcDbEntity::ZcDbEntity() = default;
ZcDbEntity::~ZcDbEntity() = default;

Zcad::ErrorStatus ZcDbEntity::setLayer(const ZTCHAR* layerName, bool doSubents) {
  (void)doSubents;
  if (layerName == nullptr) return Zcad::eInvalidInput;
  return setLayer(ZcString(layerName));
}

Zcad::ErrorStatus ZcDbEntity::setLayer(const ZcString& layerName) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (layerName.isEmpty()) return Zcad::eInvalidInput;
  mLayer = layerName;
  forgetLayerRecord();
  zrxdb::noteEdit(stub(), zrxhost::kEditLayer);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbEntity::setColorIndex(ZSoft::UInt16 color, bool doSubents) {
  (void)doSubents;
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (color > 256) return Zcad::eInvalidInput;
  mColorIndex = color;
  zrxdb::noteEdit(stub(), zrxhost::kEditColor);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbEntity::setLinetype(const ZTCHAR* name, bool doSubents) {
  (void)doSubents;
  if (name == nullptr) return Zcad::eInvalidInput;
  return setLinetype(ZcString(name));
}

Zcad::ErrorStatus ZcDbEntity::setLinetype(const ZcString& name) {
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (name.isEmpty()) return Zcad::eInvalidInput;
  mLinetype = name;
  zrxdb::noteEdit(stub(), zrxhost::kEditLinetype);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbEntity::setLinetypeScale(double scale, bool doSubents) {
  (void)doSubents;
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (!(scale > 0)) return Zcad::eInvalidInput;
  mLinetypeScale = scale;
  zrxdb::noteEdit(stub(), zrxhost::kEditLinetypeScale);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbEntity::setVisibility(ZcDb::Visibility visibility, bool doSubents) {
  (void)doSubents;
  if (!isWriteEnabled()) return Zcad::eNotOpenForWrite;
  if (visibility != ZcDb::kVisible && visibility != ZcDb::kInvisible) return Zcad::eInvalidInput;
  mInvisible = visibility == ZcDb::kInvisible;
  zrxdb::noteEdit(stub(), zrxhost::kEditVisibility);
  return Zcad::eOk;
}

ZSoft::UInt16 ZcDbEntity::resolvedColorIndex() const {
  return drawColorIndex();
}

ZSoft::UInt16 ZcDbEntity::drawColorIndex() const {
  constexpr ZSoft::UInt16 kWhite = 7;
  if (mColorIndex == 0) return kWhite;  // by block: the insert is not known here
  if (mColorIndex != 256) return mColorIndex;
  // A new entity (a jig's preview) takes its layer from the drawing being edited.
  const ZcDbStub* own = stub();
  const ZcDbDatabase* db =
      own != nullptr && own->database != nullptr ? own->database : zcdbHostApplicationServices()->workingDatabase();
  if (db == nullptr) return kWhite;
  const ZcDbLayerTableRecord* layer = layerRecord(db);
  if (layer == nullptr) return kWhite;
  // Read from the record each time: its colour may change between two draws.
  ZSoft::UInt16 color = layer->colorIndex();
  return color >= 1 && color <= 255 ? color : kWhite;
}

// The remembered record is the answer as long as nothing that a lookup by name depends on has
// changed: the same database, no table or record added, renamed or destroyed since (the
// generation), and the record itself not erased. A miss is not remembered: unerasing a record
// of that name would change it unseen.
const ZcDbLayerTableRecord* ZcDbEntity::layerRecord(const ZcDbDatabase* db) const {
  if (mLayerRecord != nullptr && mLayerGeneration == zrxdb::symbolTableGeneration && mLayerDatabase == db &&
      !mLayerRecordId.stub()->erased) [[likely]]
    return mLayerRecord;
  return lookUpLayerRecord(db);
}

// Apart from the check above, so that the check needs no stack frame of its own.
const ZcDbLayerTableRecord* ZcDbEntity::lookUpLayerRecord(const ZcDbDatabase* db) const {
  mLayerRecord = nullptr;
  const auto* layers = zrxdb::peek<ZcDbLayerTable>(db->layerTableId());
  if (layers == nullptr) return nullptr;
  const ZcDbObjectId id = layers->getIdAt(mLayer);
  const auto* layer = zrxdb::peek<ZcDbLayerTableRecord>(id);
  if (layer == nullptr) return nullptr;
  mLayerRecord = layer;
  mLayerRecordId = id;
  mLayerDatabase = db;
  mLayerGeneration = zrxdb::symbolTableGeneration;
  return layer;
}

void ZcDbEntity::setDatabaseDefaults() {
  setDatabaseDefaults(database() ? database() : zcdbHostApplicationServices()->workingDatabase());
}

// The real host takes CLAYER, CECOLOR and the rest from the drawing; this host keeps no current
// layer or colour, so every drawing gives the same defaults.
void ZcDbEntity::setDatabaseDefaults(ZcDbDatabase* db) {
  (void)db;
  if (!isWriteEnabled()) return;
  mLayer = ZcString(L"0");
  forgetLayerRecord();
  mColorIndex = 256;
  mLinetype = ZcString(L"ByLayer");
  mLinetypeScale = 1.0;
  zrxdb::noteEdit(stub(), zrxhost::Edit(zrxhost::kEditLayer | zrxhost::kEditColor | zrxhost::kEditLinetype |
                                        zrxhost::kEditLinetypeScale));
}

Zcad::ErrorStatus ZcDbEntity::getGeomExtents(ZcDbExtents& extents) const {
  (void)extents;
  return Zcad::eInvalidExtents;
}

Zcad::ErrorStatus ZcDbEntity::explode(ZcArray<void*>& entitySet) const {
  (void)entitySet;
  return Zcad::eNotApplicable;
}

bool ZcDbEntity::worldDraw(ZcGiWorldDraw* mode) {
  if (mode == nullptr) return false;
  ZcGiSubEntityTraits& traits = mode->subEntityTraits();
  traits.setColor(drawColorIndex());
  traits.setTrueColor(-1);
  if (traits.layer() != mLayer) traits.setLayer(mLayer);  // a preview draws many copies on one layer
  return subWorldDraw(mode);
}

void ZcDbEntity::viewportDraw(ZcGiViewportDraw* mode) {
  if (mode != nullptr) subViewportDraw(mode);
}

bool ZcDbEntity::hitTest(const ZcGePoint3d& point, double aperture) const {
  (void)point;
  (void)aperture;
  return false;
}

Zcad::ErrorStatus ZcDbEntity::getOsnapPoints(ZcDb::OsnapMode, ZSoft::GsMarker, const ZcGePoint3d&, const ZcGePoint3d&,
                                             ZcArray<ZcGePoint3d>&) const {
  return Zcad::eOk;
}

bool ZcDbEntity::subWorldDraw(ZcGiWorldDraw* mode) {
  (void)mode;
  return false;  // nothing of its own: a viewport draw may follow
}

void ZcDbEntity::subViewportDraw(ZcGiViewportDraw* mode) {
  (void)mode;
}

void ZcDbEntity::copyFieldsTo(ZcDbObject* target) const {
  ZcDbObject::copyFieldsTo(target);
  auto* t = static_cast<ZcDbEntity*>(target);
  t->mLayer = mLayer;
  t->forgetLayerRecord();
  t->mLinetype = mLinetype;
  t->mColorIndex = mColorIndex;
  t->mLinetypeScale = mLinetypeScale;
  t->mInvisible = mInvisible;
}

bool ZcDbEntity::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbEntity&>(other);
  return ZcDbObject::hasSameFieldsAs(other) && mLayer == o.mLayer && mLinetype == o.mLinetype &&
         mColorIndex == o.mColorIndex && mLinetypeScale == o.mLinetypeScale && mInvisible == o.mInvisible;
}
