// One open print job of the current printer: a page that a canvas draws on, which lands as a
// PDF file or a CUPS job when the job finishes. A job destroyed unfinished (aborted, or failed)
// leaves nothing behind.
#pragma once

#include <memory>
#include <string>

#include "platform/printer/Printer.h"
#include "platform/printer/system/CupsSession.h"

namespace tavo {

class PrintJob {
 public:
  virtual ~PrintJob() = default;
  virtual Canvas& GetCanvas() = 0;
  virtual DeviceCaps Caps() const = 0;
  // EndPage and EndDoc: the page is completed and delivered. Returns the spooler's job id, or 0
  // when the job went to no spooler. Fails with tavo::Error.
  virtual int Finish() = 0;
};

// A job of the virtual PDF printer: one A4 page at 600 dpi written to `ansiPath`, which is
// replaced only when the job finishes. Fails at once when the file cannot be created.
std::unique_ptr<PrintJob> StartPdfFileJob(const std::string& ansiPath, const std::string& ansiTitle,
                                          Orientation orientation);

// A job for a CUPS destination: the page is kept in a temporary PDF in the printer's paper,
// resolution and printable area, and submitted to CUPS when the job finishes.
std::unique_ptr<PrintJob> StartCupsJob(const std::string& utf8Destination, const CupsPaper& paper,
                                       const std::string& ansiTitle, Orientation orientation);

}  // namespace tavo
