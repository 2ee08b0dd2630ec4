// The long run of one host process: the sample invoice printed 10,000 times through the control
// object onto the virtual PDF printer, then its preview page drawn 1,000 times. Resident memory
// and open file descriptors are sampled after a warm-up and at regular steps; the run fails when
// memory grows beyond a small tolerance, when any descriptor stays open, or when a print leaves
// a temporary file beside its PDF.
// Usage: soak [PRINTS [PREVIEWS]]   (TAVO_EXAMPLES_DIR overrides the examples folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/TavoPreFmtPrinterImpl.h"
#include "platform/codepage/CodePage.h"
#include "preview/PreviewPage.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr long kRssToleranceKb = 5 * 1024;

struct Usage {
  long rssKb = 0;
  long fds = 0;
};

Usage Measure() {
  Usage usage;
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  usage.rssKb = resident * (sysconf(_SC_PAGESIZE) / 1024);
  // The iterator's own descriptor is counted every time, so the counts compare.
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++usage.fds;
  return usage;
}

std::u16string ReadUtf8(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return codepage::Utf8ToWide(std::string(std::istreambuf_iterator<char>(in), {}));
}

// A fresh folder in memory-backed storage when there is some, for the PDF and nothing else.
fs::path MakeOutputFolder() {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base = fs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::path(tmp && *tmp ? tmp : "/tmp");
  std::string pattern = (base / "tavo-soak-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  return pattern;
}

struct ControlDeleter {
  void operator()(ITavoPreFmtPrinter* control) const { control->Release(); }
};
using ControlPtr = std::unique_ptr<ITavoPreFmtPrinter, ControlDeleter>;

ControlPtr CreateControl() {
  void* object = nullptr;
  if (FAILED(TTavoPreFmtPrinter::Create(IID_ITavoPreFmtPrinter, &object)))
    throw std::runtime_error("cannot create the control object");
  return ControlPtr(static_cast<ITavoPreFmtPrinter*>(object));
}

// The samples of one phase: the first is the baseline taken after the warm-up.
class Samples {
 public:
  explicit Samples(const char* phase) : phase_(phase) {}

  void Take(int calls) {
    const Usage usage = Measure();
    if (rows_.empty()) baseline_ = usage;
    rows_.push_back({calls, usage});
    std::printf("%-8s %7d %10.1f %+9.1f %5ld\n", phase_, calls, usage.rssKb / 1024.0,
                (usage.rssKb - baseline_.rssKb) / 1024.0, usage.fds);
    std::fflush(stdout);
  }

  // Reports growth beyond the tolerance; true when there is none.
  bool Steady() const {
    bool steady = true;
    for (const auto& [calls, usage] : rows_) {
      if (usage.rssKb - baseline_.rssKb > kRssToleranceKb) {
        std::printf("FAIL %s: resident memory grew by %ld kB after %d calls\n", phase_,
                    usage.rssKb - baseline_.rssKb, calls);
        steady = false;
      }
      if (usage.fds != baseline_.fds) {
        std::printf("FAIL %s: %ld open descriptors after %d calls, %ld after the warm-up\n", phase_,
                    usage.fds, calls, baseline_.fds);
        steady = false;
      }
    }
    return steady;
  }

 private:
  struct Row {
    int calls;
    Usage usage;
  };
  const char* phase_;
  Usage baseline_;
  std::vector<Row> rows_;
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Every print must deliver its PDF: the print path reports no failure, so the file is the proof.
// It is taken away at each step, and the next step must bring it back.
bool PrintsDelivered(const fs::path& pdf, int calls) {
  if (!fs::exists(pdf) || fs::file_size(pdf) == 0) {
    std::printf("FAIL print: no PDF after %d calls\n", calls);
    return false;
  }
  fs::remove(pdf);
  return true;
}

int LeftoverFiles(const fs::path& folder, const fs::path& pdf) {
  int leftovers = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path() == pdf) continue;
    std::printf("FAIL print: temporary file left behind: %s\n", entry.path().c_str());
    ++leftovers;
  }
  return leftovers;
}

int Run(int prints, int previews) {
  const char* examplesOverride = std::getenv("TAVO_EXAMPLES_DIR");
  const fs::path invoice =
      fs::path(examplesOverride && *examplesOverride ? examplesOverride : TAVO_EXAMPLES_DIR) /
      "invoice";
  const std::u16string data = ReadUtf8(invoice / "data.xml");
  const std::u16string rule = ReadUtf8(invoice / "rule.xml");
  const std::u16string form = codepage::Utf8ToWide((invoice / "form.png").string());
  const fs::path folder = MakeOutputFolder();
  const fs::path pdf = folder / "soak.pdf";
  bool passed = true;

  const ControlPtr control = CreateControl();
  VARIANT_BOOL selected = VARIANT_FALSE;
  const Bstr printerName(codepage::Utf8ToWide("pdf:" + pdf.string()));
  if (control->SetDefaultPrinter(printerName.Get(), &selected) != S_OK || selected != VARIANT_TRUE)
    throw std::runtime_error("the PDF printer cannot be selected");

  std::printf("output: %s\n%-8s %7s %10s %9s %5s\n", folder.c_str(), "phase", "calls", "RSS MB",
              "growth", "fds");
  const Bstr dataText(data), ruleText(rule);
  const int printWarmUp = std::min(200, prints), printStep = 1000;
  Samples printSamples("print");
  const Clock::time_point printStart = Clock::now();
  for (int call = 1; call <= prints; ++call) {
    if (control->PrintXmlData(dataText.Get(), ruleText.Get()) != S_OK) {
      std::printf("FAIL print: call %d did not succeed\n", call);
      passed = false;
      break;
    }
    if (call == printWarmUp || (call > printWarmUp && call % printStep == 0)) {
      passed = PrintsDelivered(pdf, call) && passed;
      printSamples.Take(call);
    }
  }
  const double printSeconds = SecondsSince(printStart);
  // One more print, so the folder holds the PDF and whatever else a print leaves there.
  control->PrintXmlData(dataText.Get(), ruleText.Get());
  const int leftovers = LeftoverFiles(folder, pdf);

  const int previewWarmUp = std::min(50, previews), previewStep = 100;
  Samples previewSamples("preview");
  const Clock::time_point previewStart = Clock::now();
  for (int call = 1; call <= previews; ++call) {
    if (DrawPreviewPage(data, rule, form).page.Null()) {
      std::printf("FAIL preview: call %d drew no page\n", call);
      passed = false;
      break;
    }
    if (call == previewWarmUp || (call > previewWarmUp && call % previewStep == 0))
      previewSamples.Take(call);
  }
  const double previewSeconds = SecondsSince(previewStart);

  std::printf("prints: %d in %.1f s (%.2f ms each); previews: %d in %.1f s (%.2f ms each)\n",
              prints, printSeconds, prints ? 1000 * printSeconds / prints : 0.0, previews,
              previewSeconds, previews ? 1000 * previewSeconds / previews : 0.0);
  std::printf("temporary files left beside the PDF: %d\n", leftovers);
  passed = printSamples.Steady() && passed;
  passed = previewSamples.Steady() && passed;
  passed = leftovers == 0 && passed;
  fs::remove_all(folder);
  std::printf("%s\n", passed ? "soak: steady" : "soak: FAILED");
  return passed ? 0 : 1;
}

}  // namespace
}  // namespace tavo

int main(int argc, char** argv) {
  try {
    const int prints = argc > 1 ? std::stoi(argv[1]) : 10'000;
    const int previews = argc > 2 ? std::stoi(argv[2]) : 1'000;
    return tavo::Run(prints, previews);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "soak: %s\n", failure.what());
    return 2;
  }
}
