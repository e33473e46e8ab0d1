// Benchmark of retally as a user runs it: every text of a drawing of 100,000 selected with ALL,
// ordered in rows, the preview's first frame drawn, the start typed and every text renumbered.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "module/host.h"
#include "retally/module/entry.h"
#include "retally/plan/retally_settings.h"
#include "zrxhost/session.h"

namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

// A drawing of `count` room labels on a grid whose rows are not quite level, and the module loaded.
void setUpDrawing(int count) {
  static NullBuffer buffer;
  static std::ostream sink(&buffer);
  static int built = 0;
  if (built == count) return;
  zrxhost::initializeHost();
  zrxhost::Session::instance().setTranscript(&sink);
  if (built == 0) zcrxEntryPoint(ZcRx::kInitAppMsg, nullptr);
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  ZcDbBlockTable* pTable = nullptr;
  db->getSymbolTable(pTable, ZcDb::kForRead);
  ZcDbBlockTableRecord* pSpace = nullptr;
  pTable->getAt(ZCDB_MODEL_SPACE, pSpace, ZcDb::kForWrite);
  const int perRow = 316;
  for (int i = 0; i < count; ++i) {
    const double x = 20.0 * (i % perRow), y = -10.0 * (i / perRow) + 0.3 * (i % 3);
    auto* pText = new ZcDbText(ZcGePoint3d(x, y, 0), (L"Room " + std::to_wstring(count - i)).c_str(),
                               ZcDbObjectId::kNull, 2.5, 0);
    pText->setDatabaseDefaults();
    ZcDbObjectId id;
    pSpace->appendZcDbEntity(id, pText);
    pText->close();
  }
  pSpace->close();
  pTable->close();
  retallySettings().order = Order::kRows;
  built = count;
}

void runScript(const std::string& script) {
  zrxhost::Session& session = zrxhost::Session::instance();
  session.setInput(std::make_unique<zrxhost::ScriptInput>(script));
  session.runCommandLine();
}

double least(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

// The whole command, from the selection to the last text written; each run is undone afterwards,
// outside the timing, so that every run renumbers the drawing as it was built.
void BM_RetallyAllRows(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  setUpDrawing(count);
  int start = 1;
  for (auto _ : state) {
    runScript("retally\nALL\n\n" + std::to_string(start++) + "\n");
    state.PauseTiming();
    runScript("U\n");
    state.ResumeTiming();
  }
  state.counters["texts"] = count;
}
BENCHMARK(BM_RetallyAllRows)->Arg(100000)->ComputeStatistics("min", least)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
