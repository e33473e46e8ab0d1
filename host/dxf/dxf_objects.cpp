// Slots to objects and back for texts, lines, inserts, 3D polylines, layers, styles and blocks.
#include "dxf/dxf_objects.h"

#include <cmath>

#include "zrx/db.h"

namespace zrxhost::dxf {

namespace {

ZcGePoint3d point(const Slots& s, std::uint8_t at) {
  return {s[at].d, s[at + 1u].d, s[at + 2u].d};
}
ZcGeVector3d vector(const Slots& s, std::uint8_t at) {
  return {s[at].d, s[at + 1u].d, s[at + 2u].d};
}

void setPoint(Slots& s, std::uint8_t at, double x, double y, double z) {
  s[at].d = x;
  s[at + 1u].d = y;
  s[at + 2u].d = z;
}
void setPoint(Slots& s, std::uint8_t at, const ZcGePoint3d& p) {
  setPoint(s, at, p.x, p.y, p.z);
}
void setPoint(Slots& s, std::uint8_t at, const ZcGeVector3d& v) {
  setPoint(s, at, v.x, v.y, v.z);
}

ZcString str(const std::u16string& s) {
  return ZcString(s);
}

void commonToEntity(const Slots& s, ZcDbEntity* e) {
  e->setLayer(str(s[kLayer].s));
  e->setLinetype(str(s[kLinetype].s));
  long long c = s[kColor].i;
  if (c >= 0 && c <= 257) e->setColorIndex(static_cast<ZSoft::UInt16>(c));
  e->setLinetypeScale(s[kLtScale].d);
}

void entityToCommon(const ZcDbEntity* e, Slots& s, bool paperSpace) {
  s[kLayer].s = e->layerName().utf16();
  s[kLinetype].s = e->linetypeName().utf16();
  s[kColor].i = e->colorIndex();
  s[kLtScale].d = e->linetypeScale();
  s[kPaperSpace].i = paperSpace ? 1 : 0;
}

template <typename T>
T* as(ZcDbObject* o) {
  return o != nullptr && o->isKindOf(T::desc()) ? static_cast<T*>(o) : nullptr;
}
template <typename T>
const T* as(const ZcDbObject* o) {
  return o != nullptr && o->isKindOf(T::desc()) ? static_cast<const T*>(o) : nullptr;
}

}  // namespace

const std::u16string& NameCache::nameOf(ZcDbObjectId id) {
  static const std::u16string kNone;
  if (id.isNull()) return kNone;
  auto found = mNames.find(id.stub());
  if (found != mNames.end()) return found->second;
  std::u16string name;
  ZcDbObject* obj = nullptr;
  if (zcdbOpenObject(obj, id, ZcDb::kForRead, true) == Zcad::eOk) {
    if (auto* rec = as<ZcDbSymbolTableRecord>(static_cast<const ZcDbObject*>(obj))) name = rec->name().utf16();
    obj->close();
  }
  return mNames.emplace(id.stub(), std::move(name)).first->second;
}

ZcDbObjectId NameCache::styleId(ZcDbDatabase* db, const std::u16string& name) {
  auto found = mStyles.find(name);
  if (found != mStyles.end()) return found->second;
  ZcDbObjectId id = db ? db->textStyleId(ZcString(name)) : ZcDbObjectId::kNull;
  mStyles.emplace(name, id);
  return id;
}

bool recordTypeOf(const ZcDbObject* obj, RecordType& type) {
  if (as<ZcDbText>(obj))
    type = RecordType::Text;
  else if (as<ZcDbMText>(obj))
    type = RecordType::MText;
  else if (as<ZcDbLine>(obj))
    type = RecordType::Line;
  else if (as<ZcDbBlockReference>(obj))
    type = RecordType::Insert;
  else if (as<ZcDb3dPolyline>(obj))
    type = RecordType::Poly3d;
  else if (as<ZcDbForeignEntity>(obj))
    type = RecordType::Foreign;
  else if (as<ZcDbLayerTableRecord>(obj))
    type = RecordType::Layer;
  else if (as<ZcDbTextStyleTableRecord>(obj))
    type = RecordType::Style;
  else if (as<ZcDbBlockTableRecord>(obj))
    type = RecordType::BlockRecord;
  else
    return false;
  return true;
}

void slotsToObject(RecordType type, const Slots& s, ZcDbObject* obj, ZcDbDatabase* db, NameCache& names) {
  if (auto* e = as<ZcDbEntity>(obj)) commonToEntity(s, e);
  switch (type) {
    case RecordType::Text: {
      using namespace text_slot;
      auto* t = as<ZcDbText>(obj);
      if (!t) return;
      t->setTextString(str(s[kString].s));
      t->setNormal(vector(s, kNormX));
      t->setThickness(s[kThickness].d);
      t->setOblique(s[kOblique].d);
      t->setRotation(s[kRotation].d);
      t->setHeight(s[kHeight].d);
      t->setWidthFactor(s[kWidth].d);
      t->mirrorInX((s[kGenFlags].i & 2) != 0);
      t->mirrorInY((s[kGenFlags].i & 4) != 0);
      if (s[kHMode].i >= 0 && s[kHMode].i <= 5) t->setHorizontalMode(static_cast<ZcDb::TextHorzMode>(s[kHMode].i));
      if (s[kVMode].i >= 0 && s[kVMode].i <= 3) t->setVerticalMode(static_cast<ZcDb::TextVertMode>(s[kVMode].i));
      t->setTextStyleName(str(s[kStyle].s));
      ZcDbObjectId style = names.styleId(db, s[kStyle].s);
      if (!style.isNull()) t->setTextStyle(style);
      t->setAlignmentPoint(point(s, kAlignX));
      t->setPosition(point(s, kPosX));
      return;
    }
    case RecordType::MText: {
      using namespace mtext_slot;
      auto* m = as<ZcDbMText>(obj);
      if (!m) return;
      m->setContents(str(s[kContents].s));
      m->setLocation(point(s, kPosX));
      m->setNormal(vector(s, kNormX));
      m->setTextHeight(s[kHeight].d);
      m->setWidth(s[kWidth].d);
      if (s[kAttach].i >= 1 && s[kAttach].i <= 9)
        m->setAttachment(static_cast<ZcDbMText::AttachmentPoint>(s[kAttach].i));
      m->setRotation(s[kRotation].d);
      if (s[kSpacingStyle].i >= 1 && s[kSpacingStyle].i <= 2)
        m->setLineSpacingStyle(static_cast<ZcDbMText::LineSpacingStyle>(s[kSpacingStyle].i));
      m->setLineSpacingFactor(s[kSpacingFactor].d);
      m->setTextStyleName(str(s[kStyle].s));
      ZcDbObjectId style = names.styleId(db, s[kStyle].s);
      if (!style.isNull()) m->setTextStyle(style);
      return;
    }
    case RecordType::Line: {
      using namespace line_slot;
      auto* l = as<ZcDbLine>(obj);
      if (!l) return;
      l->setStartPoint(point(s, kStartX));
      l->setEndPoint(point(s, kEndX));
      l->setThickness(s[kThickness].d);
      l->setNormal(vector(s, kNormX));
      return;
    }
    case RecordType::Insert: {
      using namespace insert_slot;
      auto* b = as<ZcDbBlockReference>(obj);
      if (!b) return;
      b->setBlockName(str(s[kName].s));
      b->setPosition(point(s, kPosX));
      b->setScaleFactors(vector(s, kScaleX));
      b->setRotation(s[kRotation].d);
      b->setNormal(vector(s, kNormX));
      return;
    }
    case RecordType::Poly3d: {
      auto* p = as<ZcDb3dPolyline>(obj);
      if (!p) return;
      if (s[poly_slot::kClosed].i != 0)
        p->makeClosed();
      else
        p->makeOpen();
      return;
    }
    case RecordType::Layer: {
      using namespace layer_slot;
      auto* l = as<ZcDbLayerTableRecord>(obj);
      if (!l) return;
      l->setName(str(s[kName].s));
      long long c = s[kSignedColor].i;
      l->setIsOff(c < 0);
      l->setColorIndex(static_cast<ZSoft::UInt16>(c < 0 ? -c : c));
      l->setIsFrozen(s[kFrozen].i != 0);
      return;
    }
    case RecordType::Style: {
      using namespace style_slot;
      auto* t = as<ZcDbTextStyleTableRecord>(obj);
      if (!t) return;
      t->setName(str(s[kName].s));
      t->setTextSize(s[kSize].d);
      t->setXScale(s[kXScale].d);
      t->setObliquingAngle(s[kOblique].d);
      t->setFileName(str(s[kFont].s));
      t->setBigFontFileName(str(s[kBigFont].s));
      return;
    }
    case RecordType::BlockRecord: {
      if (auto* r = as<ZcDbBlockTableRecord>(obj)) r->setName(str(s[record_slot::kName].s));
      return;
    }
    case RecordType::Block: {
      if (auto* r = as<ZcDbBlockTableRecord>(obj)) r->setOrigin(point(s, block_slot::kOriginX));
      return;
    }
    case RecordType::Vertex:
    case RecordType::Foreign:
      return;
  }
}

void objectToSlots(RecordType type, const ZcDbObject* obj, Slots& s, NameCache& names, bool paperSpace) {
  resetSlots(s, typeDef(type));
  if (auto* e = as<ZcDbEntity>(obj)) entityToCommon(e, s, paperSpace);
  switch (type) {
    case RecordType::Text: {
      using namespace text_slot;
      auto* t = as<ZcDbText>(obj);
      if (!t) return;
      s[kString].s = t->textZcString().utf16();
      setPoint(s, kNormX, t->normal());
      s[kThickness].d = t->thickness();
      s[kOblique].d = t->oblique();
      s[kRotation].d = t->rotation();
      s[kHeight].d = t->height();
      s[kWidth].d = t->widthFactor();
      s[kGenFlags].i = (t->isMirroredInX() ? 2 : 0) | (t->isMirroredInY() ? 4 : 0);
      s[kHMode].i = t->horizontalMode();
      s[kVMode].i = t->verticalMode();
      const std::u16string& byId = names.nameOf(t->textStyle());
      s[kStyle].s = byId.empty() ? t->textStyleName().utf16() : byId;
      setPoint(s, kAlignX, t->alignmentPoint());
      setPoint(s, kPosX, t->position());
      return;
    }
    case RecordType::MText: {
      using namespace mtext_slot;
      auto* m = as<ZcDbMText>(obj);
      if (!m) return;
      s[kContents].s = m->contentsString().utf16();
      setPoint(s, kPosX, m->location());
      setPoint(s, kNormX, m->normal());
      s[kHeight].d = m->textHeight();
      s[kWidth].d = m->width();
      s[kAttach].i = m->attachment();
      s[kRotation].d = m->rotation();
      s[kSpacingStyle].i = m->lineSpacingStyle();
      s[kSpacingFactor].d = m->lineSpacingFactor();
      const std::u16string& byId = names.nameOf(m->textStyle());
      s[kStyle].s = byId.empty() ? m->textStyleName().utf16() : byId;
      return;
    }
    case RecordType::Line: {
      using namespace line_slot;
      auto* l = as<ZcDbLine>(obj);
      if (!l) return;
      setPoint(s, kStartX, l->startPoint());
      setPoint(s, kEndX, l->endPoint());
      s[kThickness].d = l->thickness();
      setPoint(s, kNormX, l->normal());
      return;
    }
    case RecordType::Insert: {
      using namespace insert_slot;
      auto* b = as<ZcDbBlockReference>(obj);
      if (!b) return;
      const std::u16string& byId = names.nameOf(b->blockTableRecord());
      s[kName].s = byId.empty() ? b->blockName().utf16() : byId;
      setPoint(s, kPosX, b->position());
      setPoint(s, kScaleX, b->scaleFactors());
      s[kRotation].d = b->rotation();
      setPoint(s, kNormX, b->normal());
      return;
    }
    case RecordType::Poly3d: {
      if (auto* p = as<ZcDb3dPolyline>(obj)) s[poly_slot::kClosed].i = p->isClosed() ? 1 : 0;
      return;
    }
    case RecordType::Layer: {
      using namespace layer_slot;
      auto* l = as<ZcDbLayerTableRecord>(obj);
      if (!l) return;
      s[kName].s = l->name().utf16();
      s[kSignedColor].i = l->isOff() ? -static_cast<long long>(l->colorIndex()) : l->colorIndex();
      s[kFrozen].i = l->isFrozen() ? 1 : 0;
      return;
    }
    case RecordType::Style: {
      using namespace style_slot;
      auto* t = as<ZcDbTextStyleTableRecord>(obj);
      if (!t) return;
      s[kName].s = t->name().utf16();
      s[kSize].d = t->textSize();
      s[kXScale].d = t->xScale();
      s[kOblique].d = t->obliquingAngle();
      s[kFont].s = t->fileName().utf16();
      s[kBigFont].s = t->bigFontFileName().utf16();
      return;
    }
    case RecordType::BlockRecord: {
      if (auto* r = as<ZcDbBlockTableRecord>(obj)) s[record_slot::kName].s = r->name().utf16();
      return;
    }
    case RecordType::Block: {
      if (auto* r = as<ZcDbBlockTableRecord>(obj)) {
        s[block_slot::kName].s = r->name().utf16();
        setPoint(s, block_slot::kOriginX, r->origin());
      }
      return;
    }
    case RecordType::Vertex:
    case RecordType::Foreign:
      return;
  }
}

}  // namespace zrxhost::dxf
