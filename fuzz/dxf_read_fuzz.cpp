// Fuzz target: the DXF reader on any bytes, and on what it accepts, write → read → write again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zrx/db.h"
#include "zrxhost/dxf.h"

// A drawing the reader accepted must be written in a form it accepts again, and writing that second
// reading must give the same bytes: anything else is a finding, reported by aborting.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db =
      zrxhost::readDxfFromString(std::string(reinterpret_cast<const char*>(data), size), error);
  if (!db) return 0;
  const std::string first = zrxhost::writeDxfToString(*db);
  if (first.empty()) {
    std::fprintf(stderr, "an accepted drawing could not be written\n");
    std::abort();
  }
  std::unique_ptr<ZcDbDatabase> again = zrxhost::readDxfFromString(first, error);
  if (!again) {
    std::fprintf(stderr, "the written drawing is refused: %s\n", error.message.c_str());
    std::abort();
  }
  if (zrxhost::writeDxfToString(*again) != first) {
    std::fprintf(stderr, "writing the drawing read back gives other bytes\n");
    std::abort();
  }
  return 0;
}
