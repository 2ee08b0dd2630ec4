// The preview's pictures as QImages for the dialog's image controls, sharing their pixels.
#pragma once

#include <QImage>

#include "platform/cairo/RasterImage.h"
#include "platform/picture/Picture.h"

namespace tavo {

// The raster's pixels, at the preview's 96 dots per inch; null for a null raster.
QImage ToQImage(const RasterImage& raster);

// The picture's graphic (straight alpha); null when it has none.
QImage ToQImage(const Picture& picture);

}  // namespace tavo
