// TextArray: registration of the preview class and the draw of every copy through one clone.
#include "jig/text_array.h"

#include <algorithm>

#include "jig/commit.h"

namespace {

// Held from registration (or the first desc()) on; the module's one class descriptor.
ZcRxClass* gTextArrayDesc = nullptr;

constexpr const ZTCHAR* kClassName = L"TextArray";
constexpr int kDwgVersion = 33;
constexpr int kMaintenanceVersion = 55;
// Every proxy operation allowed except 0x400.
constexpr int kProxyFlags = 0xBFF;

ZcRxObject* makeTextArray() {
  return new TextArray;
}

void registerClass() {
  if (gTextArrayDesc != nullptr) {
    ZcRxClass* known = zcrxFindZcRxClass(kClassName);
    if (known == gTextArrayDesc) return;
    if (known != nullptr) zcrx_abort(L"Class mismatch");
  }
  gTextArrayDesc = newZcRxClass(kClassName, L"AcDbEntity", kDwgVersion, kMaintenanceVersion, kProxyFlags,
                                &makeTextArray, kClassName, L"\"\"", nullptr);
}

}  // namespace

void* TextArray::operator new(std::size_t bytes) noexcept {
  return zcutNew(bytes);
}

void TextArray::operator delete(void* p) noexcept {
  zcutDelete(p);
}

TextArray::TextArray() = default;

TextArray::~TextArray() = default;

ZcRxClass* TextArray::desc() {
  if (gTextArrayDesc == nullptr) gTextArrayDesc = zcrxFindZcRxClass(kClassName);
  return gTextArrayDesc;
}

ZcRxClass* TextArray::isA() const {
  return desc();
}

void TextArray::rxInit() {
  registerClass();
}

void TextArray::rxUninit() {
  if (ZcRxClass* held = desc()) deleteZcRxClass(held);
  gTextArrayDesc = nullptr;
}

void TextArray::setPositionArray(const ZcArray<ZcGePoint3d>& positions) {
  assertWriteEnabled(true, true);
  hostfast::assignItems(positionArray, positions);
}

void TextArray::setStringArray(const ZcArray<ZcString>& strings) {
  assertWriteEnabled(true, true);
  hostfast::assignItems(stringArray, strings);
}

void TextArray::setTextId(ZcDbObjectId id) {
  assertWriteEnabled(true, true);
  textId = id;
  hasSource = true;
}

bool TextArray::subWorldDraw(ZcGiWorldDraw* mode) {
  assertReadEnabled();
  if (!hasSource) return false;
  if (positionArray.isEmpty()) return false;
  if (dragStage == 0) return true;

  ZcDbText* pText = cloneText(textId);
  if (pText == nullptr) return false;

  // The setters keep both lists the same length; a pair of lists set apart is drawn only as far as
  // both reach.
  const int count = std::min(positionArray.length(), stringArray.length());
  // Placed as the commit places them; a copy placed by its alignment point settles its position
  // now, as closing it would.
  const bool byPosition = placedByPosition(pText->horizontalMode(), pText->verticalMode());
  for (int i = 0; i < count; ++i) {
    pText->setTextString(stringArray[i]);
    placeCopy(pText, positionArray[i]);
    if (!byPosition) pText->adjustAlignment(nullptr);
    pText->worldDraw(mode);
  }
  delete pText;
  return true;
}
