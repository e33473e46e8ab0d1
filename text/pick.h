// What a pick on a Text finds (the run to count, the box around it), and Texts measured per character.
#pragma once

#include "module/host.h"
#include "text/run.h"

// Fills `textWidths` with the cumulative right edges of the characters of `pText`'s string, each
// measured alone in its style, height and width factor with the text upright and unslanted.
// `pText` must be writable (open for write, or in no database); its string, rotation, oblique and
// alignment are put back before it returns.
void measureCharacterEdges(ZcDbText* pText, ZcArray<double>& textWidths);

// Where a point lies against a Text: `along` is the distance used to find the character (a point
// left of the start counts like the same distance to the right; one above the baseline of a
// slanted text is moved back along the slant), `across` the signed height above the baseline, and
// `lengthwise` the signed distance from the start along the baseline, moved back along the slant.
struct PickOffset {
  double along = 0;
  double across = 0;
  double lengthwise = 0;
};
PickOffset pickOffset(const ZcGePoint3d& textPosition, double rotation, double oblique, const ZcGePoint3d& point);

// The first character whose right edge reaches `along`; the number of characters when none does.
int characterAt(const ZcArray<double>& textWidths, double along);

struct PickedRun {
  // kNothingPicked when the text cannot be read or measured, or the point lies beside its characters.
  RunKind kind = kNothingPicked;
  // The text could not be measured: the drawing would not let it be opened for write (another
  // application holds it open).
  bool refused = false;
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
