#include "platform/qt/RasterCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <cmath>
#include <string>

#include "platform/core/Error.h"
#include "platform/qt/PainterDevice.h"
#include "platform/qt/QtApplication.h"

namespace tavo {
namespace {

int DotsPerMetre(int32_t dpi) { return static_cast<int>(std::lround(dpi / 0.0254)); }

std::unique_ptr<PainterDevice> MakeImageDevice(QImage& image) {
  const DeviceCaps caps{image.logicalDpiX(), image.logicalDpiY(), 0, 0};
  return std::make_unique<PainterDevice>(image, caps);
}

}  // namespace

int32_t ScreenDpi() {
  EnsureQtApplication();
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int32_t>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

struct RasterCanvas::Page {
  QImage image;
  PainterDevice* device = nullptr;  // owned by the canvas
  std::unique_ptr<Canvas> canvas;
};

RasterCanvas::RasterCanvas(int32_t width, int32_t height, int32_t dpi)
    : page_(std::make_unique<Page>()) {
  EnsureQtApplication();
  if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxRasterPixels)
    throw Error("A raster page of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels cannot be drawn");
  if (dpi <= 0) dpi = ScreenDpi();
  page_->image = QImage(width, height, QImage::Format_RGB32);
  if (page_->image.isNull())
    throw Error("Out of memory for a raster page of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels");
  page_->image.setDotsPerMeterX(DotsPerMetre(dpi));
  page_->image.setDotsPerMeterY(DotsPerMetre(dpi));
  page_->image.fill(Qt::white);
  auto device = MakeImageDevice(page_->image);
  page_->device = device.get();
  page_->canvas = std::make_unique<Canvas>(std::move(device));
}

RasterCanvas::~RasterCanvas() = default;

Canvas& RasterCanvas::GetCanvas() { return *page_->canvas; }

// The painter ends before the image is handed out, so the caller sees every pixel drawn.
const QImage& RasterCanvas::Image() {
  page_->device->End();
  return page_->image;
}

std::unique_ptr<Canvas> MakeImageCanvas(QImage& image) {
  EnsureQtApplication();
  return std::make_unique<Canvas>(MakeImageDevice(image));
}

}  // namespace tavo
