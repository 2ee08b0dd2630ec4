// The two end-to-end paths of the control as a host drives them: PrintXmlData to the current
// printer (here the virtual PDF printer) and the preview drawing to its 96 dpi raster, with the
// clock and memory readings the benchmark reports.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tavo::bench {

// A UTF-8 file as the wide text an automation host passes; fails with tavo::Error.
std::u16string ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& utf8);

// Installs the system printer, as the control's first print does (printing starts no Qt).
void PrepareDevices();
// Selects the virtual PDF printer writing to `absolutePath`; fails with tavo::Error.
void SelectPdfOutput(const std::string& absolutePath);

// What PrintXmlData does: the wide texts become ANSI, a fresh data printer reads the rule and
// prints the data as one job. Fails with tavo::Error when no complete job came out.
void PrintXmlData(const std::u16string& data, const std::u16string& rule);
// The preview drawing of the data over the background picture; returns the page's pixel count,
// so the drawing cannot be optimised away.
long long DrawPreview(const std::u16string& data, const std::u16string& rule,
                      const std::u16string& background);

// Peak resident memory of this process so far (ru_maxrss), in KiB.
long PeakRssKb();
// At the moment of the call: the resident pages of the mapped font files (clean pages of the
// page cache, shared with every process using the fonts), and the process's own anonymous ones.
long ResidentFontPagesKb();
long AnonymousRssKb();

// CPU seconds this process (all its threads) has used so far.
double ProcessCpuSeconds();

// Wall-clock and CPU time since construction. On a shared machine the CPU time is the steadier
// of the two: it does not count the time other processes held the cores.
class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()), cpuStart_(ProcessCpuSeconds()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  double CpuSeconds() const { return ProcessCpuSeconds() - cpuStart_; }

 private:
  std::chrono::steady_clock::time_point start_;
  double cpuStart_;
};

double Median(std::vector<double> values);
double Mean(const std::vector<double>& values);

}  // namespace tavo::bench
