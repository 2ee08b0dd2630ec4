// The root interface of every component object: interface lookup and reference counting.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

namespace tavo {

inline constexpr IID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Interfaces are called across module boundaries through their virtual tables and are never
// deleted through a pointer to the interface: an object frees itself when Release takes its
// count to zero.
class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace tavo
