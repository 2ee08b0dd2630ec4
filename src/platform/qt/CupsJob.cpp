#include <QDir>
#include <QPageSize>
#include <QTemporaryFile>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/qt/PdfPage.h"
#include "platform/qt/PrintJob.h"
#include "platform/qt/QtApplication.h"

namespace tavo {
namespace {

QPageLayout LayoutOf(const CupsPaper& paper, Orientation orientation) {
  const QPageSize size(QSizeF(paper.widthMm, paper.lengthMm), QPageSize::Millimeter, QString(),
                       QPageSize::ExactMatch);
  // Margins follow the page as it is turned (see CapsOf).
  if (orientation == Orientation::Landscape)
    return QPageLayout(size, QPageLayout::Landscape,
                       QMarginsF(paper.bottomMm, paper.leftMm, paper.topMm, paper.rightMm),
                       QPageLayout::Millimeter, QMarginsF());
  return QPageLayout(size, QPageLayout::Portrait,
                     QMarginsF(paper.leftMm, paper.topMm, paper.rightMm, paper.bottomMm),
                     QPageLayout::Millimeter, QMarginsF());
}

// The page is rendered to a PDF of our own and handed to CUPS with libcups, so the job name,
// the options and every failure are in our hands. The temporary file goes with the job.
class CupsJob final : public PrintJob {
 public:
  CupsJob(const std::string& utf8Destination, const CupsPaper& paper, const std::string& ansiTitle,
          Orientation orientation)
      : destination_(utf8Destination),
        title_(codepage::AnsiToUtf8(ansiTitle)),
        orientation_(orientation),
        file_(QDir::tempPath() + QStringLiteral("/tavo-job-XXXXXX.pdf")) {
    if (!file_.open())
      throw Error("Cannot create the spool file of the print job: " +
                  codepage::Utf8ToAnsi(file_.errorString().toStdString()));
    page_ = std::make_unique<PdfPage>(file_, LayoutOf(paper, orientation), paper.dpi,
                                      CapsOf(paper, orientation), ansiTitle);
  }

  Canvas& GetCanvas() override { return page_->GetCanvas(); }
  DeviceCaps Caps() const override { return page_->Caps(); }

  int Finish() override {
    page_->Finish();
    if (!file_.flush())
      throw Error("Cannot write the spool file of the print job: " +
                  codepage::Utf8ToAnsi(file_.errorString().toStdString()));
    const CupsSession session;
    return session.Submit(destination_, file_.fileName().toStdString(), title_, orientation_);
  }

 private:
  std::string destination_;
  std::string title_;  // UTF-8, CUPS's job name
  Orientation orientation_;
  QTemporaryFile file_;
  std::unique_ptr<PdfPage> page_;
};

}  // namespace

std::unique_ptr<PrintJob> StartCupsJob(const std::string& utf8Destination, const CupsPaper& paper,
                                       const std::string& ansiTitle, Orientation orientation) {
  EnsureQtApplication();
  return std::make_unique<CupsJob>(utf8Destination, paper, ansiTitle, orientation);
}

}  // namespace tavo
