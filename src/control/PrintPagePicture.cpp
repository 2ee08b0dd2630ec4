#include "control/PrintPagePicture.h"

#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/PrinterSheet.h"
#include "preview/PreviewPage.h"
#include "printing/unitCommonPrinting.h"

namespace tavo {

std::string PrintPagePngBytes(std::u16string_view xmlData, std::u16string_view xmlRule,
                              const std::string& ansiPrinter, int32_t width) {
  if (width < kMinPrintPageWidth || width > kMaxPrintPageWidth)
    throw Error("The picture's width must be " + std::to_string(kMinPrintPageWidth) + " to " +
                std::to_string(kMaxPrintPageWidth) + " pixels, not " + std::to_string(width));
  // The rule is read against the printer's resolution, which depends neither on the orientation
  // nor on the page; the orientation and page the rule asks for then give the sheet and its
  // offsets, as the print path sets them before the job begins.
  const CupsPaper paper = PaperOfPrinter(ansiPrinter);
  RasterCanvas reading(1, 1, paper.dpi);
  TTavoXmlDataPrinter printer(codepage::WideToAnsi(xmlRule), &reading.GetCanvas());
  const Orientation orientation =
      printer.Settings().landscape ? Orientation::Landscape : Orientation::Portrait;
  const PageRequest page = RequestedPage(printer.Settings());
  RasterCanvas picture(SheetOfPrinter(ansiPrinter, paper, page, orientation).geometry, width);
  printer.Print(codepage::WideToAnsi(xmlData), &picture.GetCanvas());
  return WithPageCount(picture.PngBytes(), printer.pageCount);
}

}  // namespace tavo
