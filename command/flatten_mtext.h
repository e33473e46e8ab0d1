// Replacing a picked MText by one Text that carries its whole content.
#pragma once

#include "module/host.h"

// Explodes the MText `pEnt` (open for read, id `eId`), joins the texts of its Text pieces into the
// first of them and appends that to model space, then erases the MText. `pEnt` is closed on return.
// Returns the new Text's id, or a null id when nothing was replaced (no Text piece, or the drawing
// refused a step); the MText is then left as it was.
ZcDbObjectId flattenMText(ZcDbEntity* pEnt, ZcDbObjectId eId);
