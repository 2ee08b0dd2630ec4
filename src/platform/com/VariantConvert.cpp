// VariantChangeType: the conversions Invoke needs to turn a caller's arguments into the
// parameter types of a method, with the system's rounding and failure codes.
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <variant>

#include "platform/com/Variant.h"
#include "platform/com/VariantValue.h"

namespace tavo {
namespace {

// A source value reduced to what conversions look at.
using Scalar = std::variant<std::monostate, int32_t, double, bool, std::u16string_view>;

std::optional<Scalar> ToScalar(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY:
      return Scalar{};
    case VT_I2:
      return Scalar{int32_t{value.iVal}};
    case VT_I4:
      return Scalar{value.lVal};
    case VT_R8:
      return Scalar{value.dblVal};
    case VT_BOOL:
      return Scalar{value.boolVal != VARIANT_FALSE};
    case VT_BSTR:
      return Scalar{BstrView(value.bstrVal)};
    default:
      return std::nullopt;  // null, objects, errors
  }
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

bool EqualsAsciiNoCase(std::u16string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != static_cast<char16_t>(word[i])) return false;
  }
  return true;
}

// Decimal text ("-12", " 3.5 ", "1e3") as a number.
std::optional<double> ParseNumber(std::u16string_view text) {
  text = Trim(text);
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  std::string_view digits = ascii;
  const bool plus = !digits.empty() && digits.front() == '+';
  if (plus) digits.remove_prefix(1);
  if (digits.empty() || (plus && digits.front() == '-')) return std::nullopt;
  double number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number,
                                            std::chars_format::general);
  if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(number))
    return std::nullopt;
  return number;
}

struct Failure {
  HRESULT status;
};
using Number = std::variant<double, Failure>;

Number ToNumber(const Scalar& scalar) {
  if (std::holds_alternative<std::monostate>(scalar)) return 0.0;
  if (const auto* i = std::get_if<int32_t>(&scalar)) return double(*i);
  if (const auto* d = std::get_if<double>(&scalar)) return *d;
  if (const auto* b = std::get_if<bool>(&scalar)) return *b ? -1.0 : 0.0;
  const auto parsed = ParseNumber(std::get<std::u16string_view>(scalar));
  if (!parsed) return Failure{DISP_E_TYPEMISMATCH};
  return *parsed;
}

// Rounds half to even, as the system's conversions to integers do, within [low, high].
std::optional<int32_t> ToInteger(double number, double low, double high) {
  if (std::isnan(number)) return std::nullopt;
  const double rounded = std::nearbyint(number);  // the default rounding mode: half to even
  if (rounded < low || rounded > high) return std::nullopt;
  return static_cast<int32_t>(rounded);
}

std::u16string Widen(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string NumberText(const Scalar& scalar, uint16_t flags) {
  if (std::holds_alternative<std::monostate>(scalar)) return u"";
  if (const auto* i = std::get_if<int32_t>(&scalar)) return Widen(std::to_string(*i));
  if (const auto* b = std::get_if<bool>(&scalar)) {
    if (flags & VARIANT_ALPHABOOL) return *b ? u"True" : u"False";
    return *b ? u"-1" : u"0";
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(scalar),
                                    std::chars_format::general, 15);
  return Widen(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
}

HRESULT Convert(const VARIANT& value, uint16_t flags, VARTYPE type, VARIANT& result) {
  if (value.vt == type) return VariantCopy(&result, &value);
  const auto scalar = ToScalar(value);
  if (!scalar || type == VT_EMPTY || type == VT_NULL) return DISP_E_TYPEMISMATCH;

  if (type == VT_BSTR) {
    const auto text = std::holds_alternative<std::u16string_view>(*scalar)
                          ? std::u16string(std::get<std::u16string_view>(*scalar))
                          : NumberText(*scalar, flags);
    result.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (result.bstrVal == nullptr) return E_OUTOFMEMORY;
    result.vt = VT_BSTR;
    return S_OK;
  }
  if (type == VT_BOOL) {
    if (const auto* text = std::get_if<std::u16string_view>(&*scalar)) {
      if (EqualsAsciiNoCase(Trim(*text), "true") || EqualsAsciiNoCase(Trim(*text), "false")) {
        result.vt = VT_BOOL;
        result.boolVal = EqualsAsciiNoCase(Trim(*text), "true") ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
      }
    }
  }
  const Number number = ToNumber(*scalar);
  if (const auto* failure = std::get_if<Failure>(&number)) return failure->status;
  const double n = std::get<double>(number);
  switch (type) {
    case VT_BOOL:
      result.boolVal = n != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_R8:
      result.dblVal = n;
      break;
    case VT_I4: {
      const auto i = ToInteger(n, -2147483648.0, 2147483647.0);
      if (!i) return DISP_E_OVERFLOW;
      result.lVal = *i;
      break;
    }
    case VT_I2: {
      const auto i = ToInteger(n, -32768.0, 32767.0);
      if (!i) return DISP_E_OVERFLOW;
      result.iVal = static_cast<int16_t>(*i);
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  result.vt = type;
  return S_OK;
}

bool IsConvertibleTarget(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_BSTR:
    case VT_BOOL:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_ERROR:
      return true;
    default:
      return false;
  }
}

}  // namespace

HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, uint16_t flags, VARTYPE type) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (!IsConvertibleTarget(type)) return DISP_E_BADVARTYPE;
  VARIANT value;
  if (!DereferenceVariant(*source, value)) return E_INVALIDARG;
  VARIANT result;
  VariantInit(&result);
  const HRESULT status = Convert(value, flags, type, result);
  if (FAILED(status)) {
    VariantClear(&result);
    return status;
  }
  // Clear the target only now: it may be the source itself.
  VariantClear(target);
  *target = result;
  return S_OK;
}

}  // namespace tavo
