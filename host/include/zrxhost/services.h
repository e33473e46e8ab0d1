// What the lower layers ask of the host around them: printing a message and reading a system variable.
#pragma once

#include <optional>
#include <string>

namespace zrxhost {

// The runtime, the fonts and the database sit below the editor, yet a module's zcutPrintf prints to
// the command line and the fonts follow FONTALT. The editor installs these services when the host
// library loads; below it, without an editor (a layer built and tested on its own), messages go to
// standard output and every system variable is unset.
class HostServices {
 public:
  virtual ~HostServices() = default;
  virtual void print(const std::string& utf8) = 0;
  virtual std::optional<std::string> sysVar(const std::string& name) const = 0;
};

// The services in use: the installed ones, or the plain ones described above.
HostServices& hostServices();
// Installs services that outlive their use (null: the plain ones) and returns those in use before.
HostServices* setHostServices(HostServices* services);

}  // namespace zrxhost
