// One descriptor per DXF record type the host models: its fields, each declared once, and its class.
#include "dxf/dxf_objects.h"

#include <bit>
#include <cmath>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"
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

// A field of group `code` (after the marker `subclass`) held in `slot`: what a record without the
// group implies, and how the object holds it.
FieldDef field(const char* subclass, short code, std::uint8_t slot, Kind kind, SlotValue byDefault = {},
               LoadField load = nullptr, StoreField store = nullptr) {
  return {.subclass = subclass,
          .code = code,
          .slot = slot,
          .kind = kind,
          .byDefault = std::move(byDefault),
          .load = load,
          .store = store};
}

// Loads and stores made from a class's getter and setter of a number, a point or a vector.
template <typename>
struct Member;
template <typename T, typename R>
struct Member<R (T::*)() const> {
  using Class = T;
};
template <typename T, typename R, typename A>
struct Member<R (T::*)(A)> {
  using Class = T;
  using Value = std::remove_cvref_t<A>;
};

template <auto Get>
void get(const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
  const auto value = (the<typename Member<decltype(Get)>::Class>(o).*Get)();
  if constexpr (std::is_arithmetic_v<decltype(value)>)
    v[at].d = value;
  else
    setPoint(v, at, value);
}

template <auto Set>
void set(ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
  using M = Member<decltype(Set)>;
  auto& object = the<typename M::Class>(o);
  if constexpr (std::is_same_v<typename M::Value, double>)
    (object.*Set)(v[at].d);
  else if constexpr (std::is_same_v<typename M::Value, ZcGePoint3d>)
    (object.*Set)(point(v, at));
  else
    (object.*Set)(vector(v, at));
}

// A style named through its id, else by the name it was given; stored by name, and by id where the
// drawing has it.
template <typename T>
void getStyle(const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache& names) {
  const T& text = the<T>(o);
  const std::u16string& byId = names.nameOf(text.textStyle());
  v[at].s = byId.empty() ? text.textStyleName().utf16() : byId;
}
template <typename T>
void setStyle(ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase* db, NameCache& names) {
  T& text = the<T>(o);
  text.setTextStyleName(str(v[at].s));
  const ZcDbObjectId style = names.styleId(db, v[at].s);
  if (!style.isNull()) text.setTextStyle(style);
}

// A symbol table record's name.
template <typename T>
void getName(const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
  v[at].s = the<T>(o).name().utf16();
}
template <typename T>
void setName(ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
  the<T>(o).setName(str(v[at].s));
}

// What the setters keep as read, each declared by the fields it applies to (FieldDef::keeps); they
// refuse any other value.
bool notEmpty(const SlotValue& v) {
  return !v.s.empty();
}
bool colourIndex(const SlotValue& v) {
  return v.i >= 0 && v.i <= 256;
}
bool visibility(const SlotValue& v) {
  return v.i == 0 || v.i == 1;
}
bool positive(const SlotValue& v) {
  return v.d > 0;
}
bool finite(const SlotValue& v) {
  return std::isfinite(v.d);
}
bool positiveFinite(const SlotValue& v) {
  return v.d > 0 && std::isfinite(v.d);
}
bool notNegativeFinite(const SlotValue& v) {
  return v.d >= 0 && std::isfinite(v.d);
}
template <long long Low, long long High>
bool within(const SlotValue& v) {
  return v.i >= Low && v.i <= High;
}
bool spacingFactor(const SlotValue& v) {
  return v.d >= 0.25 && v.d <= 4.0;
}

// What the setters that settle values, or refuse one of several together, keep (FieldDef::settle).
// A normal is scaled to unit length; one of no length is refused.
void unitNormal(SlotValue* v, const SlotValue* fresh, ZcDbDatabase*, NameCache&) {
  const ZcGeVector3d n(v[0].d, v[1].d, v[2].d);
  const ZcGeVector3d kept = n.isZeroLength() ? ZcGeVector3d(fresh[0].d, fresh[1].d, fresh[2].d) : n.normal();
  v[0].d = kept.x, v[1].d = kept.y, v[2].d = kept.z;
}
// A text's oblique, within a turn (zrxhost::textObliqueKept).
void textOblique(SlotValue* v, const SlotValue* fresh, ZcDbDatabase*, NameCache&) {
  if (!zrxhost::textObliqueKept(v->d, v->d)) v->d = fresh->d;
}
// A style found in the drawing is named as the drawing names it (its case); another keeps its name.
void styleName(SlotValue* v, const SlotValue*, ZcDbDatabase* db, NameCache& names) {
  const ZcDbObjectId style = names.styleId(db, v->s);
  if (style.isNull()) return;
  const std::u16string& byId = names.nameOf(style);
  if (!byId.empty()) v->s = byId;
}
// A text's generation flags: mirrored in x (2) and in y (4).
void mirrorFlags(SlotValue* v, const SlotValue*, ZcDbDatabase*, NameCache&) {
  v->i &= 6;
}
// An insert's scale factors: all three kept, or, where one is zero or not finite, none.
void scaleFactors(SlotValue* v, const SlotValue* fresh, ZcDbDatabase*, NameCache&) {
  if (v[0].d == 0 || v[1].d == 0 || v[2].d == 0 || !std::isfinite(v[0].d + v[1].d + v[2].d))
    for (int i = 0; i < 3; ++i) v[i].d = fresh[i].d;
}
// A layer's colour, negative for a layer that is off: its size is kept as a 16-bit index.
void layerColour(SlotValue* v, const SlotValue*, ZcDbDatabase*, NameCache&) {
  const long long c = v->i;
  const auto index = static_cast<ZSoft::UInt16>(c < 0 ? -c : c);
  v->i = c < 0 ? -static_cast<long long>(index) : index;
}

// The fields every entity has, first in its record. Whether it is in paper space follows from its
// owner: the writer sets that slot itself.
TypeDef entityFields(RecordType type) {
  const char* s = "AcDbEntity";
  TypeDef t;
  t.type = type;
  t.fields = {
      field(s, 67, kPaperSpace, Kind::Int, integer(0)),
      field(
          s, 8, kLayer, Kind::Text, text(u"0"),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
            v[at].s = the<ZcDbEntity>(o).layerName().utf16();
          },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            the<ZcDbEntity>(o).setLayer(str(v[at].s));
          })
          .noting(kEditLayer)
          .keptWhen(notEmpty),
      field(
          s, 6, kLinetype, Kind::Text, text(u"ByLayer"),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
            v[at].s = the<ZcDbEntity>(o).linetypeName().utf16();
          },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            the<ZcDbEntity>(o).setLinetype(str(v[at].s));
          })
          .noting(kEditLinetype)
          .keptWhen(notEmpty),
      field(
          s, 62, kColor, Kind::Int, integer(256),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<ZcDbEntity>(o).colorIndex(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            const long long c = v[at].i;
            if (c >= 0 && c <= 257) the<ZcDbEntity>(o).setColorIndex(static_cast<ZSoft::UInt16>(c));
          })
          .noting(kEditColor)
          .keptWhen(colourIndex),
      field(s, 48, kLtScale, Kind::Real, real(1), get<&ZcDbEntity::linetypeScale>,
            [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
              the<ZcDbEntity>(o).setLinetypeScale(v[at].d);
            })
          .noting(kEditLinetypeScale)
          .keptWhen(positive),
      field(
          s, 60, kVisibility, Kind::Int, integer(0),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<ZcDbEntity>(o).visibility(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            if (v[at].i == 0 || v[at].i == 1) the<ZcDbEntity>(o).setVisibility(static_cast<ZcDb::Visibility>(v[at].i));
          })
          .noting(kEditVisibility)
          .keptWhen(visibility),
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
  using T = ZcDbText;
  TypeDef t = entityFields(RecordType::Text);
  const char* s = "AcDbText";
  auto add = [&t](const FieldDef& f) { t.fields.push_back(f); };
  add(field(s, 39, kThickness, Kind::Real, real(0), get<&T::thickness>, set<&T::setThickness>)
          .noting(kEditThickness)
          .keptExactly()
          .keptWhen(finite));
  addPoint(t,
           field(s, 10, kPosX, Kind::PosX, real(0), get<&T::position>, set<&T::setPosition>)
               .noting(kEditPositionX)
               .keptExactly(),
           0, 0, true);
  add(field(s, 40, kHeight, Kind::Real, real(1), get<&T::height>, set<&T::setHeight>)
          .noting(kEditHeight)
          .keptWhen(positiveFinite));
  add(field(
          s, 1, kString, Kind::Text, text(u""),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
            v[at].s = the<T>(o).textZcString().utf16();
          },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            the<T>(o).setTextString(str(v[at].s));
          })
          .noting(kEditContents));
  add(field(s, 50, kRotation, Kind::Angle, real(0), get<&T::rotation>, set<&T::setRotation>)
          .noting(kEditRotation)
          .keptExactly()
          .keptWhen(finite));
  add(field(s, 41, kWidth, Kind::Real, real(1), get<&T::widthFactor>, set<&T::setWidthFactor>)
          .noting(kEditWidth)
          .keptWhen(positiveFinite));
  add(field(s, 51, kOblique, Kind::Angle, real(0), get<&T::oblique>, set<&T::setOblique>)
          .noting(kEditOblique)
          .settledBy(textOblique));
  // The style is named through its id: a style renamed changes it without a setter of the text.
  add(field(s, 7, kStyle, Kind::Text, text(u"Standard"), getStyle<T>, setStyle<T>)
          .noting(kEditStyle)
          .throughId()
          .settledBy(styleName));
  add(field(
          s, 71, kGenFlags, Kind::Int, integer(0),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
            v[at].i = (the<T>(o).isMirroredInX() ? 2 : 0) | (the<T>(o).isMirroredInY() ? 4 : 0);
          },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            the<T>(o).mirrorInX((v[at].i & 2) != 0);
            the<T>(o).mirrorInY((v[at].i & 4) != 0);
          })
          .noting(kEditMirror)
          .settledBy(mirrorFlags));
  add(field(
          s, 72, kHMode, Kind::Int, integer(0),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<T>(o).horizontalMode(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            if (v[at].i >= 0 && v[at].i <= 5) the<T>(o).setHorizontalMode(static_cast<ZcDb::TextHorzMode>(v[at].i));
          })
          .noting(kEditJustification)
          .keptWhen(within<0, 5>));
  addPoint(t,
           field(s, 11, kAlignX, Kind::Real, real(0), get<&T::alignmentPoint>, set<&T::setAlignmentPoint>)
               .noting(kEditAlignmentPointX)
               .keptExactly(),
           0, 0, true);
  addPoint(t,
           field(s, 210, kNormX, Kind::Real, real(0), get<&T::normal>, set<&T::setNormal>)
               .noting(kEditNormal)
               .settledBy(unitNormal),
           0, 1);
  add(field(
          "AcDbText#2", 73, kVMode, Kind::Int, integer(0),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<T>(o).verticalMode(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            if (v[at].i >= 0 && v[at].i <= 3) the<T>(o).setVerticalMode(static_cast<ZcDb::TextVertMode>(v[at].i));
          })
          .noting(kEditJustification)
          .keptWhen(within<0, 3>));
  return t;
}

// MTEXT
TypeDef mtextFields() {
  using namespace mtext_slot;
  using T = ZcDbMText;
  TypeDef t = entityFields(RecordType::MText);
  const char* s = "AcDbMText";
  auto add = [&t](const FieldDef& f) { t.fields.push_back(f); };
  addPoint(t, field(s, 10, kPosX, Kind::Real, real(0), get<&T::location>, set<&T::setLocation>).keptExactly());
  add(field(s, 40, kHeight, Kind::Real, real(1), get<&T::textHeight>, set<&T::setTextHeight>).keptWhen(positiveFinite));
  add(field(s, 41, kWidth, Kind::Real, real(0), get<&T::width>, set<&T::setWidth>).keptWhen(notNegativeFinite));
  add(field(
          s, 71, kAttach, Kind::Int, integer(1),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<T>(o).attachment(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            if (v[at].i >= 1 && v[at].i <= 9) the<T>(o).setAttachment(static_cast<T::AttachmentPoint>(v[at].i));
          })
          .keptWhen(within<1, 9>));
  // The contents: pieces of 250 characters in groups 3, the last one in group 1.
  add(field(
      s, 3, kContents, Kind::Chunks, text(u""),
      [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].s = the<T>(o).contentsString().utf16(); },
      [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
        the<T>(o).setContents(str(v[at].s));
      }));
  add(field(s, 1, kContents, Kind::Chunks));
  add(field(s, 7, kStyle, Kind::Text, text(u"Standard"), getStyle<T>, setStyle<T>).settledBy(styleName));
  addPoint(t, field(s, 210, kNormX, Kind::Real, real(0), get<&T::normal>, set<&T::setNormal>).settledBy(unitNormal), 0,
           1);
  // The rotation: an x axis, when given, wins over the angle.
  add(field(s, 11, kRotation, Kind::DirX, real(0), get<&T::rotation>, set<&T::setRotation>).keptWhen(finite));
  add(field(s, 21, kRotation, Kind::DirY));
  add(field(s, 31, kRotation, Kind::DirZ));
  add(field(s, 50, kRotation, Kind::Angle));
  add(field(
          s, 73, kSpacingStyle, Kind::Int, integer(1),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<T>(o).lineSpacingStyle(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            if (v[at].i >= 1 && v[at].i <= 2) the<T>(o).setLineSpacingStyle(static_cast<T::LineSpacingStyle>(v[at].i));
          })
          .keptWhen(within<1, 2>));
  add(field(s, 44, kSpacingFactor, Kind::Real, real(1), get<&T::lineSpacingFactor>, set<&T::setLineSpacingFactor>)
          .keptWhen(spacingFactor));
  return t;
}

// LINE
TypeDef lineFields() {
  using namespace line_slot;
  using T = ZcDbLine;
  TypeDef t = entityFields(RecordType::Line);
  const char* s = "AcDbLine";
  t.fields.push_back(field(s, 39, kThickness, Kind::Real, real(0), get<&T::thickness>, set<&T::setThickness>)
                         .noting(kEditThickness)
                         .keptExactly());
  addPoint(t,
           field(s, 10, kStartX, Kind::Real, real(0), get<&T::startPoint>, set<&T::setStartPoint>)
               .noting(kEditPositionX)
               .keptExactly(),
           0, 0, true);
  addPoint(t,
           field(s, 11, kEndX, Kind::Real, real(0), get<&T::endPoint>, set<&T::setEndPoint>)
               .noting(kEditEndPointX)
               .keptExactly(),
           0, 0, true);
  addPoint(t,
           field(s, 210, kNormX, Kind::Real, real(0), get<&T::normal>, set<&T::setNormal>)
               .noting(kEditNormal)
               .settledBy(unitNormal),
           0, 1);
  return t;
}

// INSERT
TypeDef insertFields() {
  using namespace insert_slot;
  using T = ZcDbBlockReference;
  TypeDef t = entityFields(RecordType::Insert);
  const char* s = "AcDbBlockReference";
  t.fields.push_back(field(
      s, 2, kName, Kind::Text, text(u""),
      [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache& names) {
        const std::u16string& byId = names.nameOf(the<T>(o).blockTableRecord());
        v[at].s = byId.empty() ? the<T>(o).blockName().utf16() : byId;
      },
      [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
        the<T>(o).setBlockName(str(v[at].s));
      }));
  addPoint(t, field(s, 10, kPosX, Kind::Real, real(0), get<&T::position>, set<&T::setPosition>).keptExactly());
  // 41, 42, 43: consecutive codes, not a point's.
  addPoint(t,
           field(s, 41, kScaleX, Kind::Real, real(1), get<&T::scaleFactors>, set<&T::setScaleFactors>)
               .settledBy(scaleFactors),
           1, 1, false, 1);
  t.fields.push_back(field(s, 50, kRotation, Kind::Angle, real(0), get<&T::rotation>, set<&T::setRotation>)
                         .keptExactly()
                         .keptWhen(finite));
  addPoint(t, field(s, 210, kNormX, Kind::Real, real(0), get<&T::normal>, set<&T::setNormal>).settledBy(unitNormal), 0,
           1);
  return t;
}

// POLYLINE
TypeDef poly3dFields() {
  using T = ZcDb3dPolyline;
  TypeDef t = entityFields(RecordType::Poly3d);
  FieldDef closed = field(
      "AcDb3dPolyline", 70, poly_slot::kClosed, Kind::Flag, integer(0),
      [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<T>(o).isClosed() ? 1 : 0; },
      [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
        if (v[at].i != 0)
          the<T>(o).makeClosed();
        else
          the<T>(o).makeOpen();
      });
  closed.mask = 1;
  t.fields.push_back(closed);
  return t;
}

// LAYER
TypeDef layerFields() {
  using namespace layer_slot;
  using T = ZcDbLayerTableRecord;
  TypeDef t;
  t.type = RecordType::Layer;
  const char* s = "AcDbLayerTableRecord";
  FieldDef frozen = field(
      s, 70, kFrozen, Kind::Flag, integer(0),
      [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].i = the<T>(o).isFrozen() ? 1 : 0; },
      [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
        the<T>(o).setIsFrozen(v[at].i != 0);
      });
  frozen.mask = 1;
  // The colour, negative for a layer that is off.
  FieldDef colour = field(
      s, 62, kSignedColor, Kind::Int, integer(7),
      [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
        const T& l = the<T>(o);
        v[at].i = l.isOff() ? -static_cast<long long>(l.colorIndex()) : l.colorIndex();
      },
      [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
        const long long c = v[at].i;
        the<T>(o).setIsOff(c < 0);
        the<T>(o).setColorIndex(static_cast<ZSoft::UInt16>(c < 0 ? -c : c));
      });
  colour.settle = layerColour;
  t.fields = {field(s, 2, kName, Kind::Text, text(u""), getName<T>, setName<T>).keptWhen(notEmpty), frozen, colour};
  return t;
}

// STYLE
TypeDef styleFields() {
  using namespace style_slot;
  using T = ZcDbTextStyleTableRecord;
  TypeDef t;
  t.type = RecordType::Style;
  const char* s = "AcDbTextStyleTableRecord";
  t.fields = {
      field(s, 2, kName, Kind::Text, text(u""), getName<T>, setName<T>).keptWhen(notEmpty),
      field(s, 40, kSize, Kind::Real, real(0), get<&T::textSize>, set<&T::setTextSize>),
      field(s, 41, kXScale, Kind::Real, real(1), get<&T::xScale>, set<&T::setXScale>),
      field(s, 50, kOblique, Kind::Angle, real(0), get<&T::obliquingAngle>, set<&T::setObliquingAngle>),
      field(
          s, 3, kFont, Kind::Text, text(u""),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) { v[at].s = the<T>(o).fileName().utf16(); },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            the<T>(o).setFileName(str(v[at].s));
          }),
      field(
          s, 4, kBigFont, Kind::Text, text(u""),
          [](const ZcDbObject& o, Slots& v, std::uint8_t at, NameCache&) {
            v[at].s = the<T>(o).bigFontFileName().utf16();
          },
          [](ZcDbObject& o, const Slots& v, std::uint8_t at, ZcDbDatabase*, NameCache&) {
            the<T>(o).setBigFontFileName(str(v[at].s));
          }),
  };
  return t;
}

// BLOCK_RECORD
TypeDef blockRecordFields() {
  using T = ZcDbBlockTableRecord;
  TypeDef t;
  t.type = RecordType::BlockRecord;
  t.fields = {field("AcDbBlockTableRecord", 2, record_slot::kName, Kind::Text, text(u""), getName<T>, setName<T>)
                  .keptWhen(notEmpty)};
  return t;
}

// BLOCK: the block's name is its BLOCK_RECORD's, which names it.
TypeDef blockFields() {
  using T = ZcDbBlockTableRecord;
  TypeDef t;
  t.type = RecordType::Block;
  const char* s = "AcDbBlockBegin";
  t.fields.push_back(field(s, 2, block_slot::kName, Kind::BlockName, text(u""), getName<T>));
  addPoint(t, field(s, 10, block_slot::kOriginX, Kind::Real, real(0), get<&T::origin>, set<&T::setOrigin>));
  t.fields.push_back(field(s, 3, block_slot::kName, Kind::BlockName));
  return t;
}

// VERTEX: written from the polyline's points.
TypeDef vertexFields() {
  TypeDef t = entityFields(RecordType::Vertex);
  addPoint(t, field("AcDb3dPolylineVertex", 10, vertex_slot::kX, Kind::Real, real(0)));
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
               &zrxhost::setLayerTableId});
  d.push_back({RecordType::Style, "STYLE", &ZcDbTextStyleTableRecord::desc, make<ZcDbTextStyleTableRecord>,
               indexFields(styleFields()), makeTable<ZcDbTextStyleTable>, &ZcDbDatabase::textStyleTableId,
               &zrxhost::setTextStyleTableId});
  d.push_back({RecordType::BlockRecord, "BLOCK_RECORD", &ZcDbBlockTableRecord::desc, make<ZcDbBlockTableRecord>,
               indexFields(blockRecordFields()), makeTable<ZcDbBlockTable>, &ZcDbDatabase::blockTableId,
               &zrxhost::setBlockTableId});
  d.push_back({RecordType::Block, "BLOCK", nullptr, nullptr, indexFields(blockFields()), nullptr, nullptr, nullptr,
               false, classOf<ZcDbBlockTableRecord>});
  d.push_back({RecordType::Vertex, "VERTEX", nullptr, nullptr, indexFields(vertexFields())});
  d.push_back(
      {RecordType::Foreign, "", &ZcDbForeignEntity::desc, nullptr, indexFields(entityFields(RecordType::Foreign))});
  // A new object's values: what it keeps of a value it refuses.
  NameCache names;
  for (RecordDescriptor& type : d)
    if (type.make != nullptr) {
      const std::unique_ptr<ZcDbObject> made(type.make());
      Slots values;
      objectToSlots(type, *made, values, names);
      type.fields.fresh = std::move(values.v);
    }
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

void refusedValues(const RecordDescriptor& d, const Slots& read, ZcDbDatabase* db, NameCache& names,
                   RefusedValues& refused) {
  refused.clear();
  const TypeDef& def = d.fields;
  if (def.fresh.empty()) return;
  for (const FieldDef& f : def.fields) {
    if (f.store == nullptr || (f.keeps == nullptr && f.settle == nullptr)) continue;
    SlotValue kept[3];
    const std::size_t width = std::min<std::size_t>(f.width, 3);
    for (std::size_t i = 0; i < width; ++i) kept[i] = read[f.slot + i];
    if (f.settle != nullptr)
      f.settle(kept, &def.fresh[f.slot], db, names);
    else if (!f.keeps(kept[0]))
      for (std::size_t i = 0; i < width; ++i) kept[i] = def.fresh[f.slot + i];
    for (std::size_t i = 0; i < width; ++i)
      if (!sameSlot(read[f.slot + i], kept[i])) refused.emplace_back(static_cast<std::uint8_t>(f.slot + i), kept[i]);
  }
}

}  // namespace zrxhost::dxf
