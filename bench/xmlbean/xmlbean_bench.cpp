// ParseXmlBean against libxml2 alone (xmlReadMemory + xmlFreeDoc of the same text in UTF-8,
// with the options ParseXmlBean uses) on a data document of 1,000 rows x 10 fields, and the parse
// of a typical 5 KB invoice. Prints the ratio of the two data-document times; the goal is at
// most 2.0. Run with --benchmark_repetitions=5 to take medians.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "platform/codepage/CodePage.h"
#include "xmlbean/unitTavoCommonXmlBeanParser.h"

namespace {

std::string DataDocument(int rows, int fields) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<data>\n  <head><service><handler>print"
      "</handler></service><createTime>1700000000</createTime></head>\n  <body>\n    <record>\n"
      "      <fphm>12345678</fphm>\n      <rows>\n";
  for (int row = 0; row < rows; ++row) {
    xml += "        <row index=\"";
    xml += std::to_string(row);
    xml += "\">";
    for (int field = 0; field < fields; ++field) {
      std::string name = "f";
      name += std::to_string(field);
      xml += '<';
      xml += name;
      xml += '>';
      xml += field % 2 == 0 ? "*办公用品*中性笔 0.5mm 黑色 第" : "Item number ";
      xml += std::to_string(row * fields + field);
      xml += " 规格型号 GP-1008 / 单位 盒 / 税率 13% / 备注 无</";
      xml += name;
      xml += '>';
    }
    xml += "</row>\n";
  }
  return xml + "      </rows>\n    </record>\n  </body>\n</data>\n";
}

const std::string& DataUtf8() {
  static const std::string text = DataDocument(1000, 10);
  return text;
}

const std::u16string& DataWide() {
  static const std::u16string text = tavo::codepage::Utf8ToWide(DataUtf8());
  return text;
}

const std::string& InvoiceUtf8() {
  static const std::string text = DataDocument(6, 8);
  return text;
}

const std::u16string& InvoiceWide() {
  static const std::u16string text = tavo::codepage::Utf8ToWide(InvoiceUtf8());
  return text;
}

void BM_LibXml2ReadMemory(benchmark::State& state) {
  const std::string& text = DataUtf8();
  const int options =
      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_IGNORE_ENC | XML_PARSE_COMPACT;
  for (auto _ : state) {
    xmlDocPtr doc =
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, options);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

// Bytes processed count the UTF-8 form, as for libxml2.
void ParseWide(benchmark::State& state, const std::u16string& text, size_t utf8Size) {
  for (auto _ : state) {
    auto bean = tavo::TTavoXMLBeanParser::ParseXmlBean(text);
    if (bean == nullptr) state.SkipWithError("the document did not parse");
    benchmark::DoNotOptimize(bean.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(utf8Size));
}

void BM_ParseXmlBeanData(benchmark::State& state) {
  ParseWide(state, DataWide(), DataUtf8().size());
}
void BM_ParseXmlBeanInvoice5KB(benchmark::State& state) {
  ParseWide(state, InvoiceWide(), InvoiceUtf8().size());
}

BENCHMARK(BM_LibXml2ReadMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseXmlBeanData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseXmlBeanInvoice5KB)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's time per iteration (the median when repeated), to print the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration && !medians.contains(name)) {
        times[name] = {run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
      } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians.insert(name);
        times[name] = {run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  struct Times {
    double cpu = 0, real = 0;
  };
  std::map<std::string, Times> times;
  std::set<std::string> medians;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("data document: %zu bytes UTF-8; invoice document: %zu bytes UTF-8\n",
              DataUtf8().size(), InvoiceUtf8().size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto ours = reporter.times.find("BM_ParseXmlBeanData");
  const auto baseline = reporter.times.find("BM_LibXml2ReadMemory");
  if (ours != reporter.times.end() && baseline != reporter.times.end() &&
      baseline->second.cpu > 0 && baseline->second.real > 0) {
    // CPU time is the figure to judge: on a busy machine wall time also counts waiting.
    std::printf(
        "ParseXmlBean / libxml2 xmlReadMemory: %.2f CPU time, %.2f wall time "
        "(goal: at most 2.0)\n",
        ours->second.cpu / baseline->second.cpu, ours->second.real / baseline->second.real);
  }
  benchmark::Shutdown();
  return 0;
}
