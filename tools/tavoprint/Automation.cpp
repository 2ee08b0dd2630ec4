#include "Automation.h"

#include "Translation.h"

#include <cstdio>

#include "platform/codepage/CodePage.h"
#include "platform/com/Activation.h"
#include "platform/com/Bstr.h"
#include "platform/com/ErrorInfo.h"

namespace tavo::tool {
namespace {

// The description of the last failure, from the thread's error information.
std::string ThreadErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return {};
  Bstr description;
  info->GetDescription(description.Receive());
  return codepage::WideToUtf8(description.View());
}

}  // namespace

std::string StatusText(HRESULT status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return text;
}

std::string FormatValue(const VARIANT& value) {
  switch (value.vt) {
    case VT_BSTR:
      return codepage::WideToUtf8(BstrView(value.bstrVal));
    case VT_I4:
      return std::to_string(value.lVal);
    case VT_BOOL:
      return value.boolVal ? "-1" : "0";
    default:
      return {};
  }
}

AutomationObject::AutomationObject(std::u16string_view progId) {
  const HRESULT status =
      CoCreateInstanceByProgID(progId, nullptr, IID_IDispatch, dispatch_.ReceiveVoid());
  if (FAILED(status)) {
    std::string reason = LastLoadError();
    if (status == REGDB_E_CLASSNOTREG)
      reason =
          Tr("Class not registered; register it with 'tavoprint register' (for you) or, as "
             "root, 'tavoprint register --machine' (for every user of the machine)");
    else if (reason.empty())
      reason = Tr("is it registered? run 'tavoprint register' first");
    throw ToolFailure(1, Tr("cannot create %1 (%2): %3",
                            {codepage::WideToUtf8(progId), StatusText(status), reason}));
  }
}

ScopedVariant AutomationObject::Call(const std::string& method,
                                     const std::vector<std::u16string>& args) {
  std::u16string name = codepage::Utf8ToWide(method);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  if (dispatch_->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) != S_OK) {
    throw ToolFailure(2, Tr("the control has no method %1", {method}));
  }
  // The arguments go last first, as automation passes them.
  std::vector<ScopedVariant> values;
  values.reserve(args.size());
  for (auto it = args.rbegin(); it != args.rend(); ++it)
    values.push_back(ScopedVariant::String(*it));
  std::vector<VARIANTARG> raw;
  for (ScopedVariant& value : values) raw.push_back(*value.Get());
  DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};

  ScopedVariant result;
  EXCEPINFO exception{};
  UINT argumentError = 0;
  const HRESULT status = dispatch_->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                           &params, result.Get(), &exception, &argumentError);
  if (status == DISP_E_EXCEPTION) {
    const HRESULT methodStatus = exception.scode;
    std::string description = codepage::WideToUtf8(BstrView(exception.bstrDescription));
    ClearExcepInfo(&exception);
    throw ToolFailure(1, Tr("%1 failed (%2): %3", {method, StatusText(methodStatus), description}));
  }
  if (status == DISP_E_BADPARAMCOUNT) {
    throw ToolFailure(2, Tr("%1 takes a different number of arguments", {method}));
  }
  if (status == DISP_E_TYPEMISMATCH || status == DISP_E_OVERFLOW) {
    const size_t position = args.size() - 1 - argumentError;
    throw ToolFailure(
        2, Tr("argument %1 of %2 is not a valid value", {std::to_string(position + 1), method}));
  }
  if (FAILED(status)) {
    throw ToolFailure(
        1, Tr("%1 failed (%2): %3", {method, StatusText(status), ThreadErrorDescription()}));
  }
  return result;
}

}  // namespace tavo::tool
