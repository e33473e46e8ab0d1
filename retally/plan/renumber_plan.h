// The selected texts as the command reads them, and the new strings a set of settings gives them.
#pragma once

#include <string>
#include <vector>

#include "module/host.h"
#include "retally/order/order.h"
#include "retally/plan/retally_settings.h"
#include "retally/renumber/mtext_plain.h"

class CurvePath;

// One selected Text, MText or attribute of a block reference, read once when the selection ends
// (and again when the tag changes).
struct TextTarget {
  ZcDbObjectId id;
  bool isMText = false;
  int attribute = -1;                      // a block reference's: the index of its attribute, -1 when none has the tag
  bool writable = true;                    // false for a block reference none of whose attributes has the tag
  double rotation = 0;                     // an attribute's, for the preview
  std::u16string contents;                 // a Text's string, an MText's contents with their codes
  std::vector<PlainCharacter> characters;  // an MText's plain characters
  std::u16string plain;                    // the plain text
  ZcGePoint3d reference;                   // where the order and the preview's path look
  OrderKey key;
};

// The entities of the selection set, in the order they were selected.
std::vector<ZcDbObjectId> selectedIds(const zds_name selectionSet);

// The Texts, MTexts and block references with attributes among `ids`, in their order; of a block
// reference, the attribute `tag` names (empty: the first whose value holds a digit).
std::vector<TextTarget> readTargets(const std::vector<ZcDbObjectId>& ids, const std::u16string& tag);

// What the settings make of the targets.
struct RenumberPlan {
  std::vector<int> order;                   // target indices in numbering order
  std::vector<std::u16string> newContents;  // per target; empty where it stays
  std::vector<bool> changes;                // per target: gets a label
  int renumbered = 0;
  int noNumber = 0;
  int belowZero = 0;
  std::u16string firstLabel, lastLabel;
};

// The plan for `targets` under `settings` (`curve` is used by the curve order; null: selection order).
void planRenumbering(std::vector<TextTarget>& targets, const RetallySettings& settings, const CurvePath* curve,
                     RenumberPlan& plan);
