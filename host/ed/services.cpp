// The editor behind the lower layers: the host services and the command stack, set up as the library loads.
#include "zrxhost/services.h"

#include "zrx/ed.h"
#include "zrxhost/session.h"

namespace zrxhost {
namespace {

class EditorServices final : public HostServices {
 public:
  void print(const std::string& utf8) override { Session::instance().print(utf8); }
  std::optional<std::string> sysVar(const std::string& name) const override { return Session::instance().sysVar(name); }
};

// Done while the host library loads rather than in initializeHost, so that every program built on
// the library (the host, the window, the tests and tools that never start an editor) finds the
// command stack in the registry and its messages on the session's transcript before its first line.
const bool gEditorInstalled = [] {
  static EditorServices services;
  setHostServices(&services);
  zcrxSysRegistry()->atPut(L"ZCAD_REGISTERED_COMMANDS", new ZcEdCommandStack);
  return true;
}();

}  // namespace
}  // namespace zrxhost
