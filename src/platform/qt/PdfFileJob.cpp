#include <QPageSize>
#include <QSaveFile>
#include <QString>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/qt/PdfPage.h"
#include "platform/qt/PrintJob.h"
#include "platform/qt/QtApplication.h"

namespace tavo {
namespace {

constexpr int32_t kPdfDpi = 600;

std::string CannotWrite(const std::string& ansiPath, const QString& reason) {
  return "Cannot write the PDF file \"" + ansiPath +
         "\": " + codepage::Utf8ToAnsi(reason.toStdString());
}

// The file is written beside the target under a temporary name and renamed over it only when
// the job finishes, so an aborted or failed job leaves no half file.
class PdfFileJob final : public PrintJob {
 public:
  PdfFileJob(const std::string& ansiPath, const std::string& ansiTitle, Orientation orientation)
      : path_(ansiPath), file_(QString::fromStdString(codepage::AnsiToUtf8(ansiPath))) {
    if (!file_.open(QIODevice::WriteOnly)) throw Error(CannotWrite(path_, file_.errorString()));
    const QPageLayout layout(
        QPageSize(QPageSize::A4),
        orientation == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0));
    page_ = std::make_unique<PdfPage>(file_, layout, kPdfDpi, DeviceCaps{kPdfDpi, kPdfDpi, 0, 0},
                                      ansiTitle);
  }

  Canvas& GetCanvas() override { return page_->GetCanvas(); }
  DeviceCaps Caps() const override { return page_->Caps(); }

  int Finish() override {
    page_->Finish();
    if (!file_.commit()) throw Error(CannotWrite(path_, file_.errorString()));
    return 0;
  }

 private:
  std::string path_;
  QSaveFile file_;
  std::unique_ptr<PdfPage> page_;
};

}  // namespace

std::unique_ptr<PrintJob> StartPdfFileJob(const std::string& ansiPath, const std::string& ansiTitle,
                                          Orientation orientation) {
  EnsureQtApplication();
  return std::make_unique<PdfFileJob>(ansiPath, ansiTitle, orientation);
}

}  // namespace tavo
