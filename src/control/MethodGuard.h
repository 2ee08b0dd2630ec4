// The guard around every automation method body: a failure never crosses the interface; it
// becomes the method's status, with the failure's message posted as the thread's error
// information for the host to show.
#pragma once

#include <exception>
#include <string>

#include "platform/com/HResult.h"

namespace tavo {

// Posts the error information of a failed method and returns its status: the carried negative
// status of an OLE error, E_UNEXPECTED for every other failure.
HRESULT ReportFailure(std::exception_ptr failure);

template <typename Body>
HRESULT Guarded(Body&& body) {
  try {
    body();
    return S_OK;
  } catch (...) {
    return ReportFailure(std::current_exception());
  }
}

}  // namespace tavo
