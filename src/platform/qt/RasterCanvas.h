// The preview's drawing surface: a canvas over a white raster page held in a QImage.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/canvas/Canvas.h"

class QImage;

namespace tavo {

// Raster pages above this many pixels are refused rather than allocated.
constexpr int64_t kMaxRasterPixels = 100'000'000;

// The logical dots per inch of the primary screen (96 on the offscreen platform).
int32_t ScreenDpi();

class RasterCanvas {
 public:
  // A white page of width x height pixels at `dpi` dots per inch (the screen's when 0). Fails
  // with tavo::Error for a size that is not positive or is over kMaxRasterPixels.
  RasterCanvas(int32_t width, int32_t height, int32_t dpi = 0);
  ~RasterCanvas();
  RasterCanvas(const RasterCanvas&) = delete;
  RasterCanvas& operator=(const RasterCanvas&) = delete;

  Canvas& GetCanvas();
  // The page as drawn so far (drawing may go on afterwards).
  const QImage& Image();

 private:
  struct Page;
  std::unique_ptr<Page> page_;
};

// A canvas drawing into an image the caller owns and keeps alive longer than the canvas; its
// resolution is the image's dots per metre. The image is complete once the canvas is gone.
std::unique_ptr<Canvas> MakeImageCanvas(QImage& image);

}  // namespace tavo
