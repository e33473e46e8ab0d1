// Loads modules with dlopen and drives their life cycle through zcrxEntryPoint.
#include "modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zrx/rx.h"
#include "zrxhost/ownership.h"
#include "zrxhost/version.h"

namespace zrxhost::app {
namespace {

std::string hex(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string lastDlError() {
  const char* message = dlerror();
  return message ? message : "unknown error";
}

}  // namespace

LoadedModules::~LoadedModules() {
  sendUnload();
  close();
}

bool LoadedModules::load(const std::string& path, std::string& error) {
  // A bare name means the file in the current directory, not a search of the system's libraries.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  if (::access(file.c_str(), R_OK) != 0) {
    error = "cannot load module " + path + ": " + std::strerror(errno);
    return false;
  }
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    error = "cannot load module " + path + ": " + lastDlError();
    return false;
  }
  for (const Module& loaded : mModules) {
    if (loaded.handle == handle) {
      // dlopen counted a second reference; the module itself must not be initialised twice.
      dlclose(handle);
      error = "module " + path + " is already loaded";
      return false;
    }
  }
  auto refuse = [&](const std::string& why) {
    dlclose(handle);
    error = "cannot load module " + path + ": " + why;
    return false;
  };
  auto getVersion = reinterpret_cast<GetApiVersionFunction>(dlsym(handle, "zcrxGetApiVersion"));
  if (!getVersion) return refuse("it does not export zcrxGetApiVersion");
  auto entryPoint = reinterpret_cast<EntryPointFunction>(dlsym(handle, "zcrxEntryPoint"));
  if (!entryPoint) return refuse("it does not export zcrxEntryPoint");
  const std::int32_t version = getVersion();
  if (version != kApiVersion) {
    return refuse("it was built for interface version " + hex(version) + ", this host offers " + hex(kApiVersion));
  }
  mModules.push_back({path, handle, entryPoint, false});
  takeNameClashes();
  std::int32_t result = 0;
  {
    ModuleScope scope(handle);
    result = entryPoint(ZcRx::kInitAppMsg, handle);
  }
  const std::vector<std::string> clashes = takeNameClashes();
  if (result != 0) {
    // A module that refuses to start gets no unload message: it has nothing to undo.
    mModules.pop_back();
    return refuse("its initialisation failed (result " + std::to_string(result) + ")");
  }
  if (!clashes.empty()) {
    // Two modules cannot own one name (a byte copy of a loaded module registers all of its names
    // again). The module undoes what it did register; what it found taken stays with its owner.
    {
      ModuleScope scope(handle);
      entryPoint(ZcRx::kUnloadAppMsg, handle);
    }
    mModules.pop_back();
    std::string names;
    for (const std::string& clash : clashes) names += (names.empty() ? "" : ", ") + clash;
    return refuse("it registers " + names + ", already registered by another module or the host");
  }
  mModules.back().initialized = true;
  return true;
}

void LoadedModules::sendUnload() {
  for (auto it = mModules.rbegin(); it != mModules.rend(); ++it) {
    if (!it->initialized) continue;
    it->initialized = false;
    ModuleScope scope(it->handle);
    it->entryPoint(ZcRx::kUnloadAppMsg, it->handle);
  }
}

void LoadedModules::close() {
  while (!mModules.empty()) {
    Module& module = mModules.back();
    if (module.handle) dlclose(module.handle);
    mModules.pop_back();
  }
}

}  // namespace zrxhost::app
