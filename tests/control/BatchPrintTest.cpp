// Pages beyond the first, as hosts meet them through the control: rows that continue on the next
// sheet, runs of records as one job (ITavoBatchPrint) on the PDF printer and on a private CUPS
// scheduler, read back with poppler.
#include <cups/cups.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Utf8(const std::u16string& text) { return codepage::WideToUtf8(text); }
std::u16string Wide(const std::string& text) { return codepage::Utf8ToWide(text); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The page's text as poppler reads it, without blanks and line breaks.
std::string PageText(const std::string& pdf, int page) {
  std::string text = RunProcess({"pdftotext", "-enc", "UTF-8", "-layout", "-f",
                                 std::to_string(page), "-l", std::to_string(page), pdf, "-"})
                         .out;
  std::erase_if(text, [](char c) { return c == ' ' || c == '\n' || c == '\f'; });
  return text;
}

int PageCount(const std::string& pdf) {
  const std::string pages = PdfInfoField(pdf, "Pages");
  return pages.empty() ? 0 : std::stoi(pages);
}

// The page as poppler rasterizes it (grey, 50 dpi): equal pictures are equal pages.
std::string PagePixels(const std::string& pdf, int page) {
  return RunProcess({"pdftoppm", "-gray", "-r", "50", "-f", std::to_string(page), "-l",
                     std::to_string(page), pdf})
      .out;
}

// A delivery note on an A5 form with 8 row slots: header fields, the page as "N/M", and goods
// rows of name and quantity. `rows` is "indexed" (one element per slot) or "automatic".
std::string DeliveryNoteRule(const std::string& printing, bool indexed) {
  std::string rule =
      R"(<?xml version="1.0" encoding="UTF-8"?><rule><body><printing )" + printing +
      R"( pageWidth="210" pageHeight="148">)" +
      R"(<t type="text" left="40" top="20" right="400" bottom="50" fontName="黑体" fontSize="16" horzAlign="otaLeft"><text>送货单</text></t>)"
      R"(<f id="dh" index="0" left="40" top="60" right="300" bottom="80" fontSize="10" horzAlign="otaLeft"><text/></f>)"
      R"(<f id="kh" index="0" left="300" top="60" right="600" bottom="80" fontSize="10" horzAlign="otaLeft"><text/></f>)"
      R"(<f id="pageNumber" index="0" left="640" top="60" right="690" bottom="80" fontSize="10" horzAlign="otaRight"><text/></f>)"
      R"(<t type="text" left="690" top="60" right="700" bottom="80" fontSize="10"><text>/</text></t>)"
      R"(<f id="pageCount" index="0" left="700" top="60" right="750" bottom="80" fontSize="10" horzAlign="otaLeft"><text/></f>)";
  for (int slot = 0; slot < (indexed ? 8 : 1); ++slot) {
    const std::string index = std::to_string(slot);
    const std::string top = std::to_string(120 + 40 * slot);
    const std::string bottom = std::to_string(140 + 40 * slot);
    rule += R"(<f id="name" index=")" + index + R"(" left="40" top=")" + top +
            R"(" right="500" bottom=")" + bottom +
            R"(" fontSize="10" horzAlign="otaLeft" vertAlign="otaTop"><text/></f>)" +
            R"(<f id="qty" index=")" + index + R"(" left="500" top=")" + top +
            R"(" right="600" bottom=")" + bottom +
            R"(" fontSize="10" horzAlign="otaRight" vertAlign="otaTop"><text/></f>)";
  }
  return rule + "</printing></body></rule>";
}

std::string Good(int number) {
  return "货物" + std::string(number < 10 ? "0" : "") + std::to_string(number);
}

std::string DeliveryNoteData(int goods, const std::string& moreFields = "") {
  std::string rows;
  for (int i = 1; i <= goods; ++i)
    rows += "<row><name>" + Good(i) + "</name><qty>" + std::to_string(i * 3) + "</qty></row>";
  return R"(<?xml version="1.0" encoding="UTF-8"?><note><body><data><record><dh>DN-0042</dh>)"
         "<kh>远景办公</kh>" +
         moreFields + "<rows>" + rows + "</rows></record></data></body></note>";
}

// The sample invoice's record with another invoice number, and a document of such records.
std::string InvoiceRecord(const std::string& number) {
  const std::string data = ReadFile(fs::path(TAVO_EXAMPLES_DIR) / "invoice/data.xml");
  const size_t start = data.find("<record>");
  std::string record = data.substr(start, data.find("</record>") + 9 - start);
  return record.replace(record.find("12345678"), 8, number);
}

// A record whose QR code cannot hold its content: its page fails.
std::string BadInvoiceRecord(const std::string& number) {
  std::string record = InvoiceRecord(number);
  return record.replace(record.find("<ewm>") + 5, 0, std::string(8000, 'X'));
}

std::string InvoiceDocument(const std::vector<std::string>& records) {
  std::string all;
  for (const std::string& record : records) all += record;
  return R"(<?xml version="1.0" encoding="UTF-8"?><invoice><body><data>)" + all +
         "</data></body></invoice>";
}

std::u16string InvoiceRule() {
  return Wide(ReadFile(fs::path(TAVO_EXAMPLES_DIR) / "invoice/rule.xml"));
}

class BatchPrint : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    folder_ = registry_.Folder();
  }

  void Select(const std::string& printer) {
    const CallOutcome selected = Call(u"SetDefaultPrinter", {Wide(printer)});
    ASSERT_EQ(selected.status, S_OK);
    ASSERT_EQ(selected.value->boolVal, VARIANT_TRUE) << printer;
  }

  // Prints with PrintXmlData on the PDF printer into NAME.pdf of the test's folder.
  std::string PrintPdf(const std::string& name, const std::string& data, const std::string& rule) {
    const std::string pdf = (folder_ / (name + ".pdf")).string();
    Select("pdf:" + pdf);
    EXPECT_EQ(Call(u"PrintXmlData", {Wide(data), Wide(rule)}).status, S_OK);
    return pdf;
  }

  std::string CallForText(std::u16string_view method, const std::vector<Arg>& args) {
    const CallOutcome outcome = Call(method, args);
    EXPECT_EQ(outcome.status, S_OK) << Utf8(outcome.description);
    return Utf8(TextOf(outcome));
  }

  fs::path folder_;
};

TEST_F(BatchPrint, DeliveryNoteRowsContinueOnTheNextSheetsWithTheHeaderAndPageNumbers) {
  // 25 goods on 8 slots: 4 sheets, each with the header, "N/4" and its goods in order.
  const std::string indexed = PrintPdf("indexed", DeliveryNoteData(25),
                                       DeliveryNoteRule(R"(repeatableRowsPerPage="8")", true));
  ASSERT_EQ(PageCount(indexed), 4);
  for (int page = 1; page <= 4; ++page) {
    const std::string text = PageText(indexed, page);
    EXPECT_THAT(text, StartsWith("送货单DN-0042远景办公" + std::to_string(page) + "/4")) << page;
    std::string goods;
    for (int good = 8 * page - 7; good <= std::min(8 * page, 25); ++good)
      goods += Good(good) + std::to_string(good * 3);
    EXPECT_THAT(text, ::testing::EndsWith(goods)) << page;
  }

  // Automatic rows down to rule pixel 250: every good once, in order, over the sheets; the
  // page count is what the picture of the page as printed says.
  const std::string rule = DeliveryNoteRule(
      R"(repeatableRowAutoHeightAndTop="true" repeatableRowSpace="2" repeatableRowBottom="250")",
      false);
  const std::string automatic = PrintPdf("automatic", DeliveryNoteData(25), rule);
  const int pages = PageCount(automatic);
  ASSERT_GT(pages, 1);
  std::string all;
  for (int page = 1; page <= pages; ++page) {
    const std::string text = PageText(automatic, page);
    const std::string header =
        "送货单DN-0042远景办公" + std::to_string(page) + "/" + std::to_string(pages);
    ASSERT_THAT(text, StartsWith(header)) << page;
    all += text.substr(header.size());
  }
  std::string goods;
  for (int good = 1; good <= 25; ++good) goods += Good(good) + std::to_string(good * 3);
  EXPECT_EQ(all, goods);
  const std::vector<uint8_t> png = DecodeBase64(
      CallForText(u"RenderPrintPage", {Wide(DeliveryNoteData(25)), Wide(rule), u"pdf:", 400}));
  EXPECT_NE(std::string(png.begin(), png.begin() + 80)
                .find("tEXtPages" + std::string(1, '\0') + std::to_string(pages)),
            std::string::npos);

  // A note that fits prints the one page of today: the same as without the keys, with the page
  // fields given as data.
  const std::string fits =
      PrintPdf("fits", DeliveryNoteData(8), DeliveryNoteRule(R"(repeatableRowsPerPage="8")", true));
  const std::string before =
      PrintPdf("before", DeliveryNoteData(8, "<pageNumber>1</pageNumber><pageCount>1</pageCount>"),
               DeliveryNoteRule("", true));
  ASSERT_EQ(PageCount(fits), 1);
  EXPECT_EQ(PagePixels(fits, 1), PagePixels(before, 1));
  EXPECT_GT(PagePixels(fits, 1).size(), 10000u);
}

TEST_F(BatchPrint, ARunOfRecordsIsOneJobOfTheirPagesAndTheRecordThatFailsIsNamed) {
  const std::string pdf = (folder_ / "run.pdf").string();
  Select("pdf:" + pdf);
  const std::string run =
      CallForText(u"PrintXmlBatch",
                  {Wide(InvoiceDocument({InvoiceRecord("00000001"), InvoiceRecord("00000002"),
                                         BadInvoiceRecord("00000003"), InvoiceRecord("00000004")})),
                   InvoiceRule()});
  EXPECT_THAT(
      run,
      StartsWith(
          R"({"printed":true,"pages":3,"job":null,"failed":[{"record":3,"message":"The content \")"));
  EXPECT_THAT(run, HasSubstr("cannot be encoded as qrcode"));
  EXPECT_THAT(
      CallForText(u"LastPrint", {}),
      StartsWith(
          R"({"printed":true,"printer":"pdf:)" + pdf +
          R"(","title":"票据打印，发票号码: 00000001","job":null,"message":"1 record was left out; record 3: )"));
  ASSERT_EQ(PageCount(pdf), 3);
  // Each page is the page PrintXmlData prints of a document holding that record alone.
  const std::string numbers[] = {"00000001", "00000002", "00000004"};
  for (int page = 1; page <= 3; ++page) {
    const std::string alone =
        PrintPdf("alone", InvoiceDocument({InvoiceRecord(numbers[page - 1])}), Utf8(InvoiceRule()));
    EXPECT_EQ(PagePixels(pdf, page), PagePixels(alone, 1)) << page;
  }

  // A batch over two documents is one job too; PrintXmlData between them is its own print.
  const std::string joined = (folder_ / "joined.pdf").string();
  Select("pdf:" + joined);
  ASSERT_EQ(Call(u"BeginBatch").status, S_OK);
  EXPECT_EQ(Call(u"BeginBatch").description, u"A batch is open already; EndBatch ends it");
  EXPECT_THAT(
      CallForText(u"PrintXmlBatch",
                  {Wide(InvoiceDocument({InvoiceRecord("00000011"), InvoiceRecord("00000012")})),
                   InvoiceRule()}),
      StartsWith(R"({"printed":true,"pages":2,"job":null,"failed":[])"));
  CallForText(u"PrintXmlBatch",
              {Wide(InvoiceDocument({InvoiceRecord("00000013")})), InvoiceRule()});
  EXPECT_THAT(CallForText(u"EndBatch", {}),
              StartsWith(R"({"printed":true,"pages":3,"job":null,"failed":[])"));
  EXPECT_EQ(PageCount(joined), 3);
  EXPECT_THAT(PageText(joined, 3), HasSubstr("00000013"));
  EXPECT_EQ(Call(u"EndBatch").description, u"No batch is open; BeginBatch opens one");
}

TEST_F(BatchPrint, AFilePerRecordIsNamedByItsNumberAndAResumedRunKeepsTheFilesThere) {
  Select("pdf:" + (folder_ / "chosen.pdf").string());
  std::vector<std::string> records;
  for (int i = 1; i <= 10; ++i) records.push_back(InvoiceRecord("000000" + std::to_string(10 + i)));
  records[6] = BadInvoiceRecord("00000017");
  const std::u16string data = Wide(InvoiceDocument(records));
  const std::u16string pattern = Wide((folder_ / "out" / "inv-{record}.pdf").string());
  fs::create_directories(folder_ / "out");
  EXPECT_THAT(
      CallForText(u"PrintXmlBatchFiles", {data, InvoiceRule(), pattern, 0}),
      StartsWith(R"({"printed":false,"pages":9,"files":9,"skipped":0,"failed":[{"record":7,)"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_ / "out"))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"inv-01.pdf", "inv-02.pdf", "inv-03.pdf", "inv-04.pdf",
                                             "inv-05.pdf", "inv-06.pdf", "inv-08.pdf", "inv-09.pdf",
                                             "inv-10.pdf"}));
  EXPECT_THAT(PageText((folder_ / "out" / "inv-10.pdf").string(), 1), HasSubstr("00000020"));
  // The host's printer stays as it chose it.
  EXPECT_EQ(CallForText(u"GetDefaultPrinter", {}), "pdf:" + (folder_ / "chosen.pdf").string());

  fs::remove(folder_ / "out" / "inv-04.pdf");
  records[6] = InvoiceRecord("00000017");
  EXPECT_THAT(CallForText(u"PrintXmlBatchFiles",
                          {Wide(InvoiceDocument(records)), InvoiceRule(), pattern, 1}),
              StartsWith(R"({"printed":true,"pages":2,"files":2,"skipped":8,"failed":[])"));
  EXPECT_TRUE(fs::exists(folder_ / "out" / "inv-04.pdf"));
  EXPECT_TRUE(fs::exists(folder_ / "out" / "inv-07.pdf"));
  EXPECT_EQ(Call(u"PrintXmlBatchFiles", {data, InvoiceRule(), u"out-{record}.pdf", 0}).scode,
            E_INVALIDARG);
}

// The end-of-day run on a private scheduler: 300 invoices, one of them bad, are one CUPS job of
// 299 pages, named as its first invoice's job.
class BatchPrintOnCups : public BatchPrint {
 protected:
  static constexpr const char* kQueue = "tavo-batch";

  void SetUp() override {
    if (!test::CupsScheduler::Installed()) GTEST_SKIP() << "cupsd is not installed: no CUPS tests";
    scheduler_ = std::make_unique<test::CupsScheduler>();
    ASSERT_TRUE(scheduler_->Running()) << scheduler_->Failure();
    spooled_ = scheduler_->PdfOutputDir() + "/job.pdf";
    std::string error;
    ASSERT_TRUE(scheduler_->AddPdfFileQueue(kQueue, spooled_, error)) << error;
    cupsSetServer(scheduler_->SocketPath().c_str());
    BatchPrint::SetUp();
  }
  void TearDown() override {
    BatchPrint::TearDown();
    scheduler_.reset();
    cupsSetServer(nullptr);
  }

  std::unique_ptr<test::CupsScheduler> scheduler_;
  std::string spooled_;
};

TEST_F(BatchPrintOnCups, ThreeHundredInvoicesAreOneJob) {
  std::vector<std::string> records;
  for (int i = 0; i < 300; ++i) {
    const std::string number = std::to_string(20000000 + i);
    records.push_back(i == 150 ? BadInvoiceRecord(number) : InvoiceRecord(number));
  }
  Select(kQueue);
  const std::string run =
      CallForText(u"PrintXmlBatch", {Wide(InvoiceDocument(records)), InvoiceRule()});
  EXPECT_THAT(run,
              ::testing::MatchesRegex(
                  R"(\{"printed":true,"pages":299,"job":[0-9]+,"failed":\[\{"record":151,.*)"));
  ASSERT_TRUE(scheduler_->WaitForJobs(std::chrono::seconds(60))) << scheduler_->ErrorLog();
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue, 0, CUPS_WHICHJOBS_ALL);
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(jobs[0].title, "票据打印，发票号码: 20000000");
  EXPECT_EQ(jobs[0].state, IPP_JSTATE_COMPLETED);
  cupsFreeJobs(count, jobs);
  // The pages the printer was given, as the scheduler's filter passed them on.
  EXPECT_EQ(PageCount(spooled_), 299) << scheduler_->ErrorLog();
  EXPECT_THAT(PageText(spooled_, 299), HasSubstr("20000299"));
}

}  // namespace
}  // namespace tavo::testing
