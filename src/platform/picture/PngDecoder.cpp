// PNG pictures through libpng. libpng reports failures by longjmp, so every call into it happens
// in a small C-like function that owns nothing with a destructor; the C++ side allocates only
// after the header has passed the pixel limit.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "platform/picture/Picture.h"
#include "platform/picture/PixelFormat.h"

namespace tavo {
namespace {

// Ancillary chunks (text, ICC profiles) are capped so a small file cannot inflate into a large one.
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->offset) png_error(png, "truncated");
  std::memcpy(out, reader->data + reader->offset, length);
  reader->offset += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// Owns libpng's read and info structures.
class PngReadHandle {
 public:
  PngReadHandle() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (png_) info_ = png_create_info_struct(png_);
  }
  ~PngReadHandle() {
    if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
  }
  PngReadHandle(const PngReadHandle&) = delete;
  PngReadHandle& operator=(const PngReadHandle&) = delete;

  bool Valid() const { return png_ && info_; }
  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// Reads the chunks up to the image data. Allocates nothing for the pixels.
bool ReadHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  *width = png_get_image_width(png, info);
  *height = png_get_image_height(png, info);
  return true;
}

// Expands every colour type and bit depth to 8-bit RGBA and reads all rows (every pass of an
// interlaced image) into `rgba`, then the chunks after the image: a file cut short is corrupt.
bool ReadRgbaRows(png_structp png, png_infop info, uint8_t* rgba, png_uint_32 width,
                  png_uint_32 height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t stride = size_t{width} * 4;
  if (png_get_rowbytes(png, info) != stride) return false;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, rgba + y * stride, nullptr);
  }
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

std::optional<Graphic> DecodePng(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return std::nullopt;
  PngReadHandle handle;
  if (!handle.Valid()) return std::nullopt;
  MemoryReader reader{bytes.data(), bytes.size(), 0};
  png_set_read_fn(handle.Png(), &reader, ReadFromMemory);
  png_set_user_limits(handle.Png(), static_cast<png_uint_32>(kMaxPicturePixels),
                      static_cast<png_uint_32>(kMaxPicturePixels));
  png_set_chunk_malloc_max(handle.Png(), kMaxChunkBytes);

  png_uint_32 width = 0;
  png_uint_32 height = 0;
  if (!ReadHeader(handle.Png(), handle.Info(), &width, &height)) return std::nullopt;
  if (!FitsPixelLimit(width, height)) return std::nullopt;

  Graphic graphic;
  graphic.kind = GraphicKind::Png;
  graphic.width = static_cast<int32_t>(width);
  graphic.height = static_cast<int32_t>(height);
  graphic.pixels.resize(size_t{width} * height);
  auto* rgba = reinterpret_cast<uint8_t*>(graphic.pixels.data());
  if (!ReadRgbaRows(handle.Png(), handle.Info(), rgba, width, height)) return std::nullopt;
  RgbaBytesToArgb(graphic.pixels);
  return graphic;
}

}  // namespace tavo
