// One open print job of the current printer: pages that a canvas draws on, which land as a
// PDF file or a CUPS job when the job finishes. A job destroyed unfinished (aborted, or failed)
// leaves nothing behind.
#pragma once

#include <memory>
#include <string>

#include "platform/printer/Printer.h"
#include "platform/printer/system/CupsSession.h"
#include "platform/printer/system/PrinterSheet.h"

namespace tavo {

class PrintJob {
 public:
  virtual ~PrintJob() = default;
  virtual Canvas& GetCanvas() = 0;
  virtual DeviceCaps Caps() const = 0;
  // EndPage and StartPage: the next page of the same sheet, the canvas in a fresh state.
  virtual void NewPage() = 0;
  // EndPage and EndDoc: the page is completed and delivered. Returns the spooler's job id, or 0
  // when the job went to no spooler. Fails with tavo::Error.
  virtual int Finish() = 0;
};

// What follows the target's name in the name of a PDF file being written.
inline constexpr const char* kPdfPartialInfix = ".partial-";

// A job of the virtual PDF printer: pages of the sheet at 600 dpi written to `ansiPath`, which is
// replaced only when the job finishes. Fails at once when the file cannot be created.
std::unique_ptr<PrintJob> StartPdfFileJob(const std::string& ansiPath, const std::string& ansiTitle,
                                          const JobSheet& sheet);

// A job for a CUPS destination: the pages are kept in a temporary PDF of the sheet (the
// printer's paper, resolution and printable area), and submitted to CUPS when the job finishes,
// with the sheet's orientation and media.
std::unique_ptr<PrintJob> StartCupsJob(const std::string& utf8Destination, const JobSheet& sheet,
                                       const std::string& ansiTitle);

}  // namespace tavo
