// The in-process side of the bridge's round-trip benchmark: a host creates the control by its
// programmatic identifier through the registry (TAVO_REGISTRY) and makes the calls a page
// makes, late-bound by name. Prints one JSON object of mean microseconds per call.
//   bridge_baseline DATA.xml RULE.xml OUT_DIR [VERSION_CALLS] [PRINT_CALLS]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "platform/com/Activation.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "support/LateBoundCall.h"

using namespace tavo;

namespace {

std::u16string Wide(const std::string& utf8) { return codepage::Utf8ToWide(utf8); }

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

HRESULT Call(IDispatch* control, const char16_t* method, std::vector<std::u16string> args) {
  return bench::CallByName(control, method, args).status;
}

template <typename F>
double MeanMicroseconds(int count, F&& body) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) body(i);
  const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: bridge_baseline DATA RULE OUT_DIR [VERSION_CALLS] [PRINT_CALLS]\n");
    return 2;
  }
  const std::u16string data = Wide(ReadFile(argv[1]));
  const std::u16string rule = Wide(ReadFile(argv[2]));
  const std::string out = argv[3];
  const int versionCalls = argc > 4 ? std::atoi(argv[4]) : 1000;
  const int printCalls = argc > 5 ? std::atoi(argv[5]) : 50;

  ComPtr<IDispatch> control;
  if (FAILED(CoCreateInstanceByProgID(u"TavoPreFmtPrinterX.TavoPreFmtPrinter", nullptr,
                                      IID_IDispatch, control.ReceiveVoid()))) {
    std::fprintf(stderr, "bridge_baseline: cannot create the control: %s\n",
                 LastLoadError().c_str());
    return 1;
  }
  if (Call(control.Get(), u"SetDefaultPrinter", {Wide("pdf:" + out + "/baseline.pdf")}) != S_OK)
    return 1;
  Call(control.Get(), u"PrintXmlData", {data, rule});  // fonts and caches warm, as in the bridge
  const double version = MeanMicroseconds(
      versionCalls, [&](int) { Call(control.Get(), u"GetOcxVersion", {u"2.0.0.2"}); });
  const double print = MeanMicroseconds(printCalls, [&](int) {
    Call(control.Get(), u"PrintXmlData", {data, rule});
  });
  std::printf("{\"GetOcxVersion_us\":%.2f,\"PrintXmlData_us\":%.1f}\n", version, print);
  return 0;
}
