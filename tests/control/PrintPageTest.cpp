// RenderPrintPage: the page as a printer receives it, pictured. Checked against the PDF
// printer's own output rasterized by poppler, against a CUPS queue of another resolution and
// margins, and for leaving the process's printer as it was.
#include <cairo.h>
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "control/ControlHost.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Base64.h"
#include "support/CupsScheduler.h"
#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

using test::CupsScheduler;

std::u16string Example(const std::string& name) {
  std::ifstream file(std::string(TAVO_EXAMPLES_DIR) + "/invoice/" + name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return codepage::Utf8ToWide(text.str());
}

std::string Utf8(const std::u16string& text) { return codepage::WideToUtf8(text); }

// A decoded PNG picture, its pixels as grey levels 0 (black) to 255 (white).
class Picture {
 public:
  static Picture FromPngBytes(const std::string& bytes) {
    struct Reader {
      const std::string* bytes;
      size_t at = 0;
    } reader{&bytes};
    const auto read = [](void* closure, unsigned char* data, unsigned int length) {
      auto* r = static_cast<Reader*>(closure);
      if (r->bytes->size() - r->at < length) return CAIRO_STATUS_READ_ERROR;
      std::copy_n(r->bytes->data() + r->at, length, data);
      r->at += length;
      return CAIRO_STATUS_SUCCESS;
    };
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(read, &reader);
    Picture picture;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
      picture.width_ = cairo_image_surface_get_width(surface);
      picture.height_ = cairo_image_surface_get_height(surface);
      const int stride = cairo_image_surface_get_stride(surface);
      const unsigned char* rows = cairo_image_surface_get_data(surface);
      for (int y = 0; y < picture.height_; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(rows + ptrdiff_t{y} * stride);
        for (int x = 0; x < picture.width_; ++x) {
          const uint32_t p = row[x];
          picture.grey_.push_back(static_cast<uint8_t>(
              ((p >> 16 & 0xFF) * 30 + (p >> 8 & 0xFF) * 59 + (p & 0xFF) * 11) / 100));
        }
      }
    }
    cairo_surface_destroy(surface);
    return picture;
  }

  static Picture FromBase64(const std::u16string& text) {
    const std::vector<uint8_t> bytes = DecodeBase64(Utf8(text));
    return FromPngBytes(std::string(bytes.begin(), bytes.end()));
  }

  static Picture FromFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return FromPngBytes(bytes.str());
  }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // White outside the picture, so a picture of the wrong size fails its checks, not the test.
  int Grey(int x, int y) const {
    return x < 0 || y < 0 || x >= width_ || y >= height_ ? 255 : grey_[size_t(y) * width_ + x];
  }
  bool Dark(int x, int y) const { return Grey(x, y) < 128; }
  int64_t InkPixels() const {
    return std::count_if(grey_.begin(), grey_.end(), [](uint8_t g) { return g < 200; });
  }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> grey_;
};

// Where two pictures differ by more than `level` grey steps, over the rows both have: how many
// pixels, and the largest patch of such pixels that touch (8-neighbours) as its bounding box.
struct Difference {
  int64_t pixels = 0;
  int largestWidth = 0, largestHeight = 0;
};

Difference Compare(const Picture& a, const Picture& b, int level) {
  const int width = std::min(a.Width(), b.Width()), height = std::min(a.Height(), b.Height());
  std::vector<uint8_t> differs(size_t(width) * height);
  Difference result;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (std::abs(a.Grey(x, y) - b.Grey(x, y)) > level) {
        differs[size_t(y) * width + x] = 1;
        ++result.pixels;
      }
  std::vector<int> stack;
  for (int start = 0; start < width * height; ++start) {
    if (differs[start] != 1) continue;
    int left = width, right = -1, top = height, bottom = -1;
    stack.assign(1, start);
    differs[start] = 2;
    while (!stack.empty()) {
      const int at = stack.back();
      stack.pop_back();
      const int x = at % width, y = at / width;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
          if (differs[size_t(ny) * width + nx] != 1) continue;
          differs[size_t(ny) * width + nx] = 2;
          stack.push_back(ny * width + nx);
        }
    }
    result.largestWidth = std::max(result.largestWidth, right - left + 1);
    result.largestHeight = std::max(result.largestHeight, bottom - top + 1);
  }
  return result;
}

class PrintPage : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    folder_ = std::filesystem::path(registry_.Folder());
  }

  CallOutcome Render(const std::u16string& data, const std::u16string& rule,
                     const std::u16string& printer, int32_t width) {
    return Call(u"RenderPrintPage", {data, rule, printer, width});
  }

  Picture Rendered(const std::u16string& data, const std::u16string& rule,
                   const std::u16string& printer, int32_t width) {
    const CallOutcome outcome = Render(data, rule, printer, width);
    EXPECT_EQ(outcome.status, S_OK) << Utf8(outcome.description);
    return Picture::FromBase64(TextOf(outcome));
  }

  void Select(const std::string& printer) {
    const CallOutcome selected = Call(u"SetDefaultPrinter", {codepage::Utf8ToWide(printer)});
    ASSERT_EQ(selected.status, S_OK);
    ASSERT_EQ(selected.value->boolVal, VARIANT_TRUE) << printer;
  }

  std::string CurrentPrinter() { return Utf8(TextOf(Call(u"GetDefaultPrinter"))); }

  std::filesystem::path folder_;
};

// The sample invoice (landscape, 宋体 and 黑体 text, rows, pens of 1 and 2 device pixels, a QR
// code) on the PDF printer: the picture is the printed PDF as poppler shows it at the same
// width. Where they differ it is by the smoothing of edges: never a displaced text, line or row.
// Measured on the A4 sheet the PDF printer gives a rule without a page size (the sample's own
// 241 x 140 mm page is the sheet of TheSampleIsPicturedOnItsOwnPage).
TEST_F(PrintPage, OnThePdfPrinterItIsThePrintedPdfRasterized) {
  constexpr int kWidth = 1200;
  std::u16string rule = Example("rule.xml");
  rule.erase(rule.find(u"pageWidth=\"241\" pageHeight=\"140\" "), 36);
  const Picture picture = Rendered(Example("data.xml"), rule, u"pdf:", kWidth);
  ASSERT_EQ(picture.Width(), kWidth);
  EXPECT_EQ(picture.Height(), 848);  // A4 turned: 1200 x 210 / 297

  const std::string pdf = (folder_ / "page.pdf").string();
  Select("pdf:" + pdf);
  ASSERT_EQ(Call(u"PrintXmlData", {Example("data.xml"), rule}).status, S_OK);
  const std::string prefix = (folder_ / "poppler").string();
  const ProcessResult run = RunProcess({"pdftoppm", "-png", "-singlefile", "-scale-to-x",
                                        std::to_string(kWidth), "-scale-to-y", "-1", pdf, prefix});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Picture printed = Picture::FromFile(prefix + ".png");
  ASSERT_EQ(printed.Width(), kWidth);
  ASSERT_LE(std::abs(printed.Height() - picture.Height()), 1);

  // Enough ink that a blank or half-drawn picture cannot pass.
  ASSERT_GT(picture.InkPixels(), 20000);
  // Two rasterizers smooth glyph edges differently (measured: 16 % of the ink pixels differ by
  // more than a quarter of the grey scale, 1 % by more than half, in patches of at most 8 x 3
  // pixels). A text, line or row one pixel away, or laid out at another resolution, differs
  // in long strokes and whole glyphs.
  const Difference faint = Compare(picture, printed, 64);
  const Difference strong = Compare(picture, printed, 128);
  EXPECT_LT(faint.pixels, picture.InkPixels() / 4) << "differences over 64 grey steps";
  EXPECT_LT(strong.pixels, picture.InkPixels() / 50) << "differences over 128 grey steps";
  EXPECT_LE(std::max(strong.largestWidth, strong.largestHeight), 10)
      << "a patch of " << strong.largestWidth << " x " << strong.largestHeight
      << " pixels differs by more than half the grey scale";
}

TEST_F(PrintPage, BadWidthOrUnknownPrinterIsAFailureThatSaysSo) {
  for (const int32_t width : {0, -3, 10001}) {
    const CallOutcome outcome = Render(Example("data.xml"), Example("rule.xml"), u"pdf:", width);
    EXPECT_EQ(outcome.status, DISP_E_EXCEPTION) << width;
    EXPECT_EQ(outcome.scode, E_INVALIDARG) << width;
    EXPECT_EQ(Utf8(outcome.description),
              "Width must be 1 to 10000 pixels, not " + std::to_string(width));
  }
  const CallOutcome broken = Render(u"<data/>", u"<rule", u"pdf:", 100);
  EXPECT_EQ(broken.status, DISP_E_EXCEPTION);
  EXPECT_FALSE(broken.description.empty());
}

// A queue of 200 dpi with margins 10 mm left, 12.7 mm top, 5 mm right and 15 mm bottom.
constexpr const char* kQueue = "tavo-200dpi";
constexpr const char* kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TAVO200.PPD"
*Manufacturer: "Tavo"
*Product: "(Tavo test printer)"
*ModelName: "Tavo test printer 200 dpi"
*ShortNickName: "Tavo test 200 dpi"
*NickName: "Tavo test printer 200 dpi"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "28.3465 42.5197 581.1024 805.8898"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595.2756 841.8898"
*OpenUI *Resolution/Resolution: PickOne
*DefaultResolution: 200dpi
*Resolution 200dpi/200 dpi: "<</HWResolution[200 200]>>setpagedevice"
*CloseUI: *Resolution
)ppd";

// A portrait page: a line inside the top margin, one inside the left margin, and a thick
// line (10 device pixels) 50.8 mm down from 25.4 mm to 127 mm across.
constexpr const char16_t* kGeometryRule =
    u"<rule><body><printing pageWidth=\"210\" pageHeight=\"297\" dpix=\"96\" dpiy=\"96\">"
    u"<a type=\"line\" fromx=\"100\" fromy=\"20\" tox=\"300\" toy=\"20\" size=\"10\" "
    u"color=\"clBlack\"><text/></a>"
    u"<b type=\"line\" fromx=\"20\" fromy=\"300\" tox=\"20\" toy=\"500\" size=\"10\" "
    u"color=\"clBlack\"><text/></b>"
    u"<c type=\"line\" fromx=\"96\" fromy=\"192\" tox=\"480\" toy=\"192\" size=\"10\" "
    u"color=\"clBlack\"><text/></c>"
    u"</printing></body></rule>";
constexpr const char16_t* kNoData = u"<data><body><d><r><x>1</x></r></d></body></data>";

class PrintPageOnCups : public PrintPage {
 protected:
  static void SetUpTestSuite() {
    if (!CupsScheduler::Installed()) return;
    scheduler_ = std::make_unique<CupsScheduler>();
    if (scheduler_->Running()) scheduler_->AddPpdQueue(kQueue, kPpd, queueError_);
  }
  static void TearDownTestSuite() { scheduler_.reset(); }

  void SetUp() override {
    if (!CupsScheduler::Installed()) GTEST_SKIP() << "cupsd is not installed: no CUPS tests";
    ASSERT_TRUE(scheduler_->Running()) << scheduler_->Failure();
    ASSERT_TRUE(queueError_.empty()) << queueError_;
    // libcups keeps the server it first read for the process: point it at this scheduler.
    cupsSetServer(scheduler_->SocketPath().c_str());
    PrintPage::SetUp();
  }
  void TearDown() override {
    PrintPage::TearDown();
    cupsSetServer(nullptr);
  }

  static inline std::unique_ptr<CupsScheduler> scheduler_;
  static inline std::string queueError_;
};

// At 10 picture pixels a millimetre. The 200-dpi queue makes the 10-pixel pen 1.27 mm thick
// (50.29 to 51.56 mm down), the PDF printer's 600 dpi 0.42 mm (50.63 to 51.05 mm), both at the
// rule's 50.8 mm; what lies in the queue's margins is not on its paper.
TEST_F(PrintPageOnCups, GeometryFollowsThePrintersResolutionAndPrintableArea) {
  const Picture cups = Rendered(kNoData, kGeometryRule, codepage::Utf8ToWide(kQueue), 2100);
  ASSERT_EQ(cups.Width(), 2100);
  ASSERT_EQ(cups.Height(), 2970);
  const Picture pdf = Rendered(kNoData, kGeometryRule, u"pdf:", 2100);
  ASSERT_EQ(pdf.Height(), 2970);
  const int x = 700;  // 70 mm across, inside the thick line
  for (int y = 504; y <= 514; ++y) EXPECT_TRUE(cups.Dark(x, y)) << y;
  for (int y : {500, 518}) EXPECT_FALSE(cups.Dark(x, y)) << y;
  for (int y = 507; y <= 509; ++y) EXPECT_TRUE(pdf.Dark(x, y)) << y;
  for (int y : {504, 513}) EXPECT_FALSE(pdf.Dark(x, y)) << y;
  // The line's ends: 25.4 mm and 127 mm, to a picture pixel.
  EXPECT_FALSE(cups.Dark(251, 509));
  EXPECT_TRUE(cups.Dark(257, 509));
  EXPECT_TRUE(cups.Dark(1266, 509));
  EXPECT_FALSE(cups.Dark(1273, 509));

  // 5.3 mm down and 5.3 mm in: printed by the PDF printer, outside the queue's printable area.
  EXPECT_TRUE(pdf.Dark(500, 53));
  EXPECT_TRUE(pdf.Dark(53, 1000));
  EXPECT_FALSE(cups.Dark(500, 53));
  EXPECT_FALSE(cups.Dark(53, 1000));
  int64_t inkInTheMargins = 0;
  for (int y = 0; y < cups.Height(); ++y)
    for (int x2 = 0; x2 < cups.Width(); ++x2)
      if ((y < 127 || x2 < 100) && cups.Grey(x2, y) < 250) ++inkInTheMargins;
  EXPECT_EQ(inkInTheMargins, 0);
}

// The picture only reads the printers: the selection stays, no job is opened or recorded, and
// an empty name pictures the selected printer's page.
TEST_F(PrintPageOnCups, LeavesTheCurrentPrinterAsItWas) {
  const std::string target = (folder_ / "never.pdf").string();
  Select("pdf:" + target);
  const std::string lastPrint = Utf8(TextOf(Call(u"LastPrint")));
  const Picture current = Rendered(kNoData, kGeometryRule, u"", 840);
  EXPECT_EQ(current.Height(), 1188);
  // The top line, 5.3 mm down (row 21): on the PDF printer's paper, not on the queue's.
  EXPECT_TRUE(current.Dark(200, 21));
  const Picture queue = Rendered(kNoData, kGeometryRule, codepage::Utf8ToWide(kQueue), 840);
  EXPECT_FALSE(queue.Dark(200, 21));
  EXPECT_TRUE(queue.Dark(400, 203));  // the thick line, 50.8 mm down

  EXPECT_EQ(CurrentPrinter(), "pdf:" + target);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(Utf8(TextOf(Call(u"LastPrint"))), lastPrint);
  const CallOutcome end = Call(u"fprintEnd", {u""});
  EXPECT_EQ(Utf8(end.description), "Printer is not currently printing");

  const CallOutcome unknown = Render(kNoData, kGeometryRule, u"tavo-no-such-queue", 840);
  EXPECT_EQ(unknown.status, DISP_E_EXCEPTION);
  EXPECT_EQ(Utf8(unknown.description), "The printer tavo-no-such-queue is not available");
  EXPECT_EQ(CurrentPrinter(), "pdf:" + target);
}

// The PDF printer's sheet is the sample's own page: its lines are where the print has them.
TEST_F(PrintPage, TheSampleIsPicturedOnItsOwnPage) {
  const Picture picture = Rendered(Example("data.xml"), Example("rule.xml"), u"pdf:", 1205);
  EXPECT_EQ(picture.Height(), 700);  // 241 x 140 mm at 5 pixels a millimetre
  // The frame's top line at rule pixel 110 (29.1 mm down, rows 145.6 to 145.8) and its left side
  // at rule pixel 30 (7.9 mm in), each a hairline of one picture pixel, as the print has them.
  for (const int row : {144, 145, 146, 147}) EXPECT_EQ(picture.Dark(600, row), row == 146) << row;
  for (const int column : {38, 39, 40, 41}) EXPECT_EQ(picture.Dark(column, 300), column == 40);
}

// A 230 x 127 mm form on the queue's upright A4 (200 dpi, margins of 10 mm left, 12.7 mm top,
// 5 mm right, 15 mm bottom), with fields from 20 to 220 mm across: cut off in portrait; on the
// paper turned, or on custom media of its own size, all of it prints. The page as the queue
// receives it follows the same sheet.
TEST_F(PrintPageOnCups, TheCheckLaysTheWideFormOnTheQueuesPaper) {
  const auto rule = [](const std::u16string& page) {
    return u"<r><body>\n<printing pageWidth=\"230\" pageHeight=\"127\" " + page +
           u">\n<a type=\"field\" id=\"a\" index=\"0\" left=\"76\" top=\"76\" right=\"300\" "
           u"bottom=\"100\"><text/></a>\n<b type=\"field\" id=\"b\" index=\"0\" left=\"600\" "
           u"top=\"300\" right=\"831\" bottom=\"378\"><text/></b>\n</printing></body></r>";
  };
  const std::u16string queue = codepage::Utf8ToWide(kQueue);
  const auto check = [&](const std::u16string& page, const std::u16string& printer) {
    const CallOutcome outcome = Call(u"CheckRuleForPrinter", {rule(page), u"", printer});
    EXPECT_EQ(outcome.status, S_OK) << Utf8(outcome.description);
    return Utf8(TextOf(outcome));
  };
  const std::string portrait = check(u"", queue);
  EXPECT_NE(portrait.find("the page (230 x 127 mm) is 20 mm wider than the 210 x 297 mm sheet of " +
                          std::string(kQueue) + " in portrait"),
            std::string::npos)
      << portrait;
  EXPECT_NE(portrait.find("<b> with id \\\"b\\\" reaches 14.9 mm beyond the right edge"),
            std::string::npos)
      << portrait;
  EXPECT_NE(portrait.find("set pageAsPaper=\\\"true\\\""), std::string::npos) << portrait;
  EXPECT_EQ(check(u"landscape=\"true\"", queue), "[]");
  EXPECT_EQ(check(u"pageAsPaper=\"true\"", queue), "[]");
  // The current printer, when none is named.
  Select(kQueue);
  EXPECT_EQ(check(u"", u""), portrait);

  const Picture custom = Rendered(kNoData, rule(u"pageAsPaper=\"true\""), queue, 460);
  EXPECT_EQ(custom.Height(), 254);  // 460 x 127 / 230
}

}  // namespace
}  // namespace tavo::testing
