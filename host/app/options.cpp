// Parses the zrxhost command line; every mistake is reported before anything is opened.
#include "options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "zrxhost/messages.h"
#include "zrxhost/render.h"

namespace zrxhost::app {
namespace {

enum class Kind { kModule, kScript, kSet, kSaveAs, kSvg, kPng, kPdf, kPaper, kView };

struct ValueOption {
  const char* name;
  Kind kind;
};

constexpr ValueOption kValueOptions[] = {
    {"--load", Kind::kModule},    {"--script", Kind::kScript}, {"--set", Kind::kSet},
    {"--save-as", Kind::kSaveAs}, {"--svg", Kind::kSvg},       {"--png", Kind::kPng},
    {"--pdf", Kind::kPdf},        {"--paper", Kind::kPaper},   {"--view", Kind::kView},
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
      error = textInLanguage("option --view takes X0,Y0,X1,Y1 (four numbers), not \"{}\"",
                             "选项 --view 需要 X0,Y0,X1,Y1（四个数），而不是“{}”", value);
      return false;
    }
    at = end + 1;
  }
  if (!(corners[2] > corners[0]) || !(corners[3] > corners[1])) {
    error = textInLanguage("option --view needs X1 greater than X0 and Y1 greater than Y0, not \"{}\"",
                           "选项 --view 需要 X1 大于 X0、Y1 大于 Y0，而不是“{}”", value);
    return false;
  }
  if (options.view) {
    error = textInLanguage("option {} given more than once", "选项 {} 给出了不止一次", "--view");
    return false;
  }
  options.view = corners;
  return true;
}

bool setOnce(std::optional<std::string>& slot, const std::string& option, const std::string& value,
             std::string& error) {
  if (slot) {
    error = textInLanguage("option {} given more than once", "选项 {} 给出了不止一次", option);
    return false;
  }
  if (value.empty()) {
    error = textInLanguage("option {} needs a file name", "选项 {} 需要一个文件名", option);
    return false;
  }
  slot = value;
  return true;
}

bool apply(Kind kind, const std::string& option, const std::string& value, Options& options, std::string& error) {
  switch (kind) {
    case Kind::kModule:
      if (value.empty()) {
        error = textInLanguage("option --load needs a module file", "选项 --load 需要一个模块文件");
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
    case Kind::kPdf:
      return setOnce(options.pdf, option, value, error);
    case Kind::kPaper:
      if (!paperNamed(value)) {
        error = textInLanguage("option --paper takes one of {}, not \"{}\"", "选项 --paper 需要 {} 之一，而不是“{}”",
                               {paperNames(), value});
        return false;
      }
      return setOnce(options.paper, option, value, error);
    case Kind::kView:
      return parseView(value, options, error);
    case Kind::kSet: {
      const size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) {
        error = textInLanguage("option --set takes NAME=VALUE, not \"{}\"", "选项 --set 需要 NAME=VALUE，而不是“{}”",
                               value);
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

bool takesValue(const std::string& arg) {
  for (const ValueOption& option : kValueOptions)
    if (arg == option.name) return true;
  return false;
}

// One argument (and the value it takes, moving `i` past it); false and `error` when it is not usable.
bool parseArgument(const std::vector<std::string>& args, size_t& i, bool& optionsEnded, Options& options,
                   std::string& error) {
  const std::string& arg = args[i];
  if (!optionsEnded && (arg == "--help" || arg == "-h")) {
    options.help = true;
    return true;
  }
  if (!optionsEnded && arg == "--version") {
    options.version = true;
    return true;
  }
  if (!optionsEnded && arg == "--") {
    optionsEnded = true;
    return true;
  }
  if (optionsEnded || arg.empty() || arg[0] != '-') {
    if (options.drawing) {
      error = textInLanguage("only one drawing can be opened (got \"{}\" and \"{}\")",
                             "只能打开一个图形（给出了“{}”和“{}”）", {*options.drawing, arg});
      return false;
    }
    if (arg.empty()) {
      error = textInLanguage("the drawing's file name is empty", "图形的文件名为空");
      return false;
    }
    options.drawing = arg;
    return true;
  }
  for (const ValueOption& option : kValueOptions) {
    const std::string name = option.name;
    std::string value;
    if (arg == name) {
      if (i + 1 >= args.size()) {
        error = textInLanguage("option {} needs a value", "选项 {} 需要一个值", name);
        return false;
      }
      value = args[++i];
    } else if (arg.rfind(name + "=", 0) == 0) {
      value = arg.substr(name.size() + 1);
    } else {
      continue;
    }
    return apply(option.kind, name, value, options, error);
  }
  error = textInLanguage("unknown option \"{}\"", "未知选项“{}”", arg);
  return false;
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!parseArgument(args, i, optionsEnded, options, error)) return false;
  }
  if (options.paper && !options.pdf) {
    error =
        textInLanguage("option --paper is for --pdf, which is not given", "选项 --paper 用于 --pdf，但没有给出 --pdf");
    return false;
  }
  return true;
}

std::optional<std::string> languageAsked(const std::vector<std::string>& args) {
  std::optional<std::string> language;
  for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    std::string assignment;
    if (args[i] == "--set" && i + 1 < args.size())
      assignment = args[++i];
    else if (args[i].starts_with("--set="))
      assignment = args[i].substr(6);
    else if (takesValue(args[i]))
      ++i;  // its value, even "--", is not an argument of its own
    const size_t eq = assignment.find('=');
    std::string name = assignment.substr(0, eq == std::string::npos ? 0 : eq);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == "VERLAN") language = assignment.substr(eq + 1);
  }
  return language;
}

std::string usageText() {
  const char* english =
      "Usage: zrxhost [DRAWING.dxf] [--load MODULE]... [--script FILE|-] [--set NAME=VALUE]...\n"
      "               [--save-as OUT.dxf] [--svg OUT.svg] [--png OUT.png] [--pdf OUT.pdf [--paper SIZE]]\n"
      "               [--view X0,Y0,X1,Y1]\n"
      "\n"
      "Opens DRAWING.dxf (or starts a new drawing), loads the modules, runs the script (\"-\": standard\n"
      "input; without --script: an interactive command line on a terminal, else standard input), then\n"
      "saves and draws the result.\n"
      "\n"
      "  --load MODULE       load a .zrx module: a name (ZrxForTally) is looked for in\n"
      "                      $ZRXHOST_MODULE_PATH, the installed modules, the program's folder;\n"
      "                      a path (./M.zrx) loads that file (repeatable)\n"
      "  --script FILE|-     command-line input, one answer per line\n"
      "  --set NAME=VALUE    set a system variable before anything runs (repeatable)\n"
      "  --save-as OUT.dxf   save the drawing after the input has run\n"
      "  --svg OUT.svg       draw the current space as SVG\n"
      "  --png OUT.png       draw the current space as PNG\n"
      "  --pdf OUT.pdf       plot the current space on one sheet of PDF (texts searchable)\n"
      "  --paper SIZE        the PDF's paper: A0 to A5, Letter, Legal, Tabloid (default A4);\n"
      "                      landscape or portrait as the view is wider or taller\n"
      "  --view X0,Y0,X1,Y1  pictures show exactly this window of the drawing (default: its extents)\n"
      "  --help, --version\n"
      "\n"
      "At the command line: HELP (or F1) lists the commands; U, UNDO and REDO walk back and forth\n"
      "through what the commands did; SAVE, SAVEAS and QUIT save and end; Enter repeats the last\n"
      "command.\n"
      "\n"
      "Exit status: 0 done, 1 usage error (a bad option or --set, an unreadable script), 2 unreadable\n"
      "drawing, 3 module load failure, 4 a file cannot be written (checked before any work, and when\n"
      "saving or drawing), 5 internal error.\n";
  const char* chinese =
      "用法：zrxhost [DRAWING.dxf] [--load MODULE]... [--script FILE|-] [--set NAME=VALUE]...\n"
      "              [--save-as OUT.dxf] [--svg OUT.svg] [--png OUT.png] [--pdf OUT.pdf [--paper SIZE]]\n"
      "              [--view X0,Y0,X1,Y1]\n"
      "\n"
      "打开 DRAWING.dxf（或新建一个图形），加载模块，运行脚本（“-”：标准输入；不给 --script：\n"
      "在终端上是交互式命令行，否则是标准输入），然后保存并绘出结果。\n"
      "\n"
      "  --load MODULE       加载一个 .zrx 模块：名称（ZrxForTally）在 $ZRXHOST_MODULE_PATH、\n"
      "                      已安装的模块、程序所在文件夹中查找；路径（./M.zrx）加载该文件（可重复）\n"
      "  --script FILE|-     命令行输入，每行一个回答\n"
      "  --set NAME=VALUE    在一切运行之前设置一个系统变量（可重复）\n"
      "  --save-as OUT.dxf   输入运行完毕后保存图形\n"
      "  --svg OUT.svg       将当前空间绘制为 SVG\n"
      "  --png OUT.png       将当前空间绘制为 PNG\n"
      "  --pdf OUT.pdf       将当前空间打印到一页 PDF（文字可搜索）\n"
      "  --paper SIZE        PDF 的纸张：A0 至 A5、Letter、Legal、Tabloid（默认 A4）；\n"
      "                      视图较宽时横向，较高时纵向\n"
      "  --view X0,Y0,X1,Y1  图片恰好显示图形的这一窗口（默认：图形范围）\n"
      "  --help, --version\n"
      "\n"
      "在命令行中：HELP（或 F1）列出命令；U、UNDO 和 REDO 在命令所做的改动中前后移动；\n"
      "SAVE、SAVEAS 和 QUIT 保存并结束；Enter 重复上一个命令。\n"
      "\n"
      "退出状态：0 完成，1 用法错误（错误的选项或 --set、无法读取的脚本），2 无法读取的图形，\n"
      "3 模块加载失败，4 文件无法写入（在开始工作前检查，保存或绘图时亦然），5 内部错误。\n";
  return hostSpeaksChinese() ? chinese : english;
}

}  // namespace zrxhost::app
