// zrxhost: opens a drawing, loads modules, runs a script or an interactive command line, then
// saves and draws the result. Exit status: see usageText().
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "drawing_commands.h"
#include "modules.h"
#include "options.h"
#include "terminal.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/dxf.h"
#include "zrxhost/messages.h"
#include "zrxhost/progress.h"
#include "zrxhost/render.h"
#include "zrxhost/session.h"
#include "zrxhost/version.h"

namespace zrxhost::app {
namespace {

enum ExitCode { kDone = 0, kUsage = 1, kBadDrawing = 2, kBadModule = 3, kWriteFailed = 4, kInternal = 5 };

// The DXF layer's messages already name the file; others get `frame` ("cannot read {}: {}") around.
std::string aboutFile(const char* english, const char* chinese, const std::string& path, const std::string& message) {
  if (message.rfind(path + ":", 0) == 0) return message;
  return textInLanguage(english, chinese, {path, message});
}

std::string cannotWrite(const std::string& path, const std::string& why) {
  return textInLanguage("cannot write {}: {}", "无法写入 {}：{}", {path, why});
}

int fail(int code, const std::string& message) {
  std::cout.flush();
  std::cerr << "zrxhost: " << message << '\n';
  return code;
}

std::string readAll(std::istream& in) {
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Why a file cannot be written at `path` (empty when it can): checked before any work, so that a
// long session is not lost to a typo in a folder name at the end.
std::string whyNotWritable(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code code;
  if (fs::is_directory(path, code)) return textInLanguage("is a folder", "这是一个文件夹");
  const fs::path folder = fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
  if (!fs::is_directory(folder, code))
    return textInLanguage("the folder {} does not exist", "文件夹 {} 不存在", folder.string());
  // The file is written beside the target and renamed over it: the folder must take new files.
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return textInLanguage("the folder {} cannot be written", "文件夹 {} 不可写入", folder.string());
  return {};
}

// Where the command-line input comes from; null and `error` when the script cannot be read.
std::unique_ptr<InputSource> openInput(const Options& options, std::string& error) {
  if (options.script && *options.script != "-") {
    std::unique_ptr<InputSource> script = ScriptInput::fromFile(*options.script, error);
    if (!script) error = textInLanguage("cannot read script {}: {}", "无法读取脚本 {}：{}", {*options.script, error});
    return script;
  }
  if (!options.script && ::isatty(STDIN_FILENO)) {
    useUtf8CharacterType();
    catchInterrupts();
    // Lives to the end of the process: the session writes to it until the last module has gone.
    static TerminalTranscript transcript(std::cout.rdbuf());
    Session::instance().setTranscript(&transcript.stream());
    return std::make_unique<TerminalInput>(transcript);
  }
  return std::make_unique<ScriptInput>(readAll(std::cin));
}

// The drawing and the modules, torn down in the order the modules need: they hear "unload" while
// the drawing is still there, and their code stays mapped until the drawing (which may hold
// objects of their classes) is gone.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFreeDrawingAtExit = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kFreeDrawingAtExit = true;
#else
constexpr bool kFreeDrawingAtExit = false;
#endif
#else
constexpr bool kFreeDrawingAtExit = false;
#endif

class Run {
 public:
  ~Run() {
    modules.sendUnload();
    if (db) {
      if (zcdbHostApplicationServices()->workingDatabase() == db.get()) {
        zcdbHostApplicationServices()->setWorkingDatabase(nullptr);
      }
      if (zcDocManagerPtr()->curDocument()->database() == db.get())
        zcDocManagerPtr()->curDocument()->setDatabase(nullptr);
      // The process ends next, and the system takes the memory back at once: freeing a large drawing
      // object by object would keep the user waiting for nothing. Leak checkers see it freed.
      if (kFreeDrawingAtExit)
        db.reset();
      else
        static_cast<void>(db.release());
    }
    modules.close();
  }

  std::unique_ptr<ZcDbDatabase> db;
  LoadedModules modules;
};

int run(const std::vector<std::string>& args) {
  Session& session = Session::instance();
  if (const std::optional<std::string> language = languageAsked(args)) session.setSysVar("VERLAN", *language);
  Options options;
  std::string error;
  if (!parseOptions(args, options, error))
    return fail(kUsage, textInLanguage("{}\nTry 'zrxhost --help'.", "{}\n请尝试 'zrxhost --help'。", error));
  if (options.help) {
    std::cout << usageText();
    return kDone;
  }
  if (options.version) {
    char version[16];
    std::snprintf(version, sizeof version, "0x%08X", static_cast<unsigned>(kApiVersion));
    std::cout << textInLanguage("zrxhost {} (module interface {})", "zrxhost {}（模块接口 {}）",
                                {kProgramVersion, version})
              << '\n';
    return kDone;
  }
  for (const auto& [name, value] : options.sysVars) {
    if (!session.sysVar(name))
      return fail(kUsage,
                  textInLanguage("--set {}: unknown system variable {}", "--set {}：未知系统变量 {}", {name, name}));
  }
  for (const std::optional<std::string>* output : {&options.saveAs, &options.svg, &options.png, &options.pdf}) {
    if (!*output) continue;
    const std::string why = whyNotWritable(**output);
    if (!why.empty()) return fail(kWriteFailed, cannotWrite(**output, why));
  }

  std::unique_ptr<InputSource> input = openInput(options, error);
  if (!input) return fail(kUsage, error);
  const bool interactive = input->isInteractive();
  // ZRXHOST_PROGRESS_DELAY_MS changes the half second before a progress line appears (tests use 0).
  const char* delay = std::getenv("ZRXHOST_PROGRESS_DELAY_MS");
  Progress::enable(interactive && ::isatty(STDERR_FILENO), delay ? std::atoi(delay) : 500);

  Run run;
  if (options.drawing) {
    DxfError dxfError;
    Progress progress(hostMessage(HostMessage::kProgressReading, *options.drawing));
    run.db = readDxf(*options.drawing, dxfError, [&](double fraction) { progress.set(fraction); });
    if (!run.db) {
      return fail(kBadDrawing,
                  aboutFile("cannot read drawing {}: {}", "无法读取图形 {}：{}", *options.drawing, dxfError.message));
    }
    for (const std::string& warning : dxfError.warnings)
      std::cerr << "zrxhost: " << textInLanguage("warning: {}: {}", "警告：{}：{}", {*options.drawing, warning})
                << '\n';
  } else {
    run.db = newDrawing();
    if (!run.db) return fail(kInternal, textInLanguage("cannot create a new drawing", "无法创建新图形"));
  }
  initializeHost(run.db.get());

  for (const auto& [name, value] : options.sysVars) {
    if (!session.setSysVar(name, value))
      return fail(kUsage, textInLanguage("--set {}: invalid value \"{}\"", "--set {}：无效值“{}”", {name, value}));
  }

  for (const std::string& module : options.modules) {
    if (!run.modules.load(module, error)) return fail(kBadModule, error);
  }

  DrawingFile file;
  file.db = run.db.get();
  file.saveAsTarget = options.saveAs;
  file.saveTarget = options.saveAs ? *options.saveAs : options.drawing.value_or(std::string());
  registerDrawingCommands(file);

  if (interactive) session.print("\n" + hostMessage(HostMessage::kBanner));
  session.setInput(std::move(input));
  do {
    session.runCommandLine();
  } while (!mayEndSession(file));
  session.transcript().flush();

  int status = kDone;
  if (options.saveAs) {
    std::string saveError;
    if (!saveDrawing(*run.db, *options.saveAs, saveError)) {
      status = fail(kWriteFailed, aboutFile("cannot save {}: {}", "无法保存 {}：{}", *options.saveAs, saveError));
    }
  }
  RenderOptions pictureOptions;
  std::vector<std::string> pictureWarnings;
  pictureOptions.warnings = &pictureWarnings;
  // What a picture left out is said once, with the first picture's name.
  auto sayLeftOut = [&](const std::string& path) {
    for (const std::string& warning : pictureWarnings)
      std::cerr << "zrxhost: " << textInLanguage("warning: {}: {}", "警告：{}：{}", {path, warning}) << '\n';
    if (!pictureWarnings.empty()) pictureOptions.warnings = nullptr;
    pictureWarnings.clear();
  };
  if (options.view) {
    pictureOptions.hasView = true;
    std::copy(options.view->begin(), options.view->end(), pictureOptions.view);
  }
  if (options.svg && !renderSvg(*run.db, *options.svg, error, pictureOptions)) {
    status = fail(kWriteFailed, cannotWrite(*options.svg, error));
  }
  if (options.svg) sayLeftOut(*options.svg);
  if (options.png && !renderPng(*run.db, *options.png, error, pictureOptions)) {
    status = fail(kWriteFailed, cannotWrite(*options.png, error));
  }
  if (options.png) sayLeftOut(*options.png);
  if (const Paper* paper = paperNamed(options.paper.value_or("A4"))) {
    pictureOptions.paperMm[0] = paper->shortMm;
    pictureOptions.paperMm[1] = paper->longMm;
  }
  if (options.pdf && !renderPdf(*run.db, *options.pdf, error, pictureOptions)) {
    status = fail(kWriteFailed, cannotWrite(*options.pdf, error));
  }
  if (options.pdf) sayLeftOut(*options.pdf);
  return status;
}

}  // namespace
}  // namespace zrxhost::app

int main(int argc, char** argv) {
  try {
    return zrxhost::app::run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    return zrxhost::app::fail(zrxhost::app::kInternal,
                              zrxhost::textInLanguage("internal error: {}", "内部错误：{}", e.what()));
  } catch (...) {
    return zrxhost::app::fail(zrxhost::app::kInternal, zrxhost::textInLanguage("internal error", "内部错误"));
  }
}
