// Fuzz target: the binary DXF reader, and on what it accepts, write → read → write again (binary).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zrx/db.h"
#include "zrxhost/dxf.h"

namespace {

const std::string kSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

[[noreturn]] void finding(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

// The input is what follows the sentinel, so that every input is taken for binary DXF.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db =
      zrxhost::readDxfFromString(kSentinel + std::string(reinterpret_cast<const char*>(data), size), error);
  if (!db) return 0;
  const std::string first = zrxhost::writeDxfToString(*db);
  if (first.compare(0, kSentinel.size(), kSentinel) != 0) finding("a binary drawing was not written as binary");
  std::unique_ptr<ZcDbDatabase> again = zrxhost::readDxfFromString(first, error);
  if (!again) finding(("the written drawing is refused: " + error.message).c_str());
  if (zrxhost::writeDxfToString(*again) != first) finding("writing the drawing read back gives other bytes");
  return 0;
}
