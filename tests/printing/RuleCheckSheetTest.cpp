// The rule checker against a printer's sheet: a wide form on an upright A4 queue, what lies
// beyond it with the fixes that would bring it on, and nothing once it fits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "printing/unitRuleCheck.h"

namespace tavo {
namespace {

using ::testing::HasSubstr;

// An A4 queue with a 5 mm margin all round, its paper turned for landscape; or, when the page
// asks to be the paper, the page itself with the same margins.
TCheckPrinter A4Queue() {
  TCheckPrinter printer;
  printer.name = "office-1";
  printer.sheet = [](const PageRequest& page, Orientation orientation) {
    TCheckSheet sheet;
    const bool custom = page.asPaper && page.Given();
    const bool turned = !custom && orientation == Orientation::Landscape;
    sheet.widthMm = custom ? page.widthMm : turned ? 297 : 210;
    sheet.heightMm = custom ? page.heightMm : turned ? 210 : 297;
    sheet.printableLeftMm = sheet.printableTopMm = 5;
    sheet.printableRightMm = sheet.widthMm - 5;
    sheet.printableBottomMm = sheet.heightMm - 5;
    sheet.isPage = custom;
    return sheet;
  };
  return printer;
}

// A 230 x 127 mm waybill at 96 dpi: its sender at 10 mm, the phone number's box from 189 to
// 220.1 mm across (714 to 832 rule pixels).
std::string Waybill(const std::string& page) {
  return "<doc><body>\n<printing pageWidth=\"230\" pageHeight=\"127\" " + page +
         ">\n"
         R"(<sender type="field" id="sender" index="0" left="40" top="40" right="300" bottom="60"><text/></sender>)"
         "\n"
         R"(<phone type="field" id="phone" index="0" left="714" top="40" right="832" bottom="60"><text/></phone>)"
         "\n</printing></body></doc>";
}

std::string Messages(const TRuleCheck& check) { return FindingsToJson(check.findings); }

const TRuleFinding* Find(const TRuleCheck& check, const std::string& path, const std::string& key) {
  for (const TRuleFinding& finding : check.findings)
    if (finding.path == path && finding.key == key) return &finding;
  return nullptr;
}

TEST(RuleCheckSheet, AWideFormInPortraitIsCutOffAndTheFixesAreNamed) {
  const TCheckPrinter printer = A4Queue();
  const TRuleCheck check = CheckRule(Waybill(""), "", &printer);

  const TRuleFinding* page = Find(check, "printing", "pageWidth");
  ASSERT_NE(page, nullptr) << Messages(check);
  EXPECT_EQ(page->severity, TFindingSeverity::Warning);
  EXPECT_EQ(page->line, 2);
  EXPECT_EQ(page->message,
            "the page (230 x 127 mm) is 20 mm wider than the 210 x 297 mm sheet of office-1 in "
            "portrait: what lies beyond the sheet is not printed");
  EXPECT_EQ(page->hint,
            "set landscape=\"true\": it then lies inside the sheet turned (297 x 210 mm); or give "
            "the queue office-1 the form's paper (230 x 127 mm); or set pageAsPaper=\"true\" so "
            "that each job asks for that paper");

  // The phone number ends at 220.1 mm, 15.1 mm beyond the printable 205 mm; the sender is on it.
  const TRuleFinding* phone = Find(check, "printing/phone", "");
  ASSERT_NE(phone, nullptr) << Messages(check);
  EXPECT_EQ(phone->line, 4);
  EXPECT_THAT(phone->message,
              HasSubstr("<phone> with id \"phone\" reaches 15.1 mm beyond the right "
                        "edge of the printable area of the 210 x 297 mm sheet"));
  EXPECT_THAT(phone->hint, HasSubstr("set landscape=\"true\""));
  EXPECT_EQ(Find(check, "printing/sender", ""), nullptr);

  const TRuleFinding* portrait = Find(check, "printing", "landscape");
  ASSERT_NE(portrait, nullptr) << Messages(check);
  EXPECT_EQ(portrait->severity, TFindingSeverity::Note);
  EXPECT_THAT(portrait->message,
              HasSubstr("wider than tall (230 x 127 mm) and prints in portrait"));
}

TEST(RuleCheckSheet, NothingIsFoundOnceThePageFitsTheSheet) {
  const TCheckPrinter printer = A4Queue();
  for (const char* fit : {"landscape=\"true\"", "pageAsPaper=\"true\""}) {
    const TRuleCheck check = CheckRule(Waybill(fit), "", &printer);
    EXPECT_TRUE(check.findings.empty()) << fit << ": " << Messages(check);
  }
  // Without a printer the checker knows no sheet.
  EXPECT_TRUE(CheckRule(Waybill(""), "").findings.empty());
}

// On a page made the paper the margins still hold: the offsets move the phone number 7.5 mm to
// the right, into the right margin, and turning the page would not help.
TEST(RuleCheckSheet, AnElementInTheMarginOfCustomPaperIsFoundWithoutTheLandscapeFix) {
  const TCheckPrinter printer = A4Queue();
  const TRuleCheck check = CheckRule(
      Waybill("pageAsPaper=\"true\" customOffsetLeft=\"-1\" offsetLeft=\"8.5\""), "", &printer);
  ASSERT_EQ(check.findings.size(), 1u) << Messages(check);
  EXPECT_THAT(check.findings[0].message, HasSubstr("reaches 2.6 mm beyond the right edge"));
  EXPECT_EQ(check.findings[0].hint, "move it inside the printable area");
}

}  // namespace
}  // namespace tavo
