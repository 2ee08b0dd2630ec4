#include "platform/cairo/RasterCanvas.h"

#include <cmath>
#include <string>

#include "platform/cairo/CairoDevice.h"
#include "platform/cairo/PngFile.h"
#include "platform/core/Error.h"

namespace tavo {
namespace {

// A white image surface of that size, or the failure.
CairoSurface WhitePage(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxRasterPixels)
    throw Error("A raster page of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels cannot be drawn");
  CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    throw Error("Out of memory for a raster page of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels");
  const CairoContext cr(cairo_create(surface.get()));
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  cairo_paint(cr.get());
  return surface;
}

// The sheet's height in pixels at `width` pixels across, 0 when the sheet has no size.
int32_t SheetHeight(const PdfGeometry& sheet, int32_t width) {
  if (!(sheet.widthMm > 0) || !(sheet.heightMm > 0)) return 0;
  const double height = std::round(width * sheet.heightMm / sheet.widthMm);
  return height >= 1 && height <= kMaxRasterPixels ? static_cast<int32_t>(height) : 0;
}

}  // namespace

RasterCanvas::RasterCanvas(int32_t width, int32_t height, int32_t dpi)
    : width_(width), height_(height), surface_(WhitePage(width, height)) {
  if (dpi <= 0) dpi = kScreenDpi;
  pixelsPerMetre_ = dpi / 0.0254;
  const CairoContext cr(cairo_create(surface_.get()));
  canvas_ =
      std::make_unique<Canvas>(std::make_unique<CairoDevice>(cr.get(), DeviceCaps{dpi, dpi, 0, 0}));
}

// Millimetres on the sheet to picture pixels by one scale both ways, as a PDF page is shown.
RasterCanvas::RasterCanvas(const PdfGeometry& sheet, int32_t width)
    : width_(width), height_(SheetHeight(sheet, width)), surface_(WhitePage(width_, height_)) {
  const DeviceCaps& caps = sheet.caps;
  if (caps.dpiX <= 0 || caps.dpiY <= 0) throw Error("A printer sheet without resolution");
  pixelsPerMetre_ = width / sheet.widthMm * 1000;
  const double pixelsPerMm = width / sheet.widthMm;
  const CairoContext cr(cairo_create(surface_.get()));
  cairo_scale(cr.get(), pixelsPerMm, pixelsPerMm);
  cairo_translate(cr.get(), sheet.originXMm, sheet.originYMm);
  cairo_rectangle(cr.get(), 0, 0, sheet.printableWidthMm, sheet.printableHeightMm);
  cairo_clip(cr.get());
  cairo_scale(cr.get(), 25.4 / caps.dpiX, 25.4 / caps.dpiY);
  canvas_ = std::make_unique<Canvas>(std::make_unique<CairoDevice>(cr.get(), caps, Edges::Smooth));
}

RasterCanvas::~RasterCanvas() = default;

cairo_surface_t* RasterCanvas::Surface() {
  cairo_surface_flush(surface_.get());
  return surface_.get();
}

uint32_t RasterCanvas::Pixel(int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  cairo_surface_t* surface = Surface();
  const unsigned char* row = cairo_image_surface_get_data(surface) +
                             static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(surface);
  return reinterpret_cast<const uint32_t*>(row)[x];
}

std::string RasterCanvas::PngBytes() { return EncodePng(Surface(), pixelsPerMetre_); }

}  // namespace tavo
