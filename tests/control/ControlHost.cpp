#include "control/ControlHost.h"

#include <dlfcn.h>

#include <cstdlib>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/com/Activation.h"
#include "platform/com/ErrorInfo.h"

namespace tavo::testing {

namespace fs = std::filesystem;

ScopedRegistry::ScopedRegistry() {
  std::string pattern = (fs::temp_directory_path() / "tavo-control-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
  ::setenv("TAVO_REGISTRY", File().c_str(), 1);
}

ScopedRegistry::~ScopedRegistry() {
  ::unsetenv("TAVO_REGISTRY");
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

ControlModule::ControlModule()
    : handle_(::dlopen(TAVO_CONTROL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}

std::string ControlModule::Path() { return fs::canonical(TAVO_CONTROL_MODULE_PATH).string(); }

void* ControlModule::Entry(const char* name) const {
  return handle_ == nullptr ? nullptr : ::dlsym(handle_, name);
}

HRESULT ControlModule::Register() const {
  auto entry = reinterpret_cast<DllRegisterServerFunction>(Entry("DllRegisterServer"));
  return entry ? entry() : E_FAIL;
}

HRESULT ControlModule::Unregister() const {
  auto entry = reinterpret_cast<DllRegisterServerFunction>(Entry("DllUnregisterServer"));
  return entry ? entry() : E_FAIL;
}

HRESULT ControlModule::GetClassObject(const CLSID& clsid, const IID& iid, void** object) const {
  auto entry = reinterpret_cast<DllGetClassObjectFunction>(Entry("DllGetClassObject"));
  return entry ? entry(clsid, iid, object) : E_FAIL;
}

HRESULT ControlModule::CanUnloadNow() const {
  auto entry = reinterpret_cast<DllCanUnloadNowFunction>(Entry("DllCanUnloadNow"));
  return entry ? entry() : E_FAIL;
}

std::u16string TakeErrorDescription() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Receive()) != S_OK || !info) return u"(no error information)";
  Bstr text;
  info->GetDescription(text.Receive());
  return std::u16string(text.View());
}

ScopedVariant Arg::Make() const {
  if (const auto* number = std::get_if<int32_t>(&value)) return ScopedVariant::Long(*number);
  return ScopedVariant::String(std::get<std::u16string>(value));
}

CallOutcome Call(IDispatch& control, std::u16string_view method, const std::vector<Arg>& args) {
  CallOutcome outcome;
  std::u16string name(method);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  outcome.status = control.GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(outcome.status)) return outcome;

  // Automation passes the last argument first.
  std::vector<ScopedVariant> owned;
  for (auto it = std::rbegin(args); it != std::rend(args); ++it) owned.push_back(it->Make());
  std::vector<VARIANTARG> raw;
  for (ScopedVariant& value : owned) raw.push_back(*value.Get());
  DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
  EXCEPINFO exception{};
  outcome.status = control.Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  outcome.value.Get(), &exception, &outcome.argumentError);
  if (outcome.status == DISP_E_EXCEPTION) {
    outcome.scode = exception.scode;
    outcome.description = BstrView(exception.bstrDescription);
  }
  ClearExcepInfo(&exception);
  return outcome;
}

std::u16string TextOf(const CallOutcome& outcome) {
  if (outcome.value->vt != VT_BSTR) return u"(not a text)";
  return std::u16string(BstrView(outcome.value->bstrVal));
}

void ControlTest::SetUp() {
  ASSERT_EQ(module_.Register(), S_OK) << "the module " TAVO_CONTROL_MODULE_PATH " must register";
  ASSERT_EQ(CoCreateInstanceByProgID(kProgId, nullptr, IID_IDispatch, control_.ReceiveVoid()),
            S_OK);
}

}  // namespace tavo::testing
