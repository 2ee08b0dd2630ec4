// ITavoRuleCheck: the rule checker's findings for hosts.
#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/core/Error.h"

namespace tavo {

HRESULT TTavoPreFmtPrinter::CheckRule(BSTR, BSTR, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoRuleCheck,
                 [] { throw OleError("CheckRule is not available in this version", E_NOTIMPL); });
}

}  // namespace tavo
