#include <gtest/gtest.h>

#include "platform/canvas/Canvas.h"
#include "platform/codepage/CodePage.h"
#include "support/RecordingDevice.h"

namespace tavo {
namespace {

using test::RecordedOp;
using test::RecordingDevice;

// A canvas over the recording device: W = 10, line height 10 (ascent 8, descent 2).
struct Fixture {
  RecordingDevice* device = nullptr;
  std::unique_ptr<Canvas> canvas;
  Fixture() {
    auto owned = std::make_unique<RecordingDevice>();
    device = owned.get();
    canvas = std::make_unique<Canvas>(std::move(owned));
  }
  std::vector<RecordedOp> Runs() const { return device->OfKind(RecordedOp::Kind::Text); }
};

TEST(TextLayout, CalcRectMeasuresLinesAtEveryKindOfBreak) {
  struct Case {
    const char* text;
    uint32_t flags;
    int32_t width, height;
  } cases[] = {
      {"ABC", 0, 30, 10},
      {"AB\r\nCDEF", 0, 40, 20},
      {"A\rB\nC", 0, 10, 30},
      {"A\n\rB", 0, 10, 30},
      {"ABC\r\n", 0, 30, 10},  // a break at the very end starts no line
      {"A&BC", 0, 30, 10},     // the prefix is not drawn
      {"A&&B", 0, 30, 10},     // "&&" draws one "&"
      {"A&BC", DT_NOPREFIX, 40, 10},
      {"发票A", 0, 50, 10},  // multi-byte characters are 2W
      {"AAA BBB CCC", DT_WORDBREAK, 70, 20},
  };
  for (const Case& c : cases) {
    Fixture f;
    Rect rect{100, 200, 175, 210};
    const int32_t height = f.canvas->DrawTextA(c.text, rect, c.flags | DT_CALCRECT);
    EXPECT_EQ(rect, (Rect{100, 200, 100 + c.width, 200 + c.height})) << c.text;
    EXPECT_EQ(height, c.height) << c.text;
    EXPECT_TRUE(f.device->ops.empty()) << "measuring draws nothing: " << c.text;
  }
}

TEST(TextLayout, WordBreakBreaksBetweenWordsAndDropsTheSpacesAtTheBreak) {
  Fixture f;
  Rect rect{0, 0, 75, 100};
  f.canvas->DrawTextA("AAA BBB CCC", rect, DT_WORDBREAK);
  const auto runs = f.Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].text, "AAA BBB");
  EXPECT_EQ(runs[1].text, "CCC");
  EXPECT_EQ(runs[1].from, (Point{0, 10}));
}

TEST(TextLayout, LongWordsBreakBetweenCharactersOnlyLikeAnEditControl) {
  Fixture plain;
  Rect rect{0, 0, 25, 100};
  plain.canvas->DrawTextA("ABCDEF", rect, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(rect.bottom, 10) << "a word wider than the line stays whole";

  Fixture edit;
  rect = {0, 0, 25, 100};
  edit.canvas->DrawTextA("ABCDEF", rect, DT_WORDBREAK | DT_EDITCONTROL | DT_CALCRECT);
  EXPECT_EQ(rect.bottom, 30);
  EXPECT_EQ(rect.right, 20);

  Fixture narrow;  // narrower than one character: still one character a line, no endless loop
  rect = {0, 0, 5, 100};
  narrow.canvas->DrawTextA("ABC", rect, DT_WORDBREAK | DT_EDITCONTROL | DT_CALCRECT);
  EXPECT_EQ(rect.bottom, 30);
}

TEST(TextLayout, ChineseTextBreaksBetweenIdeographsAndIsNeverSplitUnderGbk) {
  codepage::ScopedCodeSet gbk("GBK");
  Fixture f;
  const std::string text = codepage::Utf8ToAnsi("发票号码");
  Rect rect{0, 0, 45, 100};
  f.canvas->DrawTextA(text, rect, DT_WORDBREAK);
  const auto runs = f.Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].text, codepage::Utf8ToAnsi("发票"));
  EXPECT_EQ(runs[1].text, codepage::Utf8ToAnsi("号码"));
}

TEST(TextLayout, EachLineIsAlignedOnItsOwnAndClippedToTheRectangle) {
  Fixture f;
  Rect rect{100, 50, 200, 90};
  f.canvas->DrawTextA("AB\nABCD\nABCDEFGHIJKL", rect, DT_CENTER);
  const auto centred = f.Runs();
  ASSERT_EQ(centred.size(), 3u);
  EXPECT_EQ(centred[0].from, (Point{140, 50}));
  EXPECT_EQ(centred[1].from, (Point{130, 60}));
  EXPECT_EQ(centred[2].from, (Point{90, 70}));  // wider than the box: both sides overflow
  EXPECT_EQ(centred[2].rect, rect);             // and the clip keeps it inside

  Fixture r;
  r.canvas->DrawTextA("AB\nABCD", rect, DT_RIGHT);
  EXPECT_EQ(r.Runs()[0].from, (Point{180, 50}));
  EXPECT_EQ(r.Runs()[1].from, (Point{160, 60}));
}

TEST(TextLayout, PrefixUnderlinesTheNextCharacterInTheFontColour) {
  Fixture f;
  f.canvas->SetFontColor(0x0000FF);
  Rect rect{10, 20, 100, 40};
  f.canvas->DrawTextA("A&BC", rect, DT_LEFT);
  ASSERT_EQ(f.Runs().size(), 1u);
  EXPECT_EQ(f.Runs()[0].text, "ABC");
  const auto lines = f.device->OfKind(RecordedOp::Kind::Line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].from, (Point{20, 29}));  // under B: after "A", one below the ascent
  EXPECT_EQ(lines[0].to, (Point{30, 29}));
  EXPECT_EQ(lines[0].pen.color, 0x0000FFu);
  EXPECT_EQ(f.canvas->GetPen().width, 1) << "underlining leaves the pen alone";

  Fixture literal;
  literal.canvas->DrawTextA("A&B", rect, DT_NOPREFIX);
  EXPECT_EQ(literal.Runs()[0].text, "A&B");
  EXPECT_TRUE(literal.device->OfKind(RecordedOp::Kind::Line).empty());
}

TEST(TextLayout, ExtentIsTheWholeTextAsOneLine) {
  Fixture f;
  EXPECT_EQ(f.canvas->GetTextExtentPoint32A("AB发"), (Size{40, 10}));
  EXPECT_EQ(f.canvas->GetTextExtentPoint32A(""), (Size{0, 10}));
}

TEST(TextLayout, HugeTextsAndRectanglesStayBounded) {
  Fixture f;
  const std::string mega(1 << 20, 'A');
  Rect rect{INT32_MAX - 10, 0, INT32_MAX, 10};
  f.canvas->DrawTextA(mega, rect, DT_CALCRECT);
  EXPECT_EQ(rect.right, INT32_MAX) << "the measured edge is clamped, never wrapped around";

  std::string words;
  for (int i = 0; i < 20000; ++i) words += "AB ";
  Rect wide{0, 0, 1000, 10};
  // 33 words of "AB " fit 1000 pixels once the space at each break is dropped.
  EXPECT_EQ(f.canvas->DrawTextA(words, wide, DT_WORDBREAK | DT_CALCRECT), (20000 + 32) / 33 * 10);
}

TEST(Canvas, FreshStateAndItsSetters) {
  Fixture f;
  Canvas& c = *f.canvas;
  EXPECT_EQ(c.GetPen().width, 1);
  EXPECT_EQ(c.GetBrush().style, BrushStyle::Solid);
  EXPECT_EQ(c.GetFont().name, "宋体");
  EXPECT_EQ(c.GetFont().size, 9);
  EXPECT_EQ(c.GetFont().pixelHeight, 12);  // 9 pt at 96 dpi
  EXPECT_EQ(c.GetFont().color, clWindowText);

  c.SetPenWidth(3);
  c.SetPenWidth(-1);  // ignored
  EXPECT_EQ(c.GetPen().width, 3);
  c.SetFontSize(-12);
  EXPECT_EQ(c.GetFont().pixelHeight, 16);
  c.SetFontSize(100000);
  EXPECT_EQ(c.GetFont().pixelHeight, 133333);

  c.MoveTo(1, 2);
  c.LineTo(5, 2);
  c.LineTo(5, 9);
  const auto lines = f.device->OfKind(RecordedOp::Kind::Line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].from, (Point{5, 2}));
  EXPECT_EQ(lines[1].pen.width, 3);

  c.ResetState();
  EXPECT_EQ(c.GetPen().width, 1);
  EXPECT_EQ(c.GetFont().size, 9);
}

TEST(Color, SystemColoursMapToTheClassicDefaults) {
  EXPECT_EQ(ColorToRgb(0x0000FF), 0xFF0000u);
  EXPECT_EQ(ColorToRgb(0xFF8000), 0x0080FFu);
  EXPECT_EQ(ColorToRgb(clWindowText), 0x000000u);
  EXPECT_EQ(ColorToRgb(0xFF000005), 0xFFFFFFu);  // window
  EXPECT_EQ(ColorToRgb(0xFF00000F), 0xF0F0F0u);  // button face
  EXPECT_EQ(ColorToRgb(0xFF0000FF), 0x000000u);  // no such system colour
  EXPECT_EQ(ColorToRgb(clNone), 0x000000u);
}

}  // namespace
}  // namespace tavo
