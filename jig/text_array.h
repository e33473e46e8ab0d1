// TextArray: the transient entity that previews every copy of the picked text during a drag.
#pragma once

#include "module/host.h"

class TextArray : public ZcDbEntity {
 public:
  TextArray();
  ~TextArray() override;

  static ZcRxClass* desc();
  ZcRxClass* isA() const override;
  static void rxInit();
  static void rxInit(AppNameChangeFuncPtr appNameChange);

  void setPositionArray(ZcArray<ZcGePoint3d> positions);
  void setStringArray(ZcArray<ZcString> strings);
  void setTextId(ZcDbObjectId id);
  void setDragStage(int stage) { dragStage = stage; }

 protected:
  bool subWorldDraw(ZcGiWorldDraw* mode) override;

 private:
  int dragStage = 0;
  bool hasSource = false;
  ZcDbObjectId textId;
  ZcArray<ZcGePoint3d> positionArray;
  ZcArray<ZcString> stringArray;
};
