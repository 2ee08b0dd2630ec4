#include "platform/com/Activation.h"

#include <new>

#include "platform/codepage/CodePage.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/ModuleLoader.h"
#include "platform/core/Error.h"
#include "platform/registry/Registry.h"

namespace tavo {
namespace {

constexpr std::u16string_view kErrorSource = u"CoCreateInstance";

thread_local std::string lastLoadError;

// Records why a call failed, for LastLoadError and as the thread's error information.
HRESULT Failed(HRESULT status, const std::string& message) {
  lastLoadError = message;
  PostErrorInfo(GUID_NULL, kErrorSource, codepage::Utf8ToWide(message));
  return status;
}

// Runs one activation step, turning every failure into its status.
template <typename Step>
HRESULT Guarded(Step step) {
  lastLoadError.clear();
  try {
    return step();
  } catch (const OleError& e) {
    return Failed(e.Status(), e.what());
  } catch (const Error& e) {
    return Failed(REGDB_E_READREGDB, e.what());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return Failed(E_UNEXPECTED, e.what());
  } catch (...) {
    return Failed(E_UNEXPECTED, "An unknown failure while creating a component object");
  }
}

}  // namespace

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
  if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
  *clsid = GUID_NULL;
  return Guarded([&] {
    const auto name = codepage::StrictWideToUtf8(progId);
    // A "\" would reach into another key's subkeys.
    if (!name || name->empty() || name->find('\\') != std::string::npos)
      return Failed(CO_E_CLASSSTRING, "Invalid class string");
    const auto text = ReadRegistry().GetValue(*name + "\\Clsid", "");
    const auto guid = text ? ParseGuid(*text) : std::nullopt;
    if (!guid) return Failed(CO_E_CLASSSTRING, "Invalid class string: " + *name);
    *clsid = *guid;
    return S_OK;
  });
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  return Guarded([&] {
    const std::string key = "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32";
    const auto path = ReadRegistry().GetValue(key, "");
    if (!path || path->empty())
      return Failed(REGDB_E_CLASSNOTREG, "Class not registered: " + FormatGuid(clsid));
    return LoadComponentModule(*path)(clsid, iid, object);
  });
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  const HRESULT status = CoGetClassObject(clsid, IID_IClassFactory, factory.ReceiveVoid());
  if (FAILED(status)) return status;
  if (!factory) return Failed(E_UNEXPECTED, "The component module handed out no class factory");
  return Guarded([&] { return factory->CreateInstance(outer, iid, object); });
}

HRESULT CoCreateInstanceByProgID(std::u16string_view progId, IUnknown* outer, const IID& iid,
                                 void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  CLSID clsid;
  const HRESULT status = CLSIDFromProgID(std::u16string(progId).c_str(), &clsid);
  if (status == CO_E_CLASSSTRING) {
    const std::string name = codepage::StrictWideToUtf8(progId).value_or("?");
    return Failed(REGDB_E_CLASSNOTREG, "Class not registered: " + name);
  }
  if (FAILED(status)) return status;
  return CoCreateInstance(clsid, outer, iid, object);
}

std::string LastLoadError() { return lastLoadError; }

}  // namespace tavo
