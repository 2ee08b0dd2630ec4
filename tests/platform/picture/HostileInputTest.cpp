// Damaged and lying pictures: each must give no graphic, without crashing or allocating from
// the header's word.
#include <gtest/gtest.h>
#include <png.h>

#include <functional>

#include "platform/picture/Picture.h"
#include "platform/picture/TestImages.h"

namespace tavo {
namespace {

using testimages::BuildBmp;
using testimages::BuildDib;
using testimages::BuildIco;
using testimages::Bytes;
using testimages::DibRecipe;
using testimages::PutU32;
using Decoder = std::function<std::optional<Graphic>(std::span<const uint8_t>)>;

Bytes SmallPng() {
  return testimages::EncodePng(
      {3, 2, PNG_COLOR_TYPE_RGB, 8, true, {}, {}, {Bytes(9, 50), Bytes(9, 90)}});
}
Bytes SmallJpeg() { return testimages::EncodeJpeg(16, 16, 3, Bytes(16 * 16 * 3, 120)); }
DibRecipe SmallDib() {
  return {40, 2, 2, 8, 0, 2, {}, {0xFF0000, 0x00FF00}, {0, 1, 0, 0, 1, 0, 0, 0}};
}
DibRecipe IconDib() { return {40, 1, 2, 24, 0, 0, {}, {}, {1, 2, 3, 0, 0, 0, 0, 0}}; }
DibRecipe RleDib() {
  return {40, 4, 2, 8, 1, 2, {}, {0xFF0000, 0x00FF00}, {3, 1, 0, 0, 0, 3, 0, 1, 0, 0, 0, 1}};
}

// Replaces the four bytes at `at` with `value`, little-endian.
Bytes Patched(Bytes bytes, size_t at, uint32_t value) {
  Bytes encoded;
  PutU32(encoded, value);
  std::copy(encoded.begin(), encoded.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

// A JPEG whose frame header declares another size.
Bytes JpegDeclaring(uint16_t width, uint16_t height) {
  Bytes jpeg = SmallJpeg();
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      break;
    }
  }
  return jpeg;
}

struct Sample {
  const char* name;
  Decoder decode;
  Bytes bytes;
};

std::vector<Sample> ValidSamples() {
  return {{"png", DecodePng, SmallPng()},
          {"jpeg", DecodeJpeg, SmallJpeg()},
          {"bmp", DecodeBmp, BuildBmp(SmallDib())},
          {"bmp-rle8", DecodeBmp, BuildBmp(RleDib())},
          {"ico-bmp", DecodeIco, BuildIco({{1, 1, 24, BuildDib(IconDib())}})},
          {"ico-png", DecodeIco, BuildIco({{3, 2, 32, SmallPng()}})}};
}

TEST(HostileInput, EveryTruncationOfAValidFileGivesNothing) {
  for (const Sample& sample : ValidSamples()) {
    ASSERT_TRUE(sample.decode(sample.bytes)) << sample.name;
    for (size_t length = 0; length < sample.bytes.size(); ++length) {
      EXPECT_FALSE(sample.decode(std::span(sample.bytes).first(length)))
          << sample.name << " cut to " << length << " bytes";
    }
  }
}

TEST(HostileInput, LyingHeadersGiveNothing) {
  const Bytes bmp = BuildBmp(SmallDib());
  const Bytes ico = BuildIco({{1, 1, 24, BuildDib(IconDib())}});
  auto dib = [](auto change) {
    DibRecipe recipe = SmallDib();
    change(recipe);
    return BuildBmp(recipe);
  };
  const std::vector<Sample> cases = {
      {"png 100000 x 100000", DecodePng, testimages::PngHeaderOnly(100000, 100000)},
      {"png 100000001 x 1", DecodePng, testimages::PngHeaderOnly(100000001, 1)},
      {"png zero width", DecodePng, testimages::PngHeaderOnly(0, 1)},
      {"jpeg 65000 x 65000", DecodeJpeg, JpegDeclaring(65000, 65000)},
      {"jpeg zero height", DecodeJpeg, JpegDeclaring(16, 0)},
      {"jpeg taller than its data", DecodeJpeg, JpegDeclaring(16, 4000)},
      {"bmp 100000 x 100000", DecodeBmp, dib([](DibRecipe& s) { s.width = s.height = 100000; })},
      {"bmp width over limit", DecodeBmp, dib([](DibRecipe& s) {
         s.width = 100000001;
         s.height = 1;
       })},
      {"bmp negative width", DecodeBmp, dib([](DibRecipe& s) { s.width = -2; })},
      {"bmp zero height", DecodeBmp, dib([](DibRecipe& s) { s.height = 0; })},
      {"bmp most negative height", DecodeBmp, dib([](DibRecipe& s) { s.height = INT32_MIN; })},
      {"bmp palette beyond end", DecodeBmp, dib([](DibRecipe& s) { s.colorsUsed = 0x40000000; })},
      {"bmp bit count 3", DecodeBmp, dib([](DibRecipe& s) { s.bitCount = 3; })},
      {"bmp rle8 at 24 bits", DecodeBmp, dib([](DibRecipe& s) {
         s.compression = 1;
         s.bitCount = 24;
       })},
      {"bmp top-down rle", DecodeBmp, dib([](DibRecipe& s) {
         s = RleDib();
         s.height = -2;
       })},
      {"bmp split mask", DecodeBmp, dib([](DibRecipe& s) {
         s = {40, 1, 1, 32, 3, 0, {0xF0F000, 0xFF00, 0xFF}, {}, {1, 2, 3, 4}};
       })},
      {"bmp unknown header size", DecodeBmp, Patched(bmp, 14, 41)},
      {"bmp huge header size", DecodeBmp, Patched(bmp, 14, 0xFFFFFFFF)},
      {"bmp pixels beyond end", DecodeBmp, Patched(bmp, 10, static_cast<uint32_t>(bmp.size()))},
      {"bmp pixels far beyond end", DecodeBmp, Patched(bmp, 10, 0xFFFFFFF0)},
      {"bmp pixel offset inside file header", DecodeBmp, Patched(bmp, 10, 4)},
      {"ico no entries", DecodeIco, Bytes{0, 0, 1, 0, 0, 0}},
      {"ico more entries than bytes", DecodeIco, Bytes{0, 0, 1, 0, 0xFF, 0xFF, 0, 0}},
      {"ico image beyond end", DecodeIco, Patched(ico, 18, 0xFFFFFFF0)},
      {"ico image size beyond end", DecodeIco, Patched(ico, 14, 0x7FFFFFFF)},
      {"ico image is garbage", DecodeIco, Patched(ico, 22, 0x12345678)},
      {"ico wrong type", DecodeIco, Patched(ico, 2, 7)},
      {"empty input png", DecodePng, {}},
      {"bmp given to jpeg", DecodeJpeg, bmp},
      {"jpeg given to png", DecodePng, SmallJpeg()},
  };
  for (const Sample& c : cases) EXPECT_FALSE(c.decode(c.bytes)) << c.name;
}

}  // namespace
}  // namespace tavo
