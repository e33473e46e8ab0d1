// Frame time of a drag in zrxcad's canvas: a recorded cursor path replayed through the jig's drag
// loop, each frame the sampler, the update, the preview's draw and the paint of the 1600 x 1000
// canvas over a drawing of 100,000 entities of mixed kinds (painted once, reused by every frame).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

#include "jig/tally_jig.h"
#include "jig/text_array.h"
#include "module/host.h"
#include "window/canvas.h"
#include "window/window_input.h"
#include "zrxhost/dxf.h"
#include "zrxhost/session.h"

namespace {

using Clock = std::chrono::steady_clock;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

ZcDbObjectId append(ZcDbEntity* entity) {
  ZcDbDatabase* db = zcdbHostApplicationServices()->workingDatabase();
  ZcDbBlockTable* table = nullptr;
  db->getSymbolTable(table, ZcDb::kForRead);
  ZcDbBlockTableRecord* space = nullptr;
  table->getAt(ZCDB_MODEL_SPACE, space, ZcDb::kForWrite);
  ZcDbObjectId id;
  entity->setDatabaseDefaults();
  space->appendZcDbEntity(id, entity);
  entity->close();
  space->close();
  table->close();
  return id;
}

// 100,000 entities over 2000 x 1250 units: texts of a few characters, lines, 3D polylines and
// MTexts, in several colours, as a floor plan's annotation might be.
void fillDrawing() {
  const wchar_t* words[] = {L"R-101", L"Door 7", L"A", L"Lot 12", L"P3", L"E-12-B"};
  for (int i = 0; i < 100000; ++i) {
    const double x = (i * 37 % 2000), y = (i * 113 % 1250);
    ZcDbEntity* entity = nullptr;
    switch (i % 4) {
      case 0:
        entity = new ZcDbText(ZcGePoint3d(x, y, 0), words[i % 6], ZcDbObjectId::kNull, 1.5 + i % 3, (i % 8) * 0.3);
        break;
      case 1:
        entity = new ZcDbLine(ZcGePoint3d(x, y, 0), ZcGePoint3d(x + 6, y + (i % 5), 0));
        break;
      case 2: {
        ZcArray<ZcGePoint3d> points;
        for (int k = 0; k < 5; ++k) points.append(ZcGePoint3d(x + k * 2, y + (k % 2) * 2, 0));
        entity = new ZcDb3dPolyline(ZcDb::k3dSimplePoly, points);
        break;
      }
      default: {
        auto* mtext = new ZcDbMText();
        mtext->setLocation(ZcGePoint3d(x, y, 0));
        mtext->setTextHeight(2);
        mtext->setContents(L"Bay\\PC-4");
        entity = mtext;
        break;
      }
    }
    entity->setColorIndex(static_cast<ZSoft::UInt16>(1 + i % 7));
    append(entity);
  }
}

void setUp() {
  static bool done = false;
  if (done) return;
  static NullBuffer buffer;
  static std::ostream sink(&buffer);
  zrxhost::initializeHost(zrxhost::newDrawing().release());
  zrxhost::Session::instance().setTranscript(&sink);
  TextArray::rxInit();
  zcrxBuildClassHierarchy();
  fillDrawing();
  done = true;
}

// The CPU time of this thread: on a machine shared with others, what the frame itself costs.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Feeds the recorded cursor path to the drag and times each frame: from handing over one move to
// the end of the paint that shows its update.
class ReplayInput : public zrxhost::InputSource {
 public:
  // `image`: the frame painted into, kept between drags as the canvas keeps its own.
  ReplayInput(zrxhost::window::Canvas& canvas, std::vector<std::string> moves, QImage& image,
              std::vector<double>& frameMs, std::vector<double>& paintMs, std::vector<double>& cpuMs)
      : mCanvas(canvas), mMoves(std::move(moves)), mImage(image), mFrameMs(frameMs), mPaintMs(paintMs), mCpuMs(cpuMs) {}
  std::optional<std::string> nextLine(const std::string&) override {
    if (mNext > 0) {
      const Clock::time_point paintStart = Clock::now();
      mCanvas.renderFrame(mImage);
      const Clock::time_point end = Clock::now();
      mFrameMs.push_back(std::chrono::duration<double, std::milli>(end - mStart).count());
      mPaintMs.push_back(std::chrono::duration<double, std::milli>(end - paintStart).count());
      mCpuMs.push_back(threadCpuMs() - mCpuStart);
    }
    if (mNext >= mMoves.size()) return zrxhost::kEscapeLine;
    mStart = Clock::now();
    mCpuStart = threadCpuMs();
    return mMoves[mNext++];
  }

 private:
  zrxhost::window::Canvas& mCanvas;
  std::vector<std::string> mMoves;
  QImage& mImage;
  std::vector<double>& mFrameMs;
  std::vector<double>& mPaintMs;
  std::vector<double>& mCpuMs;
  double mCpuStart = 0;
  size_t mNext = 0;
  Clock::time_point mStart;
};

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(std::ceil(fraction * values.size())) - 1);
  return values[at];
}

// The second drag of a line array of `copies` copies from 1000,600: 60 cursor positions of a
// hand's sweep down and to the right, as recorded from a drag in the window. At `zoom` 1 the whole
// drawing shows and a copy is under two pixels high (drawn as its baseline); at 4 the view is zoomed
// in around the drag and the copies are drawn from their glyph outlines.
void BM_DragFrame(benchmark::State& state) {
  setUp();
  const int copies = static_cast<int>(state.range(0));
  const double zoom = static_cast<double>(state.range(1));
  zrxhost::window::WindowInput unused;
  zrxhost::window::Canvas canvas(unused);
  canvas.resize(1600, 1000);
  zrxhost::window::ViewTransform view;
  view.width = 1600;
  view.height = 1000;
  view.fit(0, 0, 2000, 1250);
  view.zoomAt(800 * 1.1, 500 * 0.9, zoom);
  canvas.setView(view);
  canvas.refreshDrawing(*zcdbHostApplicationServices()->workingDatabase(), true);
  canvas.setView(view);

  ZcDbText* source = new ZcDbText(ZcGePoint3d(1000, 600, 0), L"Pos. 007-A", ZcDbObjectId::kNull, 2.5, 0);
  const ZcDbObjectId sourceId = append(source);
  std::vector<std::string> moves;
  for (int i = 0; i < 60; ++i) moves.push_back(zrxhost::moveLine(1000 + 6.0 * i, 600 - 9.0 * i - 0.01 * i * i));

  std::vector<double> frameMs, paintMs, cpuMs;
  QImage frame;
  for (auto _ : state) {
    TallyJig jig(sourceId, ZcGePoint3d(1000, 600, 0));
    jig.setIncMethod(kLine);
    jig.setIncValue(3);
    jig.setIncType(kDigitRun);
    jig.setRunStart(5);
    jig.setRunEnd(7);
    jig.setObjNum(copies);
    jig.setBasePoint(ZcGePoint3d(1000, 600, 0));
    jig.setDragStage(1);
    jig.textArray()->setDragStage(1);
    // The drawing under the drag is painted before it starts, as the window has it on screen.
    QImage first;
    canvas.renderFrame(first);
    zrxhost::Session::instance().setInput(std::make_unique<ReplayInput>(canvas, moves, frame, frameMs, paintMs, cpuMs));
    jig.drag();
  }
  state.counters["median_ms"] = percentile(frameMs, 0.5);
  state.counters["p99_ms"] = percentile(frameMs, 0.99);
  state.counters["max_ms"] = percentile(frameMs, 1.0);
  state.counters["cpu_median_ms"] = percentile(cpuMs, 0.5);
  state.counters["cpu_p99_ms"] = percentile(cpuMs, 0.99);
  // The share of the frame that is the preview's and the cursor's paint.
  state.counters["paint_median_ms"] = percentile(paintMs, 0.5);
  state.counters["frames"] = static_cast<double>(frameMs.size());
}
BENCHMARK(BM_DragFrame)
    ->ArgNames({"copies", "zoom"})
    ->Args({1000, 1})
    ->Args({1000, 4})
    ->Args({100000, 1})
    ->Args({100000, 4})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  // Offscreen unless told otherwise: the benchmark paints into images, never onto a screen.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
