// The modules loaded into this run of the host, from dlopen to dlclose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zrxhost::app {

// Where installed modules live, below the installation's prefix (the folder above the program's).
inline constexpr const char* kInstalledModuleFolder = "lib/zrxhost/modules";

// The folders a module given by name is looked for in, in order: each absolute folder of
// ZRXHOST_MODULE_PATH (colon-separated), the installed module folder, the program's own folder.
std::vector<std::string> moduleFolders();
// The first of `folders` holding NAME.zrx (NAME as given when it ends in .zrx).
std::optional<std::string> findModule(const std::string& name, const std::vector<std::string>& folders);

class LoadedModules {
 public:
  LoadedModules() = default;
  LoadedModules(const LoadedModules&) = delete;
  LoadedModules& operator=(const LoadedModules&) = delete;
  ~LoadedModules();

  // Opens the module (a path, or a name looked up in moduleFolders()), checks its interface version
  // and sends it the init message.
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
