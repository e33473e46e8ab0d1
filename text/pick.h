// What a pick on a Text finds: the run of characters to count and the box around it.
#pragma once

#include "module/host.h"
#include "text/run.h"

struct PickedRun {
  // kNothingPicked when the text cannot be read or measured, or the point lies beside its characters.
  RunKind kind = kNothingPicked;
  // Inclusive character indices of the run; set for kDigitRun and kLetterRun only.
  int runStart = 0;
  int runEnd = 0;
  // The box around the counted characters (the picked one alone when it is not countable), corner
  // by corner: baseline right, baseline left, top left, top right. Set unless nothing was picked.
  ZcGePoint3d corners[4];
};

// Measures the Text `textId` character by character (under the document lock, putting back what the
// measuring changes) and finds the run under `clickPoint`.
PickedRun analysePick(ZcDbObjectId textId, const ZcGePoint3d& clickPoint);
