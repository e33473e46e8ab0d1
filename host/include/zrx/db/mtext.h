// ZcDbMText: multi-line text with inline formatting codes.
#pragma once

#include "zrx/db/entity.h"

class ZcDbMText : public ZcDbEntity {
  ZCRX_DECLARE_MEMBERS(ZcDbMText);

 public:
  enum AttachmentPoint {
    kTopLeft = 1,
    kTopCenter = 2,
    kTopRight = 3,
    kMiddleLeft = 4,
    kMiddleCenter = 5,
    kMiddleRight = 6,
    kBottomLeft = 7,
    kBottomCenter = 8,
    kBottomRight = 9,
  };
  enum FlowDirection { kLtoR = 1, kRtoL = 2, kTtoB = 3, kBtoT = 4, kByStyle = 5 };
  enum LineSpacingStyle { kAtLeast = 1, kExactly = 2 };

  ZcDbMText();
  ~ZcDbMText() override;

  ZcGePoint3d location() const { return mLocation; }
  Zcad::ErrorStatus setLocation(const ZcGePoint3d& p);
  ZcGeVector3d normal() const { return mNormal; }
  Zcad::ErrorStatus setNormal(const ZcGeVector3d& n);
  ZcGeVector3d direction() const;  // the x axis of the text, from the rotation
  double rotation() const { return mRotation; }
  Zcad::ErrorStatus setRotation(double radians);
  double textHeight() const { return mTextHeight; }
  Zcad::ErrorStatus setTextHeight(double h);
  // Reference (wrapping) width; 0: no wrapping.
  double width() const { return mWidth; }
  Zcad::ErrorStatus setWidth(double w);
  AttachmentPoint attachment() const { return mAttachment; }
  Zcad::ErrorStatus setAttachment(AttachmentPoint a);
  double lineSpacingFactor() const { return mLineSpacingFactor; }
  Zcad::ErrorStatus setLineSpacingFactor(double f);
  LineSpacingStyle lineSpacingStyle() const { return mLineSpacingStyle; }
  Zcad::ErrorStatus setLineSpacingStyle(LineSpacingStyle s);
  ZcDbObjectId textStyle() const { return mTextStyle; }
  Zcad::ErrorStatus setTextStyle(ZcDbObjectId style);
  const ZcString& textStyleName() const { return mTextStyleName; }
  Zcad::ErrorStatus setTextStyleName(const ZcString& name);

  // Contents with their inline codes (\P, \L, {\fArial;...}, %%d and the rest).
  ZTCHAR* contents() const;  // a copy the caller frees with delete[]
  const ZcString& contentsString() const { return mContents; }
  Zcad::ErrorStatus setContents(const ZTCHAR* text);
  Zcad::ErrorStatus setContents(const ZcString& text);
  // Contents without codes, lines joined by "\n".
  ZcString text() const;

  // ZcDbTexts in reading order: explicit breaks and word wrap at the reference width, formatting codes
  // removed, special characters decoded, placed by attachment and line spacing. One per line when no
  // inline code changes the format; else one per run of each line, placed where the run starts and
  // carrying its height, width factor, oblique, colour index (a true colour leaves the MText's) and,
  // for a font change, the first text style of the drawing that uses that font (none: the MText's).
  Zcad::ErrorStatus explode(ZcArray<void*>& entitySet) const override;
  Zcad::ErrorStatus getGeomExtents(ZcDbExtents& extents) const override;
  bool hitTest(const ZcGePoint3d& point, double aperture) const override;
  Zcad::ErrorStatus getOsnapPoints(ZcDb::OsnapMode osnapMode, ZSoft::GsMarker gsSelectionMark,
                                   const ZcGePoint3d& pickPoint, const ZcGePoint3d& lastPoint,
                                   ZcArray<ZcGePoint3d>& snapPoints) const override;

 protected:
  bool subWorldDraw(ZcGiWorldDraw* mode) override;
  void copyFieldsTo(ZcDbObject* target) const override;
  bool hasSameFieldsAs(const ZcDbObject& other) const override;

 private:
  ZcGePoint3d mLocation;
  ZcGeVector3d mNormal{0, 0, 1};
  double mRotation = 0;
  double mTextHeight = 2.5;
  double mWidth = 0;
  AttachmentPoint mAttachment = kTopLeft;
  double mLineSpacingFactor = 1.0;
  LineSpacingStyle mLineSpacingStyle = kAtLeast;
  ZcDbObjectId mTextStyle;
  ZcString mTextStyleName{std::u16string(u"Standard")};  // from UTF-16: no conversion per object
  ZcString mContents;
};
