// The modules loaded into this run of the host, from dlopen to dlclose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zrxhost::app {

class LoadedModules {
 public:
  LoadedModules() = default;
  LoadedModules(const LoadedModules&) = delete;
  LoadedModules& operator=(const LoadedModules&) = delete;
  ~LoadedModules();

  // Opens the module, checks its interface version and sends it the init message.
  // False and `error` when it cannot be used; it is then closed again.
  bool load(const std::string& path, std::string& error);
  // Sends the unload message to every module, the last loaded first. Idempotent.
  void sendUnload();
  // Closes every module (after sendUnload). Idempotent.
  void close();

 private:
  struct Module {
    std::string path;
    void* handle = nullptr;
    std::int32_t (*entryPoint)(std::int32_t, void*) = nullptr;
    bool initialized = false;
  };
  std::vector<Module> mModules;
};

}  // namespace zrxhost::app
