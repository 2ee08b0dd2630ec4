#include "support/TestPrinter.h"

#include "platform/core/Error.h"

namespace tavo::test {

TestPrinter::TestPrinter(TestPrinterOptions options)
    : options_(options), surface_(options.device) {}

std::vector<std::string> TestPrinter::PrinterNames() {
  if (options_.noPrinter) return {};
  return {"test"};
}

bool TestPrinter::Select(const std::string& name) { return !options_.noPrinter && name == "test"; }

std::string TestPrinter::SelectedName() { return options_.noPrinter ? "" : "test"; }

void TestPrinter::SetOrientation(Orientation orientation) {
  if (printing_) throw Error(kPrintingInProgress);
  orientation_ = orientation;
}

void TestPrinter::BeginDoc() {
  if (printing_) throw Error(kPrintingInProgress);
  if (options_.noPrinter) throw Error(kNoDefaultPrinter);
  surface_.canvas().ResetState();
  surface_.ops().clear();
  PrintJob job;
  job.title = title_;
  job.orientation = orientation_;
  jobs_.push_back(std::move(job));
  printing_ = true;
}

void TestPrinter::NewPage() {
  if (!printing_) throw Error(kNotPrinting);
  surface_.canvas().ResetState();
  jobs_.back().pageStarts.push_back(surface_.ops().size());
}

void TestPrinter::EndDoc() {
  if (!printing_) throw Error(kNotPrinting);
  FinishJob(false);
}

void TestPrinter::Abort() {
  if (!printing_) throw Error(kNotPrinting);
  FinishJob(true);
}

void TestPrinter::FinishJob(bool aborted) {
  PrintJob& job = jobs_.back();
  job.ended = !aborted;
  job.aborted = aborted;
  job.ops = std::move(surface_.ops());
  surface_.ops().clear();
  printing_ = false;
}

Canvas& TestPrinter::GetCanvas() {
  if (!printing_) throw Error(kNotPrinting);
  return surface_.canvas();
}

DeviceCaps TestPrinter::Caps() {
  if (options_.noPrinter) throw Error(kNoDefaultPrinter);
  return options_.device.caps;
}

ScopedCurrentPrinter::ScopedCurrentPrinter(std::unique_ptr<Printer> printer)
    : previous_(ReplaceCurrentPrinter(std::move(printer))) {}

ScopedCurrentPrinter::~ScopedCurrentPrinter() { ReplaceCurrentPrinter(std::move(previous_)); }

}  // namespace tavo::test
