// Benchmarks reading and writing R2018 drawings of 10,000 to 1,000,000 TEXT entities, made by the bench.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"

namespace {

// The drawing as text, made once per size: a new drawing with the texts laid out on a grid.
const std::string& drawing(int texts) {
  static std::map<int, std::string> made;
  auto found = made.find(texts);
  if (found != made.end()) return found->second;
  std::string text;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::newDrawing();
  ZcDbBlockTableRecord* ms = nullptr;
  if (db && zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForWrite) == Zcad::eOk) {
    for (int i = 0; i < texts; ++i) {
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
    text = zrxhost::writeDxfToString(*db);
  }
  return made.emplace(texts, std::move(text)).first->second;
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

// Reads the drawing of state.range(0) texts over and over. Freeing it is not reading it (and zrxhost
// leaves it to the end of the process): it is timed only with `timeFreeing`. Reading leaves the
// texts to be built when first opened; `buildAll` builds every one, as drawing the whole drawing does.
void readRepeatedly(benchmark::State& state, bool timeFreeing, bool buildAll = false) {
  const std::string& text = drawing(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    zrxhost::DxfError error;
    std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(text, error);
    if (!db) state.SkipWithError(error.message.c_str());
    if (db && buildAll) zrxhost::loadPendingObjects(*db);
    benchmark::DoNotOptimize(db.get());
    if (!timeFreeing) state.PauseTiming();
    db.reset();
    if (!timeFreeing) state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_ReadDxf(benchmark::State& state) {
  readRepeatedly(state, false);
}
BENCHMARK(BM_ReadDxf)->Apply(sizes);

void BM_ReadAndFreeDxf(benchmark::State& state) {
  readRepeatedly(state, true);
}
BENCHMARK(BM_ReadAndFreeDxf)->Apply(sizes);

void BM_ReadAndBuildDxf(benchmark::State& state) {
  readRepeatedly(state, false, true);
}
BENCHMARK(BM_ReadAndBuildDxf)->Apply(sizes);

// The drawing of state.range(0) texts as read; null (and the benchmark skipped) when it cannot be.
std::unique_ptr<ZcDbDatabase> readDrawing(benchmark::State& state) {
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxfFromString(drawing(static_cast<int>(state.range(0))), error);
  if (!db) state.SkipWithError(error.message.c_str());
  return db;
}

double secondsToWrite(ZcDbDatabase& db, std::size_t& bytes) {
  auto start = std::chrono::steady_clock::now();
  std::string out = zrxhost::writeDxfToString(db);
  bytes = out.size();
  benchmark::DoNotOptimize(out.data());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WriteDxf(benchmark::State& state) {
  std::unique_ptr<ZcDbDatabase> db = readDrawing(state);
  if (!db) return;
  std::size_t bytes = 0;
  for (auto _ : state) secondsToWrite(*db, bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteDxf)->Apply(sizes);

// Every text changed by `change` before the write, so that none of them is copied from the file as
// read. The counter `x_unchanged` is the time of this write over that of the same drawing written
// unchanged, each the best of its runs: a second copy of the drawing, left as read, is written after
// each timed write, so that a slow spell of the machine slows both alike.
void writeAllChanged(benchmark::State& state, void (*change)(ZcDbText&)) {
  std::unique_ptr<ZcDbDatabase> db = readDrawing(state);
  std::unique_ptr<ZcDbDatabase> asRead = readDrawing(state);
  if (!db || !asRead) return;
  ZcDbBlockTableRecord* ms = nullptr;
  if (zcdbOpenObject(ms, db->modelSpaceId(), ZcDb::kForRead) != Zcad::eOk) {
    state.SkipWithError("model space does not open");
    return;
  }
  for (ZcDbObjectId id : ms->entityIds()) {
    ZcDbText* text = nullptr;
    if (zcdbOpenObject(text, id, ZcDb::kForWrite) != Zcad::eOk) continue;
    change(*text);
    text->close();
  }
  ms->close();
  std::size_t bytes = 0, unchangedBytes = 0;
  // The first write of each drawing pays for memory the later ones reuse (the output, the changed
  // objects' first reading): made once untimed, so that the ratio compares writes in a steady state.
  secondsToWrite(*db, bytes);
  secondsToWrite(*asRead, unchangedBytes);
  double changed = 1e9, unchanged = 1e9;
  for (auto _ : state) {
    const double once = secondsToWrite(*db, bytes);
    state.SetIterationTime(once);
    changed = std::min(changed, once);
    unchanged = std::min(unchanged, secondsToWrite(*asRead, unchangedBytes));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["x_unchanged"] = changed / unchanged;
}

// Moved: a value the text keeps exactly.
void BM_WriteAllChanged(benchmark::State& state) {
  writeAllChanged(state, [](ZcDbText& text) { text.setPosition(text.position() + ZcGeVector3d(0.5, 0, 0)); });
}
// Best of enough runs, whatever the minimum time asked for, that two runs of the bench agree on the
// ratio within a few hundredths at every size.
constexpr int kWriteRuns = 8;
BENCHMARK(BM_WriteAllChanged)->Apply(sizes)->UseManualTime()->Iterations(kWriteRuns);

// Recoloured: a value an entity may refuse when it is read, which the writer must tell apart.
void BM_WriteAllRecoloured(benchmark::State& state) {
  writeAllChanged(state, [](ZcDbText& text) { text.setColorIndex(3); });
}
BENCHMARK(BM_WriteAllRecoloured)->Apply(sizes)->UseManualTime()->Iterations(kWriteRuns);

// What a user waits for, as a user runs it: `zrxhost IN --save-as OUT` in a process of its own. The
// counters give its peak resident memory in MB and as a multiple of the file's size. GNU time runs it:
// a child forked from this process would count the bench's own drawings in its peak.
void BM_HostOpenAndSave(benchmark::State& state) {
  const std::string& text = drawing(static_cast<int>(state.range(0)));
  const std::string stem = "/tmp/bench_dxf_" + std::to_string(getpid());
  const std::string in = stem + "_in.dxf", out = stem + "_out.dxf", peak = stem + "_peak.txt";
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const std::string command =
      "/usr/bin/time -f %M -o " + peak + " " ZRXHOST_PROGRAM " " + in + " --save-as " + out + " >/dev/null";
  long peakKb = 0;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("zrxhost failed (or /usr/bin/time is missing)");
      break;
    }
    long kb = 0;
    if (FILE* f = std::fopen(peak.c_str(), "r")) {
      if (std::fscanf(f, "%ld", &kb) != 1) kb = 0;
      std::fclose(f);
    }
    peakKb = std::max(peakKb, kb);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
  state.counters["peak_x_file"] = static_cast<double>(peakKb) * 1024.0 / static_cast<double>(text.size());
  for (const std::string& path : {in, out, peak}) std::remove(path.c_str());
}
BENCHMARK(BM_HostOpenAndSave)->Apply(sizes)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
