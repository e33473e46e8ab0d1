// Test tool: reads a DXF drawing and writes it again, optionally adding entities first.
#include <cstdio>
#include <cstring>
#include <string>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"

namespace {

// Adds the entities the scenario tests check after the save: a TEXT, an MTEXT and a 3D polyline
// with the given string, in model space.
bool addSamples(ZcDbDatabase& db, const std::string& text) {
  ZcDbBlockTableRecord* ms = nullptr;
  if (zcdbOpenObject(ms, db.modelSpaceId(), ZcDb::kForWrite) != Zcad::eOk) return false;
  ZcString s(text.c_str());
  auto* t = new ZcDbText(ZcGePoint3d(10, 20, 0), s.kwszPtr(), ZcDbObjectId::kNull, 3.5, ZcGe::kPi / 6);
  t->setLayer(ZcString(L"0"));
  ZcDbObjectId id;
  bool ok = ms->appendZcDbEntity(id, t) == Zcad::eOk;
  if (ok)
    t->close();
  else
    delete t;
  auto* m = new ZcDbMText;
  m->setLocation(ZcGePoint3d(1, 2, 0));
  m->setTextHeight(2.0);
  m->setContents(ZcString((text + "\\P" + text).c_str()));
  ok = ms->appendZcDbEntity(id, m) == Zcad::eOk && ok;
  if (ok) m->close();
  ZcArray<ZcGePoint3d> pts;
  pts.append(ZcGePoint3d(0, 0, 0));
  pts.append(ZcGePoint3d(1, 2, 3));
  pts.append(ZcGePoint3d(4, 5, 6.25));
  auto* p = new ZcDb3dPolyline(ZcDb::k3dSimplePoly, pts, true);
  p->setColorIndex(1);
  ok = ms->appendZcDbEntity(id, p) == Zcad::eOk && ok;
  if (ok) p->close();
  ms->close();
  return ok;
}

// Opens every object for write and closes it unchanged, so that the writer rebuilds each record
// from its object instead of copying the file's.
void touchAll(ZcDbDatabase& db) {
  for (ZcDbObjectId id : zrxhost::allObjectIds(db)) {
    ZcDbObject* obj = nullptr;
    if (zcdbOpenObject(obj, id, ZcDb::kForWrite) == Zcad::eOk) obj->close();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dxf_roundtrip IN.dxf|--new[=VERSION] OUT.dxf [--add-samples TEXT | --touch]\n");
    return 2;
  }
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db;
  if (std::strcmp(argv[1], "--new") == 0) {
    db = zrxhost::newDrawing();
  } else if (std::strncmp(argv[1], "--new=", 6) == 0) {
    db = zrxhost::newDrawing(argv[1] + 6);
    if (!db) error.message = std::string("no new drawing can be made in version ") + (argv[1] + 6);
  } else {
    db = zrxhost::readDxf(argv[1], error);
  }
  if (!db) {
    std::fprintf(stderr, "%s\n", error.message.c_str());
    return 1;
  }
  if (argc >= 5 && std::strcmp(argv[3], "--add-samples") == 0 && !addSamples(*db, argv[4])) {
    std::fprintf(stderr, "cannot add the sample entities\n");
    return 1;
  }
  if (argc >= 4 && std::strcmp(argv[3], "--touch") == 0) touchAll(*db);
  if (!zrxhost::writeDxf(*db, argv[2], error)) {
    std::fprintf(stderr, "%s\n", error.message.c_str());
    return 1;
  }
  return 0;
}
