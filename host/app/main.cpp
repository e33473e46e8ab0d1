// zrxhost: opens a drawing, loads modules, runs a script or an interactive command line, then
// saves and draws the result. Exit status: see usageText().
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "modules.h"
#include "options.h"
#include "terminal.h"
#include "zrx/db.h"
#include "zrx/ed.h"
#include "zrxhost/dxf.h"
#include "zrxhost/render.h"
#include "zrxhost/session.h"
#include "zrxhost/version.h"

namespace zrxhost::app {
namespace {

enum ExitCode { kDone = 0, kUsage = 1, kBadDrawing = 2, kBadModule = 3, kWriteFailed = 4, kInternal = 5 };

// The DXF layer's messages already name the file; others get it put in front.
std::string aboutFile(const std::string& what, const std::string& path, const std::string& message) {
  if (message.rfind(path + ":", 0) == 0) return message;
  return what + " " + path + ": " + message;
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

// Where the command-line input comes from; null and `error` when the script cannot be read.
std::unique_ptr<InputSource> openInput(const Options& options, std::string& error) {
  if (options.script && *options.script != "-") {
    std::unique_ptr<InputSource> script = ScriptInput::fromFile(*options.script);
    if (!script) error = "cannot read script " + *options.script;
    return script;
  }
  if (!options.script && ::isatty(STDIN_FILENO)) {
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
      db.reset();
    }
    modules.close();
  }

  std::unique_ptr<ZcDbDatabase> db;
  LoadedModules modules;
};

int run(const std::vector<std::string>& args) {
  Options options;
  std::string error;
  if (!parseOptions(args, options, error)) return fail(kUsage, error + "\nTry 'zrxhost --help'.");
  if (options.help) {
    std::cout << usageText();
    return kDone;
  }
  if (options.version) {
    char version[16];
    std::snprintf(version, sizeof version, "0x%08X", static_cast<unsigned>(kApiVersion));
    std::cout << "zrxhost " << kProgramVersion << " (module interface " << version << ")\n";
    return kDone;
  }

  std::unique_ptr<InputSource> input = openInput(options, error);
  if (!input) return fail(kUsage, error);

  Run run;
  if (options.drawing) {
    DxfError dxfError;
    run.db = readDxf(*options.drawing, dxfError);
    if (!run.db) return fail(kBadDrawing, aboutFile("cannot read drawing", *options.drawing, dxfError.message));
    for (const std::string& warning : dxfError.warnings)
      std::cerr << "zrxhost: warning: " << *options.drawing << ": " << warning << '\n';
  } else {
    run.db = newDrawing();
    if (!run.db) return fail(kInternal, "cannot create a new drawing");
  }
  initializeHost(run.db.get());

  Session& session = Session::instance();
  for (const auto& [name, value] : options.sysVars) {
    if (!session.sysVar(name)) return fail(kBadDrawing, "unknown system variable " + name);
    if (!session.setSysVar(name, value)) return fail(kBadDrawing, "invalid value \"" + value + "\" for " + name);
  }

  for (const std::string& module : options.modules) {
    if (!run.modules.load(module, error)) return fail(kBadModule, error);
  }

  const bool interactive = dynamic_cast<TerminalInput*>(input.get()) != nullptr;
  if (interactive) session.print("\nType a command name at the prompt; Ctrl-D ends the session.");
  session.setInput(std::move(input));
  session.runCommandLine();
  session.transcript().flush();

  int status = kDone;
  if (options.saveAs) {
    DxfError dxfError;
    if (!writeDxf(*run.db, *options.saveAs, dxfError)) {
      status = fail(kWriteFailed, aboutFile("cannot save", *options.saveAs, dxfError.message));
    }
  }
  if (options.svg && !renderSvg(*run.db, *options.svg, error)) {
    status = fail(kWriteFailed, "cannot write " + *options.svg + ": " + error);
  }
  if (options.png && !renderPng(*run.db, *options.png, error)) {
    status = fail(kWriteFailed, "cannot write " + *options.png + ": " + error);
  }
  return status;
}

}  // namespace
}  // namespace zrxhost::app

int main(int argc, char** argv) {
  try {
    return zrxhost::app::run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    return zrxhost::app::fail(zrxhost::app::kInternal, std::string("internal error: ") + e.what());
  } catch (...) {
    return zrxhost::app::fail(zrxhost::app::kInternal, "internal error");
  }
}
