// Reading the selected texts and working out the label each gets under the current settings.
#include "retally/plan/renumber_plan.h"

#include "retally/order/curve_path.h"

namespace {

// Where a Text is placed: its position when it is left-aligned on its baseline, aligned or fit;
// otherwise its alignment point.
ZcGePoint3d textReference(const ZcDbText& text) {
  const int h = text.horizontalMode(), v = text.verticalMode();
  const bool byPosition =
      h == ZcDb::kTextAlign || h == ZcDb::kTextFit || (h == ZcDb::kTextLeft && v == ZcDb::kTextBase);
  return byPosition ? text.position() : text.alignmentPoint();
}

// Where an MText's first line sits, as its explode lays it out (rows compare baselines); its
// insertion point when it holds no text.
double firstBaseline(const ZcDbMText& mtext) {
  ZcArray<void*> pieces;
  double baseline = mtext.location().y;
  if (mtext.explode(pieces) == Zcad::eOk && !pieces.isEmpty()) {
    if (const ZcDbText* first = ZcDbText::cast(static_cast<ZcDbEntity*>(pieces[0]))) baseline = first->position().y;
  }
  for (void* piece : pieces) delete static_cast<ZcDbEntity*>(piece);
  return baseline;
}

bool sameTag(const ZcString& tag, const std::u16string& wanted) {
  const std::u16string& units = hostfast::units(tag);
  if (units.size() != wanted.size()) return false;
  for (size_t i = 0; i < units.size(); ++i) {
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
    if (upper(units[i]) != upper(wanted[i])) return false;
  }
  return true;
}

bool holdsDigit(const ZcString& value) {
  for (char16_t c : hostfast::units(value))
    if (c >= u'0' && c <= u'9') return true;
  return false;
}

// The attribute of a block reference that `tag` names (tags compare without case); with no tag,
// the first whose value holds a digit. -1 when none.
int attributeFor(const ZcDbBlockReference& ref, const std::u16string& tag) {
  for (int i = 0; i < ref.attributeCount(); ++i) {
    const ZcDbBlockReference::Attribute& a = ref.attribute(i);
    if (tag.empty() ? holdsDigit(a.value) : sameTag(a.tag, tag)) return i;
  }
  return -1;
}

bool readAttribute(const ZcDbBlockReference& ref, const std::u16string& tag, TextTarget& target) {
  if (ref.attributeCount() == 0) return false;
  target.attribute = attributeFor(ref, tag);
  target.writable = target.attribute >= 0;
  if (!target.writable) {
    target.reference = ref.position();
    return true;
  }
  const ZcDbBlockReference::Attribute& a = ref.attribute(target.attribute);
  target.contents = hostfast::units(a.value);
  target.plain = target.contents;
  target.reference = a.position;
  target.key.baseline = a.position.y;
  target.key.height = a.height;
  target.rotation = a.rotation;
  return true;
}

bool readTarget(ZcDbObjectId id, const std::u16string& tag, TextTarget& target) {
  ZcDbEntity* pEnt = nullptr;
  if (zcdbOpenObject(pEnt, id, ZcDb::kForRead) != Zcad::eOk || pEnt == nullptr) return false;
  bool read = true;
  target.id = id;
  if (const ZcDbText* pText = ZcDbText::cast(pEnt)) {
    target.contents = hostfast::units(pText->textZcString());
    target.plain = target.contents;
    target.reference = textReference(*pText);
    target.key.baseline = pText->position().y;
    target.key.height = pText->height();
  } else if (const ZcDbMText* pMText = ZcDbMText::cast(pEnt)) {
    target.isMText = true;
    target.contents = hostfast::units(pMText->contentsString());
    target.characters = plainCharacters(target.contents);
    target.plain = plainTextOf(target.characters);
    target.reference = pMText->location();
    target.key.baseline = firstBaseline(*pMText);
    target.key.height = pMText->textHeight();
  } else if (const ZcDbBlockReference* pRef = ZcDbBlockReference::cast(pEnt)) {
    read = readAttribute(*pRef, tag, target);
  } else {
    read = false;
  }
  pEnt->close();
  target.key.x = target.reference.x;
  target.key.y = target.reference.y;
  return read;
}

}  // namespace

std::vector<ZcDbObjectId> selectedIds(const zds_name selectionSet) {
  std::vector<ZcDbObjectId> ids;
  ZSoft::Int32 length = 0;
  if (zcedSSLength(selectionSet, &length) != RTNORM) return ids;
  ids.reserve(static_cast<size_t>(length));
  for (ZSoft::Int32 i = 0; i < length; ++i) {
    zds_name name = {0, 0};
    ZcDbObjectId id;
    if (zcedSSName(selectionSet, i, name) == RTNORM && zcdbGetObjectId(id, name) == Zcad::eOk) ids.push_back(id);
  }
  return ids;
}

std::vector<TextTarget> readTargets(const std::vector<ZcDbObjectId>& ids, const std::u16string& tag) {
  std::vector<TextTarget> targets;
  targets.reserve(ids.size());
  for (const ZcDbObjectId& id : ids) {
    TextTarget target;
    if (readTarget(id, tag, target)) targets.push_back(std::move(target));
  }
  return targets;
}

void planRenumbering(std::vector<TextTarget>& targets, const RetallySettings& settings, const CurvePath* curve,
                     RenumberPlan& plan) {
  std::vector<OrderKey> keys;
  keys.reserve(targets.size());
  for (TextTarget& target : targets) {
    if (curve != nullptr) target.key.along = curve->along(target.reference);
    keys.push_back(target.key);
  }
  const Order order = settings.order == Order::kCurve && curve == nullptr ? Order::kSelection : settings.order;
  plan.order = orderOf(keys, order);
  plan.newContents.assign(targets.size(), std::u16string());
  plan.changes.assign(targets.size(), false);
  plan.renumbered = plan.noNumber = plan.belowZero = 0;
  plan.firstLabel.clear();
  plan.lastLabel.clear();

  // Only the texts that have a place for a number take one, in order.
  std::vector<int> numbered;
  numbered.reserve(targets.size());
  PlainEdit probe;
  const std::u16string probeLabel = settings.start.isLetter() ? u"A" : u"0";
  for (int index : plan.order) {
    const TextTarget& target = targets[static_cast<size_t>(index)];
    if (target.writable && placeLabel(target.plain, settings.place, probeLabel, probe)) {
      numbered.push_back(index);
    } else {
      ++plan.noNumber;
    }
  }
  std::vector<std::u16string> labels;
  plan.belowZero =
      makeLabels(settings.start, settings.increment, settings.digits, static_cast<int>(numbered.size()), labels);
  for (size_t k = 0; k < labels.size(); ++k) {
    const auto index = static_cast<size_t>(numbered[k]);
    TextTarget& target = targets[index];
    PlainEdit edit;
    placeLabel(target.plain, settings.place, labels[k], edit);
    edit = narrowed(target.plain, edit);
    if (target.isMText) {
      plan.newContents[index] = editContents(target.contents, target.characters, edit);
    } else {
      plan.newContents[index] = target.plain;
      plan.newContents[index].replace(edit.from, edit.to - edit.from, edit.insert);
    }
    plan.changes[index] = true;
  }
  plan.renumbered = static_cast<int>(labels.size());
  if (!labels.empty()) {
    plan.firstLabel = labels.front();
    plan.lastLabel = labels.back();
  }
}
