#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/codepage/CodePage.h"
#include "printing/unitCommonPrinting.h"
#include "support/RecordingCanvas.h"

namespace tavo {
namespace {

using test::RecordedOp;
using test::RecordingCanvas;
using test::RecordingOptions;
using Kind = RecordedOp::Kind;

// A base printer drawing on a 96 dpi recording canvas (letters 10 wide, lines 10 high).
struct Drawing {
  explicit Drawing(RecordingOptions options = {}) : surface(options) {
    printer.canvas = &surface.canvas();
  }
  std::vector<RecordedOp> Texts() const { return surface.device().OfKind(Kind::Text); }
  // The clip rectangle of the last text run: the fitted box, page origin added.
  Rect LastTextBox() const { return Texts().back().rect; }
  mutable RecordingCanvas surface;
  TTavoCommonPrinter printer;
};

TEST(DrawText, UnwrappedTextWiderThanItsBoxWidens) {
  const struct {
    int32_t charWidth;
    int chars;
    TTavoAlign align;
    int32_t left, right;
  } cases[] = {
      {10, 8, otaLeft, 100, 180},   {10, 8, otaRight, 80, 160},   {10, 8, otaCenter, 90, 170},
      {10, 8, otaAuto, 90, 170},    {10, 8, otaTop, 90, 170},     {10, 8, kUnknownAlign, 90, 170},
      {1, 121, otaCenter, 69, 190},  // 61 over: 69.5 and 190.5 truncated
      {10, 5, otaLeft, 100, 160},   {10, 5, otaCenter, 100, 160},  // narrower text keeps the box
  };
  for (const auto& c : cases) {
    RecordingOptions options;
    options.charWidth = c.charWidth;
    Drawing d(options);
    d.printer.DrawText(std::string(c.chars, 'x'), {100, 0, 160, 10}, c.align, otaTop, "", 0,
                       clBlack, false);
    const Rect box = d.LastTextBox();
    EXPECT_EQ(box.left, c.left) << c.chars << " align " << int(c.align);
    EXPECT_EQ(box.right, c.right) << c.chars << " align " << int(c.align);
  }
}

TEST(DrawText, BoxHeightFitsTheText) {
  const struct {
    int32_t lineHeight;
    const char* text;
    TTavoAlign align;
    int32_t top, bottom;
  } cases[] = {
      {10, "a\nb\nc", otaTop, 200, 230},    {10, "a\nb\nc", otaBottom, 270, 300},
      {10, "a\nb\nc", otaMiddle, 235, 265}, {10, "a\nb\nc", kUnknownAlign, 235, 265},
      {31, "a", otaMiddle, 234, 265},       {10, "a\n", otaTop, 200, 210},
  };
  for (const auto& c : cases) {
    RecordingOptions options;
    options.ascent = c.lineHeight - 2;
    options.descent = 2;
    Drawing d(options);
    d.printer.DrawText(c.text, {0, 200, 500, 300}, otaLeft, c.align, "", 0, clBlack, false);
    EXPECT_EQ(d.LastTextBox().top, c.top) << c.text << " " << int(c.align);
    EXPECT_EQ(d.LastTextBox().bottom, c.bottom) << c.text << " " << int(c.align);
  }
  // Taller than its box, text grows both ways when centred.
  Drawing d;
  d.printer.DrawText("1\n2\n3\n4", {0, 100, 50, 120}, otaLeft, otaMiddle, "", 0, clBlack, false);
  EXPECT_EQ(d.LastTextBox(), (Rect{0, 90, 50, 130}));
}

TEST(DrawText, BlankTextChangesNothing) {
  Drawing d;
  d.printer.rowIndex = 0;
  d.printer.rowBottom = 7;
  d.printer.DrawText(" \t\r\n ", {0, 0, 100, 100}, otaLeft, otaTop, "Arial", 40, clBlack, true);
  EXPECT_TRUE(d.surface.ops().empty());
  EXPECT_EQ(d.printer.rowBottom, 7);
  EXPECT_NE(d.surface.canvas().GetFont().name, "Arial");
  EXPECT_EQ(d.surface.canvas().GetBrush().style, BrushStyle::Solid);
}

TEST(DrawText, RowBottomRisesOnlyInsideRowsAndExcludesTheOrigin) {
  RecordingOptions options;
  options.caps.physicalOffsetY = 50;
  Drawing d(options);
  d.printer.DrawText("a", {0, 100, 100, 110}, otaLeft, otaTop, "", 0, clBlack, false);
  EXPECT_EQ(d.printer.rowBottom, 0);
  d.printer.rowIndex = 0;
  d.printer.DrawText("a\nb", {0, 100, 100, 110}, otaLeft, otaTop, "", 0, clBlack, false);
  EXPECT_EQ(d.printer.rowBottom, 120);
  EXPECT_EQ(d.LastTextBox().bottom, 70);  // drawn 50 pixels up
  d.printer.DrawText("a", {0, 0, 100, 10}, otaLeft, otaTop, "", 0, clBlack, false);
  EXPECT_EQ(d.printer.rowBottom, 120);
}

TEST(DrawText, CanvasStateCarriesOverBetweenBoxes) {
  Drawing d;
  d.printer.DrawRectangle({0, 0, 10, 10}, 1, clBlack);
  d.printer.DrawText("A", {0, 0, 100, 10}, otaLeft, otaTop, "Arial", 12, 0xFF, false);
  d.printer.DrawText("B", {0, 0, 100, 10}, otaLeft, otaTop, "", 0, 0xFF00, false);
  d.printer.DrawRectangle({0, 0, 10, 10}, -1, clBlack);
  d.printer.DrawLine(0, 0, 5, 5, 0, clBlack);

  const auto texts = d.Texts();
  EXPECT_EQ(texts[1].font.name, "Arial");
  EXPECT_EQ(texts[1].font.size, 12);
  EXPECT_EQ(texts[1].font.color, 0xFF00u);
  const auto rectangles = d.surface.device().OfKind(Kind::Rectangle);
  EXPECT_EQ(rectangles[0].brush.style, BrushStyle::Solid);
  EXPECT_EQ(rectangles[1].brush.style, BrushStyle::Clear);
  EXPECT_EQ(rectangles[1].pen.width, 1);  // -1 keeps the pen
  EXPECT_EQ(d.surface.device().OfKind(Kind::Line)[0].pen.width, 0);
}

TEST(DrawText, PrefixCharactersOnlyWithoutWordBreak) {
  Drawing wrapped;
  wrapped.printer.DrawText("A&B", {0, 0, 100, 10}, otaLeft, otaTop, "", 0, clBlack, true);
  EXPECT_EQ(wrapped.Texts()[0].text, "A&B");
  EXPECT_TRUE(wrapped.surface.device().OfKind(Kind::Line).empty());

  Drawing plain;
  plain.printer.DrawText("A&B", {0, 0, 100, 10}, otaLeft, otaTop, "", 0, clBlack, false);
  EXPECT_EQ(plain.Texts()[0].text, "AB");
  EXPECT_EQ(plain.surface.device().OfKind(Kind::Line).size(), 1u);
}

// Every run measured, as the wrapping rule reads.
std::string WrapByMeasuringEveryRun(Canvas& canvas, const std::string& text, int64_t maxWidth) {
  const std::vector<std::string> chars = codepage::SplitCharacters(text);
  const size_t n = chars.size();
  std::string result;
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    if (chars[i] == "\r" || chars[i] == "\n") {
      for (size_t k = start; k <= i; ++k) result += chars[k];
      start = i + 1;
      continue;
    }
    std::string run;
    for (size_t k = start; k <= std::min(i + 1, n - 1); ++k) run += chars[k];
    if (canvas.GetTextExtentPoint32A(run).cx > maxWidth) {
      for (size_t k = start; k <= i; ++k) result += chars[k];
      result += "\r\n";
      start = i + 1;
    }
  }
  for (size_t k = start; k < n; ++k) result += chars[k];
  return result;
}

TEST(WrapText, BreaksBetweenAnyTwoCharacters) {
  codepage::ScopedCodeSet utf8("UTF-8");
  const std::string fa = "发", piao = "票";  // 20 pixels each
  const struct {
    std::string text;
    int32_t width;
    std::string expected;
  } cases[] = {
      {"ABCDEF", 25, "AB\r\nCD\r\nEF"},
      {"AB\r\nCD", 1000, "AB\r\nCD"},
      {"ABC", 5, "A\r\nB\r\nC\r\n"},
      {"", 5, ""},
      {"A B", 25, "A \r\nB"},
      {fa + "A" + piao, 35, fa + "A\r\n" + piao},
      {fa + fa, 10, fa + "\r\n" + fa + "\r\n"},
  };
  for (const auto& c : cases) {
    Drawing d;
    EXPECT_EQ(d.printer.WrapText(c.text, {0, 0, c.width, 10}), c.expected) << c.text;
  }
}

TEST(WrapText, MatchesMeasuringEveryRun) {
  codepage::ScopedCodeSet utf8("UTF-8");
  std::mt19937 random(7);
  const std::vector<std::string> alphabet = {"a", "b", " ", "\r", "\n", "中", "&"};
  Drawing d;
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    const int32_t width = static_cast<int32_t>(random() % 90) - 10;
    EXPECT_EQ(d.printer.WrapText(text, {0, 0, width, 10}),
              WrapByMeasuringEveryRun(d.surface.canvas(), text, width))
        << "'" << text << "' in " << width;
  }
}

TEST(DrawText, WrappedTextKeepsTheBoxWidth) {
  Drawing d;
  d.printer.DrawText("ABCDEF", {0, 0, 25, 10}, otaLeft, otaTop, "", 0, clBlack, true);
  const auto texts = d.Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[2].text, "EF");
  EXPECT_EQ(d.LastTextBox(), (Rect{0, 0, 25, 30}));
}

Picture PictureOf(int32_t width, int32_t height) {
  Picture picture;
  picture.Assign(Graphic{GraphicKind::Bitmap, width, height,
                         std::vector<uint32_t>(static_cast<size_t>(width) * height)});
  return picture;
}

TEST(DrawImage, NaturalSizeAlignedInItsBox) {
  const struct {
    Rect box;
    TTavoAlign horz, vert;
    Rect drawn;
  } cases[] = {
      {{0, 0, 105, 70}, otaCenter, otaMiddle, {2, 10, 103, 60}},
      {{0, 0, 105, 70}, otaRight, otaBottom, {5, 20, 105, 70}},
      {{0, 0, 105, 70}, otaLeft, otaTop, {0, 0, 100, 50}},
      {{0, 0, 107, 57}, otaAuto, kUnknownAlign, {4, 4, 103, 53}},  // halves of 7: 3.5 -> 4
      {{0, 0, 107, 57}, otaTop, otaLeft, {4, 4, 103, 53}},
      {{0, 0, 60, 30}, otaLeft, otaTop, {0, 0, 60, 30}},  // squeezed to the box
  };
  for (const auto& c : cases) {
    Drawing d;
    d.printer.DrawImage(PictureOf(100, 50), c.box, c.horz, c.vert);
    const auto drawn = d.surface.device().OfKind(Kind::StretchDraw);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].rect, c.drawn) << int(c.horz) << "/" << int(c.vert);
  }
  Drawing d;
  d.printer.DrawImage(Picture{}, {0, 0, 10, 10}, otaLeft, otaTop);
  Picture empty;
  empty.Assign(Graphic{GraphicKind::Jpeg, 0, 0, {}});
  d.printer.DrawImage(empty, {0, 0, 10, 10}, otaLeft, otaTop);
  EXPECT_TRUE(d.surface.ops().empty());
}

TEST(DrawLine, AddsThePageOriginToBothEnds) {
  RecordingOptions options;
  options.caps = {600, 600, 50, 40};
  Drawing d(options);
  d.printer.Settings().offsetLeft = 25.4;
  d.printer.DrawLine(0, 625, 3125, 625, 2, 0xFF);
  const auto lines = d.surface.device().OfKind(Kind::Line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].from, (Point{550, 585}));
  EXPECT_EQ(lines[0].to, (Point{3675, 585}));
  EXPECT_EQ(lines[0].pen.width, 2);
  EXPECT_EQ(lines[0].pen.color, 0xFFu);
}

}  // namespace
}  // namespace tavo
