// RenumberPreview: the transient entity that shows the new strings and the numbering order.
#pragma once

#include <cstddef>
#include <vector>

#include "module/host.h"

struct TextTarget;
struct RenumberPlan;

class RenumberPreview : public ZcDbEntity {
 public:
  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* p) noexcept;

  RenumberPreview();
  ~RenumberPreview() override;

  static ZcRxClass* desc();
  ZcRxClass* isA() const override;
  static void rxInit();
  static void rxUninit();

  // What to show: the targets and the plan, which must outlive every draw.
  void show(const std::vector<TextTarget>* targets, const RenumberPlan* plan);

 protected:
  // Each changed text again, saying its new string in the preview colour, and a thin path with an
  // arrow on every leg from one reference point to the next in numbering order.
  bool subWorldDraw(ZcGiWorldDraw* mode) override;

 private:
  const std::vector<TextTarget>* mTargets = nullptr;
  const RenumberPlan* mPlan = nullptr;
};
