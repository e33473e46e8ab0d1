// The drawing area of the window: the drawing, the drag preview, the crosshair and pick box, and the
// mouse's answers to the editor.
#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "window/drawing_painter.h"
#include "window/view_transform.h"
#include "zrx/db.h"

class ZcDbDatabase;

namespace zrxhost::window {

class WindowInput;

class Canvas : public QWidget {
  Q_OBJECT

 public:
  Canvas(WindowInput& input, QWidget* parent = nullptr);

  // Rebuilds the drawing's paths when the drawing changed since they were built (or `force`).
  void refreshDrawing(ZcDbDatabase& db, bool force = false);
  void zoomExtents();
  // The drawing as painted, for painting it elsewhere (a printer).
  DrawingPaths& drawing() { return mDrawing; }
  const ViewTransform& view() const { return mView; }
  void setView(const ViewTransform& view);
  // One frame into `image` of the canvas's size: the drawing (from its cached picture), the preview,
  // the cursor. What paintEvent shows, callable offscreen.
  void renderFrame(QImage& image);
  // Goes on drawing afresh, for about kSharpenSliceMs, what the last frames showed scaled or left
  // unbuilt; true when the drawing on screen is complete. The window calls it while idle, so a slice
  // is as long as the hand waits at most.
  bool sharpen();
  // A frame builds entities for this long at most; a sharpening slice works for this long.
  static constexpr double kFrameBudgetMs = 8;
  static constexpr double kSharpenSliceMs = 12;
  // Whether Space is held, turning a left drag into a pan.
  void setSpaceHeld(bool held) { mSpaceHeld = held; }
  bool pannedWhileSpaceHeld() const { return mPannedWithSpace; }
  void clearSpacePan() { mPannedWithSpace = false; }

 signals:
  void cursorMoved(double x, double y);
  void viewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;

 public:
  // What the cursor shows at the moment: the object snap it would take (an OSMODE bit, 0 for none)
  // and where, and the entity under the pick box at a pick (null for none).
  int snapShown() const { return mSnapBit; }
  ZcGePoint3d snapPoint() const { return mSnapPoint; }
  ZcDbObjectId highlighted() const { return mHighlight; }
  // The grid's dots: grey enough to see on the background, too dim to take for the drawing's ink.
  static constexpr std::uint32_t kGridRgb = 0x5A6472;
  // Looks again under the cursor where it rests (the request has changed).
  void lookAgain();

 private:
  void viewMoved();
  // Brings the drawing's picture to the current view: shifted by a pan, scaled by a zoom, drawn
  // afresh otherwise.
  void paintDrawing();
  void paintOverlay(QPainter& painter);
  // Finds the snap or the entity under the cursor for the request being answered.
  void lookUnderCursor(double x, double y);
  void paintSnap(QPainter& painter);
  void paintHighlight(QPainter& painter);
  void paintGrid(QPainter& painter);
  int mSnapBit = 0;
  ZcGePoint3d mSnapPoint;
  ZcDbObjectId mHighlight;

  WindowInput& mInput;
  DrawingPaths mDrawing;
  PreviewPainter mPreview;
  ViewTransform mView;
  // The drawing at the current view, painted once and reused for every frame of a drag.
  QImage mDrawingImage;
  QImage mFrameImage;
  QImage mSpareImage;  // the picture before the last, its memory kept for the next
  bool mDrawingImageValid = false;
  bool mDrawingComplete = false;
  // Entities added since the picture was drawn, from this serial of the index, to draw over it.
  bool mHasAdded = false;
  std::uint32_t mAddedFrom = 0;
  double mAddedBudgetMs = kFrameBudgetMs;
  ViewTransform mDrawnView;  // the view mDrawingImage shows
  // A sharpening pass under way: the view drawn afresh into an image of its own, a slice at a time,
  // shown once all is drawn. Whatever changes the picture first drops it.
  struct SharpenPass {
    QImage image;
    ViewTransform view;
    bool active = false;
  };
  SharpenPass mPass;
  QTimer mSharpen;
  ZcDbDatabase* mDb = nullptr;
  std::uint64_t mDrawnState = 0;
  bool mHasExtents = false;
  bool mFollowExtents = true;
  QPoint mCursor{-1, -1};
  QPoint mPanFrom;
  bool mPanning = false;
  bool mSpaceHeld = false;
  bool mPannedWithSpace = false;
};

}  // namespace zrxhost::window
