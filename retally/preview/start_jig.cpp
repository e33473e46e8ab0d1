// StartJig: a drag that takes typed text, so the preview stays up while the start is asked for.
#include "retally/preview/start_jig.h"

#include "retally/preview/renumber_preview.h"

StartJig::StartJig(RenumberPreview* preview) : mPreview(preview) {}

ZcEdJig::DragStatus StartJig::ask(const std::wstring& prompt) {
  mTyped.clear();
  setDispPrompt(L"%s", prompt.c_str());
  setKeywordList(L"Order Increment Digits Place Tag");
  setUserInputControls(
      static_cast<UserInputControls>(kAcceptOtherInputString | kNullResponseAccepted | kDontUpdateLastPoint));
  return drag();
}

ZcEdJig::DragStatus StartJig::sampler() {
  ZcString text;
  const DragStatus status = acquireString(text);
  if (status == kNormal) mTyped = hostfast::units(text);
  return status;
}

ZcDbEntity* StartJig::entity() const {
  return mPreview;
}
