// Text in the PDFs: every mapped Windows font, and characters a font lacks, embedded as font
// subsets with ToUnicode maps, so the text reads back exactly as written; and a character a
// font lacks is measured and drawn through the same fallback font.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/cairo/PdfProbe.h"
#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/printer/system/SystemPrinter.h"

namespace tavo {
namespace {

// The lines pdftotext reads, blanks at their ends removed.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t end = line.find_last_not_of(" \f\r");
    if (end != std::string::npos) lines.push_back(line.substr(0, end + 1));
  }
  return lines;
}

// Each mapped font on a line of its own; in Arial, Times New Roman and Courier New the Chinese
// characters come from fontconfig's fallback.
TEST(PdfText, EveryMappedFontAndFallbackTextReadsBackAsWritten) {
  cupsSetServer("/nonexistent/tavo-no-scheduler.sock");
  test::TempDir dir;
  const std::string out = dir.Path() + "/fonts.pdf";
  const std::unique_ptr<Printer> printer = MakeSystemPrinter();
  ASSERT_TRUE(printer->Select("pdf:" + out));
  printer->BeginDoc();
  Canvas& canvas = printer->GetCanvas();
  canvas.SetFontSize(12);
  canvas.SetBrushStyle(BrushStyle::Clear);
  const std::vector<std::string> fonts = {
      "宋体", "黑体", "楷体", "微软雅黑", "Arial", "Times New Roman", "Courier New"};
  std::vector<std::string> expected;
  int32_t top = 600;
  for (const std::string& font : fonts) {
    const std::string text = "金额人民币 " + font + " 发票号码12345678";
    canvas.SetFontName(codepage::Utf8ToAnsi(font));
    Rect box{600, top, 4800, top + 150};
    canvas.DrawTextA(codepage::Utf8ToAnsi(text), box, DT_LEFT);
    expected.push_back(text);
    top += 300;
  }
  printer->EndDoc();
  cupsSetServer(nullptr);

  EXPECT_EQ(Lines(test::PdfText(out)), expected);
  const std::vector<test::PdfFont> embedded = test::PdfFonts(out);
  EXPECT_GE(embedded.size(), fonts.size());
  for (const test::PdfFont& font : embedded) {
    EXPECT_TRUE(font.embedded) << font.name;
    EXPECT_TRUE(font.subset) << font.name;
    EXPECT_TRUE(font.unicode) << font.name;
  }
}

// Liberation Sans (Arial) has no Chinese characters: "发" is measured and drawn in the font
// fontconfig falls back to for Chinese text, Noto Sans CJK SC, exactly as if named.
TEST(PdfText, MissingCharacterIsMeasuredAndDrawnThroughTheFallbackFont) {
  const std::string fa = codepage::Utf8ToAnsi("发A发");
  RasterCanvas fallback(120, 40), direct(120, 40);
  const int kTop = 10;
  for (RasterCanvas* raster : {&fallback, &direct}) {
    Canvas& canvas = raster->GetCanvas();
    canvas.SetFontSize(12);
    canvas.SetFontName(raster == &fallback ? "Arial" : "Noto Sans CJK SC");
  }
  const int32_t fallbackWidth = fallback.GetCanvas().GetTextExtentPoint32A(fa).cx;
  Canvas& arial = fallback.GetCanvas();
  Canvas& noto = direct.GetCanvas();
  const int32_t fa1 = arial.GetTextExtentPoint32A(codepage::Utf8ToAnsi("发")).cx;
  EXPECT_EQ(fa1, noto.GetTextExtentPoint32A(codepage::Utf8ToAnsi("发")).cx);
  EXPECT_EQ(fa1, 16);
  EXPECT_EQ(fallbackWidth, 2 * fa1 + arial.GetTextExtentPoint32A("A").cx);
  // The same glyph at the same place: the pixels of the first character agree.
  Rect box{10, kTop, 120, 40};
  arial.DrawTextA(fa, box, DT_LEFT);
  // The line's baseline follows the named font's ascent, so the direct glyph is moved onto it.
  const int32_t shift =
      noto.Device().Metrics(noto.GetFont()).ascent - arial.Device().Metrics(arial.GetFont()).ascent;
  Rect same{10, kTop - shift, 120, 40};
  noto.DrawTextA(codepage::Utf8ToAnsi("发"), same, DT_LEFT);
  int ink = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 10 + fa1; ++x) {
      ASSERT_EQ(fallback.Pixel(x, y), direct.Pixel(x, y)) << x << "," << y;
      ink += test::IsDark(fallback.Pixel(x, y));
    }
  EXPECT_GT(ink, 20);
  // Nothing beyond the measured run.
  for (int y = 0; y < 40; ++y)
    for (int x = 10 + fallbackWidth; x < 120; ++x)
      ASSERT_FALSE(test::IsDark(fallback.Pixel(x, y))) << x << "," << y;
}

}  // namespace
}  // namespace tavo
