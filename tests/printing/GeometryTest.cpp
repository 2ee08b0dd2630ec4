#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "platform/core/Error.h"
#include "printing/unitCommonPrinting.h"
#include "support/RecordingCanvas.h"
#include "support/TestPrinter.h"

namespace tavo {
namespace {

using test::RecordingCanvas;
using test::RecordingOptions;

RecordingOptions AtDpi(int32_t dpiX, int32_t dpiY, int32_t offsetX = 0, int32_t offsetY = 0) {
  RecordingOptions options;
  options.caps = {dpiX, dpiY, offsetX, offsetY};
  return options;
}

TEST(Geometry, RuleToDeviceRoundsHalfToEvenAndClamps) {
  const struct {
    int32_t deviceDpi, ruleDpi, value, expected;
  } cases[] = {
      {600, 96, 100, 625},
      {144, 96, 1, 2},    // 1.5
      {144, 96, 3, 4},    // 4.5
      {144, 96, 5, 8},    // 7.5
      {144, 96, -3, -4},  // -4.5
      {144, 96, -1, -2},  // -1.5
      {300, 300, 12345, 12345},
      {96, 96, INT32_MAX, INT32_MAX},
      {96, 96, INT32_MIN, INT32_MIN},
      {600, 96, INT32_MAX, INT32_MAX},  // 32-bit products would overflow; results clamp
      {600, 96, INT32_MIN, INT32_MIN},
      {600, -96, 96, -600},
      {600, 1, 5000000, INT32_MAX},
  };
  for (const auto& c : cases) {
    RecordingCanvas surface(AtDpi(c.deviceDpi, c.deviceDpi));
    TTavoCommonPrinter printer;
    printer.canvas = &surface.canvas();
    printer.dpix = printer.dpiy = c.ruleDpi;
    EXPECT_EQ(printer.RuleToDeviceX(c.value), c.expected)
        << c.deviceDpi << "/" << c.ruleDpi << " " << c.value;
    EXPECT_EQ(printer.RuleToDeviceY(c.value), c.expected);
  }
}

TEST(Geometry, MillimetresUseEachAxisResolution) {
  const struct {
    int32_t dpiX, dpiY;
    double mm;
    int32_t x, y;
  } cases[] = {
      {600, 600, 210, 4961, 4961},
      {600, 600, 297, 7016, 7016},
      {96, 96, 210, 794, 794},
      {96, 96, 297, 1123, 1123},
      {600, 300, 25.4, 600, 300},
      {96, 96, -25.4, -96, -96},
      {600, 600, 1e300, INT32_MAX, INT32_MAX},
      {600, 600, -1e300, INT32_MIN, INT32_MIN},
  };
  for (const auto& c : cases) {
    RecordingCanvas surface(AtDpi(c.dpiX, c.dpiY));
    TTavoCommonPrinter printer;
    printer.canvas = &surface.canvas();
    EXPECT_EQ(printer.MmToDeviceX(c.mm), c.x) << c.mm;
    EXPECT_EQ(printer.MmToDeviceY(c.mm), c.y) << c.mm;
  }
}

// Millimetres are converted exactly: a tie, such as 102.25 mm at 254 dpi (1022.5 pixels), goes
// to the even neighbour on every architecture, whatever the width of its long double.
TEST(Geometry, MillimetreTiesRoundHalfToEvenExactly) {
  const struct {
    int32_t dpi;
    double mm;
    int32_t expected;
  } cases[] = {
      {254, 102.25, 1022}, {254, 203.25, 2032}, {150, 2762.25, 16312}, {127, 1.5, 8},
      {127, 0.5, 2},       {127, -1.5, -8},     {-127, 1.5, -8},       {600, 1e-300, 0},
      {600, 5e-324, 0},    {600, 0.0, 0},       {0, 25.4, 0},
  };
  for (const auto& c : cases) {
    RecordingCanvas surface(AtDpi(c.dpi, c.dpi));
    TTavoCommonPrinter printer;
    printer.canvas = &surface.canvas();
    EXPECT_EQ(printer.MmToDeviceX(c.mm), c.expected) << c.dpi << " dpi, " << c.mm << " mm";
    EXPECT_EQ(printer.MmToDeviceY(c.mm), c.expected) << c.dpi << " dpi, " << c.mm << " mm";
  }
  RecordingCanvas surface(AtDpi(0, 600));
  TTavoCommonPrinter printer;
  printer.canvas = &surface.canvas();
  EXPECT_THROW(printer.MmToDeviceX(std::numeric_limits<double>::infinity()), Error);
  EXPECT_THROW(printer.MmToDeviceY(std::numeric_limits<double>::quiet_NaN()), Error);
  EXPECT_EQ(printer.MmToDeviceY(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

TEST(Geometry, RectangleConvertsEachEdgeOnItsAxis) {
  RecordingCanvas surface(AtDpi(192, 288));
  TTavoCommonPrinter printer;
  printer.canvas = &surface.canvas();
  EXPECT_EQ(printer.RuleToDeviceRect({1, 1, 10, 20}), (Rect{2, 3, 20, 60}));
  EXPECT_EQ(TTavoCommonPrinter::ShiftRect({INT32_MAX - 1, INT32_MIN + 1, 0, 0}, 10, -10),
            (Rect{INT32_MAX, INT32_MIN, 10, -10}));
}

TEST(Geometry, ZeroRuleResolutionIsAReportedFailure) {
  RecordingCanvas surface;
  TTavoCommonPrinter printer;
  printer.canvas = &surface.canvas();
  printer.dpix = 0;
  EXPECT_THROW(
      {
        try {
          printer.RuleToDeviceX(0);
        } catch (const Error& e) {
          EXPECT_STREQ(e.what(), "Floating point division by zero");
          throw;
        }
      },
      Error);
  EXPECT_EQ(printer.RuleToDeviceY(7), 7);
  printer.dpiy = 0;
  EXPECT_THROW(printer.RuleToDeviceY(7), Error);
}

TEST(Geometry, WithoutCanvasTheCurrentPrinterIsAsked) {
  TTavoCommonPrinter printer;
  {
    test::ScopedTestPrinter testPrinter;  // 600 dpi, printable area 50 pixels in
    EXPECT_EQ(printer.RuleToDeviceX(100), 625);
    EXPECT_EQ(printer.PhysicalOffsetX(), 50);
    // Rule x 0 without offsets lands on the paper's edge, 50 device pixels left of the origin.
    EXPECT_EQ(printer.PageOriginX(), -50);
    printer.Settings().offsetLeft = 10;  // 236 device pixels
    EXPECT_EQ(printer.PageOriginX(), 186);
  }
  test::ScopedTestPrinter none(test::TestPrinterOptions{.noPrinter = true});
  try {
    printer.RuleToDeviceX(1);
    ADD_FAILURE() << "no failure without a printer";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), kNoDefaultPrinter);
  }
}

}  // namespace
}  // namespace tavo
