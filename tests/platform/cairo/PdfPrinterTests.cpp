// The virtual PDF printer and the printer's state rules, with no CUPS destination at all.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/cairo/PdfProbe.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/SystemPrinter.h"

namespace tavo {
namespace {

using test::IsDark;

std::vector<int32_t> Values(const DeviceCaps& caps) {
  return {caps.dpiX, caps.dpiY, caps.physicalOffsetX, caps.physicalOffsetY};
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// pdfinfo's "W x H pts (A4)": true for an upright A4 page.
bool Portrait(const std::string& pageSize) {
  double width = 0, height = 0;
  if (std::sscanf(pageSize.c_str(), "%lf x %lf", &width, &height) != 2) return false;
  EXPECT_NE(pageSize.find("(A4)"), std::string::npos) << pageSize;
  return width < height;
}

class PdfPrinter : public ::testing::Test {
 protected:
  void SetUp() override {
    // A scheduler that does not exist: no CUPS destination, no default printer.
    cupsSetServer("/nonexistent/tavo-no-scheduler.sock");
    printer_ = MakeSystemPrinter();
    ASSERT_FALSE(dir_.Path().empty());
    out_ = dir_.Path() + "/out.pdf";
  }
  void TearDown() override { cupsSetServer(nullptr); }

  // The message of the failure `action` raises, or "" when it succeeds.
  template <typename Action>
  std::string MessageOf(Action action) {
    try {
      action();
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }

  test::TempDir dir_;
  std::string out_;
  std::unique_ptr<Printer> printer_;
};

TEST_F(PdfPrinter, WithoutDestinationsThereIsNoDefaultPrinter) {
  EXPECT_TRUE(printer_->PrinterNames().empty());
  EXPECT_EQ(printer_->SelectedName(), "");
  EXPECT_EQ(MessageOf([&] { printer_->BeginDoc(); }), kNoDefaultPrinter);
  EXPECT_EQ(MessageOf([&] { printer_->Caps(); }), kNoDefaultPrinter);
  EXPECT_FALSE(printer_->Printing());
}

TEST_F(PdfPrinter, SelectsOnlyAbsolutePathsAndKeepsTheSelectionOnUnknownNames) {
  EXPECT_FALSE(printer_->Select("pdf:relative/out.pdf"));
  EXPECT_EQ(printer_->SelectedName(), "");
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  EXPECT_FALSE(printer_->Select("No Such Printer"));
  EXPECT_FALSE(printer_->Select("pdf:out.pdf"));
  EXPECT_EQ(printer_->SelectedName(), "pdf:" + out_);
  EXPECT_EQ(Values(printer_->Caps()), (std::vector<int32_t>{600, 600, 0, 0}));
}

TEST_F(PdfPrinter, StateMessagesComeOutInOrder) {
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  std::vector<std::string> messages;
  messages.push_back(MessageOf([&] { printer_->EndDoc(); }));
  messages.push_back(MessageOf([&] { printer_->Abort(); }));
  messages.push_back(MessageOf([&] { printer_->BeginDoc(); }));
  messages.push_back(MessageOf([&] { printer_->BeginDoc(); }));
  messages.push_back(MessageOf([&] { printer_->SetOrientation(Orientation::Landscape); }));
  messages.push_back(MessageOf([&] { printer_->Select("pdf:" + out_); }));
  messages.push_back(MessageOf([&] { printer_->EndDoc(); }));
  messages.push_back(MessageOf([&] { printer_->EndDoc(); }));
  EXPECT_EQ(messages,
            (std::vector<std::string>{kNotPrinting, kNotPrinting, "", kPrintingInProgress,
                                      kPrintingInProgress, kPrintingInProgress, "", kNotPrinting}));
  EXPECT_EQ(printer_->GetOrientation(), Orientation::Portrait);
  EXPECT_TRUE(std::filesystem::exists(out_));
}

// A line at device coordinates lands on exactly those pixels of the page at 600 dpi.
TEST_F(PdfPrinter, WritesOneA4PageWithTheTitleAndExactLines) {
  const std::string title = "票据打印，发票号码: 12345678";
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  printer_->SetTitle(codepage::Utf8ToAnsi(title));
  printer_->BeginDoc();
  EXPECT_EQ(Values(printer_->Caps()), (std::vector<int32_t>{600, 600, 0, 0}));
  Canvas& canvas = printer_->GetCanvas();
  canvas.MoveTo(600, 1200);
  canvas.LineTo(1800, 1200);
  canvas.SetBrushStyle(BrushStyle::Clear);
  canvas.Rectangle(Rect{3000, 4000, 3100, 4050});
  printer_->EndDoc();
  EXPECT_EQ(dir_.Files(), std::vector<std::string>{"out.pdf"});

  auto info = test::PdfInfo(out_);
  EXPECT_EQ(info["Title"], title);
  EXPECT_EQ(info["Pages"], "1");
  EXPECT_TRUE(Portrait(info["Page size"])) << info["Page size"];

  const test::Image line = test::RenderRegion(out_, 600, 590, 1195, 1220, 10);
  ASSERT_EQ(line.Width(), 1220);
  ASSERT_EQ(line.Height(), 10);
  EXPECT_TRUE(IsDark(line.Pixel(10, 5)));     // x 600
  EXPECT_TRUE(IsDark(line.Pixel(1209, 5)));   // x 1799
  EXPECT_FALSE(IsDark(line.Pixel(1210, 5)));  // x 1800: the end point is excluded
  EXPECT_FALSE(IsDark(line.Pixel(9, 5)));
  EXPECT_FALSE(IsDark(line.Pixel(500, 4)));
  EXPECT_FALSE(IsDark(line.Pixel(500, 6)));

  const test::Image box = test::RenderRegion(out_, 600, 2990, 3990, 120, 70);
  EXPECT_TRUE(IsDark(box.Pixel(10, 10)));    // 3000, 4000
  EXPECT_TRUE(IsDark(box.Pixel(109, 59)));   // 3099, 4049
  EXPECT_FALSE(IsDark(box.Pixel(110, 59)));  // right edge exclusive
  EXPECT_FALSE(IsDark(box.Pixel(109, 60)));  // bottom edge exclusive
  EXPECT_FALSE(IsDark(box.Pixel(50, 30)));   // clear interior
}

TEST_F(PdfPrinter, TextGlyphsFallInsideTheirBoxes) {
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  printer_->BeginDoc();
  Canvas& canvas = printer_->GetCanvas();
  canvas.SetFontSize(12);  // 100 px at 600 dpi
  Rect box{1200, 2400, 4000, 2600};
  canvas.DrawTextA(codepage::Utf8ToAnsi("发票号码12345678"), box, DT_LEFT);
  printer_->EndDoc();
  const auto words = test::WordBoxes(out_);
  ASSERT_EQ(words.size(), 1u);
  EXPECT_EQ(words[0].text, "发票号码12345678");
  const double toPoints = 72.0 / 600;
  EXPECT_NEAR(words[0].xMin, 1200 * toPoints, 0.5);
  EXPECT_GE(words[0].yMin, 2400 * toPoints - 0.5);
  // 4 CJK characters of 100 px and 8 digits of 50 px.
  EXPECT_NEAR(words[0].xMax, (1200 + 800) * toPoints, 1.0);
  EXPECT_LE(words[0].yMax, (2400 + 100) * toPoints + 1.0);
  // The ink itself stays within the measured 800 x 100 pixels.
  const test::Image page = test::RenderRegion(out_, 600, 1100, 2300, 1000, 300);
  int ink = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      if (!IsDark(page.Pixel(x, y))) continue;
      ++ink;
      ASSERT_TRUE(x >= 100 && x < 900 && y >= 100 && y < 200) << "ink at " << x << "," << y;
    }
  EXPECT_GT(ink, 1000);
}

TEST_F(PdfPrinter, LandscapeTurnsThePage) {
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  printer_->SetOrientation(Orientation::Landscape);
  printer_->BeginDoc();
  printer_->EndDoc();
  const std::string size = test::PdfInfo(out_)["Page size"];
  EXPECT_FALSE(Portrait(size)) << size;
  EXPECT_NE(size.find("(A4)"), std::string::npos) << size;
}

TEST_F(PdfPrinter, GbkTitleReachesThePdfAsUnicode) {
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  {
    codepage::ScopedCodeSet gbk("GBK");
    printer_->SetTitle(codepage::Utf8ToAnsi("票据打印12345678"));
    EXPECT_NE(printer_->Title(), "票据打印12345678");  // really GBK bytes
    printer_->BeginDoc();
    printer_->EndDoc();
  }
  EXPECT_EQ(test::PdfInfo(out_)["Title"], "票据打印12345678");
}

TEST_F(PdfPrinter, AbortLeavesAnExistingFileAsItWas) {
  { std::ofstream(out_) << "earlier"; }
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  printer_->BeginDoc();
  printer_->GetCanvas().LineTo(100, 100);
  printer_->Abort();
  EXPECT_FALSE(printer_->Printing());
  EXPECT_EQ(ReadAll(out_), "earlier");
  EXPECT_EQ(dir_.Files(), std::vector<std::string>{"out.pdf"});
}

TEST_F(PdfPrinter, MissingFolderFailsAtBeginDocWithThePath) {
  const std::string path = dir_.Path() + "/missing/out.pdf";
  ASSERT_TRUE(printer_->Select("pdf:" + path));
  const std::string message = MessageOf([&] { printer_->BeginDoc(); });
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_FALSE(printer_->Printing());
  EXPECT_EQ(MessageOf([&] { printer_->EndDoc(); }), kNotPrinting);
}

// The sheet is the rule's page when it gives one, as written and whatever the orientation; a
// page not given, or given by half, leaves A4 turned as the orientation says. The resolution and
// offsets stay 600 dpi and 0, and an open job keeps the page it began with.
TEST_F(PdfPrinter, TheSheetIsTheRulesPageWhenItGivesOne) {
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  const auto sizeOf = [&](const PageRequest& page, Orientation orientation) {
    printer_->SetOrientation(orientation);
    printer_->SetPage(page);
    EXPECT_EQ(Values(printer_->Caps()), (std::vector<int32_t>{600, 600, 0, 0}));
    printer_->BeginDoc();
    EXPECT_EQ(MessageOf([&] { printer_->SetPage(PageRequest{}); }), kPrintingInProgress);
    printer_->EndDoc();
    return test::PdfInfo(out_)["Page size"];
  };
  // 230 x 127 mm in points: 651.969 x 360; 100 x 150 mm: 283.465 x 425.197.
  EXPECT_EQ(sizeOf(PageRequest{230, 127, false}, Orientation::Portrait), "651.969 x 360 pts");
  EXPECT_EQ(sizeOf(PageRequest{230, 127, true}, Orientation::Landscape), "651.969 x 360 pts");
  EXPECT_EQ(sizeOf(PageRequest{100, 150, false}, Orientation::Landscape), "283.465 x 425.197 pts");
  EXPECT_EQ(sizeOf(PageRequest{}, Orientation::Portrait), "595.276 x 841.89 pts (A4)");
  EXPECT_EQ(sizeOf(PageRequest{230, 0, false}, Orientation::Landscape),
            "841.89 x 595.276 pts (A4)");
}

// A job never inherits the canvas state an earlier job left.
TEST_F(PdfPrinter, EveryJobStartsFromAFreshCanvas) {
  ASSERT_TRUE(printer_->Select("pdf:" + out_));
  printer_->BeginDoc();
  Canvas& first = printer_->GetCanvas();
  first.SetPenWidth(7);
  first.SetBrushStyle(BrushStyle::Clear);
  first.SetFontName("Arial");
  first.SetFontSize(30);
  printer_->EndDoc();
  EXPECT_EQ(MessageOf([&] { printer_->GetCanvas(); }), kNotPrinting);
  printer_->BeginDoc();
  Canvas& second = printer_->GetCanvas();
  EXPECT_EQ(second.GetPen().width, 1);
  EXPECT_EQ(second.GetBrush().style, BrushStyle::Solid);
  EXPECT_EQ(second.GetFont().name, codepage::Utf8ToAnsi("宋体"));
  EXPECT_EQ(second.GetFont().pixelHeight, 75);  // 9 pt at 600 dpi
  printer_->Abort();
}

}  // namespace
}  // namespace tavo
