// The writer behind writeDxf: a database read from DXF back to DXF text.
#pragma once

#include <string>

class ZcDbDatabase;

namespace zrxhost::dxf {

// The whole file in `out`; false with `error` when the database has no DXF layout.
bool writeTags(ZcDbDatabase& db, std::string& out, std::string& error);

}  // namespace zrxhost::dxf
