// One descriptor per DXF record type the host models: its groups, its class and how slots map to it.
#include "dxf/dxf_objects.h"

#include <bit>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "zrx/db.h"
#include "zrxhost/edits.h"

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

bool isWanted(SlotMask wanted, std::uint8_t slot) {
  return (wanted >> slot & 1) != 0;
}
// Whether any of the three slots of a point from `at` is wanted.
bool isPointWanted(SlotMask wanted, std::uint8_t at) {
  return (wanted >> at & 7) != 0;
}

void entityToCommon(const ZcDbEntity* e, Slots& s, bool paperSpace, SlotMask wanted) {
  if (isWanted(wanted, kLayer)) s[kLayer].s = e->layerName().utf16();
  if (isWanted(wanted, kLinetype)) s[kLinetype].s = e->linetypeName().utf16();
  if (isWanted(wanted, kColor)) s[kColor].i = e->colorIndex();
  if (isWanted(wanted, kLtScale)) s[kLtScale].d = e->linetypeScale();
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

SlotValue real(double d) {
  return {d, 0, {}};
}
SlotValue integer(long long i) {
  return {0, i, {}};
}
SlotValue text(const char16_t* s) {
  return {0, 0, s};
}

void addCommon(TypeDef& t) {
  t.defaults = {text(u"0"), text(u"ByLayer"), integer(256), real(1), integer(0)};
  t.fields = {{"AcDbEntity", 67, kPaperSpace, Kind::Int},
              {"AcDbEntity", 8, kLayer, Kind::Text},
              {"AcDbEntity", 6, kLinetype, Kind::Text},
              {"AcDbEntity", 62, kColor, Kind::Int},
              {"AcDbEntity", 48, kLtScale, Kind::Real}};
}

void addPoint(TypeDef& t, const char* sub, short code, std::uint8_t slot, double x = 0, double y = 0, double z = 0,
              Kind kx = Kind::Real, Kind ky = Kind::Real, Kind kz = Kind::Real) {
  t.fields.push_back({sub, code, slot, kx});
  t.fields.push_back({sub, static_cast<short>(code + 10), static_cast<std::uint8_t>(slot + 1), ky});
  t.fields.push_back({sub, static_cast<short>(code + 20), static_cast<std::uint8_t>(slot + 2), kz});
  t.defaults.resize(std::max<std::size_t>(t.defaults.size(), slot + 3u));
  t.defaults[slot] = real(x);
  t.defaults[slot + 1u] = real(y);
  t.defaults[slot + 2u] = real(z);
}

void setDefault(TypeDef& t, std::uint8_t slot, SlotValue v) {
  if (t.defaults.size() <= slot) t.defaults.resize(slot + 1u);
  t.defaults[slot] = std::move(v);
}

template <typename T>
ZcDbObject* make() {
  return new T;
}

// TEXT
TypeDef textFields() {
  using namespace text_slot;
  TypeDef t;
  t.type = RecordType::Text;
  addCommon(t);
  const char* s = "AcDbText";
  t.fields.push_back({s, 39, kThickness, Kind::Real});
  setDefault(t, kThickness, real(0));
  addPoint(t, s, 10, kPosX, 0, 0, 0, Kind::PosX, Kind::PosY, Kind::PosZ);
  t.fields.push_back({s, 40, kHeight, Kind::Real});
  t.fields.push_back({s, 1, kString, Kind::Text});
  t.fields.push_back({s, 50, kRotation, Kind::Angle});
  t.fields.push_back({s, 41, kWidth, Kind::Real});
  t.fields.push_back({s, 51, kOblique, Kind::Angle});
  t.fields.push_back({s, 7, kStyle, Kind::Text});
  t.fields.push_back({s, 71, kGenFlags, Kind::Int});
  t.fields.push_back({s, 72, kHMode, Kind::Int});
  addPoint(t, s, 11, kAlignX);
  addPoint(t, s, 210, kNormX, 0, 0, 1);
  t.fields.push_back({"AcDbText#2", 73, kVMode, Kind::Int});
  setDefault(t, kHeight, real(1));
  setDefault(t, kString, text(u""));
  setDefault(t, kRotation, real(0));
  setDefault(t, kWidth, real(1));
  setDefault(t, kOblique, real(0));
  setDefault(t, kStyle, text(u"Standard"));
  setDefault(t, kGenFlags, integer(0));
  setDefault(t, kHMode, integer(0));
  setDefault(t, kVMode, integer(0));
  return t;
}

void textToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase* db, NameCache& names) {
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

void textToSlots(const ZcDbObject* obj, Slots& s, NameCache& names, SlotMask wanted) {
  using namespace text_slot;
  auto* t = as<ZcDbText>(obj);
  if (!t) return;
  if (isWanted(wanted, kString)) s[kString].s = t->textZcString().utf16();
  if (isPointWanted(wanted, kNormX)) setPoint(s, kNormX, t->normal());
  if (isWanted(wanted, kThickness)) s[kThickness].d = t->thickness();
  if (isWanted(wanted, kOblique)) s[kOblique].d = t->oblique();
  if (isWanted(wanted, kRotation)) s[kRotation].d = t->rotation();
  if (isWanted(wanted, kHeight)) s[kHeight].d = t->height();
  if (isWanted(wanted, kWidth)) s[kWidth].d = t->widthFactor();
  if (isWanted(wanted, kGenFlags)) s[kGenFlags].i = (t->isMirroredInX() ? 2 : 0) | (t->isMirroredInY() ? 4 : 0);
  if (isWanted(wanted, kHMode)) s[kHMode].i = t->horizontalMode();
  if (isWanted(wanted, kVMode)) s[kVMode].i = t->verticalMode();
  if (isWanted(wanted, kStyle)) {
    const std::u16string& byId = names.nameOf(t->textStyle());
    s[kStyle].s = byId.empty() ? t->textStyleName().utf16() : byId;
  }
  if (isPointWanted(wanted, kAlignX)) setPoint(s, kAlignX, t->alignmentPoint());
  if (isPointWanted(wanted, kPosX)) setPoint(s, kPosX, t->position());
}

// MTEXT
TypeDef mtextFields() {
  using namespace mtext_slot;
  TypeDef t;
  t.type = RecordType::MText;
  addCommon(t);
  const char* s = "AcDbMText";
  addPoint(t, s, 10, kPosX);
  t.fields.push_back({s, 40, kHeight, Kind::Real});
  t.fields.push_back({s, 41, kWidth, Kind::Real});
  t.fields.push_back({s, 71, kAttach, Kind::Int});
  t.fields.push_back({s, 3, kContents, Kind::Chunks});
  t.fields.push_back({s, 1, kContents, Kind::Chunks});
  t.fields.push_back({s, 7, kStyle, Kind::Text});
  addPoint(t, s, 210, kNormX, 0, 0, 1);
  t.fields.push_back({s, 11, kRotation, Kind::DirX});
  t.fields.push_back({s, 21, kRotation, Kind::DirY});
  t.fields.push_back({s, 31, kRotation, Kind::DirZ});
  t.fields.push_back({s, 50, kRotation, Kind::Angle});
  t.fields.push_back({s, 73, kSpacingStyle, Kind::Int});
  t.fields.push_back({s, 44, kSpacingFactor, Kind::Real});
  setDefault(t, kHeight, real(1));
  setDefault(t, kWidth, real(0));
  setDefault(t, kAttach, integer(1));
  setDefault(t, kContents, text(u""));
  setDefault(t, kStyle, text(u"Standard"));
  setDefault(t, kRotation, real(0));
  setDefault(t, kSpacingStyle, integer(1));
  setDefault(t, kSpacingFactor, real(1));
  return t;
}

void mtextToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase* db, NameCache& names) {
  using namespace mtext_slot;
  auto* m = as<ZcDbMText>(obj);
  if (!m) return;
  m->setContents(str(s[kContents].s));
  m->setLocation(point(s, kPosX));
  m->setNormal(vector(s, kNormX));
  m->setTextHeight(s[kHeight].d);
  m->setWidth(s[kWidth].d);
  if (s[kAttach].i >= 1 && s[kAttach].i <= 9) m->setAttachment(static_cast<ZcDbMText::AttachmentPoint>(s[kAttach].i));
  m->setRotation(s[kRotation].d);
  if (s[kSpacingStyle].i >= 1 && s[kSpacingStyle].i <= 2)
    m->setLineSpacingStyle(static_cast<ZcDbMText::LineSpacingStyle>(s[kSpacingStyle].i));
  m->setLineSpacingFactor(s[kSpacingFactor].d);
  m->setTextStyleName(str(s[kStyle].s));
  ZcDbObjectId style = names.styleId(db, s[kStyle].s);
  if (!style.isNull()) m->setTextStyle(style);
  return;
}

void mtextToSlots(const ZcDbObject* obj, Slots& s, NameCache& names, SlotMask wanted) {
  using namespace mtext_slot;
  auto* m = as<ZcDbMText>(obj);
  if (!m) return;
  if (isWanted(wanted, kContents)) s[kContents].s = m->contentsString().utf16();
  setPoint(s, kPosX, m->location());
  setPoint(s, kNormX, m->normal());
  s[kHeight].d = m->textHeight();
  s[kWidth].d = m->width();
  s[kAttach].i = m->attachment();
  s[kRotation].d = m->rotation();
  s[kSpacingStyle].i = m->lineSpacingStyle();
  s[kSpacingFactor].d = m->lineSpacingFactor();
  if (isWanted(wanted, kStyle)) {
    const std::u16string& byId = names.nameOf(m->textStyle());
    s[kStyle].s = byId.empty() ? m->textStyleName().utf16() : byId;
  }
  return;
}

// LINE
TypeDef lineFields() {
  using namespace line_slot;
  TypeDef t;
  t.type = RecordType::Line;
  addCommon(t);
  const char* s = "AcDbLine";
  t.fields.push_back({s, 39, kThickness, Kind::Real});
  setDefault(t, kThickness, real(0));
  addPoint(t, s, 10, kStartX);
  addPoint(t, s, 11, kEndX);
  addPoint(t, s, 210, kNormX, 0, 0, 1);
  return t;
}

void lineToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
  using namespace line_slot;
  auto* l = as<ZcDbLine>(obj);
  if (!l) return;
  l->setStartPoint(point(s, kStartX));
  l->setEndPoint(point(s, kEndX));
  l->setThickness(s[kThickness].d);
  l->setNormal(vector(s, kNormX));
  return;
}

void lineToSlots(const ZcDbObject* obj, Slots& s, NameCache&, SlotMask wanted) {
  using namespace line_slot;
  auto* l = as<ZcDbLine>(obj);
  if (!l) return;
  if (isPointWanted(wanted, kStartX)) setPoint(s, kStartX, l->startPoint());
  if (isPointWanted(wanted, kEndX)) setPoint(s, kEndX, l->endPoint());
  if (isWanted(wanted, kThickness)) s[kThickness].d = l->thickness();
  if (isPointWanted(wanted, kNormX)) setPoint(s, kNormX, l->normal());
}

// INSERT
TypeDef insertFields() {
  using namespace insert_slot;
  TypeDef t;
  t.type = RecordType::Insert;
  addCommon(t);
  const char* s = "AcDbBlockReference";
  t.fields.push_back({s, 2, kName, Kind::Text});
  setDefault(t, kName, text(u""));
  addPoint(t, s, 10, kPosX);
  addPoint(t, s, 41, kScaleX, 1, 1, 1);
  // 41, 42, 43 are consecutive codes, not a point: fix the two generated ones.
  t.fields[t.fields.size() - 2].code = 42;
  t.fields[t.fields.size() - 1].code = 43;
  t.fields.push_back({s, 50, kRotation, Kind::Angle});
  setDefault(t, kRotation, real(0));
  addPoint(t, s, 210, kNormX, 0, 0, 1);
  return t;
}

void insertToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
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

void insertToSlots(const ZcDbObject* obj, Slots& s, NameCache& names, SlotMask) {
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

// POLYLINE
TypeDef poly3dFields() {
  TypeDef t;
  t.type = RecordType::Poly3d;
  addCommon(t);
  t.fields.push_back({"AcDb3dPolyline", 70, poly_slot::kClosed, Kind::Flag, 1});
  setDefault(t, poly_slot::kClosed, integer(0));
  return t;
}

void poly3dToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
  auto* p = as<ZcDb3dPolyline>(obj);
  if (!p) return;
  if (s[poly_slot::kClosed].i != 0)
    p->makeClosed();
  else
    p->makeOpen();
  return;
}

void poly3dToSlots(const ZcDbObject* obj, Slots& s, NameCache&, SlotMask) {
  if (auto* p = as<ZcDb3dPolyline>(obj)) s[poly_slot::kClosed].i = p->isClosed() ? 1 : 0;
  return;
}

// LAYER
TypeDef layerFields() {
  using namespace layer_slot;
  TypeDef t;
  t.type = RecordType::Layer;
  const char* s = "AcDbLayerTableRecord";
  t.fields = {{s, 2, kName, Kind::Text}, {s, 70, kFrozen, Kind::Flag, 1}, {s, 62, kSignedColor, Kind::Int}};
  t.defaults = {text(u""), integer(0), integer(7)};
  return t;
}

void layerToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
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

void layerToSlots(const ZcDbObject* obj, Slots& s, NameCache&, SlotMask) {
  using namespace layer_slot;
  auto* l = as<ZcDbLayerTableRecord>(obj);
  if (!l) return;
  s[kName].s = l->name().utf16();
  s[kSignedColor].i = l->isOff() ? -static_cast<long long>(l->colorIndex()) : l->colorIndex();
  s[kFrozen].i = l->isFrozen() ? 1 : 0;
  return;
}

// STYLE
TypeDef styleFields() {
  using namespace style_slot;
  TypeDef t;
  t.type = RecordType::Style;
  const char* s = "AcDbTextStyleTableRecord";
  t.fields = {{s, 2, kName, Kind::Text},      {s, 40, kSize, Kind::Real}, {s, 41, kXScale, Kind::Real},
              {s, 50, kOblique, Kind::Angle}, {s, 3, kFont, Kind::Text},  {s, 4, kBigFont, Kind::Text}};
  t.defaults = {text(u""), real(0), real(1), real(0), text(u""), text(u"")};
  return t;
}

void styleToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
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

void styleToSlots(const ZcDbObject* obj, Slots& s, NameCache&, SlotMask) {
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

// BLOCK_RECORD
TypeDef blockRecordFields() {
  TypeDef t;
  t.type = RecordType::BlockRecord;
  t.fields = {{"AcDbBlockTableRecord", 2, record_slot::kName, Kind::Text}};
  t.defaults = {text(u"")};
  return t;
}

void blockRecordToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
  if (auto* r = as<ZcDbBlockTableRecord>(obj)) r->setName(str(s[record_slot::kName].s));
  return;
}

void blockRecordToSlots(const ZcDbObject* obj, Slots& s, NameCache&, SlotMask) {
  if (auto* r = as<ZcDbBlockTableRecord>(obj)) s[record_slot::kName].s = r->name().utf16();
  return;
}

// BLOCK
TypeDef blockFields() {
  TypeDef t;
  t.type = RecordType::Block;
  const char* s = "AcDbBlockBegin";
  t.fields.push_back({s, 2, block_slot::kName, Kind::BlockName});
  setDefault(t, block_slot::kName, text(u""));
  addPoint(t, s, 10, block_slot::kOriginX);
  t.fields.push_back({s, 3, block_slot::kName, Kind::BlockName});
  return t;
}

void blockToObject(const Slots& s, ZcDbObject* obj, ZcDbDatabase*, NameCache&) {
  if (auto* r = as<ZcDbBlockTableRecord>(obj)) r->setOrigin(point(s, block_slot::kOriginX));
  return;
}

void blockToSlots(const ZcDbObject* obj, Slots& s, NameCache&, SlotMask) {
  if (auto* r = as<ZcDbBlockTableRecord>(obj)) {
    s[block_slot::kName].s = r->name().utf16();
    setPoint(s, block_slot::kOriginX, r->origin());
  }
  return;
}

// VERTEX
TypeDef vertexFields() {
  TypeDef t;
  t.type = RecordType::Vertex;
  addCommon(t);
  addPoint(t, "AcDb3dPolylineVertex", 10, vertex_slot::kX);
  return t;
}

// Any entity the host keeps as tags
TypeDef foreignFields() {
  TypeDef t;
  t.type = RecordType::Foreign;
  addCommon(t);
  return t;
}

void noObject(const Slots&, ZcDbObject*, ZcDbDatabase*, NameCache&) {}
void noSlots(const ZcDbObject*, Slots&, NameCache&, SlotMask) {}

template <typename Table>
ZcDbSymbolTable* makeTable() {
  return new Table;
}

// Whether an entity built from `value` in one of the slots every entity has keeps it as read:
// commonToEntity and ZcDbEntity's setters refuse the rest.
bool entityKeepsAsRead(std::uint8_t slot, const SlotValue& value) {
  switch (slot) {
    case kLayer:
    case kLinetype:
      return !value.s.empty();
    case kColor:
      return value.i >= 0 && value.i <= 256;
    case kLtScale:
      return value.d > 0 && std::isfinite(value.d);
    default:
      return false;
  }
}

SlotMask slotMask(std::initializer_list<std::uint8_t> slots) {
  SlotMask mask = 0;
  for (std::uint8_t slot : slots) mask |= SlotMask{1} << slot;
  return mask;
}

void setExact(RecordDescriptor& d, std::initializer_list<std::uint8_t> slots) {
  d.exactSlots |= slotMask(slots);
}

struct EditSlots {
  Edit edit;
  SlotMask slots;
};

// The slots of each Edit bit: those of ZcDbEntity's properties, then `own` (the class's). An edit of
// several bits (a point's coordinates) names as many slots, bit by bit in order.
void setEditSlots(RecordDescriptor& d, std::initializer_list<EditSlots> own) {
  const EditSlots common[] = {{kEditLayer, slotMask({kLayer})},
                              {kEditColor, slotMask({kColor})},
                              {kEditLinetype, slotMask({kLinetype})},
                              {kEditLinetypeScale, slotMask({kLtScale})}};
  d.slotsOfEdit.assign(32, 0);
  auto add = [&d](const EditSlots& e) {
    const bool bitBySlot = std::popcount(std::uint32_t{e.edit}) > 1;
    SlotMask slots = e.slots;
    for (std::uint32_t bits = e.edit; bits != 0; bits &= bits - 1) {
      const SlotMask slot = bitBySlot ? slots & -slots : slots;  // the lowest slot left, or all of them
      d.slotsOfEdit[static_cast<std::size_t>(std::countr_zero(bits))] |= slot;
      slots &= ~slot;
    }
  };
  for (const EditSlots& e : common) add(e);
  for (const EditSlots& e : own) add(e);
}

std::vector<RecordDescriptor> makeDescriptors() {
  std::vector<RecordDescriptor> d;
  d.push_back({RecordType::Text, "TEXT", &ZcDbText::desc, make<ZcDbText>, indexFields(textFields()), textToObject,
               textToSlots});
  d.push_back({RecordType::MText, "MTEXT", &ZcDbMText::desc, make<ZcDbMText>, indexFields(mtextFields()), mtextToObject,
               mtextToSlots});
  d.push_back({RecordType::Line, "LINE", &ZcDbLine::desc, make<ZcDbLine>, indexFields(lineFields()), lineToObject,
               lineToSlots});
  d.push_back({RecordType::Insert, "INSERT", &ZcDbBlockReference::desc, make<ZcDbBlockReference>,
               indexFields(insertFields()), insertToObject, insertToSlots});
  d.push_back({RecordType::Poly3d, "POLYLINE", &ZcDb3dPolyline::desc, make<ZcDb3dPolyline>, indexFields(poly3dFields()),
               poly3dToObject, poly3dToSlots});
  d.push_back({RecordType::Layer, "LAYER", &ZcDbLayerTableRecord::desc, make<ZcDbLayerTableRecord>,
               indexFields(layerFields()), layerToObject, layerToSlots, 0, makeTable<ZcDbLayerTable>,
               &ZcDbDatabase::layerTableId, &ZcDbDatabase::setLayerTableId});
  d.push_back({RecordType::Style, "STYLE", &ZcDbTextStyleTableRecord::desc, make<ZcDbTextStyleTableRecord>,
               indexFields(styleFields()), styleToObject, styleToSlots, 0, makeTable<ZcDbTextStyleTable>,
               &ZcDbDatabase::textStyleTableId, &ZcDbDatabase::setTextStyleTableId});
  d.push_back({RecordType::BlockRecord, "BLOCK_RECORD", &ZcDbBlockTableRecord::desc, make<ZcDbBlockTableRecord>,
               indexFields(blockRecordFields()), blockRecordToObject, blockRecordToSlots, 0, makeTable<ZcDbBlockTable>,
               &ZcDbDatabase::blockTableId, &ZcDbDatabase::setBlockTableId});
  d.push_back({RecordType::Block, "BLOCK", nullptr, nullptr, indexFields(blockFields()), blockToObject, blockToSlots});
  d.push_back({RecordType::Vertex, "VERTEX", nullptr, nullptr, indexFields(vertexFields()), noObject, noSlots});
  d.push_back(
      {RecordType::Foreign, "", &ZcDbForeignEntity::desc, nullptr, indexFields(foreignFields()), noObject, noSlots});
  {
    using namespace text_slot;
    setEditSlots(d[0], {{kEditPosition, slotMask({kPosX, kPosY, kPosZ})},
                        {kEditAlignmentPoint, slotMask({kAlignX, kAlignY, kAlignZ})},
                        {kEditNormal, slotMask({kNormX, kNormY, kNormZ})},
                        {kEditThickness, slotMask({kThickness})},
                        {kEditRotation, slotMask({kRotation})},
                        {kEditHeight, slotMask({kHeight})},
                        {kEditWidth, slotMask({kWidth})},
                        {kEditOblique, slotMask({kOblique})},
                        {kEditMirror, slotMask({kGenFlags})},
                        {kEditJustification, slotMask({kHMode, kVMode})},
                        {kEditStyle, slotMask({kStyle})},
                        {kEditContents, slotMask({kString})}});
    d[0].referenceSlots = slotMask({kStyle});
    d[0].keepsAsRead = entityKeepsAsRead;
  }
  {
    using namespace line_slot;
    setEditSlots(d[2], {{kEditPosition, slotMask({kStartX, kStartY, kStartZ})},
                        {kEditEndPoint, slotMask({kEndX, kEndY, kEndZ})},
                        {kEditThickness, slotMask({kThickness})},
                        {kEditNormal, slotMask({kNormX, kNormY, kNormZ})}});
    d[2].keepsAsRead = entityKeepsAsRead;
  }
  setExact(d[0], {text_slot::kPosX, text_slot::kPosY, text_slot::kPosZ, text_slot::kAlignX, text_slot::kAlignY,
                  text_slot::kAlignZ, text_slot::kRotation, text_slot::kThickness});
  setExact(d[1], {mtext_slot::kPosX, mtext_slot::kPosY, mtext_slot::kPosZ});
  setExact(d[2], {line_slot::kStartX, line_slot::kStartY, line_slot::kStartZ, line_slot::kEndX, line_slot::kEndY,
                  line_slot::kEndZ, line_slot::kThickness});
  setExact(d[3], {insert_slot::kPosX, insert_slot::kPosY, insert_slot::kPosZ, insert_slot::kRotation});
  return d;
}

const std::vector<RecordDescriptor>& descriptors() {
  static const std::vector<RecordDescriptor> all = makeDescriptors();
  return all;
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

const RecordDescriptor& descriptor(RecordType type) {
  for (const RecordDescriptor& d : descriptors())
    if (d.type == type) return d;
  return descriptors().back();  // unreachable: every type has its descriptor
}

const TypeDef& typeDef(RecordType type) {
  return descriptor(type).fields;
}

const RecordDescriptor* entityDescriptor(std::string_view dxfName) {
  for (const RecordDescriptor& d : descriptors())
    if (d.make != nullptr && d.makeTable == nullptr && dxfName == d.dxfName) return &d;
  return nullptr;
}

const RecordDescriptor* tableDescriptor(std::string_view tableName) {
  for (const RecordDescriptor& d : descriptors())
    if (d.makeTable != nullptr && tableName == d.dxfName) return &d;
  return nullptr;
}

SlotMask editedSlots(const RecordDescriptor& d, std::uint32_t edits, bool namesAsRead) {
  SlotMask slots = namesAsRead ? 0 : d.referenceSlots;
  for (; edits != 0; edits &= edits - 1) slots |= d.slotsOfEdit[static_cast<std::size_t>(std::countr_zero(edits))];
  return slots;
}

const RecordDescriptor* descriptorOf(const ZcDbObject& obj) {
  // The exact class first: the usual case, and cheaper than walking the class tree.
  const ZcRxClass* cls = obj.isA();
  for (const RecordDescriptor& d : descriptors())
    if (d.rxClass != nullptr && d.rxClass() == cls) return &d;
  for (const RecordDescriptor& d : descriptors())
    if (d.rxClass != nullptr && obj.isKindOf(d.rxClass())) return &d;
  return nullptr;
}

void slotsToObject(const RecordDescriptor& d, const Slots& s, ZcDbObject& obj, ZcDbDatabase* db, NameCache& names) {
  if (auto* e = as<ZcDbEntity>(&obj)) commonToEntity(s, e);
  d.toObject(s, &obj, db, names);
}

void objectToSlots(const RecordDescriptor& d, const ZcDbObject& obj, Slots& s, NameCache& names, bool paperSpace,
                   SlotMask wanted) {
  // Reset to the type's defaults only when last filled for another type: every call sets the wanted
  // slots, and promises nothing of the others.
  if (s.filledAs != &d.fields) resetSlots(s, d.fields);
  s.filledAs = &d.fields;
  if (d.describesEntities()) {
    entityToCommon(static_cast<const ZcDbEntity*>(&obj), s, paperSpace, wanted);
    if ((wanted >> kFirstOwnSlot) == 0) return;  // only what every entity has (a colour changed)
  }
  d.toSlots(&obj, s, names, wanted);
}

bool refusalsCannotMatter(const RecordDescriptor& d, const Slots& read, const Slots& now) {
  for (std::size_t s = 0; s < read.v.size(); ++s) {
    const SlotValue& a = read.v[s];
    const SlotValue& b = now.v[s];
    if (a.d == b.d && a.i == b.i && a.s == b.s) continue;
    if (s >= 64 || (d.exactSlots >> s & 1) == 0 || !std::isfinite(a.d)) return false;
  }
  return true;
}

void refusedValues(const RecordDescriptor& d, const Slots& read, ZcDbDatabase* db, NameCache& names,
                   std::vector<std::pair<std::uint8_t, SlotValue>>& refused) {
  refused.clear();
  if (d.make == nullptr) return;
  std::unique_ptr<ZcDbObject> made(d.make());
  slotsToObject(d, read, *made, db, names);
  thread_local Slots kept;
  const bool paperSpace = as<ZcDbEntity>(made.get()) != nullptr && read[kPaperSpace].i != 0;
  objectToSlots(d, *made, kept, names, paperSpace);
  for (std::size_t s = 0; s < read.v.size(); ++s) {
    const SlotValue& a = read.v[s];
    const SlotValue& b = kept.v[s];
    if (a.d == b.d && a.i == b.i && a.s == b.s) continue;
    if (a.d != a.d && b.d != b.d && a.i == b.i && a.s == b.s) continue;
    refused.emplace_back(static_cast<std::uint8_t>(s), b);
  }
}

}  // namespace zrxhost::dxf
