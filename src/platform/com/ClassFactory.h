// Creation of component objects: a module's class factory, and the four entry points every
// in-process component module exports.
#pragma once

#include "platform/com/Unknown.h"

namespace tavo {

inline constexpr IID IID_IClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IClassFactory : public IUnknown {
 public:
  // `outer` is the controlling object when aggregating; factories that do not aggregate
  // answer CLASS_E_NOAGGREGATION to a non-null `outer`.
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  // Keeps the module loaded while `lock` is true (counted).
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The entry points of a component module, looked up by these names.
using DllGetClassObjectFunction = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();
using DllUnregisterServerFunction = HRESULT (*)();

inline constexpr const char* kDllGetClassObjectName = "DllGetClassObject";
inline constexpr const char* kDllCanUnloadNowName = "DllCanUnloadNow";
inline constexpr const char* kDllRegisterServerName = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServerName = "DllUnregisterServer";

}  // namespace tavo

// Declared here so that a module's definitions must match; each module defines them.
extern "C" {
tavo::HRESULT DllGetClassObject(const tavo::CLSID& clsid, const tavo::IID& iid, void** object);
tavo::HRESULT DllCanUnloadNow();
tavo::HRESULT DllRegisterServer();
tavo::HRESULT DllUnregisterServer();
}
