// A late-bound automation client, as script hosts are: create a component by its programmatic
// identifier through the registry, call its methods by name with text arguments.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Variant.h"

namespace tavo::tool {

// A failure of the tool with the exit code it ends with: 1 for a failure status, 2 for a
// usage error. The message is UTF-8.
struct ToolFailure : std::runtime_error {
  ToolFailure(int exitCode, const std::string& message)
      : std::runtime_error(message), exitCode(exitCode) {}
  int exitCode;
};

class AutomationObject {
 public:
  explicit AutomationObject(std::u16string_view progId);

  // Calls `method` with `args` as texts (the component coerces them to the declared types) and
  // returns the method's value. A failure status is a ToolFailure with exit code 1, a bad
  // argument count or value one with exit code 2.
  ScopedVariant Call(const std::string& method, const std::vector<std::u16string>& args);

 private:
  ComPtr<IDispatch> dispatch_;
};

// "0xXXXXXXXX".
std::string StatusText(HRESULT status);
// The value as tavoprint prints it: text as UTF-8, long in decimal, VARIANT_BOOL as -1 or 0.
std::string FormatValue(const VARIANT& value);

}  // namespace tavo::tool
