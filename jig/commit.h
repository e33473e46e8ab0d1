// Writing the jig's copies into model space as Text entities, placed by the source's alignment.
#pragma once

#include "module/host.h"

class TallyJig;

// A clone of the Text `textId` saying `string`, placed at the reference point `point`; it belongs to
// no database yet. Null when the source cannot be opened or its clone is not a Text.
ZcDbText* makeCopy(ZcDbObjectId textId, const ZcGePoint3d& point, const ZcString& string);

// Writes every copy the jig holds; returns how many were written.
int commitAllCopies(const TallyJig& jig);

// Writes the jig's single copy; false when the jig holds none or it could not be written.
bool commitOneCopy(const TallyJig& jig);
