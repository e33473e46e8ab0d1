// The reader behind readDxf: scanned tags to a database.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dxf/dxf_tags.h"

class ZcDbDatabase;

namespace zrxhost::dxf {

// Scans `file->buffer` and builds the drawing; null and "line N: ..." in `error` on bad input.
// `progress` (may be empty) hears how far the reading is.
std::unique_ptr<ZcDbDatabase> readTags(std::shared_ptr<TagFile> file, std::string& error,
                                       const std::function<void(double)>& progress = {});

}  // namespace zrxhost::dxf
