// The window's own texts (menus, dialogs, the status bar) in English and Simplified Chinese.
#pragma once

#include <QString>

namespace zrxhost::window {

enum class WindowText {
  kTitle,  // {} : the drawing's name
  kUntitled,
  kFileMenu,
  kOpen,
  kSave,
  kSaveAs,
  kExportPdf,
  kPrint,
  kExit,
  kEditMenu,
  kUndo,
  kRedo,
  kViewMenu,
  kZoomExtents,
  kHelpMenu,
  kHelpCommands,
  kCommandLine,
  kDrawingFilter,
  kSaveChangesTitle,
  kSaveChangesQuestion,  // {} : the drawing's name
  kSaveFailedTitle,
  kOpenFailed,  // {} : the reason
  kOpenFailedTitle,
  kNewDrawingInstead,
  kZoomPrompt,
  kOpenPrompt,
  kOpened,  // {} : the file
  kPdfFilter,
  kExportFailedTitle,
  kExported,  // {} : the file
  kPrinted,
  kOsnapButton,
  kOrthoButton,
  kSnapButton,
  kGridButton,
  kDistanceAngle,  // {} : the distance; %2 : the angle in degrees
  kCount_
};

// The text in the language VERLAN chooses, with `argument` in place of its "{}".
QString windowText(WindowText text, const QString& argument = {});

}  // namespace zrxhost::window
