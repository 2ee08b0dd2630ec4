// The guard around every automation method body: a failure never crosses the interface; it
// becomes the method's status, with the failure's message posted as the thread's error
// information for the host to show.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/com/HResult.h"

namespace tavo {

// Posts the error information of a failed method of interface `iid` and returns its status:
// the carried negative status of an OLE error, E_UNEXPECTED for every other failure.
HRESULT ReportFailure(std::exception_ptr failure, const IID& iid);

template <typename Body>
HRESULT Guarded(const IID& iid, Body&& body) {
  try {
    body();
    return S_OK;
  } catch (...) {
    return ReportFailure(std::current_exception(), iid);
  }
}

template <typename Body>
HRESULT Guarded(Body&& body) {
  return Guarded(IID_ITavoPreFmtPrinter, std::forward<Body>(body));
}

}  // namespace tavo
