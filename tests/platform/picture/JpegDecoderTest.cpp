#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>

#include "platform/picture/Picture.h"
#include "platform/picture/TestImages.h"

namespace tavo {
namespace {

using testimages::Bytes;
using testimages::EncodeJpeg;

struct JpegCase {
  const char* name;
  int components;
  Bytes sample;  // one pixel's samples, repeated over the picture
  uint32_t expected;
};

// By name: GoogleTest's fallback dumps the raw bytes of the case, padding included.
void PrintTo(const JpegCase& c, std::ostream* out) { *out << c.name; }

class JpegDecodeTest : public testing::TestWithParam<JpegCase> {};

TEST_P(JpegDecodeTest, SolidColourComesOutAsOpaqueRgb) {
  const JpegCase& c = GetParam();
  Bytes samples;
  for (int i = 0; i < 16 * 8; ++i) samples.insert(samples.end(), c.sample.begin(), c.sample.end());
  const std::optional<Graphic> graphic = DecodeJpeg(EncodeJpeg(16, 8, c.components, samples));
  ASSERT_TRUE(graphic);
  EXPECT_EQ(graphic->kind, GraphicKind::Jpeg);
  ASSERT_EQ(graphic->width, 16);
  ASSERT_EQ(graphic->height, 8);
  for (uint32_t pixel : graphic->pixels) {
    for (int shift : {24, 16, 8, 0}) {
      const int got = (pixel >> shift) & 0xFF;
      const int want = (c.expected >> shift) & 0xFF;
      ASSERT_LE(std::abs(got - want), 3) << std::hex << pixel << " vs " << c.expected;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    ColourSpaces, JpegDecodeTest,
    testing::Values(JpegCase{"Gray", 1, {100}, 0xFF646464},
                    JpegCase{"Rgb", 3, {200, 40, 90}, 0xFFC8285A},
                    // Adobe CMYK stores ink inverted: 0 is full cyan ink, 255 none.
                    JpegCase{"AdobeCmykCyan", 4, {0, 255, 255, 255}, 0xFF00FFFF},
                    JpegCase{"AdobeCmykWhite", 4, {255, 255, 255, 255}, 0xFFFFFFFF}),
    [](const testing::TestParamInfo<JpegCase>& info) { return info.param.name; });

TEST(JpegDecode, KeepsPixelPositions) {
  Bytes samples(32 * 16, 0);
  for (size_t y = 8; y < 16; ++y) {
    for (size_t x = 16; x < 32; ++x) samples[y * 32 + x] = 255;
  }
  const std::optional<Graphic> graphic = DecodeJpeg(EncodeJpeg(32, 16, 1, samples));
  ASSERT_TRUE(graphic);
  EXPECT_LE(graphic->pixels[0] & 0xFF, 3u);
  EXPECT_GE(graphic->pixels[15 * 32 + 31] & 0xFF, 252u);
}

TEST(JpegDecode, RefusesHundredsOfProgressiveScans) {
  const Bytes samples(8 * 8, 77);
  const std::optional<Graphic> usual =
      DecodeJpeg(EncodeJpeg(8, 8, 1, samples, testimages::JpegScans::Progressive));
  ASSERT_TRUE(usual);
  EXPECT_NEAR(usual->pixels[0] & 0xFF, 77, 2);
  EXPECT_FALSE(DecodeJpeg(EncodeJpeg(8, 8, 1, samples, testimages::JpegScans::HundredsOfScans)));
}

}  // namespace
}  // namespace tavo
