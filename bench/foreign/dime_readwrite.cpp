// Reads a DXF file with dime and, given a second path, writes it back, for the side-by-side timing.
#include <dime/Input.h>
#include <dime/Model.h>
#include <dime/Output.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s DRAWING.dxf [OUT.dxf]\n", argv[0]);
    return 2;
  }
  dimeInput in;
  dimeModel model;
  if (!in.setFile(argv[1]) || !model.read(&in)) {
    std::fprintf(stderr, "dime could not read %s\n", argv[1]);
    return 1;
  }
  if (argc == 3) {
    dimeOutput out;
    if (!out.setFilename(argv[2]) || !model.write(&out)) {
      std::fprintf(stderr, "dime could not write %s\n", argv[2]);
      return 1;
    }
  }
  std::printf("%d records\n", model.countRecords());
  return 0;
}
