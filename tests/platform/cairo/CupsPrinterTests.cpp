// The current printer against a private CUPS scheduler with a cups-pdf queue: destinations,
// capabilities from the PPD, the job name in CUPS, and where drawing lands on the paper.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/cairo/PdfProbe.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/SystemPrinter.h"
#include "support/CupsScheduler.h"

namespace tavo {
namespace {

using test::CupsScheduler;
using test::IsDark;

constexpr const char* kQueue = "tavo-pdf";

// The titles of the completed jobs of a queue, as CUPS holds them (UTF-8).
std::vector<std::string> CompletedJobTitles(const char* queue) {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_COMPLETED);
  std::vector<std::string> titles;
  for (int i = 0; i < count; ++i) titles.push_back(jobs[i].title ? jobs[i].title : "");
  cupsFreeJobs(count, jobs);
  return titles;
}

std::vector<std::string> PdfFilesUnder(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.path().extension() == ".pdf") files.push_back(entry.path().string());
  return files;
}

// The job spool files in a temporary folder.
std::vector<std::string> JobFiles(const test::TempDir& dir) {
  std::vector<std::string> jobs;
  for (const std::string& name : dir.Files())
    if (name.starts_with("tavo-job-")) jobs.push_back(name);
  return jobs;
}

class CupsPrinter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!CupsScheduler::Installed()) return;
    scheduler_ = std::make_unique<CupsScheduler>();
    if (!scheduler_->Running()) return;
    if (scheduler_->AddPdfQueue(kQueue, queueError_)) {
      const auto made = scheduler_->Run(std::string("lpadmin -d ") + kQueue);
      if (made.status != 0) queueError_ = made.output;
    }
  }
  static void TearDownTestSuite() {
    scheduler_.reset();
    cupsSetServer(nullptr);
  }

  void SetUp() override {
    if (!CupsScheduler::Installed()) GTEST_SKIP() << "cupsd is not installed: no CUPS tests";
    ASSERT_TRUE(scheduler_->Running()) << scheduler_->Failure();
    ASSERT_TRUE(queueError_.empty()) << queueError_;
    cupsSetServer(scheduler_->SocketPath().c_str());
    printer_ = MakeSystemPrinter();
  }

  // Prints one page through the default queue and returns the PDF cups-pdf made of it.
  std::string PrintAndCollect(const std::function<void(Canvas&)>& draw) {
    for (const std::string& old : PdfFilesUnder(scheduler_->PdfOutputDir()))
      std::filesystem::remove(old);
    printer_->BeginDoc();
    draw(printer_->GetCanvas());
    printer_->EndDoc();
    EXPECT_TRUE(scheduler_->WaitForJobs(std::chrono::seconds(90))) << scheduler_->ErrorLog();
    const auto files = PdfFilesUnder(scheduler_->PdfOutputDir());
    EXPECT_EQ(files.size(), 1u) << scheduler_->ErrorLog();
    return files.empty() ? std::string() : files.front();
  }

  static inline std::unique_ptr<CupsScheduler> scheduler_;
  static inline std::string queueError_;
  std::unique_ptr<Printer> printer_;
};

TEST_F(CupsPrinter, ListsTheQueuesAndUsesTheDefaultOne) {
  EXPECT_EQ(printer_->PrinterNames(), std::vector<std::string>{kQueue});
  EXPECT_EQ(printer_->SelectedName(), kQueue);
  // The cups-pdf PPD: 300 dpi, its imageable area the whole paper.
  const DeviceCaps caps = printer_->Caps();
  EXPECT_EQ(caps.dpiX, 300);
  EXPECT_EQ(caps.dpiY, 300);
  EXPECT_EQ(caps.physicalOffsetX, 0);
  EXPECT_EQ(caps.physicalOffsetY, 0);
}

TEST_F(CupsPrinter, UnknownNameLeavesTheSelection) {
  ASSERT_TRUE(printer_->Select(kQueue));
  EXPECT_FALSE(printer_->Select("tavo-no-such-queue"));
  EXPECT_EQ(printer_->SelectedName(), kQueue);
  ASSERT_TRUE(printer_->Select("pdf:/tmp/x.pdf"));
  EXPECT_FALSE(printer_->Select("tavo-no-such-queue"));
  EXPECT_EQ(printer_->SelectedName(), "pdf:/tmp/x.pdf");
}

struct TitleCase {
  const char* codeSet;  // the ANSI code page the host runs in
  const char* title;    // UTF-8
};

class CupsJobTitle : public CupsPrinter, public ::testing::WithParamInterface<TitleCase> {};

// The job's name in CUPS is the title in UTF-8, whatever the host's code page; the line drawn at
// device coordinates lands at the same place on the paper (the queue's offsets are 0).
TEST_P(CupsJobTitle, JobNameIsTheTitleAndTheLineLandsInPlace) {
  const std::string title = GetParam().title;
  codepage::ScopedCodeSet codeSet(GetParam().codeSet);
  printer_->SetTitle(codepage::Utf8ToAnsi(title));
  const std::string pdf = PrintAndCollect([](Canvas& canvas) {
    canvas.SetPenWidth(3);
    canvas.MoveTo(300, 600);  // one inch in, two inches down
    canvas.LineTo(900, 600);
  });
  const auto titles = CompletedJobTitles(kQueue);
  EXPECT_NE(std::find(titles.begin(), titles.end(), title), titles.end())
      << "completed jobs: " << ::testing::PrintToString(titles);
  ASSERT_FALSE(pdf.empty());
  const test::Image region = test::RenderRegion(pdf, 300, 280, 590, 640, 20);
  ASSERT_EQ(region.Width(), 640);
  ASSERT_EQ(region.Height(), 20);
  EXPECT_TRUE(IsDark(region.Pixel(320, 10)));   // 600, 600
  EXPECT_TRUE(IsDark(region.Pixel(23, 10)));    // 303
  EXPECT_TRUE(IsDark(region.Pixel(616, 10)));   // 896
  EXPECT_FALSE(IsDark(region.Pixel(15, 10)));   // 295
  EXPECT_FALSE(IsDark(region.Pixel(625, 10)));  // 905
  EXPECT_FALSE(IsDark(region.Pixel(320, 4)));
  EXPECT_FALSE(IsDark(region.Pixel(320, 16)));
}

INSTANTIATE_TEST_SUITE_P(Titles, CupsJobTitle,
                         ::testing::Values(TitleCase{"UTF-8", "票据打印，发票号码: 12345678"},
                                           TitleCase{"GBK", "票据打印，发票号码: 87654321"}));

// A landscape page is turned a quarter counter-clockwise onto the upright paper: its top edge
// lies along the paper's left edge, its left edge along the paper's bottom.
TEST_F(CupsPrinter, LandscapePageIsTurnedOntoThePaper) {
  printer_->SetOrientation(Orientation::Landscape);
  EXPECT_EQ(printer_->Caps().physicalOffsetX, 0);
  const std::string pdf = PrintAndCollect([](Canvas& canvas) {
    canvas.SetPenWidth(3);
    canvas.MoveTo(300, 600);
    canvas.LineTo(900, 600);
  });
  ASSERT_FALSE(pdf.empty());
  // The page at 30 dpi, where the 3-pixel line is a tenth as wide and renders grey.
  const test::Image page = test::RenderRegion(pdf, 30, 0, 0, 400, 400);
  ASSERT_LT(page.Width(), page.Height());
  int left = page.Width(), right = -1, top = page.Height(), bottom = -1;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x)
      if (test::IsInked(page.Pixel(x, y))) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  EXPECT_NEAR(left, 60, 1);
  EXPECT_NEAR(right, 60, 1);
  EXPECT_NEAR(page.Height() - bottom, 30, 2);
  EXPECT_NEAR(page.Height() - top, 90, 2);
}

// A scheduler that goes away while a page is drawn makes EndDoc fail, not hang, and the job's
// spool file is gone either way.
TEST_F(CupsPrinter, SchedulerGoneMidJobIsAFailure) {
  test::TempDir spool;
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string previousTmp = oldTmp ? oldTmp : "";
  setenv("TMPDIR", spool.Path().c_str(), 1);
  {
    auto doomed = std::make_unique<CupsScheduler>();
    ASSERT_TRUE(doomed->Running()) << doomed->Failure();
    std::string error;
    ASSERT_TRUE(doomed->AddPdfQueue("doomed", error)) << error;
    cupsSetServer(doomed->SocketPath().c_str());
    ASSERT_TRUE(printer_->Select("doomed"));
    printer_->BeginDoc();
    printer_->GetCanvas().LineTo(100, 100);
    doomed.reset();
    EXPECT_THROW(printer_->EndDoc(), Error);
  }
  EXPECT_FALSE(printer_->Printing());
  EXPECT_TRUE(JobFiles(spool).empty());
  if (oldTmp)
    setenv("TMPDIR", previousTmp.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

}  // namespace
}  // namespace tavo
