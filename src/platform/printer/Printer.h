// The current printer: one process-wide object holding the selected printer, the job title,
// the orientation and at most one open print job with its canvas.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/canvas/Canvas.h"

namespace tavo {

// The printer layer's messages, exactly as hosts see them.
inline constexpr const char* kPrintingInProgress = "Printing in progress";
inline constexpr const char* kNotPrinting = "Printer is not currently printing";
inline constexpr const char* kNoDefaultPrinter = "There is no default printer currently selected";
inline constexpr const char* kNotSupported = "Operation not supported on selected printer";

enum class Orientation { Portrait, Landscape };

// The page a rule asks for, as written: widthMm wide and heightMm tall (0 when the rule does not
// give both), and whether its job asks the printer for paper of that size.
struct PageRequest {
  double widthMm = 0;
  double heightMm = 0;
  bool asPaper = false;
  bool Given() const { return widthMm > 0 && heightMm > 0; }
};

class Printer {
 public:
  virtual ~Printer() = default;

  // Printers a host can select, by name, and the selection. Select returns false for a name
  // it does not know and then changes nothing.
  virtual std::vector<std::string> PrinterNames() = 0;
  virtual bool Select(const std::string& name) = 0;
  // The selected printer's name, or the default destination; empty when there is none.
  virtual std::string SelectedName() = 0;

  // The document name of the next job (ANSI text).
  virtual void SetTitle(const std::string& ansiTitle) = 0;
  virtual std::string Title() const = 0;

  // Fails with kPrintingInProgress while a job is open, kNotSupported without device settings.
  virtual void SetOrientation(Orientation orientation) = 0;
  virtual Orientation GetOrientation() const = 0;
  // The page of the next jobs: the PDF printer's sheet is that page when it is given, and a
  // CUPS job asks for it as paper when it is asked for. Kept like the orientation; a job
  // already open keeps the page it began with.
  virtual void SetPage(const PageRequest&) {}

  // StartDoc and StartPage; kPrintingInProgress when a job is open, kNoDefaultPrinter when no
  // printer exists. The job's canvas starts with a fresh state.
  virtual void BeginDoc() = 0;
  // EndPage and StartPage: the open job goes on on a new page, whose canvas starts with a fresh
  // state as the first page's does; kNotPrinting without a job.
  virtual void NewPage() = 0;
  // EndPage and, unless the job was aborted, EndDoc; kNotPrinting without a job.
  virtual void EndDoc() = 0;
  // AbortDoc and the job ends; kNotPrinting without a job.
  virtual void Abort() = 0;
  virtual bool Printing() const = 0;
  // The spooler's id of the job the last EndDoc delivered; 0 when it made none (a printer
  // without a spooler, the PDF printer, or an EndDoc that failed).
  virtual int LastJobId() const { return 0; }

  // The job's canvas; only while printing.
  virtual Canvas& GetCanvas() = 0;
  // Resolution and physical offsets of the selected printer, in or outside a job;
  // kNoDefaultPrinter when no printer exists.
  virtual DeviceCaps Caps() = 0;
};

// The process-wide current printer. Until a real one is installed it is a printer layer with
// no printers at all.
Printer& CurrentPrinter();
// Installs the current printer and returns the previous one.
std::unique_ptr<Printer> ReplaceCurrentPrinter(std::unique_ptr<Printer> printer);

}  // namespace tavo
