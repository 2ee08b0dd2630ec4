// A benchmark's host call: a method of the control by name, late-bound, as tavoprint and the
// bridge's workers make it. Header-only: each benchmark program is one file beside it.
#pragma once

#include <string>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/com/Bstr.h"
#include "platform/com/Dispatch.h"

namespace tavo::bench {

struct LateBoundResult {
  HRESULT status = E_FAIL;  // Invoke's
  ScopedVariant value;
  HRESULT methodStatus = S_OK;  // what the method raised, with
  std::string description;      // its error text
};

inline LateBoundResult CallByName(IDispatch* control, const char16_t* method,
                                  const std::vector<std::u16string>& args) {
  LateBoundResult result;
  std::u16string name = method;
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  if (control->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) != S_OK) return result;
  // The arguments go last first, as automation passes them.
  std::vector<ScopedVariant> values;
  for (auto it = args.rbegin(); it != args.rend(); ++it)
    values.push_back(ScopedVariant::String(*it));
  std::vector<VARIANTARG> raw;
  for (ScopedVariant& value : values) raw.push_back(*value.Get());
  DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
  EXCEPINFO exception{};
  UINT argumentError = 0;
  result.status = control->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  result.value.Get(), &exception, &argumentError);
  if (FAILED(result.status)) {
    result.methodStatus = exception.scode;
    result.description = codepage::WideToUtf8(BstrView(exception.bstrDescription));
  }
  ClearExcepInfo(&exception);
  return result;
}

}  // namespace tavo::bench
