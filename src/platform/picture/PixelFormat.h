// Small helpers the picture decoders share: the pixel limit and the 0xAARRGGBB pixel layout.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/picture/Picture.h"

namespace tavo {

// True when a picture of this size has at least one pixel and no more than kMaxPicturePixels.
// Takes 64-bit sizes so headers of any width can be checked without overflow.
inline bool FitsPixelLimit(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > kMaxPicturePixels || height > kMaxPicturePixels) {
    return false;
  }
  return width * height <= kMaxPicturePixels;
}

constexpr uint32_t Argb(uint32_t alpha, uint32_t red, uint32_t green, uint32_t blue) {
  return (alpha << 24) | (red << 16) | (green << 8) | blue;
}

constexpr uint32_t kOpaqueBlack = 0xFF000000;

// Turns pixels decoded as R, G, B, A bytes in memory into 0xAARRGGBB values, in place.
inline void RgbaBytesToArgb(std::vector<uint32_t>& pixels) {
  for (uint32_t& pixel : pixels) {
    uint8_t rgba[4];
    std::memcpy(rgba, &pixel, 4);
    pixel = Argb(rgba[3], rgba[0], rgba[1], rgba[2]);
  }
}

}  // namespace tavo
