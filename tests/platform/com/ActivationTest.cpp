#include "platform/com/Activation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "component/TestComponent.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::CLSID_TestCalculator;
using test::kTestCalculatorProgId;
using ::testing::HasSubstr;

constexpr CLSID kOtherClsid{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};

std::string ClassKey(const CLSID& clsid) { return "CLSID\\" + FormatGuid(clsid); }

// Each test works on its own registry file, named by TAVO_REGISTRY.
class Activation : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-com-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ::setenv("TAVO_REGISTRY", (folder_ / "registry.reg").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TAVO_REGISTRY");
    fs::remove_all(folder_);
  }

  // Registers `clsid` as served by `module`, with the calculator's programmatic identifier.
  static void Register(const CLSID& clsid, const std::string& module) {
    ModifyRegistry([&](RegistryTree& tree) {
      tree.SetValue(ClassKey(clsid) + "\\InprocServer32", "", module);
      tree.SetValue(ClassKey(clsid) + "\\InprocServer32", "ThreadingModel", "Apartment");
      tree.SetValue("TavoTest.Calculator\\Clsid", "", FormatGuid(clsid));
    });
  }

  static std::u16string PostedDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Receive()) != S_OK) return u"(none)";
    Bstr text;
    info->GetDescription(text.Receive());
    return std::u16string(text.View());
  }

  fs::path folder_;
};

// Calls a method by name, as a script host does; arguments in call order.
HRESULT CallByName(IDispatch* object, const char16_t* name, std::vector<VARIANT> arguments,
                   VARIANT* result) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT status = object->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(status)) return status;
  std::reverse(arguments.begin(), arguments.end());
  DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
  UINT argumentError = 0;
  return object->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                        nullptr, &argumentError);
}

TEST_F(Activation, CreatesByProgIdAndByClassAndCallsThroughTheModule) {
  Register(CLSID_TestCalculator, TAVO_TEST_COMPONENT_PATH);

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(kTestCalculatorProgId, &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_TestCalculator);

  ComPtr<IDispatch> byProgId;
  ASSERT_EQ(CoCreateInstanceByProgID(kTestCalculatorProgId, nullptr, IID_IDispatch,
                                     byProgId.ReceiveVoid()),
            S_OK);
  ComPtr<IDispatch> byClass;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCalculator, nullptr, IID_IDispatch, byClass.ReceiveVoid()),
            S_OK);
  EXPECT_NE(byProgId.Get(), byClass.Get());
  EXPECT_EQ(LastLoadError(), "");

  ScopedVariant sum;
  ASSERT_EQ(CallByName(byProgId.Get(), u"add",
                       {*ScopedVariant::Long(40).Get(), *ScopedVariant::Long(2).Get()}, sum.Get()),
            S_OK);
  EXPECT_EQ(sum->vt, VT_I4);
  EXPECT_EQ(sum->lVal, 42);

  // A string made in the module is freed here, by the same runtime.
  ScopedVariant name = ScopedVariant::String(u"世界");
  ScopedVariant greeting;
  ASSERT_EQ(CallByName(byClass.Get(), u"Greet", {*name.Get()}, greeting.Get()), S_OK);
  ASSERT_EQ(greeting->vt, VT_BSTR);
  EXPECT_EQ(BstrView(greeting->bstrVal), u"你好, 世界");

  int32_t doubled = 0;
  VARIANT out;
  out.vt = VT_BYREF | VT_I4;
  out.plVal = &doubled;
  ASSERT_EQ(CallByName(byClass.Get(), u"Twice", {*ScopedVariant::Long(21).Get(), out}, nullptr),
            S_OK);
  EXPECT_EQ(doubled, 42);

  EXPECT_EQ(CallByName(byClass.Get(), u"Add", {*ScopedVariant::Long(1).Get()}, nullptr),
            DISP_E_BADPARAMCOUNT);
  ScopedVariant text = ScopedVariant::String(u"many");
  EXPECT_EQ(CallByName(byClass.Get(), u"Add", {*text.Get(), *text.Get()}, nullptr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(CallByName(byClass.Get(), u"Divide", {}, nullptr), DISP_E_UNKNOWNNAME);
}

TEST_F(Activation, ErrorInformationPostedInTheModuleReachesTheHost) {
  Register(CLSID_TestCalculator, TAVO_TEST_COMPONENT_PATH);
  ComPtr<IDispatch> calculator;
  ASSERT_EQ(
      CoCreateInstance(CLSID_TestCalculator, nullptr, IID_IDispatch, calculator.ReceiveVoid()),
      S_OK);
  const ComPtr<ISupportErrorInfo> support = calculator.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);

  EXPECT_EQ(CallByName(calculator.Get(), u"Fail", {}, nullptr), E_FAIL);
  EXPECT_EQ(PostedDescription(), u"计算失败");
}

TEST_F(Activation, UnregisteredClassesAreReportedAsSuch) {
  ComPtr<IUnknown> object;
  EXPECT_EQ(
      CoCreateInstanceByProgID(u"Nobody.Registered", nullptr, IID_IUnknown, object.ReceiveVoid()),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(PostedDescription(), u"Class not registered: Nobody.Registered");
  EXPECT_FALSE(object);

  CLSID clsid = kOtherClsid;
  EXPECT_EQ(CLSIDFromProgID(u"Nobody.Registered", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, GUID_NULL);
  EXPECT_EQ(CoCreateInstance(kOtherClsid, nullptr, IID_IUnknown, object.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_THAT(LastLoadError(), HasSubstr(FormatGuid(kOtherClsid)));

  // A ProgID cannot reach into other keys, and its class must be a GUID.
  Register(CLSID_TestCalculator, TAVO_TEST_COMPONENT_PATH);
  EXPECT_EQ(CLSIDFromProgID(u"CLSID\\{6E1A0F3C-2B4D-4C5E-9F60-718293A4B5C6}", &clsid),
            CO_E_CLASSSTRING);
  ModifyRegistry([](RegistryTree& tree) { tree.SetValue("Bad.Class\\Clsid", "", "not a guid"); });
  EXPECT_EQ(CoCreateInstanceByProgID(u"Bad.Class", nullptr, IID_IUnknown, object.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Activation, ModulesThatCannotServeFailClearly) {
  const fs::path textFile = folder_ / "not-a-library.so";
  std::ofstream(textFile) << std::string(20, '\n') +
                                 "plain text, long enough for the loader to read a whole header\n";
  struct Case {
    std::string module;
    HRESULT status;
    std::string message;
  };
  const std::vector<Case> cases{
      {textFile.string(), CO_E_ERRORINDLL,
       "Cannot load the component module '" + textFile.string() + "': "},
      {(folder_ / "missing.so").string(), CO_E_DLLNOTFOUND, "missing.so"},
      {TAVO_COM_LIBRARY_PATH, CO_E_ERRORINDLL, "does not export DllGetClassObject"},
  };
  for (const Case& c : cases) {
    Register(kOtherClsid, c.module);
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(kOtherClsid, nullptr, IID_IUnknown, object.ReceiveVoid()), c.status)
        << c.module;
    EXPECT_THAT(LastLoadError(), HasSubstr(c.message));
    const std::u16string posted = PostedDescription();
    EXPECT_EQ(std::string(posted.begin(), posted.end()), LastLoadError());
  }
  // The loader's message says why: the text file has no ELF header.
  Register(kOtherClsid, textFile.string());
  ComPtr<IUnknown> object;
  CoCreateInstance(kOtherClsid, nullptr, IID_IUnknown, object.ReceiveVoid());
  EXPECT_THAT(LastLoadError(), HasSubstr("invalid ELF header"));
}

TEST_F(Activation, TheModuleDecidesWhatItServes) {
  Register(kOtherClsid, TAVO_TEST_COMPONENT_PATH);
  ComPtr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(kOtherClsid, nullptr, IID_IUnknown, object.ReceiveVoid()),
            CLASS_E_CLASSNOTAVAILABLE);

  Register(CLSID_TestCalculator, TAVO_TEST_COMPONENT_PATH);
  ComPtr<IUnknown> outer;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCalculator, nullptr, IID_IUnknown, outer.ReceiveVoid()),
            S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalculator, outer.Get(), IID_IUnknown, object.ReceiveVoid()),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(
      CoCreateInstance(CLSID_TestCalculator, nullptr, IID_IClassFactory, object.ReceiveVoid()),
      E_NOINTERFACE);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalculator, nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Activation, ADamagedRegistryIsReportedWithItsLine) {
  std::ofstream(folder_ / "registry.reg")
      << "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\CLSID\n";
  ComPtr<IUnknown> object;
  EXPECT_EQ(
      CoCreateInstanceByProgID(kTestCalculatorProgId, nullptr, IID_IUnknown, object.ReceiveVoid()),
      REGDB_E_READREGDB);
  EXPECT_THAT(LastLoadError(), HasSubstr("damaged at line 3"));
}

TEST_F(Activation, ModulesLoadOnceForManyThreads) {
  Register(CLSID_TestCalculator, TAVO_TEST_COMPONENT_PATH);
  std::vector<std::thread> threads;
  std::vector<HRESULT> results(4, E_FAIL);
  for (size_t i = 0; i < results.size(); ++i)
    threads.emplace_back([&results, i] {
      ComPtr<IDispatch> object;
      results[i] =
          CoCreateInstance(CLSID_TestCalculator, nullptr, IID_IDispatch, object.ReceiveVoid());
    });
  for (std::thread& thread : threads) thread.join();
  for (HRESULT result : results) EXPECT_EQ(result, S_OK);
}

}  // namespace
}  // namespace tavo
