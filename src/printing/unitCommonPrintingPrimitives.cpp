// The four drawing primitives of the base printer and the character wrapping of text boxes.
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "platform/codepage/CodePage.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingMath.h"
#include "printing/unitValueSyntax.h"

namespace tavo {

void TTavoCommonPrinter::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t penWidth,
                                  Color penColor) {
  Canvas& surface = DrawingCanvas();
  const int64_t originX = PageOriginX();
  const int64_t originY = PageOriginY();
  surface.SetPenWidth(penWidth);
  surface.SetPenColor(penColor);
  surface.MoveTo(ClampToInt32(x1 + originX), ClampToInt32(y1 + originY));
  surface.LineTo(ClampToInt32(x2 + originX), ClampToInt32(y2 + originY));
}

void TTavoCommonPrinter::DrawRectangle(const Rect& rect, int32_t penWidth, Color penColor) {
  Canvas& surface = DrawingCanvas();
  const Rect placed = ShiftRect(rect, PageOriginX(), PageOriginY());
  surface.SetPenWidth(penWidth);
  surface.SetPenColor(penColor);
  // The brush is left as it is: white on a fresh canvas, clear once a text box was drawn.
  surface.Rectangle(placed);
}

void TTavoCommonPrinter::DrawText(const std::string& text, Rect box, TTavoAlign horzAlign,
                                  TTavoAlign vertAlign, const std::string& fontName,
                                  int32_t fontSize, Color fontColor, bool wordBreak) {
  if (IsBlankText(text)) return;
  Canvas& surface = DrawingCanvas();

  uint32_t flags = wordBreak ? (DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL) : 0;
  if (!fontName.empty()) surface.SetFontName(fontName);
  if (fontSize != 0) surface.SetFontSize(fontSize);
  surface.SetFontColor(fontColor);
  if (horzAlign == otaRight) {
    flags |= DT_RIGHT;
  } else if (horzAlign != otaLeft) {
    flags |= DT_CENTER;
  }

  // Wrapping measures in the font just set.
  const std::string shown = wordBreak ? WrapText(text, box) : text;
  Rect measured = box;
  surface.DrawTextA(shown, measured, flags | DT_CALCRECT);
  const int64_t textWidth = measured.Width();
  const int64_t textHeight = measured.Height();

  int64_t left = box.left;
  int64_t top = box.top;
  int64_t right = box.right;
  int64_t bottom = box.bottom;
  // Unwrapped text wider than its box widens the box on the side the alignment leaves open.
  if (!wordBreak && right < measured.right) {
    if (horzAlign == otaLeft) {
      right = measured.right;
    } else if (horzAlign == otaRight) {
      left = right - textWidth;
    } else {
      const double overflow = static_cast<double>(measured.right - right);
      left = static_cast<int64_t>(std::trunc(static_cast<double>(left) - overflow / 2));
      right = static_cast<int64_t>(std::trunc(static_cast<double>(right) + overflow / 2));
    }
  }
  // The box always ends up exactly as tall as its text.
  if (vertAlign == otaTop) {
    bottom = measured.bottom;
  } else if (vertAlign == otaBottom) {
    top = bottom - textHeight;
  } else {
    top -= (int64_t{measured.bottom} - bottom) / 2;
    bottom = top + textHeight;
  }
  const Rect fitted{ClampToInt32(left), ClampToInt32(top), ClampToInt32(right),
                    ClampToInt32(bottom)};

  if (rowIndex >= 0) rowBottom = std::max(rowBottom, fitted.bottom);

  Rect placed = ShiftRect(fitted, PageOriginX(), PageOriginY());
  surface.SetBrushStyle(BrushStyle::Clear);
  surface.DrawTextA(shown, placed, flags);
}

void TTavoCommonPrinter::DrawImage(const Picture& image, Rect box, TTavoAlign horzAlign,
                                   TTavoAlign vertAlign) {
  if (!image.HasGraphic()) return;
  Canvas& surface = DrawingCanvas();

  int64_t left = box.left;
  int64_t top = box.top;
  int64_t right = box.right;
  int64_t bottom = box.bottom;
  // Picture pixels count as rule pixels.
  const int64_t naturalWidth = RuleToDeviceX(image.Width());
  if (naturalWidth < right - left) {
    const int64_t spare = right - left - naturalWidth;
    if (horzAlign == otaLeft) {
      right -= spare;
    } else if (horzAlign == otaRight) {
      left += spare;
    } else {
      const int64_t half = HalfRoundedToEven(spare);
      left += half;
      right -= half;
    }
  }
  const int64_t naturalHeight = RuleToDeviceY(image.Height());
  if (naturalHeight < bottom - top) {
    const int64_t spare = bottom - top - naturalHeight;
    if (vertAlign == otaTop) {
      bottom -= spare;
    } else if (vertAlign == otaBottom) {
      top += spare;
    } else {
      const int64_t half = HalfRoundedToEven(spare);
      top += half;
      bottom -= half;
    }
  }
  const Rect fitted{ClampToInt32(left), ClampToInt32(top), ClampToInt32(right),
                    ClampToInt32(bottom)};
  surface.StretchDraw(ShiftRect(fitted, PageOriginX(), PageOriginY()), image);
}

// Every line is the longest run of characters that fits, at least one character long. The fit
// of characters start..i+1 is judged from a running sum of single-character widths while that
// sum stays clear of the limit by twice the widest character; only near the limit is the run
// itself measured. Widths of runs are sums of character widths on every device we know, so the
// result is the one measuring every run would give, in time linear in the text.
std::string TTavoCommonPrinter::WrapText(const std::string& text, const Rect& box) {
  Canvas& surface = DrawingCanvas();
  const std::vector<std::string> chars = codepage::SplitCharacters(text);
  const int64_t count = static_cast<int64_t>(chars.size());
  const int64_t maxWidth = box.Width();

  std::map<std::string, int64_t> charWidths;
  int64_t widest = 0;
  auto charWidth = [&](const std::string& ch) {
    auto found = charWidths.find(ch);
    if (found == charWidths.end()) {
      found = charWidths.emplace(ch, surface.GetTextExtentPoint32A(ch).cx).first;
      widest = std::max(widest, found->second);
    }
    return found->second;
  };
  auto runWidth = [&](int64_t from, int64_t to) {
    std::string run;
    for (int64_t k = from; k <= to; ++k) run += chars[k];
    return int64_t{surface.GetTextExtentPoint32A(run).cx};
  };

  std::string result;
  result.reserve(text.size() + text.size() / 4);
  auto append = [&](int64_t from, int64_t to) {
    for (int64_t k = from; k <= to; ++k) result += chars[k];
  };

  int64_t start = 0;
  int64_t summedTo = -1;  // the width below covers characters start..summedTo
  int64_t width = 0;
  for (int64_t i = 0; i < count; ++i) {
    if (chars[i] == "\r" || chars[i] == "\n") {
      append(start, i);
      start = i + 1;
      summedTo = i;
      width = 0;
      continue;
    }
    const int64_t end = std::min(i + 1, count - 1);
    while (summedTo < end) width += charWidth(chars[++summedTo]);
    bool fits = width + 2 * widest <= maxWidth;
    if (!fits) {
      width = runWidth(start, end);
      fits = width <= maxWidth;
    }
    if (!fits) {
      append(start, i);
      result += "\r\n";
      start = i + 1;
      summedTo = i;
      width = 0;
    }
  }
  append(start, count - 1);
  return result;
}

}  // namespace tavo
