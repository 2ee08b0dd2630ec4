#include "platform/printer/system/PrinterSheet.h"

#include <cmath>
#include <cstdio>

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

// A length as CUPS media names write it: at most two decimals, none when whole.
std::string MediaLength(double mm) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", std::round(mm * 100) / 100);
  std::string length = text;
  while (length.back() == '0') length.pop_back();
  if (length.back() == '.') length.pop_back();
  return length;
}

}  // namespace

JobSheet PdfPrinterSheet(const PageRequest& page, Orientation orientation) {
  if (!page.Given())
    return JobSheet{CupsPaperSheet(PdfPrinterPaper(), orientation), orientation, ""};
  CupsPaper paper = PdfPrinterPaper();
  paper.widthMm = page.widthMm;
  paper.lengthMm = page.heightMm;
  return JobSheet{CupsPaperSheet(paper, Orientation::Portrait), Orientation::Portrait, ""};
}

JobSheet CupsJobSheet(const CupsPaper& paper, const PageRequest& page, Orientation orientation) {
  if (!page.asPaper || !page.Given())
    return JobSheet{CupsPaperSheet(paper, orientation), orientation, ""};
  // The paper has the page's shape: nothing needs turning.
  CupsPaper custom = paper;
  custom.widthMm = page.widthMm;
  custom.lengthMm = page.heightMm;
  return JobSheet{CupsPaperSheet(custom, Orientation::Portrait), Orientation::Portrait,
                  CustomMediaName(page.widthMm, page.heightMm)};
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

std::string CustomMediaName(double widthMm, double heightMm) {
  return "Custom." + MediaLength(widthMm) + "x" + MediaLength(heightMm) + "mm";
}

CupsPaper PaperOfPrinter(const std::string& ansiName) {
  if (ansiName.starts_with(kPdfPrinterPrefix)) return PdfPrinterPaper();
  return CupsSession().Paper(codepage::AnsiToUtf8(ansiName));
}

JobSheet SheetOfPrinter(const std::string& ansiName, const CupsPaper& paper,
                        const PageRequest& page, Orientation orientation) {
  if (ansiName.starts_with(kPdfPrinterPrefix)) return PdfPrinterSheet(page, orientation);
  return CupsJobSheet(paper, page, orientation);
}

}  // namespace tavo
