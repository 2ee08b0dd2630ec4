#include "printing/unitCommonPrinting.h"

#include <cstdlib>

#include "platform/core/Error.h"
#include "platform/printer/Printer.h"
#include "printing/unitCommonPrintingMath.h"

namespace tavo {
namespace {

// value x device dpi / rule dpi, rounded half to even in exact integer arithmetic: the product
// of two 32-bit values fits 64 bits, and the remainder tells the rounding without error.
int32_t ScaleRulePixels(int32_t value, int32_t deviceDpi, int32_t ruleDpi) {
  if (ruleDpi == 0) throw Error("Floating point division by zero");
  int64_t numerator = int64_t{value} * deviceDpi;
  int64_t denominator = ruleDpi;
  if (denominator < 0) {
    numerator = -numerator;
    denominator = -denominator;
  }
  int64_t quotient = numerator / denominator;
  const int64_t twiceRemainder = 2 * (numerator % denominator);
  const int64_t away = numerator < 0 ? -1 : 1;
  if (std::llabs(twiceRemainder) > denominator ||
      (std::llabs(twiceRemainder) == denominator && quotient % 2 != 0)) {
    quotient += away;
  }
  return ClampToInt32(quotient);
}

int32_t ScaleMillimetres(double mm, int32_t deviceDpi) {
  return RoundHalfEvenToInt32(static_cast<long double>(deviceDpi) * mm / 25.4L);
}

}  // namespace

TTavoCommonPrinter::TTavoCommonPrinter() : settings(std::make_unique<TTavoPrinterSetting>()) {}

TTavoCommonPrinter::~TTavoCommonPrinter() = default;

TTavoPrinterSetting& TTavoCommonPrinter::Settings() const {
  if (!settings) {
    std::string message = "The print rule holds no usable page settings";
    if (!unusableReason_.empty()) message += " (" + unusableReason_ + ")";
    throw Error(message);
  }
  return *settings;
}

DeviceCaps TTavoCommonPrinter::DrawingDC() const {
  return canvas ? canvas->Device().Caps() : CurrentPrinter().Caps();
}

Canvas& TTavoCommonPrinter::DrawingCanvas() const {
  if (!canvas) throw Error("There is no canvas to draw on");
  return *canvas;
}

int32_t TTavoCommonPrinter::PhysicalOffsetX() const { return DrawingDC().Get(PHYSICALOFFSETX); }

int32_t TTavoCommonPrinter::PhysicalOffsetY() const { return DrawingDC().Get(PHYSICALOFFSETY); }

int32_t TTavoCommonPrinter::RuleToDeviceX(int32_t value) const {
  return ScaleRulePixels(value, DrawingDC().Get(LOGPIXELSX), dpix);
}

int32_t TTavoCommonPrinter::RuleToDeviceY(int32_t value) const {
  return ScaleRulePixels(value, DrawingDC().Get(LOGPIXELSY), dpiy);
}

int32_t TTavoCommonPrinter::MmToDeviceX(double mm) const {
  return ScaleMillimetres(mm, DrawingDC().Get(LOGPIXELSX));
}

int32_t TTavoCommonPrinter::MmToDeviceY(double mm) const {
  return ScaleMillimetres(mm, DrawingDC().Get(LOGPIXELSY));
}

Rect TTavoCommonPrinter::RuleToDeviceRect(const Rect& rect) const {
  Rect device;
  device.left = RuleToDeviceX(rect.left);
  device.top = RuleToDeviceY(rect.top);
  device.right = RuleToDeviceX(rect.right);
  device.bottom = RuleToDeviceY(rect.bottom);
  return device;
}

Rect TTavoCommonPrinter::ShiftRect(const Rect& rect, int64_t dx, int64_t dy) {
  return Rect{ClampToInt32(rect.left + dx), ClampToInt32(rect.top + dy),
              ClampToInt32(rect.right + dx), ClampToInt32(rect.bottom + dy)};
}

int64_t TTavoCommonPrinter::PageOriginX() const {
  return int64_t{MmToDeviceX(OffsetXmm())} - PhysicalOffsetX();
}

int64_t TTavoCommonPrinter::PageOriginY() const {
  return int64_t{MmToDeviceY(OffsetYmm())} - PhysicalOffsetY();
}

double TTavoCommonPrinter::OffsetXmm() const { return Settings().offsetLeft; }

double TTavoCommonPrinter::OffsetYmm() const { return Settings().offsetTop; }

}  // namespace tavo
