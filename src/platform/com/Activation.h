// Creating component objects through the registry, as a host does: the programmatic
// identifier's "Clsid" key names the class; the class's "InprocServer32" key names the module
// (a full path); the module is loaded, its DllGetClassObject hands out the class factory, and
// the factory creates the object.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/Bstr.h"
#include "platform/com/ComApi.h"
#include "platform/com/Unknown.h"

namespace tavo {

// The class of HKEY_CLASSES_ROOT\<progId>\Clsid. CO_E_CLASSSTRING when the identifier is not
// registered or its class text is no GUID; REGDB_E_READREGDB when the registry is unreadable.
TAVO_COM_API HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);

// The class object (usually IClassFactory) of `clsid` from its module.
// REGDB_E_CLASSNOTREG: the class has no InprocServer32 module; CO_E_DLLNOTFOUND: the module
// file is missing; CO_E_ERRORINDLL: it is no loadable library or lacks DllGetClassObject;
// REGDB_E_READREGDB: the registry is unreadable; else whatever DllGetClassObject answers.
TAVO_COM_API HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object);

// A new object of `clsid`, through its class factory. Failures as CoGetClassObject, or the
// factory's own.
TAVO_COM_API HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid,
                                      void** object);

// As CoCreateInstance, the class named by a programmatic identifier; an identifier that is
// not registered gives REGDB_E_CLASSNOTREG.
TAVO_COM_API HRESULT CoCreateInstanceByProgID(std::u16string_view progId, IUnknown* outer,
                                              const IID& iid, void** object);

// Why the calling thread's last CoGetClassObject, CoCreateInstance or CLSIDFromProgID call
// failed (UTF-8), e.g. the loader's reason a module could not be loaded; empty after a call
// that succeeded. The same text is posted as the thread's error information.
TAVO_COM_API std::string LastLoadError();

}  // namespace tavo
