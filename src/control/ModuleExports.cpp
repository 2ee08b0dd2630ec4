// The module's four exported entry points and its class factory, created with the module and
// kept until it is unloaded.
#include <new>

#include "control/ModuleState.h"
#include "control/Registration.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/codepage/CodePage.h"
#include "platform/com/ClassFactory.h"
#include "platform/registry/Registry.h"

namespace tavo {
namespace {

class TTavoPreFmtPrinterFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // The factory lives as long as the module: counting references would change nothing.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (object != nullptr) *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return TTavoPreFmtPrinter::Create(iid, object);
  }

  HRESULT LockServer(bool lock) override {
    lock ? ++Module().locks : --Module().locks;
    return S_OK;
  }
};

TTavoPreFmtPrinterFactory& Factory() {
  static TTavoPreFmtPrinterFactory factory;
  return factory;
}

// Runs a registry change; any failure is E_FAIL with its description for the host.
template <typename Change>
HRESULT ChangeRegistry(Change change, const char* failure) {
  try {
    const std::string modulePath = ModulePath();
    ModifyRegistry([&](RegistryTree& registry) { change(registry, modulePath); });
    return S_OK;
  } catch (const std::exception& error) {
    PostErrorInfo(IID_IClassFactory, kProgId,
                  codepage::Utf8ToWide(std::string(failure) + ": " + error.what()));
    return E_FAIL;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace

}  // namespace tavo

using namespace tavo;

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid,
                                                                 void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != CLASS_TavoPreFmtPrinter) return CLASS_E_CLASSNOTAVAILABLE;
  return Factory().QueryInterface(iid, object);
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return Module().objects == 0 && Module().locks == 0 ? S_OK : S_FALSE;
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  return ChangeRegistry(
      [](RegistryTree& registry, const std::string& path) { RegisterControl(registry, path); },
      kRegistryEntryError);
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  return ChangeRegistry(
      [](RegistryTree& registry, const std::string&) { UnregisterControl(registry); },
      "Error removing system registry entry");
}

}  // extern "C"
