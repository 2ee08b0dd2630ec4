// A host of the control that the process tests run as a child, to see how it ends. Its one
// thread of calls is not the main thread, as a single-threaded apartment may be:
//   tavo_thread_host MODULE DATA RULE PDF registry   create by ProgID through the registry
//   tavo_thread_host MODULE DATA RULE PDF unload     load the module itself, and after the
//       release and DllCanUnloadNow close it, load it again, print once more and close it
//   tavo_thread_host MODULE DATA RULE PDF preview    PreviewXmlData twice, for a user to close
// Each round of the first two lists the printers, selects the virtual PDF printer and prints
// DATA by RULE into PDF. Exit status 0 when every call succeeded; the process must also end
// cleanly.
#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "control/TavoPreFmtPrinterX_TLB.h"
#include "platform/codepage/CodePage.h"
#include "platform/com/Activation.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Variant.h"

using namespace tavo;

namespace {

constexpr const char* kFirstPreviewClosed = "the first preview has closed";

std::u16string ReadText(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return codepage::Utf8ToWide(std::string(std::istreambuf_iterator<char>(in), {}));
}

// Calls `method` by name with text arguments; false (and a line on standard error) on failure.
bool Call(IDispatch& control, const char16_t* method, const std::vector<std::u16string>& args) {
  std::u16string name = method;
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  if (control.GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id) != S_OK) return false;
  std::vector<ScopedVariant> owned;
  for (auto it = args.rbegin(); it != args.rend(); ++it)
    owned.push_back(ScopedVariant::String(*it));
  std::vector<VARIANTARG> raw;
  for (ScopedVariant& value : owned) raw.push_back(*value.Get());
  DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
  ScopedVariant result;
  EXCEPINFO exception{};
  UINT argumentError = 0;
  const HRESULT status = control.Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        &params, result.Get(), &exception, &argumentError);
  const bool selectedOrNoFlag = result->vt != VT_BOOL || result->boolVal == VARIANT_TRUE;
  if (status != S_OK || !selectedOrNoFlag) {
    std::fprintf(stderr, "%s failed: 0x%08X %s\n", codepage::WideToUtf8(method).c_str(),
                 static_cast<unsigned>(status),
                 codepage::WideToUtf8(BstrView(exception.bstrDescription)).c_str());
  }
  ClearExcepInfo(&exception);
  return status == S_OK && selectedOrNoFlag;
}

struct Job {
  std::u16string data, rule, pdf;
};

bool PrintRound(IDispatch& control, const Job& job) {
  return Call(control, u"GetPrinterList", {}) &&
         Call(control, u"SetDefaultPrinter", {u"pdf:" + job.pdf}) &&
         Call(control, u"PrintXmlData", {job.data, job.rule});
}

bool ThroughRegistry(const Job& job) {
  ComPtr<IDispatch> control;
  if (CoCreateInstanceByProgID(u"TavoPreFmtPrinterX.TavoPreFmtPrinter", nullptr, IID_IDispatch,
                               control.ReceiveVoid()) != S_OK)
    return false;
  return PrintRound(*control.Get(), job);
}

bool PreviewTwice(const Job& job) {
  ComPtr<IDispatch> control;
  if (CoCreateInstanceByProgID(u"TavoPreFmtPrinterX.TavoPreFmtPrinter", nullptr, IID_IDispatch,
                               control.ReceiveVoid()) != S_OK)
    return false;
  if (!Call(*control.Get(), u"PreviewXmlData", {job.data, job.rule, u""})) return false;
  // Said for the test that closes the dialogs: the next one may take the first one's window id.
  std::printf("%s\n", kFirstPreviewClosed);
  std::fflush(stdout);
  return Call(*control.Get(), u"PreviewXmlData", {job.data, job.rule, u""});
}

// One load of the module by hand, as a host that unloads what it no longer uses.
bool LoadPrintUnload(const char* module, const Job& job) {
  void* handle = ::dlopen(module, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  auto getClassObject =
      reinterpret_cast<DllGetClassObjectFunction>(::dlsym(handle, "DllGetClassObject"));
  auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFunction>(::dlsym(handle, "DllCanUnloadNow"));
  bool ok = getClassObject != nullptr && canUnloadNow != nullptr;
  if (ok) {
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> control;
    ok =
        getClassObject(CLASS_TavoPreFmtPrinter, IID_IClassFactory, factory.ReceiveVoid()) == S_OK &&
        factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid()) == S_OK &&
        PrintRound(*control.Get(), job);
  }
  ok = ok && canUnloadNow() == S_OK;
  ::dlclose(handle);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return 2;
  const Job job{ReadText(argv[2]), ReadText(argv[3]), codepage::Utf8ToWide(argv[4])};
  const std::string mode = argv[5];
  bool ok = false;
  std::thread apartment([&] {
    if (mode == "registry") ok = ThroughRegistry(job);
    if (mode == "preview") ok = PreviewTwice(job);
    if (mode == "unload") ok = LoadPrintUnload(argv[1], job) && LoadPrintUnload(argv[1], job);
  });
  apartment.join();
  return ok ? 0 : 1;
}
