// ZcDbText: single-line text, measured with the real glyph metrics of its style's font.
#pragma once

#include <cstdint>

#include "zrx/db/entity.h"

class ZcDbTextStyleTableRecord;
namespace zrxhost {
class Font;
}

class ZcDbText : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDbText);

 public:
  ZcDbText();
  ZcDbText(const ZcGePoint3d& position, const ZTCHAR* text, ZcDbObjectId style = ZcDbObjectId::kNull, double height = 0,
           double rotation = 0);
  ~ZcDbText() override;

  ZcGePoint3d position() const { return mPosition; }
  Zcad::ErrorStatus setPosition(const ZcGePoint3d& p);
  ZcGePoint3d alignmentPoint() const { return mAlignmentPoint; }
  Zcad::ErrorStatus setAlignmentPoint(const ZcGePoint3d& p);
  // True when the text is left-aligned on its baseline (modes 0 and 0): then only the position counts.
  bool isDefaultAlignment() const { return mHorizontalMode == ZcDb::kTextLeft && mVerticalMode == ZcDb::kTextBase; }
  ZcGeVector3d normal() const { return mNormal; }
  Zcad::ErrorStatus setNormal(const ZcGeVector3d& n);
  double thickness() const { return mThickness; }
  Zcad::ErrorStatus setThickness(double t);
  double oblique() const { return mOblique; }
  Zcad::ErrorStatus setOblique(double radians);
  double rotation() const { return mRotation; }
  Zcad::ErrorStatus setRotation(double radians);
  double height() const { return mHeight; }
  Zcad::ErrorStatus setHeight(double h);
  double widthFactor() const { return mWidthFactor; }
  Zcad::ErrorStatus setWidthFactor(double w);
  bool isMirroredInX() const { return (mGenerationFlags & 2) != 0; }
  bool isMirroredInY() const { return (mGenerationFlags & 4) != 0; }
  Zcad::ErrorStatus mirrorInX(bool on);
  Zcad::ErrorStatus mirrorInY(bool on);
  ZcDb::TextHorzMode horizontalMode() const { return mHorizontalMode; }
  Zcad::ErrorStatus setHorizontalMode(ZcDb::TextHorzMode mode);
  ZcDb::TextVertMode verticalMode() const { return mVerticalMode; }
  Zcad::ErrorStatus setVerticalMode(ZcDb::TextVertMode mode);
  // Text style by id (null: the database's "Standard"); the style gives font, width factor, oblique.
  ZcDbObjectId textStyle() const { return mTextStyle; }
  Zcad::ErrorStatus setTextStyle(ZcDbObjectId style);
  // The style's name for a text not yet in a database, or as read from a drawing.
  const ZcString& textStyleName() const { return mTextStyleName; }
  Zcad::ErrorStatus setTextStyleName(const ZcString& name);

  ZTCHAR* textString() const;  // a copy the caller frees with delete[]
  Zcad::ErrorStatus textString(ZcString& text) const;
  const ZcString& textZcString() const { return mText; }
  const ZTCHAR* textStringConst() const { return mText.kwszPtr(); }
  Zcad::ErrorStatus setTextString(const ZTCHAR* text);
  Zcad::ErrorStatus setTextString(const ZcString& text);

  // Recomputes the position from the alignment point and the modes (and, for aligned and fit, the
  // height or width factor from the two points), as the real host does. `db` may be null.
  Zcad::ErrorStatus adjustAlignment(const ZcDbDatabase* db = nullptr);

  // The text box: along the baseline from the start of the first character cell to the end of the
  // last (advance widths), across from the descender to the ascender; turned by oblique and rotation.
  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  // The four corners of the text box in world coordinates, counter-clockwise from the lower left.
  void textBox(ZcGePoint3d corners[4]) const;
  bool hitTest(const ZcGePoint3d& point, double aperture) const override;
  Zcad::ErrorStatus getOsnapPoints(ZcDb::OsnapMode osnapMode, ZSoft::GsMarker gsSelectionMark,
                                   const ZcGePoint3d& pickPoint, const ZcGePoint3d& lastPoint,
                                   ZcArray<ZcGePoint3d>& snapPoints) const override;
  // The font file names of the style in effect ("" where none is set).
  ZcString fontFileName() const;
  ZcString bigFontFileName() const;
  // The style record in effect (by id, else by name, else "Standard"); null when there is none.
  // `db` (may be null) is searched before the text's own database and the working database.
  const ZcDbTextStyleTableRecord* effectiveStyle(const ZcDbDatabase* db = nullptr) const;
  // The font the text is measured and drawn with.
  const zrxhost::Font& font(const ZcDbDatabase* db = nullptr) const;

 protected:
  bool subWorldDraw(ZcGiWorldDraw* mode) override;
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;
  void subCloseForWrite() override;

 private:
  // Where the modes put the text: the left end of its baseline, its height, width factor and
  // rotation (aligned and fit derive the last three from the two points).
  // (These two are not exported: the draw calls them directly, without the symbol indirection.)
  struct Placement;
  [[gnu::visibility("hidden")]] Placement placement(const ZcDbDatabase* db) const;
  [[gnu::visibility("hidden")]] const ZcDbTextStyleTableRecord* styleRecord(const ZcDbDatabase* db) const;
  [[gnu::visibility("hidden")]] const ZcDbTextStyleTableRecord* lookUpStyleRecord(
      const ZcDbDatabase* const candidates[3]) const;
  void forgetStyleRecord() { mStyleRecord = nullptr; }

  ZcGePoint3d mPosition;
  ZcGePoint3d mAlignmentPoint;
  ZcGeVector3d mNormal{0, 0, 1};
  double mThickness = 0;
  double mOblique = 0;
  double mRotation = 0;
  double mHeight = 2.5;
  double mWidthFactor = 1.0;
  int mGenerationFlags = 0;
  ZcDb::TextHorzMode mHorizontalMode = ZcDb::kTextLeft;
  ZcDb::TextVertMode mVerticalMode = ZcDb::kTextBase;
  ZcDbObjectId mTextStyle;
  ZcString mTextStyleName{std::u16string(u"Standard")};  // from UTF-16: no conversion per object
  ZcString mText;
  // The style record mTextStyleName led to, the databases searched (the argument, the text's own,
  // the working one) and the symbol-table generation then; not copied.
  mutable const ZcDbTextStyleTableRecord* mStyleRecord = nullptr;
  mutable ZcDbObjectId mStyleRecordId;
  mutable const ZcDbDatabase* mStyleSearched[3] = {};
  mutable std::uint64_t mStyleGeneration = 0;
};
