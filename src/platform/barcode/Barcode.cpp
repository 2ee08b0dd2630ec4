// The symbologies of the rule format over libzint's vector output, at the scale where one module
// is one unit.
#include "platform/barcode/Barcode.h"

#include <cmath>

#include "platform/barcode/ZintSymbol.h"
#include "platform/core/AsciiText.h"
#include "platform/core/Error.h"

namespace tavo::barcode {
namespace {

struct SymbologyInfo {
  Symbology symbology;
  std::string_view name;
  int zintId;
  bool linear;
};

constexpr SymbologyInfo kSymbologies[] = {
    {Symbology::Code128, "code128", BARCODE_CODE128, true},
    {Symbology::Ean13, "ean13", BARCODE_EANX, true},
    {Symbology::Ean8, "ean8", BARCODE_EANX, true},
    {Symbology::UpcA, "upca", BARCODE_UPCA, true},
    {Symbology::Code39, "code39", BARCODE_CODE39, true},
    {Symbology::Itf14, "itf14", BARCODE_ITF14, true},
    {Symbology::QrCode, "qrcode", BARCODE_QRCODE, false},
    {Symbology::DataMatrix, "datamatrix", BARCODE_DATAMATRIX, false},
    {Symbology::Pdf417, "pdf417", BARCODE_PDF417, false},
};

const SymbologyInfo& InfoOf(Symbology symbology) {
  for (const SymbologyInfo& info : kSymbologies) {
    if (info.symbology == symbology) return info;
  }
  return kSymbologies[0];
}

// libzint scale 0.5 gives one vector unit per module.
constexpr float kUnitPerModule = 0.5f;

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

[[noreturn]] void Fail(std::string_view displayContent, Symbology symbology,
                       std::string_view reason) {
  std::string message = "The content \"";
  message += displayContent;
  message += "\" cannot be encoded as ";
  message += SymbologyName(symbology);
  message += ": ";
  message += reason;
  throw Error(message);
}

// The GS1 check digit of a digit run: weights 3 and 1 from the right.
char Gs1CheckDigit(std::string_view digits) {
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    const int weight = (digits.size() - i) % 2 == 1 ? 3 : 1;
    sum += (digits[i] - '0') * weight;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// What libzint is given: EANX reads any short digit run as EAN-13 or an add-on, so the rule's
// symbology decides the length, and a full-length content brings its own check digit.
struct ZintInput {
  int zintId;
  std::string_view content;
};

ZintInput InputFor(std::string_view content, const Options& options,
                   std::string_view displayContent) {
  ZintInput input{InfoOf(options.symbology).zintId, content};
  size_t digits = 0;
  if (options.symbology == Symbology::Ean13) digits = 12;
  if (options.symbology == Symbology::Ean8) digits = 7;
  if (options.symbology == Symbology::Itf14) digits = 13;
  if (digits == 0 || !AllDigits(content)) return input;  // libzint names a bad character
  if (content.size() == digits + 1) {
    if (options.symbology != Symbology::Itf14) {
      input.zintId = BARCODE_EANX_CHK;
      return input;
    }
    // libzint's ITF-14 takes 13 digits and adds the check digit itself.
    const char expected = Gs1CheckDigit(content.substr(0, digits));
    if (content.back() != expected) {
      Fail(displayContent, options.symbology,
           std::string("Invalid check digit '") + content.back() + "', expecting '" + expected +
               "'");
    }
    input.content = content.substr(0, digits);
    return input;
  }
  if (options.symbology != Symbology::Itf14 && content.size() != digits) {
    Fail(displayContent, options.symbology,
         "it takes " + std::to_string(digits) + " digits, or " + std::to_string(digits + 1) +
             " with the check digit");
  }
  return input;
}

ZintSymbol EncodeSymbol(std::string_view utf8Content, const Options& options, float height,
                        std::string_view displayContent) {
  const ZintInput input = InputFor(utf8Content, options, displayContent);
  const std::string_view content = input.content;
  ZintSymbol symbol(ZBarcode_Create());
  if (!symbol) throw Error("Out of memory");
  const SymbologyInfo& info = InfoOf(options.symbology);
  symbol->symbology = input.zintId;
  symbol->input_mode = UNICODE_MODE;
  symbol->show_hrt = 0;
  symbol->scale = kUnitPerModule;
  symbol->output_options |= options.quietZone ? BARCODE_QUIET_ZONES : BARCODE_NO_QUIET_ZONES;
  if (height > 0) symbol->height = height;
  if (options.symbology == Symbology::QrCode) {
    const std::string_view levels = "LMQH";
    const size_t level = levels.find(options.eccLevel);
    symbol->option_1 = level == std::string_view::npos ? 2 : static_cast<int>(level) + 1;
  }
  if (options.symbology == Symbology::DataMatrix) symbol->option_3 = DM_SQUARE;
  // Two-dimensional symbols carry other text as UTF-8, announced by ECI 26, so every reader
  // gets back the same characters.
  if (!info.linear && !IsAscii(content)) symbol->eci = 26;

  const int result =
      ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(content.data()),
                      static_cast<int>(content.size()));
  if (result >= ZINT_ERROR) Fail(displayContent, options.symbology, symbol->errtxt);
  if (ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR || !symbol->vector) {
    Fail(displayContent, options.symbology, symbol->errtxt);
  }
  return symbol;
}

int32_t Units(float value) { return static_cast<int32_t>(std::lround(value)); }

Symbol ToSymbol(const zint_symbol& symbol) {
  Symbol out;
  out.width = Units(symbol.vector->width);
  out.height = Units(symbol.vector->height);
  for (const zint_vector_rect* rect = symbol.vector->rectangles; rect; rect = rect->next) {
    if (rect->colour != -1) continue;  // only dark modules are drawn
    const int32_t left = Units(rect->x);
    const int32_t top = Units(rect->y);
    out.modules.push_back({left, top, Units(rect->x + rect->width), Units(rect->y + rect->height)});
  }
  out.humanReadable = reinterpret_cast<const char*>(symbol.text);
  return out;
}

}  // namespace

std::optional<Symbology> SymbologyByName(std::string_view name) {
  for (const SymbologyInfo& info : kSymbologies) {
    if (EqualsIgnoringAsciiCase(info.name, name)) return info.symbology;
  }
  return std::nullopt;
}

std::string_view SymbologyName(Symbology symbology) { return InfoOf(symbology).name; }

bool IsLinear(Symbology symbology) { return InfoOf(symbology).linear; }

Symbol Encode(std::string_view utf8Content, const Options& options,
              std::string_view displayContent) {
  ZintSymbol symbol = EncodeSymbol(utf8Content, options, 0, displayContent);
  if (IsLinear(options.symbology) && options.height > 0) {
    // Guards and bearer bars stand beyond the bars' own height.
    const float beyondBars = symbol->vector->height - symbol->height;
    const float barHeight = static_cast<float>(options.height) - beyondBars;
    if (barHeight < 1) {
      Fail(displayContent, options.symbology,
           "it needs more than " + std::to_string(options.height) + " modules of height");
    }
    symbol = EncodeSymbol(utf8Content, options, barHeight, displayContent);
  }
  return ToSymbol(*symbol);
}

}  // namespace tavo::barcode
