#include "platform/printer/system/SystemPrinter.h"

#include <optional>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/CupsSession.h"
#include "platform/printer/system/PrintJob.h"
#include "platform/printer/system/PrinterSheet.h"

namespace tavo {
namespace {

// A printer a job can go to: a CUPS destination by its UTF-8 name, or a PDF file by its path.
struct Target {
  bool pdf = false;
  std::string name;  // ANSI: the PDF path, or the CUPS name as the host sees it
};

class SystemPrinter final : public Printer {
 public:
  std::vector<std::string> PrinterNames() override {
    std::vector<std::string> names;
    for (const std::string& name : CupsSession().Names())
      names.push_back(codepage::Utf8ToAnsi(name));
    return names;
  }

  // An unknown name, or a PDF path that is not absolute, leaves the selection as it was.
  bool Select(const std::string& name) override {
    if (job_) throw Error(kPrintingInProgress);
    const std::string_view prefix = kPdfPrinterPrefix;
    if (name.starts_with(prefix)) {
      const std::string path = name.substr(prefix.size());
      if (!path.starts_with('/')) return false;
      selected_ = Target{true, path};
    } else {
      if (!CupsSession().Has(codepage::AnsiToUtf8(name))) return false;
      selected_ = Target{false, name};
    }
    paper_.reset();
    return true;
  }

  std::string SelectedName() override {
    const std::optional<Target> target = Resolve();
    if (!target) return {};
    return target->pdf ? kPdfPrinterPrefix + target->name : target->name;
  }

  void SetTitle(const std::string& ansiTitle) override { title_ = ansiTitle; }
  std::string Title() const override { return title_; }

  // Every printer here takes an orientation; only an open job refuses a change.
  void SetOrientation(Orientation orientation) override {
    if (job_) throw Error(kPrintingInProgress);
    orientation_ = orientation;
  }
  Orientation GetOrientation() const override { return orientation_; }

  void SetPage(const PageRequest& page) override {
    if (job_) throw Error(kPrintingInProgress);
    page_ = page;
  }

  void BeginDoc() override {
    if (job_) throw Error(kPrintingInProgress);
    const Target target = RequireTarget();
    if (target.pdf)
      job_ = StartPdfFileJob(target.name, title_, PdfPrinterSheet(page_, orientation_));
    else
      job_ = StartCupsJob(codepage::AnsiToUtf8(target.name), Sheet(target), title_);
  }

  void NewPage() override {
    if (!job_) throw Error(kNotPrinting);
    job_->NewPage();
  }

  // The job is over whether or not it could be delivered.
  void EndDoc() override {
    if (!job_) throw Error(kNotPrinting);
    const std::unique_ptr<PrintJob> job = std::move(job_);
    paper_.reset();
    lastJob_ = 0;
    lastJob_ = job->Finish();
  }

  void Abort() override {
    if (!job_) throw Error(kNotPrinting);
    job_.reset();
    paper_.reset();
  }

  bool Printing() const override { return job_ != nullptr; }
  int LastJobId() const override { return lastJob_; }

  Canvas& GetCanvas() override {
    if (!job_) throw Error(kNotPrinting);
    return job_->GetCanvas();
  }

  DeviceCaps Caps() override {
    if (job_) return job_->Caps();
    const Target target = RequireTarget();
    if (target.pdf) return PdfPrinterSheet(page_, orientation_).geometry.caps;
    return Sheet(target).geometry.caps;
  }

 private:
  std::optional<Target> Resolve() const {
    if (selected_) return selected_;
    const std::string name = CupsSession().DefaultName();
    if (name.empty()) return std::nullopt;
    return Target{false, codepage::Utf8ToAnsi(name)};
  }

  Target RequireTarget() const {
    std::optional<Target> target = Resolve();
    if (!target) throw Error(kNoDefaultPrinter);
    return *target;
  }

  // The printer's paper is asked once and kept until the selection or a job changes; the engine
  // asks for the device's capabilities for every coordinate it converts.
  const CupsPaper& Paper(const Target& target) {
    if (!paper_ || paperOf_ != target.name) {
      paper_ = CupsSession().Paper(codepage::AnsiToUtf8(target.name));
      paperOf_ = target.name;
    }
    return *paper_;
  }

  JobSheet Sheet(const Target& target) { return CupsJobSheet(Paper(target), page_, orientation_); }

  std::optional<Target> selected_;
  std::string title_;
  Orientation orientation_ = Orientation::Portrait;
  PageRequest page_;
  std::unique_ptr<PrintJob> job_;
  int lastJob_ = 0;
  std::optional<CupsPaper> paper_;
  std::string paperOf_;
};

}  // namespace

std::unique_ptr<Printer> MakeSystemPrinter() { return std::make_unique<SystemPrinter>(); }

void InstallSystemPrinter() { ReplaceCurrentPrinter(MakeSystemPrinter()); }

}  // namespace tavo
