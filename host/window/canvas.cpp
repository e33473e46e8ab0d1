// The canvas: view changes, the cached picture of the drawing, the frame of a drag, mouse answers.
#include "window/canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "ed/drafting.h"
#include "ed/parse.h"
#include "ed/picking.h"
#include "window/window_input.h"
#include "zrx/db.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/foreign_geometry.h"
#include "zrxhost/messages.h"
#include "zrxhost/render.h"
#include "zrxhost/session.h"
#include "zrxhost/undo.h"

namespace zrxhost::window {
namespace {

// A coordinate to the precision a pixel gives it, so that a clicked point reads as a person would
// type it ("12.05", not "12.047772410091255").
std::string pixelPrecise(double value, double pixelSize) {
  const int digits = std::clamp(static_cast<int>(std::ceil(-std::log10(pixelSize))) + 1, 0, 12);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  std::string result = text;
  if (result.find('.') != std::string::npos) {
    result.erase(result.find_last_not_of('0') + 1);
    if (result.back() == '.') result.pop_back();
  }
  if (result == "-0") result = "0";
  return result;
}

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

Canvas::Canvas(WindowInput& input, QWidget* parent) : QWidget(parent), mInput(input) {
  setMouseTracking(true);
  // The command line keeps the keyboard; the canvas answers with the mouse.
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::BlankCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 150);
  // What a frame left unbuilt or showed scaled is drawn afresh in the moments after it, while
  // nothing else is asked of the window.
  mSharpen.setSingleShot(true);
  mSharpen.setInterval(0);
  connect(&mSharpen, &QTimer::timeout, this, [this] {
    if (!sharpen()) mSharpen.start();
  });
}

void Canvas::refreshDrawing(ZcDbDatabase& db, bool force) {
  const std::uint64_t state = zrxhost::undoHistory(db).editCount();
  if (!force && mDb == &db && state == mDrawnState) return;
  const bool newDrawing = mDb != &db;
  const auto start = std::chrono::steady_clock::now();
  if (newDrawing || force) {
    std::string error;
    if (!mDrawing.rebuild(db, error)) return;
  } else {
    mDrawing.refresh(db);
  }
  const double refreshMs = msSince(start);
  mDb = &db;
  mDrawnState = state;
  mPass.active = false;
  // What a command only added lies over everything drawn before it: the next frame draws it over the
  // kept picture instead of drawing the whole view again.
  std::uint32_t from = 0;
  if (mDrawingImageValid && !newDrawing && !force && mDrawing.onlyAddedSincePaint(from)) {
    mAddedFrom = from;
    mHasAdded = true;
    // The index's update is part of the frame that shows the edit, so it counts in the frame's
    // budget; what the rest leaves undrawn, the idle moments after draw.
    mAddedBudgetMs = std::max(kFrameBudgetMs - refreshMs, kFrameBudgetMs / 4);
  } else {
    mDrawingImageValid = false;
  }
  if (newDrawing || !mHasExtents) zoomExtents();
  update();
}

void Canvas::zoomExtents() {
  mFollowExtents = true;
  const render::Bounds& b = mDrawing.extents();
  mHasExtents = b.valid;
  if (b.valid) {
    mView.fit(b.minX, b.minY, b.maxX, b.maxY);
  } else {
    mView.fit(-10, -10, 10, 10);
  }
  viewMoved();
}

void Canvas::setView(const ViewTransform& view) {
  mFollowExtents = false;
  mView = view;
  mView.width = std::max(1, width());
  mView.height = std::max(1, height());
  viewMoved();
}

void Canvas::viewMoved() {
  Session::instance().setPixelSize(mView.pixelSize());
  emit viewChanged();
  update();
}

void Canvas::paintDrawing() {
  const QSize size(mView.width, mView.height);
  const bool sameSize = mDrawingImage.size() == size;
  const ViewTransform& was = mDrawnView;
  const bool sameView = mDrawingImageValid && sameSize && was.scale == mView.scale && was.centerX == mView.centerX &&
                        was.centerY == mView.centerY;
  if (std::exchange(mHasAdded, false)) {
    mPass.active = false;
    if (sameView) {
      mDrawingComplete = mDrawing.paintAdded(mDrawingImage, mView, mAddedFrom, mAddedBudgetMs) && mDrawingComplete;
      if (!mDrawingComplete) mSharpen.start();
      return;
    }
    mDrawingImageValid = false;
  }
  if (sameView) return;
  mPass.active = false;
  const double dx = (was.centerX - mView.centerX) * mView.scale, dy = (mView.centerY - was.centerY) * mView.scale;
  const bool panned = mDrawingImageValid && sameSize && was.scale == mView.scale &&
                      std::fabs(dx - std::round(dx)) < 1e-3 && std::fabs(dy - std::round(dy)) < 1e-3 &&
                      std::fabs(dx) < size.width() && std::fabs(dy) < size.height();
  const bool zoomed = mDrawingImageValid && sameSize && was.scale != mView.scale;
  // The picture before keeps its memory for the next frame's: fresh memory for a whole image each
  // frame costs more than painting it.
  QImage image = std::move(mSpareImage);
  if (image.size() != size) image = QImage(size, QImage::Format_RGB32);
  image.fill(QColor::fromRgb(kBackgroundRgb));
  if (panned) {
    // A pan moves what is kept and draws only the strips that came into view.
    const int sx = static_cast<int>(std::lround(dx)), sy = static_cast<int>(std::lround(dy));
    {
      QPainter shift(&image);
      shift.drawImage(sx, sy, mDrawingImage);
    }
    bool complete = mDrawingComplete;
    // The rows across the top or bottom, and the columns beside them (not over them again: ink
    // drawn twice would shade its edges twice).
    const QRect rows = sy > 0 ? QRect(0, 0, size.width(), sy) : QRect(0, size.height() + sy, size.width(), -sy);
    const int top = std::max(sy, 0), bottom = size.height() + std::min(sy, 0);
    const QRect columns = sx > 0 ? QRect(0, top, sx, bottom - top) : QRect(size.width() + sx, top, -sx, bottom - top);
    // The two strips share the frame's budget.
    const auto start = std::chrono::steady_clock::now();
    if (sy != 0) complete = mDrawing.paint(image, mView, rows, kFrameBudgetMs) && complete;
    const double spentMs = msSince(start);
    if (sx != 0) complete = mDrawing.paint(image, mView, columns, std::max(kFrameBudgetMs - spentMs, 0.0)) && complete;
    mDrawingComplete = complete;
  } else if (zoomed) {
    // A zoom shows what was drawn, scaled, at once; the next frames draw it sharp.
    QPainter scaled(&image);
    const double k = mView.scale / was.scale;
    scaled.setTransform(QTransform(k, 0, 0, k, mView.screenX(was.drawingX(0)), mView.screenY(was.drawingY(0))));
    scaled.drawImage(0, 0, mDrawingImage);
    mDrawingComplete = false;
  } else {
    mDrawingComplete = mDrawing.paint(image, mView, QRect(QPoint(0, 0), size), kFrameBudgetMs);
  }
  mSpareImage = std::move(mDrawingImage);
  mDrawingImage = std::move(image);
  mDrawnView = mView;
  mDrawingImageValid = true;
  if (!mDrawingComplete) mSharpen.start();
}

bool Canvas::sharpen() {
  if (mDrawingComplete || !mDrawingImageValid) return true;
  const QSize size(mView.width, mView.height);
  if (!mPass.active || !(mPass.view == mView)) {
    // The image of the pass before is used again: fresh memory for it costs more than the fill.
    if (mPass.image.size() != size) mPass.image = QImage(size, QImage::Format_RGB32);
    mPass.view = mView;
    mPass.active = true;
    mDrawing.startSteps(mView, kBackgroundRgb);
  }
  bool complete = false;
  if (!mDrawing.paintStep(mPass.image, kSharpenSliceMs, complete)) return false;
  mPass.active = false;
  std::swap(mDrawingImage, mPass.image);
  mDrawnView = mPass.view;
  mDrawingComplete = complete;
  update();
  return mDrawingComplete;
}

void Canvas::renderFrame(QImage& image) {
  const QSize size(mView.width, mView.height);
  paintDrawing();
  // The drawing's picture is copied, not repainted: a frame costs what the drag changes.
  if (image.size() != size || image.format() != mDrawingImage.format()) image = QImage(size, mDrawingImage.format());
  std::memcpy(image.bits(), mDrawingImage.constBits(), static_cast<size_t>(mDrawingImage.sizeInBytes()));
  if (const DragLog* drag = Session::instance().activeDrag()) mPreview.paint(image, drag->lastFrame, mView);
  const Session::SelectionFeedback& selection = Session::instance().selectionFeedback();
  if (!selection.highlight.polylines().empty()) mPreview.paint(image, selection.highlight, mView);
  QPainter painter(&image);
  paintOverlay(painter);
}

void Canvas::paintEvent(QPaintEvent*) {
  renderFrame(mFrameImage);
  QPainter painter(this);
  painter.drawImage(0, 0, mFrameImage);
}

void Canvas::lookUnderCursor(double x, double y) {
  Session& session = Session::instance();
  session.setCursor(ZcGePoint3d(x, y, 0));
  mSnapBit = 0;
  mHighlight = ZcDbObjectId::kNull;
  if (session.request() == Session::Request::kEntity) {
    mHighlight = ed::pickAt(ZcGePoint3d(x, y, 0));
  } else if (session.request() == Session::Request::kPoint && !session.activeDrag()) {
    // A drag finds its snap as it samples the cursor; a plain point prompt is found here.
    const ed::AidedPoint aided = ed::aidCursor(ZcGePoint3d(x, y, 0), ed::lastPoint());
    mSnapBit = aided.snapBit;
    mSnapPoint = aided.point;
  }
}

void Canvas::lookAgain() {
  if (mCursor.x() < 0) {
    mSnapBit = 0;
    mHighlight = ZcDbObjectId::kNull;
    return;
  }
  lookUnderCursor(mView.drawingX(mCursor.x()), mView.drawingY(mCursor.y()));
}

// The conventional marker of the snap found (a square at an endpoint, a triangle at a midpoint, a
// circle at a centre...), with a tip naming the mode; during a drag, the rubber band from its base.
void Canvas::paintSnap(QPainter& painter) {
  int bit = mSnapBit;
  ZcGePoint3d at = mSnapPoint;
  if (const DragLog* drag = Session::instance().activeDrag(); drag && drag->samples > 0) {
    bit = drag->snapBit;
    at = drag->point;
    if (drag->hasBase) {
      painter.setPen(QPen(QColor(230, 230, 230), 1, Qt::DashLine));
      painter.drawLine(QPointF(mView.screenX(drag->base.x), mView.screenY(drag->base.y)),
                       QPointF(mView.screenX(at.x), mView.screenY(at.y)));
    }
  }
  if (bit == 0) return;
  const QPointF c(mView.screenX(at.x), mView.screenY(at.y));
  const double r = 6;
  painter.setPen(QPen(QColor(255, 200, 0), 2));
  painter.setBrush(Qt::NoBrush);
  const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
  switch (bit) {
    case 1:  // endpoint: a square
      painter.drawRect(box);
      break;
    case 2:  // midpoint: a triangle
      painter.drawPolygon(
          QPolygonF({QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() + r), QPointF(c.x(), c.y() - r)}));
      break;
    case 4:  // centre: a circle
      painter.drawEllipse(box);
      break;
    case 8:  // node: a circle crossed
      painter.drawEllipse(box);
      painter.drawLine(box.topLeft(), box.bottomRight());
      painter.drawLine(box.topRight(), box.bottomLeft());
      break;
    case 16:  // quadrant: a diamond
      painter.drawPolygon(QPolygonF({QPointF(c.x(), c.y() - r), QPointF(c.x() + r, c.y()), QPointF(c.x(), c.y() + r),
                                     QPointF(c.x() - r, c.y())}));
      break;
    case 32:  // intersection: a cross
      painter.drawLine(box.topLeft(), box.bottomRight());
      painter.drawLine(box.topRight(), box.bottomLeft());
      break;
    case 64:  // insertion: two squares stepped
      painter.drawRect(QRectF(c.x() - r, c.y() - r, r, r));
      painter.drawRect(QRectF(c.x(), c.y(), r, r));
      painter.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x(), c.y()));
      painter.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y()));
      break;
    case 128:  // perpendicular: a right angle
      painter.drawPolyline(
          QPolygonF({QPointF(c.x() - r, c.y() - r), QPointF(c.x() - r, c.y() + r), QPointF(c.x() + r, c.y() + r)}));
      painter.drawPolyline(QPolygonF({QPointF(c.x() - r, c.y()), QPointF(c.x(), c.y()), QPointF(c.x(), c.y() + r)}));
      break;
    default:  // nearest: an hourglass
      painter.drawPolygon(QPolygonF({box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}));
      break;
  }
  size_t count = 0;
  const ed::SnapMode* modes = ed::snapModes(count);
  for (size_t i = 0; i < count; ++i) {
    if (modes[i].bit != bit) continue;
    const QString tip = QString::fromUtf8(textInLanguage(modes[i].english, modes[i].chinese));
    const QRectF text = painter.fontMetrics().boundingRect(tip).adjusted(-3, -2, 3, 2);
    const QRectF tipBox = text.translated(c.x() + 2 * r - text.left(), c.y() + 2 * r - text.top());
    painter.setPen(QColor(20, 20, 20));
    painter.setBrush(QColor(255, 255, 210));
    painter.drawRect(tipBox);
    painter.drawText(tipBox, Qt::AlignCenter, tip);
  }
}

// The entity a click would pick, drawn over in the highlight colour.
void Canvas::paintHighlight(QPainter& painter) {
  if (mHighlight.isNull() || mHighlight.isErased()) return;
  const ZcDbEntity* entity = zrxhost::peek<ZcDbEntity>(mHighlight);
  if (!entity) return;
  std::vector<std::vector<ZcGePoint3d>> strokes;
  if (const ZcDbForeignEntity* foreign = ZcDbForeignEntity::cast(entity)) {
    foreignOutline(*foreign, strokes);
  } else {
    ZcGiDrawRecorder recorder;
    const_cast<ZcDbEntity*>(entity)->worldDraw(&recorder);  // drawing changes nothing of it
    for (const auto& polyline : recorder.polylines()) strokes.push_back(polyline.points);
    ZcDbExtents box;
    // A text draws no lines: its box stands for it.
    if (strokes.empty() && entity->getGeomExtents(box) == Zcad::eOk) {
      const ZcGePoint3d& a = box.minPoint();
      const ZcGePoint3d& b = box.maxPoint();
      strokes.push_back({a, {b.x, a.y, 0}, b, {a.x, b.y, 0}, a});
    }
  }
  painter.setPen(QPen(QColor(80, 160, 255), 3, Qt::DashLine));
  painter.setBrush(Qt::NoBrush);
  for (const auto& stroke : strokes) {
    QPolygonF line;
    for (const ZcGePoint3d& p : stroke) line << QPointF(mView.screenX(p.x), mView.screenY(p.y));
    painter.drawPolyline(line);
  }
}

// The crosshair across the canvas, with the pick box at its centre when an entity is asked for (the
// entity it would pick highlighted), the band of a window (solid) or a crossing (dashed) from its
// first corner to the cursor, and the snap the cursor takes at a point.
// The grid F7 shows (GRIDMODE): a dot at every GRIDUNIT, or at a multiple of it where those dots
// would lie closer than a few pixels, as CAD programs thin a grid out rather than fill the screen.
void Canvas::paintGrid(QPainter& painter) {
  Session& session = Session::instance();
  if (session.sysVar("GRIDMODE") != std::optional<std::string>("1")) return;
  double unit = 0;
  const std::optional<std::string> text = session.sysVar("GRIDUNIT");
  if (!text || !ed::parseReal(*text, unit) || !(unit > 0) || !(mView.scale > 0)) return;
  constexpr double kClosestPixels = 8;
  for (int doubled = 0; unit * mView.scale < kClosestPixels; ++doubled) {
    if (doubled == 64) return;
    unit *= 2;
  }
  const double left = std::ceil(mView.drawingX(0) / unit), right = std::floor(mView.drawingX(mView.width) / unit);
  const double bottom = std::ceil(mView.drawingY(mView.height) / unit), top = std::floor(mView.drawingY(0) / unit);
  painter.setPen(QPen(QColor::fromRgb(kGridRgb), 1));
  for (double i = left; i <= right; ++i)
    for (double j = bottom; j <= top; ++j) painter.drawPoint(QPointF(mView.screenX(i * unit), mView.screenY(j * unit)));
}

void Canvas::paintOverlay(QPainter& painter) {
  paintGrid(painter);
  paintHighlight(painter);
  paintSnap(painter);
  if (mCursor.x() < 0) return;
  const Session::SelectionFeedback& selection = Session::instance().selectionFeedback();
  if (selection.band != Session::Band::kNone) {
    const QPoint corner(static_cast<int>(std::lround(mView.screenX(selection.corner.x))),
                        static_cast<int>(std::lround(mView.screenY(selection.corner.y))));
    const bool crossing = selection.band == Session::Band::kCrossing ||
                          (selection.band == Session::Band::kByDirection && mCursor.x() < corner.x());
    painter.setPen(
        QPen(crossing ? QColor(120, 230, 120) : QColor(120, 160, 255), 1, crossing ? Qt::DashLine : Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(corner, mCursor).normalized());
  }
  painter.setPen(QPen(QColor(230, 230, 230), 1));
  painter.setRenderHint(QPainter::Antialiasing, false);
  const int x = mCursor.x(), y = mCursor.y();
  painter.drawLine(0, y, mView.width, y);
  painter.drawLine(x, 0, x, mView.height);
  if (Session::instance().request() == Session::Request::kEntity) {
    const int half = std::max(1, static_cast<int>(std::lround(Session::instance().pickAperture() * mView.scale)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(x - half, y - half, 2 * half, 2 * half);
  }
}

void Canvas::resizeEvent(QResizeEvent*) {
  mView.width = std::max(1, width());
  mView.height = std::max(1, height());
  // Until the user zooms or pans, the whole drawing stays in view; after that the centre and the
  // scale stay, as CAD windows keep the zoom on resize.
  if (mFollowExtents) {
    zoomExtents();
  } else {
    viewMoved();
  }
}

void Canvas::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && mSpaceHeld)) {
    mPanning = true;
    mPanFrom = at;
    return;
  }
  if (event->button() == Qt::LeftButton) {
    const double pixel = mView.pixelSize();
    mInput.submit("<click " + pixelPrecise(mView.drawingX(at.x()), pixel) + "," +
                  pixelPrecise(mView.drawingY(at.y()), pixel) + ">");
  } else if (event->button() == Qt::RightButton) {
    mInput.submit("");  // right click is Enter
  }
}

void Canvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton) mPanning = false;
}

void Canvas::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (mPanning) {
    mView.panBy(at.x() - mPanFrom.x(), at.y() - mPanFrom.y());
    mFollowExtents = false;
    mPanFrom = at;
    if (mSpaceHeld) mPannedWithSpace = true;
    viewMoved();
  }
  mCursor = at;
  const double x = mView.drawingX(at.x()), y = mView.drawingY(at.y());
  lookUnderCursor(x, y);
  emit cursorMoved(x, y);
  mInput.moveTo(x, y);
  update();
}

void Canvas::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    zoomExtents();
    return;
  }
  // The second click of a quick pair is a click of its own.
  mousePressEvent(event);
}

void Canvas::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  const QPointF at = event->position();
  mView.zoomAt(at.x(), at.y(), std::pow(1.25, steps));
  mFollowExtents = false;
  viewMoved();
}

void Canvas::leaveEvent(QEvent*) {
  mCursor = {-1, -1};
  update();
}

}  // namespace zrxhost::window
