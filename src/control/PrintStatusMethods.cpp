// ITavoPrintStatus: the outcome of the last print and the state of spooled jobs.
#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/core/Error.h"

namespace tavo {

HRESULT TTavoPreFmtPrinter::LastPrint(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPrintStatus,
                 [] { throw OleError("LastPrint is not available in this version", E_NOTIMPL); });
}

HRESULT TTavoPreFmtPrinter::JobState(int32_t, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPrintStatus,
                 [] { throw OleError("JobState is not available in this version", E_NOTIMPL); });
}

}  // namespace tavo
