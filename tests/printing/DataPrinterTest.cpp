#include <gtest/gtest.h>

#include <string>

#include "platform/core/Error.h"
#include "printing/PrintingFixtures.h"
#include "printing/unitCommonPrinting.h"
#include "support/RecordingCanvas.h"
#include "support/TestPrinter.h"

namespace tavo {
namespace {

using test::RuleDocument;

const std::string kOneElement = R"(<e type="text" left="1"><text>x</text></e>)";

std::string Rule(const std::string& attributes) { return RuleDocument(attributes, kOneElement); }

TEST(DataPrinter, PageSizeInDevicePixels) {
  test::ScopedTestPrinter printer;  // 600 dpi
  const struct {
    std::string attributes;
    int32_t width, height;
  } cases[] = {
      {R"(pageWidth="241" pageHeight="297")", 5693, 7016},
      {R"(width="95" dpix="96" height="96" pageHeight="10")", 594, 600},
      {R"(width="95")", 594, 0},
      {R"(width="0" pageWidth="210" height="-96")", 4961, -600},
      {R"(width="95" dpix="300" height="1" dpiy="1201" pageHeight="10")", 190,
       236},  // 0.4996 falls back
      {R"(width="2147483647" dpix="1")", INT32_MAX, 0},
  };
  for (const auto& c : cases) {
    const TTavoXmlDataPrinter data(Rule(c.attributes), nullptr);
    EXPECT_EQ(data.pageWidthPx, c.width) << c.attributes;
    EXPECT_EQ(data.pageHeightPx, c.height) << c.attributes;
  }
}

TEST(DataPrinter, PageSettingKeysAndTheirDefaults) {
  test::RecordingCanvas surface;  // the canvas's 96 dpi is used, no printer asked
  const TTavoXmlDataPrinter bare(Rule(""), &surface.canvas());
  const TTavoPrinterSetting& s = bare.Settings();
  EXPECT_EQ(s.pageWidth, 0.0);
  EXPECT_EQ(s.pageHeight, 0.0);
  EXPECT_EQ(s.repeatableRowSpace, 0.0);
  EXPECT_EQ(s.textPaddingHorz, 1.5);
  EXPECT_EQ(s.textPaddingVert, 1.5);
  EXPECT_FALSE(s.landscape);
  EXPECT_EQ(bare.dpix, 96);
  EXPECT_EQ(bare.pageWidthPx, 0);

  const TTavoXmlDataPrinter full(
      Rule(R"(PageWidth="100.5" pageheight="20" repeatableRowAutoHeightAndTop="True"
              repeatableRowSpace="4.5" dpix="96.5" dpiy="$C0" offsetLeft="1" offsetTop="-2"
              customOffsetLeft="3" customOffsetTop="0.5" textPaddingHorz="7" textPaddingVert="x"
              landscape="1" bgImage=" form.png ")"),
      &surface.canvas());
  const TTavoPrinterSetting& f = full.Settings();
  EXPECT_EQ(f.pageWidth, 100.5);
  EXPECT_EQ(f.pageHeight, 20.0);
  EXPECT_TRUE(f.repeatableRowAutoHeightAndTop);
  EXPECT_EQ(f.repeatableRowSpace, 4.5);
  EXPECT_EQ(full.dpix, 96);
  EXPECT_EQ(full.dpiy, 192);
  EXPECT_EQ(full.OffsetXmm(), 4.0);
  EXPECT_EQ(full.OffsetYmm(), -1.5);
  EXPECT_EQ(f.textPaddingHorz, 7.0);
  EXPECT_EQ(f.textPaddingVert, 1.5);
  EXPECT_TRUE(f.landscape);
  EXPECT_EQ(full.bgImage, " form.png ");
  EXPECT_EQ(full.pageWidthPx, 380);  // 96 x 100.5 / 25.4 = 379.8
}

TEST(DataPrinter, LandscapeValues) {
  test::RecordingCanvas surface;
  for (const auto& [text, landscape] : std::vector<std::pair<std::string, bool>>{
           {"1", true}, {"TRUE", true}, {"true", true}, {"yes", false}, {"0", false}}) {
    const TTavoXmlDataPrinter data(Rule("landscape=\"" + text + "\""), &surface.canvas());
    EXPECT_EQ(data.Settings().landscape, landscape) << text;
  }
}

TEST(DataPrinter, WhereThePrintingItemIsLookedFor) {
  test::RecordingCanvas surface;
  const std::string element = kOneElement;
  const struct {
    std::string document;
    std::string foundWidth;  // empty: no rule
  } cases[] = {
      {"<d><body><printing pageWidth='1'>" + element + "</printing></body></d>", "1"},
      {"<d><body><w><printing pageWidth='2'>" + element + "</printing></w></body></d>", "2"},
      {"<d><body><w>" + element + "</w><v><printing pageWidth='3'>" + element +
           "</printing></v></body></d>",
       ""},
      {"<d><body><w><v><printing pageWidth='4'>" + element + "</printing></v></w></body></d>", ""},
      {"<d><body><printing pageWidth='5'>" + element + "</printing><printing pageWidth='6'>" +
           element + "</printing></body></d>",
       "5"},
      {"<d><body><Printing pageWidth='7'>" + element + "</Printing></body></d>", ""},
      {"<d><body><printing pageWidth='8'/><w>" + element + "</w></body></d>", ""},
  };
  for (const auto& c : cases) {
    const TTavoXmlDataPrinter data(c.document, &surface.canvas());
    if (c.foundWidth.empty()) {
      EXPECT_EQ(data.ruleItem, nullptr) << c.document;
      EXPECT_EQ(data.Settings().pageWidth, 210.0) << c.document;  // initial settings
    } else {
      ASSERT_NE(data.ruleItem, nullptr) << c.document;
      EXPECT_EQ(data.ruleItem->GetAttribute("pageWidth"), c.foundWidth);
    }
  }
}

TEST(DataPrinter, UnusableRuleHasNoPageSettings) {
  test::ScopedTestPrinter printer;
  // The message says why the rule is unusable.
  const std::pair<std::string, std::string> rules[] = {
      {"", " (not well-formed: Document is empty)"},
      {"not xml", " (not well-formed at line 1 column 1: Start tag expected, '<' not found)"},
      {"<doc>\n<body>\n</doc>",
       " (not well-formed at line 3 column 7: Opening and ending tag mismatch: body line 2 and "
       "doc)"},
      {"<doc/>", " (no body)"},
      {"<doc><body/></doc>", " (no printing item)"},
      {"<doc><body><printing pageWidth=\"1\"/></body></doc>", " (no printing item)"}};
  for (const auto& [text, reason] : rules) {
    TTavoXmlDataPrinter data(text, nullptr);
    EXPECT_EQ(data.ruleItem, nullptr);
    EXPECT_EQ(data.pageWidthPx, 0);
    try {
      data.Settings();
      ADD_FAILURE() << "settings of '" << text << "'";
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), "The print rule holds no usable page settings" + reason);
    }
    EXPECT_THROW(data.OffsetXmm(), Error);
    EXPECT_FALSE(data.Print(test::DataDocument("<a>1</a>")));
  }
  EXPECT_TRUE(printer->Jobs().empty());
}

TEST(DataPrinter, ConstructionFailures) {
  test::RecordingCanvas surface;
  try {
    TTavoXmlDataPrinter data(Rule(R"(dpix="0")"), &surface.canvas());
    ADD_FAILURE() << "dpix 0 accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Floating point division by zero");
  }
  test::ScopedTestPrinter none(test::TestPrinterOptions{.noPrinter = true});
  EXPECT_THROW(TTavoXmlDataPrinter(Rule(""), nullptr), Error);
  // A rule without a printing item converts nothing, so it does not fail here.
  EXPECT_NO_THROW(TTavoXmlDataPrinter("<d><body><w><x/></w></body></d>", nullptr));
}

}  // namespace
}  // namespace tavo
