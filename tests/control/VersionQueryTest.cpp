// Which version of the control is installed and whether a class is registered, asked through
// the control as a page asks: GetVer, GetOcxVersion, IFOcxGuid.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "control/ControlHost.h"
#include "control/TavoPreFmtPrinterX_TLB.h"
#include "control/unitTavoOcxUtils.h"
#include "platform/codepage/CodePage.h"
#include "platform/registry/Registry.h"
#include "platform/version/PeWriter.h"
#include "platform/version/ScratchDir.h"

namespace tavo::testing {
namespace {

const std::string kToolboxKey =
    "CLSID\\" + FormatGuid(CLASS_TavoPreFmtPrinter) + "\\ToolboxBitmap32";

// The class identifier as a page writes it: without braces.
std::u16string BareClassId(const CLSID& clsid) {
  const std::u16string braced = FormatGuidWide(clsid);
  return braced.substr(1, braced.size() - 2);
}

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

Bytes PeWithVersion(std::array<uint16_t, 4> version) {
  return WritePe(PeKind::Pe32, StandardBlock(version).Encode()).bytes;
}

std::u16string Wide(const std::string& utf8) { return codepage::Utf8ToWide(utf8); }

void SetToolboxValue(const std::string& text) {
  ModifyRegistry([&](RegistryTree& tree) { tree.SetValue(kToolboxKey, "", text); });
}

using VersionQueries = ControlTest;

TEST_F(VersionQueries, OcxVersionComparesTheRegisteredModulesVersionExactly) {
  const struct {
    const char16_t* expected;
    int32_t value;
  } cases[] = {{u"2.0.0.2", 1}, {u"2.0.0.20", 0}, {u"2.0.0.02", 0}, {u"2.0.0", 0}, {u"", 0}};
  for (const auto& c : cases) {
    const CallOutcome outcome = Call(u"GetOcxVersion", {c.expected});
    ASSERT_EQ(outcome.status, S_OK);
    EXPECT_EQ(outcome.value->vt, VT_I4);
    EXPECT_EQ(outcome.value->lVal, c.value) << codepage::WideToUtf8(c.expected);
  }
  ASSERT_EQ(module_.Unregister(), S_OK);
  EXPECT_EQ(Call(u"GetOcxVersion", {u"2.0.0.2"}).value->lVal, -1);
}

TEST_F(VersionQueries, OcxGuidFindsTheClassByItsBareIdentifierInEitherCase) {
  const struct {
    std::u16string text;
    VARIANT_BOOL registered;
  } cases[] = {
      {BareClassId(CLASS_TavoPreFmtPrinter), VARIANT_TRUE},
      {Lower(BareClassId(CLASS_TavoPreFmtPrinter)), VARIANT_TRUE},
      {FormatGuidWide(CLASS_TavoPreFmtPrinter), VARIANT_FALSE},  // braces doubled
      {BareClassId(IID_ITavoPreFmtPrinter), VARIANT_FALSE},
      {u"", VARIANT_FALSE},
  };
  for (const auto& c : cases) {
    const CallOutcome outcome = Call(u"IFOcxGuid", {c.text});
    ASSERT_EQ(outcome.status, S_OK);
    EXPECT_EQ(outcome.value->vt, VT_BOOL);
    EXPECT_EQ(outcome.value->boolVal, c.registered) << codepage::WideToUtf8(c.text);
  }
  ASSERT_EQ(module_.Unregister(), S_OK);
  EXPECT_EQ(Call(u"IFOcxGuid", {BareClassId(CLASS_TavoPreFmtPrinter)}).value->boolVal,
            VARIANT_FALSE);
}

TEST_F(VersionQueries, GetVerReadsTheFileVersionOfModulesAndNothingElse) {
  ScratchDir dir;
  PeImage damaged = WritePe(PeKind::Pe32, StandardBlock({1, 2, 3, 4}).Encode());
  Set32(damaged.bytes, damaged.blockAt + 40, 0x12345678);  // fixed record signature
  PeImage overlong = WritePe(PeKind::Pe32Plus, StandardBlock({1, 2, 3, 4}).Encode());
  Set16(overlong.bytes, overlong.blockAt, overlong.blockSize + 64);
  const Bytes cut(overlong.bytes.begin(), overlong.bytes.begin() + overlong.blockAt + 8);

  const struct {
    const char* name;
    std::string path;
    std::vector<std::u16string> accepted;
  } cases[] = {
      {"the module", ControlModule::Path(), {u"2.0.0.2"}},
      {"zero parts", dir.Write("ten.dll", PeWithVersion({10, 3, 0, 0})), {u"10.3.0.0"}},
      {"two-digit build", dir.Write("two.exe", PeWithVersion({2, 0, 0, 15})), {u"2.0.0.15"}},
      {"largest parts",
       dir.Write("max.ocx", PeWithVersion({65535, 1, 65535, 0})),
       {u"65535.1.65535.0"}},
      {"text file", dir.Write("notes.txt", Bytes{'h', 'i', '\n'}), {u""}},
      {"missing file", (dir.Path() / "absent.dll").string(), {u""}},
      {"folder", dir.Path().string(), {u""}},
      {"bad fixed record", dir.Write("bad.dll", damaged.bytes), {u"", u"-1"}},
      {"block longer than stated", dir.Write("long.dll", overlong.bytes), {u"", u"-1"}},
      {"block cut off", dir.Write("cut.dll", cut), {u"", u"-1"}},
  };
  for (const auto& c : cases) {
    const CallOutcome outcome = Call(u"GetVer", {Wide(c.path)});
    ASSERT_EQ(outcome.status, S_OK) << c.name;
    EXPECT_THAT(c.accepted, ::testing::Contains(TextOf(outcome))) << c.name;
  }
}

TEST_F(VersionQueries, InstalledVersionComesFromTheToolboxBitmapPathBeforeTheFirstComma) {
  ScratchDir dir;
  dir.Write("a", PeWithVersion({2, 0, 0, 2}));  // what a cut at the first comma names
  std::filesystem::create_directory(dir.Path() / "a,b");
  const std::string commaPath = dir.Write("a,b/other.dll", PeWithVersion({9, 9, 9, 9}));
  const std::string textFile = dir.Write("readme.txt", Bytes{'x'});

  const struct {
    const char* name;
    std::string value;
    int32_t ocxVersion;
    std::u16string classVersion;
  } cases[] = {
      {"the module", ControlModule::Path() + ",1", 1, u"2.0.0.2"},
      {"no comma", ControlModule::Path(), -1, u""},
      {"empty", "", -1, u""},
      {"path with a comma is cut there", commaPath + ",1", 1, u"2.0.0.2"},
      {"cut path names nothing", (dir.Path() / "none,x.dll,1").string(), -1, u""},
      {"file without version", textFile + ",1", -1, u""},
  };
  for (const auto& c : cases) {
    SetToolboxValue(c.value);
    const CallOutcome outcome = Call(u"GetOcxVersion", {u"2.0.0.2"});
    ASSERT_EQ(outcome.status, S_OK) << c.name;
    EXPECT_EQ(outcome.value->lVal, c.ocxVersion) << c.name;
    EXPECT_EQ(GetClassFileVersion(CLASS_TavoPreFmtPrinter), c.classVersion) << c.name;
  }
}

TEST_F(VersionQueries, AToolboxBitmapValueThatIsNoStringIsTheMethodsFailure) {
  ModifyRegistry([&](RegistryTree& tree) {
    tree.SetTypedValue(kToolboxKey, "", {RegistryValue::Kind::Other, "dword:00000001"});
  });
  const CallOutcome outcome = Call(u"GetOcxVersion", {u"2.0.0.2"});
  EXPECT_EQ(outcome.status, DISP_E_EXCEPTION);
  EXPECT_EQ(outcome.scode, E_UNEXPECTED);
  EXPECT_EQ(outcome.description, u"Invalid data type for ''");
  EXPECT_THROW(GetClassFileVersion(CLASS_TavoPreFmtPrinter), std::exception);
}

TEST_F(VersionQueries, ADamagedRegistryIsAFailureForVersionsAndUnregisteredForClasses) {
  std::ofstream(registry_.File(), std::ios::trunc) << "not a registry\n";
  const CallOutcome version = Call(u"GetOcxVersion", {u"2.0.0.2"});
  EXPECT_EQ(version.status, DISP_E_EXCEPTION);
  EXPECT_THAT(codepage::WideToUtf8(version.description), ::testing::HasSubstr("line 1"));

  const CallOutcome registered = Call(u"IFOcxGuid", {BareClassId(CLASS_TavoPreFmtPrinter)});
  EXPECT_EQ(registered.status, S_OK);
  EXPECT_EQ(registered.value->boolVal, VARIANT_FALSE);
}

}  // namespace
}  // namespace tavo::testing
