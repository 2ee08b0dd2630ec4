#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

std::string BarcodeElement(const std::string& attributes, const std::string& text = "") {
  return R"(<code type="barcode" )" + attributes + "><text>" + text + "</text></code>";
}

std::vector<RecordedOp> OfKind(const std::vector<RecordedOp>& ops, Kind kind) {
  std::vector<RecordedOp> found;
  for (const RecordedOp& op : ops) {
    if (op.kind == kind) found.push_back(op);
  }
  return found;
}

// The smallest rectangle around every module drawn.
Rect Bounds(const std::vector<RecordedOp>& modules) {
  Rect bounds = modules.at(0).rect;
  for (const RecordedOp& op : modules) {
    bounds.left = std::min(bounds.left, op.rect.left);
    bounds.top = std::min(bounds.top, op.rect.top);
    bounds.right = std::max(bounds.right, op.rect.right);
    bounds.bottom = std::max(bounds.bottom, op.rect.bottom);
  }
  return bounds;
}

// A preview at `dpi` of a rule at 96 dpi: the rule's 96 is one device inch.
struct Preview {
  explicit Preview(int32_t dpi, const std::string& elements, const std::string& data = "<x>1</x>")
      : surface(test::RecordingOptions{.caps = {.dpiX = dpi, .dpiY = dpi}}) {
    TTavoXmlDataPrinter printer(RuleDocument(R"(dpix="96" dpiy="96")", elements),
                                &surface.canvas());
    printer.Print(DataDocument(data), &surface.canvas());
  }
  std::vector<RecordedOp> Modules() { return OfKind(surface.ops(), Kind::Rectangle); }
  test::RecordingCanvas surface;
};

TEST(BarcodeElement, Code128BarsAreWholeModulesFromTheAlignedEdgeAt600Dpi) {
  // The box is 600..3000 x 600..1200 device pixels.
  const std::string box = R"(left="96" top="96" right="480" bottom="192" moduleSize="4" )";
  const struct {
    std::string attributes;
    int32_t firstBarLeft, lastBarRight;
  } cases[] = {
      {R"(horzAlign="otaLeft")", 600 + 10 * 4, -1},
      {R"(horzAlign="otaLeft" quietZone="false")", 600, -1},
      {R"(horzAlign="otaRight")", -1, 3000 - 10 * 4},
      {R"(horzAlign="otaright" quietzone="0")", -1, 3000},
  };
  for (const auto& c : cases) {
    Preview preview(600, BarcodeElement(box + c.attributes, "TAVO-2026-0042"));
    const std::vector<RecordedOp> bars = preview.Modules();
    ASSERT_GT(bars.size(), 10u) << c.attributes;
    const Rect bounds = Bounds(bars);
    if (c.firstBarLeft >= 0) {
      EXPECT_EQ(bounds.left, c.firstBarLeft) << c.attributes;
    }
    if (c.lastBarRight >= 0) {
      EXPECT_EQ(bounds.right, c.lastBarRight) << c.attributes;
    }
    for (const RecordedOp& bar : bars) {
      EXPECT_EQ(bar.rect.Width() % 4, 0) << c.attributes;
      EXPECT_EQ((bar.rect.left - bounds.left) % 4, 0) << c.attributes;
      // Filled in its own colour: the rectangle is exactly the bar's pixels.
      EXPECT_EQ(bar.pen.width, 1);
      EXPECT_EQ(bar.pen.color, clBlack);
      EXPECT_EQ(bar.brush.style, BrushStyle::Solid);
      EXPECT_EQ(bar.brush.color, clBlack);
    }
    // The human-readable content is one run under the bars, inside the box.
    const std::vector<RecordedOp> runs = OfKind(preview.surface.ops(), Kind::Text);
    ASSERT_EQ(runs.size(), 1u) << c.attributes;
    EXPECT_EQ(runs[0].text, "TAVO-2026-0042");
    EXPECT_GE(runs[0].from.y, bounds.bottom);
    EXPECT_LE(runs[0].from.y + 10, 1200);
  }
}

TEST(BarcodeElement, QrCodeSizeFollowsVersionEccLevelAndTheBox) {
  // 32 alphanumeric characters: version 2 (25 modules) at levels L and M, version 3 (29) at H.
  const std::string content = "HTTPS://EXAMPLE.COM/INV/12345678";
  const struct {
    std::string attributes;
    int32_t side;  // device pixels
  } cases[] = {
      {R"(symbology="qrcode" moduleSize="3" quietZone="false")", 25 * 3},
      {R"(symbology="QRCode" moduleSize="3" quietZone="false" eccLevel="L")", 25 * 3},
      {R"(symbology="qrcode" moduleSize="3" quietZone="false" eccLevel="H")", 29 * 3},
      // No module size: the largest whole number that fits 300 pixels, quiet zone included.
      {R"(symbology="qrcode" quietZone="false")", 25 * (300 / 25)},
      {R"(symbology="qrcode")", 25 * (300 / (25 + 8))},
  };
  for (const auto& c : cases) {
    Preview preview(
        96,
        BarcodeElement(R"(left="10" top="10" right="310" bottom="410" )" + c.attributes, content));
    const std::vector<RecordedOp> modules = preview.Modules();
    ASSERT_FALSE(modules.empty()) << c.attributes;
    const Rect bounds = Bounds(modules);
    EXPECT_EQ(bounds.Width(), c.side) << c.attributes;
    EXPECT_EQ(bounds.Height(), c.side) << c.attributes;
    // 2D symbols show no text unless asked.
    EXPECT_TRUE(OfKind(preview.surface.ops(), Kind::Text).empty()) << c.attributes;
  }
}

TEST(BarcodeElement, BoundFieldsAndRowsDrawTheirValueAsCodesAndLeaveTheCanvasAsItWas) {
  const std::string rule =
      BarcodeElement(R"(left="0" top="200" right="200" bottom="260")", "S0") +
      R"(<box type="rectangle" left="0" top="300" right="10" bottom="310" size="1" color="clRed"><x/></box>)" +
      BarcodeElement(R"(id="no" index="0" left="0" top="0" right="200" bottom="60")") +
      BarcodeElement(R"(id="sku" index="1" left="0" top="100" right="200" bottom="160")");
  Preview preview(96, rule, "<no>A1</no><rows><r><sku>B2</sku></r><r><sku>C3</sku></r></rows>");
  std::vector<std::string> captions;
  for (const RecordedOp& run : OfKind(preview.surface.ops(), Kind::Text)) {
    captions.push_back(run.text);
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"S0", "A1", "C3"}));
  // The rectangle after a code still has the fresh canvas's white brush.
  const std::vector<RecordedOp> rectangles = preview.Modules();
  const auto box = std::find_if(rectangles.begin(), rectangles.end(),
                                [](const RecordedOp& op) { return op.rect.top == 300; });
  ASSERT_NE(box, rectangles.end());
  const RecordedOp last = *box;
  EXPECT_EQ(last.rect, (Rect{0, 300, 10, 310}));
  EXPECT_EQ(last.brush.color, clWhite);
  EXPECT_EQ(last.pen.color, Color{0x0000FF});
}

TEST(BarcodeElement, ContentItCannotHoldDrawsNothingFailsThePreviewAndEndsThePrint) {
  const struct {
    std::string symbology, content, reason;
  } cases[] = {
      {"code128", "发票", "Invalid character"},
      {"ean13", "50123456789x", "Invalid character"},
      {"ean13", "5012345678901", "check digit"},
      {"ean13", "12345", "12 digits"},
      {"ean8", "96385075", "check digit"},
      {"ean8", "963850", "7 digits"},
      {"upca", "03600029145X", "Invalid character"},
      {"code39", "lower_case", "Invalid character"},
      {"itf14", "12345678901234", "check digit"},
      {"itf14", "123456789012345", "too long"},
      {"qrcode", std::string(3000, '~'), "too long"},
      {"datamatrix", std::string(4000, '~'), "too long"},
      {"pdf417", std::string(3000, '~'), "too long"},
      // Fits no box of 3 pixels (19 on the printer) at one pixel per module.
      {"code128", "0123456789", "does not fit its box of 3 x 3"},
  };
  for (const auto& c : cases) {
    const std::string rule =
        RuleDocument("", BarcodeElement(R"(id="v" index="0" right="3" bottom="3" )"
                                        R"(symbology=")" +
                                        c.symbology + R"(")"));
    const std::string data = DataDocument("<v>" + c.content + "</v>");
    test::RecordingCanvas surface;
    TTavoXmlDataPrinter preview(rule, &surface.canvas());
    try {
      preview.Print(data, &surface.canvas());
      ADD_FAILURE() << c.symbology << " " << c.content << " did not fail";
    } catch (const Error& failure) {
      const std::string message = failure.what();
      EXPECT_NE(message.find("\"" + c.content + "\""), std::string::npos) << message;
      EXPECT_NE(message.find(c.symbology), std::string::npos) << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    }
    EXPECT_TRUE(surface.ops().empty()) << c.symbology << " " << c.content;

    test::ScopedTestPrinter current;
    TTavoXmlDataPrinter printer(rule, nullptr);
    EXPECT_FALSE(printer.Print(data));
    ASSERT_EQ(current->Jobs().size(), 1u);
    EXPECT_TRUE(current->Jobs()[0].ended);
    EXPECT_TRUE(current->Jobs()[0].ops.empty());
    EXPECT_FALSE(current->Printing());
  }
}

}  // namespace
}  // namespace tavo
