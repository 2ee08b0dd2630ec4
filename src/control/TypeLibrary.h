// The type library as a static table: what hosts learn of the control, what drives late-bound
// calls (GetIDsOfNames, Invoke) and what registration writes under TypeLib and Interface.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"

namespace tavo {

enum class ParamType { Long, String, Bool };

struct ParamInfo {
  std::string_view name;
  ParamType type;
  bool retval = false;  // out, retval: the value a host sees as the call's result
};

struct MethodInfo {
  DISPID dispid;
  std::string_view name;
  std::span<const ParamInfo> params;

  // The in parameters come first; at most one out, retval parameter follows them.
  int InCount() const;
  const ParamInfo* Retval() const;
};

struct InterfaceInfo {
  std::string_view name;
  IID iid;
  std::string_view helpString;
  bool dual;  // callable through the virtual table and through IDispatch
  std::span<const MethodInfo> methods;
};

struct EnumMember {
  std::string_view name;
  int32_t value;
};

struct EnumInfo {
  std::string_view name;
  GUID guid;
  std::span<const EnumMember> members;
};

struct CoClassInfo {
  std::string_view name;
  CLSID clsid;
  std::string_view helpString;
  uint16_t majorVersion, minorVersion;
  const InterfaceInfo& defaultInterface;
  const InterfaceInfo& defaultSource;
};

// LIBFLAG_FCONTROL: the library describes a control.
inline constexpr uint16_t LIBFLAG_FCONTROL = 0x2;

struct TypeLibraryInfo {
  std::string_view name;
  GUID libid;
  std::string_view helpString;
  uint16_t majorVersion, minorVersion;
  uint16_t flags;
  std::string_view importedLibrary;  // the standard automation types, which supply IDispatch
  const InterfaceInfo& mainInterface;
  const InterfaceInfo& eventInterface;
  const CoClassInfo& coClass;
  std::span<const EnumInfo> enums;
  // Further dual interfaces of the same object, reached by QueryInterface and by name through
  // its IDispatch; the main interface keeps exactly its thirteen methods.
  std::span<const InterfaceInfo> extensionInterfaces;
};

const TypeLibraryInfo& TavoPreFmtPrinterXLibrary();

// Names compare without regard to ASCII letter case, as automation does.
bool SameAutomationName(std::string_view name, std::u16string_view candidate);

// The method of `info` with that name; null when there is none.
const MethodInfo* FindMethod(const InterfaceInfo& info, std::u16string_view name);
const MethodInfo* FindMethod(const InterfaceInfo& info, DISPID dispid);

// A method of the control object: the main interface's, else an extension interface's.
const MethodInfo* FindObjectMethod(std::u16string_view name);
const MethodInfo* FindObjectMethod(DISPID dispid);

}  // namespace tavo
