// TallyJig: the jig of one run of the command: the picked text's values, the placement parameters,
// the pick's result, the dragged points and the laid-out copies.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "jig/placement.h"
#include "module/host.h"
#include "text/run.h"

class TextArray;

// The most copies one array holds; a layout that asks for more is laid out with the first ones
// (and says so when they are written).
constexpr int kMaxCopies = 100000;

// The step angle of a polar array until one is given: π/6, computed once when the module loads.
inline const double kDefaultObjAngle = std::acos(-1.0) / 6;

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

  void setIncMethod(IncrementMethod method) { incMethod_ = method; }
  std::int64_t incValue() const { return incValue_; }
  // The step of copy 1 onwards: the typed step, or in free placement the typed step times the
  // copy's number, which may leave the 32-bit range of the step itself.
  void setIncValue(std::int64_t value) { incValue_ = value; }
  int objNum() const { return objNum_; }
  void setObjNum(int num) {
    objNum_ = num;
    objNumGiven_ = true;
  }
  double objDist() const { return objDist_; }
  void setObjDist(double dist) {
    objDist_ = dist;
    objNumGiven_ = false;
  }
  double objAngle() const { return objAngle_; }
  void setObjAngle(double angle) {
    objAngle_ = angle;
    objNumGiven_ = false;
  }
  // True when the count was given and update shares the drag among the copies; false when the
  // spacing or step angle was, and the count follows from the drag.
  bool objNumGiven() const { return objNumGiven_; }
  ZcGePoint3d objCenter() const { return objCenter_; }
  void setObjCenter(const ZcGePoint3d& center) { objCenter_ = center; }
  void setClockwise(bool clockwise) { isClockwise_ = clockwise; }
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

  // The picked Text and its values, taken when the jig is made.
  ZcDbObjectId textId() const { return textId_; }
  ZcGePoint3d clickPoint() const { return clickPoint_; }
  ZcString textString() const { return textString_; }
  ZcGePoint3d alignmentPoint() const { return alignmentPoint_; }
  bool isDefaultAlignment() const { return isDefaultAlignment_; }
  int horizontalMode() const { return horizontalMode_; }
  int verticalMode() const { return verticalMode_; }

  // Null when the preview class is not registered: the jig then lays out and commits unseen.
  TextArray* textArray() const { return textArray_; }
  // The jig's own stage only; the preview is told its stage apart, through textArray().
  void setDragStage(int stage) { dragStage_ = stage; }

  // The run under the pick. pickCharacterRun sets its bounds; the setters let a layout run without
  // a pick.
  RunKind incType() const { return incType_; }
  void setIncType(RunKind kind) { incType_ = kind; }
  int runStart() const { return runStart_; }
  void setRunStart(int start) { runStart_ = start; }
  int runEnd() const { return runEnd_; }
  void setRunEnd(int end) { runEnd_ = end; }
  // The red frame around the run; null until a pick is marked.
  ZcDbObjectId markId() const { return markId_; }

 private:
  // 0 while the base point is dragged (both points follow the cursor), 1 for the second point.
  int dragStage_ = 0;
  TextArray* textArray_ = nullptr;
  IncrementMethod incMethod_ = kLine;
  ZcDbObjectId textId_;
  ZcGePoint3d clickPoint_;
  ZcString textString_;
  ZcGePoint3d alignmentPoint_;
  bool isDefaultAlignment_ = true;
  int horizontalMode_ = 0;
  int verticalMode_ = 0;
  bool isClockwise_ = false;
  bool objNumGiven_ = false;
  std::int64_t incValue_ = 1;
  // The run under the pick.
  RunKind incType_ = kDigitRun;
  int runStart_ = 0;
  int runEnd_ = 0;
  ZcDbObjectId markId_ = ZcDbObjectId::kNull;

  ZcGePoint3d textPosition_;
  int objNum_ = 0;
  double objDist_ = 10.0;
  double objAngle_ = kDefaultObjAngle;
  ZcGePoint3d objCenter_;
  ZcGePoint3d basePoint_{0, 0, 0};
  ZcGePoint3d endPoint_{30, 0, 0};
  bool layoutCut_ = false;
  int unplacedCopies_ = 0;
  ZcArray<ZcGePoint3d> positionArray_;
  ZcArray<ZcString> stringArray_;
  CopyStringList copyStrings_;  // writes stringArray_

  void dropUnplaceableCopies();
};
