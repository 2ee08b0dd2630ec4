// The checker and the engine agree on every element: generated rules and data (random keys,
// values and structures from a fixed seed) and the fuzz corpus, each checked and drawn on a
// recording canvas.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "printing/PrintingFixtures.h"
#include "printing/RuleCheckFixtures.h"
#include "printing/unitRuleCheck.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  std::string Rule() {
    std::string text = "<doc><body>" + std::string(Chance(10) ? "<head/>" : "");
    text += "<printing";
    for (const char* key : {"pageWidth", "pageHeight", "dpix", "dpiy", "width", "height",
                            "repeatableRowAutoHeightAndTop", "repeatableRowSpace", "landscape",
                            "offsetLeft", "pageWidht"}) {
      if (Chance(40))
        text += Attribute(key, Pick({"0", "96", "100", "254.0", "x", "1", "true", "yes", "$60",
                                     "-3", " 50", "2e2"}));
    }
    text += ">";
    const int elements = Below(9);
    for (int i = 0; i < elements; ++i) text += Element();
    return text + "</printing></body></doc>";
  }

  std::string Data() {
    if (Chance(5)) return "<doc><body><a>1</a></body></doc>";
    std::string record;
    for (int i = Below(5); i > 0; --i) record += Field();
    std::string rows;
    for (int i = Below(5); i > 0; --i) {
      std::string row;
      for (int j = Below(4); j > 0; --j) row += Field();
      rows += "<row>" + (row.empty() ? "<empty/>" : row) + "</row>";
    }
    if (Chance(20)) record += "<group><g><qty>9</qty></g></group>";
    if (!rows.empty()) record += "<rows>" + rows + "</rows>";
    if (Chance(10)) return "<doc><body><invoice>" + record + "</invoice></body></doc>";
    return "<doc><body><data><invoice>" + record + "</invoice></data></body></doc>";
  }

 private:
  bool Chance(int percent) { return Below(100) < percent; }
  int Below(int bound) { return static_cast<int>(random_() % static_cast<uint32_t>(bound)); }
  std::string Pick(const std::vector<std::string>& choices) {
    return choices[static_cast<size_t>(Below(static_cast<int>(choices.size())))];
  }
  static std::string Attribute(const std::string& key, const std::string& value) {
    return " " + key + "=\"" + value + "\"";
  }
  std::string Marker() { return "m" + std::to_string(++markers_); }

  std::string Element() {
    std::string text = "<" + Pick({"e", "label", "ln", "box"});
    const std::string name = text.substr(1);
    text += Attribute("type", Pick({"line", "rectangle", "image", "text", "text", "Text", "field",
                                    "", "line", "rectangle"}));
    if (Chance(60)) text += Attribute("id", Pick({"a", "b", "qty", "Qty", "amount"}));
    if (Chance(60)) text += Attribute("index", Pick({"0", "0", "1", "2", "03", " 1", ""}));
    for (const char* key : {"left", "top", "right", "bottom", "fromx", "fromy", "tox", "toy",
                            "size", "fontSize", "fontSzie"}) {
      if (Chance(50)) text += Attribute(key, Pick({"0", "10", "40", "200", "1.5", "x", "$20"}));
    }
    if (Chance(80)) text += Attribute("color", Pick({"clRed", "0", "$FF", "#FF0000", "", "red"}));
    if (Chance(30)) text += Attribute("horzAlign", Pick({"otaRight", "right", "otaleft", ""}));
    if (Chance(30)) text += Attribute("vertAlign", Pick({"otaTop", "otaBottom", "middle"}));
    if (Chance(30)) text += Attribute("wordBreak", Pick({"false", "0", "no", "true"}));
    if (Chance(10)) return text + "/>";
    std::string children;
    switch (Below(5)) {
      case 0:
        children = "<x/>";
        break;
      case 1:
        children = "<text>" + test::kPngBase64 + "</text>";
        break;
      case 2:
        children = "<text>  </text><x/>";
        break;
      case 3:
        children = "<Text>" + Marker() + "</Text>";
        break;
      default:
        children = "<text>" + Marker() + (Chance(20) ? " &amp;x" : "") + "</text>";
    }
    return text + ">" + children + "</" + name + ">";
  }

  std::string Field() {
    const std::string name = Pick({"a", "b", "qty", "amount", "fphm", "Amount"});
    const std::string value = Chance(10)   ? "  "
                              : Chance(10) ? test::kPngBase64
                                           : Marker() + (Chance(10) ? "&amp;y" : "");
    return "<" + name + ">" + value + "</" + name + ">";
  }

  std::mt19937 random_;
  int markers_ = 0;
};

// Whether the page holds anything, so that the comparisons are not all of empty pages.
bool ExpectAgreement(const std::string& rule, const std::string& data, const std::string& what) {
  // The checker plans no drawings for a barcode's modules: pages with one are left out here.
  if (rule.find("\"barcode\"") != std::string::npos) return false;
  const TRuleCheck check = CheckRule(rule, data);
  const test::PageSummary drawn = test::Drawn(rule, data);
  const test::PageSummary planned = test::Planned(check);
  EXPECT_EQ(drawn, planned) << what << "\nrule: " << rule << "\ndata: " << data
                            << "\ndrawn:   " << drawn.Describe()
                            << "\nplanned: " << planned.Describe();
  return !(drawn == test::PageSummary{});
}

TEST(RuleCheckAgreement, GeneratedRulesDrawWhatTheCheckerSays) {
  Generator generate(20261209);
  int pagesWithDrawings = 0;
  for (int i = 0; i < 400; ++i) {
    const std::string rule = generate.Rule();
    pagesWithDrawings +=
        ExpectAgreement(rule, generate.Data(), "generated rule " + std::to_string(i));
    if (HasFailure()) return;
  }
  EXPECT_GT(pagesWithDrawings, 100);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(RuleCheckAgreement, FuzzCorpusDrawsWhatTheCheckerSays) {
  const fs::path corpus = fs::path(TAVO_SOURCE_DIR) / "fuzz" / "corpus";
  const std::string data = test::DataDocument("<a>1</a><b>2</b>", "<r><a>3</a></r><r><a>4</a></r>");
  const std::string rule = test::RuleDocument(
      "pageWidth=\"100\"", "<e type=\"text\" id=\"a\" index=\"0\" right=\"90\"><text>t</text></e>");
  int inputs = 0;
  for (const auto& entry : fs::directory_iterator(corpus / "PrintXmlData")) {
    const std::string input = ReadFile(entry.path());
    const size_t separator = input.find('\0');
    ExpectAgreement(input.substr(0, separator),
                    separator == std::string::npos ? "" : input.substr(separator + 1),
                    entry.path().string());
    ++inputs;
  }
  for (const auto& entry : fs::directory_iterator(corpus / "ParseXmlBean")) {
    const std::string input = ReadFile(entry.path());
    ExpectAgreement(input, data, entry.path().string() + " as the rule");
    ExpectAgreement(rule, input, entry.path().string() + " as the data");
    ++inputs;
  }
  EXPECT_GT(inputs, 10);
}

}  // namespace
}  // namespace tavo
