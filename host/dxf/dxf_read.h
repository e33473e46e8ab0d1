// The reader behind readDxf: scanned tags to a database.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dxf/dxf_tags.h"

class ZcDbDatabase;

namespace zrxhost::dxf {

// Scans `file->buffer` and builds the drawing; null and "line N: ..." in `error` on bad input.
// What the reader had to mend to read the file is added to `warnings`, one "line N: ..." each.
// `progress` (may be empty) hears how far the reading is.
std::unique_ptr<ZcDbDatabase> readTags(std::shared_ptr<TagFile> file, std::string& error,
                                       std::vector<std::string>& warnings,
                                       const std::function<void(double)>& progress = {});

}  // namespace zrxhost::dxf
