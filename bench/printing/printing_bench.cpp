// Page composition on a canvas that draws nothing: a typical invoice, and a series of row counts
// whose times should grow linearly (t(10,000 rows) / t(1,000 rows) at most 12).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "platform/codepage/CodePage.h"
#include "printing/unitCommonPrinting.h"
#include "support/RecordingCanvas.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace {

using tavo::TItem;
using tavo::TTavoXmlDataPrinter;

std::string Text(const std::string& attributes, const std::string& text = "v") {
  return "<e " + attributes + "><text>" + text + "</text></e>";
}

std::string Box(int left, int top, int width, int height) {
  return "left='" + std::to_string(left) + "' top='" + std::to_string(top) + "' right='" +
         std::to_string(left + width) + "' bottom='" + std::to_string(top + height) + "'";
}

// A rule of `elements` elements: 10 lines and 4 rectangles of the form, static labels, fields
// named f0, f1, ... and six row fields c0..c5 laid out automatically.
std::string InvoiceRule(int elements) {
  std::string body;
  int count = 0;
  for (int i = 0; i < 10; ++i, ++count) {
    body += "<e type='line' fromx='10' fromy='" + std::to_string(100 + 20 * i) +
            "' tox='700' toy='" + std::to_string(100 + 20 * i) +
            "' size='1' color='clBlack'><x/></e>";
  }
  for (int i = 0; i < 4; ++i, ++count) {
    body += "<e type='rectangle' " + Box(10 + 180 * i, 20, 170, 60) +
            " size='2' color='$000080'><x/></e>";
  }
  for (int i = 0; i < 6; ++i, ++count) {
    body +=
        Text("id='c" + std::to_string(i) + "' fontName='Arial' fontSize='9' vertAlign='otaTop' " +
             Box(10 + 115 * i, 400, 110, 14));
  }
  const int labels = (elements - count) / 2;
  for (int i = 0; i < labels; ++i, ++count) {
    body += Text("type='text' fontSize='10' " + Box(10 + (i % 4) * 180, 300 + (i / 4) * 16, 80, 14),
                 "Label " + std::to_string(i));
  }
  for (int i = 0; count < elements; ++i, ++count) {
    body += Text("id='f" + std::to_string(i) + "' horzAlign='otaRight' " +
                 Box(100 + (i % 4) * 180, 300 + (i / 4) * 16, 80, 14));
  }
  return "<doc><body><printing pageWidth='210' pageHeight='297' repeatableRowAutoHeightAndTop='1' "
         "repeatableRowSpace='1'>" +
         body + "</printing></body></doc>";
}

std::string InvoiceData(int fields, int rows) {
  std::string record = "<fphm>12345678</fphm>";
  for (int i = 0; i < fields; ++i)
    record +=
        "<f" + std::to_string(i) + ">value " + std::to_string(i) + "</f" + std::to_string(i) + ">";
  record += "<rows>";
  for (int r = 0; r < rows; ++r) {
    record += "<r>";
    for (int c = 0; c < 6; ++c) {
      record += "<c" + std::to_string(c) + ">goods " + std::to_string(r) + " item</c" +
                std::to_string(c) + ">";
    }
    record += "</r>";
  }
  return "<doc><body><data><invoice>" + record + "</rows></invoice></data></body></doc>";
}

// One rule and one parsed data document on a canvas that keeps nothing.
struct Page {
  Page(int elements, int fields, int rows)
      : surface(Quiet()),
        printer(InvoiceRule(elements), &surface.canvas()),
        data(tavo::TTavoXMLBeanParser::ParseXmlBean(
            tavo::codepage::AnsiToWide(InvoiceData(fields, rows)))) {
    dataItem = data->Item->ItemAt(0)->ItemAt(0);
  }
  static tavo::test::RecordingOptions Quiet() {
    tavo::test::RecordingOptions options;
    options.caps = {600, 600, 0, 0};
    options.record = false;
    return options;
  }
  void Compose() { printer.ComposePage(printer.ruleItem.get(), dataItem); }

  tavo::test::RecordingCanvas surface;
  TTavoXmlDataPrinter printer;
  std::unique_ptr<tavo::TTavoCommonXmlBean> data;
  TItem* dataItem = nullptr;
};

void BM_Invoice(benchmark::State& state) {
  Page page(40, 10, 20);
  for (auto _ : state) page.Compose();
}
BENCHMARK(BM_Invoice)->Unit(benchmark::kMicrosecond);

void BM_Rows(benchmark::State& state) {
  Page page(50, 15, static_cast<int>(state.range(0)));
  for (auto _ : state) page.Compose();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Rows)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration so the scaling ratio can be printed after the runs.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      seconds[run.benchmark_name()] =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto small = reporter.seconds.find("BM_Rows/1000");
  const auto large = reporter.seconds.find("BM_Rows/10000");
  if (small != reporter.seconds.end() && large != reporter.seconds.end()) {
    std::printf("t(10000 rows) / t(1000 rows) = %.2f (linear: 10, goal: at most 12)\n",
                large->second / small->second);
  }
  benchmark::Shutdown();
  return 0;
}
