// The host services the lower layers call, and the plain ones used until the editor installs its own.
#include "zrxhost/services.h"

#include <cstdio>

namespace zrxhost {
namespace {

class PlainServices final : public HostServices {
 public:
  void print(const std::string& utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }
  std::optional<std::string> sysVar(const std::string&) const override { return std::nullopt; }
};

PlainServices gPlainServices;
// Constant-initialized, so that the editor may install its services while the library loads.
constinit HostServices* gServices = &gPlainServices;

}  // namespace

HostServices& hostServices() {
  return *gServices;
}

HostServices* setHostServices(HostServices* services) {
  HostServices* previous = gServices;
  gServices = services ? services : &gPlainServices;
  return previous;
}

}  // namespace zrxhost
