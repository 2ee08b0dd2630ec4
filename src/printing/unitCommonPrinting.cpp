#include "printing/unitCommonPrinting.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/core/Error.h"
#include "platform/printer/Printer.h"
#include "printing/unitCommonPrintingMath.h"

namespace tavo {
namespace {

// numerator / denominator (denominator > 0), rounded half to even; the remainder tells the
// rounding without error.
template <typename Integer>
Integer RoundedQuotient(Integer numerator, Integer denominator) {
  Integer quotient = numerator / denominator;
  Integer twiceRemainder = 2 * (numerator % denominator);
  if (twiceRemainder < 0) twiceRemainder = -twiceRemainder;
  if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0)) {
    quotient += numerator < 0 ? -1 : 1;
  }
  return quotient;
}

// value x device dpi / rule dpi, rounded half to even in exact integer arithmetic: the product
// of two 32-bit values fits 64 bits.
int32_t ScaleRulePixels(int32_t value, int32_t deviceDpi, int32_t ruleDpi) {
  if (ruleDpi == 0) throw Error("Floating point division by zero");
  int64_t numerator = int64_t{value} * deviceDpi;
  int64_t denominator = ruleDpi;
  if (denominator < 0) {
    numerator = -numerator;
    denominator = -denominator;
  }
  return ClampToInt32(RoundedQuotient(numerator, denominator));
}

// mm x device dpi / 25.4, rounded half to even, exactly: a double is M x 2^E with a 53-bit
// integer M, so the result is the fraction dpi x M x 5 x 2^E / 127 of integers, whose numerator
// fits 128 bits. (long double is no exact stand-in: 80 bits on x86-64, 128 on arm64, and ties
// such as 102.25 mm at 254 dpi, 1022.5 device pixels, rounded differently.)
int32_t ScaleMillimetres(double mm, int32_t deviceDpi) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  if (std::isnan(mm) || (std::isinf(mm) && deviceDpi == 0)) {
    throw Error("Invalid floating point operation");
  }
  if (mm == 0 || deviceDpi == 0) return 0;
  const bool negative = (mm < 0) != (deviceDpi < 0);
  if (std::isinf(mm)) return negative ? kMin : kMax;
  int exponent = 0;
  const double fraction = std::frexp(std::fabs(mm), &exponent);  // in [0.5, 1)
  const auto mantissa = static_cast<int64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  // mm >= 2^52 here, far past any 32-bit result.
  if (exponent >= 0) return negative ? kMin : kMax;
  // Below 2^-120 the result is under half a pixel: the numerator is under 2^87.
  if (exponent < -120) return 0;
  using Wide = __int128;
  const Wide numerator = Wide{mantissa} * (deviceDpi < 0 ? -Wide{deviceDpi} : Wide{deviceDpi}) * 5;
  const Wide magnitude = RoundedQuotient(numerator, Wide{127} << -exponent);
  if (magnitude > kMax) return negative ? kMin : kMax;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
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
