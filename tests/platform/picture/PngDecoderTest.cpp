#include <gtest/gtest.h>
#include <png.h>

#include <ostream>

#include "platform/picture/Picture.h"
#include "platform/picture/TestImages.h"

namespace tavo {
namespace {

using testimages::Bytes;
using testimages::EncodePng;
using testimages::PngRecipe;

struct PngCase {
  const char* name;
  PngRecipe recipe;
  std::vector<uint32_t> expected;  // 0xAARRGGBB, rows from the top
};

// By name: GoogleTest's fallback dumps the raw bytes of the case, padding included.
void PrintTo(const PngCase& c, std::ostream* out) { *out << c.name; }

class PngDecodeTest : public testing::TestWithParam<PngCase> {};

TEST_P(PngDecodeTest, ExpandsToStraightArgb) {
  const PngCase& c = GetParam();
  const Bytes file = EncodePng(c.recipe);
  ASSERT_FALSE(file.empty());
  const std::optional<Graphic> graphic = DecodePng(file);
  ASSERT_TRUE(graphic);
  EXPECT_EQ(graphic->kind, GraphicKind::Png);
  EXPECT_EQ(graphic->width, static_cast<int32_t>(c.recipe.width));
  EXPECT_EQ(graphic->height, static_cast<int32_t>(c.recipe.height));
  EXPECT_EQ(graphic->pixels, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ColourTypes, PngDecodeTest,
    testing::Values(
        PngCase{"Rgba2x2",
                {2,
                 2,
                 PNG_COLOR_TYPE_RGBA,
                 8,
                 false,
                 {},
                 {},
                 {{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 10, 20, 30, 255}}},
                {0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFF0A141E}},
        PngCase{"Rgb",
                {2, 1, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {{1, 2, 3, 250, 251, 252}}},
                {0xFF010203, 0xFFFAFBFC}},
        PngCase{"PaletteWithTransparency",
                {3,
                 1,
                 PNG_COLOR_TYPE_PALETTE,
                 4,
                 false,
                 {0x102030, 0xA0B0C0, 0xFFFFFF},
                 {0x00, 0x80},
                 {{0x12, 0x00}}},
                {0x80A0B0C0, 0xFFFFFFFF, 0x00102030}},
        PngCase{"Gray1Bit",
                {4, 1, PNG_COLOR_TYPE_GRAY, 1, false, {}, {}, {{0b10100000}}},
                {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
        PngCase{"GrayAlpha",
                {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {}, {}, {{0x40, 0x20}}},
                {0x20404040}},
        PngCase{"Rgb16Bit",
                {1, 1, PNG_COLOR_TYPE_RGB, 16, false, {}, {}, {{0xFF, 0xFF, 0x80, 0x80, 0, 0}}},
                {0xFFFF8000}},
        PngCase{"Gray16BitWithAlpha",
                {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {}, {}, {{0x00, 0x00, 0xFF, 0xFF}}},
                {0xFF000000}}),
    [](const testing::TestParamInfo<PngCase>& info) { return info.param.name; });

// Adam7 spreads each pixel over seven passes; the result must equal the plain image.
TEST(PngDecode, InterlacedEqualsNonInterlaced) {
  PngRecipe recipe{9, 7, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {}};
  for (uint32_t y = 0; y < recipe.height; ++y) {
    Bytes row;
    for (uint32_t x = 0; x < recipe.width; ++x) {
      row.insert(row.end(), {static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 30), 7});
    }
    recipe.rows.push_back(row);
  }
  const std::optional<Graphic> plain = DecodePng(EncodePng(recipe));
  recipe.interlaced = true;
  const std::optional<Graphic> interlaced = DecodePng(EncodePng(recipe));
  ASSERT_TRUE(plain && interlaced);
  EXPECT_EQ(interlaced->pixels, plain->pixels);
  EXPECT_EQ(plain->pixels[8 + 6 * 9], 0xFFA0B407u);
}

}  // namespace
}  // namespace tavo
