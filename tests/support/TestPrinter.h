// The current printer of the tests: keeps the title and orientation with the printer layer's
// state rules and messages, draws each job on a recording canvas that starts fresh, and keeps a
// record of every job.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/printer/Printer.h"
#include "support/RecordingCanvas.h"

namespace tavo::test {

struct PrintJob {
  std::string title;  // ANSI, as the printer received it
  Orientation orientation = Orientation::Portrait;
  bool ended = false;
  bool aborted = false;
  std::vector<RecordedOp> ops;        // what the job drew, once it ended or was aborted
  std::vector<size_t> pageStarts{0};  // where each page's operations begin in `ops`
};

struct TestPrinterOptions {
  RecordingOptions device{
      .caps = {.dpiX = 600, .dpiY = 600, .physicalOffsetX = 50, .physicalOffsetY = 50}};
  bool noPrinter = false;  // a system without any printer
};

class TestPrinter : public Printer {
 public:
  explicit TestPrinter(TestPrinterOptions options = {});

  std::vector<std::string> PrinterNames() override;
  bool Select(const std::string& name) override;
  std::string SelectedName() override;
  void SetTitle(const std::string& ansiTitle) override { title_ = ansiTitle; }
  std::string Title() const override { return title_; }
  void SetOrientation(Orientation orientation) override;
  Orientation GetOrientation() const override { return orientation_; }
  void BeginDoc() override;
  void NewPage() override;
  void EndDoc() override;
  void Abort() override;
  bool Printing() const override { return printing_; }
  Canvas& GetCanvas() override;
  DeviceCaps Caps() override;

  const std::vector<PrintJob>& Jobs() const { return jobs_; }
  RecordingDevice& Device() { return surface_.device(); }

 private:
  void FinishJob(bool aborted);

  TestPrinterOptions options_;
  RecordingCanvas surface_;
  std::string title_;
  Orientation orientation_ = Orientation::Portrait;
  bool printing_ = false;
  std::vector<PrintJob> jobs_;
};

// Installs a printer as the current printer while it lives, then puts the previous one back.
class ScopedCurrentPrinter {
 public:
  explicit ScopedCurrentPrinter(std::unique_ptr<Printer> printer);
  ~ScopedCurrentPrinter();
  ScopedCurrentPrinter(const ScopedCurrentPrinter&) = delete;
  ScopedCurrentPrinter& operator=(const ScopedCurrentPrinter&) = delete;

 private:
  std::unique_ptr<Printer> previous_;
};

// A TestPrinter installed as the current printer for the guard's lifetime.
class ScopedTestPrinter {
 public:
  explicit ScopedTestPrinter(TestPrinterOptions options = {})
      : printer_(new TestPrinter(options)), scope_(std::unique_ptr<Printer>(printer_)) {}
  TestPrinter& operator*() { return *printer_; }
  TestPrinter* operator->() { return printer_; }

 private:
  TestPrinter* printer_;  // owned by the printer layer while scope_ lives
  ScopedCurrentPrinter scope_;
};

}  // namespace tavo::test
