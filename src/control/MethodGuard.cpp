#include "control/MethodGuard.h"

#include <new>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/codepage/CodePage.h"
#include "platform/com/ErrorInfo.h"
#include "platform/core/Error.h"

namespace tavo {

HRESULT ReportFailure(std::exception_ptr failure, const IID& iid) {
  HRESULT status = E_UNEXPECTED;
  std::string message;
  try {
    std::rethrow_exception(failure);
  } catch (const OleError& error) {
    if (error.Status() < 0) status = error.Status();
    message = error.what();
  } catch (const std::bad_alloc&) {
    message = "Out of memory";
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = "Unexpected failure";
  }
  std::u16string description;
  try {
    description = codepage::AnsiToWide(message);
  } catch (...) {
    description = codepage::Utf8ToWide(message);
  }
  PostErrorInfo(iid, kProgId, description, 0);
  return status;
}

}  // namespace tavo
