// The window's text table: English and Simplified Chinese side by side.
#include "window/window_texts.h"

#include "zrxhost/messages.h"

namespace zrxhost::window {
namespace {

constexpr BilingualText<WindowText> kTexts[] = {
    {WindowText::kTitle, "{} - zrxcad", "{} - zrxcad"},
    {WindowText::kUntitled, "Drawing", "图形"},
    {WindowText::kFileMenu, "&File", "文件(&F)"},
    {WindowText::kOpen, "&Open…", "打开(&O)…"},
    {WindowText::kSave, "&Save", "保存(&S)"},
    {WindowText::kSaveAs, "Save &As…", "另存为(&A)…"},
    {WindowText::kExportPdf, "&Export PDF…", "导出 PDF(&E)…"},
    {WindowText::kPrint, "&Print…", "打印(&P)…"},
    {WindowText::kExit, "E&xit", "退出(&X)"},
    {WindowText::kEditMenu, "&Edit", "编辑(&E)"},
    {WindowText::kUndo, "&Undo", "放弃(&U)"},
    {WindowText::kRedo, "&Redo", "重做(&R)"},
    {WindowText::kViewMenu, "&View", "视图(&V)"},
    {WindowText::kZoomExtents, "Zoom &Extents", "范围缩放(&E)"},
    {WindowText::kHelpMenu, "&Help", "帮助(&H)"},
    {WindowText::kHelpCommands, "&Commands", "命令(&C)"},
    {WindowText::kCommandLine, "Command Line", "命令行"},
    {WindowText::kDrawingFilter, "DXF drawings (*.dxf);;All files (*)", "DXF 图形 (*.dxf);;所有文件 (*)"},
    {WindowText::kSaveChangesTitle, "Unsaved changes", "未保存的修改"},
    {WindowText::kSaveChangesQuestion, "Save changes to {}?", "是否将修改保存到 {}？"},
    {WindowText::kSaveFailedTitle, "Cannot save", "无法保存"},
    {WindowText::kOpenFailed, "Cannot open the drawing: {}", "无法打开图形：{}"},
    {WindowText::kOpenFailedTitle, "Cannot open the drawing", "无法打开图形"},
    {WindowText::kNewDrawingInstead, "A new drawing is open in its place.", "已改为打开一张新图形。"},
    {WindowText::kZoomPrompt, "Enter an option [Extents] <Extents>: ", "输入选项 [范围(E)] <范围>: "},
    {WindowText::kOpenPrompt, "Drawing to open: ", "要打开的图形: "},
    {WindowText::kOpened, "Opened {}.", "已打开 {}。"},
    {WindowText::kPdfFilter, "PDF documents (*.pdf);;All files (*)", "PDF 文档 (*.pdf);;所有文件 (*)"},
    {WindowText::kExportFailedTitle, "Cannot export PDF", "无法导出 PDF"},
    {WindowText::kExported, "Wrote {}.", "已写入 {}。"},
    {WindowText::kPrinted, "The view was sent to the printer.", "视图已发送到打印机。"},
    {WindowText::kOsnapButton, "OSNAP", "对象捕捉"},
    {WindowText::kOrthoButton, "ORTHO", "正交"},
    {WindowText::kSnapButton, "SNAP", "捕捉"},
    {WindowText::kGridButton, "GRID", "栅格"},
    {WindowText::kDistanceAngle, "Distance {}, angle %2°", "距离 {}，角度 %2°"},
};
static_assert(listsEveryIdInOrder(kTexts), "the table follows the order of WindowText");

}  // namespace

QString windowText(WindowText text, const QString& argument) {
  const BilingualText<WindowText>& texts = kTexts[static_cast<int>(text)];
  return QString::fromStdString(textInLanguage(texts.english, texts.chinese, argument.toStdString()));
}

}  // namespace zrxhost::window
