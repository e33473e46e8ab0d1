// One descriptor per DXF record type the host models: its fields, each declared once, and its class.
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

template <typename T>
T* as(ZcDbObject* o) {
  return o != nullptr && o->isKindOf(T::desc()) ? static_cast<T*>(o) : nullptr;
}
template <typename T>
const T* as(const ZcDbObject* o) {
  return o != nullptr && o->isKindOf(T::desc()) ? static_cast<const T*>(o) : nullptr;
}

// The object a field's load or store is given, of the class its descriptor names (objectToSlots and
// slotsToObject check that once).
template <typename T>
T& the(ZcDbObject& o) {
  return static_cast<T&>(o);
}
template <typename T>
const T& the(const ZcDbObject& o) {
  return static_cast<const T&>(o);
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

// What ZcDbEntity's setters keep as read of the fields every entity has.
bool notEmpty(const SlotValue& v) {
  return !v.s.empty();
}
bool colourIndex(const SlotValue& v) {
  return v.i >= 0 && v.i <= 256;
}
bool positiveScale(const SlotValue& v) {
  return v.d > 0 && std::isfinite(v.d);
}

// The fields every entity has, first in its record. Whether it is in paper space follows from its
// owner: the writer sets that slot itself.
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
       .keeps = notEmpty,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].s = the<ZcDbEntity>(o).layerName().utf16(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbEntity>(o).setLayer(str(v[at].s)); }},
      {.subclass = s,
       .code = 6,
       .slot = kLinetype,
       .kind = Kind::Text,
       .byDefault = text(u"ByLayer"),
       .edit = kEditLinetype,
       .keeps = notEmpty,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].s = the<ZcDbEntity>(o).linetypeName().utf16(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbEntity>(o).setLinetype(str(v[at].s)); }},
      {.subclass = s,
       .code = 62,
       .slot = kColor,
       .kind = Kind::Int,
       .byDefault = integer(256),
       .edit = kEditColor,
       .keeps = colourIndex,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].i = the<ZcDbEntity>(o).colorIndex(); },
       .store =
           [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
             const long long c = v[at].i;
             if (c >= 0 && c <= 257) the<ZcDbEntity>(o).setColorIndex(static_cast<ZSoft::UInt16>(c));
           }},
      {.subclass = s,
       .code = 48,
       .slot = kLtScale,
       .kind = Kind::Real,
       .byDefault = real(1),
       .edit = kEditLinetypeScale,
       .keeps = positiveScale,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].d = the<ZcDbEntity>(o).linetypeScale(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbEntity>(o).setLinetypeScale(v[at].d); }},
  };
  return t;
}

// The three fields of a point, declared by its x's, whose load and store handle all three: group
// codes `step` apart, slots in a row, the defaults (x's, `y`, `z`). Where the setter tells each
// coordinate (`perCoordinate`), the y's and z's Edit bits are the two after the x's; else the three
// share the x's bit.
void addPoint(TypeDef& t, FieldDef x, double y = 0, double z = 0, bool perCoordinate = false, short step = 10) {
  const double defaults[] = {x.byDefault.d, y, z};
  x.width = 3;
  for (int i = 0; i < 3; ++i) {
    FieldDef f = x;
    f.code = static_cast<short>(x.code + i * step);
    f.slot = static_cast<std::uint8_t>(x.slot + i);
    f.byDefault = real(defaults[i]);
    if (x.kind == Kind::PosX) f.kind = i == 1 ? Kind::PosY : i == 2 ? Kind::PosZ : Kind::PosX;
    if (perCoordinate) f.edit = x.edit << i;
    if (i > 0) {
      f.width = 1;
      f.load = nullptr;
      f.store = nullptr;
    }
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
  t.fields.push_back({.subclass = s,
                      .code = 39,
                      .slot = kThickness,
                      .kind = Kind::Real,
                      .byDefault = real(0),
                      .edit = kEditThickness,
                      .exact = true,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbText>(o).thickness(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbText>(o).setThickness(v[at].d); }});
  addPoint(t,
           {.subclass = s,
            .code = 10,
            .slot = kPosX,
            .kind = Kind::PosX,
            .edit = kEditPositionX,
            .exact = true,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbText>(o).position()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbText>(o).setPosition(point(v, at)); }},
           0, 0, true);
  t.fields.push_back(
      {.subclass = s,
       .code = 40,
       .slot = kHeight,
       .kind = Kind::Real,
       .byDefault = real(1),
       .edit = kEditHeight,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].d = the<ZcDbText>(o).height(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbText>(o).setHeight(v[at].d); }});
  t.fields.push_back({.subclass = s,
                      .code = 1,
                      .slot = kString,
                      .kind = Kind::Text,
                      .byDefault = text(u""),
                      .edit = kEditContents,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].s = the<ZcDbText>(o).textZcString().utf16(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbText>(o).setTextString(str(v[at].s)); }});
  t.fields.push_back({.subclass = s,
                      .code = 50,
                      .slot = kRotation,
                      .kind = Kind::Angle,
                      .byDefault = real(0),
                      .edit = kEditRotation,
                      .exact = true,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbText>(o).rotation(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbText>(o).setRotation(v[at].d); }});
  t.fields.push_back({.subclass = s,
                      .code = 41,
                      .slot = kWidth,
                      .kind = Kind::Real,
                      .byDefault = real(1),
                      .edit = kEditWidth,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbText>(o).widthFactor(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbText>(o).setWidthFactor(v[at].d); }});
  t.fields.push_back(
      {.subclass = s,
       .code = 51,
       .slot = kOblique,
       .kind = Kind::Angle,
       .byDefault = real(0),
       .edit = kEditOblique,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].d = the<ZcDbText>(o).oblique(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbText>(o).setOblique(v[at].d); }});
  // The style is named through its id: a style renamed changes it without a setter of the text.
  t.fields.push_back({.subclass = s,
                      .code = 7,
                      .slot = kStyle,
                      .kind = Kind::Text,
                      .byDefault = text(u"Standard"),
                      .edit = kEditStyle,
                      .reference = true,
                      .load =
                          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache& names) {
                            const ZcDbText& text = the<ZcDbText>(o);
                            const std::u16string& byId = names.nameOf(text.textStyle());
                            v[at].s = byId.empty() ? text.textStyleName().utf16() : byId;
                          },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase* db, NameCache& names) {
                            ZcDbText& text = the<ZcDbText>(o);
                            text.setTextStyleName(str(v[at].s));
                            const ZcDbObjectId style = names.styleId(db, v[at].s);
                            if (!style.isNull()) text.setTextStyle(style);
                          }});
  t.fields.push_back({.subclass = s,
                      .code = 71,
                      .slot = kGenFlags,
                      .kind = Kind::Int,
                      .byDefault = integer(0),
                      .edit = kEditMirror,
                      .load =
                          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
                            const ZcDbText& text = the<ZcDbText>(o);
                            v[at].i = (text.isMirroredInX() ? 2 : 0) | (text.isMirroredInY() ? 4 : 0);
                          },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
                            the<ZcDbText>(o).mirrorInX((v[at].i & 2) != 0);
                            the<ZcDbText>(o).mirrorInY((v[at].i & 4) != 0);
                          }});
  t.fields.push_back({.subclass = s,
                      .code = 72,
                      .slot = kHMode,
                      .kind = Kind::Int,
                      .byDefault = integer(0),
                      .edit = kEditJustification,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].i = the<ZcDbText>(o).horizontalMode(); },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
                            if (v[at].i >= 0 && v[at].i <= 5)
                              the<ZcDbText>(o).setHorizontalMode(static_cast<ZcDb::TextHorzMode>(v[at].i));
                          }});
  addPoint(t,
           {.subclass = s,
            .code = 11,
            .slot = kAlignX,
            .kind = Kind::Real,
            .edit = kEditAlignmentPointX,
            .exact = true,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbText>(o).alignmentPoint()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbText>(o).setAlignmentPoint(point(v, at)); }},
           0, 0, true);
  addPoint(t,
           {.subclass = s,
            .code = 210,
            .slot = kNormX,
            .kind = Kind::Real,
            .edit = kEditNormal,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbText>(o).normal()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbText>(o).setNormal(vector(v, at)); }},
           0, 1);
  t.fields.push_back({.subclass = "AcDbText#2",
                      .code = 73,
                      .slot = kVMode,
                      .kind = Kind::Int,
                      .byDefault = integer(0),
                      .edit = kEditJustification,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].i = the<ZcDbText>(o).verticalMode(); },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
                            if (v[at].i >= 0 && v[at].i <= 3)
                              the<ZcDbText>(o).setVerticalMode(static_cast<ZcDb::TextVertMode>(v[at].i));
                          }});
  return t;
}

// MTEXT
TypeDef mtextFields() {
  using namespace mtext_slot;
  TypeDef t = entityFields(RecordType::MText);
  const char* s = "AcDbMText";
  addPoint(t, {.subclass = s,
               .code = 10,
               .slot = kPosX,
               .kind = Kind::Real,
               .exact = true,
               .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                          NameCache&) { setPoint(v, at, the<ZcDbMText>(o).location()); },
               .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                           NameCache&) { the<ZcDbMText>(o).setLocation(point(v, at)); }});
  t.fields.push_back({.subclass = s,
                      .code = 40,
                      .slot = kHeight,
                      .kind = Kind::Real,
                      .byDefault = real(1),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbMText>(o).textHeight(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbMText>(o).setTextHeight(v[at].d); }});
  t.fields.push_back(
      {.subclass = s,
       .code = 41,
       .slot = kWidth,
       .kind = Kind::Real,
       .byDefault = real(0),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].d = the<ZcDbMText>(o).width(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbMText>(o).setWidth(v[at].d); }});
  t.fields.push_back({.subclass = s,
                      .code = 71,
                      .slot = kAttach,
                      .kind = Kind::Int,
                      .byDefault = integer(1),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].i = the<ZcDbMText>(o).attachment(); },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
                            if (v[at].i >= 1 && v[at].i <= 9)
                              the<ZcDbMText>(o).setAttachment(static_cast<ZcDbMText::AttachmentPoint>(v[at].i));
                          }});
  // The contents: pieces of 250 characters in groups 3, the last one in group 1.
  t.fields.push_back({.subclass = s,
                      .code = 3,
                      .slot = kContents,
                      .kind = Kind::Chunks,
                      .byDefault = text(u""),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].s = the<ZcDbMText>(o).contentsString().utf16(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbMText>(o).setContents(str(v[at].s)); }});
  t.fields.push_back({.subclass = s, .code = 1, .slot = kContents, .kind = Kind::Chunks});
  t.fields.push_back({.subclass = s,
                      .code = 7,
                      .slot = kStyle,
                      .kind = Kind::Text,
                      .byDefault = text(u"Standard"),
                      .load =
                          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache& names) {
                            const ZcDbMText& m = the<ZcDbMText>(o);
                            const std::u16string& byId = names.nameOf(m.textStyle());
                            v[at].s = byId.empty() ? m.textStyleName().utf16() : byId;
                          },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase* db, NameCache& names) {
                            ZcDbMText& m = the<ZcDbMText>(o);
                            m.setTextStyleName(str(v[at].s));
                            const ZcDbObjectId style = names.styleId(db, v[at].s);
                            if (!style.isNull()) m.setTextStyle(style);
                          }});
  addPoint(t,
           {.subclass = s,
            .code = 210,
            .slot = kNormX,
            .kind = Kind::Real,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbMText>(o).normal()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbMText>(o).setNormal(vector(v, at)); }},
           0, 1);
  // The rotation: an x axis, when given, wins over the angle.
  t.fields.push_back({.subclass = s,
                      .code = 11,
                      .slot = kRotation,
                      .kind = Kind::DirX,
                      .byDefault = real(0),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbMText>(o).rotation(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbMText>(o).setRotation(v[at].d); }});
  t.fields.push_back({.subclass = s, .code = 21, .slot = kRotation, .kind = Kind::DirY});
  t.fields.push_back({.subclass = s, .code = 31, .slot = kRotation, .kind = Kind::DirZ});
  t.fields.push_back({.subclass = s, .code = 50, .slot = kRotation, .kind = Kind::Angle});
  t.fields.push_back({.subclass = s,
                      .code = 73,
                      .slot = kSpacingStyle,
                      .kind = Kind::Int,
                      .byDefault = integer(1),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].i = the<ZcDbMText>(o).lineSpacingStyle(); },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
                            if (v[at].i >= 1 && v[at].i <= 2)
                              the<ZcDbMText>(o).setLineSpacingStyle(static_cast<ZcDbMText::LineSpacingStyle>(v[at].i));
                          }});
  t.fields.push_back({.subclass = s,
                      .code = 44,
                      .slot = kSpacingFactor,
                      .kind = Kind::Real,
                      .byDefault = real(1),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbMText>(o).lineSpacingFactor(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbMText>(o).setLineSpacingFactor(v[at].d); }});
  return t;
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
                      .exact = true,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbLine>(o).thickness(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbLine>(o).setThickness(v[at].d); }});
  addPoint(t,
           {.subclass = s,
            .code = 10,
            .slot = kStartX,
            .kind = Kind::Real,
            .edit = kEditPositionX,
            .exact = true,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbLine>(o).startPoint()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbLine>(o).setStartPoint(point(v, at)); }},
           0, 0, true);
  addPoint(t,
           {.subclass = s,
            .code = 11,
            .slot = kEndX,
            .kind = Kind::Real,
            .edit = kEditEndPointX,
            .exact = true,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbLine>(o).endPoint()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbLine>(o).setEndPoint(point(v, at)); }},
           0, 0, true);
  addPoint(t,
           {.subclass = s,
            .code = 210,
            .slot = kNormX,
            .kind = Kind::Real,
            .edit = kEditNormal,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbLine>(o).normal()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbLine>(o).setNormal(vector(v, at)); }},
           0, 1);
  return t;
}

// INSERT
TypeDef insertFields() {
  using namespace insert_slot;
  TypeDef t = entityFields(RecordType::Insert);
  const char* s = "AcDbBlockReference";
  t.fields.push_back({.subclass = s,
                      .code = 2,
                      .slot = kName,
                      .kind = Kind::Text,
                      .byDefault = text(u""),
                      .load =
                          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache& names) {
                            const ZcDbBlockReference& b = the<ZcDbBlockReference>(o);
                            const std::u16string& byId = names.nameOf(b.blockTableRecord());
                            v[at].s = byId.empty() ? b.blockName().utf16() : byId;
                          },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbBlockReference>(o).setBlockName(str(v[at].s)); }});
  addPoint(t, {.subclass = s,
               .code = 10,
               .slot = kPosX,
               .kind = Kind::Real,
               .exact = true,
               .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                          NameCache&) { setPoint(v, at, the<ZcDbBlockReference>(o).position()); },
               .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                           NameCache&) { the<ZcDbBlockReference>(o).setPosition(point(v, at)); }});
  // 41, 42, 43: consecutive codes, not a point's.
  addPoint(t,
           {.subclass = s,
            .code = 41,
            .slot = kScaleX,
            .kind = Kind::Real,
            .byDefault = real(1),
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbBlockReference>(o).scaleFactors()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbBlockReference>(o).setScaleFactors(vector(v, at)); }},
           1, 1, false, 1);
  t.fields.push_back({.subclass = s,
                      .code = 50,
                      .slot = kRotation,
                      .kind = Kind::Angle,
                      .byDefault = real(0),
                      .exact = true,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].d = the<ZcDbBlockReference>(o).rotation(); },
                      .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                                  NameCache&) { the<ZcDbBlockReference>(o).setRotation(v[at].d); }});
  addPoint(t,
           {.subclass = s,
            .code = 210,
            .slot = kNormX,
            .kind = Kind::Real,
            .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                       NameCache&) { setPoint(v, at, the<ZcDbBlockReference>(o).normal()); },
            .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                        NameCache&) { the<ZcDbBlockReference>(o).setNormal(vector(v, at)); }},
           0, 1);
  return t;
}

// POLYLINE
TypeDef poly3dFields() {
  TypeDef t = entityFields(RecordType::Poly3d);
  t.fields.push_back({.subclass = "AcDb3dPolyline",
                      .code = 70,
                      .slot = poly_slot::kClosed,
                      .kind = Kind::Flag,
                      .byDefault = integer(0),
                      .mask = 1,
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                                 NameCache&) { v[at].i = the<ZcDb3dPolyline>(o).isClosed() ? 1 : 0; },
                      .store =
                          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
                            if (v[at].i != 0)
                              the<ZcDb3dPolyline>(o).makeClosed();
                            else
                              the<ZcDb3dPolyline>(o).makeOpen();
                          }});
  return t;
}

// LAYER
TypeDef layerFields() {
  using namespace layer_slot;
  TypeDef t;
  t.type = RecordType::Layer;
  const char* s = "AcDbLayerTableRecord";
  t.fields = {
      {.subclass = s,
       .code = 2,
       .slot = kName,
       .kind = Kind::Text,
       .byDefault = text(u""),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].s = the<ZcDbLayerTableRecord>(o).name().utf16(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbLayerTableRecord>(o).setName(str(v[at].s)); }},
      {.subclass = s,
       .code = 70,
       .slot = kFrozen,
       .kind = Kind::Flag,
       .byDefault = integer(0),
       .mask = 1,
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].i = the<ZcDbLayerTableRecord>(o).isFrozen() ? 1 : 0; },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbLayerTableRecord>(o).setIsFrozen(v[at].i != 0); }},
      // The colour, negative for a layer that is off.
      {.subclass = s,
       .code = 62,
       .slot = kSignedColor,
       .kind = Kind::Int,
       .byDefault = integer(7),
       .load =
           [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
             const ZcDbLayerTableRecord& l = the<ZcDbLayerTableRecord>(o);
             v[at].i = l.isOff() ? -static_cast<long long>(l.colorIndex()) : l.colorIndex();
           },
       .store =
           [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
             ZcDbLayerTableRecord& l = the<ZcDbLayerTableRecord>(o);
             const long long c = v[at].i;
             l.setIsOff(c < 0);
             l.setColorIndex(static_cast<ZSoft::UInt16>(c < 0 ? -c : c));
           }},
  };
  return t;
}

// STYLE
TypeDef styleFields() {
  using namespace style_slot;
  TypeDef t;
  t.type = RecordType::Style;
  const char* s = "AcDbTextStyleTableRecord";
  t.fields = {
      {.subclass = s,
       .code = 2,
       .slot = kName,
       .kind = Kind::Text,
       .byDefault = text(u""),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].s = the<ZcDbTextStyleTableRecord>(o).name().utf16(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbTextStyleTableRecord>(o).setName(str(v[at].s)); }},
      {.subclass = s,
       .code = 40,
       .slot = kSize,
       .kind = Kind::Real,
       .byDefault = real(0),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].d = the<ZcDbTextStyleTableRecord>(o).textSize(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbTextStyleTableRecord>(o).setTextSize(v[at].d); }},
      {.subclass = s,
       .code = 41,
       .slot = kXScale,
       .kind = Kind::Real,
       .byDefault = real(1),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].d = the<ZcDbTextStyleTableRecord>(o).xScale(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbTextStyleTableRecord>(o).setXScale(v[at].d); }},
      {.subclass = s,
       .code = 50,
       .slot = kOblique,
       .kind = Kind::Angle,
       .byDefault = real(0),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].d = the<ZcDbTextStyleTableRecord>(o).obliquingAngle(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbTextStyleTableRecord>(o).setObliquingAngle(v[at].d); }},
      {.subclass = s,
       .code = 3,
       .slot = kFont,
       .kind = Kind::Text,
       .byDefault = text(u""),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].s = the<ZcDbTextStyleTableRecord>(o).fileName().utf16(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbTextStyleTableRecord>(o).setFileName(str(v[at].s)); }},
      {.subclass = s,
       .code = 4,
       .slot = kBigFont,
       .kind = Kind::Text,
       .byDefault = text(u""),
       .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                  NameCache&) { v[at].s = the<ZcDbTextStyleTableRecord>(o).bigFontFileName().utf16(); },
       .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                   NameCache&) { the<ZcDbTextStyleTableRecord>(o).setBigFontFileName(str(v[at].s)); }},
  };
  return t;
}

// BLOCK_RECORD
TypeDef blockRecordFields() {
  TypeDef t;
  t.type = RecordType::BlockRecord;
  t.fields = {{.subclass = "AcDbBlockTableRecord",
               .code = 2,
               .slot = record_slot::kName,
               .kind = Kind::Text,
               .byDefault = text(u""),
               .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                          NameCache&) { v[at].s = the<ZcDbBlockTableRecord>(o).name().utf16(); },
               .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                           NameCache&) { the<ZcDbBlockTableRecord>(o).setName(str(v[at].s)); }}};
  return t;
}

// BLOCK: the block's name comes from its BLOCK_RECORD, which names it.
TypeDef blockFields() {
  TypeDef t;
  t.type = RecordType::Block;
  const char* s = "AcDbBlockBegin";
  t.fields.push_back({.subclass = s,
                      .code = 2,
                      .slot = block_slot::kName,
                      .kind = Kind::BlockName,
                      .byDefault = text(u""),
                      .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
                        v[at].s = the<ZcDbBlockTableRecord>(o).name().utf16();
                      }});
  addPoint(t, {.subclass = s,
               .code = 10,
               .slot = block_slot::kOriginX,
               .kind = Kind::Real,
               .load = [](const ZcDbObject& o, Slots& v, std::uint8_t at,
                          NameCache&) { setPoint(v, at, the<ZcDbBlockTableRecord>(o).origin()); },
               .store = [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*,
                           NameCache&) { the<ZcDbBlockTableRecord>(o).setOrigin(point(v, at)); }});
  t.fields.push_back({.subclass = s, .code = 3, .slot = block_slot::kName, .kind = Kind::BlockName});
  return t;
}

// VERTEX: written from the polyline's points.
TypeDef vertexFields() {
  TypeDef t = entityFields(RecordType::Vertex);
  addPoint(t, {.subclass = "AcDb3dPolylineVertex", .code = 10, .slot = vertex_slot::kX, .kind = Kind::Real});
  return t;
}

template <typename Table>
ZcDbSymbolTable* makeTable() {
  return new Table;
}

// The class whose objects a descriptor's fields load and store.
template <typename T>
ZcRxClass* classOf() {
  return T::desc();
}

std::vector<RecordDescriptor> makeDescriptors() {
  // Texts and lines tell which properties their setters changed.
  constexpr bool kTellsEdits = true;
  std::vector<RecordDescriptor> d;
  d.push_back({RecordType::Text, "TEXT", &ZcDbText::desc, make<ZcDbText>, indexFields(textFields()), nullptr, nullptr,
               nullptr, kTellsEdits});
  d.push_back({RecordType::MText, "MTEXT", &ZcDbMText::desc, make<ZcDbMText>, indexFields(mtextFields())});
  d.push_back({RecordType::Line, "LINE", &ZcDbLine::desc, make<ZcDbLine>, indexFields(lineFields()), nullptr, nullptr,
               nullptr, kTellsEdits});
  d.push_back(
      {RecordType::Insert, "INSERT", &ZcDbBlockReference::desc, make<ZcDbBlockReference>, indexFields(insertFields())});
  d.push_back(
      {RecordType::Poly3d, "POLYLINE", &ZcDb3dPolyline::desc, make<ZcDb3dPolyline>, indexFields(poly3dFields())});
  d.push_back({RecordType::Layer, "LAYER", &ZcDbLayerTableRecord::desc, make<ZcDbLayerTableRecord>,
               indexFields(layerFields()), makeTable<ZcDbLayerTable>, &ZcDbDatabase::layerTableId,
               &ZcDbDatabase::setLayerTableId});
  d.push_back({RecordType::Style, "STYLE", &ZcDbTextStyleTableRecord::desc, make<ZcDbTextStyleTableRecord>,
               indexFields(styleFields()), makeTable<ZcDbTextStyleTable>, &ZcDbDatabase::textStyleTableId,
               &ZcDbDatabase::setTextStyleTableId});
  d.push_back({RecordType::BlockRecord, "BLOCK_RECORD", &ZcDbBlockTableRecord::desc, make<ZcDbBlockTableRecord>,
               indexFields(blockRecordFields()), makeTable<ZcDbBlockTable>, &ZcDbDatabase::blockTableId,
               &ZcDbDatabase::setBlockTableId});
  d.push_back({RecordType::Block, "BLOCK", nullptr, nullptr, indexFields(blockFields()), nullptr, nullptr, nullptr,
               false, classOf<ZcDbBlockTableRecord>});
  d.push_back({RecordType::Vertex, "VERTEX", nullptr, nullptr, indexFields(vertexFields())});
  d.push_back(
      {RecordType::Foreign, "", &ZcDbForeignEntity::desc, nullptr, indexFields(entityFields(RecordType::Foreign))});
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

namespace {

// The class whose objects the fields of `d` load and store (null: none).
ZcRxClass* classOfFields(const RecordDescriptor& d) {
  if (d.objectClass != nullptr) return d.objectClass();
  return d.rxClass != nullptr ? d.rxClass() : nullptr;
}

}  // namespace

void slotsToObject(const RecordDescriptor& d, const Slots& s, ZcDbObject& obj, ZcDbDatabase* db, NameCache& names) {
  // The fields every entity has go to any entity; the others to an object of the descriptor's class.
  const ZcRxClass* cls = classOfFields(d);
  const bool ofClass = cls != nullptr && obj.isKindOf(cls);
  const bool entity = obj.isKindOf(ZcDbEntity::desc());
  for (const FieldDef& f : d.fields.fields)
    if (f.store != nullptr && ((d.fields.entitySlots >> f.slot & 1) != 0 ? entity : ofClass))
      f.store(obj, s, f.slot, db, names);
}

void objectToSlots(const RecordDescriptor& d, const ZcDbObject& obj, Slots& s, NameCache& names, bool paperSpace,
                   SlotMask wanted) {
  // Reset to the type's defaults only when last filled for another type: every call sets the wanted
  // slots, and promises nothing of the others.
  if (s.filledAs != &d.fields) resetSlots(s, d.fields);
  s.filledAs = &d.fields;
  if (d.describesEntities()) s[kPaperSpace].i = paperSpace ? 1 : 0;
  // Only the wanted slots' fields are asked, each once (a point's x loads its y and z).
  const TypeDef& def = d.fields;
  int ofClass = -1;  // whether the object is of the class the type's own fields load from; -1: not asked yet
  for (SlotMask left = wanted & def.loadableSlots; left != 0;) {
    const auto slot = static_cast<std::size_t>(std::countr_zero(left));
    const FieldDef& f = def.fields[static_cast<std::size_t>(def.loaderOfSlot[slot])];
    left &= ~(((SlotMask{1} << f.width) - 1) << f.slot);
    if ((def.entitySlots >> f.slot & 1) == 0) {
      if (ofClass < 0) {
        const ZcRxClass* cls = classOfFields(d);
        ofClass = cls != nullptr && (obj.isA() == cls || obj.isKindOf(cls)) ? 1 : 0;
      }
      if (ofClass == 0) continue;
    }
    f.load(obj, s, f.slot, names);
  }
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
