#include "platform/http/CurlHandle.h"

#include <mutex>

#include "platform/core/Error.h"

namespace tavo::http {

CurlHandle::CurlHandle() {
  static std::once_flag initialised;
  static CURLcode initResult = CURLE_OK;
  std::call_once(initialised, [] { initResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (initResult != CURLE_OK) {
    throw Error(std::string("Cannot initialise the HTTP client: ") +
                curl_easy_strerror(initResult));
  }
  handle_ = curl_easy_init();
  if (!handle_) throw Error("Cannot create an HTTP client");
}

CurlHandle::~CurlHandle() { curl_easy_cleanup(handle_); }

}  // namespace tavo::http
