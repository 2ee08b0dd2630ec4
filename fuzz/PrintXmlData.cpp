// The whole rule + data road, every element kind (barcodes included): the input is the rule
// text, a zero byte, then the data text. Both are drawn on a recording canvas as the preview
// does, printed on the test printer as PrintXmlData does and as a run of records, and checked
// as CheckRule does.
// tavo::Error is an allowed outcome of drawing and printing; a print job left open is not, and
// the check never fails.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/core/Error.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingBatch.h"
#include "printing/unitRuleCheck.h"
#include "support/RecordingCanvas.h"
#include "support/TestPrinter.h"

namespace {

void Preview(const std::string& rule, const std::string& data) {
  tavo::test::RecordingCanvas surface;
  try {
    tavo::TTavoXmlDataPrinter printer(rule, &surface.canvas());
    if (printer.Print(data, &surface.canvas())) tavo::fuzz::Fail("a preview reported a print job");
  } catch (const tavo::Error&) {
  }
}

void Print(const std::string& rule, const std::string& data) {
  tavo::test::ScopedTestPrinter current;
  try {
    tavo::TTavoXmlDataPrinter printer(rule, nullptr);
    printer.Print(data);
  } catch (const tavo::Error&) {
  }
  if (current->Printing()) tavo::fuzz::Fail("the print job was left open");
  // Every record as its own pages in one job: what one record's page does never leaves a job.
  try {
    tavo::PrintBatchOnCurrentPrinter(rule, data);
  } catch (const tavo::Error&) {
  }
  if (current->Printing()) tavo::fuzz::Fail("the batch's print job was left open");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(bytes), size);
  const size_t separator = input.find('\0');
  const std::string rule(input.substr(0, separator));
  const std::string data(separator == std::string_view::npos ? std::string_view()
                                                             : input.substr(separator + 1));
  Preview(rule, data);
  Print(rule, data);
  tavo::FindingsToJson(tavo::CheckRule(rule, data).findings);
  return 0;
}
