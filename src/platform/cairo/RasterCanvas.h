// The preview's drawing surface, and the picture of a printer's sheet: a canvas over a white
// raster page, a cairo image surface of
// 32-bit pixels 0xAARRGGBB in native byte order (the layout of QImage's ARGB32 formats).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/cairo/CairoHandles.h"
#include "platform/cairo/PdfPage.h"
#include "platform/canvas/Canvas.h"

namespace tavo {

// Raster pages above this many pixels are refused rather than allocated.
constexpr int64_t kMaxRasterPixels = 100'000'000;
// The screen resolution the preview is drawn at.
constexpr int32_t kScreenDpi = 96;

class RasterCanvas {
 public:
  // A white page of width x height pixels at `dpi` dots per inch. Fails with tavo::Error for a
  // size that is not positive or is over kMaxRasterPixels.
  RasterCanvas(int32_t width, int32_t height, int32_t dpi = kScreenDpi);
  // A printer's white sheet pictured `width` pixels wide (the height in proportion): the canvas
  // is the printer's device, counting its pixels from the printable area's top-left corner at
  // the sheet's resolution, so the page is laid out exactly as that printer receives it and only
  // then scaled. Nothing lands outside the printable area. Fails with tavo::Error for a sheet
  // without size or a picture over kMaxRasterPixels.
  RasterCanvas(const PdfGeometry& sheet, int32_t width);
  ~RasterCanvas();
  RasterCanvas(const RasterCanvas&) = delete;
  RasterCanvas& operator=(const RasterCanvas&) = delete;

  Canvas& GetCanvas() { return *canvas_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // The page as drawn so far (drawing may go on afterwards): the surface, flushed. The caller
  // may take a reference to keep the pixels alive beyond the canvas.
  cairo_surface_t* Surface();
  // One pixel as 0xAARRGGBB; the page is opaque, so alpha is 0xFF.
  uint32_t Pixel(int32_t x, int32_t y);
  // The page as a PNG file's bytes, with its scale on paper (the resolution, or for a printer's
  // sheet the picture's width over the sheet's).
  std::string PngBytes();

 private:
  int32_t width_;
  int32_t height_;
  double pixelsPerMetre_ = 0;  // the picture's scale on paper, which its PNG file says
  CairoSurface surface_;
  std::unique_ptr<Canvas> canvas_;
};

}  // namespace tavo
