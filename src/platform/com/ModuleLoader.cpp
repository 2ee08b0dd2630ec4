#include "platform/com/ModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/core/Error.h"

namespace tavo {
namespace {

class ModuleHandle {
 public:
  explicit ModuleHandle(void* handle) : handle_(handle) {}
  ~ModuleHandle() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }
  ModuleHandle(ModuleHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  ModuleHandle(const ModuleHandle&) = delete;
  ModuleHandle& operator=(const ModuleHandle&) = delete;

  void* Get() const { return handle_; }

 private:
  void* handle_;
};

struct LoadedModule {
  ModuleHandle handle;
  DllGetClassObjectFunction getClassObject;
};

struct ModuleTable {
  std::mutex mutex;
  std::map<std::string, LoadedModule> modules;
};

// Modules stay loaded for the life of the process: objects they made may be released by any
// code, even by static destructors after the runtime's own. So the table is never destroyed.
ModuleTable& Modules() {
  static ModuleTable* table = new ModuleTable;
  return *table;
}

std::string LoaderMessage() {
  const char* message = ::dlerror();
  return message != nullptr ? message : "unknown reason";
}

}  // namespace

DllGetClassObjectFunction LoadComponentModule(const std::string& path) {
  ModuleTable& table = Modules();
  const std::lock_guard lock(table.mutex);
  if (const auto it = table.modules.find(path); it != table.modules.end())
    return it->second.getClassObject;

  ModuleHandle handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (handle.Get() == nullptr) {
    const std::string reason = LoaderMessage();
    const bool missing = path.find('/') != std::string::npos && ::access(path.c_str(), F_OK) != 0;
    throw OleError("Cannot load the component module '" + path + "': " + reason,
                   missing ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL);
  }
  ::dlerror();
  void* entry = ::dlsym(handle.Get(), kDllGetClassObjectName);
  if (entry == nullptr)
    throw OleError("The component module '" + path + "' does not export " + kDllGetClassObjectName,
                   CO_E_ERRORINDLL);
  const auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(entry);
  table.modules.emplace(path, LoadedModule{std::move(handle), getClassObject});
  return getClassObject;
}

}  // namespace tavo
