#include "EndToEnd.h"

#include <sys/resource.h>

#include <ctime>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <numeric>
#include <sstream>

#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "platform/printer/Printer.h"
#include "platform/printer/system/SystemPrinter.h"
#include "preview/PreviewPage.h"
#include "printing/unitCommonPrinting.h"

namespace tavo::bench {

std::u16string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return codepage::Utf8ToWide(bytes.str());
}

void WriteTextFile(const std::string& path, const std::string& utf8) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << utf8;
  if (!out) throw Error("cannot write " + path);
}

void PrepareDevices() { InstallSystemPrinter(); }

void SelectPdfOutput(const std::string& absolutePath) {
  if (!CurrentPrinter().Select(kPdfPrinterPrefix + absolutePath)) {
    throw Error("the PDF printer cannot write " + absolutePath);
  }
}

void PrintXmlData(const std::u16string& data, const std::u16string& rule) {
  TTavoXmlDataPrinter printer(codepage::WideToAnsi(rule), nullptr);
  if (!printer.Print(codepage::WideToAnsi(data), nullptr)) {
    throw Error("the print job did not complete");
  }
}

long long DrawPreview(const std::u16string& data, const std::u16string& rule,
                      const std::u16string& background) {
  const PreviewPage page = DrawPreviewPage(data, rule, background);
  return static_cast<long long>(page.page.Width()) * page.page.Height();
}

long ResidentFontPagesKb() {
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool font = false;
  long kb = 0;
  while (std::getline(smaps, line)) {
    if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) &&
        line.find('-') < line.find(' ')) {
      font = line.ends_with(".ttf") || line.ends_with(".ttc") || line.ends_with(".otf");
    } else if (font && line.starts_with("Rss:")) {
      kb += std::stol(line.substr(4));
    }
  }
  return kb;
}

long AnonymousRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("RssAnon:")) return std::stol(line.substr(8));
  return 0;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const auto middle = values.begin() + static_cast<long>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return *middle;
  return (*middle + *std::max_element(values.begin(), middle)) / 2.0;
}

double Mean(const std::vector<double>& values) {
  if (values.empty()) return 0.0;
  return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

}  // namespace tavo::bench
