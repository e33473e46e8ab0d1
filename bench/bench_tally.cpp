// Benchmarks of a live drag: one layout update plus the preview's draw, against the bare cost of
// formatting each copy's number and copying its string; and one character pick on a long text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "jig/tally_jig.h"
#include "jig/text_array.h"
#include "module/host.h"
#include "zrxhost/session.h"

namespace {

// Swallows the transcript so that messages do not disturb the timings.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

void setUpHost() {
  static NullBuffer buffer;
  static std::ostream sink(&buffer);
  static bool done = false;
  if (done) return;
  zrxhost::initializeHost();
  zrxhost::Session::instance().setTranscript(&sink);
  TextArray::rxInit();
  zcrxBuildClassHierarchy();
  done = true;
}

ZcDbObjectId addText(const ZcString& string, const ZcGePoint3d& position) {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  auto* pText = new ZcDbText(position, string.kwszPtr(), ZcDbObjectId::kNull, 2.5, 0);
  pText->setDatabaseDefaults();
  ZcDbBlockTable* pTable = nullptr;
  db->getSymbolTable(pTable, ZcDb::kForRead);
  ZcDbBlockTableRecord* pRecord = nullptr;
  pTable->getAt(ZCDB_MODEL_SPACE, pRecord, ZcDb::kForWrite);
  ZcDbObjectId id;
  pRecord->appendZcDbEntity(id, pText);
  pText->close();
  pRecord->close();
  pTable->close();
  return id;
}

// On a shared machine the neighbours only ever add time: over repetitions, the least is the closest
// to what the code itself costs, the median to what a user sees.
double least(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

// What every benchmark here reports: microseconds, and the least repetition beside the median.
void reported(benchmark::internal::Benchmark* b) {
  b->ComputeStatistics("min", least)->Unit(benchmark::kMicrosecond);
}

constexpr const ZTCHAR* kSource = L"Pos. 007-A";

void perCopy(benchmark::State& state, int copies) {
  state.counters["per_copy"] = benchmark::Counter(
      static_cast<double>(copies), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The jig in the second drag of a line array with the count given: every update lays out
// `copies` copies with their strings, and the preview draws them all.
std::unique_ptr<TallyJig> secondDrag(int copies) {
  auto jig = std::make_unique<TallyJig>(addText(ZcString(kSource), ZcGePoint3d(0, 0, 0)), ZcGePoint3d(0, 0, 0));
  jig->setIncMethod(kLine);
  jig->setIncValue(3);
  jig->setIncType(kDigitRun);
  jig->setRunStart(5);
  jig->setRunEnd(7);
  jig->setObjNum(copies);
  jig->setBasePoint(ZcGePoint3d(0, 0, 0));
  jig->setDragStage(1);
  jig->textArray()->setDragStage(1);
  return jig;
}

// One cursor move of the drag. Through a real drag only the point moves, so the copies' strings
// stay those of the last move; with `newStrings` the step changes on every move as well, so every
// update makes all its strings anew: the most an update can cost.
void moveCursor(TallyJig& jig, double& y, bool newStrings) {
  jig.setEndPoint(ZcGePoint3d(0, y, 0));
  if (newStrings) jig.setIncValue(static_cast<int>(y) % 2 == 0 ? 3 : 4);
  y += 1;
  jig.update();
}

// What the host does per cursor move: update, then draw the preview.
void BM_UpdateAndDraw(benchmark::State& state) {
  setUpHost();
  const int copies = static_cast<int>(state.range(0));
  const bool newStrings = state.range(1) != 0;
  auto jig = secondDrag(copies);
  ZcGiDrawRecorder recorder(true);
  double y = 1000;
  for (auto _ : state) {
    moveCursor(*jig, y, newStrings);
    recorder.clear();
    jig->entity()->worldDraw(&recorder);
    benchmark::DoNotOptimize(recorder.texts().data());
  }
  if (static_cast<int>(recorder.texts().size()) != copies) state.SkipWithError("the preview lost copies");
  perCopy(state, copies);
}
BENCHMARK(BM_UpdateAndDraw)
    ->ArgNames({"copies", "new_strings"})
    ->ArgsProduct({{10, 1000, 10000, 100000}, {0, 1}})
    ->Apply(reported);

// The two halves apart: the layout with its strings, and the preview's draw through the host.
void BM_UpdateOnly(benchmark::State& state) {
  setUpHost();
  const int copies = static_cast<int>(state.range(0));
  const bool newStrings = state.range(1) != 0;
  auto jig = secondDrag(copies);
  double y = 1000;
  for (auto _ : state) moveCursor(*jig, y, newStrings);
  perCopy(state, copies);
}
BENCHMARK(BM_UpdateOnly)
    ->ArgNames({"copies", "new_strings"})
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Apply(reported);

void BM_DrawOnly(benchmark::State& state) {
  setUpHost();
  const int copies = static_cast<int>(state.range(0));
  auto jig = secondDrag(copies);
  jig->setEndPoint(ZcGePoint3d(0, 1000, 0));
  jig->update();
  ZcGiDrawRecorder recorder(true);
  for (auto _ : state) {
    recorder.clear();
    jig->entity()->worldDraw(&recorder);
    benchmark::DoNotOptimize(recorder.texts().data());
  }
  perCopy(state, copies);
}
BENCHMARK(BM_DrawOnly)->Arg(1000)->Arg(10000)->Arg(100000)->Apply(reported);

// The floor under the update: each copy's number formatted and its string copied, nothing else.
void BM_FormatAndCopyBaseline(benchmark::State& state) {
  setUpHost();
  const int copies = static_cast<int>(state.range(0));
  const ZcString source(kSource);
  ZcArray<ZcString> strings;
  strings.setLogicalLength(copies);
  for (auto _ : state) {
    for (int k = 1; k <= copies; ++k) {
      char digits[16];
      auto [end, ec] = std::to_chars(digits, digits + sizeof digits, 7 + 3 * k);
      benchmark::DoNotOptimize(ec);
      benchmark::DoNotOptimize(end);
      strings[k - 1] = source;
    }
    benchmark::DoNotOptimize(strings.asArrayPtr());
    benchmark::ClobberMemory();
  }
  perCopy(state, copies);
}
BENCHMARK(BM_FormatAndCopyBaseline)->Arg(10)->Arg(1000)->Arg(100000)->Apply(reported);

// One pick on a text of `length` characters: every character is measured through the text itself.
void BM_Pick(benchmark::State& state) {
  setUpHost();
  const int length = static_cast<int>(state.range(0));
  std::wstring text;
  for (int i = 0; i < length; ++i) text.push_back(i % 7 == 6 ? L' ' : static_cast<wchar_t>(L'0' + i % 10));
  ZcDbObjectId id = addText(ZcString(text.c_str()), ZcGePoint3d(0, 0, 0));
  // Somewhere in the middle of the text: the walk over the widths is part of the cost.
  TallyJig jig(id, ZcGePoint3d(length * 0.9, 1, 0));
  int kind = -1;
  for (auto _ : state) {
    kind = jig.pickCharacterRun();
    jig.eraseMark();
  }
  if (kind != 0 && kind != 3) state.SkipWithError("the pick found no character");
  state.counters["per_char"] = benchmark::Counter(
      static_cast<double>(length), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Pick)->Arg(10000)->Apply(reported);

}  // namespace

BENCHMARK_MAIN();
