// Late-bound calls on the control: names and dispatch ids from the type library table,
// arguments coerced to the declared types as automation does, and a failed method reported as
// DISP_E_EXCEPTION with its description, the way script hosts expect.
#include <vector>

#include "control/TavoPreFmtPrinterImpl.h"
#include "control/TypeLibrary.h"
#include "platform/com/ComPtr.h"

namespace tavo {
namespace {

VARTYPE VariantTypeOf(ParamType type) {
  switch (type) {
    case ParamType::Long:
      return VT_I4;
    case ParamType::Bool:
      return VT_BOOL;
    case ParamType::String:
      break;
  }
  return VT_BSTR;
}

// Moves the method's failure description into `exception`; the thread keeps its error
// information for hosts that ask GetErrorInfo instead.
void FillException(HRESULT status, EXCEPINFO& exception) {
  exception = EXCEPINFO{};
  exception.scode = status;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return;
  info->GetSource(&exception.bstrSource);
  info->GetDescription(&exception.bstrDescription);
  info->GetHelpFile(&exception.bstrHelpFile);
  info->GetHelpContext(&exception.dwHelpContext);
  SetErrorInfo(0, info.Get());
}

}  // namespace

HRESULT TTavoPreFmtPrinter::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT TTavoPreFmtPrinter::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT TTavoPreFmtPrinter::GetIDsOfNames(const IID& iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) {
  if (iid != GUID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const MethodInfo* method = names[0] ? FindObjectMethod(names[0]) : nullptr;
  if (method == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = method->dispid;
  // Further names are parameter names; each gets its position.
  HRESULT status = S_OK;
  for (UINT i = 1; i < count; ++i) {
    const std::u16string_view wanted = names[i] ? names[i] : u"";
    for (size_t p = 0; p < method->params.size() && ids[i] == DISPID_UNKNOWN; ++p) {
      if (SameAutomationName(method->params[p].name, wanted)) ids[i] = static_cast<DISPID>(p);
    }
    if (ids[i] == DISPID_UNKNOWN) status = DISP_E_UNKNOWNNAME;
  }
  return status;
}

HRESULT TTavoPreFmtPrinter::Invoke(DISPID id, const IID& iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (iid != GUID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const MethodInfo* method = FindObjectMethod(id);
  if (method == nullptr || (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) {
    return DISP_E_MEMBERNOTFOUND;
  }
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (params == nullptr) params = &none;
  if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  const UINT count = params->cArgs;
  if (count != static_cast<UINT>(method->InCount())) return DISP_E_BADPARAMCOUNT;
  if (count > 0 && params->rgvarg == nullptr) return E_INVALIDARG;

  // The arguments in declared order, each coerced to its parameter's type.
  std::vector<ScopedVariant> args(count);
  for (UINT i = 0; i < count; ++i) {
    const UINT position = count - 1 - i;  // rgvarg holds the last argument first
    const HRESULT status = VariantChangeType(args[i].Get(), &params->rgvarg[position], 0,
                                             VariantTypeOf(method->params[i].type));
    if (FAILED(status)) {
      if (argumentError != nullptr) *argumentError = position;
      return status;
    }
  }
  auto str = [&](int i) { return args[i]->bstrVal; };
  auto num = [&](int i) { return args[i]->lVal; };

  BSTR text = nullptr;
  int32_t number = 0;
  VARIANT_BOOL flag = VARIANT_FALSE;
  HRESULT status = E_UNEXPECTED;
  switch (id) {
    case 201:
      status = fprintText(num(0), num(1), str(2), num(3), str(4));
      break;
    case 202:
      status = fprintImg(num(0), num(1), num(2), num(3), str(4));
      break;
    case 203:
      status = downloadImg(str(0), str(1));
      break;
    case 204:
      status = fprintStart(str(0));
      break;
    case 205:
      status = fprintEnd(str(0));
      break;
    case 206:
      status = PrintXmlData(str(0), str(1));
      break;
    case 207:
      status = PreviewXmlData(str(0), str(1), str(2));
      break;
    case 208:
      status = GetVer(str(0), &text);
      break;
    case 209:
      status = GetOcxVersion(str(0), &number);
      break;
    case 210:
      status = SetDefaultPrinter(str(0), &flag);
      break;
    case 211:
      status = GetDefaultPrinter(&text);
      break;
    case 212:
      status = GetPrinterList(&text);
      break;
    case 213:
      status = IFOcxGuid(str(0), &flag);
      break;
    case 301:
      status = RenderPreview(str(0), str(1), str(2), &text);
      break;
    case 302:
      status = RenderPrintPage(str(0), str(1), str(2), num(3), &text);
      break;
    case 401:
      status = LastPrint(&text);
      break;
    case 402:
      status = JobState(num(0), &text);
      break;
    case 501:
      status = CheckRule(str(0), str(1), &text);
      break;
    case 502:
      status = CheckRuleForPrinter(str(0), str(1), str(2), &text);
      break;
    case 601:
      status = PrintXmlBatch(str(0), str(1), &text);
      break;
    case 602:
      status = PrintXmlBatchFiles(str(0), str(1), str(2), num(3), &text);
      break;
    case 603:
      status = BeginBatch();
      break;
    case 604:
      status = EndBatch(&text);
      break;
  }
  Bstr ownedText = Bstr::Attach(text);
  if (FAILED(status)) {
    if (exception == nullptr) return status;
    FillException(status, *exception);
    return DISP_E_EXCEPTION;
  }
  if (result != nullptr) {
    VariantInit(result);
    if (const ParamInfo* retval = method->Retval()) {
      result->vt = VariantTypeOf(retval->type);
      if (retval->type == ParamType::String) {
        result->bstrVal = ownedText.Detach();
      } else if (retval->type == ParamType::Long) {
        result->lVal = number;
      } else {
        result->boolVal = flag;
      }
    }
  }
  return S_OK;
}

}  // namespace tavo
