// The zrxhost command line: what the user asked for, parsed and checked.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zrxhost::app {

struct Options {
  std::optional<std::string> drawing;
  std::vector<std::string> modules;
  std::optional<std::string> script;                         // "-" is standard input
  std::vector<std::pair<std::string, std::string>> sysVars;  // names upper-cased, in the given order
  std::optional<std::string> saveAs;
  std::optional<std::string> svg;
  std::optional<std::string> png;
  std::optional<std::string> pdf;
  std::optional<std::string> paper;           // --paper: a name render's paperNamed knows
  std::optional<std::array<double, 4>> view;  // --view X0,Y0,X1,Y1: the window pictures show
  bool help = false;
  bool version = false;
};

// False and `error` (one line, without the program name) when the command line is not usable.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// The language a --set VERLAN=… anywhere on the command line asks for (the last one): set before the
// rest is read, so that every message about the command line, its mistakes too, is told in it.
std::optional<std::string> languageAsked(const std::vector<std::string>& args);

std::string usageText();

}  // namespace zrxhost::app
