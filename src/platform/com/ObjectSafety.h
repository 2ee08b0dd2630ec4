// How a browser asks whether a control may be scripted by, and fed data from, untrusted pages.
#pragma once

#include "platform/com/Unknown.h"

namespace tavo {

inline constexpr IID IID_IObjectSafety{
    0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};

inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
inline constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;
inline constexpr DWORD INTERFACE_USES_DISPEX = 0x4;
inline constexpr DWORD INTERFACE_USES_SECURITY_MANAGER = 0x8;

class IObjectSafety : public IUnknown {
 public:
  virtual HRESULT GetInterfaceSafetyOptions(const IID& iid, DWORD* supported, DWORD* enabled) = 0;
  virtual HRESULT SetInterfaceSafetyOptions(const IID& iid, DWORD mask, DWORD enabled) = 0;

 protected:
  ~IObjectSafety() = default;
};

}  // namespace tavo
