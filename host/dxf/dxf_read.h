// The reader behind readDxf: scanned tags to a database.
#pragma once

#include <memory>
#include <string>

#include "dxf/dxf_tags.h"

class ZcDbDatabase;

namespace zrxhost::dxf {

// Scans `file->buffer` and builds the drawing; null and "line N: ..." in `error` on bad input.
std::unique_ptr<ZcDbDatabase> readTags(std::shared_ptr<TagFile> file, std::string& error);

}  // namespace zrxhost::dxf
