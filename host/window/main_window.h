// zrxcad's main window: the canvas, the docked command line, menus, the status bar, and a session of
// the editor run over them.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/drawing_commands.h"
#include "app/modules.h"

class QLabel;
class QPrinter;
class QTranslator;
class ZcDbDatabase;

namespace zrxhost::window {

class Canvas;
class CommandLine;
class WindowInput;

// Sets what a window needs unlike a script: PICKBOX counted in screen pixels (3).
void applyWindowDefaults();

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Takes the drawing (read from `path`, empty for a new one) and shows nothing yet.
  MainWindow(std::unique_ptr<ZcDbDatabase> db, const std::string& path);
  ~MainWindow() override;

  // Loads a module; false and `error` when it cannot be used.
  bool loadModule(const std::string& path, std::string& error);
  // Runs the command line until the window closes (or QUIT). Returns when the session ends.
  void run();

  // What the window asks when it closes with unsaved changes: save (true), discard (false), or
  // stay open (nullopt). A dialog by default; tests answer it themselves.
  using SaveQuestion = std::function<std::optional<bool>(const QString& drawingName)>;
  void setSaveQuestion(SaveQuestion question) { mSaveQuestion = std::move(question); }
  // Where Save As writes, and which drawing Open reads; file dialogs by default.
  using FileQuestion = std::function<QString()>;
  void setSaveFileQuestion(FileQuestion question) { mSaveFileQuestion = std::move(question); }
  void setOpenFileQuestion(FileQuestion question) { mOpenFileQuestion = std::move(question); }
  void setPdfFileQuestion(FileQuestion question) { mPdfFileQuestion = std::move(question); }
  // Sets up the printer for File > Print: true to print. The print dialog by default.
  using PrinterQuestion = std::function<bool(QPrinter&)>;
  void setPrinterQuestion(PrinterQuestion question) { mPrinterQuestion = std::move(question); }
  // Tells the user of a problem before the work goes on: on the command line and in a message box.
  void reportProblem(const QString& title, const QString& text);

  Canvas& canvas() { return *mCanvas; }
  CommandLine& commandLine() { return *mCommandLine; }
  WindowInput& input() { return *mInput; }
  ZcDbDatabase& database() { return *mDb; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildMenus();
  void refresh();
  void updateTitle();
  bool mayClose();
  // The file to save to, from the Save As question; empty when the user gave none.
  std::string askSavePath();
  // File > Export PDF and File > Print: the view on screen, on a sheet turned to its shape.
  void exportPdf();
  void print();
  void showViewCentre();
  void openDrawing(const std::string& path);
  void registerWindowCommands();
  static void zoomCommand();
  static void openCommand();

  std::unique_ptr<ZcDbDatabase> mDb;
  app::DrawingFile mFile;
  app::LoadedModules mModules;
  WindowInput* mInput = nullptr;  // owned by the session
  Canvas* mCanvas = nullptr;
  CommandLine* mCommandLine = nullptr;
  QLabel* mCoordinates = nullptr;
  // The status bar's switches of the drafting aids (OSNAP, ORTHO, SNAP, GRID), which follow their
  // system variables whoever changes them.
  std::vector<std::pair<QAction*, int>> mAidButtons;
  void buildAidButtons();
  void showAidStates();
  QLabel* mMeasure = nullptr;
  void showMeasure();
  bool mRunning = false;
  // A key missed by the command line is being handed to it (see eventFilter).
  bool mForwardingKey = false;
  // Qt's own texts (standard buttons, file dialogs) in the window's language.
  std::unique_ptr<QTranslator> mQtTexts;
  SaveQuestion mSaveQuestion;
  FileQuestion mSaveFileQuestion;
  FileQuestion mOpenFileQuestion;
  FileQuestion mPdfFileQuestion;
  PrinterQuestion mPrinterQuestion;
};

}  // namespace zrxhost::window
