#include <filesystem>

#include "platform/cairo/PdfPage.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/JobFile.h"
#include "platform/printer/system/PrintJob.h"

namespace tavo {
namespace {

// The paper as the page lies on it, with the device origin at the printable area's top-left.
// Landscape turns the page a quarter counter-clockwise, so its left margin is the paper's
// bottom one (see CapsOf).
PdfGeometry GeometryOf(const CupsPaper& paper, Orientation orientation) {
  PdfGeometry geometry;
  geometry.caps = CapsOf(paper, orientation);
  if (orientation == Orientation::Landscape) {
    geometry.widthMm = paper.lengthMm;
    geometry.heightMm = paper.widthMm;
    geometry.originXMm = paper.bottomMm;
    geometry.originYMm = paper.leftMm;
  } else {
    geometry.widthMm = paper.widthMm;
    geometry.heightMm = paper.lengthMm;
    geometry.originXMm = paper.leftMm;
    geometry.originYMm = paper.topMm;
  }
  return geometry;
}

std::string SpoolPattern() {
  std::error_code error;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(error);
  return ((error ? std::filesystem::path("/tmp") : dir) / "tavo-job-XXXXXX").string();
}

// The page is rendered to a PDF of our own and handed to CUPS with libcups, so the job name,
// the options and every failure are in our hands. The spool file goes with the job.
class CupsJob final : public PrintJob {
 public:
  CupsJob(const std::string& utf8Destination, const CupsPaper& paper, const std::string& ansiTitle,
          Orientation orientation)
      : destination_(utf8Destination),
        title_(codepage::AnsiToUtf8(ansiTitle)),
        orientation_(orientation),
        file_(SpoolPattern(), ".pdf", "Cannot create the spool file of the print job"),
        page_(file_.Path(), GeometryOf(paper, orientation), ansiTitle) {}

  Canvas& GetCanvas() override { return page_.GetCanvas(); }
  DeviceCaps Caps() const override { return page_.Caps(); }

  int Finish() override {
    try {
      page_.Finish();
    } catch (const Error& e) {
      throw Error(std::string("Cannot write the spool file of the print job: ") + e.what());
    }
    const CupsSession session;
    return session.Submit(destination_, file_.Path(), title_, orientation_);
  }

 private:
  std::string destination_;
  std::string title_;  // UTF-8, CUPS's job name
  Orientation orientation_;
  JobFile file_;
  PdfPage page_;
};

}  // namespace

std::unique_ptr<PrintJob> StartCupsJob(const std::string& utf8Destination, const CupsPaper& paper,
                                       const std::string& ansiTitle, Orientation orientation) {
  return std::make_unique<CupsJob>(utf8Destination, paper, ansiTitle, orientation);
}

}  // namespace tavo
