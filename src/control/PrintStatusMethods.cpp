// ITavoPrintStatus: the outcome of the last print and the state of spooled jobs, as JSON text.
#include <string>

#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/JsonText.h"
#include "platform/printer/PrintOutcome.h"
#include "platform/printer/system/CupsJobState.h"

namespace tavo {
namespace {

std::u16string Number(int value) { return codepage::Utf8ToWide(std::to_string(value)); }

std::u16string AnsiString(const std::string& ansi) { return JsonQuote(codepage::AnsiToWide(ansi)); }

std::u16string Utf8String(const std::string& utf8) { return JsonQuote(codepage::Utf8ToWide(utf8)); }

std::u16string LastPrintJson() {
  const std::optional<PrintOutcome> last = LastPrintOutcome();
  if (!last)
    return uR"({"printed":false,"printer":"","title":"","job":null,"message":"No print yet"})";
  return u"{\"printed\":" + std::u16string(last->Printed() ? u"true" : u"false") +
         u",\"printer\":" + AnsiString(last->printer) + u",\"title\":" + AnsiString(last->title) +
         u",\"job\":" + (last->job > 0 ? Number(last->job) : u"null") + u",\"message\":" +
         AnsiString(last->message) + u"}";
}

std::u16string JobStateJson(const CupsJobState& job) {
  std::u16string reasons;
  for (const std::string& reason : job.reasons)
    reasons += (reasons.empty() ? u"" : u",") + Utf8String(reason);
  return u"{\"job\":" + Number(job.job) + u",\"state\":" + Utf8String(job.state) +
         u",\"reasons\":[" + reasons + u"],\"message\":" + Utf8String(job.message) + u"}";
}

}  // namespace

HRESULT TTavoPreFmtPrinter::LastPrint(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPrintStatus, [&] { *Value = Bstr(LastPrintJson()).Detach(); });
}

HRESULT TTavoPreFmtPrinter::JobState(int32_t Job, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPrintStatus,
                 [&] { *Value = Bstr(JobStateJson(QueryCupsJob(Job))).Detach(); });
}

}  // namespace tavo
