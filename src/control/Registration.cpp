#include "control/Registration.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "control/TypeLibrary.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

// The automation marshalers of dual and dispatch interfaces.
constexpr const char* kDualMarshaler = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchMarshaler = "{00020420-0000-0000-C000-000000000046}";
// The type library's platform key: 64-bit Linux, beside Windows' "win32" and "win64".
constexpr const char* kTypeLibPlatform = "linux64";
// The miscellaneous status registered: the given 0x12000 with 0x20191.
constexpr int kMiscStatus = 0x12000 | 0x20191;
constexpr int kToolboxBitmap = 1;

std::string Text(std::string_view view) { return std::string(view); }

std::string VersionText(uint16_t major, uint16_t minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

std::string ClassKey() { return "CLSID\\" + FormatGuid(CLASS_TavoPreFmtPrinter); }
std::string TypeLibKey() { return "TypeLib\\" + FormatGuid(LIBID_TavoPreFmtPrinterX); }

void DeleteTree(RegistryTree& registry, const std::string& key) {
  for (const std::string& sub : registry.SubKeyNames(key)) DeleteTree(registry, key + "\\" + sub);
  registry.DeleteKey(key);
}

void RegisterInterface(RegistryTree& registry, const InterfaceInfo& info, const char* marshaler,
                       const TypeLibraryInfo& library) {
  const std::string key = "Interface\\" + FormatGuid(info.iid);
  registry.SetValue(key, "", Text(info.name));
  registry.SetValue(key + "\\ProxyStubClsid32", "", marshaler);
  registry.SetValue(key + "\\TypeLib", "", FormatGuid(library.libid));
  registry.SetValue(key + "\\TypeLib", "Version",
                    VersionText(library.majorVersion, library.minorVersion));
}

void RegisterTypeLib(RegistryTree& registry, const std::string& modulePath) {
  const TypeLibraryInfo& library = TavoPreFmtPrinterXLibrary();
  const std::string key =
      TypeLibKey() + "\\" + VersionText(library.majorVersion, library.minorVersion);
  registry.SetValue(key, "", Text(library.helpString));
  registry.SetValue(key + "\\FLAGS", "", std::to_string(library.flags));
  registry.SetValue(key + "\\0\\" + kTypeLibPlatform, "", modulePath);
  registry.SetValue(key + "\\HELPDIR", "",
                    std::filesystem::path(modulePath).parent_path().string());
  RegisterInterface(registry, library.mainInterface, kDualMarshaler, library);
  RegisterInterface(registry, library.eventInterface, kDispatchMarshaler, library);
  for (const InterfaceInfo& info : library.extensionInterfaces)
    RegisterInterface(registry, info, kDualMarshaler, library);
}

void UnregisterTypeLib(RegistryTree& registry) {
  const TypeLibraryInfo& library = TavoPreFmtPrinterXLibrary();
  for (const InterfaceInfo* info : {&library.mainInterface, &library.eventInterface}) {
    DeleteTree(registry, "Interface\\" + FormatGuid(info->iid));
  }
  for (const InterfaceInfo& info : library.extensionInterfaces)
    DeleteTree(registry, "Interface\\" + FormatGuid(info.iid));
  DeleteTree(registry,
             TypeLibKey() + "\\" + VersionText(library.majorVersion, library.minorVersion));
  if (registry.SubKeyNames(TypeLibKey()).empty()) registry.DeleteKey(TypeLibKey());
}

}  // namespace

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || info.dli_fname == nullptr) {
    throw Error("The module's own file cannot be found");
  }
  std::unique_ptr<char, decltype(&std::free)> full(realpath(info.dli_fname, nullptr), &std::free);
  return full ? std::string(full.get()) : std::string(info.dli_fname);
}

void RegisterControl(RegistryTree& registry, const std::string& modulePath) {
  const TypeLibraryInfo& library = TavoPreFmtPrinterXLibrary();
  const CoClassInfo& coClass = library.coClass;
  const std::string classKey = ClassKey();
  const std::string progId = Text(library.name) + "." + Text(coClass.name);
  const std::string description = Text(coClass.helpString);

  RegisterTypeLib(registry, modulePath);
  registry.SetValue(classKey, "", description);
  // No 8.3 short names exist here: the path is registered as it is.
  registry.SetValue(classKey + "\\InprocServer32", "", modulePath);
  registry.SetValue(classKey + "\\InprocServer32", "ThreadingModel", "Apartment");
  registry.SetValue(progId, "", description);
  registry.SetValue(progId + "\\Clsid", "", FormatGuid(coClass.clsid));
  registry.SetValue(classKey + "\\ProgID", "", progId);
  registry.SetValue(classKey + "\\Version", "",
                    VersionText(library.majorVersion, library.minorVersion));
  registry.SetValue(classKey + "\\TypeLib", "", FormatGuid(library.libid));
  registry.SetValue(classKey + "\\MiscStatus", "", "0");
  registry.SetValue(classKey + "\\MiscStatus\\1", "", std::to_string(kMiscStatus));
  registry.SetValue(classKey + "\\ToolboxBitmap32", "",
                    modulePath + "," + std::to_string(kToolboxBitmap));
  registry.SetValue(classKey + "\\Control", "", "");
  registry.SetValue(classKey + "\\Verb", "", "");
  registry.SetValue(classKey + "\\Verb\\0", "", "Properties,0,2");
}

void UnregisterControl(RegistryTree& registry) {
  const TypeLibraryInfo& library = TavoPreFmtPrinterXLibrary();
  const std::string classKey = ClassKey();
  const std::string progId = Text(library.name) + "." + Text(library.coClass.name);

  UnregisterTypeLib(registry);
  for (const char* sub : {"Verb\\0", "Verb", "Control", "ToolboxBitmap32", "MiscStatus\\1",
                          "MiscStatus", "TypeLib", "Version", "ProgID"}) {
    registry.DeleteKey(classKey + "\\" + sub);
  }
  registry.DeleteKey(progId + "\\Clsid");
  registry.DeleteKey(progId);
  registry.DeleteKey(classKey + "\\InprocServer32");
  registry.DeleteKey(classKey);
}

}  // namespace tavo
