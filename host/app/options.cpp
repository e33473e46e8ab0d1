// Parses the zrxhost command line; every mistake is reported before anything is opened.
#include "options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace zrxhost::app {
namespace {

enum class Kind { kModule, kScript, kSet, kSaveAs, kSvg, kPng, kView };

struct ValueOption {
  const char* name;
  Kind kind;
};

constexpr ValueOption kValueOptions[] = {
    {"--load", Kind::kModule}, {"--script", Kind::kScript}, {"--set", Kind::kSet},   {"--save-as", Kind::kSaveAs},
    {"--svg", Kind::kSvg},     {"--png", Kind::kPng},       {"--view", Kind::kView},
};

// --view X0,Y0,X1,Y1: four finite numbers, the second corner right of and above the first.
bool parseView(const std::string& value, Options& options, std::string& error) {
  std::array<double, 4> corners{};
  const char* at = value.c_str();
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    corners[i] = std::strtod(at, &end);
    const char expected = i < 3 ? ',' : '\0';
    if (end == at || *end != expected || !std::isfinite(corners[i])) {
      error = "option --view takes X0,Y0,X1,Y1 (four numbers), not \"" + value + "\"";
      return false;
    }
    at = end + 1;
  }
  if (!(corners[2] > corners[0]) || !(corners[3] > corners[1])) {
    error = "option --view needs X1 greater than X0 and Y1 greater than Y0, not \"" + value + "\"";
    return false;
  }
  if (options.view) {
    error = "option --view given more than once";
    return false;
  }
  options.view = corners;
  return true;
}

bool setOnce(std::optional<std::string>& slot, const std::string& option, const std::string& value,
             std::string& error) {
  if (slot) {
    error = "option " + option + " given more than once";
    return false;
  }
  if (value.empty()) {
    error = "option " + option + " needs a file name";
    return false;
  }
  slot = value;
  return true;
}

bool apply(Kind kind, const std::string& option, const std::string& value, Options& options, std::string& error) {
  switch (kind) {
    case Kind::kModule:
      if (value.empty()) {
        error = "option --load needs a module file";
        return false;
      }
      options.modules.push_back(value);
      return true;
    case Kind::kScript:
      return setOnce(options.script, option, value, error);
    case Kind::kSaveAs:
      return setOnce(options.saveAs, option, value, error);
    case Kind::kSvg:
      return setOnce(options.svg, option, value, error);
    case Kind::kPng:
      return setOnce(options.png, option, value, error);
    case Kind::kView:
      return parseView(value, options, error);
    case Kind::kSet: {
      const size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) {
        error = "option --set takes NAME=VALUE, not \"" + value + "\"";
        return false;
      }
      std::string name = value.substr(0, eq);
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      options.sysVars.emplace_back(name, value.substr(eq + 1));
      return true;
    }
  }
  return false;
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && (arg == "--help" || arg == "-h")) {
      options.help = true;
      continue;
    }
    if (!optionsEnded && arg == "--version") {
      options.version = true;
      continue;
    }
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || arg.empty() || arg[0] != '-') {
      if (options.drawing) {
        error = "only one drawing can be opened (got \"" + *options.drawing + "\" and \"" + arg + "\")";
        return false;
      }
      if (arg.empty()) {
        error = "the drawing's file name is empty";
        return false;
      }
      options.drawing = arg;
      continue;
    }
    bool known = false;
    for (const ValueOption& option : kValueOptions) {
      const std::string name = option.name;
      std::string value;
      if (arg == name) {
        if (i + 1 >= args.size()) {
          error = "option " + name + " needs a value";
          return false;
        }
        value = args[++i];
      } else if (arg.rfind(name + "=", 0) == 0) {
        value = arg.substr(name.size() + 1);
      } else {
        continue;
      }
      known = true;
      if (!apply(option.kind, name, value, options, error)) return false;
      break;
    }
    if (!known) {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  return true;
}

std::string usageText() {
  return "Usage: zrxhost [DRAWING.dxf] [--load MODULE]... [--script FILE|-] [--set NAME=VALUE]...\n"
         "               [--save-as OUT.dxf] [--svg OUT.svg] [--png OUT.png] [--view X0,Y0,X1,Y1]\n"
         "\n"
         "Opens DRAWING.dxf (or starts a new drawing), loads the modules, runs the script (\"-\": standard\n"
         "input; without --script: an interactive command line on a terminal, else standard input), then\n"
         "saves and draws the result.\n"
         "\n"
         "  --load MODULE       load a .zrx module (repeatable)\n"
         "  --script FILE|-     command-line input, one answer per line\n"
         "  --set NAME=VALUE    set a system variable before anything runs (repeatable)\n"
         "  --save-as OUT.dxf   save the drawing after the input has run\n"
         "  --svg OUT.svg       draw the current space as SVG\n"
         "  --png OUT.png       draw the current space as PNG\n"
         "  --view X0,Y0,X1,Y1  pictures show exactly this window of the drawing (default: its extents)\n"
         "  --help, --version\n"
         "\n"
         "At the command line: HELP lists the commands; U, UNDO and REDO walk back and forth through\n"
         "what the commands did; SAVE, SAVEAS and QUIT save and end; Enter repeats the last command.\n"
         "\n"
         "Exit status: 0 done, 1 usage error (a bad option or --set, an unreadable script), 2 unreadable\n"
         "drawing, 3 module load failure, 4 a file cannot be written (checked before any work, and when\n"
         "saving or drawing), 5 internal error.\n";
}

}  // namespace zrxhost::app
