#include "TestComponent.h"

#include <atomic>
#include <cstring>
#include <string>

#include "platform/com/ClassFactory.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ErrorInfo.h"

namespace tavo::test {
namespace {

std::atomic<int> liveObjects{0};

struct Method {
  const char16_t* name;
  DISPID id;
  UINT parameters;
};
constexpr Method kMethods[] = {{u"Add", kDispAdd, 2},
                               {u"Greet", kDispGreet, 1},
                               {u"Fail", kDispFail, 0},
                               {u"Twice", kDispTwice, 2}};

bool SameNameNoCase(const char16_t* a, const char16_t* b) {
  const auto fold = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (fold(*a) != fold(*b)) return false;
  return *a == *b;
}

class Calculator final : public IDispatch, public ISupportErrorInfo {
 public:
  Calculator() { ++liveObjects; }

  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
      *object = static_cast<ISupportErrorInfo*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT InterfaceSupportsErrorInfo(const IID& iid) override {
    return iid == IID_IDispatch ? S_OK : S_FALSE;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(const IID&, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Method& method : kMethods)
      if (SameNameNoCase(names[0], method.name)) ids[0] = method.id;
    // The only method parameters named here are none; any further name is unknown.
    return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }

  HRESULT Invoke(DISPID id, const IID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO*, UINT* argumentError) override {
    const Method* method = nullptr;
    for (const Method& m : kMethods)
      if (m.id == id) method = &m;
    if (method == nullptr || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params == nullptr || params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != method->parameters) return DISP_E_BADPARAMCOUNT;
    // Arguments arrive last first.
    const auto argument = [&](UINT index, VARTYPE type, VARIANT& value) {
      const HRESULT status =
          VariantChangeType(&value, &params->rgvarg[params->cArgs - 1 - index], 0, type);
      if (FAILED(status) && argumentError != nullptr) *argumentError = params->cArgs - 1 - index;
      return status;
    };
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    HRESULT status = S_OK;
    switch (id) {
      case kDispAdd:
        if (SUCCEEDED(status = argument(0, VT_I4, a)) &&
            SUCCEEDED(status = argument(1, VT_I4, b))) {
          if (result != nullptr) {
            VariantClear(result);
            result->vt = VT_I4;
            result->lVal = a.lVal + b.lVal;
          }
        }
        break;
      case kDispGreet:
        if (SUCCEEDED(status = argument(0, VT_BSTR, a)) && result != nullptr) {
          const std::u16string text = u"你好, " + std::u16string(BstrView(a.bstrVal));
          VariantClear(result);
          result->vt = VT_BSTR;
          result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        break;
      case kDispFail:
        PostErrorInfo(IID_IDispatch, kTestCalculatorProgId, u"计算失败", 42);
        status = E_FAIL;
        break;
      case kDispTwice: {
        VARIANT& out = params->rgvarg[0];
        if (out.vt != (VT_BYREF | VT_I4) || out.plVal == nullptr) {
          status = DISP_E_TYPEMISMATCH;
        } else if (SUCCEEDED(status = argument(0, VT_I4, a))) {
          *out.plVal = a.lVal * 2;
        }
        break;
      }
    }
    VariantClear(&a);
    VariantClear(&b);
    return status;
  }

 private:
  ~Calculator() { --liveObjects; }
  std::atomic<ULONG> references_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // The factory lives as long as the module.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* calculator = new Calculator;
    const HRESULT status = calculator->QueryInterface(iid, object);
    calculator->Release();
    return status;
  }
  HRESULT LockServer(bool) override { return S_OK; }
};

Factory factory;

}  // namespace
}  // namespace tavo::test

extern "C" tavo::HRESULT DllGetClassObject(const tavo::CLSID& clsid, const tavo::IID& iid,
                                           void** object) {
  if (object == nullptr) return tavo::E_POINTER;
  *object = nullptr;
  if (clsid != tavo::test::CLSID_TestCalculator) return tavo::CLASS_E_CLASSNOTAVAILABLE;
  return tavo::test::factory.QueryInterface(iid, object);
}

extern "C" tavo::HRESULT DllCanUnloadNow() {
  return tavo::test::liveObjects == 0 ? tavo::S_OK : tavo::S_FALSE;
}
