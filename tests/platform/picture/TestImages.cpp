#include "platform/picture/TestImages.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace tavo::testimages {
namespace {

void AppendToVector(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void PutBigEndian(Bytes& bytes, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBigEndian(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// The libpng calls, kept apart from anything with a destructor because libpng longjmps.
bool WritePng(png_structp png, png_infop info, const PngRecipe& recipe, png_colorp palette,
              png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType,
               recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!recipe.palette.empty())
    png_set_PLTE(png, info, palette, static_cast<int>(recipe.palette.size()));
  if (!recipe.transparency.empty()) {
    png_set_tRNS(png, info, recipe.transparency.data(),
                 static_cast<int>(recipe.transparency.size()), nullptr);
  }
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  return true;
}

}  // namespace

void PutU16(Bytes& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& bytes, uint32_t value) {
  PutU16(bytes, value & 0xFFFF);
  PutU16(bytes, value >> 16);
}

Bytes EncodePng(const PngRecipe& recipe) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToVector, nullptr);
  std::vector<png_color> palette;
  for (uint32_t rgb : recipe.palette) {
    palette.push_back({static_cast<png_byte>(rgb >> 16), static_cast<png_byte>(rgb >> 8),
                       static_cast<png_byte>(rgb)});
  }
  std::vector<Bytes> rows = recipe.rows;
  std::vector<png_bytep> rowPointers;
  for (Bytes& row : rows) rowPointers.push_back(row.data());
  if (!WritePng(png, info, recipe, palette.data(), rowPointers.data())) out.clear();
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes PngHeaderOnly(uint32_t width, uint32_t height) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBigEndian(header, width);
  PutBigEndian(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IEND", {});
  return out;
}

// Grey only: the DC scan, then each AC coefficient alone, first its high bits, then bit by bit.
std::vector<jpeg_scan_info> HundredsOfScans() {
  std::vector<jpeg_scan_info> scans = {{1, {0}, 0, 0, 0, 0}};
  for (int k = 1; k < 64; ++k) {
    scans.push_back({1, {0}, k, k, 0, 8});
    for (int bit = 7; bit >= 0; --bit) scans.push_back({1, {0}, k, k, bit + 1, bit});
  }
  return scans;
}

Bytes EncodeJpeg(uint32_t width, uint32_t height, int components, const Bytes& samples,
                 JpegScans scans) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 100, TRUE);
  const std::vector<jpeg_scan_info> script = HundredsOfScans();
  if (scans == JpegScans::Progressive) jpeg_simple_progression(&cinfo);
  if (scans == JpegScans::HundredsOfScans) {
    cinfo.scan_info = script.data();
    cinfo.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < height) {
    JSAMPROW row = const_cast<uint8_t*>(samples.data()) + cinfo.next_scanline * width * components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes BuildDib(const DibRecipe& recipe) {
  Bytes out;
  PutU32(out, recipe.headerSize);
  if (recipe.headerSize == 12) {
    PutU16(out, static_cast<uint32_t>(recipe.width));
    PutU16(out, static_cast<uint32_t>(recipe.height));
    PutU16(out, 1);
    PutU16(out, recipe.bitCount);
  } else {
    PutU32(out, static_cast<uint32_t>(recipe.width));
    PutU32(out, static_cast<uint32_t>(recipe.height));
    PutU16(out, 1);
    PutU16(out, recipe.bitCount);
    PutU32(out, recipe.compression);
    PutU32(out, static_cast<uint32_t>(recipe.pixels.size()));
    PutU32(out, 3780);
    PutU32(out, 3780);
    PutU32(out, recipe.colorsUsed);
    PutU32(out, 0);
    for (uint32_t mask : recipe.masks) PutU32(out, mask);
    out.resize(std::max<size_t>(out.size(), recipe.headerSize), 0);
  }
  for (uint32_t rgb : recipe.palette) {
    out.insert(out.end(), {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                           static_cast<uint8_t>(rgb >> 16)});
    if (recipe.headerSize != 12) out.push_back(0);
  }
  out.insert(out.end(), recipe.pixels.begin(), recipe.pixels.end());
  return out;
}

Bytes BuildBmp(const DibRecipe& recipe) {
  const Bytes dib = BuildDib(recipe);
  Bytes out = {'B', 'M'};
  PutU32(out, static_cast<uint32_t>(14 + dib.size()));
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(14 + dib.size() - recipe.pixels.size()));
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

Bytes BuildIco(const std::vector<IconEntry>& entries) {
  Bytes out;
  PutU16(out, 0);
  PutU16(out, 1);
  PutU16(out, static_cast<uint32_t>(entries.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (const IconEntry& entry : entries) {
    out.insert(out.end(), {entry.width, entry.height, 0, 0});
    PutU16(out, 1);
    PutU16(out, entry.bitCount);
    PutU32(out, static_cast<uint32_t>(entry.image.size()));
    PutU32(out, offset);
    offset += static_cast<uint32_t>(entry.image.size());
  }
  for (const IconEntry& entry : entries)
    out.insert(out.end(), entry.image.begin(), entry.image.end());
  return out;
}

}  // namespace tavo::testimages
