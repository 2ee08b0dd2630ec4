#include <gtest/gtest.h>

#include <string>

#include "platform/core/Base64.h"
#include "platform/core/Error.h"
#include "printing/PrintingFixtures.h"
#include "printing/unitFormTypes.h"
#include "printing/unitFormUtils.h"

namespace tavo {
namespace {

using test::Base64;
using test::BmpFile;

TEST(TextToAlign, NamesIgnoreLetterCaseOverTheWholeText) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"otaAuto", 0},  {"otaLeft", 1},     {"otaCenter", 2},   {"otaRight", 3},    {"OTARIGHT", 3},
      {"otaright", 3}, {"otaTop", 4},      {"otaMiddle", 5},   {"otaBottom", 6},   {"right", 255},
      {"", 255},       {" otaRight", 255}, {"otaRight ", 255}, {"otaRightX", 255},
  };
  for (const auto& c : cases) EXPECT_EQ(static_cast<int>(TextToAlign(c.text)), c.value) << c.text;
  static_assert(sizeof(TTavoAlign) == 1);
}

TEST(TextToColor, NamesIntegersAndFallback) {
  const Color fallback = 0x123456;
  const struct {
    const char* text;
    Color value;
  } cases[] = {
      {"clRed", 0x0000FF},
      {"CLRED", 0x0000FF},
      {"$FF", 0x0000FF},
      {"255", 0x0000FF},
      {" 255", 0x0000FF},
      {"0x00FF00", 0x00FF00},
      {"$FF000008", 0xFF000008},
      {"clWindowText", 0xFF000008},
      {"clMenuBar", 0xFF00001E},
      {"clHotLight", 0xFF00001A},
      {"clCream", 0xF0FBFF},
      {"clSkyBlue", 0xF0CAA6},
      {"clNone", 0x1FFFFFFF},
      {"clDefault", 0x20000000},
      {"255 ", fallback},
      {" clRed", fallback},
      {"red", fallback},
      {"#FF0000", fallback},
      {"", fallback},
      {"   ", fallback},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToColor(c.text, fallback), c.value) << c.text;
}

TEST(StrictTextToColor, FailsWithTheConversionMessage) {
  EXPECT_EQ(StrictTextToColor("clBlue"), 0xFF0000u);
  EXPECT_EQ(StrictTextToColor("$FF0000"), 0xFF0000u);
  for (const std::string text : {"", " ", "red", " clRed"}) {
    try {
      StrictTextToColor(text);
      ADD_FAILURE() << "no failure for '" << text << "'";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
    }
  }
}

TEST(Base64, KindsAndDecoding) {
  EXPECT_EQ(Base64ImageKind("/9j/4AAQ"), bkJpeg);
  EXPECT_EQ(Base64ImageKind("Qk0"), bkBmp);
  EXPECT_EQ(Base64ImageKind("iVBOR"), bkPng);
  EXPECT_EQ(Base64ImageKind("IV"), bkNone);
  EXPECT_EQ(Base64ImageKind("data:image/png;base64,iV"), bkNone);
  EXPECT_EQ(Base64ImageKind("i"), bkNone);

  const std::vector<uint8_t> bytes = {0, 1, 2, 250, 251, 252, 253};
  const std::string text = Base64(bytes);
  EXPECT_EQ(DecodeBase64(text), bytes);
  std::string split;
  for (size_t i = 0; i < text.size(); ++i)
    split += std::string(1, text[i]) + (i % 3 ? "" : "\r\n ");
  EXPECT_EQ(DecodeBase64(split), bytes);
}

TEST(LoadBase64Image, LoadsEachKindAndKeepsWhatTheKindPromisesOnFailure) {
  Picture picture;
  LoadBase64Image(Base64(BmpFile(3, 2)), picture);
  ASSERT_TRUE(picture.HasGraphic());
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(picture.Height(), 2);

  // A bitmap split over lines decodes the same.
  const std::string whole = Base64(BmpFile(4, 5));
  std::string split;
  for (size_t i = 0; i < whole.size(); i += 10) split.append(whole, i, 10).append("\r\n ");
  LoadBase64Image(split, picture);
  EXPECT_EQ(picture.Width(), 4);

  // A PNG that does not decode leaves the picture as it was.
  LoadBase64Image("iVBORw0KGgoAAAANSUhEUgAAAAEAAAAB", picture);
  EXPECT_EQ(picture.Width(), 4);
  // So does text of no known kind, a data URL included.
  LoadBase64Image("data:image/png;base64," + test::kPngBase64, picture);
  EXPECT_EQ(picture.Width(), 4);

  LoadBase64Image(test::kPngBase64, picture);
  ASSERT_TRUE(picture.HasGraphic());
  EXPECT_EQ(picture.GetGraphic()->kind, GraphicKind::Png);

  // A bitmap or JPEG that does not decode leaves an empty picture of its kind.
  LoadBase64Image("Qk0AAAAA", picture);
  EXPECT_FALSE(picture.HasGraphic());
  ASSERT_NE(picture.GetGraphic(), nullptr);
  EXPECT_EQ(picture.GetGraphic()->kind, GraphicKind::Bitmap);
  // A text that names JPEG but carries a bitmap is decoded as JPEG and fails.
  std::string namedJpeg = Base64(BmpFile(2, 2));
  namedJpeg.replace(0, 2, "/9");
  LoadBase64Image(namedJpeg, picture);
  EXPECT_FALSE(picture.HasGraphic());
  EXPECT_EQ(picture.GetGraphic()->kind, GraphicKind::Jpeg);
}

TEST(LoadBase64Image, LyingOrTruncatedDataLoadsNothing) {
  std::vector<uint8_t> lying = BmpFile(2, 2);
  lying[18] = 0xFF;  // width 2^31 - 1 on a file of 16 pixel bytes
  lying[19] = 0xFF;
  lying[20] = 0xFF;
  lying[21] = 0x7F;
  std::vector<uint8_t> truncated = BmpFile(50, 50);
  truncated.resize(100);
  for (const auto& bytes : {lying, truncated}) {
    Picture picture;
    LoadBase64Image(Base64(bytes), picture);
    EXPECT_FALSE(picture.HasGraphic());
  }
  const std::string png = test::kPngBase64;
  Picture picture;
  LoadBase64Image(png.substr(0, png.size() / 2), picture);
  EXPECT_EQ(picture.GetGraphic(), nullptr);
}

}  // namespace
}  // namespace tavo
