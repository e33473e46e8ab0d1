// Replacing a picked MText by one Text that carries its whole content.
#pragma once

#include "module/host.h"

// Explodes the MText `pEnt` (open for read, id `eId`), joins the texts of its Text pieces into the
// first of them and appends that to model space, then erases the MText. `pEnt` is closed on return.
// Returns the new Text's id, or a null id when nothing was replaced (no Text piece, or the drawing
// refused a step); the MText is then left as it was and a message says why.
ZcDbObjectId flattenMText(ZcDbEntity* pEnt, ZcDbObjectId eId);

// The same, and moves `pickPoint` (a point picked on the MText) onto the character of the new Text
// that was under it on the MText's own pieces (one per line, or per formatting run of a line), so
// that the pick analysis counts that character; a point beside every character of its line is moved
// past the end of the new Text.
ZcDbObjectId flattenMText(ZcDbEntity* pEnt, ZcDbObjectId eId, ZcGePoint3d& pickPoint);
