// RenumberPreview: registration of the preview class, and the draw of the new strings and their order.
#include "retally/preview/renumber_preview.h"

#include <cmath>

#include "retally/plan/renumber_plan.h"

namespace {

ZcRxClass* gPreviewDesc = nullptr;
constexpr const ZTCHAR* kClassName = L"RenumberPreview";
// The preview's colours: the new strings green, the path and its arrows yellow.
constexpr ZSoft::UInt16 kLabelColor = 3;
constexpr ZSoft::UInt16 kPathColor = 2;

ZcRxObject* makePreview() {
  return new RenumberPreview;
}

// An arrow head at the middle of the leg a-b, pointing to b, sized by `size`.
void drawArrow(ZcGiWorldGeometry& geometry, const ZcGePoint3d& a, const ZcGePoint3d& b, double size) {
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  if (!(length > 0)) return;
  const double ux = dx / length, uy = dy / length;
  const ZcGePoint3d tip((a.x + b.x) / 2 + ux * size / 2, (a.y + b.y) / 2 + uy * size / 2, a.z);
  const ZcGePoint3d head[3] = {
      {tip.x - ux * size - uy * size / 2, tip.y - uy * size + ux * size / 2, a.z},
      tip,
      {tip.x - ux * size + uy * size / 2, tip.y - uy * size - ux * size / 2, a.z},
  };
  geometry.polyline(3, head);
}

}  // namespace

void* RenumberPreview::operator new(std::size_t bytes) noexcept {
  return zcutNew(bytes);
}

void RenumberPreview::operator delete(void* p) noexcept {
  zcutDelete(p);
}

RenumberPreview::RenumberPreview() = default;
RenumberPreview::~RenumberPreview() = default;

ZcRxClass* RenumberPreview::desc() {
  if (gPreviewDesc == nullptr) gPreviewDesc = zcrxFindZcRxClass(kClassName);
  return gPreviewDesc;
}

ZcRxClass* RenumberPreview::isA() const {
  return desc();
}

void RenumberPreview::rxInit() {
  if (desc() != nullptr) return;
  gPreviewDesc = newZcRxClass(kClassName, L"AcDbEntity", 0, 0, 0, &makePreview, kClassName, L"\"\"", nullptr);
}

void RenumberPreview::rxUninit() {
  if (ZcRxClass* held = desc()) deleteZcRxClass(held);
  gPreviewDesc = nullptr;
}

void RenumberPreview::show(const std::vector<TextTarget>* targets, const RenumberPlan* plan) {
  assertWriteEnabled(true, true);
  mTargets = targets;
  mPlan = plan;
}

bool RenumberPreview::subWorldDraw(ZcGiWorldDraw* mode) {
  assertReadEnabled();
  if (mTargets == nullptr || mPlan == nullptr) return false;
  const std::vector<TextTarget>& targets = *mTargets;
  double arrowSize = 0;
  for (int index : mPlan->order) {
    const TextTarget& target = targets[static_cast<size_t>(index)];
    arrowSize = std::max(arrowSize, target.key.height / 2);
    if (!mPlan->changes[static_cast<size_t>(index)]) continue;
    const ZcString text(mPlan->newContents[static_cast<size_t>(index)]);
    if (target.attribute >= 0) {
      // An attribute is shown as a text where it stands, in its height and rotation.
      ZcDbText label(target.reference, text.kwszPtr(), ZcDbObjectId::kNull, target.key.height, target.rotation);
      label.setColorIndex(kLabelColor);
      label.worldDraw(mode);
      continue;
    }
    ZcDbEntity* pSource = nullptr;
    if (zcdbOpenObject(pSource, target.id, ZcDb::kForRead) != Zcad::eOk || pSource == nullptr) continue;
    auto* pCopy = ZcDbEntity::cast(pSource->clone());
    pSource->close();
    if (pCopy == nullptr) continue;
    if (auto* pText = ZcDbText::cast(pCopy)) {
      pText->setTextString(text);
      if (!pText->isDefaultAlignment()) pText->adjustAlignment(nullptr);
    } else if (auto* pMText = ZcDbMText::cast(pCopy)) {
      pMText->setContents(text);
    }
    pCopy->setColorIndex(kLabelColor);
    pCopy->worldDraw(mode);
    delete pCopy;
  }
  if (mPlan->order.size() < 2) return true;
  std::vector<ZcGePoint3d> path;
  path.reserve(mPlan->order.size());
  for (int index : mPlan->order) path.push_back(targets[static_cast<size_t>(index)].reference);
  mode->subEntityTraits().setColor(kPathColor);
  mode->geometry().polyline(static_cast<ZSoft::UInt32>(path.size()), path.data());
  for (size_t i = 0; i + 1 < path.size(); ++i) drawArrow(mode->geometry(), path[i], path[i + 1], arrowSize);
  return true;
}
