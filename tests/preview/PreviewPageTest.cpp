#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/Error.h"
#include "preview/PreviewFixtures.h"
#include "preview/PreviewPage.h"
#include "preview/dialog/ImageControl.h"
#include "preview/dialog/QtPictures.h"

namespace tavo {
namespace {

using test::kPreviewData;
using test::PixelAt;
using test::PreviewRule;

// A picture file in a fresh folder, removed with it.
class PictureFile {
 public:
  PictureFile(const std::string& name, const std::vector<uint8_t>& bytes)
      : folder_(std::filesystem::temp_directory_path() /
                ("tavo-preview-" + std::to_string(::getpid()))),
        path_(folder_ / name) {
    std::filesystem::create_directories(folder_);
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  ~PictureFile() { std::filesystem::remove_all(folder_); }
  std::u16string Path() const { return codepage::Utf8ToWide(path_.string()); }

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

TEST(PreviewPage, SizedFromPixelsThenMillimetresThenTheDesignedSize) {
  const struct {
    std::string rule;
    int width, height;
  } cases[] = {
      {test::RuleDocument(R"(width="200" height="100")", test::kRedLine), 200, 100},
      {test::RuleDocument(R"(width="400" dpix="192" height="100" pageWidth="50")", test::kRedLine),
       200, 100},
      // Pixels not both positive: the millimetres decide.
      {test::RuleDocument(R"(width="-96" height="50" pageWidth="25.4" pageHeight="12.7")",
                          test::kRedLine),
       96, 48},
      // Neither pixels nor millimetres: the designed size stays.
      {test::RuleDocument("", test::kRedLine), 753, 497},
      {test::RuleDocument(R"(width="-1" pageWidth="-5" pageHeight="10")", test::kRedLine), 753,
       497},
      // No printing item: the initial 210 x 297 mm.
      {"<doc><body><other><x/></other></body></doc>", 794, 1123},
  };
  for (const auto& c : cases) {
    const PreviewPage page = DrawPreviewPage(kPreviewData, codepage::Utf8ToWide(c.rule), u"");
    EXPECT_EQ(page.page.Width(), c.width) << c.rule;
    EXPECT_EQ(page.page.Height(), c.height) << c.rule;
    EXPECT_EQ(ToQImage(page.page).logicalDpiX(), 96) << c.rule;
  }
}

TEST(PreviewPage, RuleWithoutPageSettingsOrTooLargeFails) {
  for (const std::u16string& rule :
       {std::u16string(u"<not xml"), std::u16string(u"<doc/>"),
        PreviewRule(R"(width="20000" height="20000")"), PreviewRule(R"(width="16385" height="1")"),
        PreviewRule(R"(width="12000" height="9000")")}) {
    EXPECT_THROW(DrawPreviewPage(kPreviewData, rule, u""), Error) << codepage::WideToUtf8(rule);
  }
  try {
    DrawPreviewPage(kPreviewData, PreviewRule(R"(width="20000" height="20000")"), u"");
  } catch (const Error& failure) {
    EXPECT_NE(std::string(failure.what()).find("20000 x 20000"), std::string::npos);
  }
}

TEST(PreviewPage, BackgroundUnderTheElements) {
  const PreviewPage page = DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"),
                                           test::GreyBackground(50, 40));
  ASSERT_TRUE(page.backgroundShown);
  EXPECT_EQ(page.background.Width(), 50);
  EXPECT_EQ(page.background.Height(), 40);
  EXPECT_EQ(PixelAt(page.page, 10, 10), test::kGrey);
  EXPECT_EQ(PixelAt(page.page, 49, 39), test::kGrey);
  EXPECT_EQ(PixelAt(page.page, 50, 10), test::kWhite);  // a fresh page beside the picture
  EXPECT_EQ(PixelAt(page.page, 10, 20), test::kRed);    // the line over the picture
  EXPECT_EQ(PixelAt(page.page, 10, 19), test::kGrey);
  EXPECT_EQ(PixelAt(page.page, 150, 20), test::kRed);
}

TEST(PreviewPage, BackgroundFileByItsExtension) {
  const PreviewPage fromText = DrawPreviewPage(
      kPreviewData, PreviewRule(R"(width="200" height="100")"), test::GreyBackground(50, 40));
  const PictureFile file("form.BMP", test::BmpFile(50, 40));
  const PreviewPage fromFile =
      DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"), file.Path());
  EXPECT_EQ(ToQImage(fromFile.background), ToQImage(fromText.background));
  EXPECT_EQ(fromFile.page, fromText.page);

  const PictureFile unknown("form.txt", test::BmpFile(50, 40));
  try {
    DrawPreviewPage(kPreviewData, PreviewRule(""), unknown.Path());
    ADD_FAILURE() << "an unknown extension was loaded";
  } catch (const Error& failure) {
    EXPECT_STREQ(failure.what(), "Unknown picture file extension (.txt)");
  }
}

TEST(PreviewPage, TextThatIsNeitherFileNorPictureLeavesNoBackground) {
  for (const std::u16string& path :
       {std::u16string(u"/no/such/form.png"), std::u16string(u"iVBORw0KGgo corrupt"),
        std::u16string(u"?")}) {
    const PreviewPage page =
        DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"), path);
    EXPECT_TRUE(page.backgroundShown);
    EXPECT_FALSE(page.background.HasGraphic());
    EXPECT_EQ(PixelAt(page.page, 10, 10), test::kWhite);
    EXPECT_EQ(PixelAt(page.page, 10, 20), test::kRed);
  }
}

TEST(PreviewPage, AreaShowsTheBackgroundThroughThePagesTransparentColour) {
  // The page's bottom-left pixel is white: white lets what lies below show through.
  const PreviewPage page = DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"),
                                           test::GreyBackground(300, 150));
  const RasterImage area = ComposePageArea(page);
  ASSERT_EQ(PageAreaSize(page), (PixelSize{300, 150}));
  ASSERT_EQ(area.Width(), 300);
  ASSERT_EQ(area.Height(), 150);
  EXPECT_EQ(PixelAt(area, 10, 10), test::kGrey);
  EXPECT_EQ(PixelAt(area, 10, 20), test::kRed);
  EXPECT_EQ(PixelAt(area, 250, 120), test::kGrey);  // the background beyond the page

  const PreviewPage small = DrawPreviewPage(
      kPreviewData, PreviewRule(R"(width="200" height="100")"), test::GreyBackground(50, 40));
  const RasterImage smallArea = ComposePageArea(small);
  ASSERT_EQ(smallArea.Width(), 200);
  ASSERT_EQ(smallArea.Height(), 100);
  EXPECT_EQ(PixelAt(smallArea, 10, 10), test::kGrey);
  EXPECT_EQ(PixelAt(smallArea, 100, 10), test::kAreaColor);
  EXPECT_EQ(PixelAt(smallArea, 100, 20), test::kRed);

  const PreviewPage bare =
      DrawPreviewPage(kPreviewData, PreviewRule(R"(width="200" height="100")"), u"");
  EXPECT_FALSE(bare.backgroundShown);
  const RasterImage bareArea = ComposePageArea(bare);
  EXPECT_EQ(PixelAt(bareArea, 10, 10), test::kAreaColor);
  EXPECT_EQ(PixelAt(bareArea, 10, 20), test::kRed);
}

TEST(PreviewPage, TransparentCopyKeysTheBottomLeftColour) {
  QImage picture(3, 2, QImage::Format_RGB32);
  picture.fill(test::kRed);
  picture.setPixel(0, 1, test::kGrey);
  picture.setPixel(2, 0, test::kGrey);
  const QImage keyed = TransparentCopy(picture);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const bool key = picture.pixel(x, y) == test::kGrey;
      EXPECT_EQ(qAlpha(keyed.pixel(x, y)), key ? 0 : 255) << x << "," << y;
    }
  }
  EXPECT_TRUE(TransparentCopy(QImage()).isNull());
}

TEST(PreviewPage, WritesTheAreaAsPng) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("tavo-preview-" + std::to_string(::getpid()) + ".png");
  WritePreviewPng(kPreviewData, PreviewRule(R"(width="200" height="100")"),
                  test::GreyBackground(50, 40), path.string());
  const QImage written(QString::fromStdString(path.string()));
  std::filesystem::remove(path);
  const QImage expected = ToQImage(ComposePageArea(DrawPreviewPage(
      kPreviewData, PreviewRule(R"(width="200" height="100")"), test::GreyBackground(50, 40))));
  EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), expected);
  // Marked as 96 dots per inch, as the preview is drawn.
  EXPECT_EQ(written.dotsPerMeterX(), 3780);
  EXPECT_EQ(written.dotsPerMeterY(), 3780);
  EXPECT_THROW(WritePreviewPng(kPreviewData, PreviewRule(""), u"", "/no/such/dir/out.png"), Error);
}

}  // namespace
}  // namespace tavo
