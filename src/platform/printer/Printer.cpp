#include "platform/printer/Printer.h"

#include "platform/core/Error.h"

namespace tavo {
namespace {

// The printer layer of a system without any printer: it keeps the title and orientation and
// fails everything that needs a device.
class NoPrinter final : public Printer {
 public:
  std::vector<std::string> PrinterNames() override { return {}; }
  bool Select(const std::string&) override { return false; }
  std::string SelectedName() override { return {}; }
  void SetTitle(const std::string& ansiTitle) override { title_ = ansiTitle; }
  std::string Title() const override { return title_; }
  void SetOrientation(Orientation orientation) override { orientation_ = orientation; }
  Orientation GetOrientation() const override { return orientation_; }
  void BeginDoc() override { throw Error(kNoDefaultPrinter); }
  void NewPage() override { throw Error(kNotPrinting); }
  void EndDoc() override { throw Error(kNotPrinting); }
  void Abort() override { throw Error(kNotPrinting); }
  bool Printing() const override { return false; }
  Canvas& GetCanvas() override { throw Error(kNotPrinting); }
  DeviceCaps Caps() override { throw Error(kNoDefaultPrinter); }

 private:
  std::string title_;
  Orientation orientation_ = Orientation::Portrait;
};

std::unique_ptr<Printer>& Slot() {
  static std::unique_ptr<Printer> current = std::make_unique<NoPrinter>();
  return current;
}

}  // namespace

Printer& CurrentPrinter() { return *Slot(); }

std::unique_ptr<Printer> ReplaceCurrentPrinter(std::unique_ptr<Printer> printer) {
  if (!printer) printer = std::make_unique<NoPrinter>();
  Slot().swap(printer);
  return printer;
}

}  // namespace tavo
