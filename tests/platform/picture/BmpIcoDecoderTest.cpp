#include <gtest/gtest.h>
#include <png.h>

#include <ostream>

#include "platform/picture/Picture.h"
#include "platform/picture/TestImages.h"

namespace tavo {
namespace {

using testimages::BuildBmp;
using testimages::BuildDib;
using testimages::BuildIco;
using testimages::Bytes;
using testimages::DibRecipe;

constexpr uint32_t R = 0xFFFF0000, G = 0xFF00FF00, W = 0xFFFFFFFF, K = 0xFF000000;

struct BmpCase {
  const char* name;
  DibRecipe recipe;
  int32_t width;
  int32_t height;
  std::vector<uint32_t> expected;  // rows from the top
};

// By name: GoogleTest's fallback dumps the raw bytes of the case, padding included.
void PrintTo(const BmpCase& c, std::ostream* out) { *out << c.name; }

class BmpDecodeTest : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpDecodeTest, ReadsKnownPixels) {
  const BmpCase& c = GetParam();
  const std::optional<Graphic> graphic = DecodeBmp(BuildBmp(c.recipe));
  ASSERT_TRUE(graphic);
  EXPECT_EQ(graphic->kind, GraphicKind::Bitmap);
  EXPECT_EQ(graphic->width, c.width);
  EXPECT_EQ(graphic->height, c.height);
  EXPECT_EQ(graphic->pixels, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BmpDecodeTest,
    testing::Values(
        BmpCase{"OneBitBottomUp",
                {40, 3, 2, 1, 0, 0, {}, {0x000000, 0xFFFFFF}, {0x20, 0, 0, 0, 0xA0, 0, 0, 0}},
                3,
                2,
                {W, K, W, K, K, W}},
        BmpCase{"FourBitShortPalette",
                {40, 3, 1, 4, 0, 3, {}, {0x112233, 0x445566, 0x778899}, {0x20, 0x10, 0, 0}},
                3,
                1,
                {0xFF778899, 0xFF112233, 0xFF445566}},
        BmpCase{"EightBitTopDownIndexBeyondPalette",
                {40, 3, -2, 8, 0, 2, {}, {0xFF0000, 0x00FF00}, {1, 0, 200, 0, 0, 1, 1, 0}},
                3,
                2,
                {G, R, K, R, G, G}},
        BmpCase{"Sixteen555",
                {40, 2, 1, 16, 0, 0, {}, {}, {0x00, 0x7C, 0x1F, 0x00}},
                2,
                1,
                {R, 0xFF0000FF}},
        BmpCase{"Sixteen565Bitfields",
                {40, 2, 1, 16, 3, 0, {0xF800, 0x07E0, 0x001F}, {}, {0xE0, 0x07, 0x10, 0x84}},
                2,
                1,
                {G, 0xFF848284}},
        BmpCase{"TwentyFourBottomUp",
                {40, 1, 2, 24, 0, 0, {}, {}, {1, 2, 3, 0, 10, 20, 30, 0}},
                1,
                2,
                {0xFF1E140A, 0xFF030201}},
        BmpCase{"ThirtyTwoRgbIsOpaque",
                {40, 1, 1, 32, 0, 0, {}, {}, {1, 2, 3, 0x40}},
                1,
                1,
                {0xFF030201}},
        BmpCase{"ThirtyTwoThreeMasksIsOpaque",
                {40, 1, 1, 32, 3, 0, {0xFF0000, 0xFF00, 0xFF}, {}, {1, 2, 3, 0x40}},
                1,
                1,
                {0xFF030201}},
        BmpCase{"ThirtyTwoEmptyMaskGivesZero",
                {40, 1, 1, 32, 3, 0, {0, 0xFF00, 0xFF}, {}, {1, 2, 3, 0x40}},
                1,
                1,
                {0xFF000201}},
        BmpCase{"ThirtyTwoV5AlphaMask",
                {124, 1, 1, 32, 3, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {1, 2, 3, 0x40}},
                1,
                1,
                {0x40030201}},
        BmpCase{"V4Header24Bit", {108, 1, 1, 24, 0, 0, {}, {}, {1, 2, 3, 0}}, 1, 1, {0xFF030201}},
        BmpCase{"Os2CoreHeader",
                {12, 1, 1, 1, 0, 0, {}, {0x0000FF, 0xFFFF00}, {0x80, 0, 0, 0}},
                1,
                1,
                {0xFFFFFF00}},
        // Runs: bottom line three of index 1 then end of line; top line absolute 0 1 0.
        BmpCase{"Rle8",
                {40, 4, 2, 8, 1, 2, {}, {0xFF0000, 0x00FF00}, {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 1}},
                4,
                2,
                {R, G, R, 0, G, G, G, 0}},
        BmpCase{"Rle4",
                {40, 4, 1, 4, 2, 2, {}, {0xFF0000, 0x00FF00}, {4, 0x10, 0, 1}},
                4,
                1,
                {G, R, G, R}},
        BmpCase{"Rle8DeltaLeavesTransparent",
                {40, 3, 2, 8, 1, 2, {}, {0xFF0000, 0x00FF00}, {0, 2, 1, 1, 1, 1, 0, 1}},
                3,
                2,
                {0, G, 0, 0, 0, 0}}),
    [](const testing::TestParamInfo<BmpCase>& info) { return info.param.name; });

Bytes TwoByTwoPng() {
  return testimages::EncodePng({2,
                                2,
                                PNG_COLOR_TYPE_RGBA,
                                8,
                                false,
                                {},
                                {},
                                {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 9, 9, 9, 0, 0, 0, 255}}});
}

// A 2 x 2 icon image: 24-bit pixels (top row red, bottom green) and a mask hiding bottom right.
Bytes MaskedIconDib(uint16_t bitCount, uint8_t alpha) {
  const size_t bytesPerPixel = bitCount / 8;
  Bytes pixels;
  for (uint32_t colour : {G, G, R, R}) {
    pixels.insert(pixels.end(), {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                                 static_cast<uint8_t>(colour >> 16)});
    if (bytesPerPixel == 4) pixels.push_back(alpha);
    if (bytesPerPixel == 3 && pixels.size() % 8 == 6) pixels.insert(pixels.end(), {0, 0});
  }
  pixels.insert(pixels.end(), {0x40, 0, 0, 0, 0x00, 0, 0, 0});
  return BuildDib({40, 2, 4, bitCount, 0, 0, {}, {}, pixels});
}

TEST(IcoDecode, PicksLargestEntryAndDecodesPng) {
  const Bytes icon = BuildIco({{1, 1, 24, MaskedIconDib(24, 0)}, {2, 2, 32, TwoByTwoPng()}});
  const std::optional<Graphic> graphic = DecodeIco(icon);
  ASSERT_TRUE(graphic);
  EXPECT_EQ(graphic->kind, GraphicKind::Icon);
  EXPECT_EQ(graphic->pixels, (std::vector<uint32_t>{0x04010203, 0x08050607, 0x09090909, K}));
}

TEST(IcoDecode, BitmapEntryTakesTransparencyFromMask) {
  for (uint16_t bitCount : {24, 32}) {
    const std::optional<Graphic> graphic =
        DecodeIco(BuildIco({{2, 2, bitCount, MaskedIconDib(bitCount, 0)}}));
    ASSERT_TRUE(graphic) << bitCount;
    EXPECT_EQ(graphic->kind, GraphicKind::Icon);
    EXPECT_EQ(graphic->height, 2);
    EXPECT_EQ(graphic->pixels, (std::vector<uint32_t>{R, R, G, 0})) << bitCount;
  }
}

TEST(IcoDecode, ThirtyTwoBitAlphaWinsOverMask) {
  const std::optional<Graphic> graphic = DecodeIco(BuildIco({{2, 2, 32, MaskedIconDib(32, 0x80)}}));
  ASSERT_TRUE(graphic);
  EXPECT_EQ(graphic->pixels,
            (std::vector<uint32_t>{0x80FF0000, 0x80FF0000, 0x8000FF00, 0x8000FF00}));
}

}  // namespace
}  // namespace tavo
