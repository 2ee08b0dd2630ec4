// Device-independent bitmaps: the pixel part of a bitmap file and of most icon images.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/picture/Picture.h"

namespace tavo {

// A bitmap file's pixels, or an icon image: an icon's DIB declares twice its height and is
// followed by a 1-bit mask that marks the transparent pixels.
enum class DibUse { File, Icon };

// Decodes a DIB that starts with its info header. `pixelOffset` is where the pixels start within
// `dib`; without it they follow the colour table. Returns nothing for anything corrupt, cut short
// or over kMaxPicturePixels.
std::optional<Graphic> DecodeDib(std::span<const uint8_t> dib, std::optional<uint64_t> pixelOffset,
                                 DibUse use);

}  // namespace tavo
