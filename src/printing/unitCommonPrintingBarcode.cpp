// The barcode element: a symbol encoded from its content and drawn as whole-device-pixel fills,
// so that every module edge lands on a device pixel at any resolution.
#include <algorithm>

#include "platform/barcode/Barcode.h"
#include "platform/codepage/CodePage.h"
#include "printing/unitCommonPrinting.h"
#include "printing/unitCommonPrintingMath.h"
#include "printing/unitFormUtils.h"
#include "printing/unitValueSyntax.h"

namespace tavo {
namespace {

// The barcode changes no canvas setting that a later element relies on: a rectangle after it
// keeps the brush, a text box without font name keeps the font it would have had.
class CanvasStateScope {
 public:
  explicit CanvasStateScope(Canvas& canvas)
      : canvas_(canvas),
        pen_(canvas.GetPen()),
        brush_(canvas.GetBrush()),
        font_(canvas.GetFont()) {}
  ~CanvasStateScope() {
    canvas_.SetPenWidth(pen_.width);
    canvas_.SetPenColor(pen_.color);
    canvas_.SetBrushStyle(brush_.style);
    canvas_.SetBrushColor(brush_.color);
    canvas_.SetFontName(font_.name);
    canvas_.SetFontSize(font_.size);
    canvas_.SetFontColor(font_.color);
  }
  CanvasStateScope(const CanvasStateScope&) = delete;
  CanvasStateScope& operator=(const CanvasStateScope&) = delete;

 private:
  Canvas& canvas_;
  Pen pen_;
  Brush brush_;
  Font font_;
};

char ReadEccLevel(std::string_view text) {
  if (text.size() == 1) {
    const char level = static_cast<char>(text[0] & ~0x20);  // ASCII upper case
    if (level == 'L' || level == 'M' || level == 'Q' || level == 'H') return level;
  }
  return 'M';
}

// Where a span of `size` starts inside [low, high) by the alignment, as images are placed.
int64_t AlignedStart(int64_t low, int64_t high, int64_t size, TTavoAlign align, TTavoAlign first,
                     TTavoAlign last) {
  if (align == first) return low;
  if (align == last) return high - size;
  return low + HalfRoundedToEven(std::max<int64_t>(high - low - size, 0));
}

[[noreturn]] void FailToFit(const std::string& content, barcode::Symbology symbology,
                            const Rect& box) {
  std::string message = "The content \"" + content + "\" cannot be encoded as ";
  message += barcode::SymbologyName(symbology);
  message += ": it does not fit its box of " + std::to_string(std::max<int64_t>(box.Width(), 0)) +
             " x " + std::to_string(std::max<int64_t>(box.Height(), 0)) +
             " device pixels at one pixel per module";
  throw Error(message);
}

}  // namespace

void TTavoXmlDataPrinter::DrawBarcodeElement(const TItem& element, const std::string& content) {
  if (content.empty()) return;
  const Rect box = RuleToDeviceRect(Rect{ReadInteger(element.GetAttribute("left"), 0),
                                         ReadInteger(element.GetAttribute("top"), 0),
                                         ReadInteger(element.GetAttribute("right"), 0),
                                         ReadInteger(element.GetAttribute("bottom"), 0)});
  barcode::Options options;
  options.symbology = barcode::SymbologyByName(element.GetAttribute("symbology"))
                          .value_or(barcode::Symbology::Code128);
  options.quietZone = ReadBoolean(element.GetAttribute("quietZone"), true);
  options.eccLevel = ReadEccLevel(element.GetAttribute("eccLevel"));
  const bool linear = barcode::IsLinear(options.symbology);
  const bool humanReadable = ReadBoolean(element.GetAttribute("humanReadable"), linear);
  const int32_t moduleSize = ReadInteger(element.GetAttribute("moduleSize"), 0);
  const std::string fontName = element.GetAttribute("fontName");
  const int32_t fontSize = ReadInteger(element.GetAttribute("fontSize"), 0);
  const Color color = TextToColor(element.GetAttribute("color"), clBlack);
  const TTavoAlign horzAlign = TextToAlign(element.GetAttribute("horzAlign"));
  const TTavoAlign vertAlign = TextToAlign(element.GetAttribute("vertAlign"));

  const std::string utf8Content = codepage::AnsiToUtf8(content);
  barcode::Symbol symbol = barcode::Encode(utf8Content, options, content);

  Canvas& surface = DrawingCanvas();
  const CanvasStateScope keepState(surface);
  if (!fontName.empty()) surface.SetFontName(fontName);
  if (fontSize != 0) surface.SetFontSize(fontSize);
  const std::string caption = !humanReadable ? std::string()
                              : linear       ? codepage::Utf8ToAnsi(symbol.humanReadable)
                                             : content;
  const int64_t captionHeight = caption.empty() ? 0 : surface.GetTextExtentPoint32A(caption).cy;

  // The largest whole number of device pixels per module that fits the box; a module size the
  // rule asks for is taken when it fits. Linear bars then fill the height the caption leaves.
  const int64_t symbolRoom = box.Height() - captionHeight;
  int64_t module = box.Width() / symbol.width;
  if (!linear) module = std::min(module, symbolRoom / symbol.height);
  if (moduleSize > 0) module = std::min<int64_t>(module, moduleSize);
  if (module < 1 || symbolRoom < module) FailToFit(content, options.symbology, box);
  if (linear) {
    options.height = ClampToInt32(symbolRoom / module);
    symbol = barcode::Encode(utf8Content, options, content);
  }

  const int64_t width = int64_t{symbol.width} * module;
  const int64_t height = int64_t{symbol.height} * module + captionHeight;
  const int64_t left =
      AlignedStart(box.left, box.right, width, horzAlign, otaLeft, otaRight) + PageOriginX();
  const int64_t top =
      AlignedStart(box.top, box.bottom, height, vertAlign, otaTop, otaBottom) + PageOriginY();

  // A 1-pixel pen of the fill's colour makes the rectangle exactly its modules' pixels.
  surface.SetPenWidth(1);
  surface.SetPenColor(color);
  surface.SetBrushStyle(BrushStyle::Solid);
  surface.SetBrushColor(color);
  for (const barcode::ModuleRect& dark : symbol.modules) {
    surface.Rectangle(
        Rect{ClampToInt32(left + dark.left * module), ClampToInt32(top + dark.top * module),
             ClampToInt32(left + dark.right * module), ClampToInt32(top + dark.bottom * module)});
  }
  if (caption.empty()) return;
  surface.SetBrushStyle(BrushStyle::Clear);
  surface.SetFontColor(color);
  const int64_t captionTop = top + int64_t{symbol.height} * module;
  Rect captionBox{ClampToInt32(left), ClampToInt32(captionTop), ClampToInt32(left + width),
                  ClampToInt32(captionTop + captionHeight)};
  surface.DrawTextA(caption, captionBox, DT_CENTER | DT_NOPREFIX);
}

}  // namespace tavo
