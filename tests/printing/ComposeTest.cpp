#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "printing/PrintingFixtures.h"
#include "printing/unitCommonPrinting.h"
#include "support/RecordingCanvas.h"
#include "support/TestPrinter.h"

namespace tavo {
namespace {

using test::DataDocument;
using test::RecordedOp;
using test::RuleDocument;
using Kind = RecordedOp::Kind;

std::vector<std::string> TextRuns(const std::vector<RecordedOp>& ops) {
  std::vector<std::string> runs;
  for (const RecordedOp& op : ops) {
    if (op.kind == Kind::Text) runs.push_back(op.text);
  }
  return runs;
}

// A 96 dpi preview of rule pixels at 96 dpi: device pixels equal rule pixels.
struct Preview {
  explicit Preview(const std::string& rule) : printer(rule, &surface.canvas()) {}
  std::vector<std::string> Draw(const std::string& data) {
    EXPECT_FALSE(printer.Print(data));
    return TextRuns(surface.ops());
  }
  test::RecordingCanvas surface;
  TTavoXmlDataPrinter printer;
};

std::string TextElement(const std::string& attributes, const std::string& text = "") {
  return "<e " + attributes + "><text>" + text + "</text></e>";
}

const std::string kInvoiceRule = RuleDocument(
    R"(pageWidth="210" pageHeight="297")",
    R"(<e type="line" fromx="0" fromy="100" tox="500" toy="100" size="2" color="clBlack"><x/></e>)" +
        TextElement(R"(type="text" left="10" top="10" right="200" bottom="30")", "Invoice") +
        TextElement(R"(id="buyer" index="0" left="10" top="40" right="200" bottom="60")") +
        TextElement(R"(id="goods" index="0" left="10" top="200" right="200" bottom="220")") +
        TextElement(R"(id="goods" index="1" left="10" top="230" right="200" bottom="250")") +
        TextElement(R"(id="fphm" index="0" left="300" top="10" right="500" bottom="30")"));

const std::string kInvoiceData =
    DataDocument("<fphm>12345678</fphm><buyer>ACME</buyer><empty>   </empty>",
                 "<r><goods>pen</goods></r><r><goods>ink</goods></r><r><goods>cap</goods></r>");

TEST(Compose, StaticFieldAndRowPassesInOrder) {
  Preview preview(kInvoiceRule);
  EXPECT_EQ(preview.Draw(kInvoiceData),
            (std::vector<std::string>{"Invoice", "12345678", "ACME", "pen", "ink"}));
  EXPECT_EQ(preview.surface.ops().front().kind, Kind::Line);
  const auto texts = preview.surface.device().OfKind(Kind::Text);
  // Rows stand where the rule puts them, each line centred in its 20-pixel box.
  EXPECT_EQ(texts[3].rect.top, 205);
  EXPECT_EQ(texts[4].rect.top, 235);
}

TEST(Compose, PrintJobTitleCarriesTheInvoiceNumber) {
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(kInvoiceRule, nullptr);
  EXPECT_TRUE(data.Print(kInvoiceData));
  // The same data printer prints a second job, not onto the ended job's canvas.
  EXPECT_TRUE(data.Print(DataDocument("<fphm></fphm><buyer>x</buyer>")));

  const auto& jobs = printer->Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].title, codepage::Utf8ToAnsi("票据打印，发票号码: 12345678"));
  EXPECT_EQ(jobs[1].title, codepage::Utf8ToAnsi("票据打印"));
  EXPECT_TRUE(jobs[0].ended);
  // At 600 dpi with the printable area 50 pixels in, rule (0, 100) lands at (-50, 575).
  const RecordedOp& line = jobs[0].ops.front();
  EXPECT_EQ(line.from, (Point{-50, 575}));
  EXPECT_EQ(line.to, (Point{3075, 575}));
  EXPECT_EQ(line.pen.width, 2);
  EXPECT_EQ(TextRuns(jobs[0].ops).size(), 5u);
}

TEST(Compose, TitleUnderGbk) {
  codepage::ScopedCodeSet gbk("GBK");
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(kInvoiceRule, nullptr);
  EXPECT_TRUE(data.Print(kInvoiceData));
  EXPECT_EQ(printer->Jobs()[0].title,
            "\xC6\xB1\xBE\xDD\xB4\xF2\xD3\xA1\xA3\xAC\xB7\xA2\xC6\xB1\xBA\xC5\xC2\xEB: 12345678");
}

// What a host passes is converted to the ANSI code page; under GBK that is GB18030, so text
// GBK cannot hold reaches the device whole, wrapped lines included.
TEST(Compose, TextBeyondGbkReachesTheCanvasUnderGbk) {
  codepage::ScopedCodeSet gbk("GBK");
  const std::string amount = "¥8,664.59 €𠀀😀", note = "𠀀😀¥€𠀀😀a";
  const std::string rule = RuleDocument(
      "", TextElement(R"(id="hjje" index="0" left="10" top="10" right="500" bottom="30")") +
              TextElement(R"(id="bz" index="0" left="10" top="40" right="55" bottom="200")"));
  Preview preview(codepage::Utf8ToAnsi(rule));
  const auto runs = preview.Draw(codepage::Utf8ToAnsi(
      DataDocument("<fphm>𠀀¥1</fphm><hjje>" + amount + "</hjje><bz>" + note + "</bz>")));
  std::vector<std::string> utf8;
  for (const std::string& run : runs) utf8.push_back(codepage::AnsiToUtf8(run));
  // The note wraps two characters a line (each 20 of the box's 45 pixels), none of them split.
  EXPECT_EQ(utf8, (std::vector<std::string>{amount, "𠀀😀", "¥€", "𠀀😀", "a"}));

  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(codepage::Utf8ToAnsi(rule), nullptr);
  EXPECT_TRUE(data.Print(codepage::Utf8ToAnsi(DataDocument("<fphm>𠀀¥1</fphm>"))));
  EXPECT_EQ(codepage::AnsiToUtf8(printer->Jobs()[0].title), "票据打印，发票号码: 𠀀¥1");
}

TEST(Compose, OrientationFollowsEachRule) {
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter landscape(
      RuleDocument(R"(landscape="true")", TextElement("type='text'", "a")), nullptr);
  EXPECT_TRUE(landscape.Print(kInvoiceData));
  TTavoXmlDataPrinter portrait(RuleDocument("", TextElement("type='text'", "a")), nullptr);
  EXPECT_TRUE(portrait.Print(kInvoiceData));
  ASSERT_EQ(printer->Jobs().size(), 2u);
  EXPECT_EQ(printer->Jobs()[0].orientation, Orientation::Landscape);
  EXPECT_EQ(printer->Jobs()[1].orientation, Orientation::Portrait);
}

TEST(Compose, FailureEndsTheJobAndReportsFalse) {
  const std::string rule =
      RuleDocument("", TextElement(R"(type="text" right="100" bottom="10")", "before") +
                           R"(<e type="line" tox="10"><x/></e>)" +
                           TextElement(R"(type="text" right="100" bottom="10")", "after"));
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(rule, nullptr);
  EXPECT_FALSE(data.Print(kInvoiceData));
  ASSERT_EQ(printer->Jobs().size(), 1u);
  EXPECT_TRUE(printer->Jobs()[0].ended);
  EXPECT_EQ(TextRuns(printer->Jobs()[0].ops), std::vector<std::string>{"before"});
  EXPECT_FALSE(printer->Printing());

  // The preview reports the same failure to its caller.
  Preview preview(rule);
  EXPECT_THROW(preview.printer.Print(kInvoiceData), Error);
  EXPECT_EQ(TextRuns(preview.surface.ops()), std::vector<std::string>{"before"});
}

TEST(Compose, PrintWhileAJobIsOpenClosesThatJob) {
  test::ScopedTestPrinter printer;
  printer->SetTitle("open");
  printer->BeginDoc();
  TTavoXmlDataPrinter data(kInvoiceRule, nullptr);
  EXPECT_FALSE(data.Print(kInvoiceData));
  ASSERT_EQ(printer->Jobs().size(), 1u);
  EXPECT_EQ(printer->Jobs()[0].title, "open");
  EXPECT_TRUE(printer->Jobs()[0].ended);
  EXPECT_TRUE(printer->Jobs()[0].ops.empty());
}

TEST(Compose, NothingToPrintOpensNoJob) {
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(kInvoiceRule, nullptr);
  EXPECT_FALSE(data.Print("not xml"));
  EXPECT_FALSE(data.Print("<d><body><only/></body></d>"));
  EXPECT_FALSE(data.Print("<d><body><w><x/></w></body></d>"));
  EXPECT_FALSE(data.PrintItem(nullptr));
  TTavoXmlDataPrinter noRule("<d><body><w><x/></w></body></d>", nullptr);
  EXPECT_FALSE(noRule.Print(kInvoiceData));
  EXPECT_TRUE(printer->Jobs().empty());

  // A printer that disappears after construction: the failure is swallowed.
  test::ScopedTestPrinter none(test::TestPrinterOptions{.noPrinter = true});
  EXPECT_FALSE(data.Print(kInvoiceData));
}

TEST(Compose, FieldValuesAndElementKinds) {
  const std::string rule = RuleDocument(
      "", R"(<e type="line" id="onLine" index="0" fromx="5" color="clRed"><x/></e>)" +
              TextElement(R"(type="text" id="label" index="0" left="0" right="100" bottom="10")",
                          "Static") +
              TextElement(R"(type="Image" id="pic" index="0" right="100" bottom="10")") +
              TextElement(
                  R"(type="image" id="img" index="0" left="0" top="0" right="200" bottom="200")") +
              TextElement(R"(id="num" index="0" right="100" bottom="10")"));
  Preview preview(rule);
  const auto runs =
      preview.Draw(DataDocument("<onLine>L</onLine><label>Bound</label><pic>P</pic><num> 42 </num>"
                                "<blank>   </blank><img>" +
                                test::Base64(test::BmpFile(10, 20)) + "</img>"));
  EXPECT_EQ(runs, (std::vector<std::string>{"Static", "L", "Bound", "P", " 42 "}));
  const auto texts = preview.surface.device().OfKind(Kind::Text);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[1].rect, (Rect{0, -5, 0, 5}));  // a line has no box: 0..0, fitted to the text
  const auto pictures = preview.surface.device().OfKind(Kind::StretchDraw);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].rect, (Rect{95, 90, 105, 110}));
}

TEST(Compose, IndexedRowsMatchTheIndexExactly) {
  const std::string rule =
      RuleDocument("", TextElement(R"(id="g" index="03" right="100" bottom="10")") +
                           TextElement(R"(id="g" index="3 " right="100" bottom="10")") +
                           TextElement(R"(id="g" index="3" top="30" right="100" bottom="40")") +
                           TextElement(R"(id="g" index="3" top="50" right="100" bottom="60")"));
  Preview preview(rule);
  const auto runs = preview.Draw(DataDocument("<g>field</g>",
                                              "<r><g>0</g></r><r><g>1</g></r><r><g>2</g></r>"
                                              "<r><g>3</g></r>"));
  EXPECT_EQ(runs, std::vector<std::string>{"3"});
  EXPECT_EQ(preview.surface.device().OfKind(Kind::Text)[0].rect.top, 30);  // the first match

  TItem* first = preview.printer.FindElement(preview.printer.ruleItem.get(), "g", 3);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetAttribute("top"), "30");
  EXPECT_EQ(preview.printer.FindElement(nullptr, "g", 3), nullptr);
  EXPECT_EQ(preview.printer.FindElement(preview.printer.ruleItem.get(), "G", 3), nullptr);
}

TEST(Compose, AutomaticRowLayout) {
  // Rows at 96 dpi; a row space of 25.4 mm is 96 pixels.
  const std::string rule = RuleDocument(
      R"(repeatableRowAutoHeightAndTop="true" repeatableRowSpace="25.4")",
      TextElement(
          R"(id="name" index="7" left="0" top="100" right="30" bottom="110" vertAlign="otaTop")") +
          TextElement(R"(id="pic" type="image" left="0" top="500" right="10" bottom="900")"));
  Preview preview(rule);
  const std::string picture = test::Base64(test::BmpFile(10, 400));
  preview.Draw(DataDocument("", "<r><name>aaaaaa</name><pic>" + picture +
                                    "</pic></r><r><name>b</name></r>"
                                    "<r><pic>" +
                                    picture + "</pic></r><r><name>c</name></r>"));
  const auto texts = preview.surface.device().OfKind(Kind::Text);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0].rect.top, 100);  // row 0 keeps its own top; it wraps to 2 lines: 100..120
  EXPECT_EQ(texts[2].rect.top, 216);  // row 1: 120 + 96
  EXPECT_EQ(texts[3].rect.top, 322);  // row 3: below row 1's 216..226, images not counted
  EXPECT_EQ(preview.surface.device().OfKind(Kind::StretchDraw).size(), 2u);
  EXPECT_EQ(preview.printer.FindElement(preview.printer.ruleItem.get(), "name", 0),
            preview.printer.FindElement(preview.printer.ruleItem.get(), "name", 5));
}

TEST(Compose, AutomaticLayoutWaitsForTheFirstRowWithText) {
  const std::string rule =
      RuleDocument(R"(repeatableRowAutoHeightAndTop="1" repeatableRowSpace="10")",
                   TextElement(R"(id="name" left="0" top="100" right="100" bottom="110")"));
  Preview preview(rule);
  preview.Draw(DataDocument("", "<r><other>x</other></r><r><name>b</name></r>"));
  EXPECT_EQ(preview.surface.device().OfKind(Kind::Text)[0].rect.top, 100);
}

}  // namespace
}  // namespace tavo
