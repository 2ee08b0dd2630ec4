// Status codes of the component runtime, with the values the system's hosts know.
#pragma once

#include <cstdint>

namespace tavo {

using HRESULT = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using UINT = uint32_t;

constexpr bool SUCCEEDED(HRESULT status) { return status >= 0; }
constexpr bool FAILED(HRESULT status) { return status < 0; }

// A failure code from its 32-bit pattern.
constexpr HRESULT HResultOf(uint32_t pattern) { return static_cast<HRESULT>(pattern); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_UNEXPECTED = HResultOf(0x8000FFFF);
inline constexpr HRESULT E_NOTIMPL = HResultOf(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = HResultOf(0x80004002);
inline constexpr HRESULT E_POINTER = HResultOf(0x80004003);
inline constexpr HRESULT E_ABORT = HResultOf(0x80004004);
inline constexpr HRESULT E_FAIL = HResultOf(0x80004005);
inline constexpr HRESULT E_ACCESSDENIED = HResultOf(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = HResultOf(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = HResultOf(0x80070057);

inline constexpr HRESULT CLASS_E_NOAGGREGATION = HResultOf(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HResultOf(0x80040111);
inline constexpr HRESULT REGDB_E_READREGDB = HResultOf(0x80040150);
inline constexpr HRESULT REGDB_E_WRITEREGDB = HResultOf(0x80040151);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = HResultOf(0x80040154);
inline constexpr HRESULT CO_E_CLASSSTRING = HResultOf(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = HResultOf(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = HResultOf(0x800401F9);
inline constexpr HRESULT SELFREG_E_TYPELIB = HResultOf(0x80040200);
inline constexpr HRESULT SELFREG_E_CLASS = HResultOf(0x80040201);

inline constexpr HRESULT CONNECT_E_NOCONNECTION = HResultOf(0x80040200);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = HResultOf(0x80040201);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = HResultOf(0x80040202);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HResultOf(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = HResultOf(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = HResultOf(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = HResultOf(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = HResultOf(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = HResultOf(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = HResultOf(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = HResultOf(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = HResultOf(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = HResultOf(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = HResultOf(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = HResultOf(0x8002000F);

inline constexpr HRESULT TYPE_E_LIBNOTREGISTERED = HResultOf(0x8002801D);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = HResultOf(0x8002802B);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = HResultOf(0x80029C4A);

}  // namespace tavo
