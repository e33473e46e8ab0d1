// TextArray: the transient entity that previews every copy of the picked text during a drag.
#pragma once

#include <cstddef>

#include "module/host.h"

// Whether a copy of a text with these modes is placed by its insertion point (a left baseline text,
// and an aligned or fit text whatever its vertical mode, since it spans both of its points) rather
// than by its alignment point.
inline bool placedByPosition(int horizontalMode, int verticalMode) {
  if (horizontalMode == ZcDb::kTextAlign || horizontalMode == ZcDb::kTextFit) return true;
  return verticalMode == ZcDb::kTextBase && horizontalMode == ZcDb::kTextLeft;
}

class TextArray : public ZcDbEntity {
 public:
  // On the host's heap; a failed allocation gives null, which the pseudo-constructor passes on.
  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* p) noexcept;

  TextArray();
  ~TextArray() override;

  static ZcRxClass* desc();
  ZcRxClass* isA() const override;
  static void rxInit();
  // Removes the class from the registry and forgets the held descriptor, so that a later desc()
  // never hands out a freed one.
  static void rxUninit();

  // Replace the whole list. The new contents are copied into the storage the last update left, so
  // that a drag over many copies does not allocate every string again on every cursor move.
  void setPositionArray(const ZcArray<ZcGePoint3d>& positions);
  void setStringArray(const ZcArray<ZcString>& strings);
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
