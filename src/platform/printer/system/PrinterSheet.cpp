#include "platform/printer/system/PrinterSheet.h"

#include "platform/codepage/CodePage.h"
#include "platform/printer/system/SystemPrinter.h"

namespace tavo {
namespace {

constexpr int32_t kPdfDpi = 600;

CupsPaper PdfPrinterPaper() {
  CupsPaper a4;  // 210 x 297 mm without margins
  a4.dpi = kPdfDpi;
  return a4;
}

}  // namespace

PdfGeometry PdfPrinterSheet(Orientation orientation) {
  return CupsPaperSheet(PdfPrinterPaper(), orientation);
}

PdfGeometry CupsPaperSheet(const CupsPaper& paper, Orientation orientation) {
  PdfGeometry sheet;
  sheet.caps = CapsOf(paper, orientation);
  if (orientation == Orientation::Landscape) {
    sheet.widthMm = paper.lengthMm;
    sheet.heightMm = paper.widthMm;
    sheet.originXMm = paper.bottomMm;
    sheet.originYMm = paper.leftMm;
    sheet.printableWidthMm = paper.lengthMm - paper.bottomMm - paper.topMm;
    sheet.printableHeightMm = paper.widthMm - paper.leftMm - paper.rightMm;
  } else {
    sheet.widthMm = paper.widthMm;
    sheet.heightMm = paper.lengthMm;
    sheet.originXMm = paper.leftMm;
    sheet.originYMm = paper.topMm;
    sheet.printableWidthMm = paper.widthMm - paper.leftMm - paper.rightMm;
    sheet.printableHeightMm = paper.lengthMm - paper.topMm - paper.bottomMm;
  }
  return sheet;
}

CupsPaper PaperOfPrinter(const std::string& ansiName) {
  if (ansiName.starts_with(kPdfPrinterPrefix)) return PdfPrinterPaper();
  return CupsSession().Paper(codepage::AnsiToUtf8(ansiName));
}

}  // namespace tavo
