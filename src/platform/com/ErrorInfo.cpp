#include "platform/com/ErrorInfo.h"

#include <atomic>
#include <new>
#include <string>

#include "platform/com/ComPtr.h"

namespace tavo {
namespace {

class ErrorObject final : public IErrorInfo, public ICreateErrorInfo {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
      *object = static_cast<IErrorInfo*>(this);
    } else if (iid == IID_ICreateErrorInfo) {
      *object = static_cast<ICreateErrorInfo*>(this);
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

  HRESULT GetGUID(GUID* iid) override {
    if (iid == nullptr) return E_INVALIDARG;
    *iid = iid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* text) override { return Copy(source_, text); }
  HRESULT GetDescription(BSTR* text) override { return Copy(description_, text); }
  HRESULT GetHelpFile(BSTR* text) override { return Copy(helpFile_, text); }
  HRESULT GetHelpContext(DWORD* helpContext) override {
    if (helpContext == nullptr) return E_INVALIDARG;
    *helpContext = helpContext_;
    return S_OK;
  }

  HRESULT SetGUID(const GUID& iid) override {
    iid_ = iid;
    return S_OK;
  }
  HRESULT SetSource(LPCOLESTR text) override { return Assign(source_, text); }
  HRESULT SetDescription(LPCOLESTR text) override { return Assign(description_, text); }
  HRESULT SetHelpFile(LPCOLESTR text) override { return Assign(helpFile_, text); }
  HRESULT SetHelpContext(DWORD helpContext) override {
    helpContext_ = helpContext;
    return S_OK;
  }

 private:
  ~ErrorObject() = default;

  static HRESULT Copy(const std::u16string& text, BSTR* target) {
    if (target == nullptr) return E_INVALIDARG;
    *target = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *target == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  static HRESULT Assign(std::u16string& field, LPCOLESTR text) {
    try {
      field = text == nullptr ? u"" : text;
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  std::atomic<ULONG> references_{1};
  GUID iid_ = GUID_NULL;
  std::u16string source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

// The calling thread's error information, shared by the host and every module it loads.
thread_local ComPtr<IErrorInfo> threadErrorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
  if (info == nullptr) return E_INVALIDARG;
  *info = new (std::nothrow) ErrorObject;
  return *info == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info) {
  if (reserved != 0) return E_INVALIDARG;
  threadErrorInfo = ComPtr<IErrorInfo>(info);
  return S_OK;
}

HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** info) {
  if (reserved != 0 || info == nullptr) return E_INVALIDARG;
  *info = threadErrorInfo.Detach();
  return *info == nullptr ? S_FALSE : S_OK;
}

HRESULT PostErrorInfo(const IID& iid, std::u16string_view source, std::u16string_view description,
                      DWORD helpContext) {
  ComPtr<ICreateErrorInfo> creator;
  HRESULT status = CreateErrorInfo(creator.Receive());
  if (FAILED(status)) return status;
  try {
    creator->SetGUID(iid);
    creator->SetSource(std::u16string(source).c_str());
    creator->SetDescription(std::u16string(description).c_str());
    creator->SetHelpContext(helpContext);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  const ComPtr<IErrorInfo> info = creator.As<IErrorInfo>(IID_IErrorInfo);
  return SetErrorInfo(0, info.Get());
}

}  // namespace tavo
