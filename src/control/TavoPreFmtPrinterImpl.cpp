#include "control/TavoPreFmtPrinterImpl.h"

#include <new>

#include "control/ModuleState.h"

namespace tavo {

TTavoPreFmtPrinter::TTavoPreFmtPrinter() : events_(*Self(), DIID_ITavoPreFmtPrinterEvents) {
  ++Module().objects;
}

TTavoPreFmtPrinter::~TTavoPreFmtPrinter() { --Module().objects; }

HRESULT TTavoPreFmtPrinter::Create(const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  auto* control = new (std::nothrow) TTavoPreFmtPrinter;
  if (control == nullptr) return E_OUTOFMEMORY;
  control->AddRef();
  const HRESULT status = control->QueryInterface(iid, object);
  control->Release();
  return status;
}

HRESULT TTavoPreFmtPrinter::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ITavoPreFmtPrinter) {
    *object = Self();
  } else if (iid == IID_ITavoPreviewPicture) {
    *object = static_cast<ITavoPreviewPicture*>(this);
  } else if (iid == IID_ITavoPrintStatus) {
    *object = static_cast<ITavoPrintStatus*>(this);
  } else if (iid == IID_ITavoRuleCheck) {
    *object = static_cast<ITavoRuleCheck*>(this);
  } else if (iid == IID_ITavoBatchPrint) {
    *object = static_cast<ITavoBatchPrint*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else if (iid == IID_IObjectSafety) {
    *object = static_cast<IObjectSafety*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TTavoPreFmtPrinter::AddRef() { return ++references_; }

ULONG TTavoPreFmtPrinter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT TTavoPreFmtPrinter::InterfaceSupportsErrorInfo(const IID& iid) {
  const bool ours = iid == IID_ITavoPreFmtPrinter || iid == IID_ITavoPreviewPicture ||
                    iid == IID_ITavoPrintStatus || iid == IID_ITavoRuleCheck ||
                    iid == IID_ITavoBatchPrint;
  return ours ? S_OK : S_FALSE;
}

HRESULT TTavoPreFmtPrinter::GetInterfaceSafetyOptions(const IID& iid, DWORD* supported,
                                                      DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  constexpr DWORD kSafe = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  void* probe = nullptr;
  const HRESULT status = QueryInterface(iid, &probe);
  if (FAILED(status)) {
    *supported = 0;
    *enabled = 0;
    return status;
  }
  static_cast<IUnknown*>(probe)->Release();
  *supported = kSafe;
  *enabled = safetyOptions_ & kSafe;
  return S_OK;
}

HRESULT TTavoPreFmtPrinter::SetInterfaceSafetyOptions(const IID& iid, DWORD mask, DWORD enabled) {
  void* probe = nullptr;
  const HRESULT status = QueryInterface(iid, &probe);
  if (FAILED(status)) return status;
  static_cast<IUnknown*>(probe)->Release();
  safetyOptions_ = (safetyOptions_ & ~mask) | (enabled & mask);
  return S_OK;
}

HRESULT TTavoPreFmtPrinter::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points != nullptr) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT TTavoPreFmtPrinter::FindConnectionPoint(const IID& iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (iid != DIID_ITavoPreFmtPrinterEvents) return CONNECT_E_NOCONNECTION;
  events_.AddRef();
  *point = &events_;
  return S_OK;
}

}  // namespace tavo
