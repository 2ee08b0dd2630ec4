// The control's extension interfaces: one object with the main interface, reached by
// QueryInterface and by name through the same IDispatch, and the preview as picture text.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>

#include "control/ControlHost.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Base64.h"
#include "printing/unitFormUtils.h"

namespace tavo::testing {
namespace {

using ExtensionInterfaces = ControlTest;

std::u16string FileText(const std::string& name) {
  std::ifstream file(std::string(TAVO_EXAMPLES_DIR) + "/invoice/" + name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return codepage::Utf8ToWide(text.str());
}

uint32_t BigEndian32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

TEST_F(ExtensionInterfaces, MethodsAreFoundByNameAndTheInterfacesBelongToTheSameObject) {
  const struct {
    std::u16string name;
    DISPID id;
  } methods[] = {{u"RenderPreview", 301}, {u"renderprintpage", 302}, {u"LASTPRINT", 401},
                 {u"JobState", 402},      {u"CheckRule", 501},       {u"CheckRuleForPrinter", 502},
                 {u"PrintXmlBatch", 601}, {u"endbatch", 604}};
  for (auto method : methods) {
    LPOLESTR names[] = {method.name.data()};
    DISPID id = 0;
    EXPECT_EQ(control_->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, method.id) << codepage::WideToUtf8(method.name);
  }
  ComPtr<IUnknown> identity = control_.As<IUnknown>(IID_IUnknown);
  for (const IID& iid :
       {IID_ITavoPreviewPicture, IID_ITavoPrintStatus, IID_ITavoRuleCheck, IID_ITavoBatchPrint}) {
    ComPtr<IUnknown> other = control_.As<IUnknown>(iid);
    ASSERT_TRUE(other) << FormatGuid(iid);
    EXPECT_EQ(other.As<IUnknown>(IID_IUnknown).Get(), identity.Get());
  }
}

TEST_F(ExtensionInterfaces, RenderPreviewGivesThePageAreaAsPngText) {
  const CallOutcome outcome =
      Call(u"RenderPreview", {FileText("data.xml"), FileText("rule.xml"), u""});
  ASSERT_EQ(outcome.status, S_OK) << codepage::WideToUtf8(outcome.description);
  const std::vector<uint8_t> png = DecodeBase64(codepage::WideToUtf8(TextOf(outcome)));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  // The sample's 241 x 140 mm landscape page at 96 dpi: 911 x 529 pixels.
  EXPECT_EQ(BigEndian32(png, 16), 911u);
  EXPECT_EQ(BigEndian32(png, 20), 529u);

  const CallOutcome broken = Call(u"RenderPreview", {u"<data/>", u"<rule", u""});
  EXPECT_EQ(broken.status, DISP_E_EXCEPTION);
  EXPECT_FALSE(broken.description.empty());
}

// By name, as the bridge and tavoprint call it: the findings as JSON text, Chinese text of the
// documents intact.
TEST_F(ExtensionInterfaces, CheckRuleAnswersTheFindingsAsJson) {
  const CallOutcome clean = Call(u"CheckRule", {FileText("rule.xml"), FileText("data.xml")});
  ASSERT_EQ(clean.status, S_OK) << codepage::WideToUtf8(clean.description);
  const std::string json = codepage::WideToUtf8(TextOf(clean));
  EXPECT_EQ(json.rfind("[{\"severity\":\"note\",\"document\":\"rule\",\"line\":13,", 0), 0u)
      << json;

  const CallOutcome mistakes = Call(
      u"CheckRule", {u"<r><body>\n<printing>\n<e type=\"text\" 字号=\"1\"><text>发票</text></e>"
                     u"\n</printing></body></r>",
                     u""});
  ASSERT_EQ(mistakes.status, S_OK);
  EXPECT_NE(
      codepage::WideToUtf8(TextOf(mistakes))
          .find("{\"severity\":\"warning\",\"document\":\"rule\",\"line\":3,\"column\":0,"
                "\"path\":\"printing/e\",\"key\":\"字号\",\"message\":\"\\\"字号\\\" is no key"),
      std::string::npos)
      << codepage::WideToUtf8(TextOf(mistakes));

  const CallOutcome broken = Call(u"CheckRule", {u"<rule", u""});
  ASSERT_EQ(broken.status, S_OK);
  EXPECT_NE(codepage::WideToUtf8(TextOf(broken)).find("\"severity\":\"error\""), std::string::npos);
}

}  // namespace
}  // namespace tavo::testing
