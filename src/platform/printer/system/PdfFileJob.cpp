#include "platform/cairo/PdfPage.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/JobFile.h"
#include "platform/printer/system/PrintJob.h"
#include "platform/printer/system/PrinterSheet.h"

namespace tavo {
namespace {

// The file is written beside the target under a temporary name and renamed over it only when
// the job finishes, so an aborted or failed job leaves no half file (a killed process leaves
// TARGET.partial-XXXXXX, which says what it is).
class PdfFileJob final : public PrintJob {
 public:
  PdfFileJob(const std::string& ansiPath, const std::string& ansiTitle, const JobSheet& sheet)
      : failure_("Cannot write the PDF file \"" + ansiPath + "\""),
        target_(codepage::AnsiToUtf8(ansiPath)),
        file_(target_ + kPdfPartialInfix + "XXXXXX", "", failure_),
        page_(file_.Path(), sheet.geometry, ansiTitle) {}

  Canvas& GetCanvas() override { return page_.GetCanvas(); }
  DeviceCaps Caps() const override { return page_.Caps(); }
  void NewPage() override { page_.NewPage(); }

  int Finish() override {
    try {
      page_.Finish();
    } catch (const Error& e) {
      throw Error(failure_ + ": " + e.what());
    }
    file_.Replace(target_, failure_);
    return 0;
  }

 private:
  std::string failure_;
  std::string target_;  // file-system path
  JobFile file_;
  PdfPage page_;
};

}  // namespace

std::unique_ptr<PrintJob> StartPdfFileJob(const std::string& ansiPath, const std::string& ansiTitle,
                                          const JobSheet& sheet) {
  return std::make_unique<PdfFileJob>(ansiPath, ansiTitle, sheet);
}

}  // namespace tavo
