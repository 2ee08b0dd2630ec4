// ITavoPreviewPicture: the preview page as PNG picture text, drawn by the control's own engine
// so that no host draws with a copy of it.
#include <cstdint>
#include <span>
#include <string>

#include "control/MethodGuard.h"
#include "control/TavoPreFmtPrinterImpl.h"
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

HRESULT TTavoPreFmtPrinter::RenderPrintPage(BSTR, BSTR, BSTR, int32_t, BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return Guarded(IID_ITavoPreviewPicture, [] {
    throw OleError("RenderPrintPage is not available in this version", E_NOTIMPL);
  });
}

}  // namespace tavo
