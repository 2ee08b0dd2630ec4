#include "platform/cairo/PngFile.h"

#include <zlib.h>

#include <cmath>
#include <cstdint>

#include "platform/core/Error.h"

namespace tavo {
namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void PutBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// The chunk of that type and data: its length, type, data and check sum.
std::string Chunk(std::string_view type, std::string_view data) {
  std::string body(type);
  body += data;
  std::string chunk;
  PutBigEndian(chunk, static_cast<uint32_t>(body.size() - 4));
  chunk += body;
  PutBigEndian(chunk, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                  static_cast<uInt>(body.size()))));
  return chunk;
}

std::string PhysicalSizeChunk(uint32_t perMetre) {
  std::string data;
  PutBigEndian(data, perMetre);
  PutBigEndian(data, perMetre);
  data += '\1';  // the unit is the metre
  return Chunk("pHYs", data);
}

// After the 8-byte signature and the 25-byte header chunk that cairo writes first.
constexpr size_t kAfterHeader = 8 + 25;

}  // namespace

std::string EncodePng(cairo_surface_t* surface, double pixelsPerMetre) {
  std::string png;
  if (surface == nullptr ||
      cairo_surface_write_to_png_stream(surface, AppendBytes, &png) != CAIRO_STATUS_SUCCESS)
    throw Error("The picture could not be encoded as PNG");
  // The chunk goes before the image data, right after the header.
  const double perMetre = std::round(pixelsPerMetre);
  if (png.size() > kAfterHeader && perMetre >= 1 && perMetre <= UINT32_MAX)
    png.insert(kAfterHeader, PhysicalSizeChunk(static_cast<uint32_t>(perMetre)));
  return png;
}

std::string AddPngText(std::string png, std::string_view keyword, std::string_view text) {
  if (png.size() <= kAfterHeader) throw Error("The picture is no PNG file");
  std::string data(keyword);
  data += '\0';
  data += text;
  png.insert(kAfterHeader, Chunk("tEXt", data));
  return png;
}

}  // namespace tavo
