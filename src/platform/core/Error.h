// The failures raised inside the engine. The automation boundary turns them into status codes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavo {

// A failure with a message in the ANSI code page. The message becomes the error description the
// host sees.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A failure that carries its own negative status code, returned unchanged to the host.
class OleError : public Error {
 public:
  OleError(const std::string& message, int32_t status) : Error(message), status_(status) {}
  int32_t Status() const { return status_; }

 private:
  int32_t status_;
};

}  // namespace tavo
