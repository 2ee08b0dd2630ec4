// The thirteen methods. Each is a thin entry point: wide arguments become ANSI text, the body
// runs inside the guard, out values start cleared.
#include <string>

#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "control/ThePrinter.h"
#include "control/unitTavoOcxUtils.h"
#include "platform/codepage/CodePage.h"
#include "platform/http/HttpDownload.h"
#include "platform/printer/Printer.h"
#include "preview/ShowPreview.h"
#include "printing/unitCommonPrinting.h"

namespace tavo {
namespace {

std::string Ansi(BSTR text) { return codepage::WideToAnsi(BstrView(text)); }
std::u16string Wide(BSTR text) { return std::u16string(BstrView(text)); }

BSTR NewString(const std::string& ansi) {
  Bstr text(codepage::AnsiToWide(ansi));
  return text.Detach();
}

template <typename T>
HRESULT ClearOut(T* value, T cleared) {
  if (value == nullptr) return E_POINTER;
  *value = cleared;
  return S_OK;
}

}  // namespace

HRESULT TTavoPreFmtPrinter::fprintText(int32_t, int32_t, BSTR, int32_t, BSTR) { return S_OK; }

HRESULT TTavoPreFmtPrinter::fprintImg(int32_t, int32_t, int32_t, int32_t, BSTR) { return S_OK; }

HRESULT TTavoPreFmtPrinter::downloadImg(BSTR sourceImg, BSTR desImg) {
  return Guarded([&] { http::DownloadToFile(Ansi(sourceImg), Ansi(desImg)); });
}

// The calls that reach the printer's devices hold a drawing scope: an application a device asks
// for goes when the call ends, on the host's thread.
HRESULT TTavoPreFmtPrinter::fprintStart(BSTR title) {
  return Guarded([&] {
    Printer& printer = ThePrinter();
    try {
      printer.SetTitle(Ansi(title));
      printer.BeginDoc();
    } catch (const std::exception&) {
      // A job that cannot begin is aborted, not reported; aborting without a job open fails,
      // and that failure is the method's.
      printer.Abort();
    }
  });
}

HRESULT TTavoPreFmtPrinter::fprintEnd(BSTR) {
  return Guarded([&] { ThePrinter().EndDoc(); });
}

HRESULT TTavoPreFmtPrinter::PrintXmlData(BSTR XmlData, BSTR XmlRule) {
  return Guarded([&] {
    ThePrinter();
    PrintOnCurrentPrinter(Ansi(XmlRule), Ansi(XmlData));
  });
}

HRESULT TTavoPreFmtPrinter::PreviewXmlData(BSTR XmlData, BSTR XmlRule, BSTR ImagePath) {
  return Guarded([&] {
    ThePrinter();
    ShowPreview(Wide(XmlData), Wide(XmlRule), Wide(ImagePath));
  });
}

HRESULT TTavoPreFmtPrinter::GetVer(BSTR filepath, BSTR* Value) {
  if (const HRESULT status = ClearOut<BSTR>(Value, nullptr); FAILED(status)) return status;
  return Guarded([&] { *Value = Bstr(GetFileVersionText(BstrView(filepath))).Detach(); });
}

HRESULT TTavoPreFmtPrinter::GetOcxVersion(BSTR version, int32_t* Value) {
  if (const HRESULT status = ClearOut<int32_t>(Value, 0); FAILED(status)) return status;
  return Guarded([&] {
    const std::u16string installed = GetClassFileVersion(CLASS_TavoPreFmtPrinter);
    if (installed.empty()) {
      *Value = -1;
    } else {
      *Value = installed == BstrView(version) ? 1 : 0;
    }
  });
}

HRESULT TTavoPreFmtPrinter::SetDefaultPrinter(BSTR DefaultPrt, VARIANT_BOOL* Value) {
  if (const HRESULT status = ClearOut<VARIANT_BOOL>(Value, VARIANT_FALSE); FAILED(status)) {
    return status;
  }
  return Guarded(
      [&] { *Value = ThePrinter().Select(Ansi(DefaultPrt)) ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT TTavoPreFmtPrinter::GetDefaultPrinter(BSTR* Value) {
  if (const HRESULT status = ClearOut<BSTR>(Value, nullptr); FAILED(status)) return status;
  return Guarded([&] { *Value = NewString(ThePrinter().SelectedName()); });
}

HRESULT TTavoPreFmtPrinter::GetPrinterList(BSTR* Value) {
  if (const HRESULT status = ClearOut<BSTR>(Value, nullptr); FAILED(status)) return status;
  return Guarded([&] {
    std::string list;
    for (const std::string& name : ThePrinter().PrinterNames()) {
      if (!list.empty()) list += '\n';
      list += name;
    }
    *Value = NewString(list);
  });
}

HRESULT TTavoPreFmtPrinter::IFOcxGuid(BSTR ARegGuid, VARIANT_BOOL* Value) {
  if (const HRESULT status = ClearOut<VARIANT_BOOL>(Value, VARIANT_FALSE); FAILED(status)) {
    return status;
  }
  return Guarded(
      [&] { *Value = IsClassRegistered(Ansi(ARegGuid)) ? VARIANT_TRUE : VARIANT_FALSE; });
}

}  // namespace tavo
