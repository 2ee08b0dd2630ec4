// The paper as tavoprint's users meet it: each example prints on the sheet its rule gives, a rule
// without a page size on A4 as ever; `check --pdf / --printer` lays the page on the printer's
// sheet; a CUPS job asks for the rule's page as its paper when the rule says so; and `preview`
// says when a background picture is not at the screen's 96 dpi.
#include <cups/cups.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/CupsScheduler.h"
#include "tavoprint/PictureDensity.h"
#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const fs::path kExamples = TAVO_EXAMPLES_DIR;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The PNG file with a pHYs chunk of that density after its header.
std::string WithDensity(const std::string& png, uint32_t dpi) {
  const uint32_t perMetre = static_cast<uint32_t>(dpi / 0.0254 + 0.5);
  std::string chunk = "pHYs";
  for (int repeat = 0; repeat < 2; ++repeat)
    for (int shift = 24; shift >= 0; shift -= 8) chunk += static_cast<char>(perMetre >> shift);
  chunk += '\1';
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.data()), chunk.size());
  std::string bytes("\0\0\0\x09", 4);
  bytes += chunk;
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(crc >> shift);
  return png.substr(0, 33) + bytes + png.substr(33);
}

class Paper : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-paper-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    const ProcessResult registered = Run({"register"});
    ASSERT_EQ(registered.exitCode, 0) << registered.err;
  }
  void TearDown() override { fs::remove_all(folder_); }

  ProcessResult Run(std::vector<std::string> args, const ProcessEnvironment& env = {}) const {
    args.insert(args.begin(), {TAVO_TAVOPRINT_PATH, "--registry", (folder_ / "r.reg").string()});
    return RunProcess(args, env);
  }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    return (folder_ / name).string();
  }
  // pdfinfo's page size of the PDF printer's print.
  std::string PrintedSize(const std::string& data, const std::string& rule) const {
    const std::string pdf = (folder_ / "out.pdf").string();
    const ProcessResult printed = Run({"print", data, rule, "--pdf", pdf});
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    return PdfInfoField(pdf, "Page size");
  }

  fs::path folder_;
};

// pdfinfo writes points with up to six significant digits.
std::string PointsOf(double widthMm, double heightMm) {
  char text[64];
  std::snprintf(text, sizeof text, "%g x %g pts", widthMm / 25.4 * 72, heightMm / 25.4 * 72);
  return text;
}

TEST_F(Paper, EveryExamplePrintsOnItsOwnPageAndARuleWithoutOneOnA4) {
  int examples = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(kExamples)) {
    const fs::path rule = entry.path() / "rule.xml";
    if (!fs::exists(rule)) continue;
    ++examples;
    std::smatch width, height;
    const std::string text = ReadFile(rule);
    const std::regex widthKey(R"re(pageWidth="([0-9.]+)")re");
    const std::regex heightKey(R"re(pageHeight="([0-9.]+)")re");
    ASSERT_TRUE(std::regex_search(text, width, widthKey)) << rule;
    ASSERT_TRUE(std::regex_search(text, height, heightKey)) << rule;
    EXPECT_THAT(PrintedSize((entry.path() / "data.xml").string(), rule.string()),
                HasSubstr(PointsOf(std::stod(width[1]), std::stod(height[1]))))
        << rule;
  }
  EXPECT_GE(examples, 2);

  const std::string data = Write("data.xml", "<d><body><data><r><a>1</a></r></data></body></d>");
  const auto rule = [&](const std::string& page) {
    return Write("rule.xml", "<r><body><printing " + page +
                                 "><a type=\"field\" id=\"a\" index=\"0\" right=\"90\" "
                                 "bottom=\"20\"><text/></a></printing></body></r>");
  };
  EXPECT_EQ(PrintedSize(data, rule("")), "595.276 x 841.89 pts (A4)");
  EXPECT_EQ(PrintedSize(data, rule("landscape=\"true\"")), "841.89 x 595.276 pts (A4)");
  EXPECT_EQ(PrintedSize(data, rule("pageWidth=\"230\" landscape=\"true\"")),
            "841.89 x 595.276 pts (A4)");
}

TEST_F(Paper, CheckWithAPrinterLaysThePageOnItsSheet) {
  // A field up to 240 mm across on a rule that gives no page size: A4 on the PDF printer.
  const std::string rule =
      Write("wide.xml",
            "<r><body>\n<printing>\n<f type=\"field\" id=\"f\" index=\"0\" left=\"756\" "
            "right=\"907\" bottom=\"20\"><text/></f>\n</printing></body></r>");
  const ProcessResult plain = Run({"check", rule});
  EXPECT_EQ(plain.exitCode, 0) << plain.out;
  const ProcessResult pdf = Run({"check", rule, "--pdf"});
  EXPECT_EQ(pdf.exitCode, 1) << pdf.err;
  EXPECT_THAT(pdf.out, HasSubstr(rule + ":3: warning: printing/f: <f> with id \"f\" reaches 30 mm "
                                        "beyond the right edge of the printable area of the 210 x "
                                        "297 mm sheet of the PDF printer in portrait"));
  EXPECT_THAT(pdf.out, HasSubstr("(set landscape=\"true\": it then lies inside the sheet turned"));
  const ProcessResult json = Run({"check", rule, "--pdf", "--json"});
  EXPECT_THAT(json.out, HasSubstr("\"path\":\"printing/f\""));

  // The examples check as before, and lie on the PDF printer's sheet: their own page.
  for (const char* example : {"invoice", "waybill"}) {
    const std::string exampleRule = (kExamples / example / "rule.xml").string();
    const std::string exampleData = (kExamples / example / "data.xml").string();
    const ProcessResult before = Run({"check", exampleRule, exampleData});
    EXPECT_EQ(before.exitCode, 0) << before.out;
    EXPECT_THAT(before.out, HasSubstr(std::string("0 errors, 0 warnings, ") +
                                      (example == std::string("invoice") ? "1 note" : "0 notes")));
    EXPECT_EQ(Run({"check", exampleRule, exampleData, "--pdf"}).out, before.out) << example;
  }

  const ProcessResult unknown = Run({"check", rule, "--printer", "tavo-no-such-queue"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_THAT(unknown.err, HasSubstr("The printer tavo-no-such-queue is not available"));
  EXPECT_EQ(Run({"check", rule, "--pdf", "--printer", "x"}).exitCode, 2);
}

// The preview dialog draws a picture's pixels as screen pixels: tavoprint says so for a
// background of another density, and says nothing for one at 96 dpi or one that does not say.
TEST_F(Paper, PreviewWarnsOfABackgroundThatIsNotAt96Dpi) {
  const std::string form = ReadFile(kExamples / "invoice/form.png");
  const std::string data = (kExamples / "invoice/data.xml").string();
  const std::string rule = (kExamples / "invoice/rule.xml").string();
  const std::string png = (folder_ / "page.png").string();
  const std::string scan = Write("scan.png", WithDensity(form, 200));
  const ProcessResult warned = Run({"preview", data, rule, scan, "--png", png});
  EXPECT_EQ(warned.exitCode, 0) << warned.err;
  EXPECT_EQ(warned.err, "tavoprint: warning: " + scan +
                            " is 200 dpi: the preview draws a picture's pixels as screen pixels "
                            "(96 dpi), so it shows this form at 2.08 times its size; give it a "
                            "copy at 96 dpi of the page's size (the designer's \"Make the "
                            "dialog's picture\")\n");
  for (const std::string& quiet :
       {Write("screen.png", WithDensity(form, 96)), (kExamples / "invoice/form.png").string()}) {
    const ProcessResult silent = Run({"preview", data, rule, quiet, "--png", png});
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_EQ(silent.err, "") << quiet;
  }
}

// JFIF, Exif in either byte order, and headers that lie about their sizes.
TEST(PictureDensity, IsReadFromPngJfifAndExifHeadersAndNeverBeyondThem) {
  using tool::DensityOfPicture;
  const std::string jfif("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x00\xC8\x00\x00",
                         20);
  ASSERT_TRUE(DensityOfPicture(jfif));
  EXPECT_EQ(DensityOfPicture(jfif)->dpiX, 300);
  EXPECT_EQ(DensityOfPicture(jfif)->dpiY, 200);
  std::string centimetres = jfif;
  centimetres[13] = 2;  // dots per centimetre
  EXPECT_DOUBLE_EQ(DensityOfPicture(centimetres)->dpiX, 762);
  std::string aspectOnly = jfif;
  aspectOnly[13] = 0;
  EXPECT_FALSE(DensityOfPicture(aspectOnly));

  // Exif: IFD0 with XResolution 200/1, YResolution 200/1 and ResolutionUnit inch, big-endian,
  // then the same little-endian.
  const std::string mm(
      "MM\x00\x2A\x00\x00\x00\x08\x00\x03"
      "\x01\x1A\x00\x05\x00\x00\x00\x01\x00\x00\x00\x32"
      "\x01\x1B\x00\x05\x00\x00\x00\x01\x00\x00\x00\x3A"
      "\x01\x28\x00\x03\x00\x00\x00\x01\x00\x02\x00\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x00\xC8\x00\x00\x00\x01\x00\x00\x00\xC8\x00\x00\x00\x01",
      66);
  std::string ii = mm;
  const auto swap = [&](size_t at, int count) {
    std::reverse(ii.begin() + at, ii.begin() + at + count);
  };
  ii[0] = ii[1] = 'I';
  swap(2, 2), swap(4, 4), swap(8, 2);
  for (size_t entry = 10; entry < 46; entry += 12)
    swap(entry, 2), swap(entry + 2, 2), swap(entry + 4, 4);
  swap(18, 4), swap(30, 4), swap(42, 2);
  for (size_t at = 50; at < 66; at += 4) swap(at, 4);
  for (const std::string& tiff : {mm, ii}) {
    std::string exif("\xFF\xD8\xFF\xE1", 4);
    const size_t length = tiff.size() + 8;
    exif += static_cast<char>(length >> 8);
    exif += static_cast<char>(length & 0xFF);
    exif += std::string("Exif\0\0", 6) + tiff;
    const auto density = DensityOfPicture(exif);
    ASSERT_TRUE(density) << (tiff[0] == 'M' ? "MM" : "II");
    EXPECT_EQ(density->dpiX, 200);
    // An IFD that points beyond the block, and a block longer than the file, say nothing.
    std::string far = exif;
    far[10 + 7] = '\x7F';
    EXPECT_FALSE(DensityOfPicture(far));
    EXPECT_FALSE(DensityOfPicture(exif.substr(0, exif.size() - 10)));
  }
  // A PNG whose first chunk claims more bytes than there are.
  EXPECT_FALSE(DensityOfPicture(std::string("\x89PNG\r\n\x1a\n\xFF\xFF\xFF\xF0pHYs", 16)));
  EXPECT_FALSE(DensityOfPicture("GIF89a"));
}

// A rule that asks for its page as paper sends CUPS's custom media with the job.
class PaperOnCups : public Paper {
 protected:
  void SetUp() override {
    if (!test::CupsScheduler::Installed()) GTEST_SKIP() << "cupsd is not installed";
    scheduler_ = std::make_unique<test::CupsScheduler>();
    ASSERT_TRUE(scheduler_->Running()) << scheduler_->Failure();
    std::string error;
    ASSERT_TRUE(scheduler_->AddSinkQueue("tavo-sink", error)) << error;
    Paper::SetUp();
  }
  void TearDown() override {
    Paper::TearDown();
    scheduler_.reset();
  }
  std::unique_ptr<test::CupsScheduler> scheduler_;
};

TEST_F(PaperOnCups, ARuleAsksForItsPageAsTheJobsPaper) {
  const std::string data = (kExamples / "invoice/data.xml").string();
  std::string rule = ReadFile(kExamples / "invoice/rule.xml");
  const auto jobMedia = [&](const std::string& ruleFile) {
    const ProcessResult printed = Run({"print", data, ruleFile, "--printer", "tavo-sink"});
    EXPECT_EQ(printed.exitCode, 0) << printed.err;
    std::smatch job;
    static const std::regex number(R"(as job ([0-9]+))");
    if (!std::regex_search(printed.out, job, number)) return std::string("no job");
    // The scheduler's socket as the host of an ipp: address, its slashes escaped.
    std::string host;
    for (const char c : scheduler_->SocketPath())
      host += c == '/' ? std::string("%2F") : std::string(1, c);
    const test::CommandResult attributes = scheduler_->Run(
        "ipptool -tv ipp://" + host + "/jobs/" + std::string(job[1]) + " get-job-attributes.test");
    std::smatch media;
    static const std::regex mediaLine(R"(media \(\w+\) = ([^\n]+))");
    return std::regex_search(attributes.output, media, mediaLine) ? std::string(media[1])
                                                                  : std::string("no media");
  };
  EXPECT_EQ(jobMedia((kExamples / "invoice/rule.xml").string()), "no media");
  rule.replace(rule.find("landscape=\"true\""), 16, "landscape=\"true\" pageAsPaper=\"true\"");
  EXPECT_EQ(jobMedia(Write("custom.xml", rule)), "Custom.241x140mm");
}

}  // namespace
}  // namespace tavo::testing
