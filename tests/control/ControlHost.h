// The control as a host meets it: the built module registered in a registry file of the test's
// own, the object created by its programmatic identifier through the component runtime, and
// its methods called by name.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "platform/com/ClassFactory.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Variant.h"

namespace tavo::testing {

// A registry file in a folder of its own, named by TAVO_REGISTRY while this object lives.
class ScopedRegistry {
 public:
  ScopedRegistry();
  ~ScopedRegistry();
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path File() const { return folder_ / "registry.reg"; }

 private:
  std::filesystem::path folder_;
};

// The built module file, loaded as a registration tool loads it. It stays in the process, as
// the component runtime keeps every module it loads.
class ControlModule {
 public:
  ControlModule();

  static std::string Path();
  HRESULT Register() const;
  HRESULT Unregister() const;
  HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object) const;
  HRESULT CanUnloadNow() const;

 private:
  void* Entry(const char* name) const;

  void* handle_ = nullptr;
};

// The thread's error description, taken (and so cleared) from its error information.
std::u16string TakeErrorDescription();

// One argument of a late-bound call: a long or a text.
struct Arg {
  Arg(int32_t number) : value(number) {}
  Arg(const char16_t* text) : value(std::u16string(text)) {}
  Arg(std::u16string text) : value(std::move(text)) {}
  ScopedVariant Make() const;

  std::variant<int32_t, std::u16string> value;
};

struct CallOutcome {
  HRESULT status = E_FAIL;        // what GetIDsOfNames or Invoke returned
  ScopedVariant value;            // the method's value
  HRESULT scode = S_OK;           // the method's status, on DISP_E_EXCEPTION
  std::u16string description;     // and its description
  UINT argumentError = UINT(-1);  // the argument that could not be coerced
};

// Calls `method` by name with `args` in call order, as a script host does.
CallOutcome Call(IDispatch& control, std::u16string_view method, const std::vector<Arg>& args);
std::u16string TextOf(const CallOutcome& outcome);

// Each test: a fresh registry with the control registered, and one control object.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { control_.Reset(); }

  CallOutcome Call(std::u16string_view method, const std::vector<Arg>& args = {}) {
    return testing::Call(*control_.Get(), method, args);
  }

  ScopedRegistry registry_;
  ControlModule module_;
  ComPtr<IDispatch> control_;
};

}  // namespace tavo::testing
