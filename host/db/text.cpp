// ZcDbText: single-line text; its placement by alignment, its text box, its drawing.
#include "zrx/db/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "db/geom.h"
#include "db/stub.h"
#include "db/symtab_generation.h"
#include "zrx/db/database.h"
#include "zrx/db/symtab.h"
#include "zrx/gi.h"
#include "zrx/rx_define.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/fonts.h"

ZCRX_DEFINE_MEMBERS(ZcDbText, ZcDbEntity, L"AcDbText", L"TEXT", &zrxdb::construct<ZcDbText>);

struct ZcDbText::Placement {
  ZcGePoint3d position;
  double height;
  double widthFactor;
  double rotation;
  zrxdb::PlaneAxes axes;
};

ZcDbText::ZcDbText() = default;

ZcDbText::ZcDbText(const ZcGePoint3d& position, const ZTCHAR* text, ZcDbObjectId style, double height, double rotation)
    : mPosition(position), mAlignmentPoint(position), mRotation(rotation), mTextStyle(style) {
  if (height > 0) mHeight = height;
  if (text != nullptr) mText = ZcString(text);
  if (const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(style)) mTextStyleName = record->name();
}

ZcDbText::~ZcDbText() = default;

// The same test as isWriteEnabled(), read from the stub directly: a preview sets the text and the
// position of one copy a hundred thousand times a frame.
#define ZRX_REQUIRE_WRITE() \
  if (stub() != nullptr && !stub()->writer) return Zcad::eNotOpenForWrite

Zcad::ErrorStatus ZcDbText::setPosition(const ZcGePoint3d& p) {
  ZRX_REQUIRE_WRITE();
  zrxdb::notePointEdit(stub(), zrxhost::kEditPositionX, mPosition, p);
  mPosition = p;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setAlignmentPoint(const ZcGePoint3d& p) {
  ZRX_REQUIRE_WRITE();
  zrxdb::notePointEdit(stub(), zrxhost::kEditAlignmentPointX, mAlignmentPoint, p);
  mAlignmentPoint = p;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setNormal(const ZcGeVector3d& n) {
  ZRX_REQUIRE_WRITE();
  if (n.isZeroLength()) return Zcad::eInvalidInput;
  mNormal = n.normal();
  zrxdb::noteEdit(stub(), zrxhost::kEditNormal);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setThickness(double t) {
  ZRX_REQUIRE_WRITE();
  if (!std::isfinite(t)) return Zcad::eInvalidInput;
  mThickness = t;
  zrxdb::noteEdit(stub(), zrxhost::kEditThickness);
  return Zcad::eOk;
}

bool zrxhost::textObliqueKept(double radians, double& kept) {
  if (!std::isfinite(radians)) return false;
  const double a = std::remainder(radians, 2 * ZcGe::kPi);
  if (std::fabs(a) > 85.0 * ZcGe::kPi / 180.0 + 1e-12) return false;
  kept = a;
  return true;
}

Zcad::ErrorStatus ZcDbText::setOblique(double radians) {
  ZRX_REQUIRE_WRITE();
  double a = 0;
  if (!zrxhost::textObliqueKept(radians, a)) return Zcad::eInvalidInput;
  mOblique = a;
  zrxdb::noteEdit(stub(), zrxhost::kEditOblique);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setRotation(double radians) {
  ZRX_REQUIRE_WRITE();
  if (!std::isfinite(radians)) return Zcad::eInvalidInput;
  mRotation = radians;
  zrxdb::noteEdit(stub(), zrxhost::kEditRotation);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setHeight(double h) {
  ZRX_REQUIRE_WRITE();
  if (!(h > 0) || !std::isfinite(h)) return Zcad::eInvalidInput;
  mHeight = h;
  zrxdb::noteEdit(stub(), zrxhost::kEditHeight);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setWidthFactor(double w) {
  ZRX_REQUIRE_WRITE();
  if (!(w > 0) || !std::isfinite(w)) return Zcad::eInvalidInput;
  mWidthFactor = w;
  zrxdb::noteEdit(stub(), zrxhost::kEditWidth);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::mirrorInX(bool on) {
  ZRX_REQUIRE_WRITE();
  mGenerationFlags = on ? (mGenerationFlags | 2) : (mGenerationFlags & ~2);
  zrxdb::noteEdit(stub(), zrxhost::kEditMirror);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::mirrorInY(bool on) {
  ZRX_REQUIRE_WRITE();
  mGenerationFlags = on ? (mGenerationFlags | 4) : (mGenerationFlags & ~4);
  zrxdb::noteEdit(stub(), zrxhost::kEditMirror);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setHorizontalMode(ZcDb::TextHorzMode mode) {
  ZRX_REQUIRE_WRITE();
  if (mode < ZcDb::kTextLeft || mode > ZcDb::kTextFit) return Zcad::eInvalidInput;
  mHorizontalMode = mode;
  zrxdb::noteEdit(stub(), zrxhost::kEditJustification);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setVerticalMode(ZcDb::TextVertMode mode) {
  ZRX_REQUIRE_WRITE();
  if (mode < ZcDb::kTextBase || mode > ZcDb::kTextTop) return Zcad::eInvalidInput;
  mVerticalMode = mode;
  zrxdb::noteEdit(stub(), zrxhost::kEditJustification);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setTextStyle(ZcDbObjectId style) {
  ZRX_REQUIRE_WRITE();
  mTextStyle = style;
  if (const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(style)) mTextStyleName = record->name();
  forgetStyleRecord();
  zrxdb::noteEdit(stub(), zrxhost::kEditStyle);
  return Zcad::eOk;
}

// A name replaces the id: the style is then found by name in the drawing.
Zcad::ErrorStatus ZcDbText::setTextStyleName(const ZcString& name) {
  ZRX_REQUIRE_WRITE();
  mTextStyleName = name;
  mTextStyle = ZcDbObjectId::kNull;
  forgetStyleRecord();
  zrxdb::noteEdit(stub(), zrxhost::kEditStyle);
  return Zcad::eOk;
}

ZTCHAR* ZcDbText::textString() const {
  const ZTCHAR* wide = mText.kwszPtr();
  const size_t n = std::wcslen(wide);
  auto* copy = new ZTCHAR[n + 1];
  std::wmemcpy(copy, wide, n + 1);
  return copy;
}

Zcad::ErrorStatus ZcDbText::textString(ZcString& text) const {
  text = mText;
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setTextString(const ZTCHAR* text) {
  ZRX_REQUIRE_WRITE();
  if (text == nullptr) return Zcad::eInvalidInput;
  mText = text;
  zrxdb::noteEdit(stub(), zrxhost::kEditContents);
  return Zcad::eOk;
}

Zcad::ErrorStatus ZcDbText::setTextString(const ZcString& text) {
  ZRX_REQUIRE_WRITE();
  mText = text;
  zrxdb::noteEdit(stub(), zrxhost::kEditContents);
  return Zcad::eOk;
}

// A style found by name in the first database searched is remembered while the same databases
// are searched, the symbol-table generation is unchanged and the record is not erased. Any other
// answer (a fallback to "Standard" or to a later database) is looked up again each time: unerasing
// a record of the name, which the generation does not count, would change it.
const ZcDbTextStyleTableRecord* ZcDbText::effectiveStyle(const ZcDbDatabase* db) const {
  return styleRecord(db);
}

const ZcDbTextStyleTableRecord* ZcDbText::styleRecord(const ZcDbDatabase* db) const {
  if (const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(mTextStyle)) return record;
  const ZcDbStub* own = stub();
  const ZcDbDatabase* candidates[] = {db, own != nullptr ? own->database : nullptr,
                                      zcdbHostApplicationServices()->workingDatabase()};
  if (mStyleRecord != nullptr && mStyleGeneration == zrxdb::symbolTableGeneration &&
      mStyleSearched[0] == candidates[0] && mStyleSearched[1] == candidates[1] && mStyleSearched[2] == candidates[2] &&
      !mStyleRecordId.stub()->erased) [[likely]]
    return mStyleRecord;
  return lookUpStyleRecord(candidates);
}

// Apart from the checks above, so that they need no stack frame of their own.
const ZcDbTextStyleTableRecord* ZcDbText::lookUpStyleRecord(const ZcDbDatabase* const candidates[3]) const {
  mStyleRecord = nullptr;
  bool first = true;
  for (int i = 0; i < 3; ++i) {
    const ZcDbDatabase* candidate = candidates[i];
    if (candidate == nullptr) continue;
    const auto* styles = zrxdb::peek<ZcDbTextStyleTable>(candidate->textStyleTableId());
    if (styles == nullptr) {
      first = false;
      continue;
    }
    ZcDbObjectId id = styles->getIdAt(mTextStyleName);
    if (first && !id.isNull()) {
      if (const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(id)) {
        mStyleRecord = record;
        mStyleRecordId = id;
        std::copy(candidates, candidates + 3, mStyleSearched);
        mStyleGeneration = zrxdb::symbolTableGeneration;
        return record;
      }
    }
    first = false;
    if (id.isNull()) id = candidate->textStyleStandardId();
    if (const auto* record = zrxdb::peek<ZcDbTextStyleTableRecord>(id)) return record;
  }
  return nullptr;
}

ZcString ZcDbText::fontFileName() const {
  const ZcDbTextStyleTableRecord* style = effectiveStyle();
  return style ? style->fileName() : ZcString();
}

ZcString ZcDbText::bigFontFileName() const {
  const ZcDbTextStyleTableRecord* style = effectiveStyle();
  return style ? style->bigFontFileName() : ZcString();
}

const zrxhost::Font& ZcDbText::font(const ZcDbDatabase* db) const {
  const ZcDbTextStyleTableRecord* style = effectiveStyle(db);
  if (style == nullptr) return zrxhost::fontFor({});
  return zrxhost::fontFor(style->fileName().utf8Ptr(), style->bigFontFileName().utf8Ptr());
}

// Computed from the current values each time, so that the geometry follows every change at once.
// A left, baseline text needs no measuring: its position is where it starts.
ZcDbText::Placement ZcDbText::placement(const ZcDbDatabase* db) const {
  Placement p{mPosition, mHeight, mWidthFactor, mRotation, {}};
  if (isDefaultAlignment()) {
    p.axes = zrxdb::planeAxes(mNormal, mRotation);
    return p;
  }
  const zrxhost::Font& f = font(db);
  const double advance = f.measure(mText.utf16());
  if (mHorizontalMode == ZcDb::kTextAlign || mHorizontalMode == ZcDb::kTextFit) {
    // The text spans the two points: the baseline turns toward the second, and the height
    // (aligned) or the width factor (fit) makes the advances fill the distance.
    const zrxdb::PlaneAxes base = zrxdb::planeAxes(mNormal, 0);
    const ZcGeVector3d d = mAlignmentPoint - mPosition;
    const double along = d.dotProduct(base.x), across = d.dotProduct(base.y);
    const double length = std::hypot(along, across);
    if (length > 0 && advance > 0) {
      p.rotation = std::atan2(across, along);
      if (mHorizontalMode == ZcDb::kTextAlign)
        p.height = length / (advance * mWidthFactor);
      else
        p.widthFactor = length / (advance * mHeight);
    }
    p.axes = zrxdb::planeAxes(mNormal, p.rotation);
    return p;
  }
  const double width = advance * mHeight * mWidthFactor;
  double dx = 0, dy = 0;
  switch (mHorizontalMode) {
    case ZcDb::kTextCenter:
      dx = -width / 2;
      break;
    case ZcDb::kTextRight:
      dx = -width;
      break;
    case ZcDb::kTextMid:
      dx = -width / 2;
      break;
    default:
      break;
  }
  if (mHorizontalMode == ZcDb::kTextMid) {
    dy = -mHeight / 2;  // middle is centred on half the cap height whatever the vertical mode
  } else {
    switch (mVerticalMode) {
      case ZcDb::kTextBottom:
        dy = -f.descender() * mHeight;
        break;
      case ZcDb::kTextVertMid:
        dy = -mHeight / 2;
        break;
      case ZcDb::kTextTop:
        dy = -mHeight;
        break;
      default:
        break;
    }
  }
  p.axes = zrxdb::planeAxes(mNormal, mRotation);
  p.position = mAlignmentPoint + p.axes.x * dx + p.axes.y * dy;
  return p;
}

Zcad::ErrorStatus ZcDbText::adjustAlignment(const ZcDbDatabase* db) {
  ZRX_REQUIRE_WRITE();
  if (isDefaultAlignment()) return Zcad::eOk;
  const Placement p = placement(db);
  zrxdb::notePointEdit(stub(), zrxhost::kEditPositionX, mPosition, p.position);
  mPosition = p.position;
  mHeight = p.height;
  mWidthFactor = p.widthFactor;
  mRotation = p.rotation;
  zrxdb::noteEdit(stub(), zrxhost::Edit(zrxhost::kEditHeight | zrxhost::kEditWidth | zrxhost::kEditRotation));
  return Zcad::eOk;
}

// The real host settles the position of an aligned text when it is closed after a change.
void ZcDbText::subCloseForWrite() {
  if (!isDefaultAlignment()) adjustAlignment(database());
}

void ZcDbText::textBox(ZcGePoint3d corners[4]) const {
  const Placement p = placement(nullptr);
  const zrxhost::Font& f = font();
  double width = f.measure(mText.utf16()) * p.height * p.widthFactor;
  double bottom = f.descender() * p.height, top = f.ascender() * p.height;
  if (isMirroredInX()) width = -width;
  if (isMirroredInY()) {
    bottom = -bottom;
    top = -top;
  }
  const double shear = std::tan(mOblique);
  const double u[4] = {0, width, width, 0};
  const double v[4] = {bottom, bottom, top, top};
  for (int i = 0; i < 4; ++i) corners[i] = p.position + p.axes.x * (u[i] + v[i] * shear) + p.axes.y * v[i];
}

Zcad::ErrorStatus ZcDbText::getGeomExtents(ZcDbExtents& extents) const {
  extents = ZcDbExtents();
  if (mText.isEmpty()) return Zcad::eInvalidExtents;
  ZcGePoint3d corners[4];
  textBox(corners);
  for (const ZcGePoint3d& c : corners) extents.addPoint(c);
  return Zcad::eOk;
}

// A text snaps at its insertion point, and at its alignment point where its alignment uses one.
Zcad::ErrorStatus ZcDbText::getOsnapPoints(ZcDb::OsnapMode mode, ZSoft::GsMarker, const ZcGePoint3d&,
                                           const ZcGePoint3d&, ZcArray<ZcGePoint3d>& points) const {
  if (mode != ZcDb::kOsModeIns) return Zcad::eOk;
  points.append(mPosition);
  if (!isDefaultAlignment()) points.append(mAlignmentPoint);
  return Zcad::eOk;
}

bool ZcDbText::hitTest(const ZcGePoint3d& point, double aperture) const {
  if (mText.isEmpty()) return false;
  ZcGePoint3d corners[4];
  textBox(corners);
  return zrxdb::nearPolygonXY(point, corners, 4, aperture);
}

// A preview draws the same text many times a frame: the style's strings are copied only when they
// change (the host draws on one thread), and a left, baseline text in the XY plane takes its
// placement without the general construction.
bool ZcDbText::subWorldDraw(ZcGiWorldDraw* mode) {
  static ZcGiTextStyle& style = *new ZcGiTextStyle;  // never destroyed: drawing may happen at exit
  static const ZcGiTextStyle& noFonts = *new ZcGiTextStyle;
  ZcGePoint3d position;
  ZcGeVector3d direction;
  double height, widthFactor;
  if (isDefaultAlignment() && mRotation == 0 && mNormal.x == 0 && mNormal.y == 0 && mNormal.z > 0) {
    position = mPosition;
    direction = ZcGeVector3d(1, 0, 0);
    height = mHeight;
    widthFactor = mWidthFactor;
  } else {
    const Placement p = placement(nullptr);
    position = p.position;
    direction = p.axes.x;
    height = p.height;
    widthFactor = p.widthFactor;
  }
  const ZcDbTextStyleTableRecord* record = styleRecord(nullptr);
  const ZcGiTextStyle& fonts = record ? record->fonts() : noFonts;
  if (style.fontsSerial() != fonts.fontsSerial()) style = fonts;
  style.textSize = height;
  style.xScale = widthFactor;
  style.obliquingAngle = mOblique;
  mode->geometry().text(position, mNormal, direction, mText, style);
  return true;
}

void ZcDbText::copyFieldsTo(ZcDbObject* target) const {
  ZcDbEntity::copyFieldsTo(target);
  auto* t = static_cast<ZcDbText*>(target);
  t->mPosition = mPosition;
  t->mAlignmentPoint = mAlignmentPoint;
  t->mNormal = mNormal;
  t->mThickness = mThickness;
  t->mOblique = mOblique;
  t->mRotation = mRotation;
  t->mHeight = mHeight;
  t->mWidthFactor = mWidthFactor;
  t->mGenerationFlags = mGenerationFlags;
  t->mHorizontalMode = mHorizontalMode;
  t->mVerticalMode = mVerticalMode;
  t->mTextStyle = mTextStyle;
  t->mTextStyleName = mTextStyleName;
  t->forgetStyleRecord();
  t->mText = mText;
}

bool ZcDbText::hasSameFieldsAs(const ZcDbObject& other) const {
  const auto& o = static_cast<const ZcDbText&>(other);
  return ZcDbEntity::hasSameFieldsAs(other) && zrxdb::sameCoordinates(mPosition, o.mPosition) &&
         zrxdb::sameCoordinates(mAlignmentPoint, o.mAlignmentPoint) && zrxdb::sameCoordinates(mNormal, o.mNormal) &&
         mThickness == o.mThickness && mOblique == o.mOblique && mRotation == o.mRotation && mHeight == o.mHeight &&
         mWidthFactor == o.mWidthFactor && mGenerationFlags == o.mGenerationFlags &&
         mHorizontalMode == o.mHorizontalMode && mVerticalMode == o.mVerticalMode && mTextStyle == o.mTextStyle &&
         mTextStyleName == o.mTextStyleName && mText == o.mText;
}
