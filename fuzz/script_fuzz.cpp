// Fuzz target: the command line of zrxhost and a script run against a new drawing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "zrx/db.h"
#include "zrxhost/dxf.h"
#include "zrxhost/session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Up to the first NUL: command-line arguments, one a line; after it: the script.
  std::string all(reinterpret_cast<const char*>(data), size);
  std::size_t nul = all.find('\0');
  std::string argsText = nul == std::string::npos ? all : all.substr(0, nul);
  std::string script = nul == std::string::npos ? std::string() : all.substr(nul + 1);

  std::vector<std::string> args;
  std::istringstream lines(argsText);
  for (std::string line; std::getline(lines, line);) args.push_back(line);
  zrxhost::app::Options options;
  std::string error;
  if (!zrxhost::app::parseOptions(args, options, error) && error.empty()) __builtin_trap();  // refused, unsaid
  // The language a usable command line asks for is the one its --set gives VERLAN last.
  const std::optional<std::string> language = zrxhost::app::languageAsked(args);
  if (error.empty()) {
    std::optional<std::string> set;
    for (const auto& [name, value] : options.sysVars)
      if (name == "VERLAN") set = value;
    if (set != language) __builtin_trap();
  }

  static std::unique_ptr<ZcDbDatabase> db = [] {
    auto made = zrxhost::newDrawing();
    zrxhost::initializeHost(made.get());
    return made;
  }();
  static std::ostringstream transcript;
  zrxhost::Session& session = zrxhost::Session::instance();
  session.setTranscript(&transcript);
  session.setInput(std::make_unique<zrxhost::ScriptInput>(script));
  session.runCommandLine();
  transcript.str(std::string());
  return 0;
}
