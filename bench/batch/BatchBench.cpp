// The in-process side of the batch benchmark: a host creates the control by its programmatic
// identifier through the registry (TAVO_REGISTRY) and prints late-bound by name. Prints one
// JSON line: pages, wall and CPU seconds, peak resident memory.
//   batch_bench calls RULE OUT_DIR DATA...    PrintXmlData of each file to a PDF of its own
//   batch_bench batch RULE OUT_DIR DATA       PrintXmlBatch of all its records to one PDF
//   batch_bench joined RULE OUT_DIR DATA...   one PDF over the files (BeginBatch, PrintXmlBatch
//                                             each, EndBatch), the peak memory after each tenth
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/com/Activation.h"
#include "platform/com/Bstr.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "support/LateBoundCall.h"

using namespace tavo;

namespace {

std::u16string Wide(const std::string& utf8) { return codepage::Utf8ToWide(utf8); }

std::u16string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return Wide(text.str());
}

// The method's text value ("" for none); exits on a failure, which no run expects.
std::string Call(IDispatch* control, const char16_t* method, std::vector<std::u16string> args) {
  const bench::LateBoundResult result = bench::CallByName(control, method, args);
  if (FAILED(result.status)) {
    std::fprintf(stderr, "batch_bench: %s failed (0x%08X): %s\n",
                 codepage::WideToUtf8(method).c_str(), static_cast<unsigned>(result.methodStatus),
                 result.description.c_str());
    std::exit(1);
  }
  const VARIANT& value = *result.value.Get();
  return value.vt == VT_BSTR ? codepage::WideToUtf8(BstrView(value.bstrVal)) : "";
}

long PeakKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

long PagesOf(const std::string& json) {
  const size_t at = json.find("\"pages\":");
  return at == std::string::npos ? 0 : std::stol(json.substr(at + 8));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: batch_bench calls|batch|joined RULE OUT_DIR DATA...\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::u16string rule = ReadFile(argv[2]);
  const std::string out = argv[3];
  const std::vector<std::string> files(argv + 4, argv + argc);

  ComPtr<IDispatch> control;
  if (FAILED(CoCreateInstanceByProgID(u"TavoPreFmtPrinterX.TavoPreFmtPrinter", nullptr,
                                      IID_IDispatch, control.ReceiveVoid()))) {
    std::fprintf(stderr, "batch_bench: cannot create the control: %s\n", LastLoadError().c_str());
    return 1;
  }
  IDispatch* c = control.Get();
  const long startKib = PeakKib();
  const auto wallStart = std::chrono::steady_clock::now();
  const double cpuStart = CpuSeconds();
  long pages = 0;
  std::string peaks;  // "pages":kib after each tenth of the files (joined)
  if (mode == "calls") {
    for (size_t i = 0; i < files.size(); ++i) {
      Call(c, u"SetDefaultPrinter", {Wide("pdf:" + out + "/" + std::to_string(i) + ".pdf")});
      Call(c, u"PrintXmlData", {ReadFile(files[i]), rule});
      ++pages;
    }
  } else if (mode == "batch") {
    Call(c, u"SetDefaultPrinter", {Wide("pdf:" + out + "/batch.pdf")});
    pages = PagesOf(Call(c, u"PrintXmlBatch", {ReadFile(files.front()), rule}));
  } else if (mode == "joined") {
    Call(c, u"SetDefaultPrinter", {Wide("pdf:" + out + "/joined.pdf")});
    Call(c, u"BeginBatch", {});
    const size_t tenth = std::max<size_t>(files.size() / 10, 1);
    for (size_t i = 0; i < files.size(); ++i) {
      pages += PagesOf(Call(c, u"PrintXmlBatch", {ReadFile(files[i]), rule}));
      if ((i + 1) % tenth == 0) {
        peaks += (peaks.empty() ? "" : ",") + std::string("\"") + std::to_string(pages) +
                 "\":" + std::to_string(PeakKib());
      }
    }
    pages = PagesOf(Call(c, u"EndBatch", {}));
  } else {
    std::fprintf(stderr, "batch_bench: unknown mode %s\n", mode.c_str());
    return 2;
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
  std::printf(
      "{\"bench\":\"batch\",\"kind\":\"%s\",\"files\":%zu,\"pages\":%ld,\"wall_s\":%.3f,"
      "\"cpu_s\":%.3f,\"start_kib\":%ld,\"peak_kib\":%ld,\"peak_kib_at_pages\":{%s}}\n",
      mode.c_str(), files.size(), pages, wall.count(), CpuSeconds() - cpuStart, startKib, PeakKib(),
      peaks.c_str());
  return 0;
}
