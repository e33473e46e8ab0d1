// StartJig: the start prompt of retally, which waits with the preview on screen.
#pragma once

#include <string>

#include "module/host.h"

class RenumberPreview;

class StartJig : public ZcEdJig {
 public:
  explicit StartJig(RenumberPreview* preview);

  // Asks with `prompt` and the option keywords; kNormal leaves the typed answer in typedText()
  // (empty when a point was given instead), kKW1 + i an option, kNull Enter, kCancel Esc.
  DragStatus ask(const std::wstring& prompt);
  const std::u16string& typedText() const { return mTyped; }

  DragStatus sampler() override;
  bool update() override { return true; }
  ZcDbEntity* entity() const override;

 private:
  RenumberPreview* mPreview;
  std::u16string mTyped;
};
