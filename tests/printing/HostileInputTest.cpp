// Hostile rule and data values never crash, hang or overflow: they are clamped, reported or
// drawn as far as they go.
#include <gtest/gtest.h>

#include <string>

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

TEST(HostileInput, CoordinatesAtTheEdgesOf32Bits) {
  const std::string min = "-2147483648", max = "2147483647";
  const std::string box =
      "left='" + min + "' top='" + min + "' right='" + max + "' bottom='" + max + "'";
  const std::string rule = RuleDocument(
      "offsetLeft='1e300' customOffsetLeft='1e300' offsetTop='-1e300'",
      "<e type='line' fromx='" + min + "' fromy='" + max + "' tox='" + max + "' toy='" + min +
          "' size='2147483647' color='0'><x/></e>"
          "<e type='rectangle' size='-5' color='clRed' " +
          box +
          "><x/></e>"
          "<e type='text' wordBreak='false' " +
          box +
          "><text>wide</text></e>"
          "<e type='text' horzAlign='otaRight' vertAlign='otaBottom' " +
          box +
          "><text>a</text></e>"
          "<e type='image' " +
          box + "><text>" + test::Base64(test::BmpFile(3, 3)) + "</text></e>");
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(rule, nullptr);
  ASSERT_TRUE(data.Print(DataDocument("<a>1</a>")));
  const std::vector<RecordedOp>& ops = printer->Jobs()[0].ops;
  ASSERT_EQ(ops.size(), 5u);
  // The origin is clamped on its own (INT32_MAX - 50 across, INT32_MIN - 50 down), and so is
  // every position it is added to.
  EXPECT_EQ(ops[0].from, (Point{-51, -51}));
  EXPECT_EQ(ops[0].to, (Point{INT32_MAX, INT32_MIN}));
  EXPECT_EQ(ops[1].rect, (Rect{-51, INT32_MIN, INT32_MAX, -51}));
  EXPECT_EQ(ops[4].kind, Kind::StretchDraw);
}

TEST(HostileInput, FontSizes) {
  const std::string rule = RuleDocument(
      "",
      "<e type='text' fontSize='12' right='100' bottom='10'><text>a</text></e>"
      "<e type='text' fontSize='0' right='100' bottom='10'><text>b</text></e>"
      "<e type='text' fontSize='-30' right='100' bottom='10'><text>c</text></e>"
      "<e type='text' fontSize='100000' right='100' bottom='10'><text>d</text></e>"
      "<e type='text' fontSize='2147483647' right='100' bottom='10'><text>e</text></e>");
  test::RecordingCanvas surface;
  TTavoXmlDataPrinter data(rule, &surface.canvas());
  data.Print(DataDocument("<a>1</a>"));
  const auto texts = surface.device().OfKind(Kind::Text);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[1].font.size, 12);  // 0 keeps the font in force
  EXPECT_EQ(texts[2].font.size, -30);
  EXPECT_EQ(texts[3].font.size, 100000);
  EXPECT_EQ(texts[4].font.pixelHeight, INT32_MAX);
}

TEST(HostileInput, ZeroResolutionFailsThePreviewAndNotThePrint) {
  auto rule = test::Element({{"type", "text"}, {"right", "10"}}, "x");
  auto printing = std::make_unique<TItem>();
  printing->Name = "printing";
  printing->AddChild(std::move(rule));
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter data(std::move(printing), nullptr);
  data.dpix = 0;
  EXPECT_FALSE(data.Print(DataDocument("<a>1</a>")));
  ASSERT_EQ(printer->Jobs().size(), 1u);
  EXPECT_TRUE(printer->Jobs()[0].ended);

  test::RecordingCanvas surface;
  EXPECT_THROW(data.Print(DataDocument("<a>1</a>"), &surface.canvas()), Error);
}

TEST(HostileInput, MegabyteTexts) {
  std::string text(1 << 20, 'x');
  for (size_t i = 50; i < text.size(); i += 97) text[i] = ' ';
  test::RecordingOptions quiet;
  quiet.record = false;
  test::RecordingCanvas surface(quiet);
  TTavoCommonPrinter printer;
  printer.canvas = &surface.canvas();

  const std::string wrapped = printer.WrapText(text, {0, 0, 1000, 10});
  EXPECT_EQ(wrapped.size(), text.size() + 2 * ((text.size() - 1) / 100));
  EXPECT_EQ(printer.WrapText(text, {0, 0, INT32_MAX, 10}), text);

  const std::string rule =
      RuleDocument("",
                   "<e id='big' index='0' right='1000' bottom='10'><x/></e>"
                   "<e id='flat' index='0' wordBreak='0' right='1000' bottom='10'><x/></e>");
  TTavoXmlDataPrinter data(rule, &surface.canvas());
  data.Print(DataDocument("<big>" + text + "</big><flat>" + text + "</flat>"));
}

TEST(HostileInput, TenThousandElementsAndRows) {
  std::string elements;
  for (int i = 0; i < 10000; ++i) {
    elements += "<e id='g' index='" + std::to_string(i) + "' top='" + std::to_string(i) +
                "' right='100' bottom='" + std::to_string(i + 1) + "'><x/></e>";
  }
  std::string rows;
  for (int i = 0; i < 10000; ++i) rows += "<r><g>" + std::to_string(i) + "</g><h>-</h></r>";
  test::RecordingCanvas surface;
  TTavoXmlDataPrinter data(RuleDocument("", elements), &surface.canvas());
  data.Print(DataDocument("<g>field</g>", rows));
  const auto texts = surface.device().OfKind(Kind::Text);
  ASSERT_EQ(texts.size(), 10001u);
  EXPECT_EQ(texts[0].text, "field");
  EXPECT_EQ(texts[10000].text, "9999");
}

}  // namespace
}  // namespace tavo
