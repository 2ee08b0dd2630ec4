#include "platform/barcode/Barcode.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/Error.h"

namespace tavo::barcode {
namespace {

TEST(Barcode, NamesIgnoreLetterCaseAndOnlyTheNineAreKnown) {
  EXPECT_EQ(SymbologyByName("QRCode"), Symbology::QrCode);
  EXPECT_EQ(SymbologyByName("EAN13"), Symbology::Ean13);
  EXPECT_EQ(SymbologyByName("pdf417"), Symbology::Pdf417);
  EXPECT_EQ(SymbologyByName("qr"), std::nullopt);
  EXPECT_EQ(SymbologyByName(""), std::nullopt);
  EXPECT_EQ(SymbologyByName("code128 "), std::nullopt);
  EXPECT_TRUE(IsLinear(Symbology::Itf14));
  EXPECT_FALSE(IsLinear(Symbology::DataMatrix));
}

// Every module lies inside the symbol, in whole units, and the quiet zones are the symbology's.
TEST(Barcode, ModulesAreWholeUnitsInsideTheSymbolWithTheSymbologysQuietZones) {
  const struct {
    Symbology symbology;
    std::string content;
    int32_t leftQuietZone;
  } cases[] = {
      {Symbology::Code128, "ABC-123", 10}, {Symbology::Ean13, "5012345678900", 11},
      {Symbology::Ean8, "9638507", 7},     {Symbology::QrCode, "HELLO", 4},
      {Symbology::DataMatrix, "DM", 1},    {Symbology::Pdf417, "PDF", 2},
  };
  for (const auto& c : cases) {
    for (const bool quietZone : {true, false}) {
      const Symbol symbol =
          Encode(c.content, {.symbology = c.symbology, .quietZone = quietZone}, c.content);
      ASSERT_FALSE(symbol.modules.empty()) << c.content;
      int32_t left = symbol.width;
      for (const ModuleRect& module : symbol.modules) {
        EXPECT_GE(module.left, 0);
        EXPECT_GE(module.top, 0);
        EXPECT_LE(module.right, symbol.width);
        EXPECT_LE(module.bottom, symbol.height);
        EXPECT_LT(module.left, module.right);
        EXPECT_LT(module.top, module.bottom);
        left = std::min(left, module.left);
      }
      EXPECT_EQ(left, quietZone ? c.leftQuietZone : 0) << c.content;
    }
  }
}

TEST(Barcode, LinearSymbolsTakeTheHeightAskedForGuardsAndBearersIncluded) {
  for (const Symbology symbology : {Symbology::Code128, Symbology::Ean13, Symbology::Itf14}) {
    const std::string content = symbology == Symbology::Ean13 ? "501234567890" : "1234567890123";
    const Symbol symbol = Encode(content, {.symbology = symbology, .height = 37}, content);
    EXPECT_EQ(symbol.height, 37) << content;
    // EAN guards reach 5 modules below the bars, ITF-14's bearer bars are 5 modules thick.
    if (symbology != Symbology::Code128) {
      EXPECT_THROW(Encode(content, {.symbology = symbology, .height = 5}, content), Error);
    }
  }
}

TEST(Barcode, HumanReadableTextCarriesTheCheckDigit) {
  EXPECT_EQ(Encode("501234567890", {.symbology = Symbology::Ean13}, "").humanReadable,
            "5012345678900");
  // ITF-14 takes its full 14 digits when the last is the right check digit.
  EXPECT_EQ(Encode("12345678901231", {.symbology = Symbology::Itf14}, "").humanReadable,
            "12345678901231");
  EXPECT_EQ(Encode("12345678901231", {.symbology = Symbology::Itf14}, "").modules,
            Encode("1234567890123", {.symbology = Symbology::Itf14}, "").modules);
}

}  // namespace
}  // namespace tavo::barcode
