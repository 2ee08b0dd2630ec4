#include "printing/unitCommonPrintingOutcome.h"

#include <exception>

#include "platform/codepage/CodePage.h"
#include "platform/printer/PrintOutcome.h"
#include "platform/printer/Printer.h"
#include "printing/unitCommonPrinting.h"

namespace tavo {

std::string JobTitle(const TItem& dataItem) {
  std::string title = codepage::Utf8ToAnsi("票据打印");
  const std::string invoiceNumber = dataItem.GetPropertyValue("fphm", false);
  if (!invoiceNumber.empty()) title += codepage::Utf8ToAnsi("，发票号码: ") + invoiceNumber;
  return title;
}

std::string SelectedPrinterName() {
  try {
    return CurrentPrinter().SelectedName();
  } catch (const std::exception&) {
    return {};
  }
}

void RecordNothingPrinted(const std::string& message) {
  PrintOutcome outcome;
  outcome.printer = SelectedPrinterName();
  outcome.message = message;
  RecordPrintOutcome(std::move(outcome));
}

void PrintOnCurrentPrinter(const std::string& ruleText, const std::string& dataText) {
  try {
    TTavoXmlDataPrinter printer(ruleText, nullptr);
    printer.Print(dataText, nullptr);
  } catch (const std::exception& failure) {
    // Only building the data printer fails out of here (the print path swallows its own
    // failures); the print is over all the same.
    RecordNothingPrinted(failure.what());
    throw;
  }
}

}  // namespace tavo
