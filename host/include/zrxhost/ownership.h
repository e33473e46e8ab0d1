// Which module registered what: classes and commands belong to the module whose entry point made them.
#pragma once

#include <string>
#include <vector>

namespace zrxhost {

// The module whose entry point runs now (null: the host's own code). Set by the module loader around
// every message it sends; restores the previous one when it goes.
class ModuleScope {
 public:
  explicit ModuleScope(const void* module);
  ~ModuleScope();
  ModuleScope(const ModuleScope&) = delete;
  ModuleScope& operator=(const ModuleScope&) = delete;

 private:
  const void* mPrevious;
};
const void* currentModule();

// A name the running module registers that is already taken ("class \"TextArray\""): the loader
// refuses a module that has any, since two modules cannot both own a name.
void noteNameClash(const std::string& what);
std::vector<std::string> takeNameClashes();

}  // namespace zrxhost
