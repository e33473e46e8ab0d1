// Reads a DXF file with dxflib and keeps every text and line it reports, for the side-by-side timing.
#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include <cstdio>
#include <vector>

namespace {

// Keeps what it is given, as a program that uses the drawing afterwards would.
class KeepingAdapter : public DL_CreationAdapter {
 public:
  void addText(const DL_TextData& data) override { texts.push_back(data); }
  void addMText(const DL_MTextData& data) override { mtexts.push_back(data); }
  void addLine(const DL_LineData& data) override { lines.push_back(data); }
  void addLayer(const DL_LayerData& data) override { layers.push_back(data); }

  std::vector<DL_TextData> texts;
  std::vector<DL_MTextData> mtexts;
  std::vector<DL_LineData> lines;
  std::vector<DL_LayerData> layers;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DRAWING.dxf\n", argv[0]);
    return 2;
  }
  KeepingAdapter kept;
  DL_Dxf dxf;
  if (!dxf.in(argv[1], &kept)) {
    std::fprintf(stderr, "dxflib could not read %s\n", argv[1]);
    return 1;
  }
  std::printf("%zu texts, %zu lines\n", kept.texts.size(), kept.lines.size());
  return 0;
}
