// Benchmarks reading and writing a DXF drawing of 100,000 TEXT entities (R2018).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "zrx/db.h"
#include "zrxhost/dxf.h"

namespace {

constexpr int kTexts = 100000;

// The drawing as text, made once: a new drawing with the texts laid out on a grid.
const std::string& drawing() {
  static const std::string text = [] {
    std::unique_ptr<ZcDbDatabase> db = zrxhost::newDrawing();
    ZcDbBlockTableRecord* ms = nullptr;
    if (!db || zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForWrite) != Zcad::eOk) return std::string();
    for (int i = 0; i < kTexts; ++i) {
      std::wstring s = L"Text " + std::to_wstring(i);
      auto* t = new ZcDbText(ZcGePoint3d(i % 1000 * 1.5, i / 1000 * 2.0, 0), s.c_str(), ZcDbObjectId::kNull, 1.25,
                             (i % 360) * ZcGe::kPi / 180);
      ZcDbObjectId id;
      if (ms->appendZcDbEntity(id, t) == Zcad::eOk)
        t->close();
      else
        delete t;
    }
    ms->close();
    return zrxhost::writeDxfToString(*db);
  }();
  return text;
}

void BM_ReadDxf(benchmark::State& state) {
  const std::string& text = drawing();
  for (auto _ : state) {
    zrxhost::DxfError error;
    std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(text, error);
    if (!db) state.SkipWithError(error.message.c_str());
    benchmark::DoNotOptimize(db.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["texts"] = kTexts;
}
BENCHMARK(BM_ReadDxf)->Unit(benchmark::kMillisecond);

void BM_WriteDxf(benchmark::State& state) {
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(drawing(), error);
  if (!db) {
    state.SkipWithError(error.message.c_str());
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out = zrxhost::writeDxfToString(*db);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteDxf)->Unit(benchmark::kMillisecond);

// What a user waits for: open the file, save it again (to a temporary file, renamed).
void BM_ReadWriteFile(benchmark::State& state) {
  const std::string in = "/tmp/bench_dxf_in.dxf", out = "/tmp/bench_dxf_out.dxf";
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    std::fwrite(drawing().data(), 1, drawing().size(), f);
    std::fclose(f);
  }
  for (auto _ : state) {
    zrxhost::DxfError error;
    std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxf(in, error);
    if (!db || !zrxhost::writeDxf(*db, out, error)) state.SkipWithError(error.message.c_str());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(drawing().size()));
  std::remove(in.c_str());
  std::remove(out.c_str());
}
BENCHMARK(BM_ReadWriteFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
