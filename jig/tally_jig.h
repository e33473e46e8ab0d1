// TallyJig: the jig of one run of the command: the picked text's values, the placement parameters,
// the pick's result, the dragged points and the laid-out copies.
#pragma once

#include <algorithm>
#include <cstdint>

#include "jig/placement.h"
#include "module/host.h"
#include "text/run.h"

class TextArray;

// The most copies one array holds; a layout that asks for more is laid out with the first ones
// (and says so when they are written).
constexpr int kMaxCopies = 100000;

class TallyJig : public ZcEdJig {
 public:
  TallyJig(ZcDbObjectId textId, const ZcGePoint3d& clickPoint);
  ~TallyJig() override;
  TallyJig(const TallyJig&) = delete;
  TallyJig& operator=(const TallyJig&) = delete;

  DragStatus sampler() override;
  bool update() override;
  ZcDbEntity* entity() const override;

  // Finds the run under the pick and draws the mark around it; says why when nothing can be
  // counted there.
  RunKind pickCharacterRun();
  void eraseMark();

  void setIncMethod(IncrementMethod method) { incMethod = method; }
  // The step of copy 1 onwards: the typed step, or in free placement the typed step times the
  // copy's number, which may leave the 32-bit range of the step itself.
  void setIncValue(std::int64_t value) { incValue = value; }
  int objNum() const { return objNum_; }
  void setObjNum(int num) {
    objNum_ = num;
    objNumGiven = true;
  }
  double objDist() const { return objDist_; }
  void setObjDist(double dist) {
    objDist_ = dist;
    objNumGiven = false;
  }
  double objAngle() const { return objAngle_; }
  void setObjAngle(double angle) {
    objAngle_ = angle;
    objNumGiven = false;
  }
  ZcGePoint3d objCenter() const { return objCenter_; }
  void setObjCenter(const ZcGePoint3d& center) { objCenter_ = center; }
  void setClockwise(bool clockwise) { isClockwise = clockwise; }
  ZcGePoint3d basePoint() const { return basePoint_; }
  void setBasePoint(const ZcGePoint3d& p) { basePoint_ = p; }
  ZcGePoint3d endPoint() const { return endPoint_; }
  void setEndPoint(const ZcGePoint3d& p) { endPoint_ = p; }
  ZcGePoint3d textPosition() const { return textPosition_; }
  ZcArray<ZcGePoint3d> positionArray() const { return positionArray_; }
  // True when the last update was asked for more than kMaxCopies copies and laid out only those.
  bool layoutCut() const { return layoutCut_; }
  // How many copies of the last update were left out because their coordinates are not finite.
  int unplacedCopies() const { return unplacedCopies_; }
  ZcArray<ZcString> stringArray() const { return stringArray_; }
  // How many copies the last update laid out (a position and a string each).
  int copyCount() const { return std::min(positionArray_.length(), stringArray_.length()); }

  // Read and set directly by the placement dialogue, the commit and the preview.
  int dragStage = 0;
  TextArray* pTextArray = nullptr;
  IncrementMethod incMethod = kLine;
  ZcDbObjectId textId;
  ZcGePoint3d clickPoint;
  // The picked Text's values, taken when the jig is made.
  ZcString textString;
  ZcGePoint3d alignmentPoint;
  bool isDefaultAlignment = true;
  int horizontalMode = 0;
  int verticalMode = 0;
  bool isClockwise = false;
  bool objNumGiven = false;
  std::int64_t incValue = 1;
  // The run under the pick.
  RunKind incType = kDigitRun;
  int runStart = 0;
  int runEnd = 0;
  ZcDbObjectId markId;

 private:
  ZcGePoint3d textPosition_;
  int objNum_ = 0;
  double objDist_ = 10.0;
  double objAngle_;
  ZcGePoint3d objCenter_;
  ZcGePoint3d basePoint_;
  ZcGePoint3d endPoint_{30, 0, 0};
  bool layoutCut_ = false;
  int unplacedCopies_ = 0;
  ZcArray<ZcGePoint3d> positionArray_;
  ZcArray<ZcString> stringArray_;
  CopyStringList copyStrings_;  // writes stringArray_

  void dropUnplaceableCopies();
};
