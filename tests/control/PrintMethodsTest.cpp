// Printing through late-bound calls on the virtual PDF printer: the empty job of fprintStart and
// fprintEnd, and PrintXmlData's own job.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "control/ControlHost.h"
#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/codepage/CodePage.h"
#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::u16string ReadExample(const std::string& name) {
  std::ifstream in(std::string(TAVO_EXAMPLES_DIR) + "/invoice/" + name, std::ios::binary);
  return codepage::Utf8ToWide(std::string(std::istreambuf_iterator<char>(in), {}));
}

class PrintMethods : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    pdf_ = (registry_.Folder() / "out.pdf").string();
  }
  void TearDown() override {
    // The current printer lives as long as the process: leave no job open for the next test.
    Call(u"fprintEnd", {u""});
    ControlTest::TearDown();
  }

  void SelectPdf() {
    const CallOutcome selected = Call(u"SetDefaultPrinter", {codepage::Utf8ToWide("pdf:" + pdf_)});
    ASSERT_EQ(selected.status, S_OK);
    ASSERT_EQ(selected.value->vt, VT_BOOL);
    ASSERT_EQ(selected.value->boolVal, VARIANT_TRUE);
  }

  void ExpectNotPrinting(const CallOutcome& outcome) {
    EXPECT_EQ(outcome.status, DISP_E_EXCEPTION);
    EXPECT_EQ(outcome.scode, E_UNEXPECTED);
    EXPECT_EQ(outcome.description, u"Printer is not currently printing");
  }

  std::string pdf_;
};

TEST_F(PrintMethods, SelectingAPrinterByNameKeepsTheSelectionOnUnknownNames) {
  SelectPdf();
  EXPECT_EQ(TextOf(Call(u"GetDefaultPrinter")), codepage::Utf8ToWide("pdf:" + pdf_));
  for (const char16_t* unknown : {u"no such printer", u"pdf:relative/out.pdf", u""}) {
    const CallOutcome selected = Call(u"SetDefaultPrinter", {unknown});
    ASSERT_EQ(selected.status, S_OK);
    EXPECT_EQ(selected.value->boolVal, VARIANT_FALSE) << codepage::WideToUtf8(unknown);
    EXPECT_EQ(TextOf(Call(u"GetDefaultPrinter")), codepage::Utf8ToWide("pdf:" + pdf_));
  }
  EXPECT_EQ(Call(u"GetPrinterList").status, S_OK);
}

TEST_F(PrintMethods, StartThenEndPrintsOneEmptyPageTitledAsTheJob) {
  SelectPdf();
  ASSERT_EQ(Call(u"fprintStart", {u"票据"}).status, S_OK);
  ASSERT_EQ(Call(u"fprintEnd", {u"ignored"}).status, S_OK);
  ASSERT_TRUE(fs::exists(pdf_));
  EXPECT_EQ(PdfInfoField(pdf_, "Title"), "票据");
  EXPECT_EQ(PdfInfoField(pdf_, "Pages"), "1");
  EXPECT_EQ(PdfText(pdf_).find_first_not_of("\f\n "), std::string::npos);
}

TEST_F(PrintMethods, ASecondStartAbortsTheOpenJob) {
  SelectPdf();
  EXPECT_EQ(Call(u"fprintStart", {u"first"}).status, S_OK);
  EXPECT_EQ(Call(u"fprintStart", {u"second"}).status, S_OK);
  ExpectNotPrinting(Call(u"fprintEnd", {u""}));
  EXPECT_FALSE(fs::exists(pdf_)) << "an aborted job prints nothing";
}

TEST_F(PrintMethods, EndWithoutAJobFailsForScriptAndVirtualTableCallers) {
  ExpectNotPrinting(Call(u"fprintEnd", {u""}));
  // The thread's error information says the same to hosts that ask for it.
  EXPECT_EQ(TakeErrorDescription(), u"Printer is not currently printing");

  ComPtr<ITavoPreFmtPrinter> direct = control_.As<ITavoPreFmtPrinter>(IID_ITavoPreFmtPrinter);
  ASSERT_TRUE(direct);
  EXPECT_EQ(direct->fprintEnd(nullptr), E_UNEXPECTED);
  EXPECT_EQ(TakeErrorDescription(), u"Printer is not currently printing");
}

TEST_F(PrintMethods, TheInvoiceSampleAppearsInItsPdf) {
  SelectPdf();
  const CallOutcome printed =
      Call(u"PrintXmlData", {ReadExample("data.xml"), ReadExample("rule.xml")});
  ASSERT_EQ(printed.status, S_OK);
  ASSERT_TRUE(fs::exists(pdf_));
  EXPECT_EQ(PdfInfoField(pdf_, "Title"), "票据打印，发票号码: 12345678");
  EXPECT_EQ(PdfInfoField(pdf_, "Pages"), "1");
  const std::string text = PdfText(pdf_);
  EXPECT_THAT(text, HasSubstr("12345678"));
  EXPECT_THAT(text, HasSubstr("上海远景办公用品有限公司"));
  // Every value of the data reads back as written (the PDF's fonts map glyphs to their own
  // characters), wrapped lines joined again.
  std::string joined;
  for (char ch : text)
    if (ch != ' ' && ch != '\n' && ch != '\f') joined += ch;
  const std::string data = codepage::WideToUtf8(ReadExample("data.xml"));
  const std::regex value(R"(<([a-z]+)>([^<]+)</\1>)");
  int values = 0;
  for (auto it = std::sregex_iterator(data.begin(), data.end(), value);
       it != std::sregex_iterator(); ++it, ++values) {
    if ((*it)[1].str() == "ewm") continue;  // drawn as a QR code, not as text
    std::string expected = (*it)[2].str();
    std::erase(expected, ' ');
    EXPECT_THAT(joined, HasSubstr(expected)) << "<" << (*it)[1].str() << ">";
  }
  EXPECT_GT(values, 50);
  // No job stays open after the call.
  ExpectNotPrinting(Call(u"fprintEnd", {u""}));
}

// Whether any Qt library is mapped into this process.
bool QtLoaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find("/libQt6") != std::string::npos) return true;
  return false;
}

// Printing, PDF output and measuring text need no Qt: a host that only prints never loads a Qt
// library (the preview dialog's module brings them when a preview is first shown).
TEST_F(PrintMethods, PrintingLoadsNoQt) {
  if (QtLoaded()) GTEST_SKIP() << "an earlier test in this process showed a preview";
  SelectPdf();
  ASSERT_EQ(Call(u"PrintXmlData", {ReadExample("data.xml"), ReadExample("rule.xml")}).status, S_OK);
  ASSERT_EQ(Call(u"RenderPreview", {ReadExample("data.xml"), ReadExample("rule.xml"), u""}).status,
            S_OK);
  ASSERT_TRUE(fs::exists(pdf_));
  EXPECT_FALSE(QtLoaded());
}

TEST_F(PrintMethods, PrintingInsideAnOpenJobEndsThatJobAndPrintsNothingOfTheDocument) {
  SelectPdf();
  ASSERT_EQ(Call(u"fprintStart", {u"open"}).status, S_OK);
  EXPECT_EQ(Call(u"PrintXmlData", {ReadExample("data.xml"), ReadExample("rule.xml")}).status, S_OK);
  ExpectNotPrinting(Call(u"fprintEnd", {u""}));
  // The open job was ended empty, under its own title.
  ASSERT_TRUE(fs::exists(pdf_));
  EXPECT_EQ(PdfInfoField(pdf_, "Title"), "open");
  EXPECT_EQ(PdfText(pdf_).find_first_not_of("\f\n "), std::string::npos);
}

TEST_F(PrintMethods, DocumentsThatDoNotParseOpenNoJob) {
  SelectPdf();
  const std::u16string rule = ReadExample("rule.xml");
  const std::u16string data = ReadExample("data.xml");
  const struct {
    const char* name;
    std::u16string data, rule;
  } cases[] = {
      {"data not XML", u"this is not XML", rule},
      {"data cut off", data.substr(0, data.size() / 2), rule},
      {"rule not XML", data, u"<rule><body>"},
      {"both empty", u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Call(u"PrintXmlData", {c.data, c.rule}).status, S_OK) << c.name;
    EXPECT_FALSE(fs::exists(pdf_)) << c.name;
    ExpectNotPrinting(Call(u"fprintEnd", {u""}));
  }
}

}  // namespace
}  // namespace tavo::testing
