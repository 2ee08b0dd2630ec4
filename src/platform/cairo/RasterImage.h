// A raster picture in cairo's 32-bit pixels (0xAARRGGBB, premultiplied, native byte order: the
// layout of QImage's ARGB32 formats), shared by its copies. Header-only, so that the preview
// dialog, loaded on its own, reads the pixels without a copy of the drawing engine.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavo {

class RasterImage {
 public:
  RasterImage() = default;
  // Shares the surface: takes a reference of its own.
  explicit RasterImage(cairo_surface_t* surface)
      : surface_(cairo_surface_reference(surface), cairo_surface_destroy) {
    cairo_surface_flush(surface);
  }

  bool Null() const { return !surface_; }
  int32_t Width() const { return surface_ ? cairo_image_surface_get_width(Surface()) : 0; }
  int32_t Height() const { return surface_ ? cairo_image_surface_get_height(Surface()) : 0; }
  int32_t Stride() const { return surface_ ? cairo_image_surface_get_stride(Surface()) : 0; }
  bool Opaque() const {
    return surface_ && cairo_image_surface_get_format(Surface()) == CAIRO_FORMAT_RGB24;
  }
  const uint8_t* Data() const {
    return surface_ ? cairo_image_surface_get_data(Surface()) : nullptr;
  }
  cairo_surface_t* Surface() const { return surface_.get(); }

  // One pixel; 0 outside the picture. An opaque picture's pixels have alpha 0xFF.
  uint32_t Pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
    const uint32_t pixel = Row(y)[x];
    return Opaque() ? pixel | 0xFF000000u : pixel;
  }
  const uint32_t* Row(int32_t y) const {
    return reinterpret_cast<const uint32_t*>(Data() + static_cast<ptrdiff_t>(y) * Stride());
  }

  // The same size and the same pixels.
  friend bool operator==(const RasterImage& a, const RasterImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int32_t y = 0; y < a.Height(); ++y)
      for (int32_t x = 0; x < a.Width(); ++x)
        if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
  }

 private:
  std::shared_ptr<cairo_surface_t> surface_;
};

}  // namespace tavo
