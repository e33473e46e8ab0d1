// Writing into model space: the jig's copies as Text entities, the mark, an MText's replacement.
#pragma once

#include "module/host.h"

class TallyJig;

// The working database's model space, open for write (with its block table open for read) for as
// long as this lives, so that many entities go in with one open. Closed again when it goes.
class ModelSpace {
 public:
  ModelSpace();
  ~ModelSpace();
  ModelSpace(const ModelSpace&) = delete;
  ModelSpace& operator=(const ModelSpace&) = delete;

  bool isOpen() const { return pBlockTableRecord != nullptr; }
  // Adds the entity, which stays open for write for the caller to close; an entity the drawing
  // refuses (or a model space that could not be opened) is deleted, and false returned.
  bool append(ZcDbEntity* pEnt, ZcDbObjectId& id);

 private:
  ZcDbBlockTable* pBlockTable = nullptr;
  ZcDbBlockTableRecord* pBlockTableRecord = nullptr;
};

// Puts a copy of a Text at the reference point `point`, as both the preview and the commit place
// it: a text placed by its position moves its position (an aligned or fit text moves both its ends,
// keeping the source's baseline); any other moves its alignment point.
void placeCopy(ZcDbText* pText, const ZcGePoint3d& point);

// A clone of the Text `textId`, belonging to no database; null when the source cannot be opened or
// its clone is not a Text.
ZcDbText* cloneText(ZcDbObjectId textId);

// A clone of the Text `textId` saying `string`, placed at the reference point `point` (see cloneText).
ZcDbText* makeCopy(ZcDbObjectId textId, const ZcGePoint3d& point, const ZcString& string);

// Writes every copy the jig holds; returns how many were written.
int commitAllCopies(const TallyJig& jig);

// Writes the jig's single copy; false when the jig holds none or it could not be written.
bool commitOneCopy(const TallyJig& jig);
