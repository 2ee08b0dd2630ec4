// The control object TTavoPreFmtPrinter: the only thing a host ever touches. It implements the
// dual interface ITavoPreFmtPrinter (virtual table and IDispatch), offers the empty event
// interface as its source, answers object safety and error-info support, and keeps no state of
// its own between calls.
#pragma once

#include <atomic>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/ErrorInfo.h"
#include "platform/com/ObjectSafety.h"

namespace tavo {

class TTavoPreFmtPrinter final : public ITavoPreFmtPrinter,
                                 public ITavoPreviewPicture,
                                 public ITavoPrintStatus,
                                 public ITavoRuleCheck,
                                 public ITavoBatchPrint,
                                 public ISupportErrorInfo,
                                 public IObjectSafety,
                                 public IConnectionPointContainer {
 public:
  // A new control object handing out `iid`; the object counts towards the module's objects.
  static HRESULT Create(const IID& iid, void** object);

  // IUnknown
  HRESULT QueryInterface(const IID& iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IDispatch, driven by the type library table.
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(const IID& iid, LPOLESTR* names, UINT count, LCID locale,
                        DISPID* ids) override;
  HRESULT Invoke(DISPID id, const IID& iid, LCID locale, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  // ITavoPreFmtPrinter
  HRESULT fprintText(int32_t X, int32_t Y, BSTR sFont, int32_t fontSize, BSTR txt) override;
  HRESULT fprintImg(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, BSTR IMG) override;
  HRESULT downloadImg(BSTR sourceImg, BSTR desImg) override;
  HRESULT fprintStart(BSTR title) override;
  HRESULT fprintEnd(BSTR title) override;
  HRESULT PrintXmlData(BSTR XmlData, BSTR XmlRule) override;
  HRESULT PreviewXmlData(BSTR XmlData, BSTR XmlRule, BSTR ImagePath) override;
  HRESULT GetVer(BSTR filepath, BSTR* Value) override;
  HRESULT GetOcxVersion(BSTR version, int32_t* Value) override;
  HRESULT SetDefaultPrinter(BSTR DefaultPrt, VARIANT_BOOL* Value) override;
  HRESULT GetDefaultPrinter(BSTR* Value) override;
  HRESULT GetPrinterList(BSTR* Value) override;
  HRESULT IFOcxGuid(BSTR ARegGuid, VARIANT_BOOL* Value) override;

  // ITavoPreviewPicture
  HRESULT RenderPreview(BSTR XmlData, BSTR XmlRule, BSTR ImagePath, BSTR* Value) override;
  HRESULT RenderPrintPage(BSTR XmlData, BSTR XmlRule, BSTR Printer, int32_t Width,
                          BSTR* Value) override;

  // ITavoPrintStatus
  HRESULT LastPrint(BSTR* Value) override;
  HRESULT JobState(int32_t Job, BSTR* Value) override;

  // ITavoRuleCheck
  HRESULT CheckRule(BSTR XmlRule, BSTR XmlData, BSTR* Value) override;
  HRESULT CheckRuleForPrinter(BSTR XmlRule, BSTR XmlData, BSTR Printer, BSTR* Value) override;

  // ITavoBatchPrint
  HRESULT PrintXmlBatch(BSTR XmlData, BSTR XmlRule, BSTR* Value) override;
  HRESULT PrintXmlBatchFiles(BSTR XmlData, BSTR XmlRule, BSTR PathPattern, int32_t Resume,
                             BSTR* Value) override;
  HRESULT BeginBatch() override;
  HRESULT EndBatch(BSTR* Value) override;

  // ISupportErrorInfo
  HRESULT InterfaceSupportsErrorInfo(const IID& iid) override;

  // IObjectSafety: one set of flags for all interfaces.
  HRESULT GetInterfaceSafetyOptions(const IID& iid, DWORD* supported, DWORD* enabled) override;
  HRESULT SetInterfaceSafetyOptions(const IID& iid, DWORD mask, DWORD enabled) override;

  // IConnectionPointContainer: the one empty event interface.
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) override;

 private:
  TTavoPreFmtPrinter();
  ~TTavoPreFmtPrinter();
  ITavoPreFmtPrinter* Self() { return this; }

  std::atomic<ULONG> references_{0};
  DWORD safetyOptions_ = 0;
  ConnectionPoint events_;
};

}  // namespace tavo
