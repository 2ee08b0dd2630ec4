#include "preview/dialog/QtPictures.h"

#include <cmath>
#include <memory>

#include "preview/PreviewPage.h"

namespace tavo {

QImage ToQImage(const RasterImage& raster) {
  if (raster.Null()) return {};
  // The image keeps a share of the raster for as long as it, or a copy of it, lives.
  auto share = std::make_unique<RasterImage>(raster);
  QImage image(
      raster.Data(), raster.Width(), raster.Height(), raster.Stride(),
      raster.Opaque() ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied,
      [](void* info) { delete static_cast<RasterImage*>(info); }, share.release());
  const int dotsPerMetre = static_cast<int>(std::lround(kPreviewDpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  return image;
}

QImage ToQImage(const Picture& picture) {
  const Graphic* graphic = picture.GetGraphic();
  if (!graphic || graphic->Empty()) return {};
  auto share = std::make_unique<Picture>();
  share->Assign(picture);
  return QImage(
      reinterpret_cast<const uchar*>(graphic->pixels.data()), graphic->width, graphic->height,
      static_cast<qsizetype>(graphic->width) * 4, QImage::Format_ARGB32,
      [](void* info) { delete static_cast<Picture*>(info); }, share.release());
}

}  // namespace tavo
