// The sheet a job of a printer lands on: its paper as the page lies, the printable area where
// the device origin sits, and the resolution. One definition for the print jobs and for the
// picture of a page as a printer would receive it.
#pragma once

#include <string>

#include "platform/cairo/PdfPage.h"
#include "platform/printer/Printer.h"
#include "platform/printer/system/CupsSession.h"

namespace tavo {

// The virtual PDF printer's sheet: A4 (turned for landscape) at 600 dpi, printable to its edges.
PdfGeometry PdfPrinterSheet(Orientation orientation);

// A CUPS paper's sheet: landscape turns the page a quarter counter-clockwise, so its left margin
// is the paper's bottom one (see CapsOf).
PdfGeometry CupsPaperSheet(const CupsPaper& paper, Orientation orientation);

// The paper of the printer named as hosts select it: "pdf:" with any path (or none) is the PDF
// printer (A4, 600 dpi, no margins), any other name a CUPS destination. Asks the scheduler and
// nothing else: no selection or job changes. Fails with tavo::Error "The printer NAME is not
// available" for an unknown name.
CupsPaper PaperOfPrinter(const std::string& ansiName);

}  // namespace tavo
