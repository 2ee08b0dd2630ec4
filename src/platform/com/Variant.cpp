#include "platform/com/Variant.h"

#include "platform/com/Dispatch.h"
#include "platform/com/VariantValue.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

bool IsKnownType(VARTYPE type) {
  const VARTYPE base = type & ~VT_BYREF;
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
      return base == type;
    case VT_VARIANT:
      return base != type;
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
      return true;
    default:
      return false;
  }
}

// The object reference a value owns, if any.
IUnknown* OwnedObject(const VARIANT& value) {
  if (value.vt == VT_UNKNOWN) return value.punkVal;
  if (value.vt == VT_DISPATCH) return value.pdispVal;
  return nullptr;
}

// Copies a value that is not by reference.
HRESULT CopyDirect(VARIANT& target, const VARIANT& source) {
  VARIANT copy = source;
  if (source.vt == VT_BSTR && source.bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(source.bstrVal, SysStringLen(source.bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  }
  if (IUnknown* object = OwnedObject(copy)) object->AddRef();
  VariantClear(&target);
  target = copy;
  return S_OK;
}

}  // namespace

void VariantInit(VARIANT* value) {
  value->vt = VT_EMPTY;
  value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
  value->dblVal = 0;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  if (!IsKnownType(value->vt)) return DISP_E_BADVARTYPE;
  if (value->vt == VT_BSTR) SysFreeString(value->bstrVal);
  if (IUnknown* object = OwnedObject(*value)) object->Release();
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (!IsKnownType(source->vt)) return DISP_E_BADVARTYPE;
  if (target == source) return S_OK;
  return CopyDirect(*target, *source);
}

HRESULT VariantCopyInd(VARIANT* target, const VARIANT* source) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (!IsKnownType(source->vt)) return DISP_E_BADVARTYPE;
  VARIANT value;
  if (!DereferenceVariant(*source, value)) return E_INVALIDARG;
  if (target == source && (source->vt & VT_BYREF) == 0) return S_OK;
  return CopyDirect(*target, value);
}

ScopedVariant ScopedVariant::Long(int32_t value) {
  ScopedVariant result;
  result.value_.vt = VT_I4;
  result.value_.lVal = value;
  return result;
}

ScopedVariant ScopedVariant::Bool(bool value) {
  ScopedVariant result;
  result.value_.vt = VT_BOOL;
  result.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return result;
}

ScopedVariant ScopedVariant::String(std::u16string_view text) {
  ScopedVariant result;
  result.value_.bstrVal = Bstr(text).Detach();
  result.value_.vt = VT_BSTR;
  return result;
}

bool DereferenceVariant(const VARIANT& source, VARIANT& value) {
  VariantInit(&value);
  if ((source.vt & VT_BYREF) == 0) {
    value = source;
    return true;
  }
  if (source.pvarVal == nullptr) return false;
  value.vt = source.vt & ~VT_BYREF;
  switch (value.vt) {
    case VT_I2:
      value.iVal = *source.piVal;
      break;
    case VT_I4:
      value.lVal = *source.plVal;
      break;
    case VT_R8:
      value.dblVal = *source.pdblVal;
      break;
    case VT_BOOL:
      value.boolVal = *source.pboolVal;
      break;
    case VT_ERROR:
      value.scode = *source.pscode;
      break;
    case VT_BSTR:
      value.bstrVal = *source.pbstrVal;
      break;
    case VT_UNKNOWN:
      value.punkVal = *source.ppunkVal;
      break;
    case VT_DISPATCH:
      value.pdispVal = *source.ppdispVal;
      break;
    case VT_VARIANT:
      if ((source.pvarVal->vt & VT_BYREF) != 0) return false;
      value = *source.pvarVal;
      break;
  }
  return true;
}

}  // namespace tavo
