// The sample invoice printed with its QR code and, as the baseline in the same run, without it:
// on the virtual PDF printer (the rule's 241 x 140 mm page at 600 dpi, a file written per job), and
// on the test printer, whose canvas keeps nothing, for the engine's and libzint's share alone. The
// time the QR code adds is the difference of each pair.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/Printer.h"
#include "platform/printer/system/SystemPrinter.h"
#include "printing/unitCommonPrinting.h"
#include "support/TestPrinter.h"

namespace {

using tavo::Error;

std::string ReadExample(const std::string& name) {
  std::ifstream in(std::string(TAVO_EXAMPLES_DIR) + "/invoice/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return tavo::codepage::Utf8ToAnsi(bytes.str());
}

// The sample rule as it is, or with its QR code element taken out.
std::string InvoiceRule(bool withQr) {
  std::string rule = ReadExample("rule.xml");
  if (withQr) return rule;
  const size_t start = rule.find("<qr ");
  const size_t end = rule.find("</qr>", start);
  if (start == std::string::npos || end == std::string::npos) throw Error("no QR code in rule.xml");
  return rule.erase(start, end + 5 - start);
}

void Print(const std::string& rule, const std::string& data) {
  tavo::TTavoXmlDataPrinter printer(rule, nullptr);
  if (!printer.Print(data)) throw Error("the print job did not complete");
}

void BM_InvoiceOnPdfPrinter(benchmark::State& state) {
  tavo::InstallSystemPrinter();
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tavo-barcode-bench-" + std::to_string(::getpid()) + ".pdf"))
                               .string();
  if (!tavo::CurrentPrinter().Select(tavo::kPdfPrinterPrefix + path)) {
    state.SkipWithError("the PDF printer cannot write its file");
    return;
  }
  const std::string rule = InvoiceRule(state.range(0) != 0);
  const std::string data = ReadExample("data.xml");
  for (auto _ : state) Print(rule, data);
  std::filesystem::remove(path);
}
BENCHMARK(BM_InvoiceOnPdfPrinter)->ArgName("qr")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_InvoiceOnTestPrinter(benchmark::State& state) {
  tavo::test::TestPrinterOptions options;
  options.device.record = false;
  tavo::test::ScopedTestPrinter current(options);
  const std::string rule = InvoiceRule(state.range(0) != 0);
  const std::string data = ReadExample("data.xml");
  for (auto _ : state) Print(rule, data);
}
BENCHMARK(BM_InvoiceOnTestPrinter)->ArgName("qr")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
