// The raster device under a canvas: exact pixels of lines and rectangles, pictures, and the
// fonts that Windows names map to.
#include <gtest/gtest.h>

#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <chrono>

#include "platform/cairo/FontMapping.h"
#include "platform/cairo/PdfProbe.h"
#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kRed = 0xFFFF0000;

uint32_t PixelAt(RasterCanvas& raster, int x, int y) { return raster.Pixel(x, y); }

// The family fontconfig gives Pango for a name, after the project's mapping.
std::string ResolvedFamily(const char* utf8Name) {
  LoadFontMapping();
  PangoFontMap* map = pango_cairo_font_map_new();
  PangoContext* context = pango_font_map_create_context(map);
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, utf8Name);
  pango_font_description_set_absolute_size(description, 16 * PANGO_SCALE);
  PangoFont* font = pango_font_map_load_font(map, context, description);
  PangoFontDescription* found = pango_font_describe(font);
  std::string family = pango_font_description_get_family(found);
  pango_font_description_free(found);
  g_object_unref(font);
  pango_font_description_free(description);
  g_object_unref(context);
  pango_fc_font_map_shutdown(PANGO_FC_FONT_MAP(map));
  g_object_unref(map);
  return family;
}

TEST(RasterCanvas, ReportsTheScreenResolution) {
  RasterCanvas raster(50, 40);
  EXPECT_EQ(raster.GetCanvas().GetDeviceCaps(LOGPIXELSX), 96);
  EXPECT_EQ(raster.GetCanvas().GetDeviceCaps(LOGPIXELSY), 96);
  EXPECT_EQ(raster.GetCanvas().GetDeviceCaps(PHYSICALOFFSETX), 0);
  EXPECT_EQ(raster.Width(), 50);
  EXPECT_EQ(raster.Height(), 40);
  EXPECT_EQ(PixelAt(raster, 0, 0), kWhite);
}

TEST(RasterCanvas, RefusesPagesItCannotHold) {
  EXPECT_THROW(RasterCanvas(0, 10), Error);
  EXPECT_THROW(RasterCanvas(100000, 100000), Error);
}

struct LineCase {
  const char* name;
  Point from, to;
  int32_t width;
  int firstX, lastX, firstY, lastY;  // the pixels expected dark, inclusive
};

class RasterLine : public ::testing::TestWithParam<LineCase> {};

// The end point is never drawn; widths 0 and 1 are one pixel; wider pens spread around the line.
TEST_P(RasterLine, LightsExactlyItsPixels) {
  const LineCase& c = GetParam();
  RasterCanvas raster(60, 60);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetPenWidth(c.width);
  canvas.MoveTo(c.from.x, c.from.y);
  canvas.LineTo(c.to.x, c.to.y);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool inside = x >= c.firstX && x <= c.lastX && y >= c.firstY && y <= c.lastY;
      ASSERT_EQ(raster.Pixel(x, y), inside ? kBlack : kWhite) << c.name << " at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RasterLine,
    ::testing::Values(LineCase{"right", {10, 20}, {30, 20}, 1, 10, 29, 20, 20},
                      LineCase{"left", {30, 20}, {10, 20}, 1, 11, 30, 20, 20},
                      LineCase{"zero width", {10, 20}, {30, 20}, 0, 10, 29, 20, 20},
                      LineCase{"down", {5, 5}, {5, 15}, 1, 5, 5, 5, 14},
                      LineCase{"up", {5, 15}, {5, 5}, 1, 5, 5, 6, 15},
                      LineCase{"three wide", {10, 40}, {20, 40}, 3, 10, 19, 39, 41},
                      LineCase{"two wide", {40, 10}, {40, 20}, 2, 40, 41, 10, 19},
                      LineCase{"point", {7, 7}, {7, 7}, 1, -1, -1, -1, -1}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

TEST(RasterCanvas, SlantedLineLeavesItsEndPixel) {
  RasterCanvas raster(40, 40);
  raster.GetCanvas().MoveTo(5, 5);
  raster.GetCanvas().LineTo(25, 25);
  EXPECT_EQ(PixelAt(raster, 5, 5), kBlack);
  EXPECT_EQ(PixelAt(raster, 15, 15), kBlack);
  EXPECT_EQ(PixelAt(raster, 24, 24), kBlack);
  EXPECT_EQ(PixelAt(raster, 25, 25), kWhite);
}

// Outline on left..right-1 and top..bottom-1, interior in the brush, nothing on right or bottom.
TEST(RasterCanvas, RectangleHasExclusiveRightAndBottomEdges) {
  RasterCanvas raster(40, 40);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetBrushColor(0x0000FF);  // 00BBGGRR: red
  canvas.Rectangle(Rect{10, 10, 20, 15});
  for (int y = 8; y < 18; ++y)
    for (int x = 8; x < 23; ++x) {
      const bool outside = x < 10 || x > 19 || y < 10 || y > 14;
      const bool edge = x == 10 || x == 19 || y == 10 || y == 14;
      const uint32_t expected = outside ? kWhite : edge ? kBlack : kRed;
      ASSERT_EQ(raster.Pixel(x, y), expected) << x << "," << y;
    }
}

// A border of the brush's colour, as a barcode's modules have it, is drawn as one fill of the
// outer box: the same pixels as the border around the filled inside, for any pen width.
TEST(RasterCanvas, RectangleOfOneColourLightsTheBorderAndTheInside) {
  for (const int32_t width : {1, 2, 3}) {
    RasterCanvas raster(40, 40);
    Canvas& canvas = raster.GetCanvas();
    canvas.SetPenWidth(width);
    canvas.SetPenColor(0x0000FF);
    canvas.SetBrushColor(0x0000FF);
    canvas.Rectangle(Rect{10, 10, 20, 15});
    const int before = (width - 1) / 2, after = width / 2;  // the pen's pixels around the edges
    for (int y = 5; y < 22; ++y)
      for (int x = 5; x < 27; ++x) {
        const bool inside =
            x >= 10 - before && x <= 19 + after && y >= 10 - before && y <= 14 + after;
        ASSERT_EQ(raster.Pixel(x, y), inside ? kRed : kWhite) << width << ": " << x << "," << y;
      }
  }
}

TEST(RasterCanvas, ClearBrushLeavesTheInterior) {
  RasterCanvas raster(40, 40);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetBrushColor(0x0000FF);
  canvas.Rectangle(Rect{5, 5, 30, 30});
  canvas.SetBrushStyle(BrushStyle::Clear);
  canvas.SetPenColor(0xFF0000);  // blue
  canvas.Rectangle(Rect{10, 10, 20, 20});
  EXPECT_EQ(PixelAt(raster, 15, 15), kRed);
  EXPECT_EQ(PixelAt(raster, 10, 15), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(raster, 19, 19), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(raster, 20, 20), kRed);
}

TEST(RasterCanvas, StretchDrawFillsTheRectangleAndDrawKeepsTheSize) {
  Picture picture;
  picture.Assign(Graphic{GraphicKind::Png, 2, 1, {0xFFFF0000, 0xFF0000FF}});
  RasterCanvas raster(40, 40);
  Canvas& canvas = raster.GetCanvas();
  canvas.StretchDraw(Rect{10, 10, 30, 20}, picture);
  canvas.Draw(2, 30, picture);
  const auto image = [&raster](int x, int y) { return raster.Pixel(x, y); };
  EXPECT_EQ(image(10, 10), kRed);
  EXPECT_EQ(image(29, 19), 0xFF0000FFu);
  EXPECT_EQ(image(9, 10), kWhite);
  EXPECT_EQ(image(30, 19), kWhite);
  EXPECT_EQ(image(10, 20), kWhite);
  EXPECT_EQ(image(2, 30), kRed);
  EXPECT_EQ(image(3, 30), 0xFF0000FFu);
  EXPECT_EQ(image(4, 30), kWhite);
  EXPECT_EQ(image(2, 31), kWhite);
}

// A picture far larger than its box is drawn scaled into it, and nothing outside the box.
TEST(RasterCanvas, StretchDrawOfALargePictureStaysInItsBox) {
  Picture picture;
  picture.Assign(
      Graphic{GraphicKind::Png, 3000, 2000, std::vector<uint32_t>(6'000'000, 0xFF000000)});
  RasterCanvas raster(40, 40);
  raster.GetCanvas().StretchDraw(Rect{10, 10, 20, 20}, picture);
  EXPECT_EQ(PixelAt(raster, 10, 10), kBlack);
  EXPECT_EQ(PixelAt(raster, 19, 19), kBlack);
  EXPECT_EQ(PixelAt(raster, 20, 20), kWhite);
  EXPECT_EQ(PixelAt(raster, 9, 9), kWhite);
}

struct FontCase {
  const char* windowsName;  // UTF-8
  const char* family;       // what it must resolve to
  int32_t width;            // of "ABC发票" at 12 pt on 96 dpi; 0: not fixed
};

class FontMapping : public ::testing::TestWithParam<FontCase> {};

// 12 pt at 96 dpi is a 16 px character height: half-width Latin 8 px, full-width CJK 16 px.
TEST_P(FontMapping, WindowsNamesMeasureAsTheirFreeFonts) {
  const FontCase& c = GetParam();
  RasterCanvas raster(200, 50);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetFontName(codepage::Utf8ToAnsi(c.windowsName));
  canvas.SetFontSize(12);
  EXPECT_EQ(canvas.GetFont().pixelHeight, 16);
  EXPECT_EQ(ResolvedFamily(c.windowsName), c.family);
  const Size extent = canvas.GetTextExtentPoint32A(codepage::Utf8ToAnsi("ABC发票"));
  if (c.width) {
    EXPECT_EQ(extent.cx, c.width);
  }
  EXPECT_GT(extent.cx, 0);
}

INSTANTIATE_TEST_SUITE_P(Windows, FontMapping,
                         ::testing::Values(FontCase{"宋体", "AR PL UMing CN", 56},
                                           FontCase{"SimSun", "AR PL UMing CN", 56},
                                           FontCase{"新宋体", "AR PL UMing CN", 56},
                                           FontCase{"NSimSun", "AR PL UMing CN", 56},
                                           FontCase{"黑体", "WenQuanYi Zen Hei Mono", 56},
                                           FontCase{"SimHei", "WenQuanYi Zen Hei Mono", 56},
                                           FontCase{"楷体", "AR PL UKai CN", 56},
                                           FontCase{"KaiTi", "AR PL UKai CN", 56},
                                           FontCase{"微软雅黑", "Noto Sans CJK SC", 0},
                                           FontCase{"Microsoft YaHei", "Noto Sans CJK SC", 0},
                                           FontCase{"Arial", "Liberation Sans", 0},
                                           FontCase{"Times New Roman", "Liberation Serif", 0},
                                           FontCase{"Courier New", "Liberation Mono", 0}));

TEST(RasterCanvas, SongTiLineIsSixteenPixelsOfAscentAndDescent) {
  RasterCanvas raster(50, 50);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetFontSize(12);
  const FontMetrics metrics = canvas.Device().Metrics(canvas.GetFont());
  EXPECT_EQ(metrics.ascent, 14);
  EXPECT_EQ(metrics.descent, 2);
  EXPECT_EQ(canvas.GetTextExtentPoint32A("A").cy, 16);
}

TEST(RasterCanvas, UnknownFontNameFallsBackToSomeFont) {
  RasterCanvas raster(50, 50);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetFontName("No Such Font Anywhere");
  canvas.SetFontSize(12);
  EXPECT_GT(canvas.GetTextExtentPoint32A("ABC").cx, 0);
}

// An absurd size is measured at a bounded pixel size, quickly, without huge allocations.
TEST(RasterCanvas, AbsurdFontSizeIsBounded) {
  RasterCanvas raster(50, 50);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetFontSize(100000);
  const auto start = std::chrono::steady_clock::now();
  const Size extent = canvas.GetTextExtentPoint32A("W");
  Rect box{0, 0, 50, 50};
  canvas.DrawTextA("W", box, DT_LEFT);
  EXPECT_LE(extent.cy, 2 * 16384);
  EXPECT_GT(extent.cx, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Measuring and drawing agree: the glyphs of a run lie within its measured extent, and nothing
// is drawn outside the clip rectangle.
TEST(RasterCanvas, TextIsDrawnWithinItsMeasuredBoxAndClipped) {
  RasterCanvas raster(200, 60);
  Canvas& canvas = raster.GetCanvas();
  canvas.SetFontSize(12);
  const std::string text = codepage::Utf8ToAnsi("ABC发票");
  Rect box{20, 10, 200, 60};
  canvas.DrawTextA(text, box, DT_LEFT);
  Rect clipped{20, 40, 48, 60};
  canvas.DrawTextA(text, clipped, DT_LEFT);
  int darkInFirst = 0, darkInSecond = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      if (!test::IsDark(raster.Pixel(x, y))) continue;
      const bool first = x >= 20 && x < 20 + 56 && y >= 10 && y < 26;
      const bool second = x >= 20 && x < 48 && y >= 40 && y < 56;
      ASSERT_TRUE(first || second) << "ink at " << x << "," << y;
      (first ? darkInFirst : darkInSecond)++;
    }
  EXPECT_GT(darkInFirst, 50);
  EXPECT_GT(darkInSecond, 20);
}

}  // namespace
}  // namespace tavo
