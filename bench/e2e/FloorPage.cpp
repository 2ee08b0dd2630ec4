#include "FloorPage.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <variant>
#include <vector>

#include "platform/cairo/CairoHandles.h"
#include "platform/cairo/TextEngine.h"
#include "platform/canvas/Canvas.h"
#include "platform/codepage/CodePage.h"
#include "platform/core/Error.h"
#include "printing/unitCommonPrinting.h"

namespace tavo::bench {
namespace {

constexpr int32_t kDpi = 600;

struct LineOp {
  Point from, to;
  int32_t width;
  uint32_t rgb;
};
struct RectangleOp {
  Rect rect;
  int32_t width;
  uint32_t rgb;
  bool filled;
  uint32_t fillRgb;
};
struct TextOp {
  std::string family;  // UTF-8
  int32_t pixels;
  uint32_t rgb;
  Point topLeft;
  std::string text;  // UTF-8
  Rect clip;
};
struct PictureOp {
  Rect rect;
  std::shared_ptr<const Graphic> graphic;
};
using Operation = std::variant<LineOp, RectangleOp, TextOp, PictureOp>;

// Measures as the PDF printer does (the floor must draw the same layout), records the rest.
class RecordingDevice final : public CanvasDevice {
 public:
  explicit RecordingDevice(std::vector<Operation>& ops) : ops_(ops) {}
  DeviceCaps Caps() const override { return {kDpi, kDpi, 0, 0}; }
  void Line(Point from, Point to, const Pen& pen) override {
    ops_.push_back(LineOp{from, to, std::max(pen.width, 1), ColorToRgb(pen.color)});
  }
  void Rectangle(const Rect& rect, const Pen& pen, const Brush& brush) override {
    ops_.push_back(RectangleOp{rect, std::max(pen.width, 1), ColorToRgb(pen.color),
                               brush.style == BrushStyle::Solid, ColorToRgb(brush.color)});
  }
  FontMetrics Metrics(const Font& font) override { return TextMetrics(font); }
  int32_t MeasureRun(const Font& font, std::string_view run) override {
    return MeasureText(font, run);
  }
  void DrawRun(const Font& font, Point topLeft, std::string_view run, const Rect& clip) override {
    ops_.push_back(TextOp{codepage::AnsiToUtf8(font.name), font.pixelHeight, ColorToRgb(font.color),
                          topLeft, codepage::AnsiToUtf8(run), clip});
  }
  void StretchDraw(const Rect& rect, const Graphic& graphic) override {
    ops_.push_back(PictureOp{rect, std::make_shared<const Graphic>(graphic)});
  }
  void Draw(Point topLeft, const Graphic& graphic) override {
    ops_.push_back(
        PictureOp{{topLeft.x, topLeft.y, topLeft.x + graphic.width, topLeft.y + graphic.height},
                  std::make_shared<const Graphic>(graphic)});
  }

 private:
  std::vector<Operation>& ops_;
};

void Source(cairo_t* cr, uint32_t rgb) {
  cairo_set_source_rgb(cr, (rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0,
                       (rgb & 0xFF) / 255.0);
}

void DrawOne(cairo_t* cr, const LineOp& op) {
  Source(cr, op.rgb);
  cairo_set_line_width(cr, op.width);
  cairo_move_to(cr, op.from.x + 0.5, op.from.y + 0.5);
  cairo_line_to(cr, op.to.x + 0.5, op.to.y + 0.5);
  cairo_stroke(cr);
}

void DrawOne(cairo_t* cr, const RectangleOp& op) {
  const double w = op.rect.right - op.rect.left, h = op.rect.bottom - op.rect.top;
  if (op.filled) {
    Source(cr, op.fillRgb);
    cairo_rectangle(cr, op.rect.left, op.rect.top, w, h);
    cairo_fill(cr);
  }
  Source(cr, op.rgb);
  cairo_set_line_width(cr, op.width);
  cairo_rectangle(cr, op.rect.left + 0.5, op.rect.top + 0.5, w - 1, h - 1);
  cairo_stroke(cr);
}

void DrawOne(cairo_t* cr, const TextOp& op) {
  cairo_save(cr);
  cairo_rectangle(cr, op.clip.left, op.clip.top, op.clip.right - op.clip.left,
                  op.clip.bottom - op.clip.top);
  cairo_clip(cr);
  const GObjectRef<PangoLayout> layout(pango_cairo_create_layout(cr));
  const FontDescription description(pango_font_description_new());
  pango_font_description_set_family(description.get(), op.family.c_str());
  pango_font_description_set_absolute_size(description.get(), double(op.pixels) * PANGO_SCALE);
  pango_layout_set_font_description(layout.get(), description.get());
  pango_layout_set_text(layout.get(), op.text.data(), static_cast<int>(op.text.size()));
  Source(cr, op.rgb);
  cairo_move_to(cr, op.topLeft.x, op.topLeft.y);
  pango_cairo_show_layout(cr, layout.get());
  cairo_restore(cr);
}

void DrawOne(cairo_t* cr, const PictureOp& op) {
  const Graphic& g = *op.graphic;
  const CairoSurface image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, g.width, g.height));
  unsigned char* data = cairo_image_surface_get_data(image.get());
  const int stride = cairo_image_surface_get_stride(image.get());
  for (int32_t y = 0; y < g.height; ++y)
    for (int32_t x = 0; x < g.width; ++x) {
      const uint32_t p = g.pixels[size_t(y) * g.width + x], a = p >> 24;
      const auto c = [a](uint32_t v) { return v * a / 255; };
      reinterpret_cast<uint32_t*>(data + y * stride)[x] =
          a << 24 | c(p >> 16 & 0xFF) << 16 | c(p >> 8 & 0xFF) << 8 | c(p & 0xFF);
    }
  cairo_surface_mark_dirty(image.get());
  cairo_save(cr);
  cairo_translate(cr, op.rect.left, op.rect.top);
  cairo_scale(cr, double(op.rect.right - op.rect.left) / g.width,
              double(op.rect.bottom - op.rect.top) / g.height);
  cairo_set_source_surface(cr, image.get(), 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
}

}  // namespace

struct FloorPage::Operations {
  std::vector<Operation> ops;
  double widthPt = 0, heightPt = 0;
};

FloorPage::FloorPage(const std::u16string& data, const std::u16string& rule)
    : operations_(std::make_unique<Operations>()) {
  Canvas canvas(std::make_unique<RecordingDevice>(operations_->ops));
  TTavoXmlDataPrinter printer(codepage::WideToAnsi(rule), &canvas);
  printer.Print(codepage::WideToAnsi(data), &canvas);
  // The PDF printer's sheet: the rule's page when it gives one, else A4 turned as it asks.
  const TTavoPrinterSetting& settings = printer.Settings();
  const bool landscape = settings.landscape;
  const bool page = settings.pageWidth > 0 && settings.pageHeight > 0;
  operations_->widthPt = (page ? settings.pageWidth : landscape ? 297 : 210) / 25.4 * 72;
  operations_->heightPt = (page ? settings.pageHeight : landscape ? 210 : 297) / 25.4 * 72;
}

FloorPage::~FloorPage() = default;

size_t FloorPage::Texts() const {
  size_t texts = 0;
  for (const Operation& op : operations_->ops) texts += std::holds_alternative<TextOp>(op);
  return texts;
}

void FloorPage::Write(const std::string& pdfPath) const {
  const CairoSurface surface(
      cairo_pdf_surface_create(pdfPath.c_str(), operations_->widthPt, operations_->heightPt));
  {
    const CairoContext context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    cairo_scale(cr, 72.0 / kDpi, 72.0 / kDpi);
    for (const Operation& op : operations_->ops)
      std::visit([cr](const auto& one) { DrawOne(cr, one); }, op);
  }
  cairo_surface_finish(surface.get());
  const cairo_status_t status = cairo_surface_status(surface.get());
  if (status != CAIRO_STATUS_SUCCESS) throw Error("the floor page could not be written");
}

}  // namespace tavo::bench
