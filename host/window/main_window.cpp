// The main window: layout, menus and shortcuts as commands at the command line, keys typed anywhere
// sent to it, the frame per answer, the OPEN and ZOOM commands, and the question before unsaved
// changes are lost.
#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QToolButton>
#include <QTranslator>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "window/canvas.h"
#include "window/command_line.h"
#include "window/window_input.h"
#include "window/window_texts.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/database_internals.h"
#include "zrxhost/dxf.h"
#include "zrxhost/host_commands.h"
#include "zrxhost/messages.h"
#include "zrxhost/render.h"
#include "zrxhost/session.h"
#include "zrxhost/undo.h"

namespace zrxhost::window {
namespace {

MainWindow* gWindow = nullptr;

std::wstring wide(const QString& text) {
  return text.toStdWString();
}

void say(const QString& text) {
  Session::instance().print("\n" + text.toStdString());
}

QString coordinatesText(double x, double y) {
  return QString::asprintf("%.4f, %.4f", x, y);
}

// Whether a key press types a character (a letter, a digit, Space), not a command of its own.
bool typesText(const QKeyEvent& key) {
  return !key.text().isEmpty() && key.text().front().isPrint() &&
         !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

void applyWindowDefaults() {
  // A window's pick box counts screen pixels; three is what CAD programs start with.
  Session::instance().setSysVar("PICKBOX", "3");
  // Endpoint, centre, intersection and insertion snap from the start, as in CAD programs.
  Session::instance().setSysVar("OSMODE", "101");
}

MainWindow::MainWindow(std::unique_ptr<ZcDbDatabase> db, const std::string& path) : mDb(std::move(db)) {
  gWindow = this;
  initializeHost(mDb.get());
  // Qt's own dialogs and buttons (Save, Discard, the file dialogs) speak the window's language too.
  if (hostSpeaksChinese()) {
    mQtTexts = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (mQtTexts->load(QStringLiteral("qtbase_zh_CN"), folder)) {
      QCoreApplication::installTranslator(mQtTexts.get());
    } else {
      std::fprintf(stderr, "zrxcad: Qt's Chinese texts (qtbase_zh_CN.qm) are not in %s; its dialogs stay in English\n",
                   qPrintable(folder));
    }
  }
  Session& session = Session::instance();
  auto input = std::make_unique<WindowInput>();
  mInput = input.get();
  session.setInput(std::move(input));

  mCanvas = new Canvas(*mInput, this);
  setCentralWidget(mCanvas);
  mCommandLine = new CommandLine(*mInput, *mCanvas, this);
  session.setTranscript(&mCommandLine->transcript());
  auto* dock = new QDockWidget(windowText(WindowText::kCommandLine), this);
  dock->setObjectName("commandLine");
  dock->setWidget(mCommandLine);
  dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  addDockWidget(Qt::BottomDockWidgetArea, dock);
  mCoordinates = new QLabel(this);
  statusBar()->addPermanentWidget(mCoordinates);
  mMeasure = new QLabel(this);
  statusBar()->addPermanentWidget(mMeasure);
  connect(mCanvas, &Canvas::cursorMoved, this, [this](double x, double y) {
    mCoordinates->setText(coordinatesText(x, y));
    showMeasure();
  });
  connect(mInput, &WindowInput::waiting, this, [this] { refresh(); });
  buildMenus();
  buildAidButtons();

  mFile.db = mDb.get();
  mFile.saveTarget = path;
  app::registerDrawingCommands(mFile);
  registerWindowCommands();
  mCanvas->refreshDrawing(*mDb, true);
  showViewCentre();
  mCommandLine->edit().setFocus();
  qApp->installEventFilter(this);
  resize(1280, 860);
  updateTitle();
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  Session& session = Session::instance();
  mModules.sendUnload();
  session.setInput(nullptr);
  session.setTranscript(nullptr);
  session.setPixelSize(0);
  if (zcdbHostApplicationServices()->workingDatabase() == mDb.get())
    zcdbHostApplicationServices()->setWorkingDatabase(nullptr);
  if (zcDocManagerPtr()->curDocument()->database() == mDb.get()) zcDocManagerPtr()->curDocument()->setDatabase(nullptr);
  mDb.reset();
  mModules.close();
  if (gWindow == this) gWindow = nullptr;
}

bool MainWindow::loadModule(const std::string& path, std::string& error) {
  return mModules.load(path, error);
}

void MainWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(windowText(WindowText::kFileMenu));
  QAction* open = file->addAction(windowText(WindowText::kOpen));
  open->setShortcut(QKeySequence::Open);
  connect(open, &QAction::triggered, this, [this] {
    const QString path = mOpenFileQuestion
                             ? mOpenFileQuestion()
                             : QFileDialog::getOpenFileName(this, {}, {}, windowText(WindowText::kDrawingFilter));
    if (!path.isEmpty()) mInput->runCommand("OPEN " + path.toStdString());
  });
  QAction* save = file->addAction(windowText(WindowText::kSave));
  save->setShortcut(QKeySequence::Save);
  QAction* saveAs = file->addAction(windowText(WindowText::kSaveAs));
  saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  auto askSaveAs = [this] {
    const std::string path = askSavePath();
    if (!path.empty()) mInput->runCommand("SAVEAS " + path);
  };
  connect(save, &QAction::triggered, this, [this, askSaveAs] {
    // A new drawing has no file yet: Save is Save As.
    if (mFile.saveTarget.empty()) {
      askSaveAs();
    } else {
      mInput->runCommand("SAVE");
    }
  });
  connect(saveAs, &QAction::triggered, this, askSaveAs);
  file->addSeparator();
  QAction* exportPdf = file->addAction(windowText(WindowText::kExportPdf));
  connect(exportPdf, &QAction::triggered, this, &MainWindow::exportPdf);
  QAction* print = file->addAction(windowText(WindowText::kPrint));
  print->setShortcut(QKeySequence::Print);
  connect(print, &QAction::triggered, this, &MainWindow::print);
  file->addSeparator();
  QAction* exit = file->addAction(windowText(WindowText::kExit));
  exit->setShortcut(QKeySequence::Quit);
  connect(exit, &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(windowText(WindowText::kEditMenu));
  QAction* undo = edit->addAction(windowText(WindowText::kUndo));
  undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  connect(undo, &QAction::triggered, this, [this] { mInput->runCommand("U"); });
  QAction* redo = edit->addAction(windowText(WindowText::kRedo));
  redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
  connect(redo, &QAction::triggered, this, [this] { mInput->runCommand("REDO"); });

  QMenu* view = menuBar()->addMenu(windowText(WindowText::kViewMenu));
  QAction* extents = view->addAction(windowText(WindowText::kZoomExtents));
  connect(extents, &QAction::triggered, mCanvas, &Canvas::zoomExtents);

  QMenu* help = menuBar()->addMenu(windowText(WindowText::kHelpMenu));
  QAction* commands = help->addAction(windowText(WindowText::kHelpCommands));
  commands->setShortcut(QKeySequence(Qt::Key_F1));
  connect(commands, &QAction::triggered, this, [this] { mInput->runCommand("HELP"); });
}

std::string MainWindow::askSavePath() {
  const QString path = mSaveFileQuestion
                           ? mSaveFileQuestion()
                           : QFileDialog::getSaveFileName(this, {}, {}, windowText(WindowText::kDrawingFilter));
  return app::drawingFileName(path.toStdString());
}

void MainWindow::exportPdf() {
  QString path = mPdfFileQuestion ? mPdfFileQuestion()
                                  : QFileDialog::getSaveFileName(this, {}, {}, windowText(WindowText::kPdfFilter));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += ".pdf";
  const ViewTransform& view = mCanvas->view();
  RenderOptions options;
  options.hasView = true;
  options.view[0] = view.drawingX(0);
  options.view[1] = view.drawingY(view.height);
  options.view[2] = view.drawingX(view.width);
  options.view[3] = view.drawingY(0);
  std::string error;
  if (renderPdf(*mDb, path.toStdString(), error, options)) {
    say(windowText(WindowText::kExported, path));
  } else {
    reportProblem(
        windowText(WindowText::kExportFailedTitle),
        QString::fromStdString(textInLanguage("cannot write {}: {}", "无法写入 {}：{}", {path.toStdString(), error})));
  }
}

void MainWindow::print() {
  QPrinter printer(QPrinter::HighResolution);
  const ViewTransform& shown = mCanvas->view();
  printer.setPageOrientation(shown.width > shown.height ? QPageLayout::Landscape : QPageLayout::Portrait);
  if (mPrinterQuestion ? !mPrinterQuestion(printer) : QPrintDialog(&printer, this).exec() != QDialog::Accepted) return;
  QPainter painter;
  if (!painter.begin(&printer)) return;
  // The window on screen fitted to the printable part of the sheet; lines a 0.25 mm pen wide.
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  ViewTransform view;
  view.width = page.width();
  view.height = page.height();
  view.fit(shown.drawingX(0), shown.drawingY(shown.height), shown.drawingX(shown.width), shown.drawingY(0), 0);
  mCanvas->drawing().paint(painter, view, true, 0.25 / 25.4 * printer.resolution());
  painter.end();
  say(windowText(WindowText::kPrinted));
}

void MainWindow::showViewCentre() {
  mCoordinates->setText(coordinatesText(mCanvas->view().centerX, mCanvas->view().centerY));
}

void MainWindow::reportProblem(const QString& title, const QString& text) {
  say(text);
  mCommandLine->flush();
  QMessageBox::warning(this, title, text);
}

// A frame per answer asked for: the transcript, the drawing when it changed, the preview.
void MainWindow::buildAidButtons() {
  struct Button {
    DraftingAid aid;
    WindowText text;
    Qt::Key key;
  };
  // The keys of CAD programs: F3 object snaps, F8 ortho, F9 snap, F7 grid.
  const Button buttons[] = {{DraftingAid::kSnap, WindowText::kSnapButton, Qt::Key_F9},
                            {DraftingAid::kGrid, WindowText::kGridButton, Qt::Key_F7},
                            {DraftingAid::kOrtho, WindowText::kOrthoButton, Qt::Key_F8},
                            {DraftingAid::kOsnap, WindowText::kOsnapButton, Qt::Key_F3}};
  for (const Button& b : buttons) {
    auto* action = new QAction(windowText(b.text), this);
    action->setCheckable(true);
    action->setShortcut(QKeySequence(b.key));
    action->setShortcutContext(Qt::ApplicationShortcut);
    auto* button = new QToolButton(this);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setObjectName(QString::fromLatin1(b.text == WindowText::kSnapButton    ? "SNAP"
                                              : b.text == WindowText::kGridButton  ? "GRID"
                                              : b.text == WindowText::kOrthoButton ? "ORTHO"
                                                                                   : "OSNAP"));
    statusBar()->addPermanentWidget(button);
    addAction(action);
    const DraftingAid aid = b.aid;
    connect(action, &QAction::triggered, this, [this, aid] {
      toggleAid(aid);
      mCommandLine->flush();
      showAidStates();
      mCanvas->update();
    });
    mAidButtons.emplace_back(action, static_cast<int>(aid));
  }
  showAidStates();
}

// During a drag from a base point: the distance and the angle from it to where the cursor lands.
void MainWindow::showMeasure() {
  const DragLog* drag = Session::instance().activeDrag();
  if (!drag || !drag->hasBase || drag->samples == 0) {
    mMeasure->clear();
    return;
  }
  const double dx = drag->point.x - drag->base.x, dy = drag->point.y - drag->base.y;
  double degrees = std::atan2(dy, dx) * 180 / M_PI;
  if (degrees < 0) degrees += 360;
  mMeasure->setText(windowText(WindowText::kDistanceAngle, QString::asprintf("%.4f", std::hypot(dx, dy)))
                        .arg(QString::asprintf("%.2f", degrees)));
}

void MainWindow::showAidStates() {
  for (auto& [action, aid] : mAidButtons) action->setChecked(isAidOn(static_cast<DraftingAid>(aid)));
}

void MainWindow::refresh() {
  showAidStates();
  mCanvas->lookAgain();
  showMeasure();
  mCommandLine->flush();
  mCanvas->refreshDrawing(*mDb);
  updateTitle();
  // Painted now, not at the next idle moment: the user sees every update the jig makes.
  mCanvas->repaint();
  // ZRXCAD_TRACE=1: each wait for input on standard error, with the prompt and where the view puts
  // the drawing on the screen, so that a program driving the window's mouse knows where to click.
  static const bool trace = std::getenv("ZRXCAD_TRACE") != nullptr;
  if (trace) {
    const ViewTransform& view = mCanvas->view();
    const QPoint origin = mCanvas->mapToGlobal(QPoint(0, 0));
    QString prompt = QString::fromStdString(mInput->prompt()).trimmed();
    std::fprintf(stderr, "zrxcad-wait origin=%d,%d scale=%.17g center=%.17g,%.17g size=%d,%d prompt=%s\n", origin.x(),
                 origin.y(), view.scale, view.centerX, view.centerY, view.width, view.height,
                 prompt.toUtf8().constData());
    std::fflush(stderr);
  }
}

void MainWindow::updateTitle() {
  QString name = mFile.saveTarget.empty() ? windowText(WindowText::kUntitled)
                                          : QFileInfo(QString::fromStdString(mFile.saveTarget)).fileName();
  if (zrxhost::undoHistory(*mDb).modifiedSinceSave()) name += QLatin1Char('*');
  setWindowTitle(windowText(WindowText::kTitle, name));
}

void MainWindow::run() {
  Session& session = Session::instance();
  mRunning = true;
  do {
    session.runCommandLine();
  } while (!mayClose());
  mRunning = false;
  mCommandLine->flush();
}

bool MainWindow::mayClose() {
  Session& session = Session::instance();
  // QUIT asked its own question at the command line.
  if (!session.inputEnded()) return true;
  const auto askToSave = [this]() -> std::optional<bool> {
    const QString name =
        mFile.saveTarget.empty() ? windowText(WindowText::kUntitled) : QString::fromStdString(mFile.saveTarget);
    if (mSaveQuestion) return mSaveQuestion(name);
    const auto button = QMessageBox::question(this, windowText(WindowText::kSaveChangesTitle),
                                              windowText(WindowText::kSaveChangesQuestion, name),
                                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (button == QMessageBox::Save) return true;
    if (button == QMessageBox::Discard) return false;
    return std::nullopt;
  };
  if (app::keepsNoUnsavedWork(mFile, askToSave, [this] { return askSavePath(); })) return true;
  // Not saved: the window stays, and the command line goes on.
  session.resumeInput();
  return false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (mRunning) {
    // The command line decides: it ends the request being read, then asks about unsaved changes.
    event->ignore();
    mInput->requestClose();
    return;
  }
  event->accept();
}

// Keys typed anywhere in the window go to the command line, as in CAD programs: after a menu closed
// (Esc there leaves the keyboard with the menu bar, or with no widget at all), after a dialog, after
// a click in the drawing. The menu bar keeps the keys that walk it (arrows, Enter, Esc).
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  CommandEdit& edit = mCommandLine->edit();
  // A key the edit had first and left unhandled goes on to its parents as usual.
  if (mForwardingKey || !widget || widget->window() != this || QApplication::focusWidget() == &edit) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (qobject_cast<QMenuBar*>(widget) && !typesText(*key)) return false;
  mForwardingKey = true;
  edit.setFocus(Qt::OtherFocusReason);
  QApplication::sendEvent(&edit, key);
  mForwardingKey = false;
  key->accept();
  return true;
}

void MainWindow::openDrawing(const std::string& path) {
  DxfError error;
  std::unique_ptr<ZcDbDatabase> db = readDxf(path, error);
  if (!db) {
    say(windowText(WindowText::kOpenFailed, QString::fromStdString(error.message)));
    return;
  }
  zcdbHostApplicationServices()->setWorkingDatabase(db.get());
  zcDocManagerPtr()->curDocument()->setDatabase(db.get());
  mFile.db = db.get();
  mFile.saveTarget = path;
  mFile.saveAsTarget.reset();
  mDb = std::move(db);
  mCanvas->refreshDrawing(*mDb, true);
  showViewCentre();
  say(windowText(WindowText::kOpened, QString::fromStdString(path)));
}

void MainWindow::zoomCommand() {
  if (!gWindow) return;
  zcedInitGet(0, L"Extents");
  wchar_t keyword[32] = {};
  const std::wstring prompt = wide("\n" + windowText(WindowText::kZoomPrompt));
  const int status = zcedGetKword(prompt.c_str(), keyword, sizeof keyword / sizeof keyword[0]);
  if (status == RTNORM || status == RTNONE) gWindow->mCanvas->zoomExtents();
}

void MainWindow::openCommand() {
  if (!gWindow) return;
  wchar_t answer[4096] = {};
  const std::wstring prompt = wide("\n" + windowText(WindowText::kOpenPrompt));
  if (zcedGetString(1, prompt.c_str(), answer, sizeof answer / sizeof answer[0]) != RTNORM || !answer[0]) return;
  // Changes to the drawing now open are saved or dropped first, as the user answers.
  if (!app::mayEndSession(gWindow->mFile)) return;
  gWindow->openDrawing(QString::fromWCharArray(answer).toStdString());
  // The answer was about leaving that drawing: the one now open (or still open, when the read
  // failed) is asked about again.
  gWindow->mFile.changesDiscarded = false;
}

void MainWindow::registerWindowCommands() {
  addHostCommand(L"ZOOM", zoomCommand, "show the whole drawing", "显示整个图形");
  addHostCommand(L"Z", zoomCommand, "ZOOM", "ZOOM");
  addHostCommand(L"OPEN", openCommand, "open another drawing", "打开另一个图形");
}

}  // namespace zrxhost::window
