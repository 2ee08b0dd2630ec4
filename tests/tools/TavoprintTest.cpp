// tavoprint as its users run it: the built binary as a child process, on a registry file of
// the test's own, its output streams and exit codes read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/picture/PictureFile.h"
#include "platform/registry/Registry.h"
#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const std::string kExamples = std::string(TAVO_EXAMPLES_DIR) + "/invoice/";

std::string BareClassId() {
  const std::string braced = FormatGuid(CLASS_TavoPreFmtPrinter);
  return braced.substr(1, braced.size() - 2);
}

// "@PATH": the argument is the text of the file.
std::string AtPath(const fs::path& path) {
  std::string argument = "@";
  argument += path.string();
  return argument;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Tavoprint : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavo-tavoprint-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  ProcessResult Run(std::vector<std::string> args, const ProcessEnvironment& env = {}) const {
    args.insert(args.begin(), {TAVO_TAVOPRINT_PATH, "--registry", Registry().string()});
    return RunProcess(args, env);
  }
  void Register() const {
    const ProcessResult registered = Run({"register"});
    ASSERT_EQ(registered.exitCode, 0) << registered.err;
  }

  fs::path Registry() const { return folder_ / "registry.reg"; }
  fs::path PathOf(const std::string& name) const { return folder_ / name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
    return PathOf(name).string();
  }

  fs::path folder_;
};

TEST_F(Tavoprint, CallPrintsEachKindOfValue) {
  Register();
  const struct {
    std::vector<std::string> call;
    std::string out;
  } cases[] = {
      {{"GetVer", TAVO_CONTROL_MODULE_PATH}, "2.0.0.2\n"},
      {{"GetVer", PathOf("missing.dll").string()}, "\n"},
      {{"GetOcxVersion", "2.0.0.2"}, "1\n"},
      {{"GetOcxVersion", "2.0.0.20"}, "0\n"},
      {{"IFOcxGuid", BareClassId()}, "-1\n"},
      {{"ifocxguid", FormatGuid(CLASS_TavoPreFmtPrinter)}, "0\n"},
      {{"SetDefaultPrinter", "no such printer"}, "0\n"},
      {{"fprintText", "1", "-2", "宋体", "9", "text"}, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"call"};
    args.insert(args.end(), c.call.begin(), c.call.end());
    const ProcessResult result = Run(args);
    EXPECT_EQ(result.exitCode, 0) << c.call[0] << ": " << result.err;
    EXPECT_EQ(result.out, c.out) << c.call[0];
    EXPECT_EQ(result.err, "") << c.call[0];
  }
}

TEST_F(Tavoprint, FailuresAndUsageErrorsHaveTheirOwnExitCodes) {
  Register();
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } cases[] = {
      {{"call", "fprintEnd", "x"},
       1,
       "fprintEnd failed (0x8000FFFF): Printer is not currently printing"},
      {{"call", "GetVer"}, 2, "GetVer takes a different number of arguments"},
      {{"call", "GetVer", "a", "b"}, 2, "GetVer takes a different number of arguments"},
      {{"call", "fprintText", "1", "two", "宋体", "9", "x"}, 2, "argument 2 of fprintText"},
      {{"call", "NoSuchMethod"}, 2, "no method NoSuchMethod"},
      {{"call"}, 2, "call needs a method name"},
      {{"frobnicate"}, 2, "unknown command frobnicate"},
      {{"call", "GetVer", AtPath(PathOf("absent.txt"))}, 1, "absent.txt"},
  };
  for (const auto& c : cases) {
    const ProcessResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back() << ": " << result.err;
    EXPECT_THAT(result.err, HasSubstr(c.err));
    EXPECT_TRUE(result.err.starts_with("tavoprint: ")) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(Run({"call", "fprintEnd", "x"}).err,
            "tavoprint: fprintEnd failed (0x8000FFFF): Printer is not currently printing\n");
}

TEST_F(Tavoprint, RegistrationDecidesWhatCallsFind) {
  const ProcessResult early = Run({"call", "GetOcxVersion", "2.0.0.2"});
  EXPECT_EQ(early.exitCode, 1);
  EXPECT_THAT(early.err, HasSubstr("not registered"));

  Register();
  EXPECT_EQ(Run({"call", "GetOcxVersion", "2.0.0.2"}).out, "1\n");
  // A registration whose module entry is gone: the control is found, its version is not.
  ModifyRegistryFile(Registry(), [](RegistryTree& tree) {
    tree.DeleteKey("CLSID\\" + FormatGuid(CLASS_TavoPreFmtPrinter) + "\\ToolboxBitmap32");
  });
  EXPECT_EQ(Run({"call", "GetOcxVersion", "2.0.0.2"}).out, "-1\n");

  const ProcessResult unregistered = Run({"unregister"});
  EXPECT_EQ(unregistered.exitCode, 0) << unregistered.err;
  const ProcessResult late = Run({"call", "IFOcxGuid", BareClassId()});
  EXPECT_EQ(late.exitCode, 1);
  EXPECT_THAT(late.err, HasSubstr("not registered"));
  EXPECT_FALSE(ReadRegistryFile(Registry()).KeyExists("TavoPreFmtPrinterX.TavoPreFmtPrinter"));
}

TEST_F(Tavoprint, AtPathArgumentsAreTheTextOfAFile) {
  Register();
  const std::string plain = Write("plain.txt", TAVO_CONTROL_MODULE_PATH);
  const std::string bom = Write("bom.txt", "\xEF\xBB\xBF" TAVO_CONTROL_MODULE_PATH);
  for (const std::string& file : {plain, bom}) {
    const ProcessResult result = Run({"call", "GetVer", AtPath(file)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "2.0.0.2\n") << file;
  }
}

// The invoice rule over data documents in the encodings pages send.
TEST_F(Tavoprint, DataFilesAreDecodedAsABrowserDecodesThem) {
  Register();
  const std::string body =
      "<invoice><body><data><record><fphm>87654321</fphm>"
      "<gmfmc>上海远景办公用品有限公司</gmfmc><xsfmc>杭州拓沃信息技术有限公司</xsfmc>"
      "</record></data></body></invoice>\n";
  auto declared = [&](const std::string& encoding) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n" + body;
  };
  auto converted = [&](const std::string& name, const std::string& text, const char* code) {
    const std::string source = Write(name + ".utf8", text);
    const ProcessResult iconv =
        RunProcess({"iconv", "-f", "UTF-8", "-t", code, "-o", PathOf(name).string(), source});
    EXPECT_EQ(iconv.exitCode, 0) << iconv.err;
    return PathOf(name).string();
  };
  const std::string utf16 = converted("utf16.xml", declared("UTF-16"), "UTF-16LE");
  Write("utf16bom.xml", "\xFF\xFE" + ReadFile(utf16));

  const struct {
    const char* name;
    std::string path;
  } cases[] = {
      {"UTF-8 without declaration", Write("plain.xml", body)},
      {"UTF-8 with BOM", Write("bom.xml", "\xEF\xBB\xBF" + declared("UTF-8"))},
      {"UTF-16LE with BOM", PathOf("utf16bom.xml").string()},
      {"GBK declared", converted("gbk.xml", declared("GBK"), "GBK")},
      {"GB2312 declared", converted("gb2312.xml", declared("gb2312"), "GB2312")},
      {"UTF-8 labelled UTF-16", Write("mislabelled.xml", declared("UTF-16"))},
  };
  for (const auto& c : cases) {
    const std::string pdf = PathOf(std::string(c.name) + ".pdf").string();
    const ProcessResult result = Run({"print", c.path, kExamples + "rule.xml", "--pdf", pdf});
    ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
    EXPECT_EQ(result.out, "printed to " + pdf + "\n");
    EXPECT_EQ(PdfInfoField(pdf, "Title"), "票据打印，发票号码: 87654321") << c.name;
    const std::string text = PdfText(pdf);
    for (const char* name : {"上海远景办公用品有限公司", "杭州拓沃信息技术有限公司"}) {
      EXPECT_THAT(text, HasSubstr(name)) << c.name;
    }
  }
}

TEST_F(Tavoprint, PrintWritesThePdfOrSaysWhyNot) {
  Register();
  const std::string data = kExamples + "data.xml", rule = kExamples + "rule.xml";
  const std::string pdf = PathOf("invoice.pdf").string();
  const ProcessResult printed = Run({"print", data, rule, "--pdf", pdf});
  ASSERT_EQ(printed.exitCode, 0) << printed.err;
  EXPECT_THAT(PdfText(pdf), HasSubstr("12345678"));

  const ProcessResult unknown = Run({"print", data, rule, "--printer", "no-such-queue"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_THAT(unknown.err, HasSubstr("no printer named no-such-queue"));

  const std::string notXml = Write("broken.xml", "<invoice><body>");
  const ProcessResult nothing =
      Run({"print", notXml, rule, "--pdf", PathOf("nothing.pdf").string()});
  EXPECT_EQ(nothing.exitCode, 1);
  EXPECT_THAT(nothing.err, HasSubstr("nothing was printed"));
  EXPECT_FALSE(fs::exists(PathOf("nothing.pdf")));

  EXPECT_EQ(Run({"print", data, rule, "--pdf", pdf, "--printer", "x"}).exitCode, 2);
  EXPECT_EQ(Run({"print", data}).exitCode, 2);
}

TEST_F(Tavoprint, PreviewPngHoldsThePageOverItsBackground) {
  Register();
  const std::string data = kExamples + "data.xml", rule = kExamples + "rule.xml";
  const std::string form = kExamples + "form.png";
  const std::string withForm = PathOf("with.png").string(), bare = PathOf("bare.png").string();
  ASSERT_EQ(Run({"preview", data, rule, form, "--png", withForm}).exitCode, 0);
  ASSERT_EQ(Run({"preview", data, rule, "--png", bare}).exitCode, 0);

  const Picture background = LoadPictureFile(form);
  const Picture page = LoadPictureFile(withForm);
  const Picture elementsOnly = LoadPictureFile(bare);
  ASSERT_TRUE(page.HasGraphic() && elementsOnly.HasGraphic() && background.HasGraphic());
  EXPECT_EQ(page.Width(), 911);
  EXPECT_EQ(page.Height(), 529);
  EXPECT_EQ(elementsOnly.Width(), 911);
  // A corner of the paper that no element covers shows the form's paper colour.
  const auto pixel = [](const Picture& picture, int x, int y) {
    return picture.GetGraphic()->pixels[static_cast<size_t>(y * picture.Width() + x)];
  };
  EXPECT_EQ(pixel(page, 5, 5), pixel(background, 5, 5));
  EXPECT_NE(pixel(elementsOnly, 5, 5), pixel(background, 5, 5));
}

// Without a display, or with a platform nobody sees (as the test scripts export), the preview
// fails at once instead of waiting for a click that can never come.
TEST_F(Tavoprint, PreviewWindowNeedsADisplay) {
  Register();
  ProcessEnvironment headless;
  headless.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TAVO_TEST_OFFSCREEN_DIALOG"};
  ProcessEnvironment offscreen;
  offscreen.unset = {"TAVO_TEST_OFFSCREEN_DIALOG"};
  offscreen.set = {{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", ":0"}};
  for (const ProcessEnvironment& env : {headless, offscreen}) {
    const ProcessResult result =
        Run({"preview", kExamples + "data.xml", kExamples + "rule.xml"}, env);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr("Preview needs a display"));
  }
}

TEST_F(Tavoprint, PrintersListsWithoutFailing) {
  Register();
  const ProcessResult result = Run({"printers"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Run({"printers", "extra"}).exitCode, 2);
}

}  // namespace
}  // namespace tavo::testing
