// Rows that continue on the next page, on the test printer whose device measures every
// character 10 pixels wide and every line 10 pixels high.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printing/PrintingFixtures.h"
#include "printing/unitCommonPrinting.h"
#include "support/TestPrinter.h"

namespace tavo {
namespace {

using test::DataDocument;
using test::RecordedOp;
using test::RuleDocument;
using Kind = RecordedOp::Kind;

// The drawings of each page of a job.
std::vector<std::vector<RecordedOp>> Pages(const test::PrintJob& job) {
  std::vector<std::vector<RecordedOp>> pages;
  for (size_t i = 0; i < job.pageStarts.size(); ++i) {
    const size_t end = i + 1 < job.pageStarts.size() ? job.pageStarts[i + 1] : job.ops.size();
    pages.emplace_back(job.ops.begin() + static_cast<long>(job.pageStarts[i]),
                       job.ops.begin() + static_cast<long>(end));
  }
  return pages;
}

std::vector<std::string> Texts(const std::vector<RecordedOp>& ops) {
  std::vector<std::string> texts;
  for (const RecordedOp& op : ops)
    if (op.kind == Kind::Text) texts.push_back(op.text);
  return texts;
}

std::string Rows(int from, int to) {
  std::string rows;
  for (int i = from; i <= to; ++i) rows += "<r><item>r" + std::to_string(i) + "</item></r>";
  return rows;
}

// At 600 dpi rule pixels are device pixels. A frame, a header, the page fields and one row
// field a line high from 100 down: with automatic rows and no row space, row k reaches 110 + 10k.
std::string AutomaticRule(const std::string& continuation) {
  return RuleDocument(
      R"(dpix="600" dpiy="600" pageWidth="100" pageHeight="100" )"
      R"(repeatableRowAutoHeightAndTop="true" repeatableRowSpace="0" )" +
          continuation,
      R"(<e type="rectangle" left="0" top="0" right="500" bottom="500" size="1" color="clBlack"><x/></e>)"
      R"(<e id="no" left="0" top="10" right="300" bottom="20" vertAlign="otaTop"><x/></e>)"
      R"(<e id="pageNumber" left="300" top="10" right="350" bottom="20" vertAlign="otaTop"><x/></e>)"
      R"(<e id="pageCount" left="350" top="10" right="400" bottom="20" vertAlign="otaTop"><x/></e>)"
      R"(<e id="item" left="0" top="100" right="400" bottom="110" vertAlign="otaTop"><x/></e>)");
}

TEST(ContinuingRows, AutomaticRowsFillEachPageToTheBottomWithTheHeaderAndPageFieldsOnEvery) {
  test::ScopedTestPrinter printer;
  // Rows 0 to 4 reach 150 at most; a sixth would reach 160. The record's own pageNumber field
  // gives way to the page's.
  TTavoXmlDataPrinter(AutomaticRule(R"(repeatableRowBottom="150")"), nullptr)
      .Print(DataDocument("<no>N7</no><pageNumber>99</pageNumber>", Rows(0, 11)));
  ASSERT_EQ(printer->Jobs().size(), 1u);
  const auto pages = Pages(printer->Jobs().front());
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(Texts(pages[0]),
            (std::vector<std::string>{"N7", "1", "3", "r0", "r1", "r2", "r3", "r4"}));
  EXPECT_EQ(Texts(pages[1]),
            (std::vector<std::string>{"N7", "2", "3", "r5", "r6", "r7", "r8", "r9"}));
  EXPECT_EQ(Texts(pages[2]), (std::vector<std::string>{"N7", "3", "3", "r10", "r11"}));
  // Each page starts as the first did: rows from the element's own top, a fresh canvas (the
  // frame drawn with the white brush a text box leaves clear).
  for (const auto& page : pages) {
    ASSERT_EQ(page.front().kind, Kind::Rectangle);
    EXPECT_EQ(page.front().brush.style, BrushStyle::Solid);
    EXPECT_EQ(page[4].rect.top, 100 - 50);  // r0, r5, r10 at the element's top, less the margin
  }
}

TEST(ContinuingRows, IndexedRowsTakeTheFormsSlotsAndWithoutTheKeysNothingChanges) {
  const std::string slots =
      R"(<e id="item" index="0" left="0" top="100" right="400" bottom="110"><x/></e>)"
      R"(<e id="item" index="1" left="0" top="120" right="400" bottom="130"><x/></e>)";
  const std::string data = DataDocument("<pageNumber>7</pageNumber>", Rows(0, 4));
  test::ScopedTestPrinter printer;
  TTavoXmlDataPrinter(
      RuleDocument(
          R"(repeatableRowsPerPage="2")",
          slots +
              R"(<e id="pageNumber" index="0" left="0" top="0" right="90" bottom="10"><x/></e>)"),
      nullptr)
      .Print(data);
  const auto pages = Pages(printer->Jobs().back());
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(Texts(pages[0]), (std::vector<std::string>{"1", "r0", "r1"}));
  EXPECT_EQ(Texts(pages[2]), (std::vector<std::string>{"3", "r4"}));
  // Row 2 takes the first slot again.
  EXPECT_EQ(pages[1][1].from.y, pages[0][1].from.y);

  // Without the keys a rule prints one page as ever: rows past the slots are not drawn, and a
  // field named pageNumber is a field like any other.
  TTavoXmlDataPrinter(
      RuleDocument(
          "",
          slots +
              R"(<e id="pageNumber" index="0" left="0" top="0" right="90" bottom="10"><x/></e>)"),
      nullptr)
      .Print(data);
  const auto plain = Pages(printer->Jobs().back());
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(Texts(plain[0]), (std::vector<std::string>{"7", "r0", "r1"}));
}

}  // namespace
}  // namespace tavo
