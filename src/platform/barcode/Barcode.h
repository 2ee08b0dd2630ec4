// Barcode and 2D symbols as module rectangles: the encoder (libzint underneath) gives a symbol in
// whole module units, so a caller that draws each module as a whole number of device pixels
// lands every edge on a device pixel. Nothing is rasterized. libzint stays behind this header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::barcode {

enum class Symbology { Code128, Ean13, Ean8, UpcA, Code39, Itf14, QrCode, DataMatrix, Pdf417 };

// The symbology of a rule's name ("code128", "qrcode", ...), ASCII letter case ignored; none for
// any other name.
std::optional<Symbology> SymbologyByName(std::string_view name);
// The rule's name of the symbology, lower case.
std::string_view SymbologyName(Symbology symbology);
// One-dimensional: bars across the symbol's whole height, read along one line.
bool IsLinear(Symbology symbology);

struct Options {
  Symbology symbology = Symbology::Code128;
  bool quietZone = true;  // the symbology's own margins around the symbol
  char eccLevel = 'M';    // QR error correction: L, M, Q or H
  // Linear symbols: the whole symbol's height in modules (bars, guards, bearer bars); 0 is the
  // symbology's default. Two-dimensional symbols have their own height.
  int32_t height = 0;
};

// A dark module or run of modules; right and bottom lie outside.
struct ModuleRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const ModuleRect&) const = default;
};

struct Symbol {
  int32_t width = 0;  // modules, quiet zones included
  int32_t height = 0;
  std::vector<ModuleRect> modules;
  std::string humanReadable;  // UTF-8: the text a linear symbol shows under its bars
};

// Encodes UTF-8 content. A content the symbology cannot hold (a letter in an EAN, a wrong check
// digit, too long) fails with tavo::Error naming `displayContent` (the content as the caller's
// messages spell it), the symbology and libzint's reason.
Symbol Encode(std::string_view utf8Content, const Options& options,
              std::string_view displayContent);

}  // namespace tavo::barcode
