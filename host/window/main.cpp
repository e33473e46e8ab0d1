// zrxcad: the window over the host's editor. Opens a drawing, loads modules, sets system variables,
// and runs the command line in the window until it closes.
#include <QApplication>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "window/main_window.h"
#include "window/window_texts.h"
#include "zrx/db.h"
#include "zrxhost/dxf.h"
#include "zrxhost/messages.h"
#include "zrxhost/session.h"
#include "zrxhost/version.h"

namespace {

enum ExitCode { kDone = 0, kUsage = 1, kBadModule = 3 };

std::string usageText() {
  return zrxhost::textInLanguage(
      "usage: zrxcad [DRAWING.dxf] [--load MODULE]... [--set NAME=VALUE]...\n"
      "  DRAWING.dxf        the drawing to open (none, or one that cannot be read: a new drawing)\n"
      "  --load MODULE      load a module by name (ZrxForTally) or by path (repeatable)\n"
      "  --set NAME=VALUE   set a system variable first (VERLAN=zh-CN: Chinese)\n"
      "  --help, --version\n",
      "用法：zrxcad [DRAWING.dxf] [--load MODULE]... [--set NAME=VALUE]...\n"
      "  DRAWING.dxf        要打开的图形（省略或无法读取时：新图形）\n"
      "  --load MODULE      按名称（ZrxForTally）或路径加载模块（可重复）\n"
      "  --set NAME=VALUE   先设置系统变量（VERLAN=zh-CN：中文）\n"
      "  --help, --version\n");
}

int fail(int code, const std::string& message) {
  std::cerr << "zrxcad: " << message << '\n';
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything that needs no window is done before Qt starts: --help, --version and a bad option
  // answer without a display.
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const std::optional<std::string> language = zrxhost::app::languageAsked(args))
    zrxhost::Session::instance().setSysVar("VERLAN", *language);
  using zrxhost::textInLanguage;
  std::string drawing;
  std::vector<std::string> modules;
  std::vector<std::pair<std::string, std::string>> sysVars;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << usageText();
      return kDone;
    }
    if (arg == "--version") {
      char version[16];
      std::snprintf(version, sizeof version, "0x%08X", static_cast<unsigned>(zrxhost::kApiVersion));
      std::cout << textInLanguage("zrxcad {} (module interface {})", "zrxcad {}（模块接口 {}）",
                                  {zrxhost::kProgramVersion, version})
                << '\n';
      return kDone;
    }
    if (arg == "--load" || arg == "--set") {
      if (i + 1 >= args.size())
        return fail(kUsage, textInLanguage("{} needs a value", "{} 需要一个值", arg) + "\n" + usageText());
      const std::string& value = args[++i];
      if (arg == "--load") {
        modules.push_back(value);
        continue;
      }
      const size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0)
        return fail(kUsage,
                    textInLanguage("--set takes NAME=VALUE, not {}", "--set 需要 NAME=VALUE，而不是 {}", value));
      sysVars.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else if (!arg.empty() && arg[0] == '-') {
      return fail(kUsage, textInLanguage("unknown option {}", "未知选项 {}", arg) + "\n" + usageText());
    } else if (drawing.empty()) {
      drawing = arg;
    } else {
      return fail(kUsage,
                  textInLanguage("one drawing at a time: {}", "一次只能打开一个图形：{}", arg) + "\n" + usageText());
    }
  }

  // A drawing that cannot be read leaves the user a new one, and the reason once the window shows.
  zrxhost::DxfError error;
  std::unique_ptr<ZcDbDatabase> db = drawing.empty() ? nullptr : zrxhost::readDxf(drawing, error);
  const bool unreadable = !drawing.empty() && !db;
  if (!db) db = zrxhost::newDrawing();
  zrxhost::initializeHost(db.get());
  zrxhost::Session& session = zrxhost::Session::instance();
  zrxhost::window::applyWindowDefaults();
  // Before the window is built: it takes its language from VERLAN.
  for (const auto& [name, value] : sysVars) {
    if (!session.sysVar(name))
      return fail(kUsage,
                  textInLanguage("--set {}: unknown system variable {}", "--set {}：未知系统变量 {}", {name, name}));
    if (!session.setSysVar(name, value))
      return fail(kUsage, textInLanguage("--set {}: invalid value \"{}\"", "--set {}：无效值“{}”", {name, value}));
  }

  QApplication application(argc, argv);
  using zrxhost::window::WindowText;
  zrxhost::window::MainWindow window(std::move(db), unreadable ? std::string() : drawing);
  for (const std::string& module : modules) {
    std::string why;
    if (!window.loadModule(module, why)) return fail(kBadModule, why);
  }
  window.show();
  if (unreadable) {
    window.reportProblem(zrxhost::window::windowText(WindowText::kOpenFailedTitle),
                         zrxhost::window::windowText(WindowText::kOpenFailed, QString::fromStdString(error.message)) +
                             "\n" + zrxhost::window::windowText(WindowText::kNewDrawingInstead));
  }
  window.run();
  window.close();
  return kDone;
}
