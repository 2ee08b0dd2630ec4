// The sheet a job of a printer lands on: its paper as the page lies, the printable area where
// the device origin sits, and the resolution. One definition for the print jobs, for the
// picture of a page as a printer would receive it and for the rule checker's sheet.
#pragma once

#include <string>

#include "platform/cairo/PdfPage.h"
#include "platform/printer/Printer.h"
#include "platform/printer/system/CupsSession.h"

namespace tavo {

// What a job lands on for the page a rule asks for: the page's geometry, the orientation the
// spooler is told, and the media a CUPS job asks for ("" keeps the queue's paper).
struct JobSheet {
  PdfGeometry geometry;
  Orientation orientation = Orientation::Portrait;
  std::string media;
};

// The virtual PDF printer's sheet: the page as written when the rule gives its size, else A4
// turned for landscape; 600 dpi, printable to its edges.
JobSheet PdfPrinterSheet(const PageRequest& page, Orientation orientation);

// A CUPS queue's sheet: its paper turned for landscape; or, when the page asks to be the paper,
// custom media of the page's size with the queue's margins, printed as it lies.
JobSheet CupsJobSheet(const CupsPaper& paper, const PageRequest& page, Orientation orientation);

// A CUPS paper's sheet: landscape turns the page a quarter counter-clockwise, so its left margin
// is the paper's bottom one (see CapsOf).
PdfGeometry CupsPaperSheet(const CupsPaper& paper, Orientation orientation);

// CUPS's name of custom media of a size: "Custom.230x127mm".
std::string CustomMediaName(double widthMm, double heightMm);

// The paper of the printer named as hosts select it: "pdf:" with any path (or none) is the PDF
// printer (A4, 600 dpi, no margins), any other name a CUPS destination. Asks the scheduler and
// nothing else: no selection or job changes. Fails with tavo::Error "The printer NAME is not
// available" for an unknown name.
CupsPaper PaperOfPrinter(const std::string& ansiName);

// The sheet of the printer named as hosts select it, whose paper PaperOfPrinter gave, for a
// page and an orientation.
JobSheet SheetOfPrinter(const std::string& ansiName, const CupsPaper& paper,
                        const PageRequest& page, Orientation orientation);

}  // namespace tavo
