// ITavoRuleCheck: the rule checker's findings for hosts, as JSON text.
#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "printing/unitRuleCheck.h"

namespace tavo {

HRESULT TTavoPreFmtPrinter::CheckRule(BSTR XmlRule, BSTR XmlData, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoRuleCheck, [&] {
    // The same ANSI texts the print methods hand the engine, so the check reads what prints.
    const std::string rule = codepage::WideToAnsi(BstrView(XmlRule));
    const std::string data = codepage::WideToAnsi(BstrView(XmlData));
    const TRuleCheck check = tavo::CheckRule(rule, data);
    *Value = Bstr(codepage::AnsiToWide(FindingsToJson(check.findings))).Detach();
  });
}

}  // namespace tavo
