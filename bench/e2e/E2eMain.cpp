// e2e_bench: end-to-end timings of the control's print and preview paths. Each command prints
// one JSON object per measurement on standard output; scripts/bench collects them.
//
//   e2e_bench sample   --target pdf|raster --runs N --rule R --data D --background B --out DIR
//   e2e_bench serve    --rule R --dir DIR        (prints DIR/data-N.xml to DIR/tavo-N.pdf for
//                                                 each index N read from standard input)
//   e2e_bench floor    --runs N --rule R --data D --out DIR   (the sample's page in bare cairo)
//   e2e_bench growth   --series rows|elements --target pdf|raster --sizes 10,100,...
//                      --rule R --background B --stamp STAMP.b64 --out DIR
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "EndToEnd.h"
#include "FloorPage.h"
#include "GrowthDocuments.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"

namespace fs = std::filesystem;
using namespace tavo;
using namespace tavo::bench;

namespace {

using Options = std::map<std::string, std::string>;

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (!name.starts_with("--")) throw Error("expected an option, got " + name);
    options[name.substr(2)] = argv[i + 1];
  }
  return options;
}

const std::string& Need(const Options& options, const std::string& name) {
  const auto found = options.find(name);
  if (found == options.end()) throw Error("missing --" + name);
  return found->second;
}

std::string Absolute(const std::string& path) { return fs::absolute(path).string(); }

std::string Number(double value) {
  std::ostringstream text;
  text.precision(6);
  text << value;
  return text.str();
}

// One JSON object from already formatted values (strings quoted by the caller).
void Emit(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string line = "{";
  for (const auto& [name, value] : fields) {
    if (line.size() > 1) line += ", ";
    line += "\"" + name + "\": " + value;
  }
  std::cout << line << "}" << std::endl;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The sample invoice many times over, each time as a host's fresh call would.
void RunSample(const Options& options) {
  const std::string target = Need(options, "target");
  const int runs = std::stoi(Need(options, "runs"));
  const std::u16string rule = ReadTextFile(Need(options, "rule"));
  const std::u16string data = ReadTextFile(Need(options, "data"));
  const std::u16string background = codepage::Utf8ToWide(Absolute(Need(options, "background")));
  const std::string pdf = Absolute(Need(options, "out")) + "/sample.pdf";

  Stopwatch startup;
  PrepareDevices();
  if (target == "pdf") SelectPdfOutput(pdf);
  const double startupSeconds = startup.Seconds();

  std::vector<double> times;
  std::vector<double> cpuTimes;
  times.reserve(static_cast<size_t>(runs));
  cpuTimes.reserve(static_cast<size_t>(runs));
  long long pixels = 0;
  Stopwatch total;
  for (int i = 0; i < runs; ++i) {
    Stopwatch one;
    if (target == "pdf") {
      PrintXmlData(data, rule);
    } else {
      pixels += DrawPreview(data, rule, background);
    }
    times.push_back(one.Seconds());
    cpuTimes.push_back(one.CpuSeconds());
  }
  const double seconds = total.Seconds();
  const double cpuSeconds = total.CpuSeconds();
  if (target != "pdf" && pixels == 0) throw Error("the preview drew nothing");
  Emit({{"bench", Quoted("sample")},
        {"target", Quoted(target)},
        {"runs", std::to_string(runs)},
        {"startup_s", Number(startupSeconds)},
        {"total_s", Number(seconds)},
        {"first_ms", Number(times.front() * 1e3)},
        {"median_ms", Number(Median(times) * 1e3)},
        {"pages_per_s", Number(runs / seconds)},
        {"cpu_s", Number(cpuSeconds)},
        {"median_cpu_ms", Number(Median(cpuTimes) * 1e3)},
        {"pages_per_cpu_s", Number(runs / cpuSeconds)},
        {"peak_rss_kb", std::to_string(PeakRssKb())},
        {"font_pages_kb", std::to_string(ResidentFontPagesKb())},
        {"anon_rss_kb", std::to_string(AnonymousRssKb())}});
}

// The floor of the PDF printer: the sample's page, recorded once, drawn N times with bare cairo
// and Pango into a PDF file each time, in the same way the sample's runs are timed.
void RunFloor(const Options& options) {
  const int runs = std::stoi(Need(options, "runs"));
  const std::u16string rule = ReadTextFile(Need(options, "rule"));
  const std::u16string data = ReadTextFile(Need(options, "data"));
  const std::string pdf = Absolute(Need(options, "out")) + "/floor.pdf";
  const FloorPage page(data, rule);
  std::vector<double> times;
  std::vector<double> cpuTimes;
  Stopwatch total;
  for (int i = 0; i < runs; ++i) {
    Stopwatch one;
    page.Write(pdf);
    times.push_back(one.Seconds());
    cpuTimes.push_back(one.CpuSeconds());
  }
  const double seconds = total.Seconds();
  Emit({{"bench", Quoted("floor")},
        {"runs", std::to_string(runs)},
        {"texts", std::to_string(page.Texts())},
        {"total_s", Number(seconds)},
        {"median_ms", Number(Median(times) * 1e3)},
        {"median_cpu_ms", Number(Median(cpuTimes) * 1e3)},
        {"pdf_kb", Number(static_cast<double>(fs::file_size(pdf)) / 1024)},
        {"peak_rss_kb", std::to_string(PeakRssKb())}});
}

// The engine's side of the peer comparison: loads every data document of the folder, then, for
// each index read from standard input, prints that document through PrintXmlData to its own PDF
// file and answers with the wall-clock and CPU milliseconds it took. The process stays up while
// the browser takes its turns, so neither side pays for starting more than once. "quit" ends
// with the summary.
void RunServe(const Options& options) {
  const std::u16string rule = ReadTextFile(Need(options, "rule"));
  const fs::path dir = fs::absolute(Need(options, "dir"));
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("data-") && name.ends_with(".xml")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) throw Error("no data-*.xml in " + dir.string());
  std::vector<std::u16string> documents;
  for (const fs::path& file : files) documents.push_back(ReadTextFile(file.string()));

  Stopwatch startup;
  PrepareDevices();
  const double startupSeconds = startup.Seconds();
  std::cout << "ready " << documents.size() << std::endl;

  std::vector<double> times;
  std::vector<double> cpuTimes;
  for (std::string line; std::getline(std::cin, line) && line != "quit";) {
    const size_t index = std::stoul(line);
    if (index >= documents.size()) throw Error("no invoice " + line);
    Stopwatch one;
    SelectPdfOutput((dir / ("tavo-" + files[index].stem().string().substr(5) + ".pdf")).string());
    PrintXmlData(documents[index], rule);
    times.push_back(one.Seconds());
    cpuTimes.push_back(one.CpuSeconds());
    std::cout << Number(times.back() * 1e3) << " " << Number(cpuTimes.back() * 1e3) << std::endl;
  }
  Emit({{"bench", Quoted("invoices")},
        {"engine", Quoted("tavo")},
        {"invoices", std::to_string(times.size())},
        {"startup_s", Number(startupSeconds)},
        {"total_s", Number(Mean(times) * static_cast<double>(times.size()))},
        {"mean_ms", Number(Mean(times) * 1e3)},
        {"median_ms", Number(Median(times) * 1e3)},
        {"mean_cpu_ms", Number(Mean(cpuTimes) * 1e3)},
        {"peak_rss_kb", std::to_string(PeakRssKb())}});
}

std::vector<int> ParseSizes(const std::string& text) {
  std::vector<int> sizes;
  std::stringstream list(text);
  for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::stoi(item));
  return sizes;
}

// One growth series: each size is drawn once to warm up, then repeated until a second has
// passed (at least 3 and at most 200 times); the median counts.
void RunGrowth(const Options& options) {
  const std::string series = Need(options, "series");
  const std::string target = Need(options, "target");
  const std::u16string sampleRule = ReadTextFile(Need(options, "rule"));
  const std::u16string background = codepage::Utf8ToWide(Absolute(Need(options, "background")));
  const std::u16string stamp = ReadTextFile(Need(options, "stamp"));
  const std::string pdf = Absolute(Need(options, "out")) + "/growth-" + series + ".pdf";

  PrepareDevices();
  if (target == "pdf") SelectPdfOutput(pdf);
  for (const int size : ParseSizes(Need(options, "sizes"))) {
    std::u16string rule = sampleRule;
    std::u16string data;
    if (series == "rows") {
      data = codepage::Utf8ToWide(InvoiceDataWithRows(size));
    } else {
      const GeneratedForm form = FormWithElements(size, codepage::WideToUtf8(stamp));
      rule = codepage::Utf8ToWide(form.rule);
      data = codepage::Utf8ToWide(form.data);
    }
    const auto once = [&] {
      if (target == "pdf") {
        PrintXmlData(data, rule);
      } else if (DrawPreview(data, rule, background) == 0) {
        throw Error("the preview drew nothing");
      }
    };
    once();
    std::vector<double> times;
    std::vector<double> cpuTimes;
    Stopwatch spent;
    while (times.size() < 200 && (times.size() < 3 || spent.Seconds() < 1.0)) {
      Stopwatch one;
      once();
      times.push_back(one.Seconds());
      cpuTimes.push_back(one.CpuSeconds());
    }
    Emit({{"bench", Quoted("growth")},
          {"series", Quoted(series)},
          {"target", Quoted(target)},
          {"size", std::to_string(size)},
          {"runs", std::to_string(times.size())},
          {"median_ms", Number(Median(times) * 1e3)},
          {"median_cpu_ms", Number(Median(cpuTimes) * 1e3)},
          {"peak_rss_kb", std::to_string(PeakRssKb())}});
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The host's locale decides the ANSI code page, as for any host of the control.
  std::setlocale(LC_ALL, "");
  try {
    if (argc < 2) throw Error("usage: e2e_bench sample|floor|serve|growth --option value ...");
    const std::string command = argv[1];
    const Options options = ParseOptions(argc, argv);
    if (command == "sample") {
      RunSample(options);
    } else if (command == "serve") {
      RunServe(options);
    } else if (command == "floor") {
      RunFloor(options);
    } else if (command == "growth") {
      RunGrowth(options);
    } else {
      throw Error("unknown command " + command);
    }
  } catch (const std::exception& error) {
    std::cerr << "e2e_bench: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
