// Barcodes as scanners read them: one page of every symbology through tavoprint, as the preview
// picture (96 dpi) and as the PDF printer's page rasterized at 300 and 600 dpi, read back by
// real decoders (zbarimg; dmtxread for Data Matrix). zbar 0.23 does not read PDF417.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;

struct Code {
  std::string symbology, content;
  int left, top, right, bottom;  // rule pixels at 96 dpi
};

// One code a row (a scan line crossing two linear codes confuses zbar). Static elements draw
// their "text"; every other one is bound to a data field of its symbology's name.
const Code kCodes[] = {
    {"code128", "TAVO-2026-0042", 10, 10, 410, 70},
    {"ean13", "5012345678900", 10, 90, 410, 150},
    {"ean8", "96385074", 10, 170, 410, 230},
    {"upca", "036000291452", 10, 250, 410, 310},
    {"code39", "WAYBILL-42", 10, 330, 410, 390},
    {"itf14", "12345678901231", 10, 410, 410, 470},
    {"qrcode", "发票号码12345678 金额¥9,791.00", 10, 490, 150, 630},
    {"datamatrix", "DM-TAVO-42", 270, 490, 410, 630},
};
constexpr int kPageWidth = 420, kPageHeight = 640;

std::string Rule() {
  std::ostringstream rule;
  rule << R"(<?xml version="1.0" encoding="UTF-8"?><rule><body><printing width=")" << kPageWidth
       << R"(" height=")" << kPageHeight << R"(" dpix="96" dpiy="96">)";
  bool bound = false;
  for (const Code& code : kCodes) {
    rule << "<c" << code.symbology << R"( type="barcode" symbology=")" << code.symbology
         << R"(" left=")" << code.left << R"(" top=")" << code.top << R"(" right=")" << code.right
         << R"(" bottom=")" << code.bottom << '"';
    if (bound) rule << R"( id=")" << code.symbology << R"(" index="0")";
    rule << "><text>" << (bound ? "" : code.content) << "</text></c" << code.symbology << ">";
    bound = !bound;
  }
  rule << "</printing></body></rule>";
  return rule.str();
}

std::string Data() {
  std::string data = R"(<?xml version="1.0" encoding="UTF-8"?><doc><body><data><record>)";
  for (const Code& code : kCodes) {
    data += "<" + code.symbology + ">" + code.content + "</" + code.symbology + ">";
  }
  return data + "</record></data></body></doc>";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class BarcodeScan : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-barcode-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    std::ofstream(Path("rule.xml")) << Rule();
    std::ofstream(Path("data.xml")) << Data();
    const ProcessResult registered = Tavoprint({"register"});
    ASSERT_EQ(registered.exitCode, 0) << registered.err;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  ProcessResult Tavoprint(std::vector<std::string> args) const {
    args.insert(args.begin(), {TAVO_TAVOPRINT_PATH, "--registry", Path("registry.reg")});
    return RunProcess(args);
  }

  // Every code of the picture (drawn at `dpi`) decodes to exactly its content.
  void ExpectEveryCodeScans(const std::string& png, int dpi) const {
    const std::vector<std::string> zbar = Decoded({"zbarimg", "-q", "--raw", png});
    for (const Code& code : kCodes) {
      if (code.symbology == "upca") {
        // zbar reports a UPC-A as the EAN-13 it is: the same digits after a 0.
        EXPECT_THAT(zbar, Contains("0" + code.content)) << dpi << " dpi";
      } else if (code.symbology == "datamatrix") {
        EXPECT_THAT(Decoded({"dmtxread", "-N1", png}), Contains(code.content)) << dpi << " dpi";
      } else {
        EXPECT_THAT(zbar, Contains(code.content)) << code.symbology << " at " << dpi << " dpi";
      }
    }
  }

 private:
  static std::vector<std::string> Decoded(const std::vector<std::string>& command) {
    const ProcessResult result = RunProcess(command);
    return Lines(result.out);
  }
  fs::path folder_;
};

TEST_F(BarcodeScan, EverySymbologyScansFromThePreviewPicture) {
  const ProcessResult preview =
      Tavoprint({"preview", Path("data.xml"), Path("rule.xml"), "--png", Path("preview.png")});
  ASSERT_EQ(preview.exitCode, 0) << preview.err;
  ExpectEveryCodeScans(Path("preview.png"), 96);
}

TEST_F(BarcodeScan, EverySymbologyScansFromThePdfPrintersPageAt300And600Dpi) {
  const ProcessResult print =
      Tavoprint({"print", Path("data.xml"), Path("rule.xml"), "--pdf", Path("page.pdf")});
  ASSERT_EQ(print.exitCode, 0) << print.err;
  for (const int dpi : {300, 600}) {
    const std::string png = Path("page-" + std::to_string(dpi));
    const ProcessResult raster =
        RunProcess({"pdftoppm", "-r", std::to_string(dpi), "-png", "-singlefile", "-x", "0", "-y",
                    "0", "-W", std::to_string(kPageWidth * dpi / 96), "-H",
                    std::to_string(kPageHeight * dpi / 96), Path("page.pdf"), png});
    ASSERT_EQ(raster.exitCode, 0) << raster.err;
    ExpectEveryCodeScans(png + ".png", dpi);
  }
}

TEST_F(BarcodeScan, TheExamplesCodesScanFromTheirPreviews) {
  const std::string examples = TAVO_EXAMPLES_DIR;
  const struct {
    std::string example;
    std::vector<std::string> contents;
  } cases[] = {
      {"invoice", {"发票号码:12345678;价税合计:¥9,791.00"}},
      {"waybill", {"TV202612080042", "TV202612080042 201203", "SF-ROUTE-021-PVG"}},
  };
  for (const auto& c : cases) {
    const std::string folder = examples + "/" + c.example + "/";
    const std::string png = Path(c.example + ".png");
    const ProcessResult preview =
        Tavoprint({"preview", folder + "data.xml", folder + "rule.xml", "--png", png});
    ASSERT_EQ(preview.exitCode, 0) << preview.err;
    const ProcessResult scan = RunProcess({"zbarimg", "-q", "--raw", png});
    for (const std::string& content : c.contents) {
      EXPECT_THAT(Lines(scan.out), Contains(content)) << c.example;
    }
  }
}

}  // namespace
}  // namespace tavo::testing
