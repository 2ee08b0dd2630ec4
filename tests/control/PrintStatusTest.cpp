// ITavoPrintStatus against a private CUPS scheduler with real queues: what LastPrint says after
// each kind of print while PrintXmlData keeps its status, and JobState following jobs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <regex>
#include <thread>

#include "control/ControlHost.h"
#include "platform/codepage/CodePage.h"
#include "support/CupsScheduler.h"
#include "tools/Subprocess.h"

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;
using test::CupsScheduler;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

constexpr const char* kSink = "tavo-sink";
constexpr const char* kRejecting = "tavo-rejecting";
constexpr const char* kStopped = "tavo-stopped";
constexpr const char* kGone = "tavo-gone";
constexpr auto kJobTimeout = std::chrono::seconds(30);

std::string ReadExample(const std::string& name) {
  std::ifstream in(std::string(TAVO_EXAMPLES_DIR) + "/invoice/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The sample invoice with another invoice number (UTF-8).
std::string InvoiceData(const std::string& number) {
  std::string data = ReadExample("data.xml");
  const size_t at = data.find("12345678");
  return data.replace(at, 8, number);
}

// A rule whose line has no colour: drawing it fails once the job is open.
constexpr const char* kColourlessLineRule =
    R"(<rule><body><printing pageWidth="100" pageHeight="50">)"
    R"(<line type="line" fromx="0" fromy="10" tox="100" toy="10" size="1"><text/></line>)"
    R"(</printing></body></rule>)";

std::string Utf8(const std::u16string& text) { return codepage::WideToUtf8(text); }

class PrintStatus : public ControlTest {
 protected:
  static void SetUpTestSuite() {
    if (!CupsScheduler::Installed()) return;
    scheduler_ = std::make_unique<CupsScheduler>();
    if (!scheduler_->Running()) return;
    for (const char* queue : {kSink, kRejecting, kStopped, kGone})
      if (!scheduler_->AddSinkQueue(queue, queueError_)) return;
    for (const std::string& command :
         {std::string("cupsreject ") + kRejecting, std::string("cupsdisable ") + kStopped}) {
      const auto done = scheduler_->Run(command);
      if (done.status != 0) queueError_ = command + ": " + done.output;
    }
  }
  static void TearDownTestSuite() { scheduler_.reset(); }

  void SetUp() override {
    if (!CupsScheduler::Installed()) GTEST_SKIP() << "cupsd is not installed: no CUPS tests";
    ASSERT_TRUE(scheduler_->Running()) << scheduler_->Failure();
    ASSERT_TRUE(queueError_.empty()) << queueError_;
    ControlTest::SetUp();
  }

  void Select(const std::string& printer) {
    const CallOutcome selected = Call(u"SetDefaultPrinter", {codepage::Utf8ToWide(printer)});
    ASSERT_EQ(selected.status, S_OK);
    ASSERT_EQ(selected.value->boolVal, VARIANT_TRUE) << printer;
  }

  CallOutcome Print(const std::string& data, const std::string& rule) {
    return Call(u"PrintXmlData", {codepage::Utf8ToWide(data), codepage::Utf8ToWide(rule)});
  }

  std::string LastPrint() {
    const CallOutcome last = Call(u"LastPrint");
    EXPECT_EQ(last.status, S_OK) << Utf8(last.description);
    return Utf8(TextOf(last));
  }

  // The job id in LastPrint's JSON, or 0.
  static int JobOf(const std::string& json) {
    std::smatch match;
    static const std::regex job(R"("job":([0-9]+))");
    return std::regex_search(json, match, job) ? std::stoi(match[1]) : 0;
  }

  std::string JobState(int job) {
    const CallOutcome state = Call(u"JobState", {job});
    EXPECT_EQ(state.status, S_OK) << Utf8(state.description);
    return Utf8(TextOf(state));
  }

  // Asks until the job is in `state`, for a bounded time; the last answer.
  std::string AwaitJobState(int job, const std::string& state) {
    const auto deadline = std::chrono::steady_clock::now() + kJobTimeout;
    std::string json = JobState(job);
    while (json.find("\"state\":\"" + state + "\"") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      json = JobState(job);
    }
    return json;
  }

  static inline std::unique_ptr<CupsScheduler> scheduler_;
  static inline std::string queueError_;
};

TEST_F(PrintStatus, EachPrintReplacesTheOutcomeAndPrintXmlDataKeepsItsStatus) {
  const std::string rule = ReadExample("rule.xml");
  const std::string title = "票据打印，发票号码: ";

  // A queue that rejects jobs: the page was composed, CUPS refused it.
  Select(kRejecting);
  ASSERT_EQ(Print(InvoiceData("11111111"), rule).status, S_OK);
  EXPECT_EQ(LastPrint(), R"({"printed":false,"printer":"tavo-rejecting","title":")" + title +
                             R"(11111111","job":null,"message":"The printer tavo-rejecting did )"
                             R"(not accept the job: Destination \"tavo-rejecting\" is not )"
                             R"(accepting jobs."})");

  // A line without colour stops the page; the job still ends and is spooled.
  Select(kSink);
  ASSERT_EQ(Print(InvoiceData("22222222"), kColourlessLineRule).status, S_OK);
  const std::string colourless = LastPrint();
  EXPECT_THAT(colourless, MatchesRegex(R"(\{"printed":false,"printer":"tavo-sink","title":".*)"
                                       R"(22222222","job":[0-9]+,"message":"'' is not a valid )"
                                       R"(integer value"\})"));
  EXPECT_THAT(AwaitJobState(JobOf(colourless), "completed"), HasSubstr("\"state\":\"completed\""));

  // A successful print names its job; the title's quote, backslash and tab are escaped.
  ASSERT_EQ(Print(InvoiceData("12\"34\\56\t7"), rule).status, S_OK);
  const std::string printed = LastPrint();
  EXPECT_THAT(printed, MatchesRegex(R"(\{"printed":true,"printer":"tavo-sink","title":".*)"
                                    R"(12\\"34\\\\56\\t7","job":[0-9]+,"message":""\})"));
  EXPECT_TRUE(printed.starts_with(R"({"printed":true,"printer":"tavo-sink","title":")" + title))
      << printed;
  const int job = JobOf(printed);
  EXPECT_GT(job, JobOf(colourless));
  EXPECT_THAT(AwaitJobState(job, "completed"), HasSubstr("\"state\":\"completed\""));

  // Data that does not parse opens no job, and says so.
  ASSERT_EQ(Print("<invoice><body>", rule).status, S_OK);
  EXPECT_EQ(LastPrint(), R"({"printed":false,"printer":"tavo-sink","title":"","job":null,)"
                         R"("message":"The data document holds no record to print"})");

  // The PDF printer into a folder below a regular file: no file can be made there, not even by
  // root.
  const fs::path blocker = registry_.Folder() / "file";
  std::ofstream(blocker) << "x";
  const std::string pdf = (blocker / "out.pdf").string();
  Select("pdf:" + pdf);
  ASSERT_EQ(Print(InvoiceData("33333333"), rule).status, S_OK);
  EXPECT_THAT(LastPrint(), MatchesRegex(R"(\{"printed":false,"printer":"pdf:)" + pdf +
                                        R"(","title":".*33333333","job":null,"message":"Cannot )"
                                        R"(write the PDF file \\")" +
                                        pdf + R"(\\": .+"\})"));
  EXPECT_FALSE(fs::exists(pdf));

  // Inside a job opened by fprintStart nothing of the document prints.
  Select("pdf:" + (registry_.Folder() / "open.pdf").string());
  ASSERT_EQ(Call(u"fprintStart", {u"open"}).status, S_OK);
  ASSERT_EQ(Print(InvoiceData("44444444"), rule).status, S_OK);
  EXPECT_THAT(LastPrint(), MatchesRegex(R"(\{"printed":false,.*"job":null,)"
                                        R"("message":"Printing in progress"\})"));

  // A printer that is gone by the time of the print: building the data printer fails, which
  // PrintXmlData reports as it always did, and the outcome says the same.
  Select(kGone);
  ASSERT_EQ(scheduler_->Run(std::string("lpadmin -x ") + kGone).status, 0);
  const CallOutcome gone = Print(InvoiceData("55555555"), rule);
  EXPECT_EQ(gone.status, DISP_E_EXCEPTION);
  EXPECT_EQ(Utf8(gone.description), "The printer tavo-gone is not available");
  EXPECT_EQ(LastPrint(), R"({"printed":false,"printer":"tavo-gone","title":"","job":null,)"
                         R"("message":"The printer tavo-gone is not available"})");

  // Another process has a record of its own.
  const ProcessResult fresh = RunProcess(
      {TAVO_TAVOPRINT_PATH, "--registry", registry_.File().string(), "call", "LastPrint"});
  EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
  EXPECT_EQ(fresh.out,
            R"({"printed":false,"printer":"","title":"","job":null,"message":"No print yet"})"
            "\n");
}

TEST_F(PrintStatus, JobStateFollowsHeldAndCanceledJobs) {
  const std::string rule = ReadExample("rule.xml");
  Select(kStopped);
  ASSERT_EQ(Print(InvoiceData("66666666"), rule).status, S_OK);
  const int waiting = JobOf(LastPrint());
  ASSERT_GT(waiting, 0);
  EXPECT_THAT(JobState(waiting),
              MatchesRegex("\\{\"job\":" + std::to_string(waiting) +
                           R"re(,"state":"(pending|held)","reasons":\[.*\],"message":".*"\})re"));
  ASSERT_EQ(scheduler_->Run(std::string("cupsenable ") + kStopped).status, 0);
  EXPECT_THAT(AwaitJobState(waiting, "completed"),
              MatchesRegex("\\{\"job\":" + std::to_string(waiting) +
                           R"(,"state":"completed","reasons":\[.*\],"message":".*"\})"));

  ASSERT_EQ(scheduler_->Run(std::string("cupsdisable ") + kStopped).status, 0);
  ASSERT_EQ(Print(InvoiceData("77777777"), rule).status, S_OK);
  const int canceled = JobOf(LastPrint());
  ASSERT_GT(canceled, waiting);
  ASSERT_EQ(scheduler_->Run("cancel " + std::to_string(canceled)).status, 0);
  EXPECT_THAT(AwaitJobState(canceled, "canceled"),
              MatchesRegex("\\{\"job\":" + std::to_string(canceled) +
                           R"(,"state":"canceled","reasons":\["[-a-z]+".*\],"message":".*"\})"));

  for (const int unknown : {canceled + 1000, 0, -1}) {
    const CallOutcome state = Call(u"JobState", {unknown});
    EXPECT_EQ(state.status, DISP_E_EXCEPTION);
    EXPECT_EQ(Utf8(state.description),
              "There is no print job " + std::to_string(unknown) + " of this user");
  }
}

// Run only as the child of the next test: a process whose printer layer finds no printer at all.
using WithoutPrinters = ControlTest;
TEST_F(WithoutPrinters, DISABLED_PrintFailsAsBeforeAndTheOutcomeSaysWhy) {
  const CallOutcome print = Call(u"PrintXmlData", {codepage::Utf8ToWide(InvoiceData("88888888")),
                                                   codepage::Utf8ToWide(ReadExample("rule.xml"))});
  EXPECT_EQ(print.status, DISP_E_EXCEPTION);
  EXPECT_EQ(Utf8(print.description), "There is no default printer currently selected");
  std::cout << Utf8(TextOf(Call(u"LastPrint"))) << "\n";
}

TEST(PrintStatusWithoutPrinters, NoPrinterAtAll) {
  const ProcessResult child =
      RunProcess({"/proc/self/exe", "--gtest_also_run_disabled_tests",
                  "--gtest_filter=WithoutPrinters.DISABLED_PrintFailsAsBeforeAndTheOutcomeSaysWhy"},
                 {.unset = {}, .set = {{"CUPS_SERVER", "/nonexistent/cups.sock"}}});
  EXPECT_EQ(child.exitCode, 0) << child.out << child.err;
  EXPECT_THAT(child.out, HasSubstr(R"({"printed":false,"printer":"","title":"","job":null,)"
                                   R"("message":"There is no default printer currently )"
                                   R"(selected"})"
                                   "\n"));
}

}  // namespace
}  // namespace tavo::testing
