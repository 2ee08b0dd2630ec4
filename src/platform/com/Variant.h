// Automation values: the tagged VARIANT that late-bound calls pass their arguments and results
// in, with the types the control's interface uses, and the conversions between them.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/com/Bstr.h"
#include "platform/com/ComApi.h"
#include "platform/com/HResult.h"

namespace tavo {

class IUnknown;
class IDispatch;

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;  // only by reference
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_BYREF = 0x4000;

// Flag of VariantChangeType: a boolean becomes "True" or "False" rather than "-1" or "0".
inline constexpr uint16_t VARIANT_ALPHABOOL = 0x02;

struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1, wReserved2, wReserved3;
  union {
    int16_t iVal;
    int32_t lVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    int16_t* piVal;
    int32_t* plVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    HRESULT* pscode;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    VARIANT* pvarVal;
  };
};

using VARIANTARG = VARIANT;

TAVO_COM_API void VariantInit(VARIANT* value);
// Frees what the value owns (its string, its object reference; never what a reference points
// to) and leaves it empty. DISP_E_BADVARTYPE, and nothing changes, for a type not listed above.
TAVO_COM_API HRESULT VariantClear(VARIANT* value);
// A deep copy (a new string, another object reference); a by-reference value copies the
// reference. `target` is cleared first.
TAVO_COM_API HRESULT VariantCopy(VARIANT* target, const VARIANT* source);
// As VariantCopy, but a by-reference source is copied as the value it refers to.
TAVO_COM_API HRESULT VariantCopyInd(VARIANT* target, const VARIANT* source);
// Converts `source` (by reference or not) to the type `type`, into `target`, which may be
// `source` itself. Integers, reals, booleans and decimal text convert to one another; text
// that is no number, null, objects and errors give DISP_E_TYPEMISMATCH; numbers outside the
// target's range give DISP_E_OVERFLOW. On failure `target` is unchanged.
TAVO_COM_API HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, uint16_t flags,
                                       VARTYPE type);

// Owns one VARIANT and clears it on every path.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  TAVO_COM_API static ScopedVariant Long(int32_t value);
  TAVO_COM_API static ScopedVariant Bool(bool value);
  // An Error when memory runs out.
  TAVO_COM_API static ScopedVariant String(std::u16string_view text);

  ScopedVariant(ScopedVariant&& other) noexcept : value_(other.value_) {
    VariantInit(&other.value_);
  }

  VARIANT* Get() { return &value_; }
  const VARIANT* Get() const { return &value_; }
  VARIANT* operator->() { return &value_; }
  const VARIANT* operator->() const { return &value_; }

 private:
  VARIANT value_;
};

}  // namespace tavo
