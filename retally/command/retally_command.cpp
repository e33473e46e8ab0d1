// The command "retally": the selection, the settings dialogue over a live preview, and the one change.
#include "retally/command/retally_command.h"

#include <cwchar>
#include <memory>
#include <string>

#include "retally/command/retally_messages.h"
#include "retally/order/curve_path.h"
#include "retally/plan/renumber_plan.h"
#include "retally/plan/retally_settings.h"
#include "retally/preview/renumber_preview.h"
#include "retally/preview/start_jig.h"

namespace {

constexpr size_t kKeywordLength = 32;
constexpr int kMostDigits = 100;

std::wstring wide(const std::u16string& units) {
  std::wstring text;
  text.reserve(units.size());
  for (char16_t c : units) text.push_back(static_cast<wchar_t>(c));
  return text;
}

std::wstring orderName(Order order) {
  switch (order) {
    case Order::kX:
      return retallyText(RetallyText::kOrderX);
    case Order::kY:
      return retallyText(RetallyText::kOrderY);
    case Order::kRows:
      return retallyText(RetallyText::kOrderRows);
    case Order::kSelection:
      return retallyText(RetallyText::kOrderSelection);
    case Order::kCurve:
      break;
  }
  return retallyText(RetallyText::kOrderCurve);
}

std::wstring placeName(Place place) {
  switch (place) {
    case Place::kRun:
      return retallyText(RetallyText::kPlaceRun);
    case Place::kOverwrite:
      return retallyText(RetallyText::kPlaceOverwrite);
    case Place::kPrefix:
      return retallyText(RetallyText::kPlacePrefix);
    case Place::kSuffix:
      break;
  }
  return retallyText(RetallyText::kPlaceSuffix);
}

void printSettings(const RetallySettings& s) {
  printRetallyText(RetallyText::kSettings, {orderName(s.order), wide(s.start.text), std::to_wstring(s.increment),
                                            std::to_wstring(s.digits), placeName(s.place)});
}

// Selects the Texts, MTexts and block references to renumber; false when the user cancelled or
// chose none.
bool selectTexts(std::vector<ZcDbObjectId>& ids, std::vector<TextTarget>& targets, const std::u16string& tag) {
  const std::wstring selectPrompt = L"\n" + retallyText(RetallyText::kSelectPrompt);
  const std::wstring removePrompt = L"\n" + retallyText(RetallyText::kRemovePrompt);
  const ZTCHAR* prompts[2] = {selectPrompt.c_str(), removePrompt.c_str()};
  resbuf filter;
  ZTCHAR types[] = L"TEXT,MTEXT,INSERT";
  filter.restype = RTDXF0;
  filter.resval.rstring = types;
  zds_name selection = {0, 0};
  const int status = zcedSSGet(L":$", prompts, nullptr, &filter, selection);
  if (status == RTCAN) return false;
  if (status != RTNORM) {
    printRetallyText(RetallyText::kNothingSelected);
    return false;
  }
  ids = selectedIds(selection);
  zcedSSFree(selection);
  targets = readTargets(ids, tag);
  if (targets.empty()) printRetallyText(RetallyText::kNothingSelected);
  return !targets.empty();
}

// Asks for the line or polyline of the curve order until one is given; false on Esc.
bool askCurve(CurvePath& curve) {
  const std::wstring prompt = L"\n" + retallyText(RetallyText::kCurvePrompt);
  while (true) {
    zds_name name = {0, 0};
    zds_point pick = {0, 0, 0};
    const int status = zcedEntSel(prompt.c_str(), name, pick);
    if (status == RTCAN) return false;
    ZcDbObjectId id;
    if (status == RTNORM && zcdbGetObjectId(id, name) == Zcad::eOk && curve.takeFrom(id, asPnt3d(pick))) return true;
    printRetallyText(RetallyText::kNotACurve);
  }
}

// One keyword answer among `keywords` (given in the prompt's order); RTNONE keeps the setting.
int askKeyword(RetallyText prompt, const std::wstring& current, const ZTCHAR* keywords, std::wstring& answer) {
  zcedInitGet(0, keywords);
  ZTCHAR buffer[kKeywordLength] = {};
  const std::wstring text = L"\n" + retallyText(prompt, {current});
  const int status = zcedGetKword(text.c_str(), buffer, kKeywordLength);
  answer = buffer;
  return status;
}

std::wstring tagName(const RetallySettings& s) {
  return s.tag.empty() ? retallyText(RetallyText::kFirstWithDigit) : wide(s.tag);
}

// The attribute's tag: a word; "*" goes back to the first attribute holding a digit; Enter keeps it.
bool askTag(RetallySettings& s) {
  const std::wstring prompt = L"\n" + retallyText(RetallyText::kTagPrompt, {tagName(s)});
  ZTCHAR answer[kKeywordLength * 8] = {};
  if (zcedGetString(0, prompt.c_str(), answer, std::size(answer)) != RTNORM) return false;
  const std::wstring typed(answer);
  if (typed == L"*") {
    s.tag.clear();
  } else if (!typed.empty()) {
    s.tag.assign(typed.begin(), typed.end());
  }
  return true;
}

// The options of the start prompt; false when the user pressed Esc.
bool changeSetting(int option, RetallySettings& s, CurvePath& curve, bool& hasCurve) {
  std::wstring answer;
  switch (option) {
    case 0: {
      const int status = askKeyword(RetallyText::kOrderPrompt, orderName(s.order), L"X Y Rows Selection Curve", answer);
      if (status == RTCAN) return false;
      if (status != RTNORM) return true;
      if (answer == L"Curve") {
        if (!askCurve(curve)) return false;
        hasCurve = true;
      }
      s.order = answer == L"X"           ? Order::kX
                : answer == L"Y"         ? Order::kY
                : answer == L"Rows"      ? Order::kRows
                : answer == L"Selection" ? Order::kSelection
                                         : Order::kCurve;
      return true;
    }
    case 1: {
      int value = s.increment;
      const std::wstring text = L"\n" + retallyText(RetallyText::kIncrementPrompt, {std::to_wstring(s.increment)});
      const int status = zcedGetInt(text.c_str(), &value);
      if (status == RTCAN) return false;
      if (status == RTNORM) s.increment = value;
      return true;
    }
    case 2: {
      const std::wstring text = L"\n" + retallyText(RetallyText::kDigitsPrompt, {std::to_wstring(s.digits)});
      while (true) {
        int value = s.digits;
        zcedInitGet(RSG_NONEG, nullptr);
        const int status = zcedGetInt(text.c_str(), &value);
        if (status == RTCAN) return false;
        if (status != RTNORM) return true;
        if (value <= kMostDigits) {
          s.digits = value;
          return true;
        }
        printRetallyText(RetallyText::kDigitsRange);
      }
    }
    case 4:
      return askTag(s);
    default: {
      const int status =
          askKeyword(RetallyText::kPlacePrompt, placeName(s.place), L"Run Overwrite Prefix Suffix", answer);
      if (status == RTCAN) return false;
      if (status != RTNORM) return true;
      s.place = answer == L"Run"         ? Place::kRun
                : answer == L"Overwrite" ? Place::kOverwrite
                : answer == L"Prefix"    ? Place::kPrefix
                                         : Place::kSuffix;
      return true;
    }
  }
}

// Writes the plan's strings into the drawing; returns how many texts refused the change.
int applyPlan(const std::vector<TextTarget>& targets, const RenumberPlan& plan) {
  int refused = 0;
  for (size_t i = 0; i < targets.size(); ++i) {
    if (!plan.changes[i]) continue;
    ZcDbEntity* pEnt = nullptr;
    if (zcdbOpenObject(pEnt, targets[i].id, ZcDb::kForWrite) != Zcad::eOk || pEnt == nullptr) {
      ++refused;
      continue;
    }
    const ZcString text(plan.newContents[i]);
    if (auto* pRef = ZcDbBlockReference::cast(pEnt)) {
      pRef->setAttributeValue(targets[i].attribute, text);
    } else if (auto* pText = ZcDbText::cast(pEnt)) {
      if (pText->textZcString() != text) pText->setTextString(text);
    } else if (auto* pMText = ZcDbMText::cast(pEnt)) {
      if (pMText->contentsString() != text) pMText->setContents(text);
    }
    pEnt->close();
  }
  return refused;
}

void report(const RenumberPlan& plan, int refused) {
  const int written = plan.renumbered - refused;
  if (written > 0) {
    printRetallyText(RetallyText::kRenumbered, {std::to_wstring(written), wide(plan.firstLabel), wide(plan.lastLabel)},
                     written);
  } else {
    printRetallyText(RetallyText::kNoneRenumbered);
  }
  if (plan.noNumber > 0) printRetallyText(RetallyText::kNoNumber, {std::to_wstring(plan.noNumber)}, plan.noNumber);
  if (plan.belowZero > 0) printRetallyText(RetallyText::kBelowZero, {std::to_wstring(plan.belowZero)}, plan.belowZero);
  if (refused > 0) printRetallyText(RetallyText::kRefused, {std::to_wstring(refused)}, refused);
}

// Deletes the preview however the run ends.
struct PreviewDeleter {
  void operator()(RenumberPreview* p) const { delete p; }
};

}  // namespace

void retallyCommand() {
  chooseRetallyLanguage();
  RetallySettings& settings = retallySettings();
  std::vector<ZcDbObjectId> ids;
  std::vector<TextTarget> targets;
  if (!selectTexts(ids, targets, settings.tag)) return;

  CurvePath curve;
  bool hasCurve = false;
  if (settings.order == Order::kCurve) {
    if (!askCurve(curve)) return;
    hasCurve = true;
  }
  std::unique_ptr<RenumberPreview, PreviewDeleter> preview(new RenumberPreview);
  if (!preview) return;
  RenumberPlan plan;
  StartJig jig(preview.get());
  // Nothing is written until a start is given: the options and the preview change only the settings.
  while (true) {
    printSettings(settings);
    planRenumbering(targets, settings, hasCurve ? &curve : nullptr, plan);
    preview->show(&targets, &plan);
    const std::wstring prompt = L"\n" + retallyText(RetallyText::kStartPrompt, {wide(settings.start.text)});
    const ZcEdJig::DragStatus status = jig.ask(prompt);
    if (status == ZcEdJig::kCancel) return;
    if (status == ZcEdJig::kNull) break;
    if (status >= ZcEdJig::kKW1) {
      const std::u16string tagBefore = settings.tag;
      if (!changeSetting(status - ZcEdJig::kKW1, settings, curve, hasCurve)) return;
      if (settings.tag != tagBefore) targets = readTargets(ids, settings.tag);
      continue;
    }
    StartValue start;
    if (jig.typedText().size() > kMostStartDigits) {
      printRetallyText(RetallyText::kStartTooLong, {std::to_wstring(kMostStartDigits)});
      continue;
    }
    if (status == ZcEdJig::kNormal && parseStart(jig.typedText(), start)) {
      settings.start = start;
      planRenumbering(targets, settings, hasCurve ? &curve : nullptr, plan);
      break;
    }
    printRetallyText(RetallyText::kInvalidStart);
  }
  report(plan, applyPlan(targets, plan));
}
