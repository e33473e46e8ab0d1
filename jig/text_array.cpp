// TextArray: registration of the preview class and the draw of every copy through one clone.
#include "jig/text_array.h"

#include <algorithm>

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

void registerClass(AppNameChangeFuncPtr appNameChange) {
  if (gTextArrayDesc != nullptr) {
    ZcRxClass* known = zcrxFindZcRxClass(kClassName);
    if (known == gTextArrayDesc) return;
    if (known != nullptr) zcrx_abort(L"Class mismatch");
  }
  gTextArrayDesc = newZcRxClass(kClassName, L"AcDbEntity", kDwgVersion, kMaintenanceVersion, kProxyFlags,
                                &makeTextArray, kClassName, L"\"\"", appNameChange);
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
  registerClass(nullptr);
}

void TextArray::rxInit(AppNameChangeFuncPtr appNameChange) {
  registerClass(appNameChange);
}

void TextArray::rxUninit() {
  if (ZcRxClass* held = desc()) deleteZcRxClass(held);
  gTextArrayDesc = nullptr;
}

void TextArray::setPositionArray(const ZcArray<ZcGePoint3d>& positions) {
  assertWriteEnabled(true, true);
  positionArray.items() = positions.items();
}

void TextArray::setStringArray(const ZcArray<ZcString>& strings) {
  assertWriteEnabled(true, true);
  stringArray.items() = strings.items();
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

  ZcDbText* pSource = nullptr;
  if (zcdbOpenObject(pSource, textId, ZcDb::kForRead) != Zcad::eOk || pSource == nullptr) return false;
  const int h = pSource->horizontalMode();
  const int v = pSource->verticalMode();
  ZcRxObject* pCopy = pSource->clone();
  pSource->close();
  if (pCopy == nullptr) return false;
  if (pCopy->isA() == nullptr || !pCopy->isA()->isDerivedFrom(ZcDbText::desc())) {
    delete pCopy;
    return false;
  }
  auto* pText = static_cast<ZcDbText*>(pCopy);

  // The setters keep both lists the same length; a pair of lists set apart is drawn only as far as
  // both reach.
  const int count = std::min(positionArray.length(), stringArray.length());
  const bool byPosition = placedByPosition(h, v);
  // An aligned or fit text spans its two points. Moving only the first would stretch each copy
  // toward the source's second point, unlike the copies the commit writes; both points move.
  const bool spansTwoPoints = h == ZcDb::kTextAlign || h == ZcDb::kTextFit;
  const ZcGeVector3d baseline = pText->alignmentPoint() - pText->position();
  for (int i = 0; i < count; ++i) {
    pText->setTextString(stringArray[i]);
    if (byPosition) {
      pText->setPosition(positionArray[i]);
      if (spansTwoPoints) pText->setAlignmentPoint(positionArray[i] + baseline);
    } else {
      pText->setHorizontalMode(static_cast<ZcDb::TextHorzMode>(h));
      pText->setVerticalMode(static_cast<ZcDb::TextVertMode>(v));
      pText->setAlignmentPoint(positionArray[i]);
      pText->adjustAlignment(nullptr);
    }
    pText->worldDraw(mode);
  }
  delete pText;
  return true;
}
