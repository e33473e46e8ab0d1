// One descriptor per DXF record type the host models: its groups, its class and how slots map to it.
#include "dxf/dxf_objects.h"

#include <bit>
#include <cmath>
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

// What ZcDbEntity's setters (through commonToEntity) keep as read of the fields every entity has.
bool notEmpty(const SlotValue& v) {
  return !v.s.empty();
}
bool colourIndex(const SlotValue& v) {
  return v.i >= 0 && v.i <= 256;
}
bool positiveScale(const SlotValue& v) {
  return v.d > 0 && std::isfinite(v.d);
}

// The fields every entity has, first in its record.
TypeDef entityFields(RecordType type) {
  const char* s = "AcDbEntity";
  TypeDef t;
  t.type = type;
  t.fields = {
      {.subclass = s, .code = 67, .slot = kPaperSpace, .kind = Kind::Int, .byDefault = integer(0)},
      {.subclass = s,
       .code = 8,
       .slot = kLayer,
       .kind = Kind::Text,
       .byDefault = text(u"0"),
       .edit = kEditLayer,
       .keeps = notEmpty},
      {.subclass = s,
       .code = 6,
       .slot = kLinetype,
       .kind = Kind::Text,
       .byDefault = text(u"ByLayer"),
       .edit = kEditLinetype,
       .keeps = notEmpty},
      {.subclass = s,
       .code = 62,
       .slot = kColor,
       .kind = Kind::Int,
       .byDefault = integer(256),
       .edit = kEditColor,
       .keeps = colourIndex},
      {.subclass = s,
       .code = 48,
       .slot = kLtScale,
       .kind = Kind::Real,
       .byDefault = real(1),
       .edit = kEditLinetypeScale,
       .keeps = positiveScale},
  };
  return t;
}

// The three fields of a point, declared by its x's: group codes `step` apart, slots in a row, the
// defaults (x's, `y`, `z`). Where the setter tells each coordinate (`perCoordinate`), the y's and
// z's Edit bits are the two after the x's; else the three share the x's bit.
void addPoint(TypeDef& t, FieldDef x, double y = 0, double z = 0, bool perCoordinate = false, short step = 10) {
  const double defaults[] = {x.byDefault.d, y, z};
  for (int i = 0; i < 3; ++i) {
    FieldDef f = x;
    f.code = static_cast<short>(x.code + i * step);
    f.slot = static_cast<std::uint8_t>(x.slot + i);
    f.byDefault = real(defaults[i]);
    if (x.kind == Kind::PosX) f.kind = i == 1 ? Kind::PosY : i == 2 ? Kind::PosZ : Kind::PosX;
    if (perCoordinate) f.edit = x.edit << i;
    t.fields.push_back(f);
  }
}

template <typename T>
ZcDbObject* make() {
  return new T;
}

// TEXT
TypeDef textFields() {
  using namespace text_slot;
  TypeDef t = entityFields(RecordType::Text);
  const char* s = "AcDbText";
  auto field = [&](short code, std::uint8_t slot, Kind kind, SlotValue byDefault, std::uint32_t edit) {
    t.fields.push_back({.subclass = s, .code = code, .slot = slot, .kind = kind, .byDefault = byDefault, .edit = edit});
  };
  t.fields.push_back({.subclass = s,
                      .code = 39,
                      .slot = kThickness,
                      .kind = Kind::Real,
                      .byDefault = real(0),
                      .edit = kEditThickness,
                      .exact = true});
  addPoint(t, {.subclass = s, .code = 10, .slot = kPosX, .kind = Kind::PosX, .edit = kEditPositionX, .exact = true}, 0,
           0, true);
  field(40, kHeight, Kind::Real, real(1), kEditHeight);
  field(1, kString, Kind::Text, text(u""), kEditContents);
  t.fields.push_back({.subclass = s,
                      .code = 50,
                      .slot = kRotation,
                      .kind = Kind::Angle,
                      .byDefault = real(0),
                      .edit = kEditRotation,
                      .exact = true});
  field(41, kWidth, Kind::Real, real(1), kEditWidth);
  field(51, kOblique, Kind::Angle, real(0), kEditOblique);
  // The style is named through its id: a style renamed changes it without a setter of the text.
  t.fields.push_back({.subclass = s,
                      .code = 7,
                      .slot = kStyle,
                      .kind = Kind::Text,
                      .byDefault = text(u"Standard"),
                      .edit = kEditStyle,
                      .reference = true});
  field(71, kGenFlags, Kind::Int, integer(0), kEditMirror);
  field(72, kHMode, Kind::Int, integer(0), kEditJustification);
  addPoint(
      t, {.subclass = s, .code = 11, .slot = kAlignX, .kind = Kind::Real, .edit = kEditAlignmentPointX, .exact = true},
      0, 0, true);
  addPoint(t, {.subclass = s, .code = 210, .slot = kNormX, .kind = Kind::Real, .edit = kEditNormal}, 0, 1);
  t.fields.push_back({.subclass = "AcDbText#2",
                      .code = 73,
                      .slot = kVMode,
                      .kind = Kind::Int,
                      .byDefault = integer(0),
                      .edit = kEditJustification});
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
  TypeDef t = entityFields(RecordType::MText);
  const char* s = "AcDbMText";
  auto field = [&](short code, std::uint8_t slot, Kind kind, SlotValue byDefault = {}) {
    t.fields.push_back({.subclass = s, .code = code, .slot = slot, .kind = kind, .byDefault = byDefault});
  };
  addPoint(t, {.subclass = s, .code = 10, .slot = kPosX, .kind = Kind::Real, .exact = true});
  field(40, kHeight, Kind::Real, real(1));
  field(41, kWidth, Kind::Real, real(0));
  field(71, kAttach, Kind::Int, integer(1));
  field(3, kContents, Kind::Chunks, text(u""));
  field(1, kContents, Kind::Chunks);
  field(7, kStyle, Kind::Text, text(u"Standard"));
  addPoint(t, {.subclass = s, .code = 210, .slot = kNormX, .kind = Kind::Real}, 0, 1);
  // The rotation: an x axis, when given, wins over the angle.
  field(11, kRotation, Kind::DirX, real(0));
  field(21, kRotation, Kind::DirY);
  field(31, kRotation, Kind::DirZ);
  field(50, kRotation, Kind::Angle);
  field(73, kSpacingStyle, Kind::Int, integer(1));
  field(44, kSpacingFactor, Kind::Real, real(1));
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
  TypeDef t = entityFields(RecordType::Line);
  const char* s = "AcDbLine";
  t.fields.push_back({.subclass = s,
                      .code = 39,
                      .slot = kThickness,
                      .kind = Kind::Real,
                      .byDefault = real(0),
                      .edit = kEditThickness,
                      .exact = true});
  addPoint(t, {.subclass = s, .code = 10, .slot = kStartX, .kind = Kind::Real, .edit = kEditPositionX, .exact = true},
           0, 0, true);
  addPoint(t, {.subclass = s, .code = 11, .slot = kEndX, .kind = Kind::Real, .edit = kEditEndPointX, .exact = true}, 0,
           0, true);
  addPoint(t, {.subclass = s, .code = 210, .slot = kNormX, .kind = Kind::Real, .edit = kEditNormal}, 0, 1);
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
  TypeDef t = entityFields(RecordType::Insert);
  const char* s = "AcDbBlockReference";
  t.fields.push_back({.subclass = s, .code = 2, .slot = kName, .kind = Kind::Text, .byDefault = text(u"")});
  addPoint(t, {.subclass = s, .code = 10, .slot = kPosX, .kind = Kind::Real, .exact = true});
  // 41, 42, 43: consecutive codes, not a point's.
  addPoint(t, {.subclass = s, .code = 41, .slot = kScaleX, .kind = Kind::Real, .byDefault = real(1)}, 1, 1, false, 1);
  t.fields.push_back(
      {.subclass = s, .code = 50, .slot = kRotation, .kind = Kind::Angle, .byDefault = real(0), .exact = true});
  addPoint(t, {.subclass = s, .code = 210, .slot = kNormX, .kind = Kind::Real}, 0, 1);
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
  TypeDef t = entityFields(RecordType::Poly3d);
  t.fields.push_back({.subclass = "AcDb3dPolyline",
                      .code = 70,
                      .slot = poly_slot::kClosed,
                      .kind = Kind::Flag,
                      .byDefault = integer(0),
                      .mask = 1});
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
  t.fields = {{.subclass = s, .code = 2, .slot = kName, .kind = Kind::Text, .byDefault = text(u"")},
              {.subclass = s, .code = 70, .slot = kFrozen, .kind = Kind::Flag, .byDefault = integer(0), .mask = 1},
              {.subclass = s, .code = 62, .slot = kSignedColor, .kind = Kind::Int, .byDefault = integer(7)}};
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
  t.fields = {{.subclass = s, .code = 2, .slot = kName, .kind = Kind::Text, .byDefault = text(u"")},
              {.subclass = s, .code = 40, .slot = kSize, .kind = Kind::Real, .byDefault = real(0)},
              {.subclass = s, .code = 41, .slot = kXScale, .kind = Kind::Real, .byDefault = real(1)},
              {.subclass = s, .code = 50, .slot = kOblique, .kind = Kind::Angle, .byDefault = real(0)},
              {.subclass = s, .code = 3, .slot = kFont, .kind = Kind::Text, .byDefault = text(u"")},
              {.subclass = s, .code = 4, .slot = kBigFont, .kind = Kind::Text, .byDefault = text(u"")}};
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
  t.fields = {{.subclass = "AcDbBlockTableRecord",
               .code = 2,
               .slot = record_slot::kName,
               .kind = Kind::Text,
               .byDefault = text(u"")}};
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
  t.fields.push_back(
      {.subclass = s, .code = 2, .slot = block_slot::kName, .kind = Kind::BlockName, .byDefault = text(u"")});
  addPoint(t, {.subclass = s, .code = 10, .slot = block_slot::kOriginX, .kind = Kind::Real});
  t.fields.push_back({.subclass = s, .code = 3, .slot = block_slot::kName, .kind = Kind::BlockName});
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
  TypeDef t = entityFields(RecordType::Vertex);
  addPoint(t, {.subclass = "AcDb3dPolylineVertex", .code = 10, .slot = vertex_slot::kX, .kind = Kind::Real});
  return t;
}

void noObject(const Slots&, ZcDbObject*, ZcDbDatabase*, NameCache&) {}
void noSlots(const ZcDbObject*, Slots&, NameCache&, SlotMask) {}

template <typename Table>
ZcDbSymbolTable* makeTable() {
  return new Table;
}

std::vector<RecordDescriptor> makeDescriptors() {
  // Texts and lines tell which properties their setters changed.
  constexpr bool kTellsEdits = true;
  std::vector<RecordDescriptor> d;
  d.push_back({RecordType::Text, "TEXT", &ZcDbText::desc, make<ZcDbText>, indexFields(textFields()), textToObject,
               textToSlots, nullptr, nullptr, nullptr, kTellsEdits});
  d.push_back({RecordType::MText, "MTEXT", &ZcDbMText::desc, make<ZcDbMText>, indexFields(mtextFields()), mtextToObject,
               mtextToSlots});
  d.push_back({RecordType::Line, "LINE", &ZcDbLine::desc, make<ZcDbLine>, indexFields(lineFields()), lineToObject,
               lineToSlots, nullptr, nullptr, nullptr, kTellsEdits});
  d.push_back({RecordType::Insert, "INSERT", &ZcDbBlockReference::desc, make<ZcDbBlockReference>,
               indexFields(insertFields()), insertToObject, insertToSlots});
  d.push_back({RecordType::Poly3d, "POLYLINE", &ZcDb3dPolyline::desc, make<ZcDb3dPolyline>, indexFields(poly3dFields()),
               poly3dToObject, poly3dToSlots});
  d.push_back({RecordType::Layer, "LAYER", &ZcDbLayerTableRecord::desc, make<ZcDbLayerTableRecord>,
               indexFields(layerFields()), layerToObject, layerToSlots, makeTable<ZcDbLayerTable>,
               &ZcDbDatabase::layerTableId, &ZcDbDatabase::setLayerTableId});
  d.push_back({RecordType::Style, "STYLE", &ZcDbTextStyleTableRecord::desc, make<ZcDbTextStyleTableRecord>,
               indexFields(styleFields()), styleToObject, styleToSlots, makeTable<ZcDbTextStyleTable>,
               &ZcDbDatabase::textStyleTableId, &ZcDbDatabase::setTextStyleTableId});
  d.push_back({RecordType::BlockRecord, "BLOCK_RECORD", &ZcDbBlockTableRecord::desc, make<ZcDbBlockTableRecord>,
               indexFields(blockRecordFields()), blockRecordToObject, blockRecordToSlots, makeTable<ZcDbBlockTable>,
               &ZcDbDatabase::blockTableId, &ZcDbDatabase::setBlockTableId});
  d.push_back({RecordType::Block, "BLOCK", nullptr, nullptr, indexFields(blockFields()), blockToObject, blockToSlots});
  d.push_back({RecordType::Vertex, "VERTEX", nullptr, nullptr, indexFields(vertexFields()), noObject, noSlots});
  d.push_back({RecordType::Foreign, "", &ZcDbForeignEntity::desc, nullptr,
               indexFields(entityFields(RecordType::Foreign)), noObject, noSlots});
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
  SlotMask slots = namesAsRead ? 0 : d.fields.referenceSlots;
  for (; edits != 0; edits &= edits - 1)
    slots |= d.fields.slotsOfEdit[static_cast<std::size_t>(std::countr_zero(edits))];
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
    if (s >= 64 || (d.fields.exactSlots >> s & 1) == 0 || !std::isfinite(a.d)) return false;
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
