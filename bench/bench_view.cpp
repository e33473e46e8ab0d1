// Benchmarks zrxcad's canvas over a large drawing of mixed kinds (bench/render_compare.py's): the
// open to the first frame, pan and wheel-zoom frames, the drag of a tally over it, and the frame
// after an edit that adds 100,000 texts; 1600 x 1000 pixels, median and 99th percentile.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "jig/tally_jig.h"
#include "jig/text_array.h"
#include "module/host.h"
#include "window/canvas.h"
#include "window/window_input.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"
#include "zrxhost/session.h"
#include "zrxhost/undo.h"

namespace {

using Clock = std::chrono::steady_clock;
using zrxhost::window::Canvas;
using zrxhost::window::ViewTransform;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(std::ceil(fraction * values.size())) - 1);
  return values[at];
}

// The drawing of `entities`, made once by render_compare.py into ZRX_BENCH_DATA (default /tmp).
std::string drawingPath(int entities) {
  const char* dir = std::getenv("ZRX_BENCH_DATA");
  const std::string path = std::string(dir ? dir : "/tmp") + "/mixed" + std::to_string(entities) + ".dxf";
  if (!std::ifstream(path).good()) {
    const std::string make =
        "/usr/bin/python3 " ZRX_SOURCE_DIR "/bench/render_compare.py --make " + std::to_string(entities) + " " + path;
    if (std::system(make.c_str()) != 0) return {};
  }
  return path;
}

// Resident memory in bytes.
double residentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * 4096;
}

void quietSession() {
  static NullBuffer buffer;
  static std::ostream sink(&buffer);
  zrxhost::Session::instance().setTranscript(&sink);
}

double gStartBytes = 0;  // resident at the start of the program

// The canvas at 1600 x 1000 showing the whole drawing, as zrxcad's window does once it is shown.
void showWhole(Canvas& canvas, ZcDbDatabase& db) {
  canvas.resize(1600, 1000);
  canvas.refreshDrawing(db, true);
  const zrxhost::render::Bounds& b = canvas.drawing().extents();
  ViewTransform view;
  view.width = 1600;
  view.height = 1000;
  view.fit(b.minX, b.minY, b.maxX, b.maxY);
  canvas.setView(view);
}

// Opens the drawing at `path` as zrxcad does (the read, the index, the first frame of the whole
// drawing) and hands the canvas to `shown`; false, with the reason in `error`, when it cannot.
template <typename Shown>
bool openWhole(const std::string& path, std::string& error, const Shown& shown) {
  zrxhost::DxfError read;
  std::unique_ptr<ZcDbDatabase> db = zrxhost::readDxf(path, read);
  if (!db) {
    error = read.message;
    return false;
  }
  zrxhost::initializeHost(db.get());
  quietSession();
  {
    zrxhost::window::WindowInput unused;
    Canvas canvas(unused);
    showWhole(canvas, *db);
    QImage frame;
    canvas.renderFrame(frame);
    if (frame.width() != 1600) error = "the canvas is not 1600 pixels wide";
    if (error.empty()) shown(canvas);
  }
  zrxhost::initializeHost(zrxhost::newDrawing().release());
  return error.empty();
}

double fileSize(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return static_cast<double>(file.tellg());
}

// Launch to the whole drawing on screen, as zrxcad opens a file: the read, the index, the first
// frame. Memory: what the process holds beyond what it held at its start, beside the file's size
// (run one size alone for a clean figure).
void BM_Open(benchmark::State& state) {
  const std::string path = drawingPath(static_cast<int>(state.range(0)));
  if (path.empty()) return state.SkipWithError("no drawing");
  std::vector<double> times;
  double grown = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    std::string error;
    if (!openWhole(path, error, [&](Canvas&) {
          times.push_back(msSince(start));
          // The first open only: later ones find the memory the earlier ones left to the allocator.
          if (grown == 0) grown = residentBytes() - gStartBytes;
        }))
      return state.SkipWithError(error.c_str());
  }
  state.counters["median_ms"] = percentile(times, 0.5);
  state.counters["memory_per_file"] = grown / fileSize(path);
}
BENCHMARK(BM_Open)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The memory once the whole drawing is on screen sharp, with all the window keeps for the frames
// after, beside the file's size: what it holds beyond what it held before the open (apart from the
// open's, whose sharpening would change the state the opens are timed in).
void BM_MemoryOnceSharp(benchmark::State& state) {
  const std::string path = drawingPath(static_cast<int>(state.range(0)));
  if (path.empty()) return state.SkipWithError("no drawing");
  double grown = 0;
  for (auto _ : state) {
    const double before = residentBytes();
    std::string error;
    if (!openWhole(path, error, [&](Canvas& canvas) {
          while (!canvas.sharpen()) {
          }
          grown = residentBytes() - before;
        }))
      return state.SkipWithError(error.c_str());
  }
  state.counters["memory_per_file"] = grown / fileSize(path);
}
BENCHMARK(BM_MemoryOnceSharp)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The million-entity drawing, open in a canvas, kept for the benchmarks that follow.
struct Opened {
  std::unique_ptr<ZcDbDatabase> db;
  zrxhost::window::WindowInput input;
  std::unique_ptr<Canvas> canvas;
  ViewTransform whole;
  // The image each frame is painted into, kept as long as the window (as the window keeps its own).
  QImage frame;
};
Opened* opened() {
  static std::unique_ptr<Opened> open;
  if (open) return open.get();
  const std::string path = drawingPath(1000000);
  zrxhost::DxfError error;
  auto made = std::make_unique<Opened>();
  made->db = zrxhost::readDxf(path, error);
  if (!made->db) return nullptr;
  zrxhost::initializeHost(made->db.get());
  quietSession();
  made->canvas = std::make_unique<Canvas>(made->input);
  showWhole(*made->canvas, *made->db);
  made->whole = made->canvas->view();
  open = std::move(made);
  return open.get();
}

// The views: 0 the whole drawing, 1 zoomed in x10 and 2 x100 at the middle, 3 a dense corner (the
// lower left ninth at x3, where 110,000 entities show a pixel or three large, drawn each).
ViewTransform viewOf(const Opened& o, int which) {
  ViewTransform view = o.whole;
  const double zoom[] = {1, 10, 100, 3};
  if (which == 3) {
    view.zoomAt(view.screenX(0), view.screenY(0), zoom[3]);
  } else {
    view.zoomAt(view.width / 2.0, view.height / 2.0, zoom[which]);
  }
  return view;
}

// Brings the canvas to `view` with its picture complete, as it stands when the hand starts moving.
void settle(Opened& o, const ViewTransform& view) {
  o.canvas->setView(view);
  o.canvas->renderFrame(o.frame);
  while (!o.canvas->sharpen()) {
  }
}

// Sharpens until the picture is complete, each slice (the longest the window keeps the hand waiting
// while idle) timed into `slices`; the time to the complete picture.
double sharpenTimed(Canvas& canvas, std::vector<double>& slices) {
  double total = 0;
  for (bool done = false; !done;) {
    const Clock::time_point s = Clock::now();
    done = canvas.sharpen();
    slices.push_back(msSince(s));
    total += slices.back();
  }
  return total;
}

void report(benchmark::State& state, const std::vector<double>& frames, const std::vector<double>& sharp,
            const std::vector<double>& slices) {
  state.counters["median_ms"] = percentile(frames, 0.5);
  state.counters["p99_ms"] = percentile(frames, 0.99);
  state.counters["max_ms"] = percentile(frames, 1.0);
  if (!sharp.empty()) {
    state.counters["sharpen_median_ms"] = percentile(sharp, 0.5);
    state.counters["sharpen_p99_ms"] = percentile(sharp, 0.99);
  }
  if (!slices.empty()) {
    state.counters["slice_p99_ms"] = percentile(slices, 0.99);
    state.counters["slice_max_ms"] = percentile(slices, 1.0);
  }
  state.counters["frames"] = static_cast<double>(frames.size());
}

// A pan: 120 mouse moves of a hand dragging the view, 14 and 6 pixels a move, there and back.
// Each frame shifts the kept picture and draws the strips that came in; the idle passes that
// sharpen what a frame left unbuilt are timed apart (`sharpen_*`).
void BM_PanFrame(benchmark::State& state) {
  Opened* o = opened();
  if (!o) return state.SkipWithError("no drawing");
  const ViewTransform start = viewOf(*o, static_cast<int>(state.range(0)));
  std::vector<double> frames, sharp;
  for (auto _ : state) {
    settle(*o, start);
    ViewTransform view = start;
    for (int i = 0; i < 120; ++i) {
      const double step = i < 60 ? 1 : -1;
      view.panBy(14 * step, 6 * step);
      const Clock::time_point t = Clock::now();
      o->canvas->setView(view);
      o->canvas->renderFrame(o->frame);
      frames.push_back(msSince(t));
      const Clock::time_point s = Clock::now();
      if (!o->canvas->sharpen()) {
      }
      sharp.push_back(msSince(s));
    }
  }
  report(state, frames, sharp, sharp);
}
BENCHMARK(BM_PanFrame)->ArgName("view")->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

// A wheel zoom: 16 steps of 1.25 in at the cursor, then 16 out. Each frame shows the kept picture
// scaled; the pass that draws it sharp at the new scale follows each step (`sharpen_*`).
void BM_ZoomFrame(benchmark::State& state) {
  Opened* o = opened();
  if (!o) return state.SkipWithError("no drawing");
  const ViewTransform start = viewOf(*o, static_cast<int>(state.range(0)));
  std::vector<double> frames, sharp, slices;
  for (auto _ : state) {
    settle(*o, start);
    ViewTransform view = start;
    for (int i = 0; i < 32; ++i) {
      view.zoomAt(700, 450, i < 16 ? 1.25 : 0.8);
      const Clock::time_point t = Clock::now();
      o->canvas->setView(view);
      o->canvas->renderFrame(o->frame);
      frames.push_back(msSince(t));
      sharp.push_back(sharpenTimed(*o->canvas, slices));
    }
  }
  report(state, frames, sharp, slices);
}
BENCHMARK(BM_ZoomFrame)->ArgName("view")->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

// Feeds a cursor path to a drag and times each frame, from the move to the end of its paint.
class ReplayInput : public zrxhost::InputSource {
 public:
  ReplayInput(Canvas& canvas, QImage& image, std::vector<std::string> moves, std::vector<double>& frameMs)
      : mCanvas(canvas), mImage(image), mMoves(std::move(moves)), mFrameMs(frameMs) {}
  std::optional<std::string> nextLine(const std::string&) override {
    if (mNext > 0) {
      mCanvas.renderFrame(mImage);
      mFrameMs.push_back(msSince(mStart));
    }
    if (mNext >= mMoves.size()) return zrxhost::kEscapeLine;
    mStart = Clock::now();
    return mMoves[mNext++];
  }

 private:
  Canvas& mCanvas;
  QImage& mImage;
  std::vector<std::string> mMoves;
  std::vector<double>& mFrameMs;
  size_t mNext = 0;
  Clock::time_point mStart;
};

ZcDbObjectId appendText(ZcDbDatabase& db, const ZcGePoint3d& at, const wchar_t* text, double height) {
  ZcDbBlockTableRecord* space = nullptr;
  ZcDbObjectId id;
  if (zcdbOpenObject(space, db.modelSpaceId(), ZcDb::kForWrite) != Zcad::eOk) return id;
  auto* entity = new ZcDbText(at, text, ZcDbObjectId::kNull, height, 0);
  entity->setDatabaseDefaults();
  if (space->appendZcDbEntity(id, entity) == Zcad::eOk)
    entity->close();
  else
    delete entity;
  space->close();
  return id;
}

// The drag of a line array of `copies` copies (as bench_window's BM_DragFrame) over the whole
// million-entity drawing: the drawing under the drag is kept, so its size should not show.
void BM_DragOverLargeDrawing(benchmark::State& state) {
  Opened* o = opened();
  if (!o) return state.SkipWithError("no drawing");
  static bool registered = false;
  if (!registered) {
    TextArray::rxInit();
    zcrxBuildClassHierarchy();
    registered = true;
  }
  settle(*o, o->whole);
  const ZcGePoint3d base(1500, 1500, 0);
  const ZcDbObjectId sourceId = appendText(*o->db, base, L"Pos. 007-A", 2.5);
  o->canvas->refreshDrawing(*o->db);
  settle(*o, o->whole);
  std::vector<std::string> moves;
  for (int i = 0; i < 60; ++i) moves.push_back(zrxhost::moveLine(1500 + 9.0 * i, 1500 - 13.0 * i - 0.01 * i * i));
  std::vector<double> frames;
  for (auto _ : state) {
    TallyJig jig(sourceId, base);
    jig.setIncMethod(kLine);
    jig.setIncValue(3);
    jig.setIncType(kDigitRun);
    jig.setRunStart(5);
    jig.setRunEnd(7);
    jig.setObjNum(static_cast<int>(state.range(0)));
    jig.setBasePoint(base);
    jig.setDragStage(1);
    jig.textArray()->setDragStage(1);
    zrxhost::Session::instance().setInput(std::make_unique<ReplayInput>(*o->canvas, o->frame, moves, frames));
    jig.drag();
  }
  report(state, frames, {}, {});
}
BENCHMARK(BM_DragOverLargeDrawing)
    ->ArgName("copies")
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The frame after one command added 100,000 texts (as tally's commit of that many copies) to the
// million-entity drawing shown whole: the index and the kept picture brought up to date.
void BM_FrameAfterAdding(benchmark::State& state) {
  Opened* o = opened();
  if (!o) return state.SkipWithError("no drawing");
  std::vector<double> frames, sharp, slices, refresh;
  for (auto _ : state) {
    state.PauseTiming();
    settle(*o, o->whole);
    zrxhost::UndoHistory& history = zrxhost::undoHistory(*o->db);
    history.beginGroup("TALLY");
    for (int i = 0; i < 100000; ++i)
      appendText(*o->db, ZcGePoint3d(10 + i % 1000 * 3.0, 10 + i / 1000 * 3.0, 0), L"A-17", 0.8);
    history.endGroup();
    state.ResumeTiming();
    const Clock::time_point t = Clock::now();
    o->canvas->refreshDrawing(*o->db);
    refresh.push_back(msSince(t));
    o->canvas->renderFrame(o->frame);
    frames.push_back(msSince(t));
    sharp.push_back(sharpenTimed(*o->canvas, slices));
    state.PauseTiming();
    history.undo(1);
    o->canvas->refreshDrawing(*o->db);
    state.ResumeTiming();
  }
  report(state, frames, sharp, slices);
  // The part of the frame that brings the index and the kept paths up to date.
  state.counters["refresh_median_ms"] = percentile(refresh, 0.5);
}
BENCHMARK(BM_FrameAfterAdding)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  gStartBytes = residentBytes();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
