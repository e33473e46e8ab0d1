// Finding entities under a point (what an entity pick and a selection share), and the sets selected.
#pragma once

#include "zrx/db/ids.h"
#include "zrx/ge.h"

namespace zrxhost::ed {

// The topmost entity of the current space whose outline passes within the pick box of `point`;
// null when none does.
ZcDbObjectId pickAt(const ZcGePoint3d& point);

// Frees every selection set and forgets the previous selection (a new session).
void forgetSelections();

}  // namespace zrxhost::ed
