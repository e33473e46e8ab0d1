// The writer behind writeDxf: a database read from DXF back to DXF text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

class ZcDbDatabase;

namespace zrxhost::dxf {

// The whole file in `out`; false with `error` when the database has no DXF layout.
bool writeTags(ZcDbDatabase& db, std::string& out, std::string& error);

// The file in two pieces: `header` belongs at offset `headerAt` of `body`. The header is made last
// (only then is the handle seed known); a caller that streams the file writes the pieces in order
// instead of moving the whole body to make room for it.
struct DxfPieces {
  std::string body;
  std::string header;
  std::size_t headerAt = 0;
};
// `progress` (may be empty) hears the fraction of the entities written.
bool writeTags(ZcDbDatabase& db, DxfPieces& out, std::string& error, const std::function<void(double)>& progress = {});

}  // namespace zrxhost::dxf
