#include "control/PrintPagePicture.h"

#include "platform/cairo/RasterCanvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/system/PrinterSheet.h"
#include "printing/unitCommonPrinting.h"

namespace tavo {

std::string PrintPagePngBytes(std::u16string_view xmlData, std::u16string_view xmlRule,
                              const std::string& ansiPrinter, int32_t width) {
  if (width < kMinPrintPageWidth || width > kMaxPrintPageWidth)
    throw Error("The picture's width must be " + std::to_string(kMinPrintPageWidth) + " to " +
                std::to_string(kMaxPrintPageWidth) + " pixels, not " + std::to_string(width));
  // The rule is read against the printer's resolution, which does not depend on the
  // orientation; the orientation the rule asks for then gives the sheet and its offsets, as
  // the print path sets it before the job begins.
  const CupsPaper paper = PaperOfPrinter(ansiPrinter);
  RasterCanvas reading(1, 1, paper.dpi);
  TTavoXmlDataPrinter printer(codepage::WideToAnsi(xmlRule), &reading.GetCanvas());
  const Orientation orientation =
      printer.Settings().landscape ? Orientation::Landscape : Orientation::Portrait;
  RasterCanvas picture(CupsPaperSheet(paper, orientation), width);
  printer.Print(codepage::WideToAnsi(xmlData), &picture.GetCanvas());
  return picture.PngBytes();
}

}  // namespace tavo
