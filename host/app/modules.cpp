// Loads modules with dlopen and drives their life cycle through zcrxEntryPoint.
#include "modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

// A module given by name: "ZrxForTally" or "ZrxForTally.zrx", no folder.
bool isModuleName(const std::string& argument) {
  return argument.find('/') == std::string::npos;
}

std::string moduleFileName(const std::string& name) {
  return name.ends_with(".zrx") ? name : name + ".zrx";
}

}  // namespace

std::vector<std::string> moduleFolders() {
  namespace fs = std::filesystem;
  std::vector<std::string> folders;
  auto add = [&](const fs::path& folder) {
    // Only absolute folders: a relative one would be found from wherever the user happens to be,
    // and a folder a user opens must not bring code with it.
    if (!folder.is_absolute()) return;
    const std::string text = folder.lexically_normal().string();
    if (std::find(folders.begin(), folders.end(), text) == folders.end()) folders.push_back(text);
  };
  if (const char* path = std::getenv("ZRXHOST_MODULE_PATH")) {
    std::string list = path;
    for (size_t start = 0; start <= list.size();) {
      const size_t end = std::min(list.find(':', start), list.size());
      if (end > start) add(list.substr(start, end - start));
      start = end + 1;
    }
  }
  std::error_code code;
  const fs::path program = fs::read_symlink("/proc/self/exe", code);
  if (!code) {
    add(program.parent_path().parent_path() / kInstalledModuleFolder);
    add(program.parent_path());
  }
  return folders;
}

std::optional<std::string> findModule(const std::string& name, const std::vector<std::string>& folders) {
  const std::string file = moduleFileName(name);
  for (const std::string& folder : folders) {
    const std::string candidate = folder + "/" + file;
    std::error_code code;
    if (std::filesystem::is_regular_file(candidate, code)) return candidate;
  }
  return std::nullopt;
}

LoadedModules::~LoadedModules() {
  sendUnload();
  close();
}

bool LoadedModules::load(const std::string& path, std::string& error) {
  // A name is looked for in the module folders only (never the current folder nor the drawing's);
  // anything with a folder in it is that file.
  std::string file = path;
  if (isModuleName(path)) {
    const std::vector<std::string> folders = moduleFolders();
    std::optional<std::string> found = findModule(path, folders);
    if (!found) {
      std::string list;
      for (const std::string& folder : folders) list += (list.empty() ? "" : ", ") + folder;
      error = cannotLoad(path, textInLanguage("no {} in the module folders (looked in: {})",
                                              "模块文件夹中没有 {}（查找了：{}）", {moduleFileName(path), list}));
      return false;
    }
    file = *found;
  }
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
