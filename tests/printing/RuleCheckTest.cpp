// One rule or data document per kind of finding: the finding, its severity and line, and that
// the page the engine draws is the one the checker foresees.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "printing/PrintingFixtures.h"
#include "printing/RuleCheckFixtures.h"
#include "printing/unitRuleCheck.h"

namespace tavo {
namespace {

// A rule whose <printing> element is on line 2 and whose elements follow one per line from
// line 3.
std::string Rule(const std::string& printingAttributes, const std::vector<std::string>& elements) {
  std::string text =
      "<doc><body>\n<printing pageWidth=\"210\" pageHeight=\"297\" " + printingAttributes + ">\n";
  for (const std::string& element : elements) text += element + "\n";
  return text + "</printing></body></doc>";
}

// A data document whose record's fields are one per line from line 2, then the rows, one per
// line.
std::string Data(const std::vector<std::string>& fields,
                 const std::vector<std::string>& rows = {}) {
  std::string text = "<doc><body><data><invoice>\n";
  for (const std::string& field : fields) text += field + "\n";
  if (!rows.empty()) {
    text += "<rows>\n";
    for (const std::string& row : rows) text += row + "\n";
    text += "</rows>\n";
  }
  return text + "</invoice></data></body></doc>";
}

const std::string kLabel =
    R"(<e type="text" left="0" top="0" right="200" bottom="20"><text>Label</text></e>)";

struct Case {
  const char* name;
  std::string rule;
  std::string data;
  TFindingSeverity severity;
  const char* document;
  int32_t line;
  const char* key;
  const char* words;  // a part of the hint or the message
};

std::vector<Case> Cases() {
  using S = TFindingSeverity;
  const std::string amountData = Data({"<amount>12.50</amount>"});
  return {
      {"misspelt key",
       Rule("", {R"(<e type="text" right="99" bottom="20" fontSzie="30"><text>A</text></e>)"}),
       amountData, S::Warning, "rule", 3, "fontSzie", "did you mean fontSize?"},
      {"type in wrong case",
       Rule("", {R"(<e type="Text" right="99" bottom="20"><text>A</text></e>)"}), amountData,
       S::Warning, "rule", 3, "type", "did you mean text?"},
      {"element without child element",
       Rule("", {kLabel,
                 R"(<ln type="line" fromx="0" fromy="50" tox="100" toy="50" color="clBlack"/>)"}),
       amountData, S::Warning, "rule", 4, "", "never drawn"},
      {"field element without index",
       Rule("", {R"(<e type="field" id="amount" right="99" bottom="20"><text/></e>)"}), amountData,
       S::Warning, "rule", 3, "index", "index=\"0\""},
      {"id in other letter case",
       Rule("", {R"(<e type="field" id="Amount" index="0" right="99" bottom="20"><text/></e>)"}),
       amountData, S::Warning, "data", 2, "amount", "did you mean id \"Amount\"?"},
      {"alignment name",
       Rule("", {R"(<e type="text" right="99" bottom="20" horzAlign="right"><text>A</text></e>)"}),
       amountData, S::Warning, "rule", 3, "horzAlign", "did you mean otaRight?"},
      {"HTML colour",
       Rule("",
            {R"(<e type="text" right="99" bottom="20" fontColor="#FF0000"><text>A</text></e>)"}),
       amountData, S::Warning, "rule", 3, "fontColor", "$0000FF"},
      {"landscape yes", Rule("landscape=\"yes\"", {kLabel}), amountData, S::Warning, "rule", 2,
       "landscape", "true or false"},
      {"fractional dpix", Rule("dpix=\"254.0\"", {kLabel}), amountData, S::Warning, "rule", 2,
       "dpix", "such as 254"},
      {"zero dpiy", Rule("dpiy=\"0\"", {kLabel}), amountData, S::Error, "rule", 2, "dpiy",
       "Floating point division by zero"},
      {"logo as a file name",
       Rule(
           "",
           {R"(<logo type="image" right="99" bottom="99"><text>/srv/forms/logo.png</text></logo>)"}),
       amountData, S::Warning, "rule", 3, "text", "a file name is not read"},
      {"logo as a data URL",
       Rule("", {"<logo type=\"image\" right=\"99\" bottom=\"99\"><text>data:image/png;base64," +
                 test::kPngBase64 + "</text></logo>"}),
       amountData, S::Warning, "rule", 3, "text", "data:"},
      {"printing in other letter case",
       "<doc><body>\n<Printing pageWidth=\"210\">\n" + kLabel + "\n</Printing></body></doc>",
       amountData, S::Error, "rule", 1, "", "<Printing> at line 2 is not <printing>"},
      {"malformed rule", "<doc><body>\n<printing>\n" + kLabel + "\n</body></doc>", amountData,
       S::Error, "rule", 4, "", "Opening and ending tag mismatch"},
      {"line without colour",
       Rule("", {R"(<ln type="line" fromx="0" fromy="50" tox="100" toy="50"><x/></ln>)", kLabel}),
       amountData, S::Error, "rule", 3, "color", "page stops here"},
      {"element never drawn",
       Rule("", {R"(<e type="label" right="99" bottom="20"><text>A</text></e>)"}), amountData,
       S::Warning, "rule", 3, "type", "never drawn"},
      {"record one level too shallow",
       Rule("", {kLabel,
                 R"(<e type="field" id="amount" index="0" right="99" bottom="20"><text/></e>)"}),
       "<doc><body><invoice>\n<amount>5</amount>\n<rows><row><a>1</a></row></rows>\n</invoice></"
       "body></doc>",
       S::Warning, "data", 2, "amount", "one more element"},
      {"group before the rows",
       Rule("", {R"(<q type="field" id="qty" index="0" right="99" bottom="20"><text/></q>)"}),
       "<doc><body><data><invoice>\n<group><x><y>1</y></x></group>\n<rows><row><qty>3</qty></row></"
       "rows>\n"
       "</invoice></data></body></doc>",
       S::Warning, "data", 3, "", "put <rows> before <group>"},
      {"indexed rows without elements",
       Rule("", {R"(<q type="field" id="qty" index="0" right="99" bottom="20"><text/></q>)"}),
       Data({}, {"<row><qty>1</qty></row>", "<row><qty>2</qty></row>", "<row><qty>3</qty></row>"}),
       S::Warning, "data", 4, "", "2 row(s) are not drawn"},
      {"rows run into a fixed element",
       Rule(
           "repeatableRowAutoHeightAndTop=\"1\" repeatableRowSpace=\"1\"",
           {R"(<q type="field" id="qty" left="0" top="100" right="99" bottom="115" vertAlign="otaTop"><text/></q>)",
            R"(<total type="line" fromx="0" fromy="160" tox="300" toy="160" color="0"><x/></total>)"}),
       Data({}, {"<row><qty>1</qty></row>", "<row><qty>2</qty></row>", "<row><qty>3</qty></row>",
                 "<row><qty>4</qty></row>", "<row><qty>5</qty></row>"}),
       S::Warning, "data", 0, "qty", "runs into <total> at line 4"},
      {"rows in the middle of their boxes",
       Rule(
           "repeatableRowAutoHeightAndTop=\"1\" repeatableRowSpace=\"2\"",
           {R"(<q type="field" id="qty" left="0" top="100" right="99" bottom="130" vertAlign="otaMiddle"><text/></q>)"}),
       Data({}, {"<row><qty>1</qty></row>", "<row><qty>2</qty></row>"}), S::Warning, "rule", 3,
       "vertAlign", "set vertAlign=\"otaTop\""},
      {"rows leave the page",
       "<doc><body>\n<printing pageWidth=\"100\" pageHeight=\"40\" "
       "repeatableRowAutoHeightAndTop=\"true\">\n"
       R"(<q type="field" id="qty" left="0" top="100" right="99" bottom="115" vertAlign="otaTop"><text/></q>)"
       "\n</printing></body></doc>",
       Data({}, {"<row><qty>1</qty></row>", "<row><qty>2</qty></row>", "<row><qty>3</qty></row>",
                 "<row><qty>4</qty></row>"}),
       S::Warning, "data", 0, "qty", "leaves the page"},
      {"ampersand in unwrapped field",
       Rule(
           "",
           {R"(<e type="field" id="name" index="0" right="299" bottom="20" wordBreak="false"><text/></e>)"}),
       Data({"<name>Smith &amp; Sons</name>"}), S::Warning, "data", 2, "name", "&&"},
      {"element no field reaches",
       Rule("",
            {kLabel, R"(<e type="field" id="buyer" index="0" right="99" bottom="20"><text/></e>)"}),
       Data({"<buyr>ACME</buyr>"}), S::Warning, "rule", 4, "id", "field \"buyr\""},
      {"field no element receives", Rule("", {kLabel}), Data({"<remark>x</remark>"}), S::Note,
       "data", 2, "remark", "no element has id"},
      {"records a single print ignores", Rule("", {kLabel}),
       "<doc><body><data>\n<invoice><a>1</a></invoice>\n<invoice><a>2</a></invoice>\n"
       "<invoice><a>3</a></invoice></data></body></doc>",
       S::Note, "data", 3, "", "with PrintXmlBatch"},
      {"row bottom for indexed rows", Rule("repeatableRowBottom=\"200\"", {kLabel}), amountData,
       S::Warning, "rule", 2, "repeatableRowBottom", "repeatableRowsPerPage"},
      {"malformed data", Rule("", {kLabel}),
       "<doc><body>\n<data><invoice><a>1</a></data></body></doc>", S::Error, "data", 2, "",
       "not well-formed"},
  };
}

TEST(RuleCheck, EachKindOfFindingWithItsLineAndThePageUnchanged) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const TRuleCheck check = CheckRule(c.rule, c.data);
    const TRuleFinding* found = nullptr;
    for (const TRuleFinding& finding : check.findings) {
      const bool matches =
          finding.key == c.key && finding.document == c.document &&
          (finding.hint + " " + finding.message).find(c.words) != std::string::npos;
      if (matches) found = &finding;
    }
    if (!found) {
      ADD_FAILURE() << "no finding with key '" << c.key << "' and '" << c.words
                    << "' among: " << FindingsToJson(check.findings);
      continue;
    }
    EXPECT_EQ(found->severity, c.severity) << found->message;
    // Line 0 stands for "some row's line": which row first shows it depends on the fonts.
    if (c.line > 0) {
      EXPECT_EQ(found->line, c.line) << found->message;
    } else {
      EXPECT_GT(found->line, 0) << found->message;
    }
    // The engine draws exactly what the checker foresees: the check changes nothing.
    EXPECT_EQ(test::Drawn(c.rule, c.data), test::Planned(check))
        << "drawn: " << test::Drawn(c.rule, c.data).Describe()
        << "\nplanned: " << test::Planned(check).Describe();
  }
}

// Rows that continue on the next page are neither rows without elements nor rows off the page.
TEST(RuleCheck, RowsThatContinueAreNoRowsLost) {
  const std::vector<std::string> rows(12, "<row><qty>1</qty></row>");
  const std::string indexed =
      Rule(R"(repeatableRowsPerPage="2")",
           {R"(<q type="field" id="qty" index="0" right="99" bottom="20"><text/></q>)",
            R"(<q type="field" id="qty" index="1" top="30" right="99" bottom="50"><text/></q>)"});
  const std::string automatic =
      "<doc><body>\n<printing pageWidth=\"100\" pageHeight=\"40\" "
      "repeatableRowAutoHeightAndTop=\"true\" repeatableRowBottom=\"140\">\n"
      R"(<q type="field" id="qty" left="0" top="100" right="99" bottom="115" vertAlign="otaTop"><text/></q>)"
      "\n</printing></body></doc>";
  for (const std::string& rule : {indexed, automatic}) {
    const std::string findings = FindingsToJson(CheckRule(rule, Data({}, rows)).findings);
    EXPECT_EQ(findings, "[]") << rule;
  }
}

std::string ReadExample(const std::string& name) {
  std::ifstream file(std::string(TAVO_SOURCE_DIR) + "/examples/invoice/" + name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The example is what integrators copy: it checks with only the note its comment explains.
TEST(RuleCheck, ExampleInvoiceChecksWithOnlyExplainedNotes) {
  const std::string rule = ReadExample("rule.xml");
  const std::string data = ReadExample("data.xml");
  ASSERT_FALSE(rule.empty());
  const TRuleCheck check = CheckRule(rule, data);
  ASSERT_EQ(check.findings.size(), 1u) << FindingsToJson(check.findings);
  EXPECT_EQ(check.findings[0].severity, TFindingSeverity::Note);
  EXPECT_EQ(check.findings[0].key, "index");
  EXPECT_NE(rule.find("index=\"0\" although automatic row layout does not look at it"),
            std::string::npos);
  // The QR code's modules are rectangles the checker does not plan; all else agrees.
  test::PageSummary drawn = test::Drawn(rule, data);
  const test::PageSummary planned = test::Planned(check);
  EXPECT_GT(drawn.rectangles, planned.rectangles + 100);
  drawn.rectangles = planned.rectangles;
  EXPECT_EQ(drawn, planned) << drawn.Describe() << "\n" << planned.Describe();
  EXPECT_GT(check.draws.size(), 40u);
}

}  // namespace
}  // namespace tavo
