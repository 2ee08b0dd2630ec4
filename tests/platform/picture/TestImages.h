// Picture files built in memory for the decoder tests: PNG and JPEG through the real encoders,
// bitmaps and icons byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavo::testimages {

using Bytes = std::vector<uint8_t>;

// A PNG of the given colour type and bit depth; `rows` holds each row's packed samples as libpng
// expects them (16-bit samples big-endian). `palette` is 0xRRGGBB, `transparency` the tRNS bytes.
struct PngRecipe {
  uint32_t width = 1;
  uint32_t height = 1;
  int colorType = 0;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<uint32_t> palette;
  Bytes transparency;
  std::vector<Bytes> rows;
};
Bytes EncodePng(const PngRecipe& recipe);

// A PNG file of signature, IHDR (8-bit RGBA) and IEND only, with any declared size.
Bytes PngHeaderOnly(uint32_t width, uint32_t height);

// A JPEG at quality 100. `components` is 1 (grey), 3 (RGB) or 4 (CMYK, Adobe convention);
// `samples` holds width x height x components bytes, rows from the top.
// Progressive ones in the usual ten scans, or in over five hundred (one coefficient and one bit
// at a time: valid, but far beyond what any encoder writes).
enum class JpegScans { Baseline, Progressive, HundredsOfScans };
Bytes EncodeJpeg(uint32_t width, uint32_t height, int components, const Bytes& samples,
                 JpegScans scans = JpegScans::Baseline);

// A DIB info header (with colour table and pixels appended by the caller) and a bitmap file.
struct DibRecipe {
  uint32_t headerSize = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> masks;    // written after a 40-byte header, inside larger ones
  std::vector<uint32_t> palette;  // 0xRRGGBB
  Bytes pixels;                   // stored rows, padding included
};
Bytes BuildDib(const DibRecipe& recipe);
Bytes BuildBmp(const DibRecipe& recipe);

// An icon file; each entry names its directory width, height and bit count and holds its image.
struct IconEntry {
  uint8_t width;
  uint8_t height;
  uint16_t bitCount;
  Bytes image;
};
Bytes BuildIco(const std::vector<IconEntry>& entries);

void PutU16(Bytes& bytes, uint32_t value);
void PutU32(Bytes& bytes, uint32_t value);

}  // namespace tavo::testimages
