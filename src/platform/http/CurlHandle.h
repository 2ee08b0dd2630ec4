// An owned libcurl easy handle.
#pragma once

#include <curl/curl.h>

namespace tavo::http {

class CurlHandle {
 public:
  // Initialises libcurl once per process; throws tavo::Error when no handle can be made.
  CurlHandle();
  ~CurlHandle();
  CurlHandle(const CurlHandle&) = delete;
  CurlHandle& operator=(const CurlHandle&) = delete;

  CURL* get() const { return handle_; }

 private:
  CURL* handle_;
};

}  // namespace tavo::http
