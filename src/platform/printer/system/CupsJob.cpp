#include <filesystem>

#include "platform/cairo/PdfPage.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/JobFile.h"
#include "platform/printer/system/PrintJob.h"
#include "platform/printer/system/PrinterSheet.h"

namespace tavo {
namespace {

std::string SpoolPattern() {
  std::error_code error;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(error);
  return ((error ? std::filesystem::path("/tmp") : dir) / "tavo-job-XXXXXX").string();
}

// The page is rendered to a PDF of our own and handed to CUPS with libcups, so the job name,
// the options and every failure are in our hands. The spool file goes with the job.
class CupsJob final : public PrintJob {
 public:
  CupsJob(const std::string& utf8Destination, const JobSheet& sheet, const std::string& ansiTitle)
      : destination_(utf8Destination),
        title_(codepage::AnsiToUtf8(ansiTitle)),
        orientation_(sheet.orientation),
        media_(sheet.media),
        file_(SpoolPattern(), ".pdf", "Cannot create the spool file of the print job"),
        page_(file_.Path(), sheet.geometry, ansiTitle) {}

  Canvas& GetCanvas() override { return page_.GetCanvas(); }
  DeviceCaps Caps() const override { return page_.Caps(); }
  void NewPage() override { page_.NewPage(); }

  int Finish() override {
    try {
      page_.Finish();
    } catch (const Error& e) {
      throw Error(std::string("Cannot write the spool file of the print job: ") + e.what());
    }
    const CupsSession session;
    return session.Submit(destination_, file_.Path(), title_, orientation_, media_);
  }

 private:
  std::string destination_;
  std::string title_;  // UTF-8, CUPS's job name
  Orientation orientation_;
  std::string media_;  // CUPS media asked for, "" for the queue's paper
  JobFile file_;
  PdfPage page_;
};

}  // namespace

std::unique_ptr<PrintJob> StartCupsJob(const std::string& utf8Destination, const JobSheet& sheet,
                                       const std::string& ansiTitle) {
  return std::make_unique<CupsJob>(utf8Destination, sheet, ansiTitle);
}

}  // namespace tavo
