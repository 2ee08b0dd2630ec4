// ITavoPreviewPicture: the preview page, and the page as a printer receives it, as PNG picture
// text, drawn by the control's own engine so that no host draws with a copy of it.
#include <cstdint>
#include <span>
#include <string>

#include "control/MethodGuard.h"
#include "control/PrintPagePicture.h"
#include "control/TavoPreFmtPrinterImpl.h"
#include "control/ThePrinter.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Base64.h"
#include "platform/core/Error.h"
#include "preview/PreviewPage.h"

namespace tavo {
namespace {

std::u16string Wide(BSTR text) { return std::u16string(BstrView(text)); }

BSTR PictureText(const std::string& png) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(png.data());
  const std::string text = Base64Encode(std::span<const uint8_t>(bytes, png.size()));
  return Bstr(codepage::Utf8ToWide(text)).Detach();
}

}  // namespace

HRESULT TTavoPreFmtPrinter::RenderPreview(BSTR XmlData, BSTR XmlRule, BSTR ImagePath, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPreviewPicture, [&] {
    *Value = PictureText(PreviewPngBytes(Wide(XmlData), Wide(XmlRule), Wide(ImagePath)));
  });
}

// Only reads the printer's paper: the selection, orientation and title of the current printer
// stay as they were, and no job is opened.
HRESULT TTavoPreFmtPrinter::RenderPrintPage(BSTR XmlData, BSTR XmlRule, BSTR Printer, int32_t Width,
                                            BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPreviewPicture, [&] {
    if (Width < kMinPrintPageWidth || Width > kMaxPrintPageWidth) {
      throw OleError("Width must be " + std::to_string(kMinPrintPageWidth) + " to " +
                         std::to_string(kMaxPrintPageWidth) + " pixels, not " +
                         std::to_string(Width),
                     E_INVALIDARG);
    }
    std::string printer = codepage::WideToAnsi(BstrView(Printer));
    if (printer.empty()) printer = ThePrinter().SelectedName();
    if (printer.empty()) throw Error(kNoDefaultPrinter);
    *Value = PictureText(PrintPagePngBytes(Wide(XmlData), Wide(XmlRule), printer, Width));
  });
}

}  // namespace tavo
