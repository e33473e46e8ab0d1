// zrxcad's window driven as a user would, offscreen: typed commands, clicks on the canvas, drags with
// their preview, Esc, Ctrl+Z, F1, saving and the ways out, PDF and print, Chinese texts, and the view's
// transform.
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest/QtTest>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "window/canvas.h"
#include "window/command_line.h"
#include "window/drawing_painter.h"
#include "window/main_window.h"
#include "window/view_transform.h"
#include "window/window_input.h"
#include "window/window_texts.h"
#include "zrx/db.h"
#include "zrx/gi.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"
#include "zrxhost/messages.h"
#include "zrxhost/render.h"
#include "zrxhost/session.h"
#include "zrxhost/undo.h"

using namespace zrxhost;
using namespace zrxhost::window;

namespace {

// Plays the user's part: each time the editor waits with nothing to read, the next step runs.
// Steps that give no answer (a check, a move outside a drag) are followed at once by the next one;
// when the steps run out the window is closed, so a test that went wrong ends instead of hanging.
class User : public QObject {
 public:
  User(MainWindow& window, std::vector<std::function<void()>> steps) : mWindow(window), mSteps(std::move(steps)) {
    connect(&window.input(), &WindowInput::waiting, this, [this] { QTimer::singleShot(0, this, [this] { step(); }); });
  }
  size_t stepsRun() const { return mNext; }

 private:
  void step() {
    if (!mWindow.input().idle()) return;
    if (mNext < mSteps.size()) {
      mSteps[mNext++]();
    } else {
      mWindow.close();
    }
    if (mWindow.input().idle()) QTimer::singleShot(0, this, [this] { step(); });
  }
  MainWindow& mWindow;
  std::vector<std::function<void()>> mSteps;
  size_t mNext = 0;
};

void sendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
  QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

int countTexts(ZcDbDatabase& db, const wchar_t* string = nullptr) {
  ZcDbBlockTableRecord* space = nullptr;
  if (zcdbOpenObject(space, db.currentSpaceId(), ZcDb::kForRead) != Zcad::eOk) return -1;
  const std::vector<ZcDbObjectId> ids = space->entityIds();
  space->close();
  int count = 0;
  for (const ZcDbObjectId& id : ids) {
    if (id.isErased()) continue;
    ZcDbText* text = nullptr;
    if (zcdbOpenObject(text, id, ZcDb::kForRead) != Zcad::eOk) continue;
    ZcString contents;
    text->textString(contents);
    if (!string || std::wstring(contents.kwszPtr()) == string) ++count;
    text->close();
  }
  return count;
}

// The position of the text with `string`.
ZcGePoint3d positionOf(ZcDbDatabase& db, const wchar_t* string) {
  ZcDbBlockTableRecord* space = nullptr;
  zcdbOpenObject(space, db.currentSpaceId(), ZcDb::kForRead);
  const std::vector<ZcDbObjectId> ids = space->entityIds();
  space->close();
  for (const ZcDbObjectId& id : ids) {
    ZcDbText* text = nullptr;
    if (id.isErased() || zcdbOpenObject(text, id, ZcDb::kForRead) != Zcad::eOk) continue;
    ZcString contents;
    text->textString(contents);
    const bool found = std::wstring(contents.kwszPtr()) == string;
    const ZcGePoint3d position = text->position();
    text->close();
    if (found) return position;
  }
  return ZcGePoint3d(1e300, 1e300, 0);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> mWindow;

  // A window over `drawing`, called by its file's name unless `untitled` (then it is a new drawing).
  MainWindow& open(const char* verlan = "en-US", const QString& drawing = SAMPLE_DRAWING, bool untitled = false) {
    mWindow.reset();
    Session::instance().reset();
    DxfError error;
    std::unique_ptr<ZcDbDatabase> db = readDxf(drawing.toStdString(), error);
    if (!db) qFatal("cannot read the drawing: %s", error.message.c_str());
    initializeHost(db.get());
    applyWindowDefaults();
    Session::instance().setSysVar("VERLAN", verlan);
    mWindow = std::make_unique<MainWindow>(std::move(db), untitled ? std::string() : drawing.toStdString());
    // Unsaved changes are dropped at the end of a test unless the test answers itself.
    mWindow->setSaveQuestion([](const QString&) { return std::optional<bool>(false); });
    std::string why;
    if (!mWindow->loadModule(TALLY_MODULE, why)) qFatal("cannot load the module: %s", why.c_str());
    if (!mWindow->loadModule(RETALLY_MODULE, why)) qFatal("cannot load the module: %s", why.c_str());
    mWindow->resize(1000, 700);
    mWindow->show();
    // As on a desktop: the window a user types in is the active one, which shortcuts need.
    mWindow->activateWindow();
    if (!QTest::qWaitForWindowActive(mWindow.get())) qFatal("the window does not become active");
    mWindow->canvas().zoomExtents();
    return *mWindow;
  }

  // The canvas pixel of drawing point (x, y), at the view of the moment the step runs.
  QPoint pixel(double x, double y) {
    const ViewTransform& view = mWindow->canvas().view();
    return QPoint(static_cast<int>(std::lround(view.screenX(x))), static_cast<int>(std::lround(view.screenY(y))));
  }
  std::function<void()> click(double x, double y, Qt::MouseButton button = Qt::LeftButton) {
    return [=, this] {
      Canvas& canvas = mWindow->canvas();
      const QPoint at = pixel(x, y);
      sendMouse(canvas, QEvent::MouseMove, at, Qt::NoButton);
      sendMouse(canvas, QEvent::MouseButtonPress, at, button);
      sendMouse(canvas, QEvent::MouseButtonRelease, at, button);
    };
  }
  std::function<void()> move(double x, double y) {
    return [=, this] { sendMouse(mWindow->canvas(), QEvent::MouseMove, pixel(x, y), Qt::NoButton); };
  }
  std::function<void()> type(const QString& text) {
    return [=, this] {
      QTest::keyClicks(&mWindow->commandLine().edit(), text);
      QTest::keyClick(&mWindow->commandLine().edit(), Qt::Key_Return);
    };
  }
  std::function<void()> key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [=, this] { QTest::keyClick(&mWindow->commandLine().edit(), key, modifiers); };
  }
  // Keys at the keyboard: Qt hands them to whichever widget it thinks has the keyboard.
  std::function<void()> typeAtKeyboard(const QString& text) {
    return [=, this] {
      for (const QChar c : text) QTest::keyClick(mWindow->windowHandle(), c.toLatin1());
      QTest::keyClick(mWindow->windowHandle(), Qt::Key_Return);
    };
  }
  // The steps of one copy of "A-01" by the free method, which leave the drawing changed.
  std::vector<std::function<void()>> copyOfA01() {
    return {type("tally"), click(12, 102), click(0, 0), click(30, 0), click(0, 0, Qt::RightButton)};
  }
  QAction* fileMenuAction(WindowText text) {
    for (QAction* action : mWindow->menuBar()->actions().first()->menu()->actions())
      if (action->text() == windowText(text)) return action;
    return nullptr;
  }

 private slots:
  void cleanup() {
    mWindow.reset();
    Session::instance().reset();
  }

  void viewTransformRoundTripsAndZoomsAtTheCursor() {
    ViewTransform view;
    view.width = 1600;
    view.height = 1000;
    view.fit(-50, 10, 150, 90);
    // The box fits inside the canvas, centred.
    QVERIFY(view.screenX(-50) >= 0 && view.screenX(150) <= 1600);
    QVERIFY(view.screenY(10) <= 1000 && view.screenY(90) >= 0);
    QCOMPARE(view.screenX(50), 800.0);
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{{0, 0}, {-50, 90}, {123.456, -7.5}}) {
      QVERIFY(std::fabs(view.drawingX(view.screenX(x)) - x) < 1e-9);
      QVERIFY(std::fabs(view.drawingY(view.screenY(y)) - y) < 1e-9);
    }
    // The drawing point under the cursor stays under it through a zoom and back.
    const double x = view.drawingX(300), y = view.drawingY(200);
    view.zoomAt(300, 200, 4);
    QVERIFY(std::fabs(view.screenX(x) - 300) < 1e-6 && std::fabs(view.screenY(y) - 200) < 1e-6);
    view.panBy(10, -20);
    QVERIFY(std::fabs(view.screenX(x) - 310) < 1e-6 && std::fabs(view.screenY(y) - 180) < 1e-6);
    // Y grows up in the drawing, down on the screen.
    QVERIFY(view.screenY(y + 1) < view.screenY(y));
    // An absurd zoom stops short of losing the drawing to rounding.
    for (int i = 0; i < 200; ++i) view.zoomAt(300, 200, 10);
    QVERIFY(std::isfinite(view.scale) && view.drawingX(301) != view.drawingX(300));
  }

  // The preview's three ways to draw a text agree on where its ink goes: outlines when large, cached
  // glyph masks when of ordinary size, the baseline when under two pixels high.
  void previewTextsInkTheirBoxAtEveryLevelOfDetail() {
    initializeHost();
    ZcDbText text(ZcGePoint3d(0, 0, 0), L"H-8", ZcDbObjectId::kNull, 1, 0.5);
    text.setDatabaseDefaults();
    ZcGiDrawRecorder frame(true);
    text.worldDraw(&frame);
    QCOMPARE(static_cast<int>(frame.texts().size()), 1);
    ZcGePoint3d lo, hi;
    {
      ZcDbExtents extents;
      QCOMPARE(text.getGeomExtents(extents), Zcad::eOk);
      lo = extents.minPoint();
      hi = extents.maxPoint();
    }
    PreviewPainter painter;
    // Inked pixels inside the text's box (grown by two pixels) and outside it, at a scale.
    auto ink = [&](double scale) {
      ViewTransform view;
      view.width = 400;
      view.height = 300;
      view.scale = scale;
      view.centerX = (lo.x + hi.x) / 2;
      view.centerY = (lo.y + hi.y) / 2;
      QImage image(view.width, view.height, QImage::Format_RGB32);
      image.fill(Qt::black);
      painter.paint(image, frame, view);
      const QRectF box(QPointF(view.screenX(lo.x) - 2, view.screenY(hi.y) - 2),
                       QPointF(view.screenX(hi.x) + 2, view.screenY(lo.y) + 2));
      std::pair<int, int> counts{0, 0};
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          if (qGray(image.pixel(x, y)) < 40) continue;
          (box.contains(QPointF(x + 0.5, y + 0.5)) ? counts.first : counts.second)++;
        }
      }
      return counts;
    };
    const auto outline = ink(PreviewPainter::kSpriteMaxPixels * 1.5);
    const auto masks = ink(PreviewPainter::kSpriteMaxPixels * 0.9);
    const auto masksAgain = ink(PreviewPainter::kSpriteMaxPixels * 0.9);
    const auto baseline = ink(PreviewPainter::kTextDetailPixels * 0.9);
    QCOMPARE(outline.second, 0);
    QCOMPARE(masks.second, 0);
    QCOMPARE(baseline.second, 0);
    QVERIFY(outline.first > 500);
    // At 0.9 / 1.5 of the size the masks ink about 0.36 of the area the outlines did.
    const double ratio = masks.first / (outline.first * 0.36);
    QVERIFY2(ratio > 0.8 && ratio < 1.25, qPrintable(QString::number(ratio)));
    QCOMPARE(masksAgain, masks);  // from the cache, the same pixels
    // The baseline: a short line, a few pixels long, no longer than the box's diagonal.
    const double diagonal = std::hypot(hi.x - lo.x, hi.y - lo.y) * PreviewPainter::kTextDetailPixels * 0.9;
    QVERIFY2(baseline.first >= 3 && baseline.first <= diagonal + 2,
             qPrintable(QString("%1 pixels, diagonal %2").arg(baseline.first).arg(diagonal)));
  }

  // A hundred copies on the same pixels ink them as one copy does (a drag of many copies closer than
  // a pixel must not smear their edges); copies of two colours keep their own; far-off copies leave
  // no ink.
  void overlappingPreviewCopiesInkAsOne() {
    initializeHost();
    auto record = [](ZcGiDrawRecorder& frame, double x, double y, int color) {
      ZcDbText text(ZcGePoint3d(x, y, 0), L"Pos. 07", ZcDbObjectId::kNull, 1, 0.3);
      text.setDatabaseDefaults();
      text.setColorIndex(static_cast<ZSoft::UInt16>(color));
      text.worldDraw(&frame);
    };
    ViewTransform view;
    view.width = 300;
    view.height = 200;
    view.scale = 12;  // 12 pixels high: drawn from the glyph masks
    view.centerX = 3;
    view.centerY = 0.5;
    PreviewPainter painter;
    auto paint = [&](const ZcGiDrawRecorder& frame) {
      QImage image(view.width, view.height, QImage::Format_RGB32);
      image.fill(Qt::black);
      painter.paint(image, frame, view);
      return image;
    };
    ZcGiDrawRecorder one(true), many(true);
    record(one, 0, 0, 1);
    // Within a hundredth of a pixel: every copy's glyphs land on the first one's pixels.
    for (int i = 0; i < 100; ++i) record(many, i * 1e-5, 0, 1);
    const QImage single = paint(one);
    QCOMPARE(paint(many), single);
    int partial = 0;
    for (int y = 0; y < single.height(); ++y)
      for (int x = 0; x < single.width(); ++x)
        partial += qRed(single.pixel(x, y)) > 20 && qRed(single.pixel(x, y)) < 235;
    QVERIFY2(partial > 10, "the masks' edges are smooth, so a smeared edge would show");

    ZcGiDrawRecorder two(true);
    record(two, 0, 3, 1);
    record(two, 0, -3, 3);
    record(two, 1e9, 1e9, 2);  // off the image by far
    record(two, -1e15, 0, 2);
    const QImage both = paint(two);
    int red = 0, green = 0, other = 0;
    for (int y = 0; y < both.height(); ++y) {
      for (int x = 0; x < both.width(); ++x) {
        const QRgb p = both.pixel(x, y);
        if (qRed(p) > 128 && qGreen(p) < 60) {
          ++red;
          QVERIFY(y < view.screenY(0));  // the red copy is the upper one
        } else if (qGreen(p) > 128 && qRed(p) < 60) {
          ++green;
          QVERIFY(y > view.screenY(0));
        } else if (qRed(p) > 60 && qGreen(p) > 60) {
          ++other;  // yellow would be a far-off copy drawn after all
        }
      }
    }
    QVERIFY(red > 30);
    QVERIFY(green > 30);
    QCOMPARE(other, 0);
  }

  void tallyWithTheMouseWritesTheCopyThenCtrlZTakesItBack() {
    MainWindow& window = open();
    const int before = countTexts(window.database());
    int previewTexts = 0;
    bool markShown = false;
    int afterCopy = -1;
    auto atDrag = [&] {
      const DragLog* drag = Session::instance().activeDrag();
      previewTexts = drag ? static_cast<int>(drag->lastFrame.texts().size()) : -1;
      QImage frame;
      window.canvas().renderFrame(frame);
      // The mark over the picked digit is red in the frame shown.
      for (int y = 0; y < frame.height() && !markShown; ++y) {
        for (int x = 0; x < frame.width(); ++x) {
          const QRgb p = frame.pixel(x, y);
          if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60) {
            markShown = true;
            break;
          }
        }
      }
      if (const char* path = std::getenv("ZRXCAD_SCREENSHOT")) window.grab().save(QString::fromLocal8Bit(path));
    };
    User user(window, {type("tally"), click(12, 102), click(0, 0), move(5, -10), move(0, -20), atDrag, click(0, -20),
                       click(0, 0, Qt::RightButton), [&] { afterCopy = countTexts(window.database()); },
                       key(Qt::Key_Z, Qt::ControlModifier)});
    window.run();
    QCOMPARE(user.stepsRun(), size_t(10));
    QVERIFY(previewTexts > 0);
    QVERIFY(markShown);
    QCOMPARE(afterCopy, before + 1);
    QCOMPARE(countTexts(window.database()), before);
    QCOMPARE(countTexts(window.database(), L"A-02"), 0);
    const QString transcript = window.commandLine().transcriptText();
    QVERIFY2(transcript.contains("Command: U"), qPrintable(transcript));
  }

  void retallySelectsByACrossingWithThePreviewUpThenRenumbersInOneUndoStep() {
    MainWindow& window = open();
    bool dashedBand = false;
    size_t outlined = 0, previewTexts = 0, previewPaths = 0;
    int renumbered = -1;
    auto atBand = [&] {
      QImage frame;
      window.canvas().renderFrame(frame);
      for (int y = 0; y < frame.height() && !dashedBand; ++y)
        for (int x = 0; x < frame.width() && !dashedBand; ++x) dashedBand = frame.pixel(x, y) == qRgb(120, 230, 120);
    };
    auto atPreview = [&] {
      const DragLog* drag = Session::instance().activeDrag();
      previewTexts = drag ? drag->lastFrame.texts().size() : 0;
      previewPaths = drag ? drag->lastFrame.polylines().size() : 0;
    };
    // Right to left from empty space: a crossing over the texts above the MText.
    User user(window,
              {type("retally"), click(170, 112), move(-5, 15), atBand, click(-5, 15),
               [&] { outlined = Session::instance().selectionFeedback().highlight.polylines().size(); },
               click(0, 0, Qt::RightButton), atPreview, type("5"),
               [&] { renumbered = countTexts(window.database(), L"A-5"); }, key(Qt::Key_Z, Qt::ControlModifier)});
    window.run();
    QCOMPARE(user.stepsRun(), size_t(11));
    QVERIFY(dashedBand);
    QVERIFY(outlined >= 4);
    QVERIFY(previewTexts >= 4);
    QVERIFY(previewPaths >= 2);  // the path and its arrows
    QVERIFY2(renumbered == 1, qPrintable(window.commandLine().transcriptText()));
    QCOMPARE(countTexts(window.database(), L"A-5"), 0);
    QCOMPARE(countTexts(window.database(), L"A-01"), 1);
  }

  void theCopyLandsWhereTheClickWas() {
    MainWindow& window = open();
    const ZcGePoint3d source = positionOf(window.database(), L"A-01");
    User user(window,
              {type("tally"), click(12, 102), click(0, 0), move(30, 0), click(30, -10), click(0, 0, Qt::RightButton)});
    window.run();
    const ZcGePoint3d copy = positionOf(window.database(), L"A-02");
    // The free method moves the copy by the dragged offset; a pixel is the click's precision.
    const double pixel = window.canvas().view().pixelSize();
    QVERIFY2(std::fabs(copy.x - (source.x + 30)) <= pixel && std::fabs(copy.y - (source.y - 10)) <= pixel,
             qPrintable(QString("copy at %1,%2").arg(copy.x).arg(copy.y)));
  }

  void escDuringTheDragWritesNothing() {
    MainWindow& window = open();
    const int before = countTexts(window.database());
    bool dragging = false;
    User user(window, {type("tally"), click(12, 102), click(0, 0), move(25, 0),
                       [&] { dragging = Session::instance().activeDrag() != nullptr; }, key(Qt::Key_Escape)});
    window.run();
    QVERIFY(dragging);
    QCOMPARE(countTexts(window.database()), before);
    QCOMPARE(countTexts(window.database(), L"A-02"), 0);
    QVERIFY(window.commandLine().transcriptText().contains("*Cancel*"));
  }

  void closingWithUnsavedChangesAsksFirst() {
    MainWindow& window = open();
    std::vector<QString> asked;
    int answers = 0;
    window.setSaveQuestion([&](const QString& name) -> std::optional<bool> {
      asked.push_back(name);
      // First Cancel (the window stays and the command line goes on), then Discard.
      return answers++ == 0 ? std::nullopt : std::optional<bool>(false);
    });
    bool stillRunning = false;
    User user(window, {type("tally"), click(12, 102), click(0, 0), click(30, 0), click(0, 0, Qt::RightButton),
                       [&] { window.close(); }, [&] { stillRunning = window.input().atCommandPrompt(); },
                       [&] { window.close(); }});
    window.run();
    QCOMPARE(static_cast<int>(asked.size()), 2);
    QVERIFY(asked[0].endsWith("sample.dxf"));
    QVERIFY(stillRunning);
  }

  void chineseTextsUnderZhCn() {
    MainWindow& window = open("zh-CN");
    QString prompt;
    User user(window,
              {type("tally"), [&] { prompt = QString::fromStdString(window.input().prompt()); }, key(Qt::Key_Escape)});
    window.run();
    QVERIFY2(prompt.contains(QString::fromUtf8("选择需要递增的数字/字母")), qPrintable(prompt));
    const QString transcript = window.commandLine().transcriptText();
    QVERIFY(transcript.contains(QString::fromUtf8("命令: tally")));
    QVERIFY(transcript.contains(QString::fromUtf8("*取消*")));
    QCOMPARE(window.menuBar()->actions().first()->text(), QString::fromUtf8("文件(&F)"));
  }

  // A pan draws only the strips that came into view and a zoom first shows the picture scaled, yet
  // once sharp the canvas shows what drawing the whole view afresh shows.
  void panAndZoomEndWhereAFreshPaintDoes() {
    MainWindow& window = open("en-US", QString(SAMPLE_DRAWING).replace("sample.dxf", "floorplan.dxf"));
    Canvas& canvas = window.canvas();
    auto shown = [&] {
      QImage frame;
      canvas.renderFrame(frame);
      while (!canvas.sharpen()) {
      }
      canvas.renderFrame(frame);
      return frame;
    };
    auto fresh = [&] {
      canvas.refreshDrawing(window.database(), true);
      return shown();
    };
    // Pixels that differ by more than the shading of an edge drawn from another origin.
    auto differing = [](const QImage& a, const QImage& b) {
      int count = 0;
      for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
          const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
          count += std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q))}) > 24;
        }
      }
      return count;
    };
    ViewTransform view = canvas.view();
    view.zoomAt(view.width * 0.5, view.height * 0.5, 3);
    canvas.setView(view);
    shown();
    view.panBy(-41, 29);
    canvas.setView(view);
    const QImage panned = shown();
    QCOMPARE(differing(panned, fresh()), 0);
    view.zoomAt(view.width * 0.6, view.height * 0.4, 1.25);
    canvas.setView(view);
    const QImage zoomed = shown();
    int ink = 0;
    for (int y = 0; y < zoomed.height(); ++y)
      for (int x = 0; x < zoomed.width(); ++x) ink += (zoomed.pixel(x, y) & 0xFFFFFF) != kBackgroundRgb;
    QVERIFY(ink > 1000);
    QCOMPARE(differing(zoomed, fresh()), 0);

    // What a command adds is drawn over the kept picture; what undo takes away is drawn afresh.
    ZcDbDatabase& db = window.database();
    zrxhost::UndoHistory& history = zrxhost::undoHistory(db);
    history.beginGroup("LINE");
    ZcDbBlockTableRecord* space = nullptr;
    QCOMPARE(zcdbOpenObject(space, db.currentSpaceId(), ZcDb::kForWrite), Zcad::eOk);
    auto* line = new ZcDbLine(ZcGePoint3d(view.drawingX(20), view.drawingY(20), 0),
                              ZcGePoint3d(view.drawingX(view.width - 20), view.drawingY(view.height - 20), 0));
    ZcDbObjectId id;
    QCOMPARE(space->appendZcDbEntity(id, line), Zcad::eOk);
    line->close();
    space->close();
    history.endGroup();
    canvas.refreshDrawing(db);
    const QImage added = shown();
    QVERIFY(differing(added, zoomed) > 100);
    QCOMPARE(differing(added, fresh()), 0);
    history.undo(1);
    canvas.refreshDrawing(db);
    QCOMPARE(differing(shown(), zoomed), 0);
  }

  // The idle pass draws in steps, a few hundred entities a step at the least. An entity added between
  // two steps is drawn too (the pass starts afresh on the changed index), and the picture the steps
  // end with is the one a paint in one go gives.
  void aPaintInStepsEndsAsOnePaintDoes() {
    MainWindow& window = open("en-US", QString(SAMPLE_DRAWING).replace("sample.dxf", "floorplan.dxf"));
    ZcDbDatabase& db = window.database();
    const ViewTransform view = window.canvas().view();
    auto addLines = [&](int count) {
      zrxhost::UndoHistory& history = zrxhost::undoHistory(db);
      history.beginGroup("LINE");
      ZcDbBlockTableRecord* space = nullptr;
      QCOMPARE(zcdbOpenObject(space, db.currentSpaceId(), ZcDb::kForWrite), Zcad::eOk);
      for (int i = 0; i < count; ++i) {
        auto* line = new ZcDbLine(ZcGePoint3d(view.drawingX(10 + i % 300), view.drawingY(10 + i / 3), 0),
                                  ZcGePoint3d(view.drawingX(40 + i % 300), view.drawingY(30 + i / 3), 0));
        ZcDbObjectId id;
        QCOMPARE(space->appendZcDbEntity(id, line), Zcad::eOk);
        line->close();
      }
      space->close();
      history.endGroup();
    };
    addLines(600);
    DrawingPaths& paths = window.canvas().drawing();
    auto inOneGo = [&] {
      QImage image(view.width, view.height, QImage::Format_RGB32);
      image.fill(QColor::fromRgb(kBackgroundRgb));
      paths.paint(image, view, image.rect(), std::numeric_limits<double>::infinity());
      return image;
    };
    const QImage before = inOneGo();  // everything in view built: a step need only draw
    QImage stepped(view.width, view.height, QImage::Format_RGB32);
    paths.startSteps(view, kBackgroundRgb);
    bool complete = false;
    QVERIFY(!paths.paintStep(stepped, 0, complete));
    addLines(1);
    int steps = 1;
    while (!paths.paintStep(stepped, 0, complete)) ++steps;
    QVERIFY(steps > 2);
    QVERIFY(complete);
    const QImage after = inOneGo();
    QVERIFY(after != before);
    QCOMPARE(stepped, after);
  }

  // The view follows real input events: the wheel zooms about the cursor, a middle-button drag and a
  // left drag with Space held move the drawing with the cursor, and letting Space go after such a
  // pan is not an Enter.
  void wheelZoomsAtTheCursorAndDragsPan() {
    MainWindow& window = open();
    Canvas& canvas = window.canvas();
    auto under = [&](QPoint at) { return QPointF(canvas.view().drawingX(at.x()), canvas.view().drawingY(at.y())); };
    auto near = [](QPointF a, QPointF b, double tolerance) {
      return std::fabs(a.x() - b.x()) <= tolerance && std::fabs(a.y() - b.y()) <= tolerance;
    };
    QString transcriptBefore, transcriptAfter;
    bool wheelKeptPoint = false, middlePanned = false, spacePanned = false;
    double scaleBefore = 0, scaleAfter = 0;
    User user(window, {[&] {
                         const QPoint at(300, 200);
                         const QPointF before = under(at);
                         scaleBefore = canvas.view().scale;
                         QWheelEvent wheel(QPointF(at), canvas.mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 240),
                                           Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                         QApplication::sendEvent(&canvas, &wheel);
                         scaleAfter = canvas.view().scale;
                         wheelKeptPoint = near(under(at), before, canvas.view().pixelSize());
                       },
                       [&] {
                         const QPoint from(400, 300), to(460, 250);
                         const QPointF grabbed = under(from);
                         QTest::mousePress(&canvas, Qt::MiddleButton, Qt::NoModifier, from);
                         QMouseEvent move(QEvent::MouseMove, QPointF(to), canvas.mapToGlobal(QPointF(to)), Qt::NoButton,
                                          Qt::MiddleButton, Qt::NoModifier);
                         QApplication::sendEvent(&canvas, &move);
                         QTest::mouseRelease(&canvas, Qt::MiddleButton, Qt::NoModifier, to);
                         middlePanned = near(under(to), grabbed, canvas.view().pixelSize());
                       },
                       [&] {
                         transcriptBefore = window.commandLine().transcriptText();
                         const QPoint from(200, 200), to(150, 260);
                         const QPointF grabbed = under(from);
                         QTest::keyPress(&window.commandLine().edit(), Qt::Key_Space);
                         QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, from);
                         QMouseEvent move(QEvent::MouseMove, QPointF(to), canvas.mapToGlobal(QPointF(to)), Qt::NoButton,
                                          Qt::LeftButton, Qt::NoModifier);
                         QApplication::sendEvent(&canvas, &move);
                         QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, to);
                         QTest::keyRelease(&window.commandLine().edit(), Qt::Key_Space);
                         spacePanned = near(under(to), grabbed, canvas.view().pixelSize());
                       },
                       [&] { transcriptAfter = window.commandLine().transcriptText(); }});
    window.run();
    QCOMPARE(scaleAfter / scaleBefore, 1.25 * 1.25);  // two notches
    QVERIFY(wheelKeptPoint);
    QVERIFY(middlePanned);
    QVERIFY(spacePanned);
    // The pan's Space gave no answer: no click and no empty line reached the command line.
    QCOMPARE(transcriptAfter, transcriptBefore);
    DxfError error;
    QCOMPARE(countTexts(window.database()), countTexts(*readDxf(SAMPLE_DRAWING, error)));
  }

  // File > Open reads the drawing the (stand-in) file dialog names; File > Save As writes the drawing
  // where it names, and the window then calls the drawing by that name.
  void openAndSaveAsThroughTheMenus() {
    MainWindow& window = open();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString other = folder.filePath("other plan.dxf"), saved = folder.filePath("saved copy.dxf");
    QVERIFY(QFile::copy(SAMPLE_DRAWING, other));
    window.setOpenFileQuestion([&] { return other; });
    window.setSaveFileQuestion([&] { return saved; });
    auto menuAction = [&](int index) { return window.menuBar()->actions().first()->menu()->actions().at(index); };
    QString titleAfterOpen, titleAfterSave;
    int textsAfterOpen = -1;
    const ZcDbDatabase* first = &window.database();
    bool newDatabase = false;
    User user(window, {[&] { menuAction(0)->trigger(); },  // Open
                       [&] {
                         titleAfterOpen = window.windowTitle();
                         textsAfterOpen = countTexts(window.database());
                         newDatabase = &window.database() != first;
                       },
                       type("tally"), click(12, 102), click(0, 0), click(30, 0), click(0, 0, Qt::RightButton),
                       [&] { menuAction(2)->trigger(); },  // Save As
                       [&] { titleAfterSave = window.windowTitle(); }});
    window.run();
    QVERIFY(newDatabase);
    QVERIFY2(titleAfterOpen.contains("other plan.dxf"), qPrintable(titleAfterOpen));
    QVERIFY(window.commandLine().transcriptText().contains("Opened " + other));
    QVERIFY(textsAfterOpen > 0);
    QVERIFY2(titleAfterSave.contains("saved copy.dxf") && !titleAfterSave.contains('*'), qPrintable(titleAfterSave));
    DxfError error;
    std::unique_ptr<ZcDbDatabase> written = readDxf(saved.toStdString(), error);
    QVERIFY2(written, error.message.c_str());
    // The copy the free placement wrote is in the saved file, and the opened one is left as it was.
    QCOMPARE(countTexts(*written), textsAfterOpen + 1);
    std::unique_ptr<ZcDbDatabase> untouched = readDxf(other.toStdString(), error);
    QVERIFY(untouched);
    QCOMPARE(countTexts(*untouched), textsAfterOpen);
  }

  void spaceAcceptsAndHistoryRecallsAndEnterRepeats() {
    MainWindow& window = open();
    QString recalled;
    User user(window, {[&] {
                         QTest::keyClicks(&window.commandLine().edit(), "zoom");
                         QTest::keyClick(&window.commandLine().edit(), Qt::Key_Space);
                       },
                       key(Qt::Key_Return), key(Qt::Key_Return), key(Qt::Key_Return),
                       [&] {
                         QTest::keyClick(&window.commandLine().edit(), Qt::Key_Up);
                         recalled = window.commandLine().edit().text();
                         window.commandLine().edit().clear();
                       }});
    window.run();
    QCOMPARE(recalled, QString("zoom"));
    const QString transcript = window.commandLine().transcriptText();
    // Space gave the command; Enter took the default; Enter at Command: ran ZOOM again.
    QCOMPARE(transcript.count("Command: zoom"), 2);
  }

  void theStatusBarShowsWhereTheViewIsBeforeTheMouseMoves() {
    MainWindow& window = open();
    const QStringList xy = window.statusBar()->findChild<QLabel*>()->text().split(", ");
    QCOMPARE(xy.size(), 2);
    QVERIFY(std::fabs(xy[0].toDouble() - window.canvas().view().centerX) < 1e-4);
    QVERIFY(std::fabs(xy[1].toDouble() - window.canvas().view().centerY) < 1e-4);
  }

  void f1ListsTheCommands() {
    MainWindow& window = open();
    User user(window, {key(Qt::Key_F1)});
    window.run();
    const QString transcript = window.commandLine().transcriptText();
    QVERIFY2(transcript.contains("Command: HELP") &&
                 transcript.contains(QString::fromStdString(hostMessage(HostMessage::kHelpHeading))),
             qPrintable(transcript));
  }

  // F8 and the status bar's switch turn ortho over and echo it; the switch shows what the ORTHO
  // command sets too; F7 shows the grid. The window starts with endpoint, centre, intersection and
  // insertion snaps.
  void theDraftingAidsSwitchWithKeysButtonsAndCommands() {
    MainWindow& window = open("zh-CN");
    QCOMPARE(Session::instance().sysVar("OSMODE"), std::optional<std::string>("101"));
    auto* ortho = window.statusBar()->findChild<QToolButton*>("ORTHO");
    QVERIFY(ortho != nullptr);
    QCOMPARE(ortho->text(), QString("正交"));
    bool afterKey = false, afterClick = true;
    // F7 shows the grid: its dots appear in the frame.
    auto gridDots = [&] {
      QImage frame;
      window.canvas().renderFrame(frame);
      int dots = 0;
      for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) dots += (frame.pixel(x, y) & 0xFFFFFF) == Canvas::kGridRgb;
      return dots;
    };
    int dotsBefore = -1, dotsAfter = -1;
    User user(window, {key(Qt::Key_F8), [&] { afterKey = ortho->isChecked(); }, [&] { ortho->click(); },
                       [&] { afterClick = ortho->isChecked(); }, type("ORTHO ON"), [&] { dotsBefore = gridDots(); },
                       key(Qt::Key_F7), [&] { dotsAfter = gridDots(); }});
    window.run();
    QCOMPARE(dotsBefore, 0);
    QVERIFY2(dotsAfter > 100, qPrintable(QString::number(dotsAfter)));
    QVERIFY(afterKey);
    QVERIFY(!afterClick);
    QVERIFY(ortho->isChecked());
    const QString transcript = window.commandLine().transcriptText();
    QVERIFY2(transcript.contains("<正交 开>") && transcript.contains("<正交 关>"), qPrintable(transcript));
  }

  // At the pick prompt the entity under the pick box is highlighted; in the drag the cursor near a
  // corner of the frame lands on it (endpoint, from the window's OSMODE 101), and the status bar
  // gives the distance and angle from the base point.
  void theHighlightTheSnapAndTheMeasureFollowTheCursor() {
    MainWindow& window = open();
    bool overText = false, overNothing = false;
    int snap = -1;
    ZcGePoint3d landed, base;
    QString measure;
    auto atCorner = [&] {
      const DragLog* drag = Session::instance().activeDrag();
      snap = drag ? drag->snapBit : -1;
      landed = drag ? drag->point : ZcGePoint3d();
      base = drag ? drag->base : ZcGePoint3d();
      for (QLabel* label : window.statusBar()->findChildren<QLabel*>())
        if (label->text().contains("Distance")) measure = label->text();
    };
    User user(window, {type("tally"), move(12, 102), [&] { overText = !window.canvas().highlighted().isNull(); },
                       move(60, 60), [&] { overNothing = window.canvas().highlighted().isNull(); }, click(12, 102),
                       click(0, 0), move(189, 114), atCorner, key(Qt::Key_Escape)});
    window.run();
    QVERIFY(overText);
    QVERIFY(overNothing);
    QCOMPARE(snap, 1);
    QCOMPARE(landed, ZcGePoint3d(190, 115, 0));
    // From the base point (clicked at 0,0, to a pixel) to 190,115.
    const double dx = 190 - base.x, dy = 115 - base.y;
    const QString expected = QString("Distance %1, angle %2°")
                                 .arg(QString::asprintf("%.4f", std::hypot(dx, dy)))
                                 .arg(QString::asprintf("%.2f", std::atan2(dy, dx) * 180 / M_PI));
    QCOMPARE(measure, expected);
  }

  // Keys typed anywhere in the window reach the command line: after a menu was opened and closed
  // with Esc, after a click in the drawing, after a dialog.
  void typingGoesToTheCommandLineAfterMenusClicksAndDialogs() {
    MainWindow& window = open();
    window.setOpenFileQuestion([&] {
      QDialog dialog(&window);
      QTimer::singleShot(0, &dialog, &QDialog::reject);
      dialog.exec();
      return QString();
    });
    bool menuShown = false;
    QStringList prompts;
    auto prompt = [&] { prompts << QString::fromStdString(window.input().prompt()).trimmed(); };
    User user(window, {[&] {
                         QMenuBar* bar = window.menuBar();
                         QAction* view = bar->actions().at(2);
                         QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(view).center());
                         menuShown = view->menu()->isVisible();
                         QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
                       },
                       typeAtKeyboard("tally"), prompt, click(12, 102), typeAtKeyboard("0,0"), prompt,
                       key(Qt::Key_Escape), [&] { fileMenuAction(WindowText::kOpen)->trigger(); },
                       typeAtKeyboard("zoom"), prompt, key(Qt::Key_Escape)});
    window.run();
    QVERIFY(menuShown);
    QCOMPARE(prompts.size(), 3);
    QVERIFY2(prompts[0].contains("Specify number"), qPrintable(prompts[0]));
    QVERIFY2(prompts[1].contains("second point"), qPrintable(prompts[1]));
    QVERIFY2(prompts[2].contains("Extents"), qPrintable(prompts[2]));
  }

  // A name given without an extension is saved with ".dxf", so that the Open dialog, which lists
  // drawings by it, shows the file: by Save As, and by the save asked for when a new drawing closes.
  void aNameWithoutExtensionIsSavedAsDxf() {
    QTemporaryDir folder;
    {
      MainWindow& window = open("en-US", SAMPLE_DRAWING, true);
      window.setSaveFileQuestion([&] { return folder.filePath("fp_copy"); });
      std::vector<std::function<void()>> steps = copyOfA01();
      steps.push_back(key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier));
      User user(window, steps);
      window.run();
      QVERIFY2(window.windowTitle().startsWith("fp_copy.dxf"), qPrintable(window.windowTitle()));
    }
    MainWindow& window = open("en-US", SAMPLE_DRAWING, true);
    window.setSaveFileQuestion([&] { return folder.filePath("on_close"); });
    window.setSaveQuestion([](const QString&) { return std::optional<bool>(true); });
    User user(window, copyOfA01());
    window.run();
    QVERIFY(QFileInfo::exists(folder.filePath("fp_copy.dxf")) && QFileInfo::exists(folder.filePath("on_close.dxf")));
    QVERIFY(!QFileInfo::exists(folder.filePath("fp_copy")) && !QFileInfo::exists(folder.filePath("on_close")));
  }

  // File > Export PDF writes the view on screen with its texts searchable (".pdf" added to a bare
  // name); File > Print prints it on a sheet turned to the window's shape, colour 7 in black.
  void exportPdfAndPrintGiveTheViewOnPaper() {
    QTemporaryDir folder;
    MainWindow& window = open();
    window.setPdfFileQuestion([&] { return folder.filePath("view"); });
    window.setPrinterQuestion([&](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(folder.filePath("printed.pdf"));
      return true;
    });
    std::vector<std::function<void()>> steps = copyOfA01();
    steps.push_back([&] { fileMenuAction(WindowText::kExportPdf)->trigger(); });
    steps.push_back([&] { fileMenuAction(WindowText::kPrint)->trigger(); });
    User user(window, steps);
    window.run();
    auto output = [](const QString& program, const QStringList& arguments) {
      QProcess process;
      process.start(program, arguments);
      process.waitForFinished();
      return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QStringList words = output("pdftotext", {folder.filePath("view.pdf"), "-"}).split(QRegularExpression("\\s+"));
    QVERIFY2(words.contains("A-01") && words.contains("A-02"), qPrintable(words.join(' ')));
    QVERIFY(window.commandLine().transcriptText().contains("Wrote " + folder.filePath("view.pdf")));
    output("pdftoppm", {"-r", "40", "-png", "-singlefile", folder.filePath("printed.pdf"), folder.filePath("printed")});
    const QImage page(folder.filePath("printed.png"));
    QVERIFY2(page.width() > page.height(), "a wide window prints on a landscape sheet");
    int black = 0;
    for (int y = 0; y < page.height(); ++y) {
      for (int x = 0; x < page.width(); ++x) {
        const QRgb rgb = page.pixel(x, y);
        black += std::max({qRed(rgb), qGreen(rgb), qBlue(rgb)}) < 128;
      }
    }
    QVERIFY2(black > 100, "the drawing's white lines and texts print black");
    QCOMPARE(page.pixel(1, 1), qRgb(255, 255, 255));
  }

  // Under zh-CN the buttons and dialogs Qt makes itself speak Chinese too.
  void qtsOwnButtonsSpeakChineseUnderZhCn() {
    MainWindow& window = open("zh-CN");
    window.setSaveQuestion({});  // the real question
    QString saveText;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      poll.stop();
      saveText = box->button(QMessageBox::Save)->text();
      box->button(QMessageBox::Discard)->click();
    });
    poll.start(10);
    User user(window, copyOfA01());  // then the window is closed
    window.run();
    QVERIFY2(saveText.contains(QString::fromUtf8("保存")), qPrintable(saveText));
  }

  // Every way out of the window, in both languages: with unsaved changes, Discard (No at the command
  // line) ends the session without a second question and leaves the file as it was.
  void discardingOnTheWayOutAsksOnceAndLeavesTheFile() {
    QTemporaryDir folder;
    const QString path = folder.filePath("plan.dxf");
    QVERIFY(QFile::copy(SAMPLE_DRAWING, path));
    auto contents = [&] {
      QFile file(path);
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = contents();
    for (const char* verlan : {"en-US", "zh-CN"}) {
      for (const QString way : {"close button", "File > Exit", "QUIT"}) {
        MainWindow& window = open(verlan, path);
        int questions = 0;
        window.setSaveQuestion([&](const QString&) {
          ++questions;
          return std::optional<bool>(false);
        });
        std::vector<std::function<void()>> steps = copyOfA01();
        if (way == "close button") steps.push_back([&] { window.close(); });
        if (way == "File > Exit") steps.push_back([&] { fileMenuAction(WindowText::kExit)->trigger(); });
        if (way == "QUIT") steps.insert(steps.end(), {type("QUIT"), type("N")});
        User user(window, steps);
        window.run();
        const std::string asked = hostMessage(HostMessage::kSaveChangesPrompt, path.toStdString());
        questions += window.commandLine().transcriptText().count(QString::fromStdString(asked).trimmed());
        const QString where = QString("%1, %2").arg(verlan, way);
        QVERIFY2(questions == 1, qPrintable(where + QString(": %1 questions").arg(questions)));
        QVERIFY2(contents() == before, qPrintable(where));
      }
    }
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
