#include "printing/unitFormUtils.h"

#include <array>
#include <exception>
#include <optional>

#include "platform/core/AsciiText.h"
#include "platform/core/Base64.h"
#include "platform/core/Error.h"
#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

struct ColorName {
  std::string_view name;
  Color value;
};

constexpr Color SystemColor(uint32_t number) { return 0xFF000000u | number; }

constexpr std::array kColorNames = {
    // Fixed colours, 00BBGGRR.
    ColorName{"clBlack", 0x000000},
    ColorName{"clMaroon", 0x000080},
    ColorName{"clGreen", 0x008000},
    ColorName{"clOlive", 0x008080},
    ColorName{"clNavy", 0x800000},
    ColorName{"clPurple", 0x800080},
    ColorName{"clTeal", 0x808000},
    ColorName{"clGray", 0x808080},
    ColorName{"clSilver", 0xC0C0C0},
    ColorName{"clRed", 0x0000FF},
    ColorName{"clLime", 0x00FF00},
    ColorName{"clYellow", 0x00FFFF},
    ColorName{"clBlue", 0xFF0000},
    ColorName{"clFuchsia", 0xFF00FF},
    ColorName{"clAqua", 0xFFFF00},
    ColorName{"clWhite", 0xFFFFFF},
    ColorName{"clMoneyGreen", 0xC0DCC0},
    ColorName{"clSkyBlue", 0xF0CAA6},
    ColorName{"clCream", 0xF0FBFF},
    ColorName{"clMedGray", 0xA4A0A0},
    // System colours, FF0000nn.
    ColorName{"clScrollBar", SystemColor(0)},
    ColorName{"clBackground", SystemColor(1)},
    ColorName{"clActiveCaption", SystemColor(2)},
    ColorName{"clInactiveCaption", SystemColor(3)},
    ColorName{"clMenu", SystemColor(4)},
    ColorName{"clWindow", SystemColor(5)},
    ColorName{"clWindowFrame", SystemColor(6)},
    ColorName{"clMenuText", SystemColor(7)},
    ColorName{"clWindowText", SystemColor(8)},
    ColorName{"clCaptionText", SystemColor(9)},
    ColorName{"clActiveBorder", SystemColor(10)},
    ColorName{"clInactiveBorder", SystemColor(11)},
    ColorName{"clAppWorkSpace", SystemColor(12)},
    ColorName{"clHighlight", SystemColor(13)},
    ColorName{"clHighlightText", SystemColor(14)},
    ColorName{"clBtnFace", SystemColor(15)},
    ColorName{"clBtnShadow", SystemColor(16)},
    ColorName{"clGrayText", SystemColor(17)},
    ColorName{"clBtnText", SystemColor(18)},
    ColorName{"clInactiveCaptionText", SystemColor(19)},
    ColorName{"clBtnHighlight", SystemColor(20)},
    ColorName{"cl3DDkShadow", SystemColor(21)},
    ColorName{"cl3DLight", SystemColor(22)},
    ColorName{"clInfoText", SystemColor(23)},
    ColorName{"clInfoBk", SystemColor(24)},
    ColorName{"clHotLight", SystemColor(26)},
    ColorName{"clGradientActiveCaption", SystemColor(27)},
    ColorName{"clGradientInactiveCaption", SystemColor(28)},
    ColorName{"clMenuHighlight", SystemColor(29)},
    ColorName{"clMenuBar", SystemColor(30)},
    // Special values.
    ColorName{"clNone", clNone},
    ColorName{"clDefault", clDefault},
};

// A colour name, else the integer syntax; nothing for any other text.
std::optional<Color> ReadColor(std::string_view text) {
  for (const ColorName& entry : kColorNames) {
    if (EqualsIgnoringAsciiCase(text, entry.name)) return entry.value;
  }
  int32_t value = 0;
  if (TryReadInteger(text, value)) return static_cast<Color>(value);
  return std::nullopt;
}

}  // namespace

Color TextToColor(std::string_view text, Color defaultColor) {
  if (IsBlankText(text)) return defaultColor;
  return ReadColor(text).value_or(defaultColor);
}

Color StrictTextToColor(std::string_view text) {
  if (const std::optional<Color> color = ReadColor(text)) return *color;
  throw Error("'" + std::string(text) + "' is not a valid integer value");
}

int Base64ImageKind(std::string_view text) {
  const std::string_view head = text.substr(0, 2);
  if (head == "/9") return bkJpeg;
  if (head == "Qk") return bkBmp;
  if (head == "iV") return bkPng;
  return bkNone;
}

void LoadBase64Image(std::string_view text, Picture& picture) {
  try {
    const int kind = Base64ImageKind(text);
    if (kind == bkNone) return;
    const std::vector<uint8_t> bytes = DecodeBase64(text);
    switch (kind) {
      case bkBmp:
        picture.Assign(Graphic{GraphicKind::Bitmap, 0, 0, {}});
        if (std::optional<Graphic> graphic = DecodeBmp(bytes)) picture.Assign(std::move(*graphic));
        break;
      case bkJpeg:
        picture.Assign(Graphic{GraphicKind::Jpeg, 0, 0, {}});
        if (std::optional<Graphic> graphic = DecodeJpeg(bytes)) {
          picture.Assign(std::move(*graphic));
        }
        break;
      case bkPng:
        if (std::optional<Graphic> graphic = DecodePng(bytes)) picture.Assign(std::move(*graphic));
        break;
      default:
        break;
    }
  } catch (const std::exception&) {
    // A picture that cannot be loaded is simply not drawn.
  }
}

}  // namespace tavo
