// Loads modules with dlopen and drives their life cycle through zcrxEntryPoint.
#include "modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zrx/rx.h"
#include "zrxhost/messages.h"
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
  return message ? message : textInLanguage("unknown error", "未知错误");
}

// The message for a module that cannot be loaded; `why` is the system's own words or ours.
std::string cannotLoad(const std::string& path, const std::string& why) {
  return textInLanguage("cannot load module {}: {}", "无法加载模块 {}：{}", {path, why});
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
    error = cannotLoad(path, std::strerror(errno));
    return false;
  }
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    error = cannotLoad(path, lastDlError());
    return false;
  }
  for (const Module& loaded : mModules) {
    if (loaded.handle == handle) {
      // dlopen counted a second reference; the module itself must not be initialised twice.
      dlclose(handle);
      error = textInLanguage("module {} is already loaded", "模块 {} 已经加载", path);
      return false;
    }
  }
  auto refuse = [&](const std::string& why) {
    dlclose(handle);
    error = cannotLoad(path, why);
    return false;
  };
  auto getVersion = reinterpret_cast<GetApiVersionFunction>(dlsym(handle, "zcrxGetApiVersion"));
  if (!getVersion) return refuse(textInLanguage("it does not export {}", "它没有导出 {}", "zcrxGetApiVersion"));
  auto entryPoint = reinterpret_cast<EntryPointFunction>(dlsym(handle, "zcrxEntryPoint"));
  if (!entryPoint) return refuse(textInLanguage("it does not export {}", "它没有导出 {}", "zcrxEntryPoint"));
  const std::int32_t version = getVersion();
  if (version != kApiVersion) {
    return refuse(textInLanguage("it was built for interface version {}, this host offers {}",
                                 "它是为接口版本 {} 构建的，本主机提供的是 {}", {hex(version), hex(kApiVersion)}));
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
    return refuse(
        textInLanguage("its initialisation failed (result {})", "它的初始化失败（结果 {}）", std::to_string(result)));
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
    return refuse(textInLanguage("it registers {}, already registered by another module or the host",
                                 "它注册的 {} 已由另一个模块或主机注册", names));
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
