// What the module's registration leaves in the registry, what unregistration takes away, and
// how the four exports answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "control/ControlHost.h"
#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/codepage/CodePage.h"
#include "platform/com/Activation.h"
#include "platform/registry/Registry.h"

namespace tavo::testing {
namespace {

using ::testing::HasSubstr;

const std::string kClassKey = "CLSID\\" + FormatGuid(CLASS_TavoPreFmtPrinter);
const std::string kLibId = FormatGuid(LIBID_TavoPreFmtPrinterX);
const std::string kProgIdKey = "TavoPreFmtPrinterX.TavoPreFmtPrinter";

struct ExpectedValue {
  std::string key;
  std::string name;
  std::string text;
};

std::vector<ExpectedValue> ExpectedRegistration(const std::string& module) {
  const std::string libKey = "TypeLib\\" + kLibId + "\\1.0";
  const std::string mainInterface = "Interface\\" + FormatGuid(IID_ITavoPreFmtPrinter);
  const std::string events = "Interface\\" + FormatGuid(DIID_ITavoPreFmtPrinterEvents);
  return {
      {kClassKey, "", "TavoPreFmtPrinter Control 2.0"},
      {kClassKey + "\\InprocServer32", "", module},
      {kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {kProgIdKey, "", "TavoPreFmtPrinter Control 2.0"},
      {kProgIdKey + "\\Clsid", "", FormatGuid(CLASS_TavoPreFmtPrinter)},
      {kClassKey + "\\ProgID", "", kProgIdKey},
      {kClassKey + "\\Version", "", "1.0"},
      {kClassKey + "\\TypeLib", "", kLibId},
      {kClassKey + "\\MiscStatus", "", "0"},
      {kClassKey + "\\MiscStatus\\1", "", "205201"},
      {kClassKey + "\\ToolboxBitmap32", "", module + ",1"},
      {kClassKey + "\\Control", "", ""},
      {kClassKey + "\\Verb", "", ""},
      {kClassKey + "\\Verb\\0", "", "Properties,0,2"},
      {libKey, "", "TavoPreFmtPrinterX Library"},
      {libKey + "\\0\\linux64", "", module},
      {mainInterface, "", "ITavoPreFmtPrinter"},
      {mainInterface + "\\TypeLib", "", kLibId},
      {mainInterface + "\\TypeLib", "Version", "1.0"},
      {events, "", "ITavoPreFmtPrinterEvents"},
      {events + "\\TypeLib", "", kLibId},
      {"Interface\\" + FormatGuid(IID_ITavoPreviewPicture), "", "ITavoPreviewPicture"},
      {"Interface\\" + FormatGuid(IID_ITavoPrintStatus), "", "ITavoPrintStatus"},
      {"Interface\\" + FormatGuid(IID_ITavoRuleCheck) + "\\TypeLib", "", kLibId},
      {"Interface\\" + FormatGuid(IID_ITavoBatchPrint), "", "ITavoBatchPrint"},
  };
}

class Registration : public ::testing::Test {
 protected:
  RegistryTree Stored() const { return ReadRegistryFile(registry_.File()); }

  ScopedRegistry registry_;
  ControlModule module_;
};

TEST_F(Registration, WritesEveryKeyAndValueAHostReads) {
  ASSERT_EQ(module_.Register(), S_OK);
  const RegistryTree stored = Stored();
  for (const ExpectedValue& expected : ExpectedRegistration(ControlModule::Path())) {
    const RegistryValue* value = stored.FindValue(expected.key, expected.name);
    ASSERT_NE(value, nullptr) << expected.key << " " << expected.name;
    EXPECT_EQ(value->kind, RegistryValue::Kind::String) << expected.key;
    EXPECT_EQ(value->data, expected.text) << expected.key << " " << expected.name;
  }
}

TEST_F(Registration, UnregistrationRemovesItsKeysAndKeepsOtherClasses) {
  const std::string otherClass = "CLSID\\{01020304-0506-0708-090A-0B0C0D0E0F10}";
  ModifyRegistry([&](RegistryTree& tree) {
    tree.SetValue(otherClass + "\\InprocServer32", "", "/opt/other.so");
    tree.SetValue("Other.Class\\Clsid", "", "{01020304-0506-0708-090A-0B0C0D0E0F10}");
  });
  ASSERT_EQ(module_.Register(), S_OK);
  ASSERT_EQ(module_.Unregister(), S_OK);

  const RegistryTree stored = Stored();
  for (const std::string& key : {kClassKey, kProgIdKey, "TypeLib\\" + kLibId,
                                 "Interface\\" + FormatGuid(IID_ITavoPreFmtPrinter),
                                 "Interface\\" + FormatGuid(DIID_ITavoPreFmtPrinterEvents),
                                 "Interface\\" + FormatGuid(IID_ITavoPreviewPicture),
                                 "Interface\\" + FormatGuid(IID_ITavoPrintStatus),
                                 "Interface\\" + FormatGuid(IID_ITavoRuleCheck),
                                 "Interface\\" + FormatGuid(IID_ITavoBatchPrint)}) {
    EXPECT_FALSE(stored.KeyExists(key)) << key;
  }
  EXPECT_EQ(stored.GetValue(otherClass + "\\InprocServer32", ""), "/opt/other.so");
  EXPECT_TRUE(stored.KeyExists("Other.Class\\Clsid"));
  // Unregistering what is not registered is no failure.
  EXPECT_EQ(module_.Unregister(), S_OK);
}

TEST_F(Registration, ARegistrationBesideAnotherWritingProcessLosesNothing) {
  constexpr int kWrites = 100;
  const pid_t writer = ::fork();
  ASSERT_NE(writer, -1);
  if (writer == 0) {
    int status = 0;
    try {
      for (int i = 0; i < kWrites; ++i) {
        ModifyRegistry([&](RegistryTree& tree) {
          tree.SetValue("Unrelated\\Key" + std::to_string(i), "", std::to_string(i));
        });
      }
    } catch (...) {
      status = 1;
    }
    ::_exit(status);
  }
  HRESULT registered = S_OK;
  for (int i = 0; i < 20 && registered == S_OK; ++i) registered = module_.Register();
  int status = -1;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(registered, S_OK);

  const RegistryTree stored = Stored();
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_EQ(stored.GetValue("Unrelated\\Key" + std::to_string(i), ""), std::to_string(i));
  }
  for (const ExpectedValue& expected : ExpectedRegistration(ControlModule::Path())) {
    EXPECT_EQ(stored.GetValue(expected.key, expected.name), expected.text) << expected.key;
  }
}

TEST_F(Registration, ADamagedRegistryFailsNamingTheLineAndIsKept) {
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n[CLSID\\{X}\n@=\"kept\"\n";
  std::ofstream(registry_.File()) << damaged;
  for (const auto& [name, change] : {std::pair{"register", &ControlModule::Register},
                                     std::pair{"unregister", &ControlModule::Unregister}}) {
    EXPECT_EQ((module_.*change)(), E_FAIL) << name;
    EXPECT_THAT(codepage::WideToUtf8(TakeErrorDescription()), HasSubstr("line 3")) << name;
  }
  std::ifstream in(registry_.File());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), damaged);
}

TEST_F(Registration, ClassObjectOnlyForTheControlsClass) {
  constexpr CLSID kOther{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
  int sentinel = 0;
  void* object = &sentinel;
  EXPECT_EQ(module_.GetClassObject(kOther, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  object = &sentinel;
  EXPECT_EQ(module_.GetClassObject(CLASS_TavoPreFmtPrinter, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(
      module_.GetClassObject(CLASS_TavoPreFmtPrinter, IID_IClassFactory, factory.ReceiveVoid()),
      S_OK);
  ComPtr<IDispatch> control;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid()), S_OK);
  EXPECT_TRUE(control);
}

TEST_F(Registration, ModuleStaysWhileAnObjectLivesOrALockIsHeld) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(
      module_.GetClassObject(CLASS_TavoPreFmtPrinter, IID_IClassFactory, factory.ReceiveVoid()),
      S_OK);
  ASSERT_EQ(module_.CanUnloadNow(), S_OK);

  ComPtr<IDispatch> control;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid()), S_OK);
  ComPtr<IUnknown> second = control.As<IUnknown>(IID_IUnknown);
  EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
  control.Reset();
  EXPECT_EQ(module_.CanUnloadNow(), S_FALSE) << "another reference still holds the object";
  second.Reset();
  EXPECT_EQ(module_.CanUnloadNow(), S_OK);

  factory->LockServer(true);
  EXPECT_EQ(module_.CanUnloadNow(), S_FALSE);
  factory->LockServer(false);
  EXPECT_EQ(module_.CanUnloadNow(), S_OK);
}

// Creation as a host does it, by the programmatic identifier.
TEST_F(Registration, AnUnregisteredControlCannotBeCreated) {
  ComPtr<IDispatch> control;
  EXPECT_EQ(CoCreateInstanceByProgID(kProgId, nullptr, IID_IDispatch, control.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(control);

  ASSERT_EQ(module_.Register(), S_OK);
  ASSERT_EQ(module_.Unregister(), S_OK);
  EXPECT_EQ(CoCreateInstanceByProgID(kProgId, nullptr, IID_IDispatch, control.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Registration, AModulePathThatIsNoLibraryIsAClearError) {
  ASSERT_EQ(module_.Register(), S_OK);
  const std::string textFile = (registry_.Folder() / "notes.txt").string();
  std::ofstream(textFile) << "not a library\n";
  ModifyRegistry(
      [&](RegistryTree& tree) { tree.SetValue(kClassKey + "\\InprocServer32", "", textFile); });

  ComPtr<IDispatch> control;
  EXPECT_EQ(CoCreateInstanceByProgID(kProgId, nullptr, IID_IDispatch, control.ReceiveVoid()),
            CO_E_ERRORINDLL);
  EXPECT_FALSE(control);
  EXPECT_THAT(LastLoadError(), HasSubstr(textFile));
}

}  // namespace
}  // namespace tavo::testing
