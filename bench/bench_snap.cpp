// Benchmarks the search under the cursor (object snap, pick) over a drawing of up to 1,000,000
// entities, and the spatial index it searches: its build time beside the read's, and its memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ed/drafting.h"
#include "ed/spatial_index.h"
#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"
#include "zrxhost/session.h"

namespace {

// Half texts, half lines between them, on a grid 1,500 units wide, written and read back as a file
// is, so that the entities wait as records until something asks for them.
const std::string& drawing(int entities) {
  static std::map<int, std::string> made;
  auto found = made.find(entities);
  if (found != made.end()) return found->second;
  std::string text;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::newDrawing();
  ZcDbBlockTableRecord* ms = nullptr;
  if (db && zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForWrite) == Zcad::eOk) {
    for (int i = 0; i < entities / 2; ++i) {
      const double x = i % 1000 * 1.5, y = i / 1000 * 2.0;
      std::wstring s = L"R" + std::to_wstring(i);
      ZcDbEntity* made[2] = {new ZcDbText(ZcGePoint3d(x, y, 0), s.c_str(), ZcDbObjectId::kNull, 0.5, 0),
                             new ZcDbLine(ZcGePoint3d(x, y + 1, 0), ZcGePoint3d(x + 1, y + 1, 0))};
      for (ZcDbEntity* e : made) {
        ZcDbObjectId id;
        if (ms->appendZcDbEntity(id, e) == Zcad::eOk)
          e->close();
        else
          delete e;
      }
    }
    ms->close();
    text = zrxhost::writeDxfToString(*db);
  }
  return made.emplace(entities, std::move(text)).first->second;
}

std::unique_ptr<ZcDbDatabase> read(int entities, benchmark::State& state) {
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(drawing(entities), error);
  if (!db) state.SkipWithError(error.message.c_str());
  return db;
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

// Reading the drawing, the figure the index's build is measured against.
void BM_ReadDrawing(benchmark::State& state) {
  (void)drawing(static_cast<int>(state.range(0)));  // made before the clock runs
  for (auto _ : state) {
    std::unique_ptr<ZcDbDatabase> db = read(static_cast<int>(state.range(0)), state);
    benchmark::DoNotOptimize(db.get());
    state.PauseTiming();
    db.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadDrawing)->Apply(sizes);

// Building the index of a drawing just read (which builds every entity from its record, as drawing
// it would), and the index's memory.
void BM_BuildIndex(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<ZcDbDatabase> db = read(static_cast<int>(state.range(0)), state);
    if (!db) break;
    auto* space = zrxhost::peek<ZcDbBlockTableRecord>(db->modelSpaceId());
    zrxhost::ed::SpatialIndex index;
    state.ResumeTiming();
    index.build(*db, *space);
    state.PauseTiming();
    bytes = index.memoryBytes();
    db.reset();
    state.ResumeTiming();
  }
  state.counters["index_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["bytes_per_entity"] = static_cast<double>(bytes) / static_cast<double>(state.range(0));
}
BENCHMARK(BM_BuildIndex)->Apply(sizes);

// One search per cursor move at random places of the drawing shown whole in a window 1,600 pixels
// wide (an aperture of 10 pixels is some 9 units: about 40 entities in reach); the median and the
// 99th percentile of the moves.
template <typename Search>
void cursorMoves(benchmark::State& state, Search search) {
  static std::map<long, std::unique_ptr<ZcDbDatabase>> open;
  std::unique_ptr<ZcDbDatabase>& db = open[state.range(0)];
  if (!db) db = read(static_cast<int>(state.range(0)), state);
  if (!db) return;
  zrxhost::initializeHost(db.get());
  zrxhost::Session& session = zrxhost::Session::instance();
  session.setSysVar("OSMODE", "511");  // every mode but nearest
  session.setSysVar("APERTURE", "10");
  session.setSysVar("PICKBOX", "3");
  session.setPixelSize(1500.0 / 1600);
  // The window's first frame draws the whole drawing, which builds every entity, and the index.
  zrxhost::loadPendingObjects(*db);
  zrxhost::ed::SpatialIndex::current();
  const double height = static_cast<double>(state.range(0)) / 1000.0;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> x(0, 1500), y(0, std::max(height, 1.0));
  std::vector<double> times;
  for (auto _ : state) {
    const ZcGePoint3d cursor(x(random), y(random), 0);
    const auto start = std::chrono::steady_clock::now();
    search(cursor);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  if (!times.empty()) {
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[times.size() * 99 / 100];
  }
}

void BM_SnapAtCursor(benchmark::State& state) {
  cursorMoves(state, [](const ZcGePoint3d& cursor) {
    benchmark::DoNotOptimize(zrxhost::ed::aidCursor(cursor, ZcGePoint3d(0, 0, 0)));
  });
}
BENCHMARK(BM_SnapAtCursor)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// The pick under the pick box, as zcedEntSel makes it: the topmost entity whose outline passes near.
void BM_PickAtCursor(benchmark::State& state) {
  cursorMoves(state, [](const ZcGePoint3d& cursor) {
    const double aperture = zrxhost::Session::instance().pickAperture();
    const ZcDbEntity* found = nullptr;
    zrxhost::ed::forEachShownEntityNear(cursor, aperture, [&](const ZcDbEntity& entity) {
      if (!entity.hitTest(cursor, aperture)) return false;
      found = &entity;
      return true;
    });
    benchmark::DoNotOptimize(found);
  });
}
BENCHMARK(BM_PickAtCursor)->Apply(sizes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
