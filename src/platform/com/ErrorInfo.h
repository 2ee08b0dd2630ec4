// Rich error information: a failing method posts, for the calling thread, the interface it
// failed on, its source (a programmatic identifier), a description and a help context; the
// caller picks it up once after the failure status. One slot per thread in the whole process.
#pragma once

#include <string_view>

#include "platform/com/Bstr.h"
#include "platform/com/ComApi.h"
#include "platform/com/Unknown.h"

namespace tavo {

inline constexpr IID IID_IErrorInfo{
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ICreateErrorInfo{
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
inline constexpr IID IID_ISupportErrorInfo{
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

class IErrorInfo : public IUnknown {
 public:
  virtual HRESULT GetGUID(GUID* iid) = 0;
  // The strings are new; the caller frees them.
  virtual HRESULT GetSource(BSTR* source) = 0;
  virtual HRESULT GetDescription(BSTR* description) = 0;
  virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

class ICreateErrorInfo : public IUnknown {
 public:
  virtual HRESULT SetGUID(const GUID& iid) = 0;
  virtual HRESULT SetSource(LPCOLESTR source) = 0;
  virtual HRESULT SetDescription(LPCOLESTR description) = 0;
  virtual HRESULT SetHelpFile(LPCOLESTR helpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD helpContext) = 0;

 protected:
  ~ICreateErrorInfo() = default;
};

// Tells a caller whether an interface posts error information with its failures.
class ISupportErrorInfo : public IUnknown {
 public:
  virtual HRESULT InterfaceSupportsErrorInfo(const IID& iid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

// A new, empty error object; it answers IErrorInfo too.
TAVO_COM_API HRESULT CreateErrorInfo(ICreateErrorInfo** info);
// Replaces the calling thread's error information (null clears it). `reserved` must be 0.
TAVO_COM_API HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info);
// Hands the calling thread's error information to the caller and clears it: S_OK with the
// object, or S_FALSE and null when there is none.
TAVO_COM_API HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** info);

// Creates and posts error information for the calling thread in one step.
TAVO_COM_API HRESULT PostErrorInfo(const IID& iid, std::u16string_view source,
                                   std::u16string_view description, DWORD helpContext = 0);

}  // namespace tavo
