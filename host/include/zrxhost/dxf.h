// Reading and writing drawings as ASCII DXF, R12 to R2018, keeping what the host does not model.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class ZcDbDatabase;

namespace zrxhost {

struct DxfError {
  std::string message;  // names the line where the input went wrong
  // Reading: what was mended or left out to read the drawing ("line N: ..."), also when it succeeds.
  std::vector<std::string> warnings;
};

// Told now and then how much of a long read or write is done, as a fraction of the whole.
using DxfProgress = std::function<void(double fraction)>;

// Reads a drawing; on failure returns null and fills `error`.
std::unique_ptr<ZcDbDatabase> readDxf(const std::string& path, DxfError& error, const DxfProgress& progress = {});
std::unique_ptr<ZcDbDatabase> readDxfFromString(const std::string& text, DxfError& error);
// A new drawing with the default tables, layouts and objects, saved in `version`: R12 (AC1009) or
// R2000 to R2018 (AC1015 to AC1032). Null for any other version.
std::unique_ptr<ZcDbDatabase> newDrawing(const std::string& version = "AC1032");
// Writes the drawing in the version it was read in, to a temporary file beside `path` that is
// renamed over it when complete. False and `error` on failure; the target is then untouched.
bool writeDxf(ZcDbDatabase& db, const std::string& path, DxfError& error, const DxfProgress& progress = {});
std::string writeDxfToString(ZcDbDatabase& db);

}  // namespace zrxhost
